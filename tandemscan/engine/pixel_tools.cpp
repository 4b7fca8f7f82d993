#include "engine/pixel_tools.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace tandemscan {

namespace {

std::uint32_t fitOrZero(std::uint64_t bytes) {
    return bytes > std::numeric_limits<std::uint32_t>::max() ? 0 : static_cast<std::uint32_t>(bytes);
}

std::uint64_t strideFor(std::int64_t w, std::uint16_t bitCount) {
    if (w < 1) return 0;
    switch (bitCount) {
    case 1:
        return (w + 31) / 32 * 4;
    case 4:
        return (w + 7) / 8 * 4;
    case 8:
        return (w + 3) & ~std::int64_t{3};
    case 16:
        return (2 * w + 2) / 4 * 4;
    case 24:
        return (3 * w + 3) & ~std::int64_t{3};
    case 32:
        return 4 * w;
    case 48:
        return (6 * w + 3) / 4 * 4;
    default:
        return 0;
    }
}

} // namespace

std::uint32_t PixelTools::rowStride(std::int32_t width, std::uint16_t bitCount) {
    return fitOrZero(strideFor(width, bitCount));
}

std::uint32_t PixelTools::imageDataSize(const ImageHeader& header) {
    switch (header.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
        break;
    case 24:
        if (header.planes != 1) return 0;
        break;
    default:
        return 0;
    }
    if (header.height < 1) return 0;
    return fitOrZero(strideFor(header.width, header.bitCount) * static_cast<std::uint64_t>(header.height));
}

std::uint32_t PixelTools::imageDataSizeFor(const ImageHeader* header, std::int32_t width,
                                           std::int32_t height) {
    if (header == nullptr) return 0;
    const std::uint64_t rows = static_cast<std::uint64_t>(std::llabs(static_cast<long long>(height)));
    return fitOrZero(strideFor(width, header->bitCount) * rows);
}

std::uint32_t PixelTools::usedPaletteEntries(const ImageHeader& header) {
    if (header.clrUsed != 0) return std::min<std::uint32_t>(header.clrUsed, 256);
    if (header.bitCount >= 16) return 0;
    return std::min<std::uint32_t>(1u << std::min<std::uint16_t>(header.bitCount, 8), 256);
}

bool PixelTools::isGrayPalette(const HeaderBlock& block, DepthCheck depth) {
    if (depth == DepthCheck::required && block.header.bitCount != 8) return false;
    const std::uint32_t used =
        block.header.clrUsed == 0 ? 256 : std::min<std::uint32_t>(block.header.clrUsed, 256);
    return std::all_of(block.palette.begin(), block.palette.begin() + used,
                       [](const PaletteEntry& e) { return e.blue == e.green && e.blue == e.red; });
}

RasterType PixelTools::rasterType(const HeaderBlock& block) {
    switch (block.header.bitCount) {
    case 1:
        return RasterType::monochrome;
    case 4:
        return RasterType::palette16;
    case 8:
        return isGrayPalette(block) ? RasterType::gray : RasterType::palette256;
    default:
        return RasterType::trueColor;
    }
}

namespace {

// The header of the 24-bit expansion of an 8-bit image, or nullopt when there is none.
std::optional<HeaderBlock> trueColorHeader(const ImageHeader& h, std::size_t pixelBytes) {
    if (h.bitCount != 8) return std::nullopt;
    const std::uint32_t srcSize = PixelTools::imageDataSize(h);
    if (srcSize == 0 || pixelBytes < srcSize) return std::nullopt;
    const std::uint64_t destSize =
        std::uint64_t{PixelTools::rowStride(h.width, 24)} * static_cast<std::uint32_t>(h.height);
    if (destSize == 0 || destSize > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    HeaderBlock out{};
    out.header.size = 40;
    out.header.width = h.width;
    out.header.height = h.height;
    out.header.planes = 1;
    out.header.bitCount = 24;
    out.header.sizeImage = static_cast<std::uint32_t>(destSize);
    out.header.xPelsPerMeter = h.xPelsPerMeter;
    out.header.yPelsPerMeter = h.yPelsPerMeter;
    return out;
}

} // namespace

bool PixelTools::expandToTrueColor(const HeaderBlock& header, std::span<const std::uint8_t> pixels,
                                   HeaderBlock& destHeader, std::span<std::uint8_t> destPixels) {
    const auto out = trueColorHeader(header.header, pixels.size());
    if (!out || destPixels.size() < out->header.sizeImage || &destHeader == &header) return false;
    const ImageHeader& h = header.header;
    const std::uint32_t srcStride = rowStride(h.width, 8);
    const std::uint32_t destStride = rowStride(h.width, 24);
    const auto& palette = header.palette;
    for (std::int32_t row = 0; row < h.height; ++row) {
        const std::uint8_t* s = pixels.data() + std::size_t{srcStride} * row;
        std::uint8_t* d = destPixels.data() + std::size_t{destStride} * row;
        for (std::int32_t x = 0; x < h.width; ++x, d += 3) {
            const PaletteEntry& e = palette[s[x]];
            d[0] = e.blue;
            d[1] = e.green;
            d[2] = e.red;
        }
        std::fill(d, destPixels.data() + std::size_t{destStride} * (row + 1), std::uint8_t{0});
    }
    destHeader = *out;
    return true;
}

std::optional<ImageRecord> PixelTools::expandToTrueColor(const HeaderBlock& header,
                                                         std::span<const std::uint8_t> pixels) {
    const auto out = trueColorHeader(header.header, pixels.size());
    if (!out) return std::nullopt;
    auto record = ImageRecord::allocate(*out, out->header.sizeImage);
    if (!record || !expandToTrueColor(header, pixels, record->headerBlock(), record->pixels()))
        return std::nullopt;
    return record;
}

bool PixelTools::expandToTrueColor(ImageRecord& record) {
    if (record.empty()) return false;
    auto expanded = expandToTrueColor(record.headerBlock(), record.pixels());
    if (!expanded) return false;
    record = std::move(*expanded);
    return true;
}

bool PixelTools::invertMonochrome(const ImageHeader& header, std::span<std::uint8_t> pixels) {
    if (header.bitCount != 1) return false;
    const std::uint32_t size = imageDataSize(header);
    if (size == 0 || pixels.size() < size) return false;
    const std::uint32_t stride = rowStride(header.width, 1);
    const std::uint32_t fullBytes = static_cast<std::uint32_t>(header.width) / 8;
    const unsigned tailBits = static_cast<std::uint32_t>(header.width) % 8;
    const std::uint8_t tailMask = static_cast<std::uint8_t>(0xFF00u >> tailBits);
    for (std::int32_t row = 0; row < header.height; ++row) {
        std::uint8_t* r = pixels.data() + std::size_t{stride} * row;
        std::uint32_t i = 0;
        for (; i < fullBytes; ++i)
            r[i] = static_cast<std::uint8_t>(~r[i]);
        if (tailBits != 0) {
            r[i] = static_cast<std::uint8_t>(~r[i] & tailMask);
            ++i;
        }
        std::fill(r + i, r + stride, std::uint8_t{0});
    }
    return true;
}

std::uint8_t PixelTools::nearestWhiteIndex(const HeaderBlock& block) {
    const std::uint32_t used = std::max<std::uint32_t>(usedPaletteEntries(block.header), 1);
    std::uint32_t best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (std::uint32_t i = 0; i < used; ++i) {
        const PaletteEntry& e = block.palette[i];
        // Comparing squared distances picks the same entry as comparing their square roots.
        const int db = e.blue - 255, dg = e.green - 255, dr = e.red - 255;
        const int distance = db * db + dg * dg + dr * dr;
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    return static_cast<std::uint8_t>(best);
}

} // namespace tandemscan
