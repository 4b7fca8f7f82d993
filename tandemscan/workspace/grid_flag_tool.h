// The grid and flag tools: a crosshair on each pane, the flags set on a part (on its crosshair
// or by a click), and their union, which shifts the parts so that the two flags' tips meet. They
// are one object because a flag rides on its crosshair: the grid places the flags, a dragged
// crosshair carries its flag along, and leaving one tool takes the other's marks away.
#pragma once

#include "engine/side.h"
#include "workspace/geometry.h"
#include "workspace/tool_codes.h"

#include <cstdint>
#include <optional>

namespace tandemscan {

class MergeWorkspace;

struct GridCross {
    bool shown = false;
    std::uint8_t grab = 0; // 16 crossing point, 2 vertical line, 1 horizontal line, 0 nothing
    int x = 0;
    int y = 0;
    int drawnX = 0;
    int drawnY = 0;
};

inline constexpr int flagWidth = 32;

// The left flag's tip is at (x + 32, y), the right flag's at (x, y).
struct FlagMarker {
    bool placed = false;
    bool onGrid = false;
    int x = 0;
    int y = 0;
    int drawnX = 0;
    int drawnY = 0;

    Rect rect() const { return Rect{x, y - 16, x + 32, y + 16}; }
    int tipX(Side s) const { return s == Side::Left ? x + flagWidth : x; }
};
// The x of a side's flag whose tip is at tipX.
inline int flagXForTip(Side s, int tipX) {
    return s == Side::Left ? tipX - flagWidth : tipX;
}

class GridFlagTool {
  public:
    explicit GridFlagTool(MergeWorkspace& ws) : ws_(ws) {}

    const GridCross& crosshair(Side s) const { return grids_[s]; }
    const FlagMarker& flag(Side s) const { return flags_[s]; }

    // The palette switched the grid or the flag tool on or off.
    void setGrid(bool on);
    void setFlags(bool on);
    // The tool mode goes from `from` (Grid or Flags) to `to`: the marks the new tool does not
    // keep are taken away.
    void leave(ToolMode from, ToolMode to);
    // Unites the flags: the edit recorded first, then the parts shifted.
    void uniteAsEdit();

    // A press grabs a crosshair's line or crossing point; with the flag tool it sets the flag of
    // the side pressed unless it grabbed that side's crosshair.
    void press(std::optional<Side> s, Point p);
    // Drags side s's grabbed crosshair to p; false when nothing was grabbed there.
    bool drag(Side s, Point p);
    // An arrow key nudges side s's grabbed crosshair; false when none was grabbed.
    bool nudge(Side s, int dx, int dy);
    // The cursor over p with the grid or the flag tool on (the arrow elsewhere).
    CursorSlot cursor(std::optional<Side> s, Point p) const;
    // The side's part went away: its crosshair and flag go with it.
    void clearSide(Side s);

  private:
    void showCrosshairs(bool on);
    void eraseCrosshair(Side s);
    void removeFlag(Side s);
    void removeFlags();
    void placeFlagsFromGrid(bool on);
    void reportFlags();
    void unite();

    MergeWorkspace& ws_;
    SidePair<GridCross> grids_;
    SidePair<FlagMarker> flags_;
};

} // namespace tandemscan
