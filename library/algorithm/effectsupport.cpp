// Helpers shared by the neighbourhood filters, distortions and pictorial effects.
#include "effects_internal.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <ctime>

namespace rasterkit {

ChannelLayout channelLayout(const ImageInfo& info) noexcept {
    ChannelLayout layout;
    layout.src = static_cast<const std::uint8_t*>(info.lpSrcData);
    layout.dst = static_cast<std::uint8_t*>(info.lpDstData);
    layout.stride = srcStride(info);
    if (info.nSrcBitCount == 8) {
        layout.count = 1;
    } else if (info.nSrcBitCount == 24 && info.nSrcPlanes == 3) {
        layout.count = 3;
        for (int c = 0; c < 3; ++c)
            layout.offset[c] = layout.stride * info.nSrcHeight * c;
    } else if (info.nSrcBitCount == 24) {
        layout.count = 3;
        layout.step = 3;
        for (int c = 0; c < 3; ++c)
            layout.offset[c] = c;
    }
    return layout;
}

RowPlanes rowPlanes(const ImageInfo& info) noexcept {
    RowPlanes planes;
    planes.layout = channelLayout(info);
    planes.step = planes.layout.step;
    planes.count = planes.step == 1 ? planes.layout.count : 1;
    planes.rowBytes = info.nSrcWidth * planes.step;
    planes.height = info.nSrcHeight;
    return planes;
}

void keepUnselected(const RowPlanes& planes, const std::uint8_t* selected, int plane, int y) noexcept {
    if (selected == nullptr) return;
    const std::uint8_t* in = planes.src(plane, y);
    std::uint8_t* out = planes.dst(plane, y);
    const int step = planes.step;
    for (int x = 0, i = 0; i < planes.rowBytes; ++x, i += step) {
        if (selected[x]) continue;
        for (int k = 0; k < step; ++k)
            out[i + k] = in[i + k];
    }
}

void planeProgress(const ImageInfo& info, const RowPlanes& planes, int plane, int y) {
    const int perPlane = planes.layout.count / planes.count;
    progress(info, (plane * planes.height + y + 1) * perPlane, planes.layout.count * planes.height);
}

Area effectArea(const ImageInfo& info) noexcept {
    if (info.lpMask == nullptr) return {0, 0, info.nSrcWidth, info.nSrcHeight};
    int left = INT_MAX;
    int top = INT_MAX;
    int right = INT_MIN;
    int bottom = INT_MIN;
    for (const MaskTile* tile = info.lpMask; tile != nullptr; tile = tile->lpNext) {
        if (tile->nWidth <= 0 || tile->nHeight <= 0) continue;
        left = std::min(left, tile->nLeft);
        top = std::min(top, tile->nTop);
        right = std::max(right, tile->nLeft + tile->nWidth);
        bottom = std::max(bottom, tile->nTop + tile->nHeight);
    }
    if (right <= left || bottom <= top) return {0, 0, 0, 0};
    // Tiles lie inside the image (the frame checks), but the area must never leave it.
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, info.nSrcWidth);
    bottom = std::min(bottom, info.nSrcHeight);
    return {left, top, right - left, bottom - top};
}

PixelRandom::PixelRandom(std::uint64_t seed) noexcept : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}

PixelRandom PixelRandom::fromProcessGenerator() noexcept {
    const auto high = static_cast<std::uint64_t>(std::rand());
    const auto low = static_cast<std::uint64_t>(std::rand());
    return PixelRandom((high << 31) ^ low);
}

PixelRandom PixelRandom::from(SeededRandom& seeds) noexcept {
    const auto high = static_cast<std::uint64_t>(seeds.next());
    const auto low = static_cast<std::uint64_t>(seeds.next());
    return PixelRandom((high << 31) ^ low);
}

SeededRandom::SeededRandom(unsigned seed) noexcept {
    // A 128-byte state is the one srand() seeds, so the sequences are the same.
    initstate_r(seed, state_, sizeof state_, &data_);
}

int SeededRandom::next() noexcept {
    std::int32_t value = 0;
    random_r(&data_, &value);
    return value;
}

unsigned clockSeed() noexcept {
    return static_cast<unsigned>(std::time(nullptr));
}

int PixelRandom::next() noexcept {
    // xorshift64*: good enough for visual noise, and a few nanoseconds per draw.
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return static_cast<int>((state_ * 0x2545F4914F6CDD1Dull) >> 33);
}

void samplePixel(const ChannelLayout& layout, const Area& area, bool nearest, double sx, double sy, int dx,
                 int dy) noexcept {
    // Clamped to the last column and row themselves: stopping 0.00001 short of them would blend
    // in the neighbour before and take a level off every edge pixel that maps onto itself.
    if (std::isnan(sx) || std::isnan(sy)) sx = sy = 0;
    sx = std::clamp(sx, 0.0, static_cast<double>(area.width - 1));
    sy = std::clamp(sy, 0.0, static_cast<double>(area.height - 1));
    BilinearPoint p{};
    p.x0 = static_cast<int>(sx);
    p.y0 = static_cast<int>(sy);
    p.x1 = std::min(p.x0 + 1, area.width - 1);
    p.y1 = std::min(p.y0 + 1, area.height - 1);
    p.fx = sx - p.x0;
    p.fy = sy - p.y0;
    const int x0 = area.left + p.x0;
    const int x1 = area.left + p.x1;
    const int y0 = area.top + p.y0;
    const int y1 = area.top + p.y1;
    const double w00 = (1 - p.fx) * (1 - p.fy);
    const double w01 = (1 - p.fx) * p.fy;
    const double w10 = p.fx * (1 - p.fy);
    const double w11 = p.fx * p.fy;
    if (nearest) {
        // Neighbour of largest weight, the first of equal weights in the order above.
        int bx = x0;
        int by = y0;
        double best = w00;
        if (w01 > best) {
            best = w01;
            bx = x0;
            by = y1;
        }
        if (w10 > best) {
            best = w10;
            bx = x1;
            by = y0;
        }
        if (w11 > best) {
            bx = x1;
            by = y1;
        }
        for (int c = 0; c < layout.count; ++c)
            *layout.dstAt(c, dx, dy) = *layout.srcAt(c, bx, by);
        return;
    }
    for (int c = 0; c < layout.count; ++c) {
        const double v = *layout.srcAt(c, x0, y0) * w00 + *layout.srcAt(c, x0, y1) * w01 +
                         *layout.srcAt(c, x1, y0) * w10 + *layout.srcAt(c, x1, y1) * w11;
        *layout.dstAt(c, dx, dy) = clampTruncate(v + kTruncationTolerance);
    }
}

int runFilterPerChannel(ImageInfo& info, ChannelWorker worker) {
    if (info.nSrcBitCount == 8) copyPalette(info);
    return runPerChannel(info, worker);
}

} // namespace rasterkit
