// Blur and Sharpen: 3 x 3 kernels per channel.
#include "effects_internal.h"
#include "operations.h"
#include "simd_clones.h"

#include <algorithm>
#include <vector>

namespace rasterkit {
namespace {

// Both kernels give all eight neighbours one weight and the centre the rest of 1.
struct Kernel3 {
    double neighbour;
    double centre;
};

Kernel3 blurKernel(int level) {
    const double c = (level - 1) / 648.0 + 1.0 / 9.0;
    return {c, 1 - 8 * c};
}

// The blur weights are exact 648ths: (level + 71) / 648 for each neighbour, (80 - 8 level) / 648
// for the centre, so the sum is N / 648 for an integer N.
constexpr int kBlurDenominator = 648;
constexpr int kBlurTop = 254 * kBlurDenominator;

Kernel3 sharpenKernel(int level) {
    const double c = -0.1 * level;
    return {c, 1 - 8 * c};
}

// One row of samples, neighbours `step` bytes apart, from i = step to n - step. The sums stay in
// double (a uniform area sits a hair below its level, the tolerance lifts it back), so every
// processor gives the same bytes: the clones contract no multiply-add.
RK_SIMD_CLONES void convolveRow(const std::uint8_t* __restrict up, const std::uint8_t* __restrict mid,
                                const std::uint8_t* __restrict down, std::uint8_t* __restrict out, int n,
                                int step, Kernel3 kernel, bool edgesOnly) {
    for (int i = step; i < n - step; ++i) {
        const int ring = up[i - step] + up[i] + up[i + step] + mid[i - step] + mid[i + step] +
                         down[i - step] + down[i] + down[i + step];
        const double s = kernel.neighbour * ring + kernel.centre * mid[i];
        const double level = s > 254 ? 255.0 : (s <= 0 ? 0.0 : s + kTruncationTolerance);
        std::uint8_t value = static_cast<std::uint8_t>(static_cast<int>(level));
        if (edgesOnly) {
            // Rows y - 1, y, y + 1, the window a b c / d e f / g h i: -2a - b - d + f + h + 2i.
            const int edge =
                -2 * up[i - step] - up[i] - mid[i - step] + mid[i + step] + down[i] + 2 * down[i + step];
            if (edge > -200 && edge < 200) value = mid[i];
        }
        out[i] = value;
    }
}

// convolveRow's bytes for a blur kernel, in integers: the double sum lies within 1e-12 of N / 648,
// and any fraction of a 648th is far above that, so truncating it (after the tolerance) gives
// floor(N / 648). The sums exactly at the clamp, N = 254 x 648, come out of the double arithmetic
// as 254 at every level too (a test runs each of them).
RK_SIMD_CLONES void blurRow(const std::uint8_t* __restrict up, const std::uint8_t* __restrict mid,
                            const std::uint8_t* __restrict down, std::uint8_t* __restrict out, int n,
                            int step, int level) {
    const unsigned neighbour = static_cast<unsigned>(level + 71);
    const unsigned centre = static_cast<unsigned>(80 - 8 * level);
    for (int i = step; i < n - step; ++i) {
        const unsigned ring = up[i - step] + up[i] + up[i + step] + mid[i - step] + mid[i + step] +
                              down[i - step] + down[i] + down[i + step];
        const unsigned sum = neighbour * ring + centre * mid[i];
        out[i] = static_cast<std::uint8_t>(sum > kBlurTop ? 255u : sum / kBlurDenominator);
    }
}

// blurLevel 1..10 takes the integer row of that blur level, 0 the double row.
int convolve3x3(ImageInfo& info, Kernel3 kernel, bool edgesOnly, int blurLevel) {
    return filter3x3(info, [&](const RowPlanes& planes, Selection& selection) {
        const int n = planes.rowBytes;
        const int step = planes.step;
        const int height = planes.height;
        for (int p = 0; p < planes.count; ++p) {
            std::copy_n(planes.src(p, 0), n, planes.dst(p, 0));
            std::copy_n(planes.src(p, height - 1), n, planes.dst(p, height - 1));
            for (int y = 1; y < height - 1; ++y) {
                if (canceled(info)) return kCancel;
                const std::uint8_t* mid = planes.src(p, y);
                std::uint8_t* out = planes.dst(p, y);
                if (blurLevel > 0) {
                    blurRow(planes.src(p, y - 1), mid, planes.src(p, y + 1), out, n, step, blurLevel);
                } else {
                    convolveRow(planes.src(p, y - 1), mid, planes.src(p, y + 1), out, n, step, kernel,
                                edgesOnly);
                }
                std::copy_n(mid, step, out);
                std::copy_n(mid + n - step, step, out + n - step);
                keepUnselected(planes, selection.row(y), p, y);
                planeProgress(info, planes, p, y);
            }
        }
        return kSucceed;
    });
}

int levelOf(const ImageInfo& info) {
    return std::clamp(*static_cast<const std::int32_t*>(info.lpParam), RK_BLUR_LEVEL_MIN, RK_BLUR_LEVEL_MAX);
}

} // namespace

int runBlur(ImageInfo& info) {
    if (info.nSrcBitCount == 8) copyPalette(info);
    const int level = levelOf(info);
    return convolve3x3(info, blurKernel(level), false, level);
}

int runSharpen(ImageInfo& info) {
    if (info.nSrcBitCount == 8) copyPalette(info);
    const auto* param = static_cast<const SharpenParam*>(info.lpParam);
    return convolve3x3(
        info, sharpenKernel(std::clamp<int>(param->level, RK_SHARPEN_LEVEL_MIN, RK_SHARPEN_LEVEL_MAX)),
        param->edgesOnly == 1, 0);
}

} // namespace rasterkit
