// Diffuse: every pixel takes a random neighbour within the distance, per channel.
#include "effects_internal.h"
#include "operations.h"

#include <algorithm>

namespace rasterkit {
namespace {

// A random offset in -distance..distance: a value with a random sign, reduced modulo
// distance + 1 with the sign kept.
int randomOffset(PixelRandom& random, int distance) {
    const int u = random.next();
    int v = random.next();
    if (u & 1) v = -v;
    return v % (distance + 1);
}

int diffuseChannel(ImageInfo& info, int channel) {
    const auto* param = static_cast<const DiffuseParam*>(info.lpParam);
    const int distance = std::clamp(param->distance, RK_DIFFUSE_DISTANCE_MIN, RK_DIFFUSE_DISTANCE_MAX);
    const int mode = param->mode;
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const std::ptrdiff_t stride = rowStride(8, width);
    const auto* src = static_cast<const std::uint8_t*>(info.lpSrcData);
    auto* dst = static_cast<std::uint8_t*>(info.lpDstData);
    Selection selection(info, width);
    PixelRandom random = PixelRandom::fromProcessGenerator();
    for (int y = 0; y < height; ++y) {
        if (canceled(info)) return kCancel;
        const std::uint8_t* selected = selection.row(y);
        const std::uint8_t* in = src + y * stride;
        std::uint8_t* out = dst + y * stride;
        for (int x = 0; x < width; ++x) {
            if (selected != nullptr && !selected[x]) {
                out[x] = in[x];
                continue;
            }
            const int dy = randomOffset(random, distance);
            const int dx = randomOffset(random, distance);
            const std::uint8_t sample =
                src[std::clamp(y + dy, 0, height - 1) * stride + std::clamp(x + dx, 0, width - 1)];
            if (mode == RK_DIFFUSE_DARKEN) {
                out[x] = std::min(sample, in[x]);
            } else if (mode == RK_DIFFUSE_LIGHTEN) {
                out[x] = std::max(sample, in[x]);
            } else {
                out[x] = sample;
            }
        }
        channelProgress(info, channel, y);
    }
    return kSucceed;
}

} // namespace

int runDiffuse(ImageInfo& info) {
    return runFilterPerChannel(info, diffuseChannel);
}

} // namespace rasterkit
