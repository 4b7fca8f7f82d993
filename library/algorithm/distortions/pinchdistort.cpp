// Pinch: each region squeezed towards (or swollen from) its centre.
#include "effects_internal.h"
#include "operations.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace rasterkit {
namespace {

// The regions: the whole image, or each mask tile's rectangle in list order.
std::vector<Area> pinchRegions(const ImageInfo& info) {
    std::vector<Area> regions;
    if (info.lpMask == nullptr) {
        // Only real columns: the row padding of a plane holds nothing worth pulling in.
        regions.push_back({0, 0, info.nSrcWidth, info.nSrcHeight});
        return regions;
    }
    for (const MaskTile* tile = info.lpMask; tile != nullptr; tile = tile->lpNext) {
        const int left = std::max(tile->nLeft, 0);
        const int top = std::max(tile->nTop, 0);
        const int right = std::min(tile->nLeft + tile->nWidth, info.nSrcWidth);
        const int bottom = std::min(tile->nTop + tile->nHeight, info.nSrcHeight);
        if (right > left && bottom > top) regions.push_back({left, top, right - left, bottom - top});
    }
    return regions;
}

// Every channel of a pixel comes from the same source position, so the position is worked out
// once per pixel and all channels are copied from it.
} // namespace

int runPinch(ImageInfo& info) {
    const double amount = std::clamp(static_cast<const PinchParam*>(info.lpParam)->amount,
                                     RK_PINCH_AMOUNT_MIN, RK_PINCH_AMOUNT_MAX);
    const double exponent = amount / 200 + 1;
    copyPixels(info);
    if (info.nSrcBitCount == 8) copyPalette(info);
    const ChannelLayout layout = channelLayout(info);
    Selection selection(info, info.nSrcWidth);
    const std::vector<Area> regions = pinchRegions(info);
    std::int64_t total = 0;
    for (const Area& r : regions)
        total += static_cast<std::int64_t>(r.width) * r.height;
    // Progress in pixels of all regions, scaled down when the count passes the int range.
    const std::int64_t scale = total / 0x7fffffff + 1;
    std::int64_t done = 0;
    for (const Area& region : regions) {
        const int f = region.left;
        const int g = region.top;
        const int e = region.left + region.width;
        const int l = region.top + region.height;
        const double m = (e - f - 1) / 2.0;
        const double r = (l - g - 1) / 2.0;
        for (int i = g; i < l; ++i) {
            if (canceled(info)) return kCancel;
            const std::uint8_t* selected = selection.row(i);
            // A region one pixel thin has no extent to pinch along that axis.
            const double t = r > 0 ? (i - g - r) / r : 0;
            for (int j = f; j < e; ++j) {
                if (selected != nullptr && !selected[j]) continue;
                const double o = m > 0 ? (j - f - m) / m : 0;
                const double u = std::sqrt(o * o + t * t);
                // cos v and sin v of v = atan2(t, o) are o / u and t / u, so the position scales
                // (o, t) by w / u, which is pow(u, exponent - 1) inside the unit ellipse and 1 outside.
                const double w = u >= 1 ? 1.0 : (u > 0 ? std::pow(u, exponent - 1) : 0.0);
                // The position stays near the region, so it fits an int; the tolerance keeps an
                // unmoved position (amount 0) from truncating to its left neighbour.
                const int sx =
                    std::clamp(static_cast<int>(m + o * w * m + f + kTruncationTolerance), f, e - 1);
                const int sy =
                    std::clamp(static_cast<int>(r + t * w * r + g + kTruncationTolerance), g, l - 1);
                for (int c = 0; c < layout.count; ++c)
                    *layout.dstAt(c, j, i) = *layout.srcAt(c, sx, sy);
            }
            done += region.width;
            progress(info, static_cast<int>(done / scale), static_cast<int>(total / scale));
        }
    }
    return kSucceed;
}

} // namespace rasterkit
