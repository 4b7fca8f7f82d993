// The puzzle board: the picture cut into rows x cols pieces, the empty slot, the shuffle, the
// move rule, the solved test and the game clock. No drawing here: the window draws from `slots`.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tilex {

struct PictureSize {
    int width = 0;
    int height = 0;
};

// One slot as the stretch drawing takes it: the source corner in the picture's stored
// (bottom-up) row order, the destination corner in window pixels, and the piece shown.
struct SlotRecord {
    int32_t sourceX = 0;
    int32_t sourceY = 0;
    int32_t destinationX = 0;
    int32_t destinationY = 0;
    int32_t piece = 0;
    bool operator==(const SlotRecord&) const = default;
};

// Left, top inclusive; right, bottom exclusive, as window repaint rectangles are given.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const PixelRect&) const = default;
};

enum class TickResult { Counted, Overtime };

// The way pieces move on the board (the gap goes the other way).
enum class SlideDirection { Left, Right, Up, Down };

// The picture's size on screen once fitted into the board area.
PictureSize displaySize(PictureSize picture);
// Whether every piece of a rows x cols board on this picture is at least one pixel each way,
// so that it can be seen and clicked; what a game needs before it starts or is resumed.
bool pictureFitsLevel(PictureSize picture, int rows, int cols);

class Board {
  public:
    // Where the board may be drawn in the window.
    static constexpr int areaLeft = 80;
    static constexpr int areaTop = 75;
    static constexpr int areaWidth = 540;
    static constexpr int areaHeight = 455;
    static constexpr int minSide = 3;
    static constexpr int maxSide = 10;
    static constexpr int shuffleMoves = 1000;
    // At four hours on the clock the game is called off.
    static constexpr uint32_t overtimeSeconds = 4 * 3600;

    Board();

    // No picture clears the layout; the level and the order stay.
    void setPicture(std::optional<PictureSize> size);
    // Idle only: a new size gets the identity order. Sizes outside 3..10 are refused.
    bool setLevel(int rows, int cols);

    void layout();
    // Starts a game: identity order, empty slot at the bottom right, then the shuffle.
    // draw() gives any value; its remainder modulo 4 picks the direction.
    void start(const std::function<unsigned()>& draw);
    // Gives up (also after solving and overtime): back to the idle whole picture.
    void stop();
    // Takes a saved position as the running game; the caller has checked it.
    void resume(int rows, int cols, int blank, const std::vector<int32_t>& order, uint32_t elapsed);

    // The slot at a window point when it is in the empty slot's row or column (not the gap).
    int hitTest(int x, int y) const;
    // The slot a key moves: the piece next to the gap on the side the pieces come from, or for
    // a whole line the farthest piece on that side; -1 when the gap is at that edge.
    int keyTarget(SlideDirection direction, bool wholeLine) const;
    // One move: every piece from slot target up to the gap, in the gap's row or column, slides
    // one slot toward the gap and the gap ends at target. Gives the areas to repaint (none when
    // target is not in the gap's row or column). A move forgets the moves undone before it.
    std::vector<PixelRect> slide(int target);
    // Takes back the last move, or makes the last move taken back again; the same areas as slide.
    std::vector<PixelRect> undo();
    std::vector<PixelRect> redo();
    bool canUndo() const { return position_ > 0; }
    bool canRedo() const { return position_ < history_.size(); }
    // Moves made in this game and not taken back; a loaded game counts from 0.
    int moveCount() const { return static_cast<int>(position_); }
    bool isSolved() const;
    TickResult tick();

    int rows() const { return rows_; }
    int cols() const { return cols_; }
    int blank() const { return blank_; }
    bool playing() const { return playing_; }
    uint32_t elapsed() const { return elapsed_; }
    const std::vector<int32_t>& perm() const { return perm_; }
    const std::vector<SlotRecord>& slotTable() const { return slots_; }
    std::optional<PictureSize> picture() const { return picture_; }
    // The order as the slots now show it (what a saved game stores).
    std::vector<int32_t> slotOrder() const;

    int displayWidth() const { return displayWidth_; }
    int displayHeight() const { return displayHeight_; }
    int pieceWidth() const { return pieceWidth_; }
    int pieceHeight() const { return pieceHeight_; }
    int originX() const { return originX_; }
    int originY() const { return originY_; }
    // Source piece size in picture pixels.
    int sourcePieceWidth() const;
    int sourcePieceHeight() const;
    // The whole grid in window pixels (right and bottom exclusive).
    PixelRect gridRect() const;
    PixelRect slotRect(int slot) const;

  private:
    struct Move {
        int from; // the gap before the move
        int to;   // the gap after it
    };
    void resetOrder();
    void forgetMoves();
    bool inGapLine(int slot) const;
    std::vector<PixelRect> moveGapTo(int target);

    std::optional<PictureSize> picture_;
    int rows_ = 3;
    int cols_ = 3;
    std::vector<int32_t> perm_;
    int blank_ = -1;
    std::vector<SlotRecord> slots_;
    int displayWidth_ = 0;
    int displayHeight_ = 0;
    int pieceWidth_ = 0;
    int pieceHeight_ = 0;
    int originX_ = areaLeft;
    int originY_ = areaTop;
    bool playing_ = false;
    uint32_t elapsed_ = 0;
    std::vector<Move> history_;
    size_t position_ = 0;
};

// "0" + hours, then two-digit minutes and seconds: 3725 seconds read 01:02:05.
std::string clockText(uint32_t seconds);

} // namespace tilex
