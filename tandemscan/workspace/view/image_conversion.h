// Image records as Qt images, for drawing.
#pragma once

#include "engine/image_record.h"

#include <QImage>
#include <span>

namespace tandemscan {

// A deep copy of the record as a top-down QImage (1, 8 and 24 bits; empty for other depths).
QImage toQImage(const ImageRecord& record);
// The same for a header block and pixels held elsewhere.
QImage toQImage(const HeaderBlock& header, std::span<const std::uint8_t> pixels);

} // namespace tandemscan
