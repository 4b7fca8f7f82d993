// The crop tool through the model: frames on entering the tool, drags, normalising on release,
// applying upright and turned frames to the working copy, and undoing a crop.
#include "recording_host.h"

#include <cmath>
#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using testing::makeImage;
using testing::WorkspaceFixture;

// Parts that fill their panes at one screen pixel per working pixel.
struct CropParts : testing::TwoPartsFixture {
    CropParts() {
        ws.selectTool(ToolMode::Crop, true);
        host.clear();
    }
    void dragFrom(Point from, Point to) {
        ws.mousePress(from, {});
        ws.mouseMove(to, true, {});
        ws.mouseRelease(to);
    }
    // Pulls the new frame's top-left corner in by 10, to (30, 30) within the pane.
    void shrinkFrame(Side side) {
        const int left = ws.side(side).paneRect.left;
        dragFrom({left + 25, 25}, {left + 35, 35});
    }
    // Turns a side's (shrunk) frame counter-clockwise by about `radians`, grabbing it outside its
    // upper-left corner and sweeping along a circle about the pivot.
    void turnFrame(Side side, double radians) {
        const Point from{ws.side(side).paneRect.left + 15, 15};
        ws.mousePress(from, {});
        ASSERT_EQ(ws.cropHit(), CropRotateUpperLeft);
        const Point pivot = ws.cropFrame(side).frame.pivot();
        const double r = std::hypot(from.x - pivot.x, from.y - pivot.y);
        const double a = std::atan2(pivot.y - from.y, from.x - pivot.x) + radians;
        const Point to{static_cast<int>(std::lround(pivot.x + r * std::cos(a))),
                       static_cast<int>(std::lround(pivot.y - r * std::sin(a)))};
        ws.mouseMove(to, true, {});
        ws.mouseRelease(to);
    }
};

TEST(WorkspaceCrop, EnteringTheToolPutsAFrameOnEachPart) {
    CropParts f;
    EXPECT_TRUE(f.ws.cropFrame(Side::Left).active);
    EXPECT_EQ(f.ws.cropFrame(Side::Left).frame.rect(), (Rect{20, 20, 235, 331}));
    EXPECT_EQ(f.ws.cropFrame(Side::Left).frame.pivot(), (Point{127, 175}));
    EXPECT_EQ(f.ws.cropFrame(Side::Right).frame.rect(), (Rect{276, 20, 491, 331}));
    f.ws.selectTool(ToolMode::Crop, false);
    EXPECT_FALSE(f.ws.cropFrame(Side::Left).active);
    EXPECT_FALSE(f.host.timerRunning[0]);
}

TEST(WorkspaceCrop, FrameIsNormalisedOnRelease) {
    CropParts f;
    f.ws.mousePress({240, 100}, {}); // the right edge band
    ASSERT_EQ(f.ws.cropHit(), CropRight);
    f.ws.mouseMove({100, 100}, true, {});
    f.ws.mouseMove({2, 100}, true, {});
    EXPECT_LT(f.ws.cropFrame(Side::Left).frame.right, f.ws.cropFrame(Side::Left).frame.left);
    f.ws.mouseRelease({2, 100});
    EXPECT_EQ(f.ws.cropFrame(Side::Left).frame.rect(), (Rect{-3, 20, 20, 331}));
}

TEST(WorkspaceCrop, PivotDraggedOutOfThePaneSpringsBack) {
    CropParts f;
    f.ws.mousePress({137, 175}, {}); // 10 pixels right of the pivot still grabs it
    ASSERT_EQ(f.ws.cropHit(), CropPivot);
    f.ws.mouseMove({100, 180}, true, {});
    EXPECT_EQ(f.ws.cropFrame(Side::Left).frame.pivot(), (Point{90, 180}));
    f.ws.mouseMove({5, 180}, true, {}); // would put the pivot at x = -5
    EXPECT_EQ(f.ws.cropFrame(Side::Left).frame.pivot(), (Point{90, 180}));
}

TEST(WorkspaceCrop, UprightFrameCutsTheWorkingCopy) {
    CropParts f;
    f.dragFrom({60, 60}, {90, 80}); // move the frame by (30, 20): (50, 40, 265, 351)
    const Rect frame = f.ws.cropFrame(Side::Left).frame.rect();
    ASSERT_EQ(frame, (Rect{50, 40, 265, 351}));
    f.ws.doubleClick({150, 150});
    EXPECT_FALSE(f.ws.cropFrame(Side::Left).active);
    const ImageHeader& h = f.ws.side(Side::Left).workingCopy.header();
    EXPECT_EQ(h.width, 205); // what of the frame lies on the part
    EXPECT_EQ(h.height, 311);
    ASSERT_EQ(f.ws.side(Side::Left).cropHistory.size(), 1u);
    const EditEntry& e = f.ws.side(Side::Left).cropHistory[0];
    EXPECT_EQ(e.kind, 6);
    EXPECT_EQ(e.angle, 0.0);
    EXPECT_EQ(e.left, frame.left);
    EXPECT_EQ(e.top, frame.top);
    // The cut keeps the part's own pixels: the top-left is what was at (left, top).
    EXPECT_EQ(f.ws.side(Side::Left).workingCopy.pixels()[(h.height - 1) * PixelTools::rowStride(h.width, 24)],
              frame.left % 256);
    EXPECT_EQ(f.ws.lastEdit(), EditKind::Crop);
    EXPECT_EQ(f.host.waitDepth, 0);
    // The right frame is still open, so the crop tool stays on.
    EXPECT_TRUE(f.ws.modeFlags().crop);
    EXPECT_FALSE(f.sent(48, 0));
    f.ws.doubleClick({300, 150});
    EXPECT_TRUE(f.sent(48, 0));
    EXPECT_FALSE(f.ws.modeFlags().crop);
}

TEST(WorkspaceCrop, UndoingACropBringsThePartBackAndRedoCutsAgain) {
    CropParts f;
    f.ws.doubleClick({150, 150});
    ASSERT_EQ(f.ws.side(Side::Left).workingCopy.header().width, 215);
    f.ws.undo();
    EXPECT_EQ(f.ws.side(Side::Left).workingCopy.header().width, 255);
    EXPECT_TRUE(f.ws.side(Side::Left).cropHistory.empty());
    EXPECT_TRUE(f.ws.cropFrame(Side::Left).active); // the tool is still on: a frame again
    f.ws.redo();
    EXPECT_EQ(f.ws.side(Side::Left).workingCopy.header().width, 215);
    EXPECT_EQ(f.ws.side(Side::Left).cropHistory.size(), 1u);
}

TEST(WorkspaceCrop, FrameOutsideThePartCutsNothing) {
    WorkspaceFixture f;
    ASSERT_TRUE(f.load(Side::Left, 100, 100)); // shown at x 155..255, y 0..100
    f.ws.selectTool(ToolMode::Crop, true);
    // Move the frame down below the part.
    f.ws.mousePress({60, 60}, {});
    f.ws.mouseMove({60, 90}, true, {});
    f.ws.mouseMove({60, 200}, true, {});
    f.ws.mouseMove({60, 300}, true, {});
    f.ws.mouseRelease({60, 300});
    f.ws.mousePress({60, 300}, {});
    f.ws.mouseRelease({60, 300});
    ASSERT_GE(f.ws.cropFrame(Side::Left).frame.top, 100);
    f.ws.rotateSide(Side::Left);
    f.ws.doubleClick({60, 300});
    EXPECT_FALSE(f.ws.cropFrame(Side::Left).active);
    EXPECT_EQ(f.ws.side(Side::Left).workingCopy.header().width, 100);
    ASSERT_EQ(f.ws.side(Side::Left).cropHistory.size(), 1u); // the half turn only
    EXPECT_EQ(f.ws.side(Side::Left).cropHistory[0].kind, 4);
    EXPECT_EQ(f.ws.lastEdit(), EditKind::None); // a rotation by hand is not an undoable tool edit
    EXPECT_EQ(f.host.waitDepth, 0);             // a crop that cuts nothing ends its wait too
}

TEST(WorkspaceCrop, SmallTurnsStraightenTheWorkingCopyByTheFramesAngle) {
    // The parts' blue channel is their column number, so turning clockwise by the angle a brings
    // lower columns to the top: (rows - 1) * sin(a) less at the top of a column of the cut than at
    // its bottom. Whole degrees, or ignoring turns below a few degrees, would give 0 or about 5.
    for (const double radians : {0.01, -0.01, 0.004, -0.02}) {
        CropParts f;
        const Side s = radians > 0 ? Side::Left : Side::Right;
        f.shrinkFrame(s);
        f.turnFrame(s, radians);
        const double angle = f.ws.cropFrame(s).frame.angle;
        ASSERT_NEAR(angle, radians, 0.002);
        const Rect pane = f.ws.side(s).paneRect;
        f.ws.doubleClick({(pane.left + pane.right) / 2, 150});
        ASSERT_EQ(f.ws.side(s).cropHistory.size(), 1u);
        EXPECT_EQ(f.ws.side(s).cropHistory[0].angle, angle) << "recorded for the original as it is";
        const ImageHeader& h = f.ws.side(s).workingCopy.header();
        const auto px = f.ws.side(s).workingCopy.pixels();
        const std::uint32_t stride = PixelTools::rowStride(h.width, 24);
        const std::size_t column = 3 * static_cast<std::size_t>(h.width / 2);
        const int top = px[(h.height - 1) * stride + column];
        const int bottom = px[column];
        EXPECT_NEAR(bottom - top, (h.height - 1) * std::sin(angle), 1.0) << radians;
    }
}

TEST(WorkspaceCrop, TurnedFrameTurnsThePartFirst) {
    CropParts f;
    f.shrinkFrame(Side::Right);
    f.turnFrame(Side::Right, -0.12); // clockwise, so that the mouse stays in the pane
    ASSERT_NEAR(f.ws.cropFrame(Side::Right).frame.angle, -0.12, 0.01);
    f.ws.doubleClick({383, 175});
    ASSERT_EQ(f.ws.side(Side::Right).cropHistory.size(), 1u);
    EXPECT_NEAR(f.ws.side(Side::Right).cropHistory[0].angle, -0.12, 0.01);
    // The part was turned upright under the frame, then cut to the frame's size.
    EXPECT_NEAR(f.ws.side(Side::Right).workingCopy.header().width, 205, 1);
    EXPECT_NEAR(f.ws.side(Side::Right).workingCopy.header().height, 301, 1);
}

} // namespace
} // namespace tandemscan
