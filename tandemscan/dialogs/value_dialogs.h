// The small modal dialogs that take one or two numbers for the main window: the custom resolution,
// the custom descreen ruling and the original document size.
#pragma once

#include "dialog_context.h"
#include "value_rules.h"

#include <QDialog>

class QLineEdit;
class QScrollBar;

namespace tandemscan {

// Custom resolution (75..1200 dpi) and descreen (50..200 lpi): a scroll bar and an edit.
class SliderValueDialog : public QDialog {
    Q_OBJECT
  public:
    enum class Kind { CustomResolution, Descreen };
    SliderValueDialog(Kind kind, const DialogContext& context, QWidget* parent = nullptr);

    uint16_t result() const { return result_; }
    QLineEdit* edit() const { return edit_; }
    QScrollBar* scrollBar() const { return bar_; }

  public slots:
    void accept() override;

  private:
    void barMoved(int action);

    DialogContext context_;
    SliderValue value_;
    QScrollBar* bar_;
    QLineEdit* edit_;
    uint16_t result_ = 0;
    bool syncing_ = false;
};

// The original document's width and height in tenths of a millimetre. The width is handed to the
// main window as soon as it is accepted, even when the height is then refused.
class OriginalTypeDialog : public QDialog {
    Q_OBJECT
  public:
    OriginalTypeDialog(int width, int height, const DialogContext& context, QWidget* parent = nullptr);

    int width() const { return width_; }
    int height() const { return height_; }
    QLineEdit* widthEdit() const { return widthEdit_; }
    QLineEdit* heightEdit() const { return heightEdit_; }

  signals:
    void widthAccepted(int width);

  public slots:
    void accept() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void showWidthMessage();
    void showHeightMessage();

    DialogContext context_;
    QLineEdit* widthEdit_;
    QLineEdit* heightEdit_;
    int width_, height_;
};

} // namespace tandemscan
