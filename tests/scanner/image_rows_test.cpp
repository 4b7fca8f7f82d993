#include "image_rows.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace scanner {
namespace {

uint32_t read32(const uint8_t* at) {
    return uint32_t{at[0]} | uint32_t{at[1]} << 8 | uint32_t{at[2]} << 16 | uint32_t{at[3]} << 24;
}

TEST(ImageRows, StridesAndResolutions) {
    struct Case {
        uint32_t width;
        uint16_t bitCount;
        uint32_t stride;
    };
    for (const Case& c : {Case{1, 1, 4}, Case{32, 1, 4}, Case{33, 1, 8}, Case{1, 8, 4}, Case{5, 8, 8},
                          Case{1, 24, 4}, Case{3, 24, 12}, Case{5, 24, 16}, Case{637, 24, 1912}}) {
        EXPECT_EQ(rowStride(c.width, c.bitCount), c.stride) << c.width << " px at " << c.bitCount;
    }
    struct Dpi {
        double dpi;
        int32_t pels;
    };
    // 150 x 39.37 is 5905.5 exactly and rounds up; 75 dpi is 2952.75.
    for (const Dpi& d : {Dpi{75, 2953}, Dpi{100, 3937}, Dpi{150, 5906}, Dpi{300, 11811}, Dpi{600, 23622},
                         Dpi{1200, 47244}}) {
        EXPECT_EQ(pelsPerMeter(d.dpi), d.pels) << d.dpi;
    }
}

TEST(ImageRows, HeaderBlockPerType) {
    struct Case {
        ImageType type;
        uint16_t bitCount;
        uint32_t colorsUsed;
        uint32_t imageBytes; // 10 x 3 pixels
    };
    for (const Case& c : {Case{ImageType::Lineart, 1, 2, 12}, Case{ImageType::Gray, 8, 256, 36},
                          Case{ImageType::Color, 24, 0, 96}}) {
        std::array<uint8_t, kHeaderBlockSize> block;
        block.fill(0xAA); // everything not written must come out zero
        writeHeaderBlock(block, 10, 3, c.type, 150, 75);
        const uint8_t* h = block.data();
        EXPECT_EQ(read32(h), 40u);
        EXPECT_EQ(read32(h + 4), 10u);
        EXPECT_EQ(read32(h + 8), 3u);
        EXPECT_EQ(h[12] | h[13] << 8, 1);
        EXPECT_EQ(h[14] | h[15] << 8, c.bitCount);
        EXPECT_EQ(read32(h + 16), 0u);
        EXPECT_EQ(read32(h + 20), c.imageBytes);
        EXPECT_EQ(read32(h + 24), 5906u);
        EXPECT_EQ(read32(h + 28), 2953u);
        EXPECT_EQ(read32(h + 32), c.colorsUsed);
        EXPECT_EQ(read32(h + 36), 0u);
        const uint8_t* palette = h + 40;
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t expected = 0;
            if (c.type == ImageType::Gray) expected = i * 0x010101u;
            if (c.type == ImageType::Lineart && i == 1) expected = 0xFFFFFFu;
            ASSERT_EQ(read32(palette + 4 * i), expected) << "entry " << i;
        }
    }
}

struct ConvertCase {
    const char* what;
    ImageType target;
    LineFormat source;
    uint8_t threshold;
    std::vector<uint8_t> line;
    std::vector<uint8_t> row; // the whole padded row
};

uint16_t sample16(uint8_t high) {
    return static_cast<uint16_t>(high << 8 | 0x7F);
}

std::vector<uint8_t> samples16(std::initializer_list<uint8_t> highs) {
    std::vector<uint8_t> out;
    for (uint8_t h : highs) {
        const uint16_t v = sample16(h);
        out.resize(out.size() + 2);
        std::memcpy(out.data() + out.size() - 2, &v, 2);
    }
    return out;
}

TEST(ImageRows, ConvertsEachFrameToEachTarget) {
    const std::vector<ConvertCase> cases = {
        // SANE 1-bit gray marks black with 1; the bitmap's index 1 is white.
        {"gray1 to lineart",
         ImageType::Lineart,
         {FrameKind::Gray, 1, 10},
         128,
         {0b10110000, 0b01000000},
         {0b01001111, 0b10000000, 0, 0}},
        {"gray8 to lineart at 100",
         ImageType::Lineart,
         {FrameKind::Gray, 8, 4},
         100,
         {99, 100, 255, 0},
         {0b01100000, 0, 0, 0}},
        {"gray8 to lineart at 0",
         ImageType::Lineart,
         {FrameKind::Gray, 8, 3},
         0,
         {0, 1, 2},
         {0b11100000, 0, 0, 0}},
        {"rgb8 to lineart",
         ImageType::Lineart,
         {FrameKind::Rgb, 8, 2},
         128,
         {255, 0, 0, 0, 255, 0},
         {0b01000000, 0, 0, 0}},
        {"gray1 to gray", ImageType::Gray, {FrameKind::Gray, 1, 3}, 128, {0b01000000}, {255, 0, 255, 0}},
        {"gray8 to gray",
         ImageType::Gray,
         {FrameKind::Gray, 8, 5},
         128,
         {1, 2, 3, 4, 5},
         {1, 2, 3, 4, 5, 0, 0, 0}},
        {"gray16 to gray",
         ImageType::Gray,
         {FrameKind::Gray, 16, 2},
         128,
         samples16({0x12, 0xFE}),
         {0x12, 0xFE, 0, 0}},
        // 0.299 R + 0.587 G + 0.114 B, rounded.
        {"rgb8 to gray",
         ImageType::Gray,
         {FrameKind::Rgb, 8, 3},
         128,
         {255, 0, 0, 0, 255, 0, 10, 20, 30},
         {76, 150, 18, 0}},
        {"gray8 to color", ImageType::Color, {FrameKind::Gray, 8, 1}, 128, {77}, {77, 77, 77, 0}},
        {"rgb8 to color",
         ImageType::Color,
         {FrameKind::Rgb, 8, 2},
         128,
         {1, 2, 3, 4, 5, 6},
         {3, 2, 1, 6, 5, 4, 0, 0}},
        {"rgb16 to color",
         ImageType::Color,
         {FrameKind::Rgb, 16, 1},
         128,
         samples16({0x10, 0x20, 0x30}),
         {0x30, 0x20, 0x10, 0}},
        // 1-bit colour samples mark full intensity with 1.
        {"rgb1 to color",
         ImageType::Color,
         {FrameKind::Rgb, 1, 2},
         128,
         {0b10001100},
         {0, 0, 255, 255, 255, 0, 0, 0}},
    };
    for (const ConvertCase& c : cases) {
        const auto converter = RowConverter::make(c.target, c.source, c.threshold);
        ASSERT_TRUE(converter.has_value()) << c.what;
        std::vector<uint8_t> row(rowStride(c.source.pixels, bitCountFor(c.target)), 0);
        ASSERT_EQ(row.size(), c.row.size()) << c.what;
        converter->convert(c.line.data(), row.data());
        EXPECT_EQ(row, c.row) << c.what;
    }
}

TEST(ImageRows, ThreePassFramesFillTheirOwnChannel) {
    const std::array<uint8_t, 2> red = {10, 11};
    const std::array<uint8_t, 2> green = {20, 21};
    const std::array<uint8_t, 2> blue = {30, 31};
    std::vector<uint8_t> row(8, 0);
    for (auto [kind, line] :
         {std::pair{FrameKind::Red, red.data()}, std::pair{FrameKind::Green, green.data()},
          std::pair{FrameKind::Blue, blue.data()}}) {
        const auto converter = RowConverter::make(ImageType::Color, {kind, 8, 2}, 128);
        ASSERT_TRUE(converter.has_value());
        converter->convert(line, row.data());
    }
    EXPECT_EQ(row, (std::vector<uint8_t>{30, 20, 10, 31, 21, 11, 0, 0}));
}

TEST(ImageRows, RefusesFramesItCannotRead) {
    struct Case {
        ImageType target;
        LineFormat source;
    };
    for (const Case& c :
         {Case{ImageType::Gray, {FrameKind::Gray, 4, 8}}, Case{ImageType::Color, {FrameKind::Rgb, 12, 8}},
          Case{ImageType::Gray, {FrameKind::Red, 8, 8}}, Case{ImageType::Lineart, {FrameKind::Blue, 8, 8}},
          Case{ImageType::Gray, {FrameKind::Gray, 8, 0}}}) {
        EXPECT_FALSE(RowConverter::make(c.target, c.source, 128).has_value())
            << static_cast<int>(c.target) << " from depth " << c.source.depth;
    }
}

TEST(ImageRows, FlipRowsReversesAndTwiceRestores) {
    for (uint32_t rows : {0u, 1u, 2u, 3u, 4u, 7u}) {
        std::vector<uint8_t> pixels(rows * 4);
        for (std::size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint8_t>(i);
        const std::vector<uint8_t> original = pixels;
        flipRows(pixels, 4);
        for (uint32_t r = 0; r < rows; ++r) {
            EXPECT_EQ(pixels[r * 4], original[(rows - 1 - r) * 4]) << rows << " rows, row " << r;
        }
        flipRows(pixels, 4);
        EXPECT_EQ(pixels, original);
    }
}

} // namespace
} // namespace scanner
