// Blocks: every pixel snaps to the nearer extreme of its 3 x 3 window, pass after pass, per
// channel.
#include "effects_internal.h"
#include "operations.h"

#include <algorithm>
#include <vector>

namespace rasterkit {
namespace {

// Minimum or maximum of the window, whichever the window's samples lie closer to in squares.
std::uint8_t snap(const int (&window)[9]) {
    int mn = window[0];
    int mx = window[0];
    for (int v : window) {
        mn = std::min(mn, v);
        mx = std::max(mx, v);
    }
    int toMin = 0;
    int toMax = 0;
    for (int v : window) {
        toMin += (v - mn) * (v - mn);
        toMax += (v - mx) * (v - mx);
    }
    return static_cast<std::uint8_t>(toMin < toMax ? mn : mx);
}

int blocksChannel(ImageInfo& info, int channel) {
    const int passes = std::clamp(static_cast<const BlocksParam*>(info.lpParam)->passes, RK_BLOCKS_PASSES_MIN,
                                  RK_BLOCKS_PASSES_MAX);
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const std::ptrdiff_t stride = rowStride(8, width);
    auto* dst = static_cast<std::uint8_t*>(info.lpDstData);
    const auto* src = static_cast<const std::uint8_t*>(info.lpSrcData);
    std::vector<std::uint8_t> work(src, src + stride * height);
    Selection selection(info, width);
    const bool grey = info.nSrcType == RK_TYPE_GREY;
    for (int pass = 0; pass < passes; ++pass) {
        if (pass > 0) std::copy_n(dst, work.size(), work.data());
        for (int y = 0; y < height; ++y) {
            if (canceled(info)) return kCancel;
            const std::uint8_t* selected = selection.row(y);
            const std::uint8_t* in = work.data() + y * stride;
            std::uint8_t* out = dst + y * stride;
            for (int x = 0; x < width; ++x) {
                if (selected != nullptr && !selected[x]) {
                    out[x] = in[x];
                    continue;
                }
                int window[9];
                int n = 0;
                for (int j = -1; j <= 1; ++j) {
                    for (int i = -1; i <= 1; ++i) {
                        const int sx = x + i;
                        const int sy = y + j;
                        // Positions outside the image take the pixel's own value.
                        window[n++] = sx >= 0 && sx < width && sy >= 0 && sy < height
                                          ? work[static_cast<std::size_t>(sy * stride + sx)]
                                          : in[x];
                    }
                }
                out[x] = snap(window);
            }
            if (grey) {
                progress(info, y + height * pass + 1, height * passes);
            } else {
                progress(info, y + height * (channel + 3 * pass) + 1, 3 * height * passes);
            }
        }
    }
    return kSucceed;
}

} // namespace

int runBlocks(ImageInfo& info) {
    return runFilterPerChannel(info, blocksChannel);
}

} // namespace rasterkit
