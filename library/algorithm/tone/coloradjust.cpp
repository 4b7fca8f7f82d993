// ColorAdjust: a constant added to each primary, clamped to 0..255.
#include "operations.h"
#include "rasterkit_internal.h"

namespace rasterkit {
namespace {

void offsetTable(int offset, ByteTable& table) {
    for (int i = 0; i < 256; ++i)
        table[i] = clampByte(i + offset);
}

int run(const ImageInfo& info, const ColorAdjustParam& param) {
    ByteTable tables[3]; // blue, green, red
    offsetTable(param.blue, tables[0]);
    offsetTable(param.green, tables[1]);
    offsetTable(param.red, tables[2]);
    if (info.nSrcBitCount == 8) {
        // A colour table cannot change for part of an image.
        if (info.lpMask != nullptr) return kNotSupported;
        const std::uint8_t* src = srcPalette(info);
        std::uint8_t* dst = dstPalette(info);
        for (int i = 0; i < 4 * kPaletteEntries; i += 4) {
            for (int c = 0; c < 3; ++c)
                dst[i + c] = tables[c][src[i + c]];
        }
        copyPixels(info);
        return kSucceed;
    }
    return mapPixels24(info, tables, false); // interleaved 24 bits
}

} // namespace

int runColorAdjust(ImageInfo& info) {
    ColorAdjustParam param;
    std::memcpy(&param, info.lpParam, sizeof param);
    return run(info, param);
}

} // namespace rasterkit
