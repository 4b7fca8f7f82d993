// Image records as Qt images, for drawing.
#pragma once

#include "engine/image_record.h"

#include <QImage>

namespace tandemscan {

// A deep copy of the record as a top-down QImage (1, 8 and 24 bits; empty for other depths).
QImage toQImage(const ImageRecord& record);

} // namespace tandemscan
