#include "engine/seam_join.h"
#include "test_images.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using test::Picture;
using test::TestImage;

constexpr std::uint32_t W = 0xFFFFFF;

struct Joined {
    bool ok = false;
    HeaderBlock block{};
    std::vector<std::uint8_t> pixels;
    std::string why;
    std::uint32_t at(std::int32_t x, std::int32_t y) const { return test::pixelAt(block, pixels, x, y); }
};

Joined join(const TestImage& left, const TestImage& right, const ContentPlacement& map,
            SeamOptions options = {}) {
    Joined out;
    if (!seamJoinHeader(out.block, left.block, right.block, map, &out.why)) return out;
    out.pixels.assign(out.block.header.sizeImage, 0xCD);
    out.ok = seamJoinImages(out.block, out.pixels, left.block, left.pixels, right.block, right.pixels, map,
                            options, &out.why);
    return out;
}

std::uint32_t grey(std::uint32_t v) {
    return v * 0x010101u;
}

// A sheet 16 x 5 with a distinct value in every pixel, seen by two passes 10 columns wide: the
// right one starts at column 6 (and, with `turned`, arrives turned by 180 degrees).
struct ShiftedPair {
    TestImage sheet = TestImage::make(16, 5, 24);
    TestImage left = TestImage::make(10, 5, 24);
    TestImage right = TestImage::make(10, 4, 24);
    ShiftedPair(bool turned, std::int32_t rowShift) {
        for (std::int32_t y = 0; y < 5; ++y)
            for (std::int32_t x = 0; x < 16; ++x)
                sheet.set(x, y, 0x010203u * std::uint32_t(x + 16 * y + 1));
        for (std::int32_t y = 0; y < 5; ++y)
            for (std::int32_t x = 0; x < 10; ++x)
                left.set(x, y, sheet.get(x, y));
        for (std::int32_t y = 0; y < 4; ++y)
            for (std::int32_t x = 0; x < 10; ++x) {
                const std::int32_t sy = std::clamp(y + rowShift, 0, 4);
                const std::uint32_t v = sheet.get(x + 6, sy);
                if (turned)
                    right.set(9 - x, 3 - y, v);
                else
                    right.set(x, y, v);
            }
    }
};

TEST(SeamJoin, WholePixelShiftsCopyExactlyAndFillWhite) {
    struct Case {
        bool turned;
        std::int32_t rowShift; // the right pass's first row on the sheet
        SeamMode seam;
    };
    const Case cases[] = {{false, 0, SeamMode::cut},    {false, 0, SeamMode::feather},
                          {true, 0, SeamMode::feather}, {false, 1, SeamMode::cut},
                          {true, 1, SeamMode::feather}, {false, -1, SeamMode::feather}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "turned " << c.turned << " rows " << c.rowShift);
        const ShiftedPair pair(c.turned, c.rowShift);
        const ContentPlacement map{c.turned, 0, 6, double(c.rowShift), 1};
        const Joined j = join(pair.left, pair.right, map, {c.seam, 2});
        ASSERT_TRUE(j.ok) << j.why;
        const std::int32_t top = std::min(0, c.rowShift);
        EXPECT_EQ(j.block.header.width, 16);
        EXPECT_EQ(j.block.header.height, std::max(5, c.rowShift + 4) - top);
        for (std::int32_t y = 0; y < j.block.header.height; ++y)
            for (std::int32_t x = 0; x < 16; ++x) {
                const std::int32_t sheetRow = y + top;
                const bool inLeft = x < 10 && sheetRow >= 0 && sheetRow < 5;
                const bool inRight = x >= 6 && sheetRow >= c.rowShift && sheetRow < c.rowShift + 4;
                const std::uint32_t expected =
                    inLeft || inRight ? pair.sheet.get(x, std::clamp(sheetRow, 0, 4)) : W;
                EXPECT_EQ(j.at(x, y), expected) << x << "," << y;
            }
    }
}

TEST(SeamJoin, SubPixelShiftOfARampIsExact) {
    // Cubic weights reproduce a straight ramp, so half a pixel lands halfway between values.
    TestImage left = TestImage::make(8, 3, 24), right = TestImage::make(12, 3, 24);
    for (std::int32_t y = 0; y < 3; ++y) {
        for (std::int32_t x = 0; x < 8; ++x)
            left.set(x, y, grey(20));
        for (std::int32_t x = 0; x < 12; ++x)
            right.set(x, y, grey(std::uint32_t(40 + 10 * x)));
    }
    const Joined j = join(left, right, {false, 0, 4.5, 0, 1}, {SeamMode::cut, 0});
    ASSERT_TRUE(j.ok) << j.why;
    EXPECT_EQ(j.block.header.width, 17); // columns 0 .. 15.5
    for (std::int32_t x = 8; x < 14; ++x)
        EXPECT_EQ(j.at(x, 1), grey(std::uint32_t(40 + 10 * (x - 4.5) + 0.5))) << x;
}

TEST(SeamJoin, FeatherBlendsBetweenThePartsWithTheGainMatched) {
    // The right pass is darker than the left over the overlap as a whole; its pixels are
    // brought to the left part's brightness, and across the band a row moves steadily from one
    // part to the other.
    const std::int32_t width = 60, overlap = 40;
    TestImage left = TestImage::make(width, 4, 8), right = TestImage::make(width, 4, 8);
    for (std::int32_t y = 0; y < 4; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            left.set(x, y, y == 0 ? 100 : 200);
            right.set(x, y, 180);
        }
    const ContentPlacement map{false, 0, double(width - overlap), 0, 1};
    const Joined cut = join(left, right, map, {SeamMode::cut, 0});
    const Joined feather = join(left, right, map, {SeamMode::feather, 10});
    ASSERT_TRUE(cut.ok && feather.ok) << cut.why << feather.why;
    ASSERT_EQ(feather.block.header.width, 2 * width - overlap);
    const std::int32_t seam = width - overlap / 2; // halfway between column 20 and column 59 is 39.5
    // Cut: as stored, the step at the seam.
    EXPECT_EQ(cut.at(seam - 1, 1), 200u);
    EXPECT_EQ(cut.at(seam, 1), 180u);
    EXPECT_EQ(cut.at(seam, 0), 180u);
    // Gain: sum of the left overlap over the right's: (100 + 3 x 200) / (4 x 180).
    const double gain = 700.0 / 720.0;
    EXPECT_EQ(feather.at(70, 1), std::uint32_t(180 * gain + 0.5));
    EXPECT_EQ(feather.at(10, 0), 100u);
    std::uint32_t previous = 100;
    for (std::int32_t x = seam - 6; x <= seam + 6; ++x) {
        const std::uint32_t v = feather.at(x, 0);
        EXPECT_GE(v, previous) << x;
        previous = v;
    }
    EXPECT_GT(feather.at(seam, 0), 100u);
    EXPECT_LT(feather.at(seam, 0), std::uint32_t(180 * gain + 0.5));
    EXPECT_EQ(feather.at(seam - 6, 0), 100u) << "outside the band: the left part alone";
    EXPECT_EQ(feather.at(seam + 6, 0), std::uint32_t(180 * gain + 0.5));
}

TEST(SeamJoin, MonochromeIsCutIntoTheLeftPalette) {
    // The right part's palette is the other way round: its pixels are taken by what they show.
    TestImage left = TestImage::make(16, 2, 1), right = TestImage::make(16, 2, 1);
    right.block.palette[0] = {255, 255, 255, 0};
    right.block.palette[1] = {0, 0, 0, 0};
    for (std::int32_t x = 0; x < 16; ++x) {
        left.set(x, 0, x % 3 == 0 ? 0 : 1); // 0 is black on the left
        right.set(x, 0, (x + 8) % 3 == 0 ? 1 : 0);
        left.set(x, 1, 1);
        right.set(x, 1, 0);
    }
    const Joined j = join(left, right, {false, 0, 8, 0, 1}, {SeamMode::feather, 4});
    ASSERT_TRUE(j.ok) << j.why;
    ASSERT_EQ(j.block.header.width, 24);
    EXPECT_EQ(j.block.palette[0], left.block.palette[0]);
    for (std::int32_t x = 0; x < 24; ++x) {
        EXPECT_EQ(j.at(x, 0), x % 3 == 0 ? 0u : 1u) << x;
        EXPECT_EQ(j.at(x, 1), 1u) << x;
    }
}

TEST(SeamJoin, TurnedMapGrowsTheCanvasAndRefusesNonsense) {
    const TestImage part = TestImage::make(100, 50, 24);
    struct Case {
        ContentPlacement map;
        SeamJoinLayout layout;
    };
    const Case cases[] = {
        {{false, 0, 80, 0, 1}, {180, 50, 0, 0}},
        {{false, 0, 80, -10, 1}, {180, 60, 0, 10}},
        {{false, 0, 80.25, 3.5, 1}, {181, 54, 0, 0}},
    };
    for (const Case& c : cases) {
        const auto layout = seamJoinLayout(part.block.header, part.block.header, c.map);
        ASSERT_TRUE(layout);
        EXPECT_EQ(*layout, c.layout);
    }
    // A turn lifts the right part's top-right corner above the left part.
    // (99, 0) -> (178.94, -3.46); (99, 49) -> (180.65, 45.51).
    const auto turned = seamJoinLayout(part.block.header, part.block.header, {false, -2, 80, 0, 1});
    ASSERT_TRUE(turned);
    EXPECT_EQ(*turned, (SeamJoinLayout{182, 54, 0, 4}));
    std::string why;
    EXPECT_FALSE(seamJoinLayout(part.block.header, part.block.header, {false, 0, 1e12, 0, 1}, &why));
    EXPECT_EQ(why, "The joined image would be too large");
    EXPECT_FALSE(seamJoinLayout(part.block.header, part.block.header, {false, std::nan(""), 0, 0, 1}, &why));
    HeaderBlock out;
    const TestImage grey8 = TestImage::make(10, 10, 8), colour24 = TestImage::make(10, 10, 24);
    EXPECT_FALSE(seamJoinHeader(out, grey8.block, colour24.block, {}, &why));
    EXPECT_EQ(why, "The parts differ in depth");
}

TEST(ScaleContentPlacement, ShiftsScaleTurnStays) {
    const ContentPlacement scaled = scaleContentPlacement({true, -0.7, 1180, -46, 0.9}, 5.0);
    EXPECT_EQ(scaled, (ContentPlacement{true, -0.7, 236, -9.2, 0.9}));
    EXPECT_NEAR(featherWidthFor(TestImage::make(1, 1, 24, 11811).block.header), 4 / 25.4 * 300, 0.05);
    EXPECT_NEAR(featherWidthFor(TestImage::make(1, 1, 24, 11811).block.header, 5), 4 / 25.4 * 60, 0.05);
}

} // namespace
} // namespace tandemscan
