// Snow: random flakes stamped over the image.
#include "effects_internal.h"
#include "operations.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace rasterkit {
namespace {

// Flake stamps S2..S7: group i is column offset i, position j within it row offset j;
// 1 paints white (255), 2 light grey (230), 0 leaves the pixel.
constexpr std::uint8_t kStamps[6][7][7] = {{{0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 2, 1, 0, 0, 0},
                                            {0, 0, 1, 1, 0, 0, 0},
                                            {0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 0, 0, 0, 0, 0}},
                                           {{0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 2, 0, 0, 0, 0},
                                            {0, 2, 1, 1, 0, 0, 0},
                                            {0, 0, 2, 2, 0, 0, 0},
                                            {0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 0, 0, 0, 0, 0}},
                                           {{0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 2, 2, 0, 0, 0},
                                            {0, 2, 1, 1, 2, 0, 0},
                                            {0, 0, 2, 2, 0, 0, 0},
                                            {0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 0, 0, 0, 0, 0}},
                                           {{0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 0, 2, 0, 0, 0},
                                            {0, 0, 2, 1, 2, 0, 0},
                                            {0, 2, 1, 1, 1, 2, 0},
                                            {0, 0, 2, 1, 2, 0, 0},
                                            {0, 0, 0, 2, 0, 0, 0},
                                            {0, 0, 0, 0, 0, 0, 0}},
                                           {{0, 0, 0, 0, 0, 0, 0},
                                            {0, 0, 0, 2, 2, 0, 0},
                                            {0, 0, 2, 1, 1, 2, 0},
                                            {0, 2, 1, 1, 1, 1, 2},
                                            {0, 2, 1, 1, 1, 1, 2},
                                            {0, 0, 2, 1, 1, 2, 0},
                                            {0, 0, 0, 2, 2, 0, 0}},
                                           {{0, 0, 0, 1, 0, 0, 0},
                                            {0, 1, 0, 1, 0, 1, 0},
                                            {0, 0, 1, 1, 1, 0, 0},
                                            {1, 1, 1, 1, 1, 1, 1},
                                            {0, 0, 1, 1, 1, 0, 0},
                                            {0, 1, 0, 1, 0, 1, 0},
                                            {0, 0, 0, 1, 0, 0, 0}}};

} // namespace

int runSnow(ImageInfo& info) {
    const auto density = static_cast<int>(std::clamp<std::intptr_t>(
        reinterpret_cast<std::intptr_t>(info.lpParam), RK_SNOW_DENSITY_MIN, RK_SNOW_DENSITY_MAX));
    copyPixels(info);
    if (info.nSrcBitCount == 8) copyPalette(info);
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const double size = static_cast<double>(srcStride(info)) * height;
    // For 24 bits the count is per pixel of three bytes, as the stride counts bytes.
    const auto flakes = static_cast<std::int64_t>(
        (info.nSrcBitCount == 8 || isPlanar24(info) ? size : size / 3) / 49 * density / 100);
    const ChannelLayout layout = channelLayout(info);
    Selection selection(info, width);
    const auto total = static_cast<int>(std::min<std::int64_t>(flakes, 0x7fffffff));
    for (int n = 0; n < total; ++n) {
        if (canceled(info)) return kCancel;
        const int x = std::rand() % width;
        const int y = std::rand() % height;
        const int k = std::rand() % 8;
        // Draws 0 and 1 (a quarter of them) place no flake.
        if (k >= 2) {
            const auto& stamp = kStamps[k - 2];
            for (int i = 0; i < 7; ++i) {
                for (int j = 0; j < 7; ++j) {
                    const int v = stamp[i][j];
                    const int px = x + i;
                    const int py = y + j;
                    // Flakes at the edges are cut off there instead of wrapping into the next row.
                    if (v == 0 || px >= width || py >= height || !selection.selected(px, py)) continue;
                    for (int c = 0; c < layout.count; ++c)
                        *layout.dstAt(c, px, py) = v == 1 ? 255 : 230;
                }
            }
        }
        progress(info, n + 1, total);
    }
    return kSucceed;
}

} // namespace rasterkit
