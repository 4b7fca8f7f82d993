#include "engine/placement.h"

#include <cmath>
#include <sstream>

namespace tandemscan {

float PaperWidth::refresh(std::int32_t tenthsOfMillimetre) {
    if (tenthsOfMillimetre > 2300 && tenthsOfMillimetre < 4220) inches_ = tenthsOfMillimetre / 254.0f;
    return inches_;
}

std::optional<AutoPlacement> computeAutoPlacement(const ImageHeader& left, const ImageHeader& right,
                                                  float paperWidthInches, double workScale, double viewScale,
                                                  std::string* why) {
    if (left.xPelsPerMeter <= 0) {
        if (why) *why = "The left part has no resolution, so its width in inches is unknown";
        return std::nullopt;
    }
    const std::int64_t joinedWidth = std::int64_t{left.width} + right.width;
    const float roundedDpi = static_cast<float>(left.xPelsPerMeter) / kPelsPerMeterPerDpi;
    const double w100 = static_cast<double>(joinedWidth) * 100 / roundedDpi;
    const double dpi = left.xPelsPerMeter / static_cast<double>(kPelsPerMeterPerDpi);
    double target;
    if (w100 >= 1695 && w100 <= 1697)
        target = (paperWidthInches - kMarginInches - kSecondMarginInches - kSecondMarginInches) * dpi;
    else if (w100 >= 1699 && w100 <= 1701)
        target = (paperWidthInches - kMarginInches + kSecondMarginInches) * dpi;
    else
        target = (paperWidthInches - kMarginInches - kSecondMarginInches - kSecondMarginInches) * dpi;

    AutoPlacement placement;
    placement.autoOverlap = (static_cast<double>(joinedWidth) - target) / 2.0;
    if (placement.autoOverlap < 0) {
        if (why) {
            std::ostringstream text;
            text.setf(std::ios::fixed);
            text.precision(1);
            text << "The parts are " << static_cast<double>(joinedWidth) / dpi * 25.4
                 << " mm wide together, less than the original width of " << target / dpi * 25.4
                 << " mm to be joined; they cannot overlap";
            *why = text.str();
        }
        return std::nullopt;
    }
    const double s = placement.autoOverlap / (workScale * viewScale);
    placement.leftOffsetX = -static_cast<std::int32_t>(s);
    placement.rightOffsetX = static_cast<std::int32_t>(s + 0.5);
    return placement;
}

WidthBounds automaticMergeBounds(std::int32_t xPelsPerMeter) {
    const float r = static_cast<float>(xPelsPerMeter);
    // In single precision. A4 is a fraction of a pixel wider than scanners deliver (4960.6 at
    // 600 dpi, 4960 delivered), so the low bound is rounded down; the high one to the nearest,
    // halves up.
    return {static_cast<std::int32_t>(std::floor(r * 8.2677f / kPelsPerMeterPerDpi)),
            static_cast<std::int32_t>(r * 8.5f / kPelsPerMeterPerDpi + 0.5f)};
}

bool automaticMergeWidthRule(const ImageHeader& left, const ImageHeader& right) {
    const WidthBounds bounds = automaticMergeBounds(left.xPelsPerMeter);
    auto within = [&](std::int32_t width) { return width >= bounds.low && width <= bounds.high; };
    return within(left.width) && within(right.width);
}

} // namespace tandemscan
