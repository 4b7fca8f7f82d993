#include "board.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>

using namespace tilex;

namespace {

Board boardWith(int width, int height, int rows, int cols) {
    Board board;
    EXPECT_TRUE(board.setLevel(rows, cols));
    board.setPicture(PictureSize{width, height});
    return board;
}

std::vector<int32_t> identity(int count) {
    std::vector<int32_t> order(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        order[static_cast<size_t>(i)] = i;
    return order;
}

} // namespace

TEST(BoardLayout, FitsThePictureIntoTheBoardArea) {
    struct Case {
        int width, height, rows, cols;
        int displayWidth, displayHeight, originX, originY, pieceWidth, pieceHeight;
    };
    const Case cases[] = {
        {540, 455, 3, 3, 540, 455, 80, 75, 180, 151},   // exactly the area: unscaled
        {1080, 455, 3, 3, 540, 227, 80, 189, 180, 75},  // wider only: fit the width
        {100, 100, 7, 7, 100, 100, 300, 252, 14, 14},   // small: centred, remainder dropped
        {200, 1000, 3, 3, 91, 455, 304, 75, 30, 151},   // taller only: fit the height
        {2000, 1000, 4, 5, 540, 270, 80, 167, 108, 67}, // both larger, wide: fit the width
        {1000, 2000, 3, 3, 227, 455, 236, 75, 75, 151}, // both larger, tall: fit the height
        {1080, 910, 3, 3, 540, 455, 80, 75, 180, 151},  // both larger, same shape: the height wins
        {541, 456, 10, 10, 539, 455, 80, 75, 53, 45},   // both one larger, a hair taller
        {1, 1, 3, 3, 1, 1, 349, 302, 0, 0},             // smaller than the grid
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
        const Board board = boardWith(c.width, c.height, c.rows, c.cols);
        EXPECT_EQ(board.displayWidth(), c.displayWidth);
        EXPECT_EQ(board.displayHeight(), c.displayHeight);
        EXPECT_EQ(board.originX(), c.originX);
        EXPECT_EQ(board.originY(), c.originY);
        EXPECT_EQ(board.pieceWidth(), c.pieceWidth);
        EXPECT_EQ(board.pieceHeight(), c.pieceHeight);
    }
}

TEST(BoardLayout, APictureFitsALevelWhenEveryPieceHasAPixel) {
    struct Case {
        int width, height, rows, cols;
        bool fits;
    };
    const Case cases[] = {
        {540, 455, 10, 10, true},  {3, 3, 3, 3, true},        {2, 3, 3, 3, false},
        {3, 2, 3, 3, false},       {10, 10, 10, 10, true},    // unscaled: one pixel per piece
        {9, 10, 3, 10, false},     {100000, 99, 3, 3, false}, // fitted to 540 x 0
        {99, 100000, 3, 3, false},                            // fitted to 0 x 455
        {6000, 60, 3, 3, true},                               // fitted to 540 x 5
        {6000, 60, 10, 3, false},                             // half a pixel per row
        {0, 100, 3, 3, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pictureFitsLevel(PictureSize{c.width, c.height}, c.rows, c.cols), c.fits)
            << c.width << "x" << c.height << " on " << c.rows << "x" << c.cols;
}

TEST(BoardLayout, SlotsTakeSourcesBottomUpAndDestinationsRowByRow) {
    Board board = boardWith(100, 100, 7, 7);
    EXPECT_EQ(board.sourcePieceWidth(), 14);
    EXPECT_EQ(board.sourcePieceHeight(), 14);
    ASSERT_EQ(board.slotTable().size(), 49u);
    EXPECT_EQ(board.slotTable()[0], (SlotRecord{0, 84, 300, 252, 0}));
    EXPECT_EQ(board.slotTable()[8], (SlotRecord{14, 70, 314, 266, 8}));
    EXPECT_EQ(board.slotTable()[48], (SlotRecord{84, 0, 384, 336, 48}));

    // A moved piece keeps its source and takes the slot's destination.
    std::vector<int32_t> order = identity(9);
    std::swap(order[0], order[8]);
    Board game = boardWith(540, 455, 3, 3);
    game.resume(3, 3, 0, order, 0);
    EXPECT_EQ(game.slotTable()[0], (SlotRecord{360, 0, 80, 75, 8}));
    EXPECT_EQ(game.slotTable()[8], (SlotRecord{0, 302, 440, 377, 0}));
}

TEST(BoardLayout, NoPictureLeavesNoSlots) {
    Board board = boardWith(300, 200, 3, 3);
    board.setPicture(std::nullopt);
    EXPECT_TRUE(board.slotTable().empty());
    EXPECT_EQ(board.pieceWidth(), 0);
    board.setPicture(PictureSize{0, 10});
    EXPECT_FALSE(board.picture().has_value());
}

TEST(BoardLevel, AcceptsThreeToTenWhileIdle) {
    Board board = boardWith(300, 300, 3, 3);
    EXPECT_FALSE(board.setLevel(2, 5));
    EXPECT_FALSE(board.setLevel(5, 11));
    EXPECT_TRUE(board.setLevel(10, 3));
    EXPECT_EQ(board.perm(), identity(30));
    EXPECT_EQ(board.blank(), -1);
    board.start([] { return 1u; });
    EXPECT_FALSE(board.setLevel(4, 4));
    EXPECT_EQ(board.rows(), 10);
}

TEST(BoardShuffle, FixedDrawsGiveKnownBoards) {
    struct Case {
        int rows, cols;
        unsigned direction;
        int blank;
        std::vector<int32_t> order;
    };
    const Case cases[] = {
        {3, 3, 0, 2, {0, 1, 8, 3, 4, 2, 6, 7, 5}},            // up until the top, then skipped
        {3, 4, 2, 8, {0, 1, 2, 3, 4, 5, 6, 7, 11, 8, 9, 10}}, // left until the edge
        {3, 3, 1, 8, {0, 1, 2, 3, 4, 5, 6, 7, 8}},            // down from the bottom row: all skipped
        {3, 3, 3, 8, {0, 1, 2, 3, 4, 5, 6, 7, 8}},            // right from the last column: all skipped
    };
    for (const Case& c : cases) {
        Board board = boardWith(300, 300, c.rows, c.cols);
        board.start([&] { return c.direction + 4 * 1000; });
        EXPECT_TRUE(board.playing());
        EXPECT_EQ(board.blank(), c.blank);
        EXPECT_EQ(board.perm(), c.order);
    }
}

TEST(BoardShuffle, EveryDealtBoardIsSolvable) {
    std::mt19937 random(12345);
    for (int side = 3; side <= 10; side += 1) {
        for (int round = 0; round < 40; ++round) {
            const int rows = side;
            const int cols = 3 + (side + round) % 8;
            Board board = boardWith(640, 480, rows, cols);
            board.start([&] { return static_cast<unsigned>(random()); });
            const std::vector<int32_t>& perm = board.perm();
            const int count = rows * cols;
            ASSERT_EQ(perm[static_cast<size_t>(board.blank())], count - 1);
            std::vector<int32_t> sorted = perm;
            std::sort(sorted.begin(), sorted.end());
            ASSERT_EQ(sorted, identity(count));
            // Each slide is one transposition and one step of the empty slot, so the permutation's
            // parity equals the parity of the empty slot's distance from the bottom-right corner.
            int transpositions = 0;
            std::vector<int32_t> work = perm;
            for (int i = 0; i < count; ++i)
                while (work[static_cast<size_t>(i)] != i) {
                    std::swap(work[static_cast<size_t>(i)],
                              work[static_cast<size_t>(work[static_cast<size_t>(i)])]);
                    ++transpositions;
                }
            const int distance = (rows - 1 - board.blank() / cols) + (cols - 1 - board.blank() % cols);
            ASSERT_EQ(transpositions % 2, distance % 2) << rows << "x" << cols << " round " << round;
        }
    }
}

TEST(BoardHitTest, OnlySlotsInTheGapsRowOrColumn) {
    // 540 x 455 on 3 x 3: pieces 180 x 151 from (80, 75); empty slot in the centre.
    Board board = boardWith(540, 455, 3, 3);
    board.resume(3, 3, 4, {0, 1, 2, 3, 8, 5, 6, 7, 4}, 0);
    struct Case {
        int x, y, slot;
    };
    const Case cases[] = {
        {270, 80, 1},   {90, 231, 3},   {619, 231, 5}, {270, 527, 7}, // the four neighbours
        {90, 80, -1},   {619, 527, -1},                               // diagonals
        {350, 300, -1},                                               // the empty slot itself
        {79, 231, -1},  {270, 74, -1},                                // left of and above the grid
        {620, 231, -1}, {270, 529, -1},                               // at the far edges
    };
    for (const Case& c : cases)
        EXPECT_EQ(board.hitTest(c.x, c.y), c.slot) << c.x << "," << c.y;

    // Empty slot in the last column: right of the grid in its row selects nothing.
    Board edge = boardWith(100, 100, 7, 7);
    std::vector<int32_t> order = identity(49);
    std::swap(order[13], order[48]);
    edge.resume(7, 7, 13, order, 0);
    EXPECT_EQ(edge.hitTest(300 + 5 * 14 + 1, 252 + 14 + 1), 12);
    EXPECT_EQ(edge.hitTest(300 + 98, 252 + 14 + 1), -1); // the 2 unused pixel columns
    EXPECT_EQ(edge.hitTest(300 + 6 * 14 + 1, 252 + 1), 6);
    EXPECT_EQ(edge.hitTest(300 + 1, 252 + 14 + 1), 7);           // the far end of the gap's row
    EXPECT_EQ(edge.hitTest(300 + 6 * 14 + 1, 252 + 6 * 14), 48); // the bottom of its column
    EXPECT_EQ(edge.hitTest(300 + 1, 252 + 1), -1);               // neither

    Board idle = boardWith(540, 455, 3, 3);
    EXPECT_EQ(idle.hitTest(270, 80), -1);
}

TEST(BoardSlide, SwapsSourcesAndReportsBothAreas) {
    Board board = boardWith(540, 455, 3, 3);
    board.resume(3, 3, 4, {0, 1, 2, 3, 8, 5, 6, 7, 4}, 0);
    const auto dirty = board.slide(1);
    ASSERT_EQ(dirty.size(), 2u);
    EXPECT_EQ(dirty[0], (PixelRect{257, 72, 446, 232}));
    EXPECT_EQ(dirty[1], (PixelRect{257, 223, 446, 383}));
    EXPECT_EQ(board.blank(), 1);
    EXPECT_EQ(board.slotTable()[1], (SlotRecord{360, 0, 260, 75, 8}));
    EXPECT_EQ(board.slotTable()[4], (SlotRecord{180, 302, 260, 226, 1}));
    EXPECT_EQ(board.perm(), (std::vector<int32_t>{0, 8, 2, 3, 1, 5, 6, 7, 4}));
    EXPECT_EQ(board.slotOrder(), board.perm());
    EXPECT_TRUE(board.slide(1).empty()); // the empty slot onto itself
    EXPECT_TRUE(board.slide(9).empty());
}

TEST(BoardSolved, FirstSlotsInOrderIsEnough) {
    struct Case {
        std::vector<int32_t> order;
        int blank;
        bool solved;
    };
    const Case cases[] = {
        {{0, 1, 2, 3, 4, 5, 6, 7, 8}, 8, true},
        {{0, 1, 2, 3, 4, 5, 6, 8, 7}, 7, false},
        {{1, 0, 2, 3, 4, 5, 6, 7, 8}, 8, false},
    };
    for (const Case& c : cases) {
        Board board = boardWith(300, 300, 3, 3);
        board.resume(3, 3, c.blank, c.order, 0);
        EXPECT_EQ(board.isSolved(), c.solved);
    }
    Board nearly = boardWith(300, 300, 3, 3);
    nearly.resume(3, 3, 7, {0, 1, 2, 3, 4, 5, 6, 8, 7}, 0);
    ASSERT_EQ(nearly.hitTest(200 + 250, 152 + 250), 8);
    nearly.slide(8);
    EXPECT_TRUE(nearly.isSolved());
}

TEST(BoardClock, TicksUntilFourHours) {
    Board board = boardWith(300, 300, 3, 3);
    EXPECT_EQ(board.tick(), TickResult::Counted);
    EXPECT_EQ(board.elapsed(), 0u); // idle: the clock stands
    board.resume(3, 3, 8, identity(9), 14398);
    EXPECT_EQ(board.tick(), TickResult::Counted);
    EXPECT_EQ(board.elapsed(), 14399u);
    EXPECT_EQ(board.tick(), TickResult::Overtime);
    board.stop();
    EXPECT_FALSE(board.playing());
    EXPECT_EQ(board.elapsed(), 0u);
    EXPECT_EQ(board.blank(), -1);
    EXPECT_EQ(board.perm(), identity(9));
}

TEST(BoardClock, TextIsZeroHoursMinutesSeconds) {
    const std::pair<uint32_t, const char*> cases[] = {
        {0, "00:00:00"},    {5, "00:00:05"},     {59, "00:00:59"},    {60, "00:01:00"},
        {3725, "01:02:05"}, {14399, "03:59:59"}, {10400, "02:53:20"}, {36000, "010:00:00"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(clockText(seconds), text);
}

TEST(BoardKeys, TargetsFollowTheWayThePiecesMove) {
    // 4 x 4; the gap at slot 5 (row 1, col 1), at 0 (top left) and at 15 (bottom right).
    struct Case {
        int blank;
        SlideDirection direction;
        bool wholeLine;
        int target;
    };
    const Case cases[] = {
        {5, SlideDirection::Right, false, 4},  {5, SlideDirection::Left, false, 6},
        {5, SlideDirection::Down, false, 1},   {5, SlideDirection::Up, false, 9},
        {5, SlideDirection::Right, true, 4},   {5, SlideDirection::Left, true, 7},
        {5, SlideDirection::Down, true, 1},    {5, SlideDirection::Up, true, 13},
        {0, SlideDirection::Right, false, -1}, {0, SlideDirection::Down, true, -1},
        {0, SlideDirection::Left, true, 3},    {0, SlideDirection::Up, true, 12},
        {15, SlideDirection::Left, false, -1}, {15, SlideDirection::Up, true, -1},
        {15, SlideDirection::Right, true, 12}, {15, SlideDirection::Down, false, 11},
    };
    for (const Case& c : cases) {
        Board board = boardWith(400, 400, 4, 4);
        std::vector<int32_t> order = identity(16);
        std::swap(order[static_cast<size_t>(c.blank)], order[15]);
        board.resume(4, 4, c.blank, order, 0);
        EXPECT_EQ(board.keyTarget(c.direction, c.wholeLine), c.target)
            << c.blank << " " << static_cast<int>(c.direction) << " " << c.wholeLine;
    }
    Board idle = boardWith(400, 400, 4, 4);
    EXPECT_EQ(idle.keyTarget(SlideDirection::Right, false), -1);
}

TEST(BoardSlide, AWholeLineSlidesAsOneMove) {
    // 4 x 4 solved but for the gap, which sits at slot 5 (row 1, col 1): pieces 5 and 15 swapped.
    std::vector<int32_t> start = identity(16);
    std::swap(start[5], start[15]);
    struct Case {
        int target;
        int blank;
        std::vector<int32_t> order;
        size_t areas;
    };
    const Case cases[] = {
        {7, 7, {0, 1, 2, 3, 4, 6, 7, 15, 8, 9, 10, 11, 12, 13, 14, 5}, 3},   // two pieces left
        {4, 4, {0, 1, 2, 3, 15, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 5}, 2},   // one piece right
        {13, 13, {0, 1, 2, 3, 4, 9, 6, 7, 8, 13, 10, 11, 12, 15, 14, 5}, 3}, // two pieces up
        {1, 1, {0, 15, 2, 3, 4, 1, 6, 7, 8, 9, 10, 11, 12, 13, 14, 5}, 2},   // one piece down
        {10, 5, start, 0},                                                   // diagonal: nothing
        {5, 5, start, 0},                                                    // the gap itself
    };
    for (const Case& c : cases) {
        Board board = boardWith(400, 400, 4, 4);
        board.resume(4, 4, 5, start, 0);
        EXPECT_EQ(board.slide(c.target).size(), c.areas) << c.target;
        EXPECT_EQ(board.blank(), c.blank) << c.target;
        EXPECT_EQ(board.perm(), c.order) << c.target;
        EXPECT_EQ(board.slotOrder(), c.order) << c.target;
        EXPECT_EQ(board.moveCount(), c.areas == 0 ? 0 : 1) << c.target;
    }
}

TEST(BoardHistory, UndoAndRedoReplayMovesUntilSolved) {
    // 3 x 3 with the gap at slot 6 (bottom left): two whole-row moves from solved, or one
    // move of pieces 6 and 7 to the left.
    const std::vector<int32_t> start{0, 1, 2, 3, 4, 5, 8, 6, 7};
    // A step is a slot to slide to, 'u' (undo) or 'r' (redo), as negative codes.
    constexpr int u = -1, r = -2;
    struct Case {
        const char* what;
        std::vector<int> steps;
        int blank;
        int moves;
        bool solved;
        bool canRedo;
    };
    const Case cases[] = {
        {"a whole row solves", {8}, 8, 1, true, false},
        {"single steps solve", {7, 8}, 8, 2, true, false},
        {"undo then redo solves", {8, u, r}, 8, 1, true, false},
        {"undo twice, redo twice", {7, 8, u, u, r, r}, 8, 2, true, false},
        {"undo past the start does nothing", {u, u, 8}, 8, 1, true, false},
        {"redo with nothing undone does nothing", {7, r, 8}, 8, 2, true, false},
        {"a new move forgets the undone ones", {8, u, 3, r}, 3, 1, false, false},
        {"up and back down, then along", {0, 6, 8}, 8, 3, true, false},
        {"undo all the way to the deal", {0, 2, u, u}, 6, 0, false, true},
    };
    for (const Case& c : cases) {
        Board board = boardWith(300, 300, 3, 3);
        board.resume(3, 3, 6, start, 77);
        for (int step : c.steps) {
            if (step == u)
                board.undo();
            else if (step == r)
                board.redo();
            else
                ASSERT_FALSE(board.slide(step).empty()) << c.what << ": " << step;
        }
        EXPECT_EQ(board.blank(), c.blank) << c.what;
        EXPECT_EQ(board.moveCount(), c.moves) << c.what;
        EXPECT_EQ(board.isSolved(), c.solved) << c.what;
        EXPECT_EQ(board.canRedo(), c.canRedo) << c.what;
        EXPECT_EQ(board.elapsed(), 77u) << c.what; // the clock is not turned back
        if (c.moves == 0) {
            EXPECT_EQ(board.perm(), start) << c.what;
        }
    }
    // A new game, a give-up or a loaded game starts without history.
    Board board = boardWith(300, 300, 3, 3);
    board.resume(3, 3, 6, start, 0);
    board.slide(7);
    board.resume(3, 3, 6, start, 0);
    EXPECT_FALSE(board.canUndo());
    EXPECT_TRUE(board.undo().empty());
    EXPECT_EQ(board.moveCount(), 0);
}
