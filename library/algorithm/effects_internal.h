// Shared by the neighbourhood filters, distortions and pictorial effects; never installed.
#ifndef RASTERKIT_EFFECTS_INTERNAL_H
#define RASTERKIT_EFFECTS_INTERNAL_H

#include "rasterkit_internal.h"

#include <cstdint>
#include <cstdlib>

namespace rasterkit {

// Clamps to 0..255 and truncates; NaN becomes 0.
inline std::uint8_t clampTruncate(double value) noexcept {
    if (!(value > 0.0)) return 0;
    if (value >= 255.0) return 255;
    return static_cast<std::uint8_t>(value);
}

// Weights that add up to 1 give sums a hair below the exact level (7 becomes 6.9999...); this
// nudge before truncating keeps a uniform area at its level.
constexpr double kTruncationTolerance = 1e-7;

inline bool isGrey8(const ImageInfo& info) noexcept {
    return info.nSrcBitCount == 8 && info.nSrcType == RK_TYPE_GREY;
}
inline bool isColour24(const ImageInfo& info) noexcept {
    return info.nSrcBitCount == 24;
}

// The samples of a grey or 24-bit image seen as one or three independent 8-bit channels, for
// operations that handle every layout themselves. Sample (x, y) of channel c lives at
// src + srcOffset[c] + y * stride + x * step (the destination alike; both have the same layout).
struct ChannelLayout {
    int count = 0;
    int step = 1;
    std::ptrdiff_t stride = 0;
    std::ptrdiff_t offset[3] = {0, 0, 0};
    const std::uint8_t* src = nullptr;
    std::uint8_t* dst = nullptr;

    const std::uint8_t* srcAt(int c, int x, int y) const noexcept {
        return src + offset[c] + y * stride + static_cast<std::ptrdiff_t>(x) * step;
    }
    std::uint8_t* dstAt(int c, int x, int y) const noexcept {
        return dst + offset[c] + y * stride + static_cast<std::ptrdiff_t>(x) * step;
    }
};

// Layout of an 8-bit (count 1) or 24-bit image in one or three planes (count 3).
ChannelLayout channelLayout(const ImageInfo& info) noexcept;

// The samples of a grey or 24-bit image as planes of byte rows, for filters whose row loop treats
// every channel alike: a grey or planar image has one plane per channel, an interleaved image one
// plane whose rows hold all three channels, horizontal neighbours `step` bytes apart.
struct RowPlanes {
    ChannelLayout layout;
    int count = 1;
    int step = 1;
    int rowBytes = 0;
    int height = 0;

    const std::uint8_t* src(int plane, int y) const noexcept { return layout.srcAt(plane, 0, y); }
    std::uint8_t* dst(int plane, int y) const noexcept { return layout.dstAt(plane, 0, y); }
};
RowPlanes rowPlanes(const ImageInfo& info) noexcept;

// Puts back the source samples of the pixels the selection leaves out (null: all selected).
void keepUnselected(const RowPlanes& planes, const std::uint8_t* selected, int plane, int y) noexcept;

// A filter over 3 x 3 neighbourhoods needs an image of at least 3 x 3 (kTooSmall otherwise);
// body(planes, selection) then walks the planes of the run.
template <typename Body> int filter3x3(ImageInfo& info, Body&& body) {
    if (info.nSrcWidth < 3 || info.nSrcHeight < 3) return kTooSmall;
    const RowPlanes planes = rowPlanes(info);
    Selection selection(info, info.nSrcWidth);
    return body(planes, selection);
}

// Progress after row y of a plane, in the per-channel driver's convention (channels together run
// once from 1 to channels x height).
void planeProgress(const ImageInfo& info, const RowPlanes& planes, int plane, int y);

// Rectangle in image pixels.
struct Area {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// The bounding rectangle of all mask tiles, or the whole image without a mask.
Area effectArea(const ImageInfo& info) noexcept;

// The C library's rand() sequence for a seed, from a state of its own: effects that seed from
// the clock leave the calling program's rand() sequence as it was.
class SeededRandom {
  public:
    explicit SeededRandom(unsigned seed) noexcept;
    SeededRandom(const SeededRandom&) = delete;
    SeededRandom& operator=(const SeededRandom&) = delete;
    int next() noexcept; // 0..RAND_MAX

  private:
    char state_[128] = {};
    random_data data_{};
};

// Seconds since the epoch, the seed of Rain and Noise.
unsigned clockSeed() noexcept;

// A fast generator for operations that draw per pixel. It is seeded from rand(), so srand()
// still decides the whole sequence, and it yields 0..0x7fffffff like rand() does here.
class PixelRandom {
  public:
    explicit PixelRandom(std::uint64_t seed) noexcept;
    static PixelRandom fromProcessGenerator() noexcept;
    static PixelRandom from(SeededRandom& seeds) noexcept;
    int next() noexcept;

  private:
    std::uint64_t state_;
};

// Writes destination pixel (dx, dy) of every channel from area-relative source position (sx, sy)
// of an area of the source: trunc(sum of sample x weight) per byte, or for indexed images the
// neighbour of largest weight (the first of equal weights).
void samplePixel(const ChannelLayout& layout, const Area& area, bool nearest, double sx, double sy, int dx,
                 int dy) noexcept;

// True for an 8-bit image whose indices are not grey levels.
inline bool isIndexed8(const ImageInfo& info) noexcept {
    return info.nSrcBitCount == 8 && info.nSrcType != RK_TYPE_GREY;
}

// Smooth distortions: the destination starts as a copy of the source (colour table included),
// then every selected pixel of the area takes the source position that `map` gives for it. The
// map takes and gives positions relative to the area's top-left corner and returns false to
// leave the pixel as it is. Progress and the cancellation poll follow each row.
template <class Map> int remapArea(ImageInfo& info, const Area& area, Map&& map) {
    copyPixels(info);
    if (info.nSrcBitCount == 8) copyPalette(info);
    const ChannelLayout layout = channelLayout(info);
    const bool nearest = isIndexed8(info);
    Selection selection(info, info.nSrcWidth);
    for (int y = 0; y < area.height; ++y) {
        const std::uint8_t* selected = selection.row(area.top + y);
        for (int x = 0; x < area.width; ++x) {
            if (selected != nullptr && !selected[area.left + x]) continue;
            double sx = x;
            double sy = y;
            if (!map(x, y, sx, sy)) continue;
            samplePixel(layout, area, nearest, sx, sy, area.left + x, area.top + y);
        }
        progress(info, y + 1, area.height);
        if (canceled(info)) return kCancel;
    }
    return kSucceed;
}

// The per-channel driver for grey and 24-bit images (the only ones the frame lets through to
// these filters); a grey image's colour table travels along unchanged.
int runFilterPerChannel(ImageInfo& info, ChannelWorker worker);

} // namespace rasterkit

#endif // RASTERKIT_EFFECTS_INTERNAL_H
