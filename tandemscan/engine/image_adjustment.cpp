#include "engine/image_adjustment.h"

#include "engine/pixel_tools.h"

#include <algorithm>
#include <cstring>

namespace tandemscan {

int AdjustmentSliders::valueAt(int x, int hitLeft, int hitRight) {
    const int span = hitRight - hitLeft - 14;
    if (span <= 0) return 0;
    return std::clamp((x - hitLeft - 7) * 255 / span - 127, -127, 127);
}

int AdjustmentSliders::thumbX(int trackLeft, int trackWidth, int value, int minimum, int maximum) {
    if (maximum <= minimum) return trackLeft + 2;
    return (trackWidth - 4) * (value - minimum) / (maximum - minimum) + trackLeft + 2;
}

BrightnessContrastGammaParam toneParams(const AdjustmentValues& values) {
    return {values.brightness * 100 / 127, values.contrast * 100 / 127, 1.0};
}

HueSaturationLightnessParam hslParams(const AdjustmentValues& values) {
    return {0.0, static_cast<double>(values.saturation), 0.0, 0};
}

ImageAdjustment::ImageAdjustment(const ImageRecord& workingCopy, OperationRunner& runner)
    : working_(workingCopy), runner_(runner), grey_(PixelTools::isGrayPalette(workingCopy.headerBlock())) {}

bool ImageAdjustment::preview(const AdjustmentValues& values, OperationFailure& failure) {
    values_ = values;
    BrightnessContrastGammaParam tone = toneParams(values);
    HueSaturationLightnessParam hsl = hslParams(values);
    std::vector<std::uint8_t> next(kHeaderBlockSize + PixelTools::imageDataSize(working_.header()));
    if (!runner_.run(RK_OP_BRIGHTNESS_CONTRAST_GAMMA, &tone, working_.headerBlock(), working_.pixels(), next,
                     failure))
        return false;
    if (!grey_) {
        HeaderBlock header;
        std::memcpy(&header, next.data(), kHeaderBlockSize);
        // In place: the runner writes the block only after the library has finished reading it.
        const std::span<const std::uint8_t> source =
            std::span<const std::uint8_t>(next).subspan(kHeaderBlockSize);
        if (!runner_.run(RK_OP_HUE_SATURATION_LIGHTNESS, &hsl, header, source, next, failure)) return false;
    }
    adjusted_ = std::move(next);
    return true;
}

const HeaderBlock* ImageAdjustment::adjustedHeader() const {
    return adjusted_.empty() ? nullptr : reinterpret_cast<const HeaderBlock*>(adjusted_.data());
}

std::span<const std::uint8_t> ImageAdjustment::adjustedPixels() const {
    if (adjusted_.empty()) return {};
    return std::span<const std::uint8_t>(adjusted_).subspan(kHeaderBlockSize);
}

void ImageAdjustment::commitToWorkingCopy(ImageRecord& workingCopy) const {
    const auto pixels = adjustedPixels();
    auto target = workingCopy.pixels();
    std::memcpy(target.data(), pixels.data(), std::min(pixels.size(), target.size()));
}

bool ImageAdjustment::commitToOriginal(std::span<std::uint8_t> originalBlock, OperationFailure& failure) {
    if (originalBlock.size() < kHeaderBlockSize) return false;
    // The original is changed in place: the runner's result block is its only copy, so an A4
    // page at 600 dpi is not held twice over on the heap.
    auto run = [&](int index, void* params) {
        HeaderBlock header;
        std::memcpy(&header, originalBlock.data(), kHeaderBlockSize);
        return runner_.run(index, params, header, originalBlock.subspan(kHeaderBlockSize), originalBlock,
                           failure);
    };
    BrightnessContrastGammaParam tone = toneParams(values_);
    if ((tone.brightness != 0 || tone.contrast != 0) && !run(RK_OP_BRIGHTNESS_CONTRAST_GAMMA, &tone))
        return false;
    HueSaturationLightnessParam hsl = hslParams(values_);
    if (hsl.saturation != 0 && !grey_ && !run(RK_OP_HUE_SATURATION_LIGHTNESS, &hsl)) return false;
    return true;
}

} // namespace tandemscan
