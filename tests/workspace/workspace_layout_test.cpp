// The workspace's panes, its placement limits and its plain queries.
#include "recording_host.h"
#include "workspace/merge_workspace.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

struct Fixture : testing::WorkspaceFixture {
    void load(Side side, int width, int height) {
        ASSERT_TRUE(WorkspaceFixture::load(side, width, height)) << host.lastMessage();
    }
};

TEST(WorkspaceLayout, StartsEmptyAtFullSizeWithNoTool) {
    Fixture f;
    EXPECT_FALSE(f.ws.holdsPart(Side::Left));
    EXPECT_FALSE(f.ws.holdsPart(Side::Right));
    EXPECT_EQ(f.ws.zoomIndex(), 0);
    EXPECT_EQ(f.ws.mode(), ToolMode::None);
    EXPECT_EQ(f.ws.modeFlags(), ModeFlags{});
    ASSERT_EQ(f.host.states.size(), 1u);
    EXPECT_EQ(f.host.states[0], std::make_pair(256, 0));
    EXPECT_EQ(f.ws.side(Side::Left).paneRect, (Rect{0, 0, 255, 351}));
    EXPECT_EQ(f.ws.side(Side::Right).paneRect, (Rect{256, 0, 511, 351}));
    EXPECT_EQ(f.ws.workingBitsPerPixel(), 0);
}

TEST(WorkspaceLayout, PointsBelongToThePaneThatHoldsThem) {
    Fixture f;
    const struct {
        Point p;
        std::optional<Side> side;
    } cases[] = {
        {{0, 0}, Side::Left},      {{254, 350}, Side::Left},
        {{255, 10}, std::nullopt}, // the column between the panes
        {{256, 10}, Side::Right},  // the divider's column is the right pane's
        {{510, 0}, Side::Right},   {{511, 0}, std::nullopt},
        {{10, 351}, std::nullopt}, {{-1, 5}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(f.ws.sideAt(c.p), c.side) << c.p.x << "," << c.p.y;
}

TEST(WorkspaceLayout, OffsetsStayWithinTheirLimits) {
    const struct {
        Side side;
        int width;
        int height;
        int dx;
        int dy;
        int offsetX;
        int offsetY;
    } cases[] = {
        // The left part only goes right, across the seam, until 10 pixels are left.
        {Side::Left, 200, 100, 500, 0, -190, 0},
        {Side::Left, 200, 100, -50, 0, 0, 0},
        // The right part only goes left.
        {Side::Right, 200, 100, -500, 0, 190, 0},
        {Side::Right, 200, 100, 50, 0, 0, 0},
        // Up and down: 10 pixels stay in a 351-pixel pane.
        {Side::Left, 200, 100, 0, 1000, 0, -341},
        {Side::Right, 200, 100, 0, -1000, 0, 90},
        // A part narrower than the 10 pixels that must stay: the second bound wins.
        {Side::Left, 6, 100, 30, 0, 4, 0},
        {Side::Left, 6, 100, -30, 0, 4, 0},
        {Side::Right, 6, 100, -30, 0, -4, 0},
        {Side::Right, 6, 100, 30, 0, -4, 0},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.load(c.side, c.width, c.height);
        f.drag(c.side, c.dx, c.dy);
        EXPECT_EQ(f.ws.side(c.side).view.offsetX, c.offsetX)
            << sideCode(c.side) << " " << c.width << " " << c.dx;
        EXPECT_EQ(f.ws.side(c.side).view.offsetY, c.offsetY)
            << sideCode(c.side) << " " << c.height << " " << c.dy;
    }
}

TEST(WorkspaceLayout, PartsAreAnchoredAtTheSeam) {
    Fixture f;
    f.load(Side::Left, 200, 100);
    f.load(Side::Right, 180, 90);
    EXPECT_EQ(f.ws.side(Side::Left).partRect(), (Rect{55, 0, 255, 100}));
    EXPECT_EQ(f.ws.side(Side::Right).partRect(), (Rect{256, 0, 436, 90}));
    f.drag(Side::Left, 30, 7);
    EXPECT_EQ(f.ws.side(Side::Left).partRect(), (Rect{85, 7, 285, 107}));
}

TEST(WorkspaceLayout, ModifiedOnlyCountsWithBothParts) {
    Fixture f;
    f.load(Side::Left, 200, 100);
    f.drag(Side::Left, 5, 0);
    EXPECT_FALSE(f.ws.isModified(false));
    f.load(Side::Right, 200, 100);
    EXPECT_TRUE(f.ws.isModified(false));
    EXPECT_FALSE(f.ws.isModified(true));
    EXPECT_FALSE(f.ws.isModified(false));
    f.drag(Side::Right, -5, 0);
    EXPECT_TRUE(f.ws.isModified(false));
}

} // namespace
} // namespace tandemscan
