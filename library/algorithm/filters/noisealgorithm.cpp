// Noise: impulse or uniform noise over every byte of the image.
#include "effects_internal.h"
#include "operations.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace rasterkit {
namespace {

// Progress is reported once per this many steps (and after the last one), not per byte.
constexpr std::int64_t kStepsPerReport = 4096;

void reportSteps(const ImageInfo& info, std::int64_t done, std::int64_t total) {
    if (done % kStepsPerReport == 0 || done == total) {
        // Totals beyond the int range are scaled down to it.
        const std::int64_t scale = total / 0x7fffffff + 1;
        progress(info, static_cast<int>(done / scale), static_cast<int>(total / scale));
    }
}

} // namespace

int runNoise(ImageInfo& info) {
    auto* param = static_cast<NoiseParam*>(info.lpParam);
    // The whole buffer, row padding included, and all three planes of a planar image.
    const std::int64_t length = static_cast<std::int64_t>(srcBytes(info));
    auto* dst = static_cast<std::uint8_t*>(info.lpDstData);
    copyPixels(info);
    if (info.nSrcBitCount == 8 && !isGrey8(info)) {
        copyPalette(info);
        progress(info, 1, 1);
        return kSucceed;
    }
    if (info.nSrcBitCount == 8) copyPalette(info);
    param->amount = std::clamp(param->amount, RK_NOISE_AMOUNT_MIN, RK_NOISE_AMOUNT_MAX);
    const std::int64_t amount = param->amount;
    SeededRandom seeds(clockSeed());
    PixelRandom random = PixelRandom::from(seeds);
    switch (param->kind) {
    case RK_NOISE_IMPULSE: {
        const std::int64_t count = length * amount / 100;
        const std::uint8_t value = info.nSrcBitCount == 8 ? 255 : 180;
        for (std::int64_t i = 1; i <= count; ++i) {
            const auto a = static_cast<std::int64_t>(random.next());
            const auto b = static_cast<std::int64_t>(random.next());
            dst[(a * b) % length] = value;
            reportSteps(info, i, count);
        }
        break;
    }
    case RK_NOISE_UNIFORM_BRIGHTENED:
    case RK_NOISE_UNIFORM: {
        const bool brightened = param->kind == RK_NOISE_UNIFORM_BRIGHTENED;
        const double root12 = std::sqrt(12.0);
        const double scale = brightened ? amount * root12 : root12 * amount / std::sqrt(10.0);
        const double lift = brightened ? 50 : 0;
        for (std::int64_t i = 0; i < length; ++i) {
            const float r = static_cast<float>(random.next() % 100 + 1) / 100.0f;
            dst[i] = clampTruncate(scale * (static_cast<double>(r) - 0.5) + dst[i] + lift);
            reportSteps(info, i + 1, length);
        }
        break;
    }
    default:
        progress(info, 1, 1);
        break;
    }
    return kSucceed;
}

} // namespace rasterkit
