// Joining two parts by a content placement: the left part copied as it is, the right part turned
// (the half turn of `flipped`, then the fine turn) and resampled with cubic weights straight into
// the output, white where neither part reaches. The seam is a straight line at the middle of the
// overlap: a hard cut, or a feathered band with the right part's gain matched to the left's so
// that neither a step nor a ghost shows.
#pragma once

#include "engine/content_placement.h"
#include "engine/image_record.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tandemscan {

enum class SeamMode : std::uint8_t { cut, feather };

// Width of the feathered band on paper.
inline constexpr double kFeatherMillimetres = 4.0;

struct SeamOptions {
    SeamMode mode = SeamMode::feather; // 1-bit parts are always cut
    double featherWidth = 0;           // output pixels; 0: kFeatherMillimetres at the left part's resolution
};

// Where the parts land in the joined picture, in top-down picture coordinates.
struct SeamJoinLayout {
    std::int32_t width = 0; // the canvas
    std::int32_t height = 0;
    std::int32_t leftX = 0; // the left part's top-left pixel in the canvas
    std::int32_t leftY = 0;
    friend bool operator==(const SeamJoinLayout&, const SeamJoinLayout&) = default;
};

// The smallest canvas that holds the left part and every mapped pixel centre of the right part.
// nullopt with `why` when the map is not finite or the canvas would not fit a picture.
std::optional<SeamJoinLayout> seamJoinLayout(const ImageHeader& left, const ImageHeader& right,
                                             const ContentPlacement& map, std::string* why = nullptr);

// Header pass: fills `out` for joining `left` and `right` by `map`. Both parts must have the
// same depth, 1 or 24 bits or 8-bit grey (8-bit colour parts are expanded to 24 bits first, as
// for the composer). 1-bit output keeps the left palette; 8-bit grey output gets the grey ramp.
bool seamJoinHeader(HeaderBlock& out, const HeaderBlock& left, const HeaderBlock& right,
                    const ContentPlacement& map, std::string* why = nullptr);

// Pixel pass into `outPixels`, which must hold the size the header pass gives.
bool seamJoinImages(const HeaderBlock& out, std::span<std::uint8_t> outPixels, const HeaderBlock& left,
                    std::span<const std::uint8_t> leftPixels, const HeaderBlock& right,
                    std::span<const std::uint8_t> rightPixels, const ContentPlacement& map,
                    const SeamOptions& options = {}, std::string* why = nullptr);

// The map between working copies from the map between originals, each working pixel covering
// `workScale` original pixels (pixel centres correspond as the resampler places them).
ContentPlacement scaleContentPlacement(const ContentPlacement& map, double workScale);

// kFeatherMillimetres in pixels of a picture with this resolution, reduced by `workScale`; 4 mm
// at 300 dpi when the resolution is unknown.
double featherWidthFor(const ImageHeader& part, double workScale = 1.0);

} // namespace tandemscan
