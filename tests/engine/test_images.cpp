#include "test_images.h"

#include "engine/pixel_tools.h"

namespace tandemscan::test {

TestImage TestImage::make(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                          std::int32_t pelsPerMeter) {
    TestImage image;
    ImageHeader& h = image.block.header;
    h.size = 40;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = bitCount;
    h.xPelsPerMeter = pelsPerMeter;
    h.yPelsPerMeter = pelsPerMeter;
    if (bitCount <= 8) {
        const int entries = 1 << bitCount;
        for (int i = 0; i < entries; ++i) {
            const auto v = static_cast<std::uint8_t>(i * 255 / (entries - 1));
            image.block.palette[i] = {v, v, v, 0};
        }
    }
    image.pixels.assign(PixelTools::imageDataSizeFor(&h, width, height), 0);
    h.sizeImage = static_cast<std::uint32_t>(image.pixels.size());
    return image;
}

TestImage TestImage::fromRows(std::uint16_t bitCount,
                              std::initializer_list<std::initializer_list<std::uint32_t>> rows) {
    TestImage image = make(static_cast<std::int32_t>(rows.begin()->size()),
                           static_cast<std::int32_t>(rows.size()), bitCount);
    std::int32_t y = 0;
    for (const auto& row : rows) {
        std::int32_t x = 0;
        for (std::uint32_t v : row)
            image.set(x++, y, v);
        ++y;
    }
    return image;
}

std::uint32_t TestImage::stride() const {
    return PixelTools::rowStride(width(), block.header.bitCount);
}

std::uint32_t pixelAt(const HeaderBlock& block, std::span<const std::uint8_t> pixels, std::int32_t x,
                      std::int32_t y) {
    const ImageHeader& h = block.header;
    const std::uint32_t stride = PixelTools::rowStride(h.width, h.bitCount);
    const std::uint8_t* row = pixels.data() + std::size_t{stride} * (h.height - 1 - y);
    switch (h.bitCount) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4:
        return x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    case 8:
        return row[x];
    case 16:
        return row[2 * x] | (row[2 * x + 1] << 8);
    case 24:
        return row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
    default:
        return row[4 * x] | (row[4 * x + 1] << 8) | (row[4 * x + 2] << 16) |
               (std::uint32_t(row[4 * x + 3]) << 24);
    }
}

std::uint32_t TestImage::get(std::int32_t x, std::int32_t y) const {
    return pixelAt(block, pixels, x, y);
}

void TestImage::set(std::int32_t x, std::int32_t y, std::uint32_t v) {
    std::uint8_t* row = pixels.data() + std::size_t{stride()} * (height() - 1 - y);
    switch (block.header.bitCount) {
    case 1: {
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (x % 8));
        row[x / 8] = static_cast<std::uint8_t>(v ? row[x / 8] | mask : row[x / 8] & ~mask);
        break;
    }
    case 4:
        row[x / 2] =
            static_cast<std::uint8_t>(x % 2 ? (row[x / 2] & 0xF0) | v : (row[x / 2] & 0x0F) | (v << 4));
        break;
    case 8:
        row[x] = static_cast<std::uint8_t>(v);
        break;
    case 16:
        row[2 * x] = static_cast<std::uint8_t>(v);
        row[2 * x + 1] = static_cast<std::uint8_t>(v >> 8);
        break;
    case 24:
        for (int k = 0; k < 3; ++k)
            row[3 * x + k] = static_cast<std::uint8_t>(v >> (8 * k));
        break;
    default:
        for (int k = 0; k < 4; ++k)
            row[4 * x + k] = static_cast<std::uint8_t>(v >> (8 * k));
        break;
    }
}

Picture pictureOf(const HeaderBlock& block, std::span<const std::uint8_t> pixels) {
    Picture rows;
    for (std::int32_t y = 0; y < block.header.height; ++y) {
        rows.emplace_back();
        for (std::int32_t x = 0; x < block.header.width; ++x)
            rows.back().push_back(pixelAt(block, pixels, x, y));
    }
    return rows;
}

Picture pictureOf(const ImageRecord& record) {
    return pictureOf(record.headerBlock(), record.pixels());
}

Picture TestImage::picture() const {
    return pictureOf(block, pixels);
}

std::vector<std::uint8_t> TestImage::storedRow(std::int32_t row) const {
    const auto begin = pixels.begin() + static_cast<std::ptrdiff_t>(std::size_t{stride()} * row);
    return {begin, begin + stride()};
}

} // namespace tandemscan::test
