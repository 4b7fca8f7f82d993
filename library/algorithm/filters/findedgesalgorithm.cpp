// FindEdges: 8 x centre minus the eight neighbours, lifted by 255.
#include "effects_internal.h"
#include "operations.h"
#include "simd_clones.h"

#include <algorithm>

namespace rasterkit {
namespace {

// One row of samples, neighbours `step` bytes apart, from i = step to n - step.
RK_SIMD_CLONES void findEdgesRow(const std::uint8_t* __restrict up, const std::uint8_t* __restrict mid,
                                 const std::uint8_t* __restrict down, std::uint8_t* __restrict out, int n,
                                 int step) {
    for (int i = step; i < n - step; ++i) {
        const int ring = up[i - step] + up[i] + up[i + step] + mid[i - step] + mid[i + step] +
                         down[i - step] + down[i] + down[i + step];
        out[i] = clampByte(8 * mid[i] - ring + 255);
    }
}

} // namespace

int runFindEdges(ImageInfo& info) {
    if (info.nSrcBitCount == 8) copyPalette(info);
    // The border rows and columns are copies of their inner neighbours.
    return filter3x3(info, [&](const RowPlanes& planes, Selection& selection) {
        const int n = planes.rowBytes;
        const int step = planes.step;
        const int height = planes.height;
        for (int p = 0; p < planes.count; ++p) {
            for (int y = 1; y < height - 1; ++y) {
                std::uint8_t* out = planes.dst(p, y);
                findEdgesRow(planes.src(p, y - 1), planes.src(p, y), planes.src(p, y + 1), out, n, step);
                keepUnselected(planes, selection.row(y), p, y);
                std::copy_n(out + step, step, out);
                std::copy_n(out + n - 2 * step, step, out + n - step);
                progress(info, p * (height - 2) + y, planes.count * (height - 2));
                if (canceled(info)) return kCancel;
            }
            std::copy_n(planes.dst(p, 1), n, planes.dst(p, 0));
            std::copy_n(planes.dst(p, height - 2), n, planes.dst(p, height - 1));
        }
        return kSucceed;
    });
}

} // namespace rasterkit
