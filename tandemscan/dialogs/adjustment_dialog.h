// "Image Adjustment": brightness, contrast and saturation of one part with three drawn sliders and
// checked value fields. Every change is previewed on the workspace; only OK keeps it, on the
// working copy and on the full-resolution original.
#pragma once

#include "checked_number_edit.h"
#include "dialog_context.h"
#include "engine/image_adjustment.h"

#include <QDialog>
#include <functional>
#include <span>

namespace tandemscan {

// One drawn slider: a thin track with ticks at both ends and the middle, end labels, and a light
// grey triangular thumb whose tip stands on the track.
class AdjustmentSlider : public QWidget {
    Q_OBJECT
  public:
    AdjustmentSlider(int minimum, int maximum, bool saturation, QWidget* parent = nullptr);
    void setValue(int value);
    int value() const { return value_; }
    void setMouseEnabled(bool on) { mouseEnabled_ = on; }
    // The track in widget coordinates and the hit rectangle around it.
    QRect track() const;
    QRect hitRect() const;
    QSize sizeHint() const override { return {300, 44}; }

  signals:
    // The value under the pointer, already mapped (saturation scaled to -100..100).
    void valuePicked(int value);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void pick(int x);

    int minimum_, maximum_, value_ = 0;
    bool saturation_;
    bool mouseEnabled_ = true;
    bool dragging_ = false;
};

class ImageAdjustmentDialog : public QDialog {
    Q_OBJECT
  public:
    // Draws the workspace with these pixels standing in for the working copy's.
    using ShowPreview = std::function<void(const HeaderBlock& header, std::span<const std::uint8_t> pixels)>;
    // The full-resolution original as one block: header block, then pixels.
    using OriginalBlock = std::function<std::span<std::uint8_t>()>;

    ImageAdjustmentDialog(ImageRecord& workingCopy, OperationRunner& runner, const DialogContext& context,
                          ShowPreview showPreview, OriginalBlock originalBlock, QWidget* parent = nullptr);

    // The refusal shown instead of the dialog, "" when the image can be adjusted.
    static QString refusal(const ImageHeader& header);

    CheckedNumberEdit* brightnessEdit() const { return edits_[0]; }
    CheckedNumberEdit* contrastEdit() const { return edits_[1]; }
    CheckedNumberEdit* saturationEdit() const { return edits_[2]; }
    AdjustmentSlider* slider(int index) const { return sliders_[index]; }
    const AdjustmentValues& values() const { return values_; }

  public slots:
    void reset();
    void accept() override;
    void reject() override;

  private:
    void editChanged(int index);
    void runPreview();

    ImageRecord& working_;
    DialogContext context_;
    ImageAdjustment adjustment_;
    ShowPreview showPreview_;
    OriginalBlock originalBlock_;
    AdjustmentValues values_;
    CheckedNumberEdit* edits_[3];
    AdjustmentSlider* sliders_[3];
};

} // namespace tandemscan
