// Invert: the negative of an image, by complementing pixels or the colour table.
#include "operations.h"
#include "rasterkit_internal.h"

namespace rasterkit {
namespace {

void complementPalette(const ImageInfo& info, int entries) {
    const std::uint8_t* src = srcPalette(info);
    std::uint8_t* dst = dstPalette(info);
    for (int i = 0; i < 4 * entries; i += 4) {
        dst[i] = static_cast<std::uint8_t>(~src[i]);
        dst[i + 1] = static_cast<std::uint8_t>(~src[i + 1]);
        dst[i + 2] = static_cast<std::uint8_t>(~src[i + 2]);
    }
}

void copyPaletteColours(const ImageInfo& info, int entries) {
    const std::uint8_t* src = srcPalette(info);
    std::uint8_t* dst = dstPalette(info);
    for (int i = 0; i < 4 * entries; i += 4) {
        dst[i] = src[i];
        dst[i + 1] = src[i + 1];
        dst[i + 2] = src[i + 2];
    }
}

// Complements one row; with a mask only the selected pixels (the rest, padding included, is
// copied).
void invertRow(const std::uint8_t* in, std::uint8_t* out, std::ptrdiff_t stride, int width, int bytesPerPixel,
               const std::uint8_t* selected) {
    if (selected == nullptr) {
        for (std::ptrdiff_t i = 0; i < stride; ++i)
            out[i] = static_cast<std::uint8_t>(~in[i]);
        return;
    }
    std::memcpy(out, in, static_cast<std::size_t>(stride));
    if (bytesPerPixel == 0) { // 1 bit per pixel
        for (int x = 0; x < width; ++x) {
            if (selected[x]) setBit(out, x, !getBit(in, x));
        }
        return;
    }
    for (int x = 0; x < width; ++x) {
        if (!selected[x]) continue;
        for (int c = 0; c < bytesPerPixel; ++c) {
            const auto i = static_cast<std::ptrdiff_t>(x) * bytesPerPixel + c;
            out[i] = static_cast<std::uint8_t>(~in[i]);
        }
    }
}

} // namespace

int runInvert(ImageInfo& info) {
    const int bits = info.nSrcBitCount;
    const bool grey = bits == 8 && isGreyPalette(srcPalette(info), kPaletteEntries);
    progress(info, 10, 100);

    int result = kSucceed;
    if (bits == 4 || (bits == 8 && !grey)) {
        complementPalette(info, 1 << bits);
        copyPixels(info);
        if (canceled(info)) {
            result = kCancel;
        } else {
            progress(info, 100, 100);
        }
    } else {
        if (bits != 24) copyPaletteColours(info, 1 << bits);
        const std::ptrdiff_t stride = srcStride(info);
        const int height = info.nSrcHeight;
        const int planes = isPlanar24(info) ? 3 : 1;
        const int bytesPerPixel = bits == 1 ? 0 : (bits == 8 || planes == 3 ? 1 : 3);
        Selection selection(info, info.nSrcWidth);
        const bool useMask = bits != 8; // grey images are inverted whole
        // From the last row in memory to the first.
        for (int r = height * planes - 1; r >= 0; --r) {
            if (canceled(info)) {
                result = kCancel;
                break;
            }
            const std::uint8_t* selected = useMask ? selection.row(r % height) : nullptr;
            invertRow(rowAt(info.lpSrcData, stride, r), rowAt(info.lpDstData, stride, r), stride,
                      info.nSrcWidth, bytesPerPixel, selected);
        }
        if (result == kSucceed) progress(info, 100, 100);
    }
    return result;
}

} // namespace rasterkit
