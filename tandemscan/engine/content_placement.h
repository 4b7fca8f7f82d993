// Placement by picture content: the rigid map of the right part onto the left part, found by
// comparing what the two parts show in their overlap. Used by the window, the command line and
// the batch alike.
//
// Picture coordinates: x to the right, y down, pixel centres at integers, the origin at the
// centre of each part's top-left pixel (rows are stored bottom-up; the map is not).
//   x_left = cos(a) * x_r - sin(a) * y_r + dx
//   y_left = sin(a) * x_r + cos(a) * y_r + dy
// With `flipped`, (x_r, y_r) are taken after the right part is turned by 180 degrees:
// (x, y) -> (width - 1 - x, height - 1 - y).
#pragma once

#include "engine/image_record.h"

#include <optional>
#include <span>
#include <string>

namespace tandemscan {

struct ContentPlacement {
    bool flipped = false;
    double angleDeg = 0; // a, within +-3 degrees
    double dx = 0;       // left-part pixels
    double dy = 0;
    double confidence = 0; // 0..1; a refusal is never returned as a low confidence
    friend bool operator==(const ContentPlacement&, const ContentPlacement&) = default;
};

// One part as the engine holds it: the header block and its bottom-up, 4-byte padded rows.
struct PartPixels {
    const HeaderBlock& header;
    std::span<const std::uint8_t> pixels;
};

// The map of `right` onto `left`, or nullopt with `why` set to a reason a person understands
// ("the overlap is blank paper", "the overlap is too narrow", "these parts do not show the same
// sheet", ...). Both parts must have the same depth (1, 8 or 24 bits).
std::optional<ContentPlacement> estimateContentPlacement(const PartPixels& left, const PartPixels& right,
                                                         std::string* why = nullptr);

} // namespace tandemscan
