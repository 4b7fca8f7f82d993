// Resampling, rotation and cropping of image records.
#include "engine/pixel_tools.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace tandemscan {

namespace {

constexpr double kPi = 3.14159; // the value the rotations have always used

inline bool bitAt(const std::uint8_t* row, std::int32_t x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}
inline void setBit(std::uint8_t* row, std::int32_t x, bool on) {
    const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
    if (on)
        row[x >> 3] |= mask;
    else
        row[x >> 3] &= static_cast<std::uint8_t>(~mask);
}
inline std::uint8_t nibbleAt(const std::uint8_t* row, std::int32_t x) {
    return (x & 1) ? row[x >> 1] & 0x0F : row[x >> 1] >> 4;
}
inline void setNibble(std::uint8_t* row, std::int32_t x, std::uint8_t v) {
    std::uint8_t& b = row[x >> 1];
    b = (x & 1) ? static_cast<std::uint8_t>((b & 0xF0) | v)
                : static_cast<std::uint8_t>((b & 0x0F) | (v << 4));
}

// One destination position of the separable resampler: the two source positions it blends and
// their smooth-step weights.
struct Tap {
    std::int32_t i0;
    std::int32_t i1;
    double w0;
    double w1;
};

std::vector<Tap> tapsFor(std::int32_t srcLength, std::int32_t destLength) {
    std::vector<Tap> taps(static_cast<std::size_t>(destLength));
    // A single destination position takes the first source position whole (no division by 0).
    const double scale = destLength > 1 ? double(srcLength - 1) / double(destLength - 1) : 0.0;
    for (std::int32_t x = 0; x < destLength; ++x) {
        Tap& tap = taps[static_cast<std::size_t>(x)];
        if (srcLength == 1) {
            tap = {0, 0, 1.0, 0.0};
            continue;
        }
        const double p = x * scale;
        std::int32_t i = static_cast<std::int32_t>(p);
        const double t = p - i;
        double w0 = (2 * t - 3) * t * t + 1;
        double w1 = 1 - w0;
        if (i >= srcLength - 1) {
            i = srcLength - 2;
            w0 = 0;
            w1 = 1;
        }
        tap = {i, i + 1, w0, w1};
    }
    return taps;
}

inline std::uint8_t blend(std::uint8_t a, std::uint8_t b, double w0, double w1) {
    return static_cast<std::uint8_t>(static_cast<int>(a * w0 + b * w1));
}

inline std::uint16_t blend555(std::uint16_t a, std::uint16_t b, double w0, double w1) {
    std::uint16_t out = 0;
    for (int shift = 0; shift <= 10; shift += 5) {
        const int ca = (a >> shift) & 0x1F, cb = (b >> shift) & 0x1F;
        out = static_cast<std::uint16_t>(out | (static_cast<int>(ca * w0 + cb * w1) << shift));
    }
    return out;
}

inline std::uint16_t load16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline void store16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

// Horizontal pass of one source row into a scratch row of the new width.
void resampleRow(const std::uint8_t* src, std::uint8_t* dest, const std::vector<Tap>& taps,
                 std::uint16_t bitCount, bool gray) {
    const std::int32_t width = static_cast<std::int32_t>(taps.size());
    switch (bitCount) {
    case 1:
        for (std::int32_t x = 0; x < width; ++x) {
            const Tap& t = taps[x];
            setBit(dest, x, bitAt(src, t.i0) * t.w0 + bitAt(src, t.i1) * t.w1 >= 0.5);
        }
        break;
    case 4:
        for (std::int32_t x = 0; x < width; ++x) {
            const Tap& t = taps[x];
            setNibble(dest, x, nibbleAt(src, t.w0 > t.w1 ? t.i0 : t.i1));
        }
        break;
    case 8:
        if (gray) {
            for (std::int32_t x = 0; x < width; ++x) {
                const Tap& t = taps[x];
                dest[x] = blend(src[t.i0], src[t.i1], t.w0, t.w1);
            }
        } else {
            for (std::int32_t x = 0; x < width; ++x) {
                const Tap& t = taps[x];
                dest[x] = src[t.w0 >= 0.5 ? t.i0 : t.i1];
            }
        }
        break;
    case 16:
        for (std::int32_t x = 0; x < width; ++x) {
            const Tap& t = taps[x];
            store16(dest + 2 * x, blend555(load16(src + 2 * t.i0), load16(src + 2 * t.i1), t.w0, t.w1));
        }
        break;
    default: { // 24 and 32 bits: every byte on its own
        const int bytes = bitCount / 8;
        for (std::int32_t x = 0; x < width; ++x) {
            const Tap& t = taps[x];
            const std::uint8_t* a = src + std::size_t(bytes) * t.i0;
            const std::uint8_t* b = src + std::size_t(bytes) * t.i1;
            std::uint8_t* d = dest + std::size_t(bytes) * x;
            for (int k = 0; k < bytes; ++k)
                d[k] = blend(a[k], b[k], t.w0, t.w1);
        }
        break;
    }
    }
}

// Vertical pass: one destination row from two scratch rows.
void resampleColumn(const std::uint8_t* a, const std::uint8_t* b, std::uint8_t* dest, std::uint32_t stride,
                    std::int32_t width, const Tap& t, std::uint16_t bitCount, bool gray) {
    switch (bitCount) {
    case 1:
    case 4:
        std::memcpy(dest, t.w0 >= 0.5 ? a : b, stride);
        break;
    case 8:
        if (gray)
            for (std::int32_t x = 0; x < width; ++x)
                dest[x] = blend(a[x], b[x], t.w0, t.w1);
        else
            std::memcpy(dest, t.w0 >= 0.5 ? a : b, stride);
        break;
    case 16:
        for (std::int32_t x = 0; x < width; ++x)
            store16(dest + 2 * x, blend555(load16(a + 2 * x), load16(b + 2 * x), t.w0, t.w1));
        break;
    default: {
        const std::size_t bytes = std::size_t(width) * (bitCount / 8);
        for (std::size_t k = 0; k < bytes; ++k)
            dest[k] = blend(a[k], b[k], t.w0, t.w1);
        break;
    }
    }
}

// Depths that resampling and cropping handle: every stored layout up to 32 bits.
bool resampledDepth(std::uint16_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 ||
           bitCount == 32;
}

bool movableDepth(const ImageHeader& h) {
    return h.planes == 1 && (h.bitCount == 1 || h.bitCount == 8 || h.bitCount == 24);
}

} // namespace

bool PixelTools::resampleImage(const HeaderBlock& srcHeader, std::span<const std::uint8_t> srcPixels,
                               std::int32_t newWidth, std::int32_t newHeight, HeaderBlock& destHeader,
                               std::span<std::uint8_t> destPixels) {
    const ImageHeader src = srcHeader.header;
    if (!resampledDepth(src.bitCount)) return false;
    if (src.width < 1 || src.height < 1 || newWidth < 1 || newHeight < 1) return false;
    const std::uint32_t srcSize = imageDataSizeFor(&src, src.width, src.height);
    const std::uint32_t destSize = imageDataSizeFor(&src, newWidth, newHeight);
    if (srcSize == 0 || destSize == 0 || srcPixels.size() < srcSize || destPixels.size() < destSize)
        return false;

    const bool gray = src.bitCount == 8 && isGrayPalette(srcHeader, DepthCheck::ignored);
    const std::uint32_t srcStride = rowStride(src.width, src.bitCount);
    const std::uint32_t destStride = rowStride(newWidth, src.bitCount);
    const std::vector<Tap> columns = tapsFor(src.width, newWidth);
    const std::vector<Tap> rows = tapsFor(src.height, newHeight);

    // The vertical pass only ever needs two neighbouring scratch rows (j, j + 1), so they live in
    // two slots chosen by parity; each source row is resampled at most once, and only if used.
    std::vector<std::uint8_t> scratch(std::size_t{destStride} * 2);
    std::array<std::int32_t, 2> held{-1, -1};
    auto scratchRow = [&](std::int32_t r) -> const std::uint8_t* {
        std::uint8_t* slot = scratch.data() + std::size_t{destStride} * (r & 1);
        if (held[r & 1] != r) {
            std::fill(slot, slot + destStride, std::uint8_t{0});
            resampleRow(srcPixels.data() + std::size_t{srcStride} * r, slot, columns, src.bitCount, gray);
            held[r & 1] = r;
        }
        return slot;
    };
    for (std::int32_t y = 0; y < newHeight; ++y) {
        const Tap& t = rows[static_cast<std::size_t>(y)];
        const std::uint8_t* a = scratchRow(t.i0);
        const std::uint8_t* b = scratchRow(t.i1);
        resampleColumn(a, b, destPixels.data() + std::size_t{destStride} * y, destStride, newWidth, t,
                       src.bitCount, gray);
    }

    const auto palette = srcHeader.palette;
    destHeader.header = src;
    destHeader.header.width = newWidth;
    destHeader.header.height = newHeight;
    if (src.bitCount < 9) destHeader.palette = palette;
    return true;
}

bool PixelTools::rotateQuarter(HeaderBlock& destHeader, std::span<std::uint8_t> destPixels, int degrees,
                               const HeaderBlock& srcHeader, std::span<const std::uint8_t> srcPixels,
                               RasterType srcType) {
    const int a = degrees % 360;
    if (a % 90 != 0) return false;
    const ImageHeader src = srcHeader.header;
    const std::int32_t W = src.width, H = src.height;
    const bool keepsShape = a == 0 || a == 180 || a == -180;
    const bool moved = movableDepth(src);
    const std::uint32_t srcSize = imageDataSize(src);
    const std::int32_t destWidth = keepsShape ? W : H, destHeight = keepsShape ? H : W;
    const std::uint32_t destStride = rowStride(destWidth, src.bitCount);
    if (moved && (srcSize == 0 || srcPixels.size() < srcSize ||
                  destPixels.size() < std::uint64_t{destStride} * static_cast<std::uint32_t>(destHeight)))
        return false;

    if (&destHeader != &srcHeader) {
        if (srcType != RasterType::trueColor) destHeader.palette = srcHeader.palette;
        destHeader.header.size = 40;
        destHeader.header.compression = src.compression;
        destHeader.header.clrUsed = src.clrUsed;
        destHeader.header.clrImportant = src.clrImportant;
    }
    destHeader.header.bitCount = src.bitCount;
    destHeader.header.planes = src.planes;
    destHeader.header.xPelsPerMeter = src.xPelsPerMeter;
    destHeader.header.yPelsPerMeter = src.yPelsPerMeter;
    destHeader.header.width = destWidth;
    destHeader.header.height = destHeight;
    if (!moved) return true;

    if (a == 0) {
        std::memcpy(destPixels.data(), srcPixels.data(), srcSize);
        return true;
    }
    const std::uint32_t srcStride = rowStride(W, src.bitCount);
    // Source (row, column) for destination (r, c), rows counted from the bottom.
    auto sourceOf = [&](std::int32_t r, std::int32_t c) -> std::pair<std::int32_t, std::int32_t> {
        switch (a) {
        case 90:
        case -270:
            return {c, W - 1 - r};
        case 180:
        case -180:
            return {H - 1 - r, W - 1 - c};
        default:
            return {H - 1 - c, r}; // 270, -90
        }
    };
    const int bytes = src.bitCount / 8;
    for (std::int32_t r = 0; r < destHeight; ++r) {
        std::uint8_t* d = destPixels.data() + std::size_t{destStride} * r;
        std::memset(d, 0, destStride);
        for (std::int32_t c = 0; c < destWidth; ++c) {
            const auto [sr, sc] = sourceOf(r, c);
            const std::uint8_t* s = srcPixels.data() + std::size_t{srcStride} * sr;
            if (src.bitCount == 1) {
                if (bitAt(s, sc)) setBit(d, c, true);
            } else {
                std::memcpy(d + std::size_t(bytes) * c, s + std::size_t(bytes) * sc, bytes);
            }
        }
    }
    return true;
}

PixelTools::Size PixelTools::rotatedDimensions(std::int32_t width, std::int32_t height, double degrees) {
    const double W = width, H = height;
    const double d = std::sqrt(W * W + H * H);
    const double alpha = std::atan2(W, H);
    const double turn = std::fmod(std::fabs(degrees), 180.0);
    const double theta = turn * kPi / 180;
    if (turn > 90)
        return {static_cast<std::int32_t>(std::fabs(std::sin(theta - alpha)) * d) + 3,
                static_cast<std::int32_t>(std::fabs(std::cos(theta + alpha)) * d) + 3};
    return {static_cast<std::int32_t>(std::fabs(std::sin(theta + alpha)) * d) + 3,
            static_cast<std::int32_t>(std::fabs(std::cos(theta - alpha)) * d) + 3};
}

std::uint32_t PixelTools::rotatedSize(const ImageHeader& header, double degrees) {
    if (!movableDepth(header) || header.width < 1 || header.height < 1) return 0;
    const Size size = rotatedDimensions(header.width, header.height, degrees);
    return imageDataSizeFor(&header, size.width, size.height);
}

bool PixelTools::rotateImage(HeaderBlock& destHeader, std::span<std::uint8_t> destPixels, double degrees,
                             const HeaderBlock& srcHeader, std::span<const std::uint8_t> srcPixels,
                             RasterType srcType) {
    if (std::fmod(degrees, 90.0) == 0.0)
        return rotateQuarter(destHeader, destPixels, static_cast<int>(std::fmod(degrees, 360.0)), srcHeader,
                             srcPixels, srcType);

    const HeaderBlock src = srcHeader;
    const std::int32_t W = src.header.width, H = src.header.height;
    if (W < 1 || H < 1) return false;
    const Size out = rotatedDimensions(W, H, degrees);
    const std::uint32_t srcSize = imageDataSize(src.header);
    const bool moved = movableDepth(src.header);
    const std::uint32_t destStride = rowStride(out.width, src.header.bitCount);
    if (moved && (srcSize == 0 || srcPixels.size() < srcSize ||
                  destPixels.size() < std::uint64_t{destStride} * static_cast<std::uint32_t>(out.height)))
        return false;

    ImageHeader& d = destHeader.header;
    d.size = 40;
    d.width = out.width;
    d.height = out.height;
    d.planes = 1;
    d.bitCount = src.header.bitCount;
    d.clrUsed = src.header.clrUsed;
    d.xPelsPerMeter = src.header.xPelsPerMeter;
    d.yPelsPerMeter = src.header.yPelsPerMeter;
    if (srcType != RasterType::trueColor) destHeader.palette = src.palette;
    if (!moved) return true;

    const double theta = degrees * kPi / 180;
    const double sinT = std::sin(theta), cosT = std::cos(theta);
    const std::uint32_t srcStride = rowStride(W, src.header.bitCount);
    const std::uint16_t bitCount = src.header.bitCount;
    const std::uint8_t white = bitCount == 24 ? 255 : nearestWhiteIndex(src);
    const bool grayBlend = bitCount == 8 && srcType == RasterType::gray;

    for (std::int32_t r = 0; r < out.height; ++r) {
        std::uint8_t* row = destPixels.data() + std::size_t{destStride} * r;
        if (bitCount == 1)
            std::memset(row, 0xFF, destStride);
        else
            std::memset(row, grayBlend ? 255 : white, destStride);
        const double yc = r - out.height / 2;
        for (std::int32_t c = 0; c < out.width; ++c) {
            const double xc = c - out.width / 2;
            double sx = xc * cosT - yc * sinT + W / 2;
            double sy = xc * sinT + yc * cosT + H / 2;
            if (sx < -1 || sx > W + 1 || sy < -1 || sy > H + 1) {
                if (bitCount == 1) setBit(row, c, white != 0);
                continue; // the fill already holds the outside value
            }
            if (sx < 0) sx = 0;
            if (sx >= W - 1) sx = W - 1.00001;
            if (sy < 0) sy = 0;
            if (sy >= H - 1) sy = H - 1.00001;
            const std::int32_t x0 = static_cast<std::int32_t>(sx), y0 = static_cast<std::int32_t>(sy);
            const double fx = sx - x0, fy = sy - y0;
            // A one-pixel-wide or -high source has no second neighbour; the first stands in.
            const std::int32_t x1 = std::min(x0 + 1, W - 1), y1 = std::min(y0 + 1, H - 1);
            const std::array<double, 4> w{(1 - fx) * (1 - fy), (1 - fx) * fy, fx * (1 - fy), fx * fy};
            const std::uint8_t* rowY0 = srcPixels.data() + std::size_t{srcStride} * y0;
            const std::uint8_t* rowY1 = srcPixels.data() + std::size_t{srcStride} * y1;
            if (bitCount == 24) {
                const std::array<const std::uint8_t*, 4> n{rowY0 + 3 * x0, rowY1 + 3 * x0, rowY0 + 3 * x1,
                                                           rowY1 + 3 * x1};
                // Rounded once at the end: truncating each term would darken even plain paper.
                for (int k = 0; k < 3; ++k) {
                    double sum = 0;
                    for (int q = 0; q < 4; ++q)
                        sum += n[q][k] * w[q];
                    row[3 * c + k] = static_cast<std::uint8_t>(std::clamp(std::lround(sum), 0L, 255L));
                }
            } else if (grayBlend) {
                const std::array<std::uint8_t, 4> n{rowY0[x0], rowY1[x0], rowY0[x1], rowY1[x1]};
                double sum = 0;
                for (int q = 0; q < 4; ++q)
                    sum += n[q] * w[q];
                row[c] = static_cast<std::uint8_t>(std::clamp(std::lround(sum), 0L, 255L));
            } else {
                const int best = static_cast<int>(std::max_element(w.begin(), w.end()) - w.begin());
                const std::int32_t bx = best < 2 ? x0 : x1;
                const std::uint8_t* by = (best & 1) ? rowY1 : rowY0;
                if (bitCount == 1)
                    setBit(row, c, bitAt(by, bx));
                else
                    row[c] = by[bx];
            }
        }
    }
    return true;
}

std::uint32_t PixelTools::cropImage(const HeaderBlock& srcHeader, std::span<const std::uint8_t> srcPixels,
                                    std::int32_t left, std::int32_t top, std::int32_t right,
                                    std::int32_t bottom, HeaderBlock* destHeader,
                                    std::span<std::uint8_t> destPixels) {
    const HeaderBlock src = srcHeader;
    const std::int32_t W = std::max(src.header.width, 0), H = std::max(src.header.height, 0);
    left = std::clamp(left, 0, W);
    right = std::clamp(right, 0, W);
    const std::int32_t firstRow = std::clamp(H - bottom, 0, H);
    const std::int32_t endRow = std::clamp(H - top, 0, H);
    const std::int32_t newWidth = std::max(right - left, 0);
    const std::int32_t newHeight = std::max(endRow - firstRow, 0);
    const std::uint16_t bitCount = src.header.bitCount;
    const std::uint32_t destStride = rowStride(newWidth, bitCount);
    const std::uint64_t size64 = std::uint64_t{destStride} * static_cast<std::uint32_t>(newHeight);
    const std::uint32_t size = size64 > UINT32_MAX ? 0 : static_cast<std::uint32_t>(size64);
    if (destHeader == nullptr) return size;

    if (!resampledDepth(bitCount)) return 0;
    const std::uint32_t srcStride = rowStride(W, bitCount);
    if (destPixels.size() < size ||
        srcPixels.size() < std::uint64_t{srcStride} * static_cast<std::uint32_t>(H))
        return 0;

    HeaderBlock& d = *destHeader;
    d.header.size = 40;
    d.header.width = newWidth;
    d.header.height = newHeight;
    d.header.sizeImage = size;
    d.header.planes = src.header.planes;
    d.header.bitCount = bitCount;
    d.header.compression = src.header.compression;
    d.header.xPelsPerMeter = src.header.xPelsPerMeter;
    d.header.yPelsPerMeter = src.header.yPelsPerMeter;
    d.header.clrUsed = src.header.clrUsed;
    d.header.clrImportant = src.header.clrImportant;

    for (std::int32_t r = 0; destStride != 0 && r < newHeight; ++r) {
        const std::uint8_t* s = srcPixels.data() + std::size_t{srcStride} * (firstRow + r);
        std::uint8_t* o = destPixels.data() + std::size_t{destStride} * r;
        std::memset(o, 0, destStride);
        if (bitCount >= 8) {
            const std::size_t bytes = bitCount / 8;
            std::memcpy(o, s + bytes * left, bytes * newWidth);
        } else if (bitCount == 4) {
            const std::int32_t count = (newWidth + 1) / 2;
            const std::uint8_t* from = s + left / 2;
            const std::uint8_t* end = s + srcStride;
            for (std::int32_t k = 0; k < count; ++k) {
                if (left & 1) {
                    const std::uint8_t next = from + k + 1 < end ? from[k + 1] : 0;
                    o[k] = static_cast<std::uint8_t>((from[k] << 4) | (next >> 4));
                } else {
                    o[k] = from[k];
                }
            }
            if (newWidth & 1) o[count - 1] &= 0xF0;
        } else {
            const int shift = left % 8;
            const std::int32_t count = (newWidth + 7) / 8;
            const std::uint8_t* from = s + left / 8;
            const std::uint8_t* end = s + srcStride;
            for (std::int32_t k = 0; k < count; ++k) {
                const std::uint8_t b0 = from[k];
                const std::uint8_t b1 = from + k + 1 < end ? from[k + 1] : 0;
                o[k] = shift == 0 ? b0 : static_cast<std::uint8_t>((b0 << shift) | (b1 >> (8 - shift)));
            }
            if (newWidth % 8) o[count - 1] &= static_cast<std::uint8_t>(0xFF00u >> (newWidth % 8));
        }
    }
    const std::uint32_t entries = usedPaletteEntries(src.header);
    std::copy_n(src.palette.begin(), entries, d.palette.begin());
    return 1;
}

} // namespace tandemscan
