// MirrorHorizontal and FlipVertical.
#include "operations.h"
#include "rasterkit_internal.h"

#include <algorithm>

namespace rasterkit {
namespace {

// Packed rows: pixel by pixel; the padding bits of the destination row end up zero.
void mirrorPackedRow(const std::uint8_t* in, std::uint8_t* out, std::ptrdiff_t stride, int width, int bits) {
    std::memset(out, 0, static_cast<std::size_t>(stride));
    if (bits == 1) {
        for (int x = 0; x < width; ++x) {
            if (getBit(in, width - 1 - x)) out[x >> 3] |= static_cast<std::uint8_t>(0x80u >> (x & 7));
        }
        return;
    }
    for (int x = 0; x < width; ++x)
        setPacked(out, x, bits, getPacked(in, width - 1 - x, bits));
}

void mirrorRow(const std::uint8_t* in, std::uint8_t* out, std::ptrdiff_t stride, int width,
               int bytesPerPixel) {
    const std::ptrdiff_t used = static_cast<std::ptrdiff_t>(width) * bytesPerPixel;
    std::memcpy(out + used, in + used, static_cast<std::size_t>(stride - used));
    reversePixels(in, out, width, bytesPerPixel);
}

} // namespace

int runMirrorHorizontal(ImageInfo& info) {
    if (info.nSrcType != RK_TYPE_RGB24) copyPalette(info);
    const Planes planes = planesOf(info);
    const int height = info.nSrcHeight;
    for (int y = 0; y < height; ++y) {
        for (int j = 0; j < planes.count; ++j) {
            if (planes.bytesPerPixel == 0) {
                mirrorPackedRow(planes.srcRow(j, y), planes.dstRow(j, y), planes.dstStride, info.nSrcWidth,
                                info.nSrcBitCount);
            } else {
                mirrorRow(planes.srcRow(j, y), planes.dstRow(j, y), planes.dstStride, info.nSrcWidth,
                          planes.bytesPerPixel);
            }
        }
        progress(info, y + 1, height);
        if (canceled(info)) return kCancel;
    }
    return kSucceed;
}

int runFlipVertical(ImageInfo& info) {
    if (info.nSrcType != RK_TYPE_RGB24) copyPalette(info);
    const Planes planes = planesOf(info);
    const int height = info.nSrcHeight;
    for (int y = 0; y < height; ++y) {
        for (int j = 0; j < planes.count; ++j) {
            std::memcpy(planes.dstRow(j, y), planes.srcRow(j, height - 1 - y),
                        static_cast<std::size_t>(planes.dstStride));
        }
        progress(info, y + 1, height);
        if (canceled(info)) return kCancel;
    }
    return kSucceed;
}

void reversePixels(const std::uint8_t* in, std::uint8_t* out, int width, int bytesPerPixel) noexcept {
    switch (bytesPerPixel) {
    case 1:
        std::reverse_copy(in, in + width, out);
        break;
    case 3: {
        // Byte by byte from the row's end: the compiler keeps this loop free of calls.
        const std::uint8_t* p = in + 3 * static_cast<std::ptrdiff_t>(width);
        for (int x = 0; x < width; ++x) {
            p -= 3;
            out[3 * x] = p[0];
            out[3 * x + 1] = p[1];
            out[3 * x + 2] = p[2];
        }
        break;
    }
    default:
        for (int x = 0; x < width; ++x) {
            std::memcpy(out + static_cast<std::ptrdiff_t>(x) * bytesPerPixel,
                        in + static_cast<std::ptrdiff_t>(width - 1 - x) * bytesPerPixel,
                        static_cast<std::size_t>(bytesPerPixel));
        }
    }
}

} // namespace rasterkit
