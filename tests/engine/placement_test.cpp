#include "engine/placement.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

ImageHeader part(std::int32_t width, std::int32_t pelsPerMeter) {
    ImageHeader h{};
    h.size = 40;
    h.width = width;
    h.height = 100;
    h.planes = 1;
    h.bitCount = 24;
    h.xPelsPerMeter = pelsPerMeter;
    return h;
}

TEST(PaperWidth, OnlyWidthsInsideTheWindowReplaceIt) {
    struct Case {
        std::int32_t tenths;
        float inches;
    };
    // Applied in order: each row starts from the previous row's result.
    const Case cases[] = {{2300, 16.5354f},      {4220, 16.5354f},      {2301, 2301 / 254.0f},
                          {5000, 2301 / 254.0f}, {4219, 4219 / 254.0f}, {0, 4219 / 254.0f},
                          {4200, 4200 / 254.0f}};
    PaperWidth paper;
    EXPECT_FLOAT_EQ(paper.inches(), 16.5354f);
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(paper.refresh(c.tenths), c.inches) << c.tenths;
        EXPECT_FLOAT_EQ(paper.inches(), c.inches);
    }
    EXPECT_NEAR(PaperWidth().refresh(2301), 9.0591, 1e-4);
}

TEST(AutoPlacement, OverlapPerWidthWindow) {
    struct Case {
        const char* what;
        std::int32_t leftWidth, rightWidth, pelsPerMeter;
        double overlap;
    };
    const Case cases[] = {
        // Two 300 dpi A4 parts: W100 = 1653.3, the general rule, T = 16.2944 x 300.
        {"worked example", 2480, 2480, 11811, 35.84},
        // At 100 dpi the joined width in hundredths of an inch is the pixel count.
        {"second window", 850, 850, 3937, 29.28},   // W100 1700: margin 0.121 in
        {"between windows", 849, 849, 3937, 34.28}, // W100 1698: margin 0.241 in
        {"first window", 848, 848, 3937, 33.28},    // W100 1696: margin 0.241 in
        {"window edge 1699", 849, 850, 3937, 28.78},
        {"window edge 1701", 850, 851, 3937, 29.78},
    };
    for (const Case& c : cases) {
        std::string why;
        const auto placement = computeAutoPlacement(part(c.leftWidth, c.pelsPerMeter), part(c.rightWidth, 1),
                                                    kDefaultPaperWidthInches, 1.0, 1.0, &why);
        ASSERT_TRUE(placement) << c.what << ": " << why;
        EXPECT_NEAR(placement->autoOverlap, c.overlap, 0.01) << c.what;
    }
}

TEST(AutoPlacement, ScreenOffsetsAreAsymmetricByRounding) {
    struct Case {
        double workScale, viewScale;
        std::int32_t left, right;
    };
    // autoOverlap 35.84: s = 7.17 at scale 5, 7.9 at scale 4.5367, 35.84 at scale 1.
    const Case cases[] = {{5.0, 1.0, -7, 7}, {4.5367, 1.0, -7, 8}, {1.0, 1.0, -35, 36}, {2.5, 2.0, -7, 7}};
    for (const Case& c : cases) {
        const auto placement = computeAutoPlacement(part(2480, 11811), part(2480, 11811),
                                                    kDefaultPaperWidthInches, c.workScale, c.viewScale);
        ASSERT_TRUE(placement);
        EXPECT_EQ(placement->leftOffsetX, c.left) << c.workScale;
        EXPECT_EQ(placement->rightOffsetX, c.right) << c.workScale;
    }
}

TEST(AutoPlacement, NegativeOverlapAndMissingResolutionAreRefused) {
    std::string why;
    EXPECT_FALSE(
        computeAutoPlacement(part(1000, 11811), part(1000, 11811), kDefaultPaperWidthInches, 1, 1, &why));
    EXPECT_NE(why.find("cannot overlap"), std::string::npos) << why;
    EXPECT_FALSE(
        computeAutoPlacement(part(2480, 0), part(2480, 11811), kDefaultPaperWidthInches, 1, 1, &why));
    EXPECT_NE(why.find("resolution"), std::string::npos) << why;
    // A narrower original makes the same parts overlap more.
    PaperWidth a4Landscape;
    const auto narrower =
        computeAutoPlacement(part(2480, 11811), part(2480, 11811), a4Landscape.refresh(2970), 1, 1);
    ASSERT_TRUE(narrower);
    EXPECT_NEAR(narrower->autoOverlap, (4960 - (2970 / 254.0 - 0.241) * 300) / 2, 0.01);
}

TEST(WidthRule, BetweenA4AndLetterWidth) {
    EXPECT_EQ(automaticMergeBounds(11811).low, 2480);
    EXPECT_EQ(automaticMergeBounds(11811).high, 2550);
    EXPECT_EQ(automaticMergeBounds(5906).low, 1240);
    EXPECT_EQ(automaticMergeBounds(5906).high, 1275);
    EXPECT_EQ(automaticMergeBounds(23622).low, 4960) << "A4 at 600 dpi is 4960.6 pixels";
    struct Case {
        std::int32_t left, right, pelsPerMeter;
        bool holds;
    };
    const Case cases[] = {{2480, 2480, 11811, true},  {2479, 2480, 11811, false}, {2480, 2550, 11811, true},
                          {2551, 2500, 11811, false}, {2500, 2479, 11811, false}, {1240, 1275, 5906, true},
                          {2480, 2480, 5906, false},  {4960, 4960, 23622, true},  {4959, 4960, 23622, false},
                          {4960, 5100, 23622, true},  {4960, 5101, 23622, false}};
    for (const Case& c : cases)
        EXPECT_EQ(automaticMergeWidthRule(part(c.left, c.pelsPerMeter), part(c.right, 1)), c.holds)
            << c.left << " and " << c.right << " at " << c.pelsPerMeter;
}

} // namespace
} // namespace tandemscan
