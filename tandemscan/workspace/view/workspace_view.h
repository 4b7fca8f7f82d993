// The workspace window: draws the model (parts, crosshairs, flags, crop frames), turns mouse and
// key events into model calls, and passes the model's reports on as signals.
#pragma once

#include "engine/image_engine.h"
#include "engine/working_files.h"
#include "workspace/merge_workspace.h"
#include "workspace/view/cursor_set.h"

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>

class QKeyEvent;

namespace tandemscan {

class WorkspaceView : public QWidget, public WorkspaceHost {
    Q_OBJECT
  public:
    using Translator = std::function<QString(const QString&)>;

    // Without an engine the view makes its own: the image file component from the program folder
    // and a private working folder below the temporary folder for the originals' backing files.
    explicit WorkspaceView(QWidget* parent = nullptr, std::unique_ptr<ImageEngine> engine = nullptr);
    ~WorkspaceView() override;

    MergeWorkspace& model() { return *model_; }
    const MergeWorkspace& model() const { return *model_; }

    // Every text shown passes through this (the language component); identity by default.
    void setTranslator(Translator translate);
    // Where the workspace's messages go (caption and text already translated); a message box
    // when none is set.
    using MessageHandler = std::function<void(MessageIcon icon, const QString& caption, const QString& text)>;
    void setMessageHandler(MessageHandler handler) { messageHandler_ = std::move(handler); }
    QString translate(const QString& text) const;
    // New pane size: the widget takes two panes and the divider.
    void resizePanes(int paneWidth, int paneHeight);
    // The client area as last painted; the magnifier reads it.
    const QImage& snapshot() const { return frame_; }
    // Draws the whole client area now and returns it.
    const QImage& renderAll();
    void setMagnifierActive(bool on) { magnifierOn_ = on; }
    // Arrow and Alt keys seen by the application before dispatch; true when used.
    bool handleKey(QKeyEvent* event);

    // While the image adjustment dialog runs: shows these pixels in place of a side's working
    // copy until the model changes that side again.
    void previewWorkingPixels(Side side, const HeaderBlock& header, std::span<const std::uint8_t> pixels);
    // Runs Save Image Solely for a side when nobody handles saveSolelyRequested: a save dialog
    // with the formats the part's depth allows, then the save.
    void saveSideAlone(Side side);
    // A palette command: automatic merge shows the preview when it succeeds.
    void runToolCommand(ToolCommand code, bool pressed);
    // The main window's move-explain flag: whether choosing the move tool explains it first.
    void setMoveExplanationWanted(bool wanted) { moveExplanationWanted_ = wanted; }
    bool moveExplanationWanted() const { return moveExplanationWanted_; }
    // The Preview button: joins the parts as placed and shows the result full screen.
    bool showPreview();
    // Shows the joined image the model holds, then lets the model release it.
    void showJoinedImage();

    // WorkspaceHost
    void invalidate(const Rect& area, bool erase) override;
    void repaintNow() override;
    void showMessage(MessageIcon icon, const std::string& caption, const std::string& text) override;
    void setCursor(CursorSlot slot) override;
    void beginWait() override;
    void endWait() override;
    void toolState(ToolState code, int argument) override;
    void enableClear(Side side, bool enabled) override;
    void enableInput(Side side, bool enabled) override;
    void enableOutput(bool enabled) override;
    void cropTimer(Side side, bool running) override;
    void snapshotChanged() override;
    void moveToolEntered() override;
    void runImageAdjustment(Side side) override;
    bool magnifierActive() const override { return magnifierOn_; }
    void magnifierTrack(Point p) override;
    void magnifierRepaint() override;

  public slots:
    // ToolCommandMessage codes as the palette sends them (see ToolCommand).
    void toolCommand(int code, bool pressed) { runToolCommand(static_cast<ToolCommand>(code), pressed); }

  signals:
    void moveExplanationWantedChanged(bool wanted);
    void toolStateChanged(int code, int argument);
    void clearEnabledChanged(int side, bool enabled);
    void inputEnabledChanged(int side, bool enabled);
    void outputEnabledChanged(bool enabled);
    // The snapshot was painted anew.
    void snapshotUpdated();
    void moveToolSelected();
    void imageAdjustmentRequested(int side);
    void saveSolelyRequested(int side);
    void magnifierMoved(QPoint p);
    void magnifierRepaintRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

  private:
    void renderFrame(const QRect& dirty);
    void refreshScreenImage(Side side);
    void showPopupMenu(QPoint at);

    std::optional<PrivateFolder> workingFolder_;
    std::unique_ptr<ImageEngine> engine_;
    std::unique_ptr<MergeWorkspace> model_;
    CursorSet cursors_;
    Translator translate_;
    MessageHandler messageHandler_;
    QImage frame_;
    SidePair<QImage> screen_;
    SidePair<unsigned> screenCount_{~0u, ~0u};
    SidePair<QTimer> cropTimers_;
    bool magnifierOn_ = false;
    int wheelRemainder_ = 0; // eighths of a degree of wheel turn not yet a whole notch
    bool moveExplanationWanted_ = false;
    bool painting_ = false;
    int waitDepth_ = 0;
};

} // namespace tandemscan
