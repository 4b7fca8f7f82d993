// The move tool: a press picks the side to move, a drag or an arrow key shifts it (Shift keeps
// it level, Ctrl keeps it at its height), and the press records the move for undo. The side
// being moved is the one whose PartView says it is dragging.
#pragma once

#include "engine/side.h"
#include "workspace/geometry.h"

namespace tandemscan {

class MergeWorkspace;
struct Modifiers;

class MoveTool {
  public:
    explicit MoveTool(MergeWorkspace& ws) : ws_(ws) {}

    void press(Side s, Point p);
    // Follows a drag on side s from last to p; false when s is not the side being moved.
    bool drag(Side s, Point p, Point last, Modifiers m);
    // Shifts the side being moved by one pixel; false when none is.
    bool nudge(int dx, int dy);
    // No side is being moved any more.
    void clearTargets();
    // Shifts side s by (dx, dy) screen pixels.
    void moveSide(Side s, int dx, int dy);

  private:
    MergeWorkspace& ws_;
};

} // namespace tandemscan
