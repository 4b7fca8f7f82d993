// Resize: separable cubic-weighted interpolation, the horizontal pass first.
#include "operations.h"
#include "rasterkit_internal.h"

#include <algorithm>
#include <vector>

namespace rasterkit {
namespace {

// The two source positions and weights behind one destination position.
struct Tap {
    int v;    // first neighbour; the second is v + 1 unless b is 0
    double a; // weight of v
    double b; // weight of v + 1
};

// A destination of n positions over a source of m. A destination of one position takes the
// middle of the source, a source of one position is simply repeated.
std::vector<Tap> tapsFor(int m, int n) {
    std::vector<Tap> taps(static_cast<std::size_t>(n));
    for (int x = 0; x < n; ++x) {
        Tap& t = taps[static_cast<std::size_t>(x)];
        if (m == 1) {
            t = {0, 1.0, 0.0};
            continue;
        }
        const double u = n == 1 ? (m - 1) / 2.0 : static_cast<double>(x) * (m - 1) / (n - 1);
        int v = static_cast<int>(u);
        if (v < m - 1) {
            const double f = u - v;
            t.a = (2 * f - 3) * f * f + 1;
            t.b = 1 - t.a;
        } else {
            t.a = 0;
            t.b = 1;
            v = m - 2;
        }
        t.v = v;
    }
    return taps;
}

enum class Kind { Interpolated, Nearest, Bits };

inline std::uint8_t blend(const Tap& t, std::uint8_t p, std::uint8_t q) {
    return static_cast<std::uint8_t>(static_cast<int>(t.a * p + t.b * q));
}

// The channels of one output pixel, each from two input samples `inStep` bytes apart.
template <Kind kind>
void resamplePixel(const std::uint8_t* in, std::ptrdiff_t inStep, std::uint8_t* out, const Tap& t,
                   int channels) {
    for (int c = 0; c < channels; ++c) {
        const std::uint8_t p = in[c];
        const std::uint8_t q = t.b != 0.0 ? in[c + inStep] : p;
        if constexpr (kind == Kind::Interpolated) {
            out[c] = blend(t, p, q);
        } else {
            out[c] = t.a >= 0.5 ? p : q;
        }
    }
}

struct Layout {
    int planes;   // 1, or 3 for planar 24 bits
    int channels; // bytes per pixel within a plane; 1 for 1-bit images (one byte per bit inside)
    Kind kind;
};

Layout layoutOf(const ImageInfo& info) {
    switch (info.nSrcBitCount) {
    case 1:
        return {1, 1, Kind::Bits};
    case 8:
        return {1, 1, info.nSrcType == RK_TYPE_GREY ? Kind::Interpolated : Kind::Nearest};
    default: // 24 bits
        return {info.nSrcPlanes, info.nSrcPlanes == 3 ? 1 : 3, Kind::Interpolated};
    }
}

} // namespace

int describeResize(ImageInfo& info) {
    ResizeParam param;
    std::memcpy(&param, info.lpParam, sizeof param);
    if (param.width < RK_RESIZE_WIDTH_MIN || param.height < RK_RESIZE_HEIGHT_MIN) return kTooSmall;
    if (param.width > RK_RESIZE_WIDTH_MAX || param.height > RK_RESIZE_HEIGHT_MAX) return kNotSupported;
    describeSameAsSource(info, true);
    info.nDstWidth = param.width;
    info.nDstHeight = param.height;
    return kSucceed;
}

// 1-bit rows are unpacked to one byte per pixel for the passes and packed again at the end.
int runResize(ImageInfo& info) {
    const Layout layout = layoutOf(info);
    if (info.nSrcType != RK_TYPE_RGB24) copyPalette(info);

    const int w = info.nSrcWidth;
    const int h = info.nSrcHeight;
    const int W = info.nDstWidth;
    const int H = info.nDstHeight;
    const int ch = layout.channels;
    const std::vector<Tap> across = tapsFor(w, W);
    const std::vector<Tap> down = tapsFor(h, H);
    const Planes planes = planesOf(info);
    const std::size_t tmpRow = static_cast<std::size_t>(W) * static_cast<std::size_t>(ch);
    std::vector<std::uint8_t> tmp(tmpRow * static_cast<std::size_t>(h) *
                                  static_cast<std::size_t>(layout.planes));
    std::vector<std::uint8_t> unpacked(layout.kind == Kind::Bits ? static_cast<std::size_t>(w) : 0);

    // Horizontal pass, in bands of columns so that each band walks the rows in memory order.
    constexpr int kBand = 64;
    for (int x0 = 0; x0 < W; x0 += kBand) {
        const int x1 = std::min(x0 + kBand, W);
        for (int j = 0; j < layout.planes; ++j) {
            for (int y = 0; y < h; ++y) {
                const std::uint8_t* in = planes.srcRow(j, y);
                if (layout.kind == Kind::Bits) {
                    for (int x = 0; x < w; ++x)
                        unpacked[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(getBit(in, x));
                    in = unpacked.data();
                }
                std::uint8_t* out = tmp.data() + (static_cast<std::size_t>(j) * h + y) * tmpRow;
                for (int x = x0; x < x1; ++x) {
                    const Tap& t = across[static_cast<std::size_t>(x)];
                    const std::uint8_t* p = in + static_cast<std::ptrdiff_t>(t.v) * ch;
                    std::uint8_t* o = out + static_cast<std::ptrdiff_t>(x) * ch;
                    if (layout.kind == Kind::Bits) {
                        const int q = t.b != 0.0 ? p[1] : p[0];
                        o[0] = t.a * p[0] + t.b * q >= 0.5 ? 1 : 0;
                    } else if (layout.kind == Kind::Interpolated) {
                        resamplePixel<Kind::Interpolated>(p, ch, o, t, ch);
                    } else {
                        resamplePixel<Kind::Nearest>(p, ch, o, t, ch);
                    }
                }
            }
        }
        for (int x = x0; x < x1; ++x) {
            progress(info, x + 1, W + H);
            if (canceled(info)) return kCancel;
        }
    }

    // Vertical pass, row by row of the destination.
    const std::ptrdiff_t padFrom =
        layout.kind == Kind::Bits ? (W + 7) / 8 : static_cast<std::ptrdiff_t>(tmpRow);
    for (int y = 0; y < H; ++y) {
        const Tap& t = down[static_cast<std::size_t>(y)];
        for (int j = 0; j < layout.planes; ++j) {
            const std::uint8_t* r0 = tmp.data() + (static_cast<std::size_t>(j) * h + t.v) * tmpRow;
            const std::uint8_t* r1 = t.b != 0.0 ? r0 + tmpRow : r0;
            std::uint8_t* out = planes.dstRow(j, y);
            std::memset(out + padFrom, 0, static_cast<std::size_t>(planes.dstStride - padFrom));
            const auto n = static_cast<std::ptrdiff_t>(tmpRow);
            switch (layout.kind) {
            case Kind::Interpolated:
                for (std::ptrdiff_t i = 0; i < n; ++i)
                    out[i] = blend(t, r0[i], r1[i]);
                break;
            case Kind::Nearest:
                std::memcpy(out, t.a >= 0.5 ? r0 : r1, tmpRow);
                break;
            case Kind::Bits:
                std::memset(out, 0, static_cast<std::size_t>(padFrom));
                for (int x = 0; x < W; ++x) {
                    if (t.a * r0[x] + t.b * r1[x] >= 0.5) setBit(out, x, 1);
                }
                break;
            }
        }
        progress(info, W + y + 1, W + H);
        if (canceled(info)) return kCancel;
    }
    return kSucceed;
}

} // namespace rasterkit
