// CustomFilter: the user's 5 x 5 integer kernel, per channel.
#include "effects_internal.h"
#include "operations.h"
#include "simd_clones.h"

#include <algorithm>
#include <vector>

namespace rasterkit {
namespace {

// Output of the kernel sum a: divided (truncating toward zero), offset, clamped.
inline std::uint8_t kernelOutput(int a, int divisor, int offset) {
    if (divisor != 0) a /= divisor;
    a += offset;
    return static_cast<std::uint8_t>(a > 254 ? 255 : (a <= 0 ? 0 : a));
}

// The full window rule for pixels near the border: positions outside take the centre's value.
// plane points at the pixel's channel, horizontal neighbours step bytes apart.
int borderSum(const CustomFilterParam& param, const std::uint8_t* plane, std::ptrdiff_t stride, int step,
              int width, int height, int x, int y) {
    const std::uint8_t centre = plane[y * stride + x * step];
    int a = 0;
    const std::int16_t* weight = param.weights;
    for (int j = -2; j <= 2; ++j) {
        for (int i = -2; i <= 2; ++i) {
            const int sx = x + i;
            const int sy = y + j;
            const bool inside = sx >= 0 && sx < width && sy >= 0 && sy < height;
            a += *weight++ * (inside ? plane[sy * stride + sx * step] : centre);
        }
    }
    return a;
}

// Adds (or, for the first kernel row, stores) one kernel row's five taps over one source row.
RK_SIMD_CLONES void addKernelRow(int* __restrict sums, const std::uint8_t* __restrict row, int i0, int i1,
                                 int step, const std::int16_t* weights, bool first) {
    const int w0 = weights[0], w1 = weights[1], w2 = weights[2], w3 = weights[3], w4 = weights[4];
    for (int i = i0; i < i1; ++i) {
        const int a = w0 * row[i - 2 * step] + w1 * row[i - step] + w2 * row[i] + w3 * row[i + step] +
                      w4 * row[i + 2 * step];
        sums[i] = first ? a : sums[i] + a;
    }
}

// kernelOutput over sums i0 .. i1. The quotient in double truncates to the same integer as the
// integer division (the sums stay far below 2^53), and vectorises where that does not.
RK_SIMD_CLONES void outputRow(const int* __restrict sums, std::uint8_t* __restrict out, int i0, int i1,
                              int divisor, int offset) {
    if (divisor == 0) {
        for (int i = i0; i < i1; ++i)
            out[i] = kernelOutput(sums[i], 0, offset);
        return;
    }
    const double d = divisor;
    for (int i = i0; i < i1; ++i) {
        const int a = static_cast<int>(sums[i] / d) + offset;
        out[i] = static_cast<std::uint8_t>(a > 254 ? 255 : (a <= 0 ? 0 : a));
    }
}

} // namespace

int runCustomFilter(ImageInfo& info) {
    if (info.nSrcBitCount == 8) copyPalette(info);
    const auto& param = *static_cast<const CustomFilterParam*>(info.lpParam);
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const RowPlanes planes = rowPlanes(info);
    const int n = planes.rowBytes;
    const int step = planes.step;
    const std::ptrdiff_t stride = planes.layout.stride;
    const int divisor = param.divisor;
    const int offset = param.offset;
    Selection selection(info, width);
    std::vector<int> sums(static_cast<std::size_t>(std::max(n, 0)));
    for (int p = 0; p < planes.count; ++p) {
        for (int y = 0; y < height; ++y) {
            if (canceled(info)) return kCancel;
            const bool innerRow = y >= 2 && y + 2 < height && width >= 5;
            std::uint8_t* out = planes.dst(p, y);
            if (innerRow) {
                for (int j = 0; j < 5; ++j) {
                    addKernelRow(sums.data(), planes.src(p, y + j - 2), 2 * step, n - 2 * step, step,
                                 param.weights + 5 * j, j == 0);
                }
                outputRow(sums.data(), out, 2 * step, n - 2 * step, divisor, offset);
            }
            for (int x = 0; x < width; ++x) {
                if (innerRow && x == 2) x = width - 2;
                for (int k = 0; k < step; ++k) {
                    const int a = borderSum(param, planes.src(p, 0) + k, stride, step, width, height, x, y);
                    out[x * step + k] = kernelOutput(a, divisor, offset);
                }
            }
            keepUnselected(planes, selection.row(y), p, y);
            planeProgress(info, planes, p, y);
        }
    }
    return kSucceed;
}

} // namespace rasterkit
