// The join by picture content as the palette runs it: the turn as a rotate edit, the panes laid
// out from the placement, undo and redo, refusals, and what ends the placement.
#include "recording_host.h"

#include <array>
#include <functional>
#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using testing::makeImage;
using testing::ppm60;
using testing::TwoPartsFixture;

// Parts of 200 x 300 at 60 dpi: working copy = original, one screen pixel per pixel, so the
// expected offsets follow from the placement in plain pixels.
constexpr ContentPlacement turnedMatch{true, 0.5, 150.4, -6.2, 0.9};

struct JoinFixture : TwoPartsFixture {
    JoinFixture() : TwoPartsFixture(200, 300) {
        ws.setContentEstimator([this](const PartPixels& left, const PartPixels& right, std::string* why) {
            ++estimates;
            seenWidths = {left.header.header.width, right.header.header.width};
            if (!answer && why != nullptr) *why = reason;
            return answer;
        });
    }
    // The right part's top-left pixel as shown: (x % 256, y % 256) of the original pixel there.
    std::array<int, 2> rightTopLeft() const {
        const ImageRecord& w = ws.side(Side::Right).workingCopy;
        const std::uint8_t* top = w.pixels().data() + static_cast<std::size_t>(w.header().height - 1) *
                                                          PixelTools::rowStride(w.header().width, 24);
        return {top[0], top[1]};
    }
    std::array<int, 4> offsets() const {
        return {ws.side(Side::Left).view.offsetX, ws.side(Side::Left).view.offsetY,
                ws.side(Side::Right).view.offsetX, ws.side(Side::Right).view.offsetY};
    }
    std::size_t halfTurns() const {
        return ws.side(Side::Left).cropHistory.size() + ws.side(Side::Right).cropHistory.size();
    }
    bool join() { return ws.toolCommand(ToolCommand::ContentJoin, false); }

    std::optional<ContentPlacement> answer = turnedMatch;
    std::string reason;
    int estimates = 0;
    std::array<int, 2> seenWidths{};
};

constexpr std::array<int, 2> upright{0, 0};
constexpr std::array<int, 2> turned{199, 299 % 256};

TEST(WorkspaceContentJoin, TurnsTheRightPartAndShowsItPlaced) {
    JoinFixture f;
    ASSERT_TRUE(f.join());
    EXPECT_EQ(f.estimates, 1);
    EXPECT_EQ(f.seenWidths, (std::array<int, 2>{200, 200}));
    // The half turn is the rotate edit; the placement kept is that of the turned part.
    EXPECT_EQ(f.rightTopLeft(), turned);
    ASSERT_EQ(f.ws.side(Side::Right).cropHistory.size(), 1u);
    EXPECT_EQ(f.ws.side(Side::Right).cropHistory[0].kind, kEditHalfTurn);
    EXPECT_EQ(f.ws.contentPlacement(), (ContentPlacement{false, 0.5, 150.4, -6.2, 0.9}));
    EXPECT_EQ(f.ws.lastEdit(), EditKind::ContentJoin);
    EXPECT_FALSE(f.ws.joinedImage().empty());
    EXPECT_TRUE(f.ws.isModified(false));
    EXPECT_GT(f.host.waits, 0);
    EXPECT_EQ(f.host.waitDepth, 0);
    // The seam, mid-overlap at column 174.05 of the left part, lies on the left pane's edge; the
    // right part's seam point (24.95, 149.28) starts the right pane on the seam row (143.29).
    EXPECT_EQ(f.offsets(), (std::array<int, 4>{174 - 200, 0, 25, 6}));
    const std::optional<ContentScreenMap> map = f.ws.contentScreenMap();
    ASSERT_TRUE(map);
    EXPECT_NEAR(map->originX, 255 - 174 + 1 + 150.4, 1e-9); // the left part starts at x = 81
    EXPECT_NEAR(map->originY, -6.2, 1e-9);
    EXPECT_DOUBLE_EQ(map->angleDeg, 0.5);
    // At 200 % the same seam is laid out again at two screen pixels per pixel.
    f.ws.zoomTo(4);
    EXPECT_EQ(f.offsets(), (std::array<int, 4>{348 - 400, 0, 50, 12}));
    EXPECT_NEAR(f.ws.contentScreenMap()->originX, 255 - 348 + 1 + 300.8, 1e-9);
}

TEST(WorkspaceContentJoin, UndoRestoresThePlacementBeforeAndRedoJoinsAgain) {
    JoinFixture f;
    f.drag(Side::Right, -30, 10);
    const std::array<int, 4> before = f.offsets();
    ASSERT_EQ(before, (std::array<int, 4>{0, 0, 30, -10}));
    ASSERT_TRUE(f.join());
    const std::array<int, 4> joined = f.offsets();
    const struct {
        void (MergeWorkspace::*step)();
        bool stands;
        std::array<int, 4> offsets;
        std::array<int, 2> topLeft;
        std::size_t halfTurns;
    } steps[] = {
        {&MergeWorkspace::undo, false, before, upright, 2},
        {&MergeWorkspace::redo, true, joined, turned, 3},
        {&MergeWorkspace::undo, false, before, upright, 4},
    };
    for (const auto& s : steps) {
        (f.ws.*s.step)();
        EXPECT_EQ(f.ws.contentPlacement().has_value(), s.stands);
        EXPECT_EQ(f.ws.contentScreenMap().has_value(), s.stands);
        EXPECT_EQ(f.offsets(), s.offsets);
        EXPECT_EQ(f.rightTopLeft(), s.topLeft);
        EXPECT_EQ(f.ws.side(Side::Right).cropHistory.size(), s.halfTurns);
    }
    EXPECT_EQ(f.estimates, 1); // redo does not estimate again
}

TEST(WorkspaceContentJoin, SavingReplaysTheTurnAsAManualOne) {
    JoinFixture f;
    ASSERT_TRUE(f.join());
    const std::string path = (f.files.folder() / "right.img").string();
    ASSERT_TRUE(f.ws.saveSingle(Side::Right, path));
    ImageRecord saved = testing::readImageFile(path);
    EXPECT_EQ(saved.pixels()[saved.pixels().size() - 600], 199); // top row, first pixel
    EXPECT_TRUE(f.ws.side(Side::Right).cropHistory.empty());
    // Taken back after the save: the next save turns the original back.
    f.ws.undo();
    ASSERT_TRUE(f.ws.saveSingle(Side::Right, path));
    saved = testing::readImageFile(path);
    EXPECT_EQ(saved.pixels()[saved.pixels().size() - 600], 0);
    EXPECT_EQ(f.ws.contentPlacement(), std::nullopt);
}

TEST(WorkspaceContentJoin, RefusalsChangeNothing) {
    const struct {
        const char* name;
        std::function<void(JoinFixture&)> arrange;
        int estimates;
        const char* message; // nullptr: none
    } cases[] = {
        {"reason as a sentence",
         [](JoinFixture& f) {
             f.answer.reset();
             f.reason = "the overlap is blank paper";
         },
         1, "The overlap is blank paper."},
        {"no reason given", [](JoinFixture& f) { f.answer.reset(); }, 1,
         "The parts cannot be joined by their content."},
        {"left part locked", [](JoinFixture& f) { f.ws.toggleLock(Side::Left); }, 0,
         "This image has been locked!"},
        {"right part locked", [](JoinFixture& f) { f.ws.toggleLock(Side::Right); }, 0,
         "This image has been locked!"},
        {"one part only", [](JoinFixture& f) { f.ws.clearSide(Side::Left); }, 0, nullptr},
    };
    for (const auto& c : cases) {
        JoinFixture f;
        f.drag(Side::Right, -30, 10);
        c.arrange(f);
        const std::array<int, 4> before = f.offsets();
        const EditKind lastEdit = f.ws.lastEdit();
        f.host.clear();
        EXPECT_FALSE(f.join()) << c.name;
        EXPECT_EQ(f.estimates, c.estimates) << c.name;
        EXPECT_EQ(f.host.lastMessage(), c.message != nullptr ? c.message : "") << c.name;
        EXPECT_EQ(f.offsets(), before) << c.name;
        EXPECT_EQ(f.ws.lastEdit(), lastEdit) << c.name;
        EXPECT_EQ(f.halfTurns(), 0u) << c.name;
        EXPECT_EQ(f.ws.contentPlacement(), std::nullopt) << c.name;
        EXPECT_TRUE(f.ws.joinedImage().empty()) << c.name;
    }
}

TEST(WorkspaceContentJoin, ManualPlacementEndsItAndKeepsTheTurn) {
    const struct {
        const char* name;
        std::function<void(JoinFixture&)> act;
        bool stands;
    } cases[] = {
        {"move by mouse", [](JoinFixture& f) { f.drag(Side::Right, 5, 0); }, false},
        {"move by arrow key",
         [](JoinFixture& f) {
             f.ws.selectTool(ToolMode::Move, true);
             f.ws.mousePress({300, 100}, {});
             f.ws.mouseRelease({300, 100});
             f.ws.arrowKey(ArrowKey::Up);
         },
         false},
        {"united flags",
         [](JoinFixture& f) {
             f.ws.selectTool(ToolMode::Flags, true);
             f.click({225, 120});
             f.click({300, 100});
             f.ws.selectTool(ToolMode::UniteFlags, false);
         },
         false},
        {"exchange", [](JoinFixture& f) { f.ws.exchange(); }, false},
        {"choosing the move tool", [](JoinFixture& f) { f.ws.selectTool(ToolMode::Move, true); }, true},
        {"click without moving",
         [](JoinFixture& f) {
             f.ws.selectTool(ToolMode::Move, true);
             f.click({300, 100});
         },
         true},
        {"zoom", [](JoinFixture& f) { f.ws.zoomTo(2); }, true},
        {"lock", [](JoinFixture& f) { f.ws.toggleLock(Side::Right); }, true},
        {"preview", [](JoinFixture& f) { f.ws.composePreview(); }, true},
    };
    for (const auto& c : cases) {
        JoinFixture f;
        ASSERT_TRUE(f.join());
        c.act(f);
        EXPECT_EQ(f.ws.contentPlacement().has_value(), c.stands) << c.name;
        EXPECT_EQ(f.ws.contentScreenMap().has_value(), c.stands) << c.name;
        EXPECT_EQ(f.halfTurns(), 1u) << c.name;
    }
}

} // namespace
} // namespace tandemscan
