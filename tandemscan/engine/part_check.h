// Whether a part may join the part already in the other side: the one rule the window, the
// scan request and tandemscan-merge all check a part by.
#pragma once

#include "engine/image_record.h"

#include <cstdint>

namespace tandemscan {

// What the first part loaded into an empty workspace was; later parts must match it. The colour
// kind is the colour-table count when that is not 0, else the bits per pixel; the gray flag is
// set only for 8-bit gray parts.
struct PartReference {
    bool gray = false;
    std::uint32_t colourKind = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    friend bool operator==(const PartReference&, const PartReference&) = default;
};

// Outcome of the checks made on a part before it is loaded (the values are the message codes).
enum class PartCheck { Accepted = 0, NotSupported = 1, ResolutionDiffers = 2, TypeDiffers = 3 };

// Parts have 1, 8 or 24 bits per pixel.
bool partDepthSupported(std::uint32_t bitCount);

PartReference partReferenceOf(const HeaderBlock& part);

// A part alone: 1, 8 or 24 bits and a stated horizontal resolution. With a reference, the part
// must also have its colour kind (by count or by depth), its gray flag and a horizontal
// resolution less than 20 pixels per metre away.
PartCheck checkPart(const HeaderBlock& part, const PartReference* reference);

// Bits per pixel behind a colour kind (a colour-table count, or the depth itself).
std::uint32_t bitsOfColourKind(std::uint32_t kind);

// A scan of `bits` (gray for 8) at `xPelsPerMeter` against the part already loaded, whose
// reference counts an 8-bit palette colour part as colour kind 24. A different depth is a
// different type; a different gray flag at the same depth is not supported.
PartCheck checkScanRequest(std::uint32_t bits, bool gray, std::int32_t xPelsPerMeter,
                           const PartReference& existing);

} // namespace tandemscan
