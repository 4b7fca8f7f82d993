// SlopeHorizontal and SlopeVertical: rows (or columns) shifted in proportion to their index.
#include "operations.h"
#include "rasterkit_internal.h"

#include <algorithm>
#include <cmath>

namespace rasterkit {
namespace {

struct Slant {
    double k;  // tan of the angle
    int extra; // the growth of the slanted side: trunc(|k| x the other side)
};

// Empty when the slanted side would not fit (angles near 90 degrees).
bool slantFor(int angle, int across, int along, Slant& slant) {
    slant.k = std::tan(toRadians(angle));
    const double grown = std::fabs(slant.k) * across + along;
    if (!(grown <= kMaxDimension)) return false;
    slant.extra = static_cast<int>(grown) - along;
    return true;
}

// Where source line i starts on the slanted axis.
int startOf(const Slant& slant, int i, int lineLength, int dstLength) {
    int start = static_cast<int>(slant.k * i);
    if (slant.k < 0) start += slant.extra;
    return std::clamp(start, 0, dstLength - lineLength);
}

// 255 everywhere, or 0 for a colour table whose first entry is white (so that the empty
// corners take a light colour in both cases).
int fillValue(const ImageInfo& info) {
    const std::uint8_t* table = srcPalette(info);
    if (info.nSrcBitCount == 8 && info.nSrcType == RK_TYPE_COLOR8 && table[0] == 255 && table[1] == 255 &&
        table[2] == 255) {
        return 0;
    }
    return 255;
}

// The slant of the record's angle; false when it does not fit.
bool slantOf(const ImageInfo& info, bool horizontal, Slant& slant) {
    SlopeParam param;
    std::memcpy(&param, info.lpParam, sizeof param);
    const int w = info.nSrcWidth;
    const int h = info.nSrcHeight;
    return slantFor(param.angle, horizontal ? h : w, horizontal ? w : h, slant);
}

int describe(ImageInfo& info, bool horizontal) {
    Slant slant{};
    if (!slantOf(info, horizontal, slant)) return kNotSupported;
    describeSameAsSource(info, true);
    if (horizontal) {
        info.nDstWidth = info.nSrcWidth + slant.extra;
    } else {
        info.nDstHeight = info.nSrcHeight + slant.extra;
    }
    return kSucceed;
}

int slope(ImageInfo& info, bool horizontal) {
    const int w = info.nSrcWidth;
    const int h = info.nSrcHeight;
    Slant slant{};
    if (!slantOf(info, horizontal, slant)) return kNotSupported;
    if (info.nSrcType != RK_TYPE_RGB24) copyPalette(info);
    std::memset(info.lpDstData, fillValue(info), dstBytes(info));
    const Planes planes = planesOf(info);
    const int bpp = planes.bytesPerPixel;
    if (horizontal) {
        for (int i = 0; i < h; ++i) {
            const std::ptrdiff_t start = startOf(slant, i, w, info.nDstWidth);
            for (int j = 0; j < planes.count; ++j) {
                std::memcpy(planes.dstRow(j, i) + start * bpp, planes.srcRow(j, i),
                            static_cast<std::size_t>(w) * static_cast<std::size_t>(bpp));
            }
            progress(info, i + 1, h);
            if (canceled(info)) return kCancel;
        }
        return kSucceed;
    }
    // Columns move down; a band of columns at a time walks the rows in memory order.
    constexpr int kBand = 32;
    int starts[kBand];
    for (int i0 = 0; i0 < w; i0 += kBand) {
        const int i1 = std::min(i0 + kBand, w);
        for (int i = i0; i < i1; ++i)
            starts[i - i0] = startOf(slant, i, h, info.nDstHeight);
        for (int j = 0; j < planes.count; ++j) {
            for (int y = 0; y < h; ++y) {
                const std::uint8_t* in = planes.srcRow(j, y);
                for (int i = i0; i < i1; ++i) {
                    const std::ptrdiff_t offset = static_cast<std::ptrdiff_t>(i) * bpp;
                    std::memcpy(planes.dstRow(j, starts[i - i0] + y) + offset, in + offset,
                                static_cast<std::size_t>(bpp));
                }
            }
        }
        for (int i = i0; i < i1; ++i) {
            progress(info, i + 1, w);
            if (canceled(info)) return kCancel;
        }
    }
    return kSucceed;
}

} // namespace

int describeSlopeHorizontal(ImageInfo& info) {
    return describe(info, true);
}
int describeSlopeVertical(ImageInfo& info) {
    return describe(info, false);
}
int runSlopeHorizontal(ImageInfo& info) {
    return slope(info, true);
}
int runSlopeVertical(ImageInfo& info) {
    return slope(info, false);
}

} // namespace rasterkit
