#include "engine/composer.h"
#include "engine/pixel_tools.h"
#include "test_images.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using test::Picture;
using test::TestImage;

constexpr std::uint32_t W = 0xFFFFFF; // white fill at 24 bits

struct Joined {
    bool ok = false;
    HeaderBlock block{};
    std::vector<std::uint8_t> pixels;
    std::string why;
    Picture picture() const { return test::pictureOf(block, pixels); }
};

// Joins into a whole block, and checks that the join row by row (for writers that take rows)
// gives the same header and bytes, and no row outside the picture.
Joined join(const TestImage& left, TestImage& right, CutRecord cut) {
    Joined out;
    TestImage rightCopy = right;
    if (!composeHeader(out.block, left.block, right.block, cut, &out.why)) return out;
    out.pixels.assign(out.block.header.sizeImage, 0xCD);
    out.ok = composeImages(out.block, out.pixels, left.block, left.pixels, right.block, right.pixels, cut,
                           &out.why);

    JoinedRows rows;
    HeaderBlock rowsHeader;
    EXPECT_EQ(rows.prepare(rowsHeader, left.block, left.pixels, rightCopy.block, rightCopy.pixels, cut),
              out.ok);
    if (!out.ok) return out;
    EXPECT_EQ(std::memcmp(&rowsHeader, &out.block, sizeof rowsHeader), 0);
    const std::size_t stride = PixelTools::rowStride(out.block.header.width, out.block.header.bitCount);
    for (std::int32_t r = 0; r < out.block.header.height; ++r) {
        const std::uint8_t* row = rows.row(r);
        EXPECT_TRUE(row != nullptr && std::equal(row, row + stride, out.pixels.begin() + r * stride))
            << "row " << r;
    }
    EXPECT_EQ(rows.row(-1), nullptr);
    EXPECT_EQ(rows.row(out.block.header.height), nullptr);
    return out;
}

// Left part a1..a6 (2 x 3) or a1..a4 (2 x 2), right part b1..b6 / b1..b4, values 0xA1.. and 0xB1..
TestImage twoWide(std::uint32_t base, std::int32_t rows) {
    if (rows == 3)
        return TestImage::fromRows(24, {{base + 1, base + 2}, {base + 3, base + 4}, {base + 5, base + 6}});
    return TestImage::fromRows(24, {{base + 1, base + 2}, {base + 3, base + 4}});
}

TEST(ComposeImages, TheFourRowCases) {
    struct Case {
        const char* what;
        std::int32_t leftRows, rightRows;
        CutRecord cut;
        Picture expected;
    };
    const Case cases[] = {
        {"B: level, equal heights", 2, 2, {2, 0, 0, 0}, {{0xA1, 0xA2, 0xB1, 0xB2}, {0xA3, 0xA4, 0xB3, 0xB4}}},
        {"B: right shorter, bottoms level",
         3,
         2,
         {2, 1, -1, 0},
         {{0xA1, 0xA2, W}, {0xA3, 0xA4, 0xB2}, {0xA5, 0xA6, 0xB4}}},
        {"D: right reaches one lower",
         2,
         3,
         {2, 0, 0, -1},
         {{0xA1, 0xA2, 0xB1, 0xB2}, {0xA3, 0xA4, 0xB3, 0xB4}, {W, W, 0xB5, 0xB6}}},
        {"C: right one higher",
         2,
         2,
         {2, 0, 1, 1},
         {{W, W, 0xB1, 0xB2}, {0xA1, 0xA2, 0xB3, 0xB4}, {0xA3, 0xA4, W, W}}},
        {"A: right one lower",
         2,
         2,
         {2, 0, -1, -1},
         {{0xA1, 0xA2, W, W}, {0xA3, 0xA4, 0xB1, 0xB2}, {W, W, 0xB3, 0xB4}}},
        {"overlap: right from its second column", 2, 2, {1, 1, 0, 0}, {{0xA1, 0xB2}, {0xA3, 0xB4}}},
    };
    for (const Case& c : cases) {
        const TestImage left = twoWide(0xA0, c.leftRows);
        TestImage right = twoWide(0xB0, c.rightRows);
        const Joined out = join(left, right, c.cut);
        ASSERT_TRUE(out.ok) << c.what << ": " << out.why;
        EXPECT_EQ(out.picture(), c.expected) << c.what;
    }
}

TEST(ComposeImages, HeaderSizesAndFields) {
    struct Case {
        CutRecord cut;
        std::int32_t width, height;
    };
    // Left 10 x 6, right 8 x 5.
    const Case cases[] = {
        {{10, 0, 0, 0}, 18, 6}, {{10, 0, 0, -5}, 18, 5}, {{4, 2, 3, 3}, 10, 9}, {{4, 2, -2, -3}, 10, 9},
        {{4, 2, 0, 1}, 10, 6},  {{15, -3, 0, 0}, 18, 6}, {{0, 8, 0, 0}, 0, 0},
    };
    TestImage left = TestImage::make(10, 6, 8, 11811);
    left.block.header.clrUsed = 77;
    left.block.palette[5] = {1, 2, 3, 0};
    TestImage right = TestImage::make(8, 5, 8, 5906);
    for (const Case& c : cases) {
        HeaderBlock out;
        const bool ok = composeHeader(out, left.block, right.block, c.cut);
        EXPECT_EQ(ok, c.width > 0);
        if (!ok) continue;
        EXPECT_EQ(out.header.width, c.width);
        EXPECT_EQ(out.header.height, c.height);
        EXPECT_EQ(out.header.sizeImage,
                  PixelTools::rowStride(c.width, 8) * static_cast<std::uint32_t>(c.height));
        EXPECT_EQ(out.header.size, 40u);
        EXPECT_EQ(out.header.planes, 1);
        EXPECT_EQ(out.header.clrUsed, 77u);
        EXPECT_EQ(out.header.xPelsPerMeter, 11811);
        EXPECT_EQ(out.palette[5], (PaletteEntry{1, 2, 3, 0}));
    }
    TestImage colourLeft = TestImage::make(4, 4, 24);
    TestImage colourRight = TestImage::make(4, 4, 24);
    HeaderBlock out;
    out.palette[5] = {9, 9, 9, 0};
    ASSERT_TRUE(composeHeader(out, colourLeft.block, colourRight.block, {4, 0, 0, 0}));
    EXPECT_EQ(out.palette[5], (PaletteEntry{0, 0, 0, 0})) << "no palette at 24 bits";
}

TEST(ComposeImages, RefusesMixedOrUnsupportedDepths) {
    struct Case {
        std::uint16_t left, right;
    };
    for (const Case c : {Case{8, 24}, Case{4, 4}, Case{16, 16}, Case{1, 8}}) {
        TestImage left = TestImage::make(4, 4, c.left);
        TestImage right = TestImage::make(4, 4, c.right);
        const Joined out = join(left, right, {4, 0, 0, 0});
        EXPECT_FALSE(out.ok) << c.left << "+" << c.right;
        EXPECT_FALSE(out.why.empty());
    }
}

TEST(ComposeImages, CutsOutsideThePartsNeverReachOutsideThem) {
    const TestImage left = twoWide(0xA0, 2);
    struct Case {
        CutRecord cut;
        bool ok;
        Picture expected;
    };
    const Case cases[] = {
        {{-5, 0, 0, 0}, true, {{0xB1, 0xB2}, {0xB3, 0xB4}}},
        {{9, 9, 0, 0}, true, {{0xA1, 0xA2}, {0xA3, 0xA4}}},
        {{2, 0, 0, 1000}, true, {{0xA1, 0xA2, W, W}, {0xA3, 0xA4, W, W}}}, // B: right rows never met
        {{2, 0, -1000, 0}, true, {{0xA1, 0xA2, 0xB1, 0xB2}, {0xA3, 0xA4, 0xB3, 0xB4}}},
        {{2, 0, 5000, 5000}, false, {}}, // C: taller than both parts together
        {{2, 0, -5000, -5000}, false, {}},
    };
    for (const Case& c : cases) {
        TestImage right = twoWide(0xB0, 2);
        const Joined out = join(left, right, c.cut);
        EXPECT_EQ(out.ok, c.ok) << c.cut.leftKeep << "," << c.cut.rightStart << "," << c.cut.topDelta;
        if (c.ok) {
            EXPECT_EQ(out.picture(), c.expected);
        }
    }
    TestImage right = twoWide(0xB0, 2);
    HeaderBlock out;
    std::vector<std::uint8_t> small(8);
    EXPECT_FALSE(composeImages(out, small, left.block, left.pixels, right.block, right.pixels, {2, 0, 0, 0}));
    std::vector<std::uint8_t> enough(64);
    EXPECT_FALSE(composeImages(out, enough, left.block, std::span(left.pixels).first(4), right.block,
                               right.pixels, {2, 0, 0, 0}));
}

TestImage monochrome(std::int32_t width, std::int32_t height, bool whiteFirst) {
    TestImage image = TestImage::make(width, height, 1);
    image.block.palette[0] = whiteFirst ? PaletteEntry{255, 255, 255, 0} : PaletteEntry{0, 0, 0, 0};
    image.block.palette[1] = whiteFirst ? PaletteEntry{0, 0, 0, 0} : PaletteEntry{255, 255, 255, 0};
    return image;
}

TEST(ComposeImages, MonochromePartsWithOppositePalettes) {
    // Left: black-first, a black column at x = 2. Right: white-first, a black column at x = 3.
    TestImage left = monochrome(8, 2, false);
    TestImage right = monochrome(12, 3, true);
    for (std::int32_t y = 0; y < 2; ++y)
        for (std::int32_t x = 0; x < 8; ++x)
            left.set(x, y, x == 2 ? 0 : 1);
    for (std::int32_t y = 0; y < 3; ++y)
        for (std::int32_t x = 0; x < 12; ++x)
            right.set(x, y, x == 3 ? 1 : 0);

    const Joined out = join(left, right, {8, 1, 0, -1}); // D: the right part reaches one row lower
    ASSERT_TRUE(out.ok) << out.why;
    EXPECT_EQ(out.block.palette[0], (PaletteEntry{0, 0, 0, 0}));
    // In the left palette 0 is black: both columns stay black, the rest white (1).
    const std::vector<std::uint32_t> both = {1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1};
    const std::vector<std::uint32_t> rightOnly = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1, 1};
    EXPECT_EQ(out.picture(), (Picture{both, both, rightOnly}));
    // The right part now uses the left palette and shows the same picture.
    EXPECT_EQ(right.block.palette[0], (PaletteEntry{0, 0, 0, 0}));
    EXPECT_EQ(right.get(3, 0), 0u);
    EXPECT_EQ(right.get(4, 0), 1u);
}

TEST(ComposeImages, MonochromeRightColumnsFromAnyStart) {
    TestImage left = monochrome(16, 1, false);
    TestImage right = monochrome(21, 1, false);
    for (std::int32_t x = 0; x < 21; ++x)
        right.set(x, 0, (x % 3) == 0);
    for (std::int32_t start : {0, 3, 8, 13}) {
        const Joined out = join(left, right, {16, start, 0, 0});
        ASSERT_TRUE(out.ok);
        std::vector<std::uint32_t> expected(16, 0);
        for (std::int32_t x = start; x < 21; ++x)
            expected.push_back((x % 3) == 0);
        EXPECT_EQ(out.picture(), (Picture{expected})) << start;
    }
    // White-first palettes fill with zeros: the uncovered corner stays white either way.
    TestImage whiteLeft = monochrome(8, 1, true);
    TestImage whiteRight = monochrome(8, 2, true);
    const Joined white = join(whiteLeft, whiteRight, {8, 0, 0, -1});
    ASSERT_TRUE(white.ok);
    EXPECT_EQ(white.picture()[1], (std::vector<std::uint32_t>(16, 0)));
}

TEST(ComposeImages, LargeJoinsAreTheSameInEveryRow) {
    // Above 16 MB the rows are shared out between two threads; every row must still be right.
    TestImage left = TestImage::make(2100, 4100, 8);
    TestImage right = TestImage::make(2100, 4100, 8);
    for (std::int32_t y = 0; y < 4100; ++y) {
        left.set(2049, y, static_cast<std::uint32_t>(y % 251));
        right.set(50, y, static_cast<std::uint32_t>(y % 241));
    }
    const Joined out = join(left, right, {2050, 50, 0, 2});
    ASSERT_TRUE(out.ok);
    ASSERT_GE(out.pixels.size(), 16u << 20);
    // The right part's bottom edge lies two rows above the left's: output row y shows its row
    // y + 2, and the bottom two rows are white on the right.
    for (std::int32_t y = 0; y < 4100; ++y) {
        ASSERT_EQ(test::pixelAt(out.block, out.pixels, 2049, y), static_cast<std::uint32_t>(y % 251)) << y;
        const std::uint32_t expected = y <= 4097 ? static_cast<std::uint32_t>((y + 2) % 241) : 255u;
        ASSERT_EQ(test::pixelAt(out.block, out.pixels, 2050, y), expected) << y;
    }
}

TEST(CutFromPanes, ScreenGeometryToColumnsAndRows) {
    SeamPane left{{0, 0, 255, 351}, {0, 0}, {45, 0}, 300};
    SeamPane right{{256, 0, 511, 351}, {256, 0}, {7, -3}, 300};
    struct Case {
        double scale;
        bool mono;
        CutRecord cut;
    };
    const Case cases[] = {
        {1.0, false, {300, 7, -3, -3}},
        {5.0, false, {1500, 35, -15, -15}},
        {0.5, false, {150, 4, -2, -2}}, // halves away from zero: 3.5 -> 4, -1.5 -> -2
        {1.3, true, {384, 8, -4, -4}},  // 390 -> 384, 9 -> 8
    };
    for (const Case& c : cases)
        EXPECT_EQ(cutFromPanes(left, right, c.scale, c.mono), c.cut) << c.scale;

    // A part pushed further down than the other is tall is held at the other's edge.
    SeamPane low = right;
    low.viewOrigin = {0, -400};
    EXPECT_EQ(cutFromPanes(left, low, 1.0, false), (CutRecord{300, 0, -300, -300}));
    SeamPane lowLeft = left;
    lowLeft.viewOrigin = {45, -400};
    SeamPane level = right;
    level.viewOrigin = {0, 0};
    EXPECT_EQ(cutFromPanes(lowLeft, level, 1.0, false), (CutRecord{300, 0, 300, 300}));
}

TEST(CutFromOverlap, AutomaticColumns) {
    struct Case {
        double overlap, scale;
        std::int32_t leftWidth;
        bool mono;
        CutRecord cut;
    };
    const Case cases[] = {
        {35.84, 1.0, 2480, false, {2444, 36, 0, 0}},
        {35.84, 5.0, 496, false, {489, 8, 0, 0}},
        {35.84, 1.0, 2480, true, {2440, 32, 0, 0}},
        {0.0, 1.0, 100, false, {100, 1, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(cutFromOverlap(c.overlap, c.scale, c.leftWidth, c.mono), c.cut) << c.overlap;
}

} // namespace
} // namespace tandemscan
