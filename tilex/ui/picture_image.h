// Shows the game's image record with Qt: a top-down QImage copy of the bottom-up rows.
#pragma once

#include "picture.h"

#include <QImage>

namespace tilex {

// A null image when the record is not usable.
QImage pictureToImage(const Picture& picture);

} // namespace tilex
