#include "engine/pixel_tools.h"
#include "test_images.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using test::Picture;
using test::TestImage;

struct Resampled {
    HeaderBlock block{};
    std::vector<std::uint8_t> pixels;
    bool ok = false;
    Picture picture() const { return test::pictureOf(block, pixels); }
};

Resampled resample(const TestImage& src, std::int32_t width, std::int32_t height) {
    Resampled out;
    out.pixels.assign(PixelTools::imageDataSizeFor(&src.block.header, width, height), 0xCD);
    out.ok = PixelTools::resampleImage(src.block, src.pixels, width, height, out.block, out.pixels);
    return out;
}

TEST(ResampleImage, HalfwayWeightsPerDepth) {
    // Three source pixels to five: destination 1 and 3 lie exactly halfway (t = 0.5, w0 = w1),
    // destination 4 is the clamped last pixel, taken whole.
    struct Case {
        const char* what;
        TestImage src;
        Picture expected;
    };
    TestImage colour = TestImage::fromRows(8, {{1, 2, 3}});
    colour.block.palette[2] = {0, 0, 255, 0};
    const Case cases[] = {
        {"1 bit, 0.5 rounds up", TestImage::fromRows(1, {{1, 0, 1}}), {{1, 1, 0, 1, 1}}},
        {"4 bits pick i + 1 on equal weights", TestImage::fromRows(4, {{1, 2, 3}}), {{1, 2, 2, 3, 3}}},
        {"8 bits gray blend and truncate", TestImage::fromRows(8, {{10, 21, 40}}), {{10, 15, 21, 30, 40}}},
        {"8 bits colour pick i when w0 >= 0.5", colour, {{1, 1, 2, 2, 3}}},
        {"16 bits per 5-bit channel",
         TestImage::fromRows(16, {{0x7C00, 0x001F, 0x03E0}}),
         {{0x7C00, 0x3C0F, 0x001F, 0x01EF, 0x03E0}}},
        {"24 bits per byte",
         TestImage::fromRows(24, {{0x0A0B0C, 0x151617, 0xFFFFFF}}),
         {{0x0A0B0C, 0x0F1011, 0x151617, 0x8A8A8B, 0xFFFFFF}}},
    };
    for (const Case& c : cases) {
        const Resampled out = resample(c.src, 5, 1);
        ASSERT_TRUE(out.ok) << c.what;
        EXPECT_EQ(out.picture(), c.expected) << c.what;
    }
}

TEST(ResampleImage, VerticalPassBlendsAndPicksRows) {
    struct Case {
        const char* what;
        TestImage src;
        Picture expected;
    };
    TestImage colour = TestImage::fromRows(8, {{1}, {2}, {3}});
    colour.block.palette[1] = {0, 0, 255, 0};
    const Case cases[] = {
        {"8 bits gray", TestImage::fromRows(8, {{10}, {21}, {40}}), {{10}, {15}, {21}, {30}, {40}}},
        {"8 bits colour", colour, {{1}, {2}, {2}, {3}, {3}}},
        {"1 bit rows", TestImage::fromRows(1, {{1}, {0}, {1}}), {{1}, {0}, {0}, {1}, {1}}},
        {"24 bits",
         TestImage::fromRows(24, {{0x000000}, {0x000000}, {0x646464}}),
         {{0x000000}, {0x000000}, {0x000000}, {0x323232}, {0x646464}}},
    };
    for (const Case& c : cases) {
        const Resampled out = resample(c.src, 1, 5);
        ASSERT_TRUE(out.ok) << c.what;
        EXPECT_EQ(out.picture(), c.expected) << c.what;
    }
}

TEST(ResampleImage, HundredToFiftyTakesBothEndsWhole) {
    TestImage src = TestImage::make(100, 1, 8);
    for (std::int32_t x = 0; x < 100; ++x)
        src.set(x, 0, static_cast<std::uint32_t>(x * 2 + 50));
    const Resampled out = resample(src, 50, 1);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.picture()[0][0], 50u);
    EXPECT_EQ(out.picture()[0][49], 248u);
}

TEST(ResampleImage, ColourPaletteKeepsOnlyIndexesThatOccur) {
    TestImage src = TestImage::make(37, 23, 8);
    src.block.palette[200] = {0, 0, 255, 0};
    for (std::int32_t y = 0; y < 23; ++y)
        for (std::int32_t x = 0; x < 37; ++x)
            src.set(x, y, (x + y) % 2 ? 17 : 200);
    const Resampled out = resample(src, 11, 7);
    ASSERT_TRUE(out.ok);
    for (const auto& row : out.picture())
        for (std::uint32_t v : row)
            EXPECT_TRUE(v == 17 || v == 200) << v;
}

TEST(ResampleImage, SizeOneAndSingleSourcePixel) {
    const TestImage src = TestImage::fromRows(8, {{9, 50, 70}, {1, 2, 3}});
    EXPECT_EQ(resample(src, 1, 1).picture(), (Picture{{1}})) << "first stored pixel: bottom left";
    const TestImage dot = TestImage::fromRows(24, {{0x123456}});
    EXPECT_EQ(resample(dot, 3, 2).picture(),
              (Picture{{0x123456, 0x123456, 0x123456}, {0x123456, 0x123456, 0x123456}}));
}

TEST(ResampleImage, HeaderTakesSourceFieldsAndNewSize) {
    TestImage src = TestImage::fromRows(8, {{1, 2, 3}, {4, 5, 6}});
    src.block.header.sizeImage = 12345;
    src.block.header.clrUsed = 7;
    src.block.palette[5] = {1, 1, 1, 0};
    const Resampled out = resample(src, 2, 1);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.block.header.width, 2);
    EXPECT_EQ(out.block.header.height, 1);
    EXPECT_EQ(out.block.header.sizeImage, 12345u);
    EXPECT_EQ(out.block.header.clrUsed, 7u);
    EXPECT_EQ(out.block.header.xPelsPerMeter, src.block.header.xPelsPerMeter);
    EXPECT_EQ(out.block.palette[5], (PaletteEntry{1, 1, 1, 0}));

    // In place on the header: the source fields are read before they are overwritten.
    TestImage same = TestImage::fromRows(24, {{1, 2, 3}});
    std::vector<std::uint8_t> dest(PixelTools::imageDataSizeFor(&same.block.header, 2, 2));
    ASSERT_TRUE(PixelTools::resampleImage(same.block, same.pixels, 2, 2, same.block, dest));
    EXPECT_EQ(same.block.header.width, 2);
    EXPECT_EQ(same.block.header.height, 2);
}

TEST(ResampleImage, RefusesBadInput) {
    const TestImage src = TestImage::make(10, 10, 24);
    HeaderBlock dest{};
    std::vector<std::uint8_t> small(PixelTools::imageDataSizeFor(&src.block.header, 5, 5) - 1);
    EXPECT_FALSE(PixelTools::resampleImage(src.block, src.pixels, 5, 5, dest, small));
    std::vector<std::uint8_t> enough(1000);
    EXPECT_FALSE(PixelTools::resampleImage(src.block, std::span(src.pixels).first(10), 5, 5, dest, enough));
    EXPECT_FALSE(PixelTools::resampleImage(src.block, src.pixels, 0, 5, dest, enough));
    TestImage odd = TestImage::make(10, 10, 24);
    odd.block.header.bitCount = 12;
    EXPECT_FALSE(PixelTools::resampleImage(odd.block, src.pixels, 5, 5, dest, enough));
    EXPECT_EQ(dest.header.width, 0) << "a refused call leaves the destination alone";
}

// The picture A B C / D E F (rows top-down) for the quarter turns.
TestImage letters(std::uint16_t bitCount) {
    if (bitCount == 24) return TestImage::fromRows(24, {{0xA, 0xB, 0xC}, {0xD, 0xE, 0xF}});
    return TestImage::fromRows(8, {{0xA, 0xB, 0xC}, {0xD, 0xE, 0xF}});
}

struct Rotated {
    HeaderBlock block{};
    std::vector<std::uint8_t> pixels;
    bool ok = false;
    Picture picture() const { return test::pictureOf(block, pixels); }
};

Rotated rotate(const TestImage& src, int degrees) {
    Rotated out;
    out.pixels.assign(PixelTools::rotatedSize(src.block.header, degrees), 0xCD);
    out.ok = PixelTools::rotateImage(out.block, out.pixels, degrees, src.block, src.pixels,
                                     PixelTools::rasterType(src.block));
    return out;
}

TEST(RotateQuarter, TurnsThePictureClockwiseForPositiveDegrees) {
    const Picture clockwise = {{0xD, 0xA}, {0xE, 0xB}, {0xF, 0xC}};
    const Picture half = {{0xF, 0xE, 0xD}, {0xC, 0xB, 0xA}};
    const Picture counter = {{0xC, 0xF}, {0xB, 0xE}, {0xA, 0xD}};
    const Picture upright = {{0xA, 0xB, 0xC}, {0xD, 0xE, 0xF}};
    struct Case {
        int degrees;
        const Picture& expected;
    };
    const Case cases[] = {{90, clockwise}, {-270, clockwise}, {450, clockwise}, {180, half},
                          {-180, half},    {540, half},       {270, counter},   {-90, counter},
                          {0, upright},    {360, upright},    {-720, upright}};
    for (std::uint16_t depth : {8, 24}) {
        for (const Case& c : cases) {
            const Rotated out = rotate(letters(depth), c.degrees);
            ASSERT_TRUE(out.ok) << c.degrees;
            EXPECT_EQ(out.picture(), c.expected) << c.degrees << " degrees at " << depth << " bits";
        }
    }
}

TEST(RotateQuarter, MonochromeRowsAreRebuiltWithCleanTails) {
    TestImage src = TestImage::make(9, 2, 1);
    for (std::int32_t x = 0; x < 9; ++x)
        src.set(x, 0, 1); // top row black... index 1
    src.set(0, 1, 1);
    Rotated out;
    out.pixels.assign(64, 0xCD);
    ASSERT_TRUE(
        PixelTools::rotateQuarter(out.block, out.pixels, 180, src.block, src.pixels, RasterType::monochrome));
    EXPECT_EQ(out.picture(), (Picture{{0, 0, 0, 0, 0, 0, 0, 0, 1}, {1, 1, 1, 1, 1, 1, 1, 1, 1}}));
    // Stored row 0 is the bottom row: nine set bits, then zero bits and zero padding.
    EXPECT_EQ(std::vector<std::uint8_t>(out.pixels.begin(), out.pixels.begin() + 4),
              (std::vector<std::uint8_t>{0xFF, 0x80, 0, 0}));

    ASSERT_TRUE(
        PixelTools::rotateQuarter(out.block, out.pixels, 90, src.block, src.pixels, RasterType::monochrome));
    EXPECT_EQ(out.block.header.width, 2);
    EXPECT_EQ(out.block.header.height, 9);
    EXPECT_EQ(out.picture()[0], (std::vector<std::uint32_t>{1, 1}));
    EXPECT_EQ(out.picture()[8], (std::vector<std::uint32_t>{0, 1}));
    EXPECT_EQ(out.pixels[0], 0x40) << "bottom stored row: left pixel 0, right pixel 1, rest clear";
}

TEST(RotateQuarter, OtherAnglesAndDepthsAreLeftAlone) {
    const TestImage src = letters(24);
    Rotated out;
    out.pixels.assign(64, 0xCD);
    EXPECT_FALSE(
        PixelTools::rotateQuarter(out.block, out.pixels, 45, src.block, src.pixels, RasterType::trueColor));
    EXPECT_EQ(out.block.header.width, 0);
    EXPECT_EQ(out.pixels[0], 0xCD);

    TestImage sixteen = TestImage::make(3, 2, 16);
    ASSERT_TRUE(PixelTools::rotateQuarter(out.block, out.pixels, 90, sixteen.block, sixteen.pixels,
                                          RasterType::trueColor));
    EXPECT_EQ(out.block.header.width, 2);
    EXPECT_EQ(out.block.header.bitCount, 16);
    EXPECT_EQ(out.pixels[0], 0xCD) << "only the header is written";

    std::vector<std::uint8_t> small(8);
    EXPECT_FALSE(
        PixelTools::rotateQuarter(out.block, small, 90, src.block, src.pixels, RasterType::trueColor));
}

TEST(RotateQuarter, PaletteCopiedExceptForTrueColour) {
    TestImage src = letters(8);
    src.block.palette[3] = {9, 8, 7, 0};
    Rotated out;
    out.pixels.assign(64, 0);
    ASSERT_TRUE(
        PixelTools::rotateQuarter(out.block, out.pixels, 90, src.block, src.pixels, RasterType::gray));
    EXPECT_EQ(out.block.palette[3], (PaletteEntry{9, 8, 7, 0}));
    Rotated plain;
    plain.pixels.assign(64, 0);
    ASSERT_TRUE(PixelTools::rotateQuarter(plain.block, plain.pixels, 90, src.block, src.pixels,
                                          RasterType::trueColor));
    EXPECT_EQ(plain.block.palette[3], (PaletteEntry{0, 0, 0, 0}));
}

TEST(RotatedSize, ReservesTheTurnedFrame) {
    struct Case {
        std::int32_t width, height;
        std::uint16_t bitCount;
        int degrees;
        std::int32_t newWidth, newHeight;
        std::uint32_t size;
    };
    const Case cases[] = {
        {100, 100, 24, 45, 144, 144, 432 * 144},
        {100, 100, 24, -45, 144, 144, 432 * 144},
        {2, 2, 8, 45, 5, 5, 8 * 5},
        {10, 20, 8, 180, 13, 23, 16 * 23},
        {10, 20, 1, 90, 23, 13, 4 * 13},
        {10, 20, 4, 30, 0, 0, 0},
    };
    for (const Case& c : cases) {
        TestImage image = TestImage::make(c.width, c.height, c.bitCount);
        EXPECT_EQ(PixelTools::rotatedSize(image.block.header, c.degrees), c.size)
            << c.width << "x" << c.height << " by " << c.degrees;
        if (c.newWidth != 0) {
            const auto size = PixelTools::rotatedDimensions(c.width, c.height, c.degrees);
            EXPECT_EQ(size.width, c.newWidth);
            EXPECT_EQ(size.height, c.newHeight);
        }
    }
}

TEST(RotateImage, GeneralAngleKeepsAPlainAreaPlain) {
    // 2 x 2 source by 45 degrees into 5 x 5: the centre maps to (1, 1), clamped to 0.99999, so
    // three neighbours weigh almost nothing and the fourth 0.99998; the weights still sum to 1,
    // so 200 stays 200 (truncating each term gave 199, darkening every turned page).
    TestImage gray = TestImage::fromRows(8, {{200, 200}, {200, 200}});
    const Rotated g = rotate(gray, 45);
    ASSERT_TRUE(g.ok);
    EXPECT_EQ(g.block.header.width, 5);
    EXPECT_EQ(g.block.header.height, 5);
    EXPECT_EQ(g.picture()[2][2], 200u);
    EXPECT_EQ(g.picture()[0][0], 255u) << "outside the source: white";

    TestImage colour = TestImage::fromRows(24, {{0xC8C8C8, 0xC8C8C8}, {0xC8C8C8, 0xC8C8C8}});
    const Rotated c = rotate(colour, 45);
    EXPECT_EQ(c.picture()[2][2], 0xC8C8C8u);
    EXPECT_EQ(c.picture()[0][0], 0xFFFFFFu);
}

TEST(RotateImage, PaletteImagesTakeTheHeaviestNeighbour) {
    // Stored rows: bottom (1, 2), top (3, 4); the centre's heaviest neighbour is (x0 + 1, y0 + 1),
    // the top-right pixel.
    TestImage palette = TestImage::fromRows(8, {{3, 4}, {1, 2}});
    palette.block.palette[4] = {0, 0, 255, 0};
    palette.block.palette[9] = {255, 255, 255, 0};
    palette.block.header.clrUsed = 10;
    const Rotated out = rotate(palette, 45);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.picture()[2][2], 4u);
    EXPECT_EQ(out.picture()[0][0], 9u) << "outside: the entry nearest to white";
    EXPECT_EQ(out.block.header.clrUsed, 10u);
    EXPECT_EQ(out.block.palette[4], (PaletteEntry{0, 0, 255, 0}));
}

TEST(RotateImage, MonochromeOutsideIsThePaperIndex) {
    for (bool whiteFirst : {false, true}) {
        TestImage mono = TestImage::make(2, 2, 1);
        if (whiteFirst) std::swap(mono.block.palette[0], mono.block.palette[1]);
        const std::uint32_t ink = whiteFirst ? 1 : 0;
        for (std::int32_t y = 0; y < 2; ++y)
            for (std::int32_t x = 0; x < 2; ++x)
                mono.set(x, y, ink);
        const Rotated out = rotate(mono, 45);
        ASSERT_TRUE(out.ok);
        EXPECT_EQ(out.picture()[2][2], ink);
        EXPECT_EQ(out.picture()[0][0], 1 - ink);
        EXPECT_EQ(out.pixels[0] & 0x07, 0x07) << "bits after the last pixel are set";
    }
}

TEST(RotateImage, RightAnglesGoThroughQuarterTurns) {
    const Rotated out = rotate(letters(24), -450);
    ASSERT_TRUE(out.ok);
    EXPECT_EQ(out.picture(), (Picture{{0xC, 0xF}, {0xB, 0xE}, {0xA, 0xD}}));
}

struct Cropped {
    HeaderBlock block{};
    std::vector<std::uint8_t> pixels;
    std::uint32_t result = 0;
    Picture picture() const { return test::pictureOf(block, pixels); }
};

Cropped crop(const TestImage& src, std::int32_t left, std::int32_t top, std::int32_t right,
             std::int32_t bottom) {
    Cropped out;
    out.pixels.assign(PixelTools::cropImage(src.block, src.pixels, left, top, right, bottom, nullptr, {}),
                      0xCD);
    out.result =
        PixelTools::cropImage(src.block, src.pixels, left, top, right, bottom, &out.block, out.pixels);
    return out;
}

TestImage ramp(std::int32_t width, std::int32_t height, std::uint16_t bitCount) {
    TestImage image = TestImage::make(width, height, bitCount);
    const std::uint32_t mask = bitCount >= 24 ? 0xFFFFFF : (1u << bitCount) - 1;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            image.set(x, y, (x * 5 + y * 3 + (x * y) % 7) & mask);
    return image;
}

TEST(CropImage, CutsTheRectangleAtEveryDepth) {
    struct Case {
        std::int32_t width;
        std::uint16_t bitCount;
        std::int32_t left, top, right, bottom;
    };
    const Case cases[] = {
        {20, 1, 3, 1, 17, 4}, {20, 1, 0, 0, 20, 5}, {20, 1, 8, 2, 9, 3}, {33, 1, 7, 0, 33, 5},
        {9, 4, 1, 1, 8, 4},   {9, 4, 2, 0, 7, 5},   {9, 4, 3, 0, 4, 1},  {7, 8, 2, 1, 5, 4},
        {7, 16, 1, 0, 6, 2},  {7, 24, 2, 2, 7, 5},  {7, 32, 0, 1, 3, 3},
    };
    for (const Case& c : cases) {
        const TestImage src = ramp(c.width, 5, c.bitCount);
        const Cropped out = crop(src, c.left, c.top, c.right, c.bottom);
        ASSERT_EQ(out.result, 1u) << c.bitCount;
        Picture expected;
        for (std::int32_t y = c.top; y < c.bottom; ++y) {
            expected.emplace_back();
            for (std::int32_t x = c.left; x < c.right; ++x)
                expected.back().push_back(src.get(x, y));
        }
        EXPECT_EQ(out.picture(), expected) << c.width << " px at " << c.bitCount << " from " << c.left;
        EXPECT_EQ(out.block.header.sizeImage, out.pixels.size());
        EXPECT_EQ(out.block.header.size, 40u);
    }
}

TEST(CropImage, BitsAfterTheLastPixelAreClear) {
    TestImage src = TestImage::make(16, 1, 1);
    for (std::int32_t x = 0; x < 16; ++x)
        src.set(x, 0, 1);
    const Cropped out = crop(src, 3, 0, 8, 1);
    EXPECT_EQ(out.pixels, (std::vector<std::uint8_t>{0xF8, 0, 0, 0}));
    TestImage nibbles = TestImage::fromRows(4, {{1, 2, 3, 4, 5}});
    const Cropped odd = crop(nibbles, 1, 0, 4, 1);
    EXPECT_EQ(odd.pixels, (std::vector<std::uint8_t>{0x23, 0x40, 0, 0}));
}

TEST(CropImage, ClampsAndMeasures) {
    const TestImage src = ramp(10, 6, 24);
    struct Case {
        std::int32_t left, top, right, bottom;
        std::int32_t width, height;
    };
    const Case cases[] = {
        {2, 1, 50, 4, 8, 3}, {-5, -5, 3, 2, 3, 2}, {4, 3, 8, 3, 4, 0},
        {6, 0, 2, 6, 0, 6},  {0, 0, 10, 6, 10, 6},
    };
    for (const Case& c : cases) {
        const std::uint32_t size =
            PixelTools::cropImage(src.block, src.pixels, c.left, c.top, c.right, c.bottom, nullptr, {});
        EXPECT_EQ(size, PixelTools::rowStride(c.width, 24) * static_cast<std::uint32_t>(c.height))
            << c.left << "," << c.top << "," << c.right << "," << c.bottom;
        const Cropped out = crop(src, c.left, c.top, c.right, c.bottom);
        EXPECT_EQ(out.block.header.width, c.width);
        EXPECT_EQ(out.block.header.height, c.height);
    }
}

TEST(CropImage, CopiesHeaderFieldsAndUsedPalette) {
    TestImage src = ramp(8, 4, 8);
    src.block.header.clrUsed = 3;
    src.block.header.clrImportant = 2;
    src.block.palette[2] = {1, 2, 3, 0};
    src.block.palette[3] = {4, 5, 6, 0};
    const Cropped out = crop(src, 1, 1, 3, 3);
    EXPECT_EQ(out.block.header.clrUsed, 3u);
    EXPECT_EQ(out.block.header.clrImportant, 2u);
    EXPECT_EQ(out.block.header.xPelsPerMeter, src.block.header.xPelsPerMeter);
    EXPECT_EQ(out.block.palette[2], (PaletteEntry{1, 2, 3, 0}));
    EXPECT_EQ(out.block.palette[3], (PaletteEntry{0, 0, 0, 0})) << "only the used entries";
}

TEST(CropImage, RefusesUnsupportedDepthAndShortBuffers) {
    TestImage src = ramp(4, 4, 24);
    Cropped out;
    out.pixels.assign(4, 0);
    EXPECT_EQ(PixelTools::cropImage(src.block, src.pixels, 0, 0, 4, 4, &out.block, out.pixels), 0u);
    out.pixels.assign(48, 0);
    EXPECT_EQ(
        PixelTools::cropImage(src.block, std::span(src.pixels).first(8), 0, 0, 4, 4, &out.block, out.pixels),
        0u);
    src.block.header.bitCount = 48;
    EXPECT_EQ(PixelTools::cropImage(src.block, src.pixels, 0, 0, 1, 1, &out.block, out.pixels), 0u);
}

} // namespace
} // namespace tandemscan
