#include "image_block.h"

#include <cmath>
#include <cstring>

namespace imagefile {

void fail(const std::string& message) {
    throw ImageError(message);
}

uint64_t rowStride(int64_t width, int bitCount) {
    if (width <= 0) return 0;
    const auto w = static_cast<uint64_t>(width);
    switch (bitCount) {
    case 1:
        return (w + 31) / 32 * 4;
    case 4:
        return (w + 7) / 8 * 4;
    case 8:
        return (w + 3) / 4 * 4;
    case 16:
        return (2 * w + 3) / 4 * 4;
    case 24:
        return (3 * w + 3) / 4 * 4;
    default:
        return 0;
    }
}

uint64_t pixelBlockSize(const BitmapHeader& header) {
    if (header.height <= 0) return 0;
    return rowStride(header.width, header.bitCount) * static_cast<uint64_t>(header.height);
}

void setImageGeometry(HeaderBlock& block, int64_t width, int64_t height, int bitCount) {
    if (width <= 0 || height <= 0) fail("The image has no pixels (width or height is zero or negative).");
    if (width > INT32_MAX || height > INT32_MAX) fail("The image is too large.");
    const uint64_t size = rowStride(width, bitCount) * static_cast<uint64_t>(height);
    if (size == 0) fail("The image has a colour depth that cannot be held.");
    if (size > kMaxPixelBlock) fail("The image is too large: its pixels would take more than 4 GiB.");
    BitmapHeader& h = block.header;
    h.size = 40;
    h.width = static_cast<int32_t>(width);
    h.height = static_cast<int32_t>(height);
    h.planes = 1;
    h.bitCount = static_cast<uint16_t>(bitCount);
    h.compression = 0;
    h.sizeImage = static_cast<uint32_t>(size);
}

void setGreyPalette(HeaderBlock& block, int bitCount) {
    const unsigned count = 1u << bitCount;
    for (unsigned i = 0; i < count; ++i) {
        const auto v = static_cast<uint8_t>(i * 255 / (count - 1));
        block.palette[i] = {v, v, v, 0};
    }
    block.header.clrUsed = count;
}

unsigned paletteCount(const BitmapHeader& header) {
    if (header.bitCount > 8) return 0;
    const unsigned full = 1u << header.bitCount;
    if (header.clrUsed == 0 || header.clrUsed > full) return full;
    return header.clrUsed;
}

bool isIdentityGreyRamp(const HeaderBlock& block) {
    if (block.header.bitCount != 8 || paletteCount(block.header) != 256) return false;
    for (unsigned i = 0; i < 256; ++i) {
        const PaletteEntry& e = block.palette[i];
        if (e.blue != i || e.green != i || e.red != i) return false;
    }
    return true;
}

bool isGreyPalette(const HeaderBlock& block) {
    const unsigned count = paletteCount(block.header);
    if (count == 0) return false;
    for (unsigned i = 0; i < count; ++i) {
        const PaletteEntry& e = block.palette[i];
        if (e.blue != e.green || e.blue != e.red) return false;
    }
    return true;
}

void rowToIndices(const uint8_t* row, int width, int bitCount, uint8_t* indices) {
    switch (bitCount) {
    case 1:
        for (int x = 0; x < width; ++x)
            indices[x] = (row[x >> 3] >> (7 - (x & 7))) & 1;
        break;
    case 4:
        for (int x = 0; x < width; ++x)
            indices[x] = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        break;
    default:
        std::memcpy(indices, row, static_cast<size_t>(width));
        break;
    }
}

void rowToBgr(const HeaderBlock& block, const uint8_t* row, int width, uint8_t* bgr) {
    const int bits = block.header.bitCount;
    if (bits == 24) {
        std::memcpy(bgr, row, static_cast<size_t>(width) * 3);
        return;
    }
    if (bits == 16) {
        for (int x = 0; x < width; ++x) {
            const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
            bgr[3 * x] = expand5(v & 31);
            bgr[3 * x + 1] = expand5((v >> 5) & 31);
            bgr[3 * x + 2] = expand5((v >> 10) & 31);
        }
        return;
    }
    for (int x = 0; x < width; ++x) {
        unsigned index;
        if (bits == 1)
            index = (row[x >> 3] >> (7 - (x & 7))) & 1;
        else if (bits == 4)
            index = (x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4);
        else
            index = row[x];
        const PaletteEntry& e = block.palette[index];
        bgr[3 * x] = e.blue;
        bgr[3 * x + 1] = e.green;
        bgr[3 * x + 2] = e.red;
    }
}

namespace {
// Pixels per metre are derived from dots per inch by multiplying with 39.37 and rounding; the
// other way the suite divides by the single-precision constant.
constexpr double kInchesPerMetre = 39.37;
constexpr float kInchesPerMetreSingle = 39.37f;
} // namespace

int32_t dpiToPelsPerMeter(double dpi) {
    if (!(dpi > 0)) return 0;
    const double v = dpi * kInchesPerMetre + 0.5;
    return v >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

double pelsPerMeterToDpi(int32_t pelsPerMeter) {
    return pelsPerMeter > 0 ? pelsPerMeter / static_cast<double>(kInchesPerMetreSingle) : 0.0;
}

int32_t dotsPerCmToPelsPerMeter(double dotsPerCm) {
    if (!(dotsPerCm > 0)) return 0;
    const double v = dotsPerCm * 100 + 0.5;
    return v >= INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

} // namespace imagefile
