#include "picture.h"

#include "byte_order.h"

namespace tilex {

int Picture::width() const {
    return static_cast<int32_t>(getLe32(header, 4));
}
int Picture::height() const {
    return static_cast<int32_t>(getLe32(header, 8));
}
int Picture::bitCount() const {
    return getLe16(header, 14);
}

int Picture::paletteSize() const {
    const uint32_t used = getLe32(header, 32);
    const int depth = bitCount();
    if (depth >= 16) return 0;
    const int full = 1 << depth;
    return used == 0 || used > static_cast<uint32_t>(full) ? full : static_cast<int>(used);
}

size_t Picture::rowStride(int width, int bitCount) {
    if (width <= 0) return 0;
    const size_t w = static_cast<size_t>(width);
    switch (bitCount) {
    case 1:
        return (w + 31) / 32 * 4;
    case 4:
        return (w + 7) / 8 * 4;
    case 8:
        return (w + 3) / 4 * 4;
    case 16:
        return (2 * w + 3) / 4 * 4;
    case 24:
        return (3 * w + 3) / 4 * 4;
    case 32:
        return 4 * w;
    default:
        return 0;
    }
}

bool Picture::usable() const {
    if (header.size() != pictureHeaderBytes || width() <= 0 || height() <= 0) return false;
    if (getLe32(header, 16) != 0) return false; // compressed rows are not drawn
    const size_t stride = rowStride(width(), bitCount());
    return stride != 0 && pixels.size() / stride >= static_cast<size_t>(height());
}

} // namespace tilex
