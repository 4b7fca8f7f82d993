// The workspace's tools through the model: choosing them, the mouse and the keys, the grid and
// the flags, rotation, zoom, exchange, lock refusals and the cursor each state shows.
#include "recording_host.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using testing::makeImage;
using testing::ppm60;
using testing::WorkspaceFixture;

// Two parts that fill their panes (255 x 351 at 60 dpi: one screen pixel per pixel).
using TwoParts = testing::TwoPartsFixture;

TEST(WorkspaceTools, CursorFollowsTheActiveTool) {
    TwoParts f;
    const Point left{100, 100};
    EXPECT_EQ(f.ws.chooseCursor(left, false), CursorSlot::Arrow);
    const struct {
        ToolMode tool;
        CursorSlot slot;
    } cases[] = {{ToolMode::Move, CursorSlot::Move},
                 {ToolMode::Rotate, CursorSlot::Rotate},
                 {ToolMode::Zoom, CursorSlot::ZoomIn},
                 {ToolMode::Adjust, CursorSlot::Adjust}};
    for (const auto& c : cases) {
        f.ws.selectTool(c.tool, true);
        EXPECT_EQ(f.ws.chooseCursor(left, false), c.slot) << static_cast<int>(c.tool);
        f.ws.selectTool(c.tool, false);
        EXPECT_EQ(f.ws.chooseCursor(left, false), CursorSlot::Arrow) << static_cast<int>(c.tool);
    }
}

TEST(WorkspaceTools, ZoomCursorShowsTheLimits) {
    TwoParts f;
    f.ws.selectTool(ToolMode::Zoom, true);
    const struct {
        int index;
        bool alt;
        CursorSlot slot;
    } cases[] = {{0, false, CursorSlot::ZoomIn},     {0, true, CursorSlot::ZoomLimit},
                 {5, false, CursorSlot::ZoomIn},     {5, true, CursorSlot::ZoomOut},
                 {13, false, CursorSlot::ZoomLimit}, {13, true, CursorSlot::ZoomOut}};
    for (const auto& c : cases) {
        f.ws.zoomTo(c.index);
        EXPECT_EQ(f.ws.chooseCursor({10, 10}, c.alt), c.slot) << c.index << c.alt;
        f.ws.altChanged(c.alt);
        EXPECT_EQ(f.host.cursor, c.slot) << c.index << c.alt;
    }
}

TEST(WorkspaceTools, GridAndFlagsCursor) {
    TwoParts f;
    f.ws.selectTool(ToolMode::Grid, true);
    f.ws.selectTool(ToolMode::Flags, true);
    ASSERT_TRUE(f.ws.crosshair(Side::Left).shown);
    const Point cross{f.ws.crosshair(Side::Left).x, f.ws.crosshair(Side::Left).y}; // (127, 175)
    EXPECT_EQ(cross, (Point{127, 175}));
    const struct {
        Point p;
        CursorSlot slot;
    } cases[] = {
        {{127, 175}, CursorSlot::SizeAll},        {{131, 171}, CursorSlot::SizeAll},
        {{132, 175}, CursorSlot::GridHorizontal}, {{127, 300}, CursorSlot::GridVertical},
        {{20, 20}, CursorSlot::FlagLeft},         {{300, 20}, CursorSlot::FlagRight},
        {{383, 175}, CursorSlot::SizeAll}, // the right crosshair's crossing point
        {{255, 20}, CursorSlot::Arrow},    // between the panes
    };
    for (const auto& c : cases)
        EXPECT_EQ(f.ws.chooseCursor(c.p, false), c.slot) << c.p.x << "," << c.p.y;
}

TEST(WorkspaceTools, CropCursorFollowsTheFrame) {
    TwoParts f;
    f.ws.selectTool(ToolMode::Crop, true);
    const struct {
        Point p;
        int slot;
    } cases[] = {{{60, 60}, 8},   {{15, 100}, 12}, {{100, 15}, 14}, {{15, 15}, 15},
                 {{240, 15}, 13}, {{5, 5}, 19},    {{250, 5}, 17},  {{127, 175}, 0}}; // a fresh frame turns
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<int>(f.ws.chooseCursor(c.p, false)), c.slot) << c.p.x << "," << c.p.y;
}

TEST(WorkspaceTools, FlagIsPlacedLeftOfTheClick) {
    TwoParts f;
    f.ws.selectTool(ToolMode::Flags, true);
    EXPECT_EQ(f.host.states.back(), std::make_pair(32, 0));
    f.click({200, 120});
    const FlagMarker& left = f.ws.flag(Side::Left);
    EXPECT_TRUE(left.placed);
    EXPECT_EQ(left.x, 168);
    EXPECT_EQ(left.y, 120);
    EXPECT_EQ(left.rect(), (Rect{168, 104, 200, 136}));
    EXPECT_FALSE(f.sent(32, 1));
    f.click({300, 130});
    EXPECT_EQ(f.ws.flag(Side::Right).x, 300);
    EXPECT_TRUE(f.sent(32, 1));
}

TEST(WorkspaceTools, UnitingFlagsBringsThemOntoTheSeam) {
    TwoParts f;
    f.ws.selectTool(ToolMode::Flags, true);
    f.click({225, 120}); // tip 30 pixels left of the seam (x = 255)
    f.click({276, 100}); // 20 pixels right of the right pane's edge, 20 higher
    f.ws.selectTool(ToolMode::UniteFlags, false);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, -30);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetY, 0);
    EXPECT_EQ(f.ws.side(Side::Right).view.offsetX, 20);
    EXPECT_EQ(f.ws.side(Side::Right).view.offsetY, -20);
    EXPECT_FALSE(f.ws.flag(Side::Left).placed);
    EXPECT_FALSE(f.ws.flag(Side::Right).placed);
    EXPECT_FALSE(f.ws.modeFlags().flags);
    EXPECT_EQ(f.host.states.back(), std::make_pair(16, 0));
    EXPECT_EQ(f.ws.lastEdit(), EditKind::FlagUnion);
    // Undo puts both parts back, Redo unites again.
    f.ws.undo();
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, 0);
    EXPECT_EQ(f.ws.side(Side::Right).view.offsetY, 0);
    f.ws.redo();
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, -30);
    EXPECT_EQ(f.ws.side(Side::Right).view.offsetY, -20);
}

TEST(WorkspaceTools, UnitingOneFlagDoesNothing) {
    TwoParts f;
    f.ws.selectTool(ToolMode::Flags, true);
    f.click({225, 120});
    f.ws.selectTool(ToolMode::UniteFlags, false);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, 0);
    EXPECT_TRUE(f.ws.flag(Side::Left).placed);
    EXPECT_FALSE(f.sent(16, 0));
}

TEST(WorkspaceTools, FlagsFollowTheGridCrosshair) {
    TwoParts f;
    f.ws.selectTool(ToolMode::Grid, true);
    f.ws.selectTool(ToolMode::Flags, true);
    EXPECT_TRUE(f.ws.flag(Side::Left).onGrid);
    EXPECT_EQ(f.ws.flag(Side::Left).x, 127 - 32);
    EXPECT_TRUE(f.sent(32, 1));
    // Grab the crossing point and drag it: the flag goes along.
    f.ws.mousePress({127, 175}, {});
    f.ws.mouseMove({140, 190}, true, {});
    f.ws.mouseRelease({140, 190});
    EXPECT_EQ(f.ws.crosshair(Side::Left).x, 140);
    EXPECT_EQ(f.ws.crosshair(Side::Left).y, 190);
    EXPECT_EQ(f.ws.flag(Side::Left).x, 108);
    EXPECT_EQ(f.ws.flag(Side::Left).y, 190);
    // The arrow keys move what was grabbed by one pixel.
    f.ws.arrowKey(ArrowKey::Right);
    EXPECT_EQ(f.ws.crosshair(Side::Left).x, 141);
    f.ws.arrowKey(ArrowKey::Up);
    EXPECT_EQ(f.ws.crosshair(Side::Left).y, 189);
    // Leaving for another tool removes crosshairs and flags.
    f.ws.selectTool(ToolMode::Move, true);
    EXPECT_FALSE(f.ws.crosshair(Side::Left).shown);
    EXPECT_FALSE(f.ws.flag(Side::Left).placed);
    EXPECT_FALSE(f.ws.modeFlags().grid);
    EXPECT_FALSE(f.ws.modeFlags().flags);
}

TEST(WorkspaceTools, ArrowKeyWithoutTargetDoesNothing) {
    TwoParts f;
    f.ws.mouseMove({100, 100}, false, {});
    f.ws.arrowKey(ArrowKey::Left);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, 0);
    EXPECT_EQ(f.ws.side(Side::Right).view.offsetX, 0);
    EXPECT_FALSE(f.ws.isModified(false) && f.ws.autoMode());
}

TEST(WorkspaceTools, MoveConstraintsAndArrowKeys) {
    const struct {
        Modifiers m;
        int offsetX;
        int offsetY;
    } cases[] = {
        {{}, -20, -10},
        {{true, false, false}, 0, -10}, // Shift: up and down only
        {{false, true, false}, -20, 0}, // Ctrl: left and right only
        {{true, true, false}, 0, -10},  // both: Shift wins
    };
    for (const auto& c : cases) {
        TwoParts f;
        f.drag(Side::Left, 20, 10, c.m);
        EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, c.offsetX);
        EXPECT_EQ(f.ws.side(Side::Left).view.offsetY, c.offsetY);
    }
    TwoParts f;
    f.drag(Side::Left, 10, 0);
    EXPECT_TRUE(f.ws.side(Side::Left).view.dragging);
    f.ws.arrowKey(ArrowKey::Right);
    f.ws.arrowKey(ArrowKey::Down);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, -11);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetY, -1);
    f.ws.arrowKey(ArrowKey::Left);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, -10);
}

TEST(WorkspaceTools, ZoomClicksStopAtTheEnds) {
    TwoParts f;
    f.ws.selectTool(ToolMode::Zoom, true);
    f.click({100, 100}, {false, false, true});
    EXPECT_EQ(f.ws.zoomIndex(), 0);
    EXPECT_EQ(f.ws.lastEdit(), EditKind::None);
    f.click({100, 100});
    EXPECT_EQ(f.ws.zoomIndex(), 1);
    EXPECT_EQ(f.ws.side(Side::Left).geometry.shownWidth, 319); // 255 x 1.25, rounded
    for (int i = 0; i < 20; ++i)
        f.click({100, 100});
    EXPECT_EQ(f.ws.zoomIndex(), 13);
    EXPECT_EQ(f.ws.side(Side::Right).geometry.shownWidth, 2040);
    f.click({100, 100}, {false, false, true});
    EXPECT_EQ(f.ws.zoomIndex(), 12);
}

TEST(WorkspaceTools, WheelAndKeysZoomWhereAltClickIsTaken) {
    // From zoom index 2: the wheel zooms with the zoom tool, or with Ctrl under any tool; + and -
    // only with the zoom tool; several notches are several steps, stopping at the ends.
    struct Case {
        const char* name;
        ToolMode tool; // ToolMode::Zoom or another
        int notches;   // 0: a key
        int key;       // +1 / -1
        bool ctrl;
        bool taken;
        int index;
    };
    const Case cases[] = {
        {"wheel up, zoom tool", ToolMode::Zoom, 1, 0, false, true, 3},
        {"wheel down, zoom tool", ToolMode::Zoom, -1, 0, false, true, 1},
        {"three notches", ToolMode::Zoom, 3, 0, false, true, 5},
        {"past the low end", ToolMode::Zoom, -5, 0, false, true, 0},
        {"past the high end", ToolMode::Zoom, 40, 0, false, true, 13},
        {"wheel, move tool", ToolMode::Move, 1, 0, false, false, 2},
        {"Ctrl+wheel, move tool", ToolMode::Move, 1, 0, true, true, 3},
        {"Ctrl+wheel down, no tool", ToolMode::Grid, -2, 0, true, true, 0},
        {"+, zoom tool", ToolMode::Zoom, 0, 1, false, true, 3},
        {"-, zoom tool", ToolMode::Zoom, 0, -1, false, true, 1},
        {"+, move tool", ToolMode::Move, 0, 1, false, false, 2},
    };
    for (const Case& c : cases) {
        TwoParts f;
        f.ws.zoomTo(2);
        f.ws.selectTool(c.tool, true);
        const bool taken =
            c.notches != 0 ? f.ws.wheel(c.notches, {false, c.ctrl, false}) : f.ws.zoomKey(c.key);
        EXPECT_EQ(taken, c.taken) << c.name;
        EXPECT_EQ(f.ws.zoomIndex(), c.index) << c.name;
    }
    // Without a part the wheel is not the workspace's; on a locked part it is refused once.
    WorkspaceFixture empty;
    EXPECT_FALSE(empty.ws.wheel(1, {false, true, false}));
    TwoParts locked;
    locked.ws.toggleLock(Side::Left);
    locked.host.clear();
    EXPECT_TRUE(locked.ws.wheel(3, {false, true, false}));
    EXPECT_EQ(locked.ws.zoomIndex(), 0);
    EXPECT_EQ(locked.host.messages.size(), 1u);
}

TEST(WorkspaceTools, TwoRotationsLeaveThePartAsItWas) {
    TwoParts f;
    const std::vector<std::uint8_t> before(f.ws.side(Side::Right).workingCopy.pixels().begin(),
                                           f.ws.side(Side::Right).workingCopy.pixels().end());
    f.ws.selectTool(ToolMode::Rotate, true);
    f.click({300, 100});
    EXPECT_EQ(f.ws.side(Side::Right).rotations, 1);
    EXPECT_NE(std::vector<std::uint8_t>(f.ws.side(Side::Right).workingCopy.pixels().begin(),
                                        f.ws.side(Side::Right).workingCopy.pixels().end()),
              before);
    EXPECT_GT(f.host.waits, 0);
    EXPECT_EQ(f.host.waitDepth, 0);
    f.click({300, 100});
    EXPECT_EQ(f.ws.side(Side::Right).rotations, 2);
    EXPECT_EQ(f.ws.side(Side::Right).cropHistory.size(), 2u);
    EXPECT_EQ(std::vector<std::uint8_t>(f.ws.side(Side::Right).workingCopy.pixels().begin(),
                                        f.ws.side(Side::Right).workingCopy.pixels().end()),
              before);
}

TEST(WorkspaceTools, ExchangeSwapsThePartsAndTheirHeights) {
    WorkspaceFixture f;
    ASSERT_TRUE(f.load(Side::Left, 200, 100));
    ASSERT_TRUE(f.load(Side::Right, 150, 80));
    f.drag(Side::Left, 10, 20);
    f.drag(Side::Right, -5, 0);
    f.ws.exchange();
    EXPECT_EQ(f.ws.side(Side::Left).workingCopy.header().width, 150);
    EXPECT_EQ(f.ws.side(Side::Right).workingCopy.header().width, 200);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, 0);
    EXPECT_EQ(f.ws.side(Side::Right).view.offsetX, 0);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetY, 0);
    EXPECT_EQ(f.ws.side(Side::Right).view.offsetY, -20);
    EXPECT_EQ(f.ws.original(Side::Left)->header().width, 150);
    EXPECT_EQ(f.ws.lastEdit(), EditKind::Exchange);
    f.ws.undo();
    EXPECT_EQ(f.ws.side(Side::Left).workingCopy.header().width, 200);
}

TEST(WorkspaceTools, LockedPartsRefuseEdits) {
    TwoParts f;
    f.ws.toggleLock(Side::Left);
    f.host.clear();
    f.ws.selectTool(ToolMode::Move, true);
    f.click({100, 100});
    EXPECT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].caption, "Lock!");
    EXPECT_EQ(f.host.messages[0].text, "This image has been locked!");
    EXPECT_FALSE(f.ws.side(Side::Left).view.dragging);
    // The other part still moves.
    f.drag(Side::Right, -10, 0);
    EXPECT_EQ(f.ws.side(Side::Right).view.offsetX, 10);
    // Zoom and exchange need both parts unlocked.
    f.host.clear();
    f.ws.selectTool(ToolMode::Zoom, true);
    f.click({300, 100});
    EXPECT_EQ(f.ws.zoomIndex(), 0);
    f.ws.exchange();
    EXPECT_EQ(f.host.messages.size(), 2u);
    EXPECT_FALSE(f.ws.placeAutomatically());
    EXPECT_EQ(f.host.messages.size(), 3u);
    EXPECT_EQ(f.ws.side(Side::Right).view.offsetX, 10);
}

TEST(WorkspaceTools, LockReportsToThePalette) {
    const struct {
        bool otherHolds;
        bool otherLocked;
        std::pair<int, int> onLock;
        std::pair<int, int> onUnlock;
    } cases[] = {
        {false, false, {256, 1}, {512, 0}},
        {true, true, {96, 1}, {80, 1}},
        {true, false, {80, 1}, {96, 0}},
    };
    for (const auto& c : cases) {
        WorkspaceFixture f;
        ASSERT_TRUE(f.load(Side::Left, 100, 100));
        if (c.otherHolds) {
            ASSERT_TRUE(f.load(Side::Right, 100, 100));
        }
        if (c.otherLocked) f.ws.toggleLock(Side::Right);
        f.host.clear();
        f.ws.toggleLock(Side::Left);
        EXPECT_EQ(f.host.states.back(), c.onLock);
        EXPECT_FALSE(f.host.clearEnabled[0]);
        EXPECT_FALSE(f.host.inputEnabled[0]);
        f.ws.toggleLock(Side::Left);
        EXPECT_EQ(f.host.states.back(), c.onUnlock);
        EXPECT_TRUE(f.host.clearEnabled[0]);
        EXPECT_TRUE(f.host.inputEnabled[0]);
    }
}

TEST(WorkspaceTools, ClearingTheOnlyPartEndsEveryTool) {
    WorkspaceFixture f;
    ASSERT_TRUE(f.load(Side::Left, 200, 100));
    f.ws.selectTool(ToolMode::Grid, true);
    f.ws.selectTool(ToolMode::Flags, true);
    f.host.clear();
    f.ws.clearSide(Side::Left);
    EXPECT_EQ(f.ws.modeFlags(), ModeFlags{});
    EXPECT_EQ(f.host.states.back(), std::make_pair(256, 0));
    EXPECT_EQ(f.host.cursor, CursorSlot::Arrow);
    EXPECT_FALSE(f.ws.crosshair(Side::Left).shown);
}

TEST(WorkspaceTools, ChoosingAToolLeavesThePreviousOne) {
    TwoParts f;
    const struct {
        ToolMode tool;
        bool pressed;
        ModeFlags expected;
    } steps[] = {
        {ToolMode::Move, true, {false, true, false, false, false, false, false}},
        {ToolMode::Zoom, true, {true, false, false, false, false, false, false}},
        {ToolMode::Grid, true, {false, false, false, true, false, false, false}},
        {ToolMode::Flags, true, {false, false, false, true, true, false, false}},  // grid stays
        {ToolMode::Grid, false, {false, false, false, false, true, false, false}}, // flags stay
        {ToolMode::Crop, true, {false, false, false, false, false, true, false}},  // flags go
        {ToolMode::Crop, false, {}},
        {ToolMode::Adjust, true, {false, false, false, false, false, false, true}},
        {ToolMode::Rotate, true, {false, false, true, false, false, false, false}},
    };
    for (const auto& s : steps) {
        f.ws.selectTool(s.tool, s.pressed);
        EXPECT_EQ(f.ws.modeFlags(), s.expected) << static_cast<int>(s.tool) << " " << s.pressed;
        EXPECT_EQ(f.ws.mode(), s.tool);
    }
    EXPECT_EQ(f.host.moveExplanations, 1);
}

// The crosshairs and the flags follow the grid and flag tools: a flag rides on its crosshair, so
// switching one of the two off leaves the other's marks, and any other tool takes both away.
TEST(WorkspaceTools, GridAndFlagMarksFollowTheirTools) {
    TwoParts f;
    const struct {
        ToolMode tool;
        bool pressed;
        bool crosshairShown;
        bool flagPlaced;
    } steps[] = {
        {ToolMode::Grid, true, true, false},
        {ToolMode::Flags, true, true, true},   // the flags are set on the crosshairs
        {ToolMode::Grid, false, false, true},  // the flags stay without their crosshairs
        {ToolMode::Grid, true, true, true},    // the crosshairs come back at the flags' tips
        {ToolMode::Move, true, false, false},  // another tool takes both away
        {ToolMode::Flags, true, false, false}, // no crosshair to set a flag on
        {ToolMode::Grid, true, true, false},
        {ToolMode::Flags, true, true, true},
        {ToolMode::Crop, true, false, false},
    };
    for (const auto& s : steps) {
        f.ws.selectTool(s.tool, s.pressed);
        for (Side side : bothSides) {
            EXPECT_EQ(f.ws.crosshair(side).shown, s.crosshairShown) << static_cast<int>(s.tool) << s.pressed;
            EXPECT_EQ(f.ws.flag(side).placed, s.flagPlaced) << static_cast<int>(s.tool) << s.pressed;
        }
    }
}

} // namespace
} // namespace tandemscan

namespace tandemscan {
namespace {

TEST(WorkspaceTools, AdjustmentRunsForColourAndGrayButNotLineArt) {
    testing::WorkspaceFixture f;
    ASSERT_TRUE(f.load(Side::Left, 200, 100, 1));
    ASSERT_TRUE(f.load(Side::Right, 200, 100, 1));
    f.ws.selectTool(ToolMode::Adjust, true);
    f.ws.mousePress({100, 50}, {});
    EXPECT_TRUE(f.host.adjustedSides.empty());
    ASSERT_EQ(f.host.messages.size(), 1u);
    EXPECT_EQ(f.host.messages[0].caption, "Zunt--Tandemscan");
    EXPECT_EQ(f.host.messages[0].text, "Image adjust can't support monochroic image!");

    testing::WorkspaceFixture g;
    ASSERT_TRUE(g.load(Side::Left, 200, 100, 8));
    ASSERT_TRUE(g.load(Side::Right, 200, 100, 8));
    g.ws.selectTool(ToolMode::Adjust, true);
    g.ws.mousePress({300, 50}, {});
    EXPECT_EQ(g.host.adjustedSides, std::vector<int>{1});
    EXPECT_TRUE(g.host.messages.empty());
}

} // namespace
} // namespace tandemscan
