// The move tool.
#include "workspace/move_tool.h"

#include "workspace/merge_workspace.h"

namespace tandemscan {

void MoveTool::press(Side s, Point p) {
    PaneSide& side = ws_.sides_[s];
    side.view.dragging = true;
    ws_.sides_[other(s)].view.dragging = false;
    ws_.lastEdit_.record(EditKind::Move, s);
    ws_.lastEdit_.placements = {side.placement(), Placement{}};
    side.view.dragStartX = p.x;
    side.view.dragStartY = p.y;
}

bool MoveTool::drag(Side s, Point p, Point last, Modifiers m) {
    if (!ws_.sides_[s].view.dragging) return false;
    int dx = p.x - last.x;
    int dy = p.y - last.y;
    if (m.shift)
        dx = 0;
    else if (m.ctrl)
        dy = 0;
    moveSide(s, dx, dy);
    return true;
}

bool MoveTool::nudge(int dx, int dy) {
    for (Side s : bothSides) {
        if (ws_.sides_[s].view.dragging) {
            if (!ws_.sides_[s].locked) moveSide(s, dx, dy);
            return true;
        }
    }
    return false;
}

void MoveTool::clearTargets() {
    ws_.sides_[Side::Left].view.dragging = false;
    ws_.sides_[Side::Right].view.dragging = false;
}

void MoveTool::moveSide(Side s, int dx, int dy) {
    if (dx == 0 && dy == 0) return;
    ws_.modified_ = true;
    ws_.usePaneGeometry();
    PaneSide& side = ws_.sides_[s];
    side.view.offsetX -= dx;
    side.view.offsetY -= dy;
    ws_.rerender(s);
    ws_.invalidatePane(s, true);
    ws_.host_.repaintNow();
}

} // namespace tandemscan
