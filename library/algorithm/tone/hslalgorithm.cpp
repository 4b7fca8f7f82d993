// HueSaturationLightness: hue rotation and saturation and lightness changes in an integer HLS
// model (sum = max + min, chroma = max - min).
#include "operations.h"
#include "rasterkit_internal.h"

#include <algorithm>
#include <cmath>

namespace rasterkit {
namespace {

struct HslShift {
    int saturation; // -128..128
    int lightness;  // -128..128
    float hueShift; // 0..6
    bool colorize;  // 24-bit images only
};

inline void transform(const HslShift& p, std::uint8_t& blue, std::uint8_t& green, std::uint8_t& red) {
    const int b = blue;
    const int g = green;
    const int r = red;
    int max, min, sector, d;
    if (r >= g) {
        max = r;
        min = g;
        sector = 0;
        d = g - b;
    } else {
        max = g;
        min = r;
        sector = 2;
        d = b - r;
    }
    if (b > max) {
        max = b;
        sector = 4;
        d = r - g;
    } else if (b < min) {
        min = b;
    }
    int chroma = max - min;
    int sum = max + min;
    const float hue =
        chroma != 0 ? static_cast<float>(d) / static_cast<float>(chroma) + static_cast<float>(sector) : 0.0f;

    const int lt = p.lightness;
    if (lt < 0) {
        chroma = chroma * (lt + 128) >> 7;
        sum = sum * (lt + 128) >> 7;
    } else if (lt > 0) {
        chroma = chroma * (128 - lt) >> 7;
        sum = sum + ((510 - sum) * lt >> 7);
    }
    const int s = p.saturation;
    if (s < 0) {
        chroma = chroma * (s + 128) >> 7;
    } else if (s > 0) {
        if (p.colorize) {
            chroma = static_cast<int>(sum * (s / 128.0));
        } else if (s == 128) {
            chroma = b == g && g == r ? 0 : sum;
        } else {
            chroma = chroma * 128 / (128 - s);
        }
    }
    // Keeps hi = (sum + chroma) / 2 a byte and lo non-negative.
    if (sum > 255) {
        if (chroma > 510 - sum) chroma = 510 - sum;
    } else if (chroma > sum) {
        chroma = sum;
    }

    if (sum == 0) {
        blue = green = red = 0;
        return;
    }
    if (chroma == 0) {
        blue = green = red = static_cast<std::uint8_t>(sum >> 1);
        return;
    }
    float h = hue + p.hueShift;
    if (h < 0.0f) {
        h += 6.0f;
    } else if (h > 6.0f) {
        h -= 6.0f;
    }
    const int k = static_cast<int>(h);
    const float f = h - static_cast<float>(k);
    const auto hi = static_cast<std::uint8_t>((sum + chroma) >> 1);
    const auto lo = static_cast<std::uint8_t>(sum - hi);
    auto t = static_cast<std::uint8_t>(static_cast<int>(static_cast<float>(chroma) * f));
    if (k & 1) t = static_cast<std::uint8_t>(chroma - t);
    const auto mid = static_cast<std::uint8_t>(t + lo);
    switch (k) {
    case 1:
        red = mid;
        green = hi;
        blue = lo;
        break;
    case 2:
        red = lo;
        green = hi;
        blue = mid;
        break;
    case 3:
        red = lo;
        green = mid;
        blue = hi;
        break;
    case 4:
        red = mid;
        green = lo;
        blue = hi;
        break;
    case 5:
        red = hi;
        green = lo;
        blue = mid;
        break;
    default:
        red = hi;
        green = mid;
        blue = lo;
        break; // 0 or 6
    }
}

int run(const ImageInfo& info, const HueSaturationLightnessParam& param) {
    // The hue as a fraction of a turn, saturation and lightness as fractions of their bounds.
    float v = static_cast<float>((param.hue - RK_HSL_HUE_MIN) / (RK_HSL_HUE_MAX - RK_HSL_HUE_MIN));
    float s = static_cast<float>(
        std::clamp<double>(param.saturation, RK_HSL_SATURATION_MIN, RK_HSL_SATURATION_MAX) /
        RK_HSL_SATURATION_MAX);
    float l =
        static_cast<float>(std::clamp<double>(param.lightness, RK_HSL_LIGHTNESS_MIN, RK_HSL_LIGHTNESS_MAX) /
                           RK_HSL_LIGHTNESS_MAX);
    if (std::isnan(s)) s = 0.0f;
    if (std::isnan(l)) l = 0.0f;
    // Any number of whole turns (a loop of +-1 would never end for huge values).
    if (!std::isfinite(v)) v = 0.0f;
    v -= std::floor(v);
    if (v >= 1.0f) v = 0.0f;

    if (v == 0.0f && s == 0.0f && l == 0.0f) {
        copyPixels(info);
        // Without the table an indexed copy would show the caller's preset table instead of its own.
        if (info.nSrcBitCount <= 8) copyPalette(info);
        return kSucceed;
    }
    HslShift shift{static_cast<int>(128.0f * s), static_cast<int>(128.0f * l), 6.0f * v, false};

    if (info.nSrcBitCount == 8) {
        const std::uint8_t* src = srcPalette(info);
        std::uint8_t* dst = dstPalette(info);
        for (int i = 0; i < 4 * kPaletteEntries; i += 4) {
            std::uint8_t b = src[i], g = src[i + 1], r = src[i + 2];
            transform(shift, b, g, r);
            dst[i] = b;
            dst[i + 1] = g;
            dst[i + 2] = r;
        }
        copyPixels(info);
        return kSucceed;
    }
    if (info.nSrcBitCount == 24 && info.nSrcPlanes == 1) {
        shift.colorize = param.colorize != 0;
        const std::ptrdiff_t stride = srcStride(info);
        const int width = info.nSrcWidth;
        for (int y = 0; y < info.nSrcHeight; ++y) {
            const std::uint8_t* in = rowAt(info.lpSrcData, stride, y);
            std::uint8_t* out = rowAt(info.lpDstData, stride, y);
            std::memcpy(out, in, static_cast<std::size_t>(stride));
            for (int x = 0; x < width; ++x)
                transform(shift, out[3 * x], out[3 * x + 1], out[3 * x + 2]);
        }
        return kSucceed;
    }
    return kCancel; // formats this operation does not handle answer "Cancel!"
}

} // namespace

int runHueSaturationLightness(ImageInfo& info) {
    HueSaturationLightnessParam param{};
    std::memcpy(&param, info.lpParam, offsetof(HueSaturationLightnessParam, colorize) + 1);
    return run(info, param);
}

} // namespace rasterkit
