// The floating tool palette: a frameless tool window with one vertical toolbar of the workspace's
// tools. Its buttons and accelerators become tool commands for the main window; the workspace's
// state codes enable and check its buttons.
#pragma once

#include "workspace/palette_state.h"

#include <QPoint>
#include <QWidget>
#include <functional>
#include <map>

class QAction;
class QToolBar;

namespace tandemscan {

class ToolPalette : public QWidget {
    Q_OBJECT
  public:
    using Translator = std::function<QString(const QString&)>;

    // With a parent the palette follows the parent's window when that moves.
    explicit ToolPalette(QWidget* parent = nullptr);

    // Tooltips pass through this (the language component); identity by default.
    void setTranslator(Translator translate);
    const PaletteState& state() const { return state_; }
    QAction* action(int button) const;
    // The main window's magnifier flag, for the magnifier button.
    void setMagnifierOn(bool on);
    // Keeps the palette at the same place relative to `window` when that moves.
    void followWindow(QWidget* window);

  public slots:
    // A ToolStateMessage from the workspace, relayed by the main window.
    void applyToolState(int code, int argument);
    // A button press or its accelerator (ignored while the button is disabled).
    void pressButton(int button);

  signals:
    // ToolCommandMessage to the main window, with the palette's pressed state for that tool.
    void toolCommand(int code, bool pressed);
    // Accelerators that are not toolbar buttons: F1 (1012) and Ctrl+Z (32785).
    void mainWindowCommand(int command);
    // A button was clicked with the mouse (after its command went out).
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void installShortcuts();
    void syncButtons();
    void retranslate();

    PaletteState state_;
    QToolBar* toolbar_ = nullptr;
    std::map<int, QAction*> actions_;
    Translator translate_;
    QWidget* followed_ = nullptr;
    QPoint followedAt_;
    QSize followedSize_;
};

} // namespace tandemscan
