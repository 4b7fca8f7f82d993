#include "magnifier_geometry.h"
#include "value_rules.h"

#include <gtest/gtest.h>

using namespace tandemscan;

TEST(SliderValue, ScrollingClampsAndShowsTheValue) {
    auto resolution = SliderValue::customResolution();
    EXPECT_EQ(resolution.textLimit(), 4);
    EXPECT_EQ(resolution.moveTo(1195), "1195");
    EXPECT_EQ(resolution.pageBy(1), "1200"); // page right at 1195 stops at the maximum
    EXPECT_EQ(resolution.lineBy(1), "1200");
    EXPECT_EQ(resolution.moveTo(10), "75");
    EXPECT_EQ(resolution.pageBy(-1), "75");

    auto descreen = SliderValue::descreen();
    EXPECT_EQ(descreen.textLimit(), 3);
    EXPECT_EQ(descreen.position(), 85);
    EXPECT_EQ(descreen.lineBy(-1), "84");
}

TEST(SliderValue, TypedValuesAndOk) {
    auto resolution = SliderValue::customResolution();
    resolution.editChanged("600");
    EXPECT_TRUE(resolution.valid());
    EXPECT_EQ(resolution.position(), 600);
    EXPECT_EQ(resolution.accept("600"), std::optional<uint16_t>(600));

    resolution.editChanged("1300"); // out of range: the bar stays, the value turns invalid
    EXPECT_FALSE(resolution.valid());
    EXPECT_EQ(resolution.position(), 600);
    EXPECT_EQ(resolution.accept("1300"), std::nullopt);
    EXPECT_TRUE(resolution.valid()); // back to the start value, ready again
    EXPECT_EQ(resolution.position(), 100);

    resolution.editChanged("");
    EXPECT_FALSE(resolution.valid());
}

TEST(ValueRules, ReadDecimalAndOriginalSize) {
    EXPECT_EQ(readDecimal(" 42x"), 42);
    EXPECT_EQ(readDecimal("-7"), -7);
    EXPECT_EQ(readDecimal(""), 0);
    EXPECT_EQ(readDecimal("99999999999"), 2147483647);
    EXPECT_TRUE(OriginalSizeRule::widthOk(4220));
    EXPECT_FALSE(OriginalSizeRule::widthOk(4221));
    EXPECT_TRUE(OriginalSizeRule::widthOk(3000));
    EXPECT_FALSE(OriginalSizeRule::heightOk(100));
    EXPECT_TRUE(OriginalSizeRule::heightOk(2980));
}

TEST(Magnifier, SourceSquareAndCross) {
    struct Case {
        int size, zoom, x, y;
        MagnifierView expected;
    } cases[] = {
        // 100 / 18 = 5 and 100 / 20 = 5: both show a 50-pixel square
        {100, 18, 200, 200, {175, 175, 50, 50, 50}},
        {100, 20, 200, 200, {175, 175, 50, 50, 50}},
        {180, 30, 300, 200, {270, 170, 60, 90, 90}},
        // 3 pixels from the left edge: square at 0, cross at 3 * Z / 10
        {100, 20, 3, 200, {0, 175, 50, 6, 50}},
        // near the right and bottom edges the square ends at the bitmap's edge
        {100, 20, 395, 298, {350, 250, 50, 90, 96}},
        // Out of the pages' range (a hand-edited tsMagf.ini): as 180 x 1.8, 100 x 2, 100 x 3.
        {1073741824, 1, 200, 200, {150, 150, 100, 90, 90}},
        {0, 0, 200, 200, {175, 175, 50, 50, 50}},
        {-5, 2147483647, 200, 200, {185, 185, 30, 50, 50}},
    };
    for (const auto& c : cases) {
        const auto v = magnifierView(c.size, c.zoom, c.x, c.y, 400, 300);
        EXPECT_EQ(v.sourceX, c.expected.sourceX);
        EXPECT_EQ(v.sourceY, c.expected.sourceY);
        EXPECT_EQ(v.side, c.expected.side);
        EXPECT_EQ(v.crossX, c.expected.crossX);
        EXPECT_EQ(v.crossY, c.expected.crossY);
    }
}

TEST(Magnifier, PlacementAndChoices) {
    EXPECT_EQ(defaultMagnifierRect(800, 100, 20, true), (Rect{1040, 313, 1146, 439}));
    EXPECT_EQ(defaultMagnifierRect(800, 100, 20, false), (Rect{815, 200, 921, 326}));
    const Rect stored{1, 2, 3, 4};
    EXPECT_EQ(rectToStore({-200, 10, 0, 100}, stored), stored);
    EXPECT_EQ(rectToStore({2500, 10, 2600, 100}, stored), stored);
    EXPECT_EQ(rectToStore({10, 10, 100, 0}, stored), stored);
    EXPECT_EQ(rectToStore({10, 2500, 100, 2600}, stored), stored);
    EXPECT_EQ(rectToStore({10, 10, 100, 100}, stored), (Rect{10, 10, 100, 100}));
    EXPECT_EQ(sizeChoiceIndex(150), 2);
    EXPECT_EQ(sizeChoiceIndex(130), 0);
    EXPECT_EQ(zoomChoiceIndex(18), 0);
    EXPECT_EQ(zoomChoiceIndex(19), 1);
    EXPECT_EQ(zoomForChoice(0), 18);
    EXPECT_EQ(sizeForChoice(3), 180);
}
