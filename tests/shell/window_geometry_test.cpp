#include "window_geometry.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

const float ratio = aspectRatio({575, 513});

TEST(WindowGeometry, MinimumSizeFollowsDpiScale) {
    struct Case {
        double scale;
        ScreenSize expected;
    };
    const Case cases[] = {{1.0, {575, 513}}, {1.25, {719, 641}}, {1.5, {863, 770}}, {2.0, {1150, 1026}}};
    for (const auto& c : cases)
        EXPECT_EQ(minimumWindowSize(c.scale), c.expected) << c.scale;
    EXPECT_FLOAT_EQ(ratio, 575.0f / 483.0f);
}

TEST(WindowGeometry, MaximisedRectFitsBesideThePalette) {
    struct Case {
        int sw, sh, palette;
        Rect expected;
    };
    const Case cases[] = {
        {1024, 768, 80, {80, 0, 959, 738}},  // height-bound
        {800, 600, 200, {200, 0, 800, 504}}, // width-bound
        {1920, 1080, 0, {0, 0, 1250, 1050}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(maximisedRect(c.sw, c.sh, c.palette, ratio), c.expected) << c.sw;
    // On the available area of a screen: below a top panel, on a second screen to the right.
    const struct {
        Rect available;
        Rect expected;
    } areas[] = {
        {{0, 0, 1024, 768}, {80, 0, 959, 738}},
        {{0, 30, 1024, 798}, {80, 30, 959, 768}},
        {{1600, 0, 2624, 768}, {1680, 0, 2559, 738}},
    };
    for (const auto& a : areas)
        EXPECT_EQ(maximisedOnScreen(a.available, 80, ratio), a.expected) << a.available.left;
}

TEST(WindowGeometry, WindowWidthForListsIsTheLayoutsInverse) {
    for (const double scale : {1.0, 1.5}) {
        const LayoutBase base(scale);
        for (const int width : {132, 150, 233}) {
            const int client = windowWidthForLists(width, base);
            EXPECT_EQ(layoutFor(client, 600, base).lists[3].width(), width) << scale;
            EXPECT_EQ(layoutFor(client - 1, 600, base).lists[3].width(), width - 1) << scale;
        }
    }
    // The minimum stays the base size while the lists fit, then widens in its proportions.
    struct Case {
        double scale;
        int listWidth;
        ScreenSize minimum;
    };
    const Case cases[] = {{1.0, 100, {575, 513}}, {1.0, 132, {575, 513}}, {1.0, 133, {579, 517}},
                          {1.0, 142, {615, 547}}, {1.5, 200, {863, 770}}, {1.5, 201, {867, 774}}};
    for (const Case& c : cases) {
        const ScreenSize minimum = minimumWindowSizeForLists(c.scale, c.listWidth);
        EXPECT_EQ(minimum.width, c.minimum.width) << c.listWidth;
        EXPECT_EQ(minimum.height, c.minimum.height) << c.listWidth;
    }
}

TEST(WindowGeometry, StoredRectIsFittedOntoTheScreen) {
    const ScreenSize minimum{575, 513};
    const Rect screen{0, 0, 1024, 768};
    struct Case {
        const char* name;
        Rect stored;
        Rect expected;
    };
    const Case cases[] = {
        {"fits", {10, 20, 610, 560}, {10, 20, 610, 560}},
        {"larger than the screen", {0, 0, 100000, 100000}, {0, 0, 1024, 768}},
        {"partly off the right edge", {700, 100, 1300, 640}, {424, 100, 1024, 640}},
        {"below the minimum", {30, 40, 50, 60}, {30, 40, 605, 553}},
        {"on a screen no longer there", {3000, 3000, 3600, 3540}, {212, 114, 812, 654}},
        {"nothing stored", {0, 0, 0, 0}, {0, 0, 575, 513}},
        {"extreme values", {-2147483647 - 1, -2147483647 - 1, 2147483647, 2147483647}, {0, 0, 1024, 768}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fitOntoScreen(c.stored, minimum, screen), c.expected) << c.name;
    // A screen smaller than the minimum keeps the minimum, from its top-left corner.
    EXPECT_EQ(fitOntoScreen({100, 100, 700, 640}, minimum, {0, 0, 500, 400}), (Rect{0, 0, 575, 513}));
}

TEST(WindowGeometry, PaletteIsPulledWhollyOntoAScreen) {
    const ScreenSize palette{48, 428};
    const Rect one[] = {{0, 0, 1600, 1200}};
    const Rect two[] = {{0, 0, 1600, 1200}, {1600, 200, 2880, 1224}}; // primary first
    struct Case {
        std::span<const Rect> screens;
        Point stored, expected;
    };
    const Case cases[] = {
        {one, {468, 348}, {468, 348}},    // on screen: where it was
        {one, {1552, 772}, {1552, 772}},  // touching the corner, still whole
        {one, {1596, 1158}, {1552, 772}}, // 4 pixels showing: pulled fully in
        {one, {5000, 5000}, {1552, 772}}, // off every screen
        {one, {-43, 348}, {0, 348}},      // behind the left edge
        {one, {-7, -9000}, {0, 0}},       {two, {2000, 300}, {2000, 300}}, // wholly on the second screen
        {two, {2850, 300}, {2832, 300}},  // mostly on the second one: onto that one
        {two, {1570, 100}, {1552, 100}},  // mostly on the first one
        {two, {1700, 0}, {1700, 200}},    // above the second screen, overlapping it only
        {two, {9000, 9000}, {1552, 772}}, // on none: the primary
    };
    for (const auto& c : cases)
        EXPECT_EQ(pulledOntoScreens(c.stored, palette, c.screens), c.expected)
            << c.stored.x << "," << c.stored.y;
    EXPECT_EQ(pulledOntoScreens({10, 10}, {48, 2000}, one), (Point{10, 0})); // taller than the screen
}

TEST(WindowGeometry, DraggedEdgeKeepsProportions) {
    const Rect before{10, 20, 610, 520};
    struct Case {
        Rect after;
        SizingEdge edge;
        Rect expected;
    };
    const Case cases[] = {
        {{10, 20, 710, 520}, SizingEdge::Right, {10, 20, 710, 608}},
        {{-90, 20, 610, 520}, SizingEdge::Left, {-90, 20, 610, 608}},
        {{10, 20, 610, 620}, SizingEdge::Bottom, {10, 20, 724, 620}},
        {{10, -80, 610, 520}, SizingEdge::Top, {10, -80, 724, 520}},
        {{10, 20, 710, 620}, SizingEdge::BottomRight, {10, 20, 710, 608}},
        {{-90, 20, 610, 620}, SizingEdge::BottomLeft, {-90, 20, 610, 608}},
        {{-90, -80, 610, 520}, SizingEdge::TopLeft, {-90, -68, 610, 520}},
        {{10, -80, 710, 520}, SizingEdge::TopRight, {10, -68, 710, 520}},
    };
    for (const auto& c : cases) {
        const auto edge = draggedEdge(before, c.after);
        ASSERT_TRUE(edge.has_value());
        EXPECT_EQ(*edge, c.edge);
        EXPECT_EQ(proportionalRect(*edge, c.after, ratio), c.expected) << static_cast<int>(c.edge);
    }
    EXPECT_FALSE(draggedEdge(before, before).has_value());
    EXPECT_FALSE(draggedEdge(before, {110, 120, 710, 620}).has_value()); // moved, not sized
}

TEST(WindowGeometry, LayoutAtMinimumSize) {
    const auto l = layoutFor(575, 513, LayoutBase(1.0));
    EXPECT_EQ(l.topFrame, Rect::at(8, 6, 559, 36));
    const int listX[] = {16, 153, 290, 427};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(l.lists[i], Rect::at(listX[i], 13, 132, 24)) << i;
    EXPECT_EQ(l.help, Rect::at(481, 482, 84, 26));
    EXPECT_EQ(l.exit, Rect::at(387, 482, 84, 26));
    EXPECT_EQ(l.buy, Rect::at(293, 482, 84, 26));
    EXPECT_EQ(l.saveAs, Rect::at(481, 454, 84, 26));
    EXPECT_EQ(l.sendTo, Rect::at(387, 454, 84, 26));
    EXPECT_EQ(l.preview, Rect::at(293, 454, 84, 26));
    EXPECT_EQ(l.originalType, Rect::at(199, 454, 84, 26));
    EXPECT_EQ(l.workFrame, Rect::at(8, 47, 559, 400));
    EXPECT_EQ(l.inputLeft, Rect::at(199, 52, 84, 26));
    EXPECT_EQ(l.clearLeft, Rect::at(110, 52, 84, 26));
    EXPECT_EQ(l.inputRight, Rect::at(293, 52, 84, 26));
    EXPECT_EQ(l.clearRight, Rect::at(382, 52, 84, 26));
    EXPECT_EQ(l.workspace, Rect::at(32, 90, 511, 351));
    EXPECT_EQ(l.paneWidth, 255);
    EXPECT_EQ(l.paneHeight, 351);
    EXPECT_EQ(l.zoomPercent, 100);
}

TEST(WindowGeometry, PanesGrowWithTheTighterDimension) {
    struct Case {
        int cx, cy;
        int paneWidth, paneHeight, zoom;
    };
    const Case cases[] = {
        {1000, 800, 467, 643, 183}, // width-bound
        {1200, 600, 324, 446, 127}, // height-bound
        {575, 513, 255, 351, 100},
        {700, 300, 106, 146, 42}, // lower than the base: panes shrink
    };
    for (const auto& c : cases) {
        const auto l = layoutFor(c.cx, c.cy, LayoutBase(1.0));
        EXPECT_EQ(l.paneWidth, c.paneWidth) << c.cx << "x" << c.cy;
        EXPECT_EQ(l.paneHeight, c.paneHeight) << c.cx << "x" << c.cy;
        EXPECT_EQ(l.zoomPercent, c.zoom) << c.cx << "x" << c.cy;
        EXPECT_EQ(l.workspace.width(), 2 * c.paneWidth + 1);
        EXPECT_LE(l.workspace.bottom, l.saveAs.top - 5);
    }
}

TEST(WindowGeometry, ScaledBaseLayout) {
    const LayoutBase base(1.5);
    EXPECT_EQ(base.paneWidth, 383);
    EXPECT_EQ(base.paneHeight, 527);
    const auto size = minimumWindowSize(1.5);
    const auto l = layoutFor(size.width, size.height, base);
    EXPECT_EQ(l.zoomPercent, 100);
    EXPECT_EQ(l.paneWidth, 383);
}

} // namespace
} // namespace tandemscan
