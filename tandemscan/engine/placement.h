// Automatic placement: the two parts are overlapped by exactly as much as the known width of the
// original sheet requires (less fixed margins). Picture content is never compared.
#pragma once

#include "engine/image_record.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tandemscan {

inline constexpr float kDefaultPaperWidthInches = 16.5354f; // 420 mm, the long side of A3
inline constexpr double kMarginInches = 0.161;
inline constexpr double kSecondMarginInches = 0.04;

// The original sheet's width in inches, kept for the whole run. Only a width in tenths of a
// millimetre strictly between 2300 and 4220 replaces it; anything else keeps the last valid one.
class PaperWidth {
  public:
    float inches() const { return inches_; }
    float refresh(std::int32_t tenthsOfMillimetre);

  private:
    float inches_ = kDefaultPaperWidthInches;
};

struct AutoPlacement {
    double autoOverlap = 0;        // half the surplus width, in original pixels
    std::int32_t leftOffsetX = 0;  // screen pixels: -trunc(s)
    std::int32_t rightOffsetX = 0; // screen pixels: trunc(s + 0.5)
};

// The overlap for two originals (their headers) and the screen offsets for the given scales.
// nullopt, with `why` filled, when the parts together are narrower than the target width (the
// overlap would be negative) or the left part has no resolution.
std::optional<AutoPlacement> computeAutoPlacement(const ImageHeader& left, const ImageHeader& right,
                                                  float paperWidthInches, double workScale, double viewScale,
                                                  std::string* why = nullptr);

// The width bounds, in pixels at the given resolution, between A4 width (8.2677 inches) and
// Letter width (8.5 inches), both included.
struct WidthBounds {
    std::int32_t low = 0;
    std::int32_t high = 0;
};
WidthBounds automaticMergeBounds(std::int32_t xPelsPerMeter);
// True when both widths lie within the bounds at the left part's resolution: two such parts
// together make up an A3 sheet.
bool automaticMergeWidthRule(const ImageHeader& left, const ImageHeader& right);

} // namespace tandemscan
