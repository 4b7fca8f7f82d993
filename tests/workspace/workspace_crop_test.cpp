// The crop tool through the model: frames on entering the tool, drags, normalising on release,
// applying upright and turned frames to the working copy, and undoing a crop.
#include "recording_host.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tandemscan {
namespace {

using testing::makeImage;
using testing::WorkspaceFixture;

// Parts that fill their panes at one screen pixel per working pixel.
struct CropParts : testing::TwoPartsFixture {
    CropParts()
    {
        ws.selectTool(ToolMode::Crop, true);
        host.clear();
    }
    void dragFrom(Point from, Point to)
    {
        ws.mousePress(from, {});
        ws.mouseMove(to, true, {});
        ws.mouseRelease(to);
    }
    // The new frame fills its pane up to the turning zone; pulling its top-left corner in by 30
    // leaves room to grab outside it.
    void shrinkFrame(int side)
    {
        const int left = ws.side(side).paneRect.left;
        dragFrom({left + 5, 5}, {left + 35, 35});
    }
    // Turns a side's (shrunk) frame counter-clockwise by about `radians`, grabbing it outside its
    // upper-left corner and sweeping along a circle about the pivot.
    void turnFrame(int side, double radians)
    {
        const Point from{ws.side(side).paneRect.left + 20, 20};
        ws.mousePress(from, {});
        ASSERT_EQ(ws.cropHit(), CropRotateUpperLeft);
        const Point pivot = ws.side(side).crop.frame.pivot();
        const double r = std::hypot(from.x - pivot.x, from.y - pivot.y);
        const double a = std::atan2(pivot.y - from.y, from.x - pivot.x) + radians;
        const Point to{static_cast<int>(std::lround(pivot.x + r * std::cos(a))),
                       static_cast<int>(std::lround(pivot.y - r * std::sin(a)))};
        ws.mouseMove(to, true, {});
        ws.mouseRelease(to);
    }
};

TEST(WorkspaceCrop, EnteringTheToolPutsAFrameOnEachPart)
{
    CropParts f;
    EXPECT_TRUE(f.ws.side(0).crop.active);
    EXPECT_EQ(f.ws.side(0).crop.frame.rect(), (Rect{10, 10, 245, 341}));
    EXPECT_EQ(f.ws.side(0).crop.frame.pivot(), (Point{127, 175}));
    EXPECT_EQ(f.ws.side(1).crop.frame.rect(), (Rect{266, 10, 501, 341}));
    f.ws.selectTool(ToolMode::Crop, false);
    EXPECT_FALSE(f.ws.side(0).crop.active);
    EXPECT_FALSE(f.host.timerRunning[0]);
}

TEST(WorkspaceCrop, FrameIsNormalisedOnRelease)
{
    CropParts f;
    f.ws.mousePress({240, 100}, {}); // the right edge band
    ASSERT_EQ(f.ws.cropHit(), CropRight);
    f.ws.mouseMove({100, 100}, true, {});
    f.ws.mouseMove({2, 100}, true, {});
    EXPECT_LT(f.ws.side(0).crop.frame.right, f.ws.side(0).crop.frame.left);
    f.ws.mouseRelease({2, 100});
    EXPECT_EQ(f.ws.side(0).crop.frame.rect(), (Rect{7, 10, 10, 341}));
}

TEST(WorkspaceCrop, PivotDraggedOutOfThePaneSpringsBack)
{
    CropParts f;
    f.ws.mousePress({137, 175}, {}); // 10 pixels right of the pivot still grabs it
    ASSERT_EQ(f.ws.cropHit(), CropPivot);
    f.ws.mouseMove({100, 180}, true, {});
    EXPECT_EQ(f.ws.side(0).crop.frame.pivot(), (Point{90, 180}));
    f.ws.mouseMove({5, 180}, true, {}); // would put the pivot at x = -5
    EXPECT_EQ(f.ws.side(0).crop.frame.pivot(), (Point{90, 180}));
}

TEST(WorkspaceCrop, UprightFrameCutsTheWorkingCopy)
{
    CropParts f;
    f.dragFrom({60, 60}, {90, 80}); // move the frame by (30, 20): (40, 30, 275, 361)
    const Rect frame = f.ws.side(0).crop.frame.rect();
    ASSERT_EQ(frame, (Rect{40, 30, 275, 361}));
    f.ws.doubleClick({150, 150});
    EXPECT_FALSE(f.ws.side(0).crop.active);
    const ImageHeader& h = f.ws.side(0).workingCopy.header();
    EXPECT_EQ(h.width, 215); // what of the frame lies on the part
    EXPECT_EQ(h.height, 321);
    ASSERT_EQ(f.ws.side(0).cropHistory.size(), 1u);
    const EditEntry& e = f.ws.side(0).cropHistory[0];
    EXPECT_EQ(e.kind, 6);
    EXPECT_EQ(e.angle, 0.0);
    EXPECT_EQ(e.left, frame.left);
    EXPECT_EQ(e.top, frame.top);
    // The cut keeps the part's own pixels: the top-left is what was at (left, top).
    EXPECT_EQ(f.ws.side(0).workingCopy.pixels()[(h.height - 1) * PixelTools::rowStride(h.width, 24)], frame.left % 256);
    EXPECT_EQ(f.ws.lastEdit(), EditKind::Crop);
    // The right frame is still open, so the crop tool stays on.
    EXPECT_TRUE(f.ws.modeFlags().crop);
    EXPECT_FALSE(f.sent(48, 0));
    f.ws.doubleClick({300, 150});
    EXPECT_TRUE(f.sent(48, 0));
    EXPECT_FALSE(f.ws.modeFlags().crop);
}

TEST(WorkspaceCrop, UndoingACropBringsThePartBackAndRedoCutsAgain)
{
    CropParts f;
    f.ws.doubleClick({150, 150});
    ASSERT_EQ(f.ws.side(0).workingCopy.header().width, 235);
    f.ws.undo();
    EXPECT_EQ(f.ws.side(0).workingCopy.header().width, 255);
    EXPECT_TRUE(f.ws.side(0).cropHistory.empty());
    EXPECT_TRUE(f.ws.side(0).crop.active); // the tool is still on: a frame again
    f.ws.redo();
    EXPECT_EQ(f.ws.side(0).workingCopy.header().width, 235);
    EXPECT_EQ(f.ws.side(0).cropHistory.size(), 1u);
}

TEST(WorkspaceCrop, FrameOutsideThePartCutsNothing)
{
    WorkspaceFixture f;
    ASSERT_TRUE(f.load(0, 100, 100)); // shown at x 155..255, y 0..100
    f.ws.selectTool(ToolMode::Crop, true);
    // Move the frame down below the part.
    f.ws.mousePress({60, 60}, {});
    f.ws.mouseMove({60, 90}, true, {});
    f.ws.mouseMove({60, 200}, true, {});
    f.ws.mouseMove({60, 300}, true, {});
    f.ws.mouseRelease({60, 300});
    f.ws.mousePress({60, 300}, {});
    f.ws.mouseRelease({60, 300});
    ASSERT_GE(f.ws.side(0).crop.frame.top, 100);
    f.ws.rotateSide(0);
    f.ws.doubleClick({60, 300});
    EXPECT_FALSE(f.ws.side(0).crop.active);
    EXPECT_EQ(f.ws.side(0).workingCopy.header().width, 100);
    ASSERT_EQ(f.ws.side(0).cropHistory.size(), 1u); // the half turn only
    EXPECT_EQ(f.ws.side(0).cropHistory[0].kind, 4);
    EXPECT_EQ(f.ws.lastEdit(), EditKind::None); // a rotation by hand is not an undoable tool edit
}

TEST(WorkspaceCrop, SlightlyTurnedFrameIsAppliedUpright)
{
    CropParts f;
    f.shrinkFrame(0);
    f.turnFrame(0, 0.06);
    const double angle = f.ws.side(0).crop.frame.angle;
    ASSERT_GT(angle, 0.05);
    ASSERT_LT(angle, 0.0628); // below 1 % of a full turn
    f.ws.doubleClick({150, 150});
    EXPECT_EQ(f.ws.side(0).workingCopy.header().width, 205); // no turn: the frame's own size
    EXPECT_EQ(f.ws.side(0).workingCopy.header().height, 301);
    EXPECT_EQ(f.ws.side(0).cropHistory[0].angle, 0.0);
}

TEST(WorkspaceCrop, TurnedFrameTurnsThePartFirst)
{
    CropParts f;
    f.shrinkFrame(1);
    f.turnFrame(1, -0.2); // clockwise, so that the mouse stays in the pane
    ASSERT_NEAR(f.ws.side(1).crop.frame.angle, -0.2, 0.01);
    f.ws.doubleClick({383, 175});
    ASSERT_EQ(f.ws.side(1).cropHistory.size(), 1u);
    EXPECT_NEAR(f.ws.side(1).cropHistory[0].angle, -0.2, 0.01);
    // The part was turned upright under the frame, then cut to the frame's size.
    EXPECT_NEAR(f.ws.side(1).workingCopy.header().width, 205, 1);
    EXPECT_NEAR(f.ws.side(1).workingCopy.header().height, 301, 1);
}

} // namespace
} // namespace tandemscan
