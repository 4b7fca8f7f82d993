// One step of history and the pop-up menu: undo and redo of each kind of edit, the menu's
// enabling rules, Reload, the zoom items and the suspension of the tools while the menu is open.
#include "recording_host.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using testing::makeImage;
using testing::WorkspaceFixture;

struct TwoParts : testing::TwoPartsFixture {
    TwoParts() : TwoPartsFixture(200, 100, 180, 90) {}
};

constexpr Point overLeft{100, 50};
constexpr Point overRight{300, 50};

TEST(WorkspaceHistory, UndoAndRedoToggleAMove) {
    TwoParts f;
    f.drag(Side::Left, 12, 5);
    ASSERT_EQ(f.ws.side(Side::Left).view.offsetX, -12);
    f.ws.undo();
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, 0);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetY, 0);
    f.ws.undo(); // Ctrl+Z twice: back to the moved state
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, -12);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetY, -5);
    f.ws.redo();
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, 0);
}

TEST(WorkspaceHistory, MenuOffersUndoThenRedoAlternately) {
    TwoParts f;
    PopupMenuState m = f.ws.prepareMenu(overLeft);
    EXPECT_FALSE(m.undoEnabled);
    EXPECT_FALSE(m.redoEnabled);
    f.drag(Side::Left, 5, 0);
    m = f.ws.prepareMenu(overLeft);
    EXPECT_TRUE(m.undoEnabled);
    EXPECT_FALSE(m.redoEnabled);
    f.ws.menuCommand(MenuUndo, overLeft);
    m = f.ws.prepareMenu(overLeft);
    EXPECT_FALSE(m.undoEnabled);
    EXPECT_TRUE(m.redoEnabled);
    f.ws.menuCommand(MenuRedo, overLeft);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, -5);
    m = f.ws.prepareMenu(overLeft);
    EXPECT_TRUE(m.undoEnabled);
    EXPECT_FALSE(m.redoEnabled);
}

TEST(WorkspaceHistory, LockDecidesWhereUndoIsOffered) {
    const struct {
        const char* edit;
        Side lockSide;
        Point at;
        bool undo;
    } cases[] = {
        {"move left", Side::Right, overLeft, true},   // the locked part was not moved
        {"move left", Side::Right, overRight, false}, // over a locked pane nothing is offered
        {"move left", Side::Left, overRight, false},  // the moved part is locked
        {"exchange", Side::Left, overRight, false},   // an exchange concerns both parts
        {"exchange", Side::Right, overLeft, false},
        {"exchange", Side::Right, Point{255, 400}, true}, // outside the panes the rule does not look at locks
    };
    for (const auto& c : cases) {
        TwoParts f;
        if (std::string(c.edit) == "exchange")
            f.ws.exchange();
        else
            f.drag(Side::Left, 5, 0);
        f.ws.toggleLock(c.lockSide);
        EXPECT_EQ(f.ws.prepareMenu(c.at).undoEnabled, c.undo)
            << c.edit << " lock " << sideCode(c.lockSide) << " at " << c.at.x;
    }
}

TEST(WorkspaceHistory, MenuItemsFollowThePaneUnderTheClick) {
    WorkspaceFixture f;
    ASSERT_TRUE(f.load(Side::Left, 200, 100));
    PopupMenuState m = f.ws.prepareMenu(overRight); // the right pane is empty
    EXPECT_FALSE(m.lockEnabled);
    EXPECT_FALSE(m.saveSolelyEnabled);
    EXPECT_FALSE(m.reloadEnabled);
    EXPECT_TRUE(m.zoomEnabled);
    m = f.ws.prepareMenu(overLeft);
    EXPECT_TRUE(m.lockEnabled);
    EXPECT_FALSE(m.lockChecked);
    EXPECT_TRUE(m.saveSolelyEnabled);
    EXPECT_TRUE(m.reloadEnabled);
    EXPECT_EQ(f.ws.popupSide(), Side::Left);
    f.ws.menuCommand(MenuLock, overLeft);
    EXPECT_TRUE(f.ws.isLocked(Side::Left));
    m = f.ws.prepareMenu(overLeft);
    EXPECT_TRUE(m.lockChecked);
    EXPECT_FALSE(m.reloadEnabled);
    EXPECT_FALSE(m.zoomEnabled); // over a pane while a part is locked
    EXPECT_TRUE(f.ws.prepareMenu(Point{255, 400}).zoomEnabled);
}

TEST(WorkspaceHistory, ZoomItemsSetTheLevel) {
    TwoParts f;
    f.ws.menuCommand(MenuZoomFirst, overLeft); // 100 % while at 100 %: nothing
    EXPECT_EQ(f.ws.lastEdit(), EditKind::None);
    f.ws.menuCommand(MenuZoomFirst + 13, overLeft);
    EXPECT_EQ(f.ws.zoomIndex(), 13);
    EXPECT_EQ(f.ws.prepareMenu(overLeft).zoomChecked, 13);
    EXPECT_EQ(f.ws.lastEdit(), EditKind::Zoom);
    f.ws.undo();
    EXPECT_EQ(f.ws.zoomIndex(), 0);
    f.ws.redo();
    EXPECT_EQ(f.ws.zoomIndex(), 13);
}

TEST(WorkspaceHistory, ClearedPartComesBackWithUndo) {
    TwoParts f;
    f.ws.rotateSide(Side::Right);
    f.ws.clearSide(Side::Right);
    EXPECT_FALSE(f.ws.holdsPart(Side::Right));
    f.host.clear();
    f.ws.undo();
    ASSERT_TRUE(f.ws.holdsPart(Side::Right));
    EXPECT_EQ(f.ws.side(Side::Right).workingCopy.header().width, 180);
    EXPECT_EQ(f.host.states.back(), std::make_pair(768, 0));
    EXPECT_TRUE(f.host.outputEnabled);
    EXPECT_TRUE(f.host.clearEnabled[1]);
    f.ws.redo();
    EXPECT_FALSE(f.ws.holdsPart(Side::Right));
    // The only part cleared and restored: it becomes the reference again.
    f.ws.clearSide(Side::Left);
    EXPECT_EQ(f.ws.copyPartReference(), PartReference{});
    f.ws.undo();
    EXPECT_TRUE(f.ws.holdsPart(Side::Left));
    EXPECT_EQ(f.ws.copyPartReference().colourKind, 24u);
    EXPECT_EQ(f.host.states.back(), std::make_pair(512, 0));
}

TEST(WorkspaceHistory, ReloadOfAVanishedFileChangesNothing) {
    TwoParts f;
    const std::string path = f.ws.side(Side::Left).sourcePath;
    f.drag(Side::Left, 20, 0);
    std::filesystem::remove(path);
    f.ws.menuCommand(MenuReload, overLeft);
    EXPECT_EQ(f.host.lastMessage(), "Cannot load file, file may be lost");
    EXPECT_EQ(f.host.messages.back().caption, "Error");
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, -20);
}

TEST(WorkspaceHistory, ReloadReadsThePartAgainAndUnlocksIt) {
    TwoParts f;
    f.drag(Side::Right, -20, 0);
    f.ws.rotateSide(Side::Right);
    f.ws.toggleLock(Side::Right);
    f.ws.menuCommand(MenuReload, overRight);
    EXPECT_FALSE(f.ws.isLocked(Side::Right));
    EXPECT_EQ(f.ws.side(Side::Right).view.offsetX, 0);
    EXPECT_EQ(f.ws.side(Side::Right).rotations, 0);
    EXPECT_TRUE(f.ws.side(Side::Right).cropHistory.empty());
}

TEST(WorkspaceHistory, MenuSuspendsToolsUntilTheNextPress) {
    TwoParts f;
    f.ws.selectTool(ToolMode::Move, true);
    f.ws.prepareMenu(overLeft);
    f.ws.suspendModes();
    EXPECT_FALSE(f.ws.modeFlags().move);
    EXPECT_TRUE(f.ws.modesSuspended());
    f.ws.suspendModes(); // opening it again keeps what was saved
    f.ws.mousePress(overLeft, {});
    EXPECT_TRUE(f.ws.modeFlags().move);
    EXPECT_FALSE(f.ws.modesSuspended());
    // A menu command restores them too.
    f.ws.suspendModes();
    f.ws.menuCommand(MenuZoomFirst + 1, overLeft);
    EXPECT_TRUE(f.ws.modeFlags().move);
}

TEST(WorkspaceHistory, LockedEditIsNotUndoneByTheAccelerator) {
    TwoParts f;
    f.drag(Side::Left, 12, 0);
    f.ws.toggleLock(Side::Left);
    f.host.clear();
    f.ws.undo();
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, -12);
    EXPECT_EQ(f.host.lastMessage(), "This image has been locked!");
}

} // namespace
} // namespace tandemscan
