// Blur and Sharpen: 3 x 3 kernels per channel.
#include "effects_internal.h"

#include <algorithm>
#include <cmath>
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

Kernel3 sharpenKernel(int level) {
    const double c = -0.1 * level;
    return {c, 1 - 8 * c};
}

inline std::uint8_t convolutionOutput(double s) {
    if (s > 254) return 255;
    if (s <= 0) return 0;
    return static_cast<std::uint8_t>(s + kTruncationTolerance);
}

// Rows y - 1, y, y + 1 of one channel, the window at column x: a b c / d e f / g h i.
int edgeResponse(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, int x) {
    return -2 * up[x - 1] - up[x] - mid[x - 1] + mid[x + 1] + down[x] + 2 * down[x + 1];
}

int convolve3x3(ImageInfo& info, int channel, Kernel3 kernel, bool edgesOnly) {
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    if (width < 3 || height < 3) return kTooSmall;
    const std::ptrdiff_t stride = rowStride(8, width);
    const auto* src = static_cast<const std::uint8_t*>(info.lpSrcData);
    auto* dst = static_cast<std::uint8_t*>(info.lpDstData);
    std::copy_n(src, width, dst);
    std::copy_n(src + (height - 1) * stride, width, dst + (height - 1) * stride);
    Selection selection(info, width);
    for (int y = 1; y < height - 1; ++y) {
        if (canceled(info)) return kCancel;
        const std::uint8_t* up = src + (y - 1) * stride;
        const std::uint8_t* mid = up + stride;
        const std::uint8_t* down = mid + stride;
        std::uint8_t* out = dst + y * stride;
        const std::uint8_t* selected = selection.row(y);
        out[0] = mid[0];
        out[width - 1] = mid[width - 1];
        for (int x = 1; x < width - 1; ++x) {
            if ((selected != nullptr && !selected[x]) ||
                (edgesOnly && std::abs(edgeResponse(up, mid, down, x)) < 200)) {
                out[x] = mid[x];
                continue;
            }
            const int ring =
                up[x - 1] + up[x] + up[x + 1] + mid[x - 1] + mid[x + 1] + down[x - 1] + down[x] + down[x + 1];
            out[x] = convolutionOutput(kernel.neighbour * ring + kernel.centre * mid[x]);
        }
        channelProgress(info, channel, y);
    }
    return kSucceed;
}

int levelOf(const ImageInfo& info) {
    return std::clamp(*static_cast<const std::int32_t*>(info.lpParam), 1, 10);
}

int blurChannel(ImageInfo& info, int channel) {
    return convolve3x3(info, channel, blurKernel(levelOf(info)), false);
}

int sharpenChannel(ImageInfo& info, int channel) {
    const auto* param = static_cast<const SharpenParam*>(info.lpParam);
    return convolve3x3(info, channel, sharpenKernel(std::clamp<int>(param->level, 1, 10)),
                       param->edgesOnly == 1);
}

int blur(ImageInfo& info) {
    return runFilterPerChannel(info, blurChannel);
}

int sharpen(ImageInfo& info) {
    return runFilterPerChannel(info, sharpenChannel);
}

} // namespace

RASTERKIT_OPERATION(RK_OP_BLUR, blur);
RASTERKIT_OPERATION(RK_OP_SHARPEN, sharpen);

} // namespace rasterkit
