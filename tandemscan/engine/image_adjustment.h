// Brightness, contrast and saturation of one part: previews on the working copy through Rasterkit
// operations 3 and 4, and the same operations on the full-resolution original when accepted.
#pragma once

#include "engine/image_record.h"
#include "engine/run_operation.h"
#include "rasterkit.h"

#include <span>
#include <vector>

namespace tandemscan {

struct AdjustmentValues {
    int brightness = 0; // -127..127
    int contrast = 0;   // -127..127
    int saturation = 0; // -100..100
    bool operator==(const AdjustmentValues&) const = default;
};

// The slider arithmetic of the adjustment dialog.
struct AdjustmentSliders {
    // Value under the pointer: x in client pixels, hit rectangle's left and right.
    static int valueAt(int x, int hitLeft, int hitRight);
    // Saturation slider value from the mapped -127..127 value.
    static int saturationFrom(int value) { return value * 100 / 127; }
    // x of the thumb's tip on a track.
    static int thumbX(int trackLeft, int trackWidth, int value, int minimum, int maximum);
};

// The parameter blocks a set of values turns into (percentages truncate toward zero).
BrightnessContrastGammaParam toneParams(const AdjustmentValues& values);
HueSaturationLightnessParam hslParams(const AdjustmentValues& values);

class ImageAdjustment {
  public:
    // The working copy is read for every preview and changed only by commitToWorkingCopy().
    ImageAdjustment(const ImageRecord& workingCopy, OperationRunner& runner);

    bool grey() const { return grey_; }
    const AdjustmentValues& values() const { return values_; }

    // Runs the preview for new values into the adjusted block; false with `failure` set when the
    // library refused (the adjusted block then holds the last good preview).
    bool preview(const AdjustmentValues& values, OperationFailure& failure);
    // The latest preview: header block and pixels, empty before the first preview.
    const HeaderBlock* adjustedHeader() const;
    std::span<const std::uint8_t> adjustedPixels() const;

    // OK: the preview's pixels become the working copy's.
    void commitToWorkingCopy(ImageRecord& workingCopy) const;
    // OK: the accepted operations run on the original, given as its single block (header block
    // and pixels). Only the operations whose values are not neutral run.
    bool commitToOriginal(std::span<std::uint8_t> originalBlock, OperationFailure& failure);

  private:
    const ImageRecord& working_;
    OperationRunner& runner_;
    bool grey_;
    AdjustmentValues values_;
    std::vector<std::uint8_t> adjusted_;
};

} // namespace tandemscan
