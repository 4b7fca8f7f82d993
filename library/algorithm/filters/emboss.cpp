// Emboss: relief from the difference of two samples on either side of each pixel.
#include "effects_internal.h"
#include "operations.h"
#include "simd_clones.h"

#include <algorithm>
#include <cstdlib>

namespace rasterkit {
namespace {

// Offsets of sample A (B is its mirror through the pixel) in units of the reach r, and the sign
// the strength takes, per direction.
struct EmbossDirection {
    int ax;
    int ay;
    int sign;
};
constexpr EmbossDirection kDirections[8] = {{1, 0, 1}, {1, 0, -1},  {0, 1, 1},  {0, 1, -1},
                                            {1, 1, 1}, {-1, 1, -1}, {-1, 1, 1}, {1, 1, -1}};

// Bytes i0 .. i1 of one row where both samples lie inside the image: a at +offset, b at -offset.
RK_SIMD_CLONES void embossRow(const std::uint8_t* __restrict a, const std::uint8_t* __restrict b,
                              std::uint8_t* __restrict out, int i0, int i1, int offset, double strength) {
    for (int i = i0; i < i1; ++i) {
        const double v = strength * (a[i + offset] - b[i - offset]) + 128;
        // The clamp before the conversion also sends NaN to 0.
        const double level = v > 0.0 ? (v < 255.0 ? v : 255.0) : 0.0;
        out[i] = static_cast<std::uint8_t>(static_cast<int>(level));
    }
}

} // namespace

int runEmboss(ImageInfo& info) {
    const auto* param = static_cast<const EmbossParam*>(info.lpParam);
    if (info.nSrcBitCount == 8) copyPalette(info);
    const EmbossDirection d =
        kDirections[std::clamp(param->direction, RK_EMBOSS_DIRECTION_MIN, RK_EMBOSS_DIRECTION_MAX)];
    const int reach = (std::clamp(param->size, RK_EMBOSS_SIZE_MIN, RK_EMBOSS_SIZE_MAX) - 1) / 2;
    const double strength = d.sign * param->strength;
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const RowPlanes planes = rowPlanes(info);
    const int step = planes.step;
    Selection selection(info, width);
    const int dx = d.ax * reach;
    const int dy = d.ay * reach;
    // Pixels whose samples both lie inside the row; outside them a missing sample is the pixel's own.
    const int inner0 = std::min(std::abs(dx), width);
    const int inner1 = std::max(width - std::abs(dx), inner0);
    for (int p = 0; p < planes.count; ++p) {
        for (int y = 0; y < height; ++y) {
            if (canceled(info)) return kCancel;
            const bool rowA = y + dy >= 0 && y + dy < height;
            const bool rowB = y - dy >= 0 && y - dy < height;
            const std::uint8_t* own = planes.src(p, y);
            std::uint8_t* out = planes.dst(p, y);
            const auto sample = [&](int x, int k) {
                const bool useA = rowA && x + dx >= 0 && x + dx < width;
                const bool useB = rowB && x - dx >= 0 && x - dx < width;
                const int i = x * step + k;
                const int a = useA ? planes.src(p, y + dy)[i + dx * step] : own[i];
                const int b = useB ? planes.src(p, y - dy)[i - dx * step] : own[i];
                out[i] = clampTruncate(strength * (a - b) + 128);
            };
            const bool inner = rowA && rowB;
            for (int x = 0; x < width; ++x) {
                if (inner && x == inner0) x = inner1;
                if (x >= width) break;
                for (int k = 0; k < step; ++k)
                    sample(x, k);
            }
            if (inner && inner0 < inner1) {
                embossRow(planes.src(p, y + dy), planes.src(p, y - dy), out, inner0 * step, inner1 * step,
                          dx * step, strength);
            }
            keepUnselected(planes, selection.row(y), p, y);
            progress(info, p * height + y + 1, planes.count * height);
        }
    }
    return kSucceed;
}

} // namespace rasterkit
