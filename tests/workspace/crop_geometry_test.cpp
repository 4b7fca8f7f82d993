// The crop frame's geometry: the new frame, turning points, the hit test, the drags and the
// numbers its drawing uses.
#include "workspace/crop_geometry.h"

#include <cmath>
#include <gtest/gtest.h>

namespace tandemscan {
namespace {

constexpr double pi = 3.14159265358979323846;

// An upright frame 10 pixels inside a 255 x 351 pane, pivot at its centre.
CropGeometry paneFrame() {
    return CropGeometry{10, 10, 245, 341, 127, 175, 0.0};
}

TEST(CropGeometry, NewFrameLeavesARingForTurningItInsideThePane) {
    const CropGeometry g = newCropFrame(Rect{0, 0, 255, 351});
    EXPECT_EQ(g.rect(), (Rect{20, 20, 235, 331}));
    EXPECT_EQ(g.pivot(), (Point{127, 175}));
    EXPECT_EQ(g.angle, 0.0);
    const CropGeometry right = newCropFrame(Rect{256, 0, 511, 351});
    EXPECT_EQ(right.rect(), (Rect{276, 20, 491, 331}));
    EXPECT_EQ(right.pivot(), (Point{383, 175}));
    // Every corner of the pane grabs the fresh frame for turning, outside its edge band.
    const Point corners[] = {{2, 2}, {252, 2}, {2, 348}, {252, 348}};
    const std::uint32_t turns[] = {CropRotateUpperLeft, CropRotateUpperRight, CropRotateLowerLeft,
                                   CropRotateLowerRight};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(cropHitTest(g, corners[i]), turns[i]) << i;
    EXPECT_EQ(cropHitTest(g, Point{12, 100}), CropLeft);
}

TEST(CropGeometry, RotateAboutTurnsCounterClockwiseOnTheScreen) {
    const struct {
        Point pt;
        Point ctr;
        double phi;
        Point expected;
    } cases[] = {
        {{20, 10}, {10, 10}, pi / 2, {10, 0}},   // right of the centre goes up
        {{20, 10}, {10, 10}, -pi / 2, {10, 20}}, // and down the other way
        {{20, 10}, {10, 10}, pi, {0, 10}},           {{13, 14}, {10, 10}, 0.0, {13, 14}},
        {{110, 100}, {100, 100}, pi / 6, {109, 95}}, // (8.66, 5) rounded
    };
    for (const auto& c : cases)
        EXPECT_EQ(rotateAbout(c.pt, c.ctr, c.phi), c.expected) << c.pt.x << "," << c.pt.y << " " << c.phi;
}

TEST(CropGeometry, AngleAboutIsUpwardPositive) {
    EXPECT_DOUBLE_EQ(angleAbout({20, 10}, {10, 10}), 0.0);
    EXPECT_DOUBLE_EQ(angleAbout({10, 0}, {10, 10}), pi / 2 + (std::atan2(1.0, 0.0) - pi / 2));
    EXPECT_DOUBLE_EQ(angleAbout({0, 10}, {10, 10}), std::atan2(0.0, -10.0));
    EXPECT_DOUBLE_EQ(angleAbout({10, 10}, {10, 10}), 0.0); // at the centre: fixed value
}

TEST(CropGeometry, HitTestOfAnUprightFrame) {
    const CropGeometry g = paneFrame(); // (10, 10, 245, 341), pivot (127, 175)
    const struct {
        Point p;
        std::uint32_t hit;
    } cases[] = {
        {{127, 175}, CropPivot},
        {{137, 185}, CropPivot},  // 10 away in both directions still grabs the pivot
        {{138, 175}, CropInside}, // one more is the frame's inside
        {{15, 175}, CropLeft},    // 5 pixels inside the left edge
        {{127, 15}, CropTop},
        {{240, 175}, CropRight},
        {{127, 336}, CropBottom},
        {{20, 20}, CropInside}, // 10 pixels inside every edge
        {{19, 175}, CropLeft},
        {{5, 5}, CropTopLeft},
        {{244, 5}, CropTopRight},
        {{5, 340}, CropBottomLeft},
        {{250, 350}, CropBottomRight},
        {{0, 175}, CropLeft},             // the outer band reaches 10 pixels beyond the edge
        {{-1, 100}, CropLeft},            // turning rounds -1.5 toward zero, onto column 0
        {{-2, 100}, CropRotateUpperLeft}, // and outside the band the frame turns
        {{300, 100}, CropRotateUpperRight},
        {{-2, 300}, CropRotateLowerLeft},
        {{300, 300}, CropRotateLowerRight},
        {{127, 400}, CropNothing}, // straight below the centre
    };
    for (const auto& c : cases)
        EXPECT_EQ(cropHitTest(g, c.p), c.hit) << c.p.x << "," << c.p.y;
}

TEST(CropGeometry, HitTestFollowsATurnedFrame) {
    CropGeometry g;
    g.left = 100;
    g.top = 100;
    g.right = 200;
    g.bottom = 140;
    g.pivotX = 150;
    g.pivotY = 120;
    g.angle = pi / 2; // a quarter turn: the left edge now lies below the pivot
    EXPECT_EQ(cropHitTest(g, {150, 170}), CropLeft);
    EXPECT_EQ(cropHitTest(g, {150, 70}), CropRight);
    EXPECT_EQ(cropHitTest(g, {150, 195}), CropRotateUpperLeft); // level with the centre
    EXPECT_EQ(cropHitTest(g, {125, 120}), CropTop);
    EXPECT_EQ(cropHitTest(g, {150, 120}), CropPivot);
}

TEST(CropGeometry, NormalisingSwapsCrossedEdges) {
    CropGeometry g;
    g.left = 50;
    g.right = 20;
    g.top = 9;
    g.bottom = 3;
    g.angle = 0.2;
    const CropGeometry n = normalised(g);
    EXPECT_EQ(n.rect(), (Rect{20, 3, 50, 9}));
    EXPECT_EQ(n.angle, 0.2);
}

TEST(CropGeometry, DragsActOnlyForTheirOwnCodes) {
    const Point last{100, 100};
    const Point now{104, 97};
    const struct {
        std::uint32_t hit;
        Rect expected;
        bool moved;
        bool resized;
        bool rotated;
    } cases[] = {
        {CropInside, {14, 7, 249, 338}, true, false, false},
        {CropLeft, {14, 10, 245, 341}, false, true, false},
        {CropTop, {10, 7, 245, 341}, false, true, false},
        {CropTopRight, {10, 7, 249, 341}, false, true, false},
        {CropBottomLeft, {14, 10, 245, 338}, false, true, false},
        {CropRotateUpperLeft, {10, 10, 245, 341}, false, false, true},
        {CropPivot, {10, 10, 245, 341}, false, false, false},
    };
    for (const auto& c : cases) {
        CropGeometry g = paneFrame();
        EXPECT_EQ(cropDragMove(g, c.hit, now, last), c.moved) << c.hit;
        EXPECT_EQ(cropDragResize(g, c.hit, now, last), c.resized) << c.hit;
        EXPECT_EQ(cropDragRotate(g, c.hit, now, last), c.rotated) << c.hit;
        EXPECT_EQ(g.rect(), c.expected) << c.hit;
        EXPECT_EQ(g.pivot(), c.moved ? (Point{131, 172}) : (Point{127, 175})) << c.hit;
    }
}

TEST(CropGeometry, RotationDragAddsTheAngleSweptAboutThePivot) {
    CropGeometry g = paneFrame();
    // From straight right of the pivot to straight above it: a quarter turn counter-clockwise.
    ASSERT_TRUE(cropDragRotate(g, CropRotateUpperRight, {127, 75}, {227, 175}));
    EXPECT_NEAR(g.angle, pi / 2, 1e-12);
}

TEST(CropGeometry, ResizeOfAFrameTurnedBelowTheThresholdUsesScreenDirections) {
    CropGeometry g = paneFrame();
    g.angle = 0.00008; // 0.0046 degrees: upright to a hundredth of a degree
    EXPECT_FALSE(g.isTurned());
    ASSERT_TRUE(cropDragResize(g, CropRight, {250, 200}, {240, 200}));
    EXPECT_EQ(g.rect(), (Rect{10, 10, 255, 341}));

    CropGeometry turned = paneFrame();
    turned.angle = pi / 2;
    EXPECT_TRUE(turned.isTurned());
    // Turned a quarter, a move up on the screen is a move right along the frame.
    ASSERT_TRUE(cropDragResize(turned, CropRight, {127, 40}, {127, 50}));
    EXPECT_EQ(turned.rect(), (Rect{10, 10, 255, 341}));
}

TEST(CropGeometry, FinishingAPivotMoveKeepsATurnedFrameInPlace) {
    CropGeometry g = paneFrame();
    g.angle = pi / 2;
    const auto before = turnedCorners(g);
    const Point pressPivot = g.pivot();
    g.pivotX += 20;
    g.pivotY += 10;
    cropFinishPivot(g, pressPivot);
    const auto after = turnedCorners(g);
    for (std::size_t i = 0; i < before.size(); ++i) {
        EXPECT_NEAR(after[i].x, before[i].x, 1) << i;
        EXPECT_NEAR(after[i].y, before[i].y, 1) << i;
    }
    EXPECT_EQ(g.right - g.left, 235);
    EXPECT_EQ(g.bottom - g.top, 331);

    CropGeometry upright = paneFrame();
    upright.pivotX += 20;
    cropFinishPivot(upright, Point{127, 175});
    EXPECT_EQ(upright.rect(), (Rect{10, 10, 245, 341}));
}

TEST(CropGeometry, DotSpacingIsPositiveAtEveryAngle) {
    const struct {
        double degrees;
        int spacing;
    } cases[] = {
        {0, 8},   {90, 8},  {45, 5},  {30, 5},  {-30, 21}, {130, 64},
        {135, 5}, {180, 8}, {225, 5}, {270, 8}, {-90, 8},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cropDotSpacing(c.degrees * pi / 180), c.spacing) << c.degrees;
    for (int d = -360; d <= 360; ++d)
        EXPECT_GE(cropDotSpacing(d * pi / 180), 1) << d;
}

TEST(CropGeometry, CrawlingDotsAlternateStartAndColour) {
    const struct {
        int phase;
        int start;
        bool firstBlack;
    } cases[] = {{0, 0, false}, {3, 3, false}, {8, 8, false}, {9, 1, true}, {15, 7, true}, {16, 0, false}};
    for (const auto& c : cases) {
        const CropDots d = cropDotsForPhase(c.phase, 0.0);
        EXPECT_EQ(d.spacing, 8);
        EXPECT_EQ(d.start, c.start) << c.phase;
        EXPECT_EQ(d.firstBlack, c.firstBlack) << c.phase;
    }
}

TEST(CropGeometry, OutlineRunsClockwiseFromTheTopLeft) {
    CropGeometry g;
    g.left = 10;
    g.top = 20;
    g.right = 14;
    g.bottom = 23;
    EXPECT_EQ(cropOutlineLength(g), 14);
    const struct {
        int index;
        Point p;
    } cases[] = {{0, {10, 20}}, {3, {13, 20}},  {4, {14, 20}}, {7, {14, 23}},
                 {8, {13, 23}}, {11, {10, 23}}, {13, {10, 21}}};
    for (const auto& c : cases)
        EXPECT_EQ(cropOutlinePoint(g, c.index), c.p) << c.index;
}

TEST(CropGeometry, ResizeAndRotateCursorsFollowTheFrame) {
    const struct {
        std::uint32_t hit;
        double degrees;
        int slot;
    } resize[] = {
        {CropLeft, 0, 12},    {CropRight, 0, 12},       {CropTop, 0, 14},      {CropBottom, 0, 14},
        {CropTopLeft, 0, 15}, {CropBottomRight, 0, 15}, {CropTopRight, 0, 13}, {CropBottomLeft, 0, 13},
        {CropLeft, 45, 13},   {CropLeft, 90, 14},       {CropTop, 90, 12},     {CropLeft, -45, 15},
    };
    for (const auto& c : resize)
        EXPECT_EQ(cropResizeCursor(c.hit, c.degrees * 3.1415926 / 180), c.slot) << c.hit << " " << c.degrees;

    const CropGeometry g = paneFrame(); // centre (127, 175)
    const struct {
        Point p;
        int slot;
    } rotate[] = {{{300, 175}, 16}, {{300, 0}, 17}, {{127, 0}, 18},   {{0, 0}, 19},
                  {{0, 175}, 20},   {{0, 340}, 21}, {{127, 400}, 22}, {{300, 350}, 23}};
    for (const auto& c : rotate)
        EXPECT_EQ(cropRotateCursor(g, c.p), c.slot) << c.p.x << "," << c.p.y;
}

} // namespace
} // namespace tandemscan
