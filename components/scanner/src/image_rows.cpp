#include "image_rows.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace scanner {

uint16_t bitCountFor(ImageType type) {
    switch (type) {
    case ImageType::Lineart:
        return 1;
    case ImageType::Gray:
        return 8;
    case ImageType::Color:
        return 24;
    }
    return 0;
}

uint32_t rowStride(uint32_t width, uint16_t bitCount) {
    const uint64_t bits = uint64_t{width} * bitCount;
    return static_cast<uint32_t>((bits + 31) / 32 * 4);
}

int32_t pelsPerMeter(double dotsPerInch) {
    // 3937 / 100 keeps whole resolutions exact, so 150 dpi gives 5906 (5905.5 rounded up), not the
    // 5905 that multiplying by the inexact 39.37 would give.
    return static_cast<int32_t>(std::floor(dotsPerInch * 3937.0 / 100.0 + 0.5));
}

namespace {

void put16(uint8_t* at, uint16_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

void writeHeaderBlock(std::span<uint8_t, kHeaderBlockSize> block, uint32_t width, uint32_t height,
                      ImageType type, double xDotsPerInch, double yDotsPerInch) {
    std::fill(block.begin(), block.end(), uint8_t{0});
    const uint16_t bitCount = bitCountFor(type);
    uint8_t* h = block.data();
    put32(h + 0, kInfoHeaderSize);
    put32(h + 4, width);
    put32(h + 8, height);
    put16(h + 12, 1);
    put16(h + 14, bitCount);
    put32(h + 16, 0);
    put32(h + 20, rowStride(width, bitCount) * height);
    put32(h + 24, static_cast<uint32_t>(pelsPerMeter(xDotsPerInch)));
    put32(h + 28, static_cast<uint32_t>(pelsPerMeter(yDotsPerInch)));
    uint8_t* palette = h + kInfoHeaderSize;
    if (type == ImageType::Lineart) {
        put32(h + 32, 2);
        std::memset(palette + 4, 255, 3); // entry 1 white; entry 0 stays black
    } else if (type == ImageType::Gray) {
        put32(h + 32, 256);
        for (int i = 0; i < 256; ++i)
            std::memset(palette + 4 * i, i, 3);
    }
}

namespace {

// One sample as an 8-bit intensity. SANE's 1-bit gray uses 1 for black; 1-bit colour samples use
// 1 for full intensity.
template <int Depth, bool OneIsBlack> inline uint8_t sampleAt(const uint8_t* line, std::size_t index) {
    if constexpr (Depth == 8) {
        return line[index];
    } else if constexpr (Depth == 16) {
        uint16_t v;
        std::memcpy(&v, line + 2 * index, 2);
        return static_cast<uint8_t>(v >> 8);
    } else {
        const bool bit = (line[index >> 3] >> (7 - (index & 7))) & 1;
        return (bit != OneIsBlack) ? 255 : 0;
    }
}

template <int Depth> inline uint8_t grayAt(const uint8_t* line, uint32_t pixel) {
    return sampleAt<Depth, true>(line, pixel);
}

template <int Depth> inline uint8_t luminanceAt(const uint8_t* line, uint32_t pixel) {
    const uint32_t r = sampleAt<Depth, false>(line, 3 * std::size_t{pixel});
    const uint32_t g = sampleAt<Depth, false>(line, 3 * std::size_t{pixel} + 1);
    const uint32_t b = sampleAt<Depth, false>(line, 3 * std::size_t{pixel} + 2);
    return static_cast<uint8_t>((299 * r + 587 * g + 114 * b + 500) / 1000);
}

template <int Depth, bool Rgb> inline uint8_t intensityAt(const uint8_t* line, uint32_t pixel) {
    if constexpr (Rgb) {
        return luminanceAt<Depth>(line, pixel);
    } else {
        return grayAt<Depth>(line, pixel);
    }
}

template <int Depth, bool Rgb>
void toLineart(const uint8_t* line, uint8_t* row, uint32_t pixels, uint8_t threshold) {
    uint8_t byte = 0;
    for (uint32_t x = 0; x < pixels; ++x) {
        if (intensityAt<Depth, Rgb>(line, x) >= threshold) byte |= static_cast<uint8_t>(0x80 >> (x & 7));
        if ((x & 7) == 7) {
            row[x >> 3] = byte;
            byte = 0;
        }
    }
    if (pixels & 7) row[pixels >> 3] = byte;
}

template <int Depth, bool Rgb> void toGray(const uint8_t* line, uint8_t* row, uint32_t pixels, uint8_t) {
    for (uint32_t x = 0; x < pixels; ++x)
        row[x] = intensityAt<Depth, Rgb>(line, x);
}

template <int Depth, bool Rgb> void toColor(const uint8_t* line, uint8_t* row, uint32_t pixels, uint8_t) {
    for (uint32_t x = 0; x < pixels; ++x) {
        uint8_t* out = row + 3 * std::size_t{x};
        if constexpr (Rgb) {
            out[0] = sampleAt<Depth, false>(line, 3 * std::size_t{x} + 2);
            out[1] = sampleAt<Depth, false>(line, 3 * std::size_t{x} + 1);
            out[2] = sampleAt<Depth, false>(line, 3 * std::size_t{x});
        } else {
            out[0] = out[1] = out[2] = grayAt<Depth>(line, x);
        }
    }
}

// A single-channel pass writes its own byte of each pixel: blue at 0, green at 1, red at 2.
template <int Depth, int Offset> void toChannel(const uint8_t* line, uint8_t* row, uint32_t pixels, uint8_t) {
    for (uint32_t x = 0; x < pixels; ++x)
        row[3 * std::size_t{x} + Offset] = sampleAt<Depth, false>(line, x);
}

template <int Depth> RowConverter::Fn pickForDepth(ImageType target, FrameKind kind) {
    switch (kind) {
    case FrameKind::Gray:
        return target == ImageType::Lineart ? toLineart<Depth, false>
               : target == ImageType::Gray  ? toGray<Depth, false>
                                            : toColor<Depth, false>;
    case FrameKind::Rgb:
        return target == ImageType::Lineart ? toLineart<Depth, true>
               : target == ImageType::Gray  ? toGray<Depth, true>
                                            : toColor<Depth, true>;
    case FrameKind::Red:
        return target == ImageType::Color ? toChannel<Depth, 2> : nullptr;
    case FrameKind::Green:
        return target == ImageType::Color ? toChannel<Depth, 1> : nullptr;
    case FrameKind::Blue:
        return target == ImageType::Color ? toChannel<Depth, 0> : nullptr;
    }
    return nullptr;
}

} // namespace

std::optional<RowConverter> RowConverter::make(ImageType target, LineFormat source, uint8_t threshold) {
    Fn fn = nullptr;
    switch (source.depth) {
    case 1:
        fn = pickForDepth<1>(target, source.kind);
        break;
    case 8:
        fn = pickForDepth<8>(target, source.kind);
        break;
    case 16:
        fn = pickForDepth<16>(target, source.kind);
        break;
    default:
        break;
    }
    if (fn == nullptr || source.pixels == 0) return std::nullopt;
    return RowConverter(fn, source.pixels, threshold);
}

void flipRows(std::span<uint8_t> pixels, uint32_t stride) {
    if (stride == 0) return;
    const std::size_t rows = pixels.size() / stride;
    for (std::size_t top = 0, bottom = rows; top + 1 < bottom; ++top) {
        --bottom;
        std::swap_ranges(pixels.begin() + top * stride, pixels.begin() + (top + 1) * stride,
                         pixels.begin() + bottom * stride);
    }
}

} // namespace scanner
