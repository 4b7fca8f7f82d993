// BrightnessContrastGamma: one composite lookup table (contrast, then brightness, then gamma).
#include "operations.h"
#include "rasterkit_internal.h"

#include <cmath>

namespace rasterkit {
namespace {

void buildTable(const BrightnessContrastGammaParam& p, ByteTable& table) {
    // The bounds also keep the integer sums below from overflowing.
    const int k = clampInt(p.contrast, RK_BCG_CONTRAST_MIN, RK_BCG_CONTRAST_MAX);
    const int brightness = clampInt(p.brightness, RK_BCG_BRIGHTNESS_MIN, RK_BCG_BRIGHTNESS_MAX);
    for (int i = 0; i < 256; ++i) {
        int c;
        if (k >= 0) {
            if (i < k) {
                c = 0;
            } else if (i > 255 - k) {
                c = 255;
            } else {
                c = truncToByte(static_cast<double>(i - k) * 255.0 / (255 - 2 * k) + 0.499);
            }
        } else {
            c = clampByte(i * (255 + 2 * k) / 255 - k);
        }
        const int b = clampByte(c + brightness);
        table[i] = truncToByte(std::pow(b / 255.0, 1.0 / p.gamma) * 255.0 + 0.499);
    }
}

int run(const ImageInfo& info, const ByteTable& table) {
    const int bits = info.nSrcBitCount;
    if (bits == 1 || bits == 2 || bits == 4) {
        if (info.lpMask != nullptr) return kNotSupported;
        mapPalette(info, paletteCount(info), table);
        copyPixels(info);
        return kSucceed;
    }
    if (bits == 8) {
        const int count = paletteCount(info);
        if (info.nSrcType == RK_TYPE_GREY || isGreyPalette(srcPalette(info), count)) {
            return mapPixels8(info, table, true);
        }
        if (info.lpMask != nullptr) return kNotSupported;
        mapPalette(info, count, table);
        copyPixels(info);
        return kSucceed;
    }
    ByteTable all[3]; // 24 bits
    for (auto& t : all)
        std::memcpy(t, table, sizeof(ByteTable));
    return mapPixels24(info, all, true);
}

} // namespace

int runBrightnessContrastGamma(ImageInfo& info) {
    BrightnessContrastGammaParam param;
    std::memcpy(&param, info.lpParam, sizeof param);
    ByteTable table;
    buildTable(param, table);
    return run(info, table);
}

} // namespace rasterkit
