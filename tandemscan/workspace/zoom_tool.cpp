// The zoom tool.
#include "workspace/zoom_tool.h"

#include "workspace/merge_workspace.h"

#include <algorithm>
#include <cstdlib>

namespace tandemscan {

bool ZoomTool::press(bool altDown) {
    if (ws_.eitherLocked()) {
        ws_.showLockMessage();
        return false;
    }
    step(altDown ? -1 : 1);
    return true;
}

void ZoomTool::step(int direction) {
    if (ws_.eitherLocked()) {
        ws_.showLockMessage();
        return;
    }
    const int index = ws_.zoomIndex_ + (direction > 0 ? 1 : -1);
    if (index >= 0 && index < static_cast<int>(zoomTable.size())) zoomTo(index);
}

// Alt+click is taken by many window managers (it moves the window), so the wheel and the keys
// reach the zoom too.
bool ZoomTool::wheel(int notches, Modifiers m) {
    if (notches == 0 || !(ws_.flags_.zoom || m.ctrl) || !ws_.holdsAnyPart()) return false;
    if (ws_.eitherLocked()) {
        ws_.showLockMessage();
        return true;
    }
    for (int n = std::abs(notches); n > 0; --n)
        step(notches);
    return true;
}

bool ZoomTool::key(int direction) {
    if (!ws_.flags_.zoom) return false;
    step(direction);
    return true;
}

void ZoomTool::altChanged(bool altDown) {
    ws_.host_.setCursor(cursor(altDown));
}

CursorSlot ZoomTool::cursor(bool altDown) const {
    if (altDown) return ws_.zoomIndex_ >= 1 ? CursorSlot::ZoomOut : CursorSlot::ZoomLimit;
    return ws_.zoomIndex_ < 13 ? CursorSlot::ZoomIn : CursorSlot::ZoomLimit;
}

void ZoomTool::zoomTo(int index) {
    const int old = ws_.zoomIndex_;
    ws_.zoomIndex_ = std::clamp(index, 0, static_cast<int>(zoomTable.size()) - 1);
    apply(old);
}

void ZoomTool::apply(int oldIndex) {
    WaitCursor wait(ws_.host_);
    ws_.applyZoomScale();
    for (Side s : bothSides) {
        if (!ws_.sides_[s].holdsPart) continue;
        if (ws_.adjust_.leavesAlone(s)) continue;
        // Not a new edit while it is the last one toggled: undoing a zoom zooms too.
        ws_.lastEdit_.kind = EditKind::Zoom;
        ws_.lastEdit_.zoomIndex = oldIndex;
        ++ws_.sides_[s].renderCount;
        ws_.rerender(s);
    }
    if (ws_.contentPlacement_) ws_.contentJoin_.layout();
}

} // namespace tandemscan
