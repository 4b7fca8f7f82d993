// The mouse and the keyboard in the workspace, and the cursor each tool shows.
#include "workspace/merge_workspace.h"

namespace tandemscan {

void MergeWorkspace::mousePress(Point p, Modifiers m) {
    const std::optional<Side> s = sideAt(p);
    if (s && lockRefused(*s)) return;
    if (s) pressedSide_[*s] = true;
    if (flags_.zoom && !zoom_.press(m.alt)) return;
    gridFlag_.press(s, p);
    if (flags_.rotate && s) rotate_.press(*s);
    if (flags_.adjust && s) adjust_.press(*s);
    if (flags_.move && s)
        move_.press(*s, p);
    else
        move_.clearTargets();
    if (flags_.crop) crop_.press(s, p);
    if (modesSuspended_) {
        flags_ = savedFlags_;
        modesSuspended_ = false;
    }
    lastMouse_ = p;
}

void MergeWorkspace::mouseMove(Point p, bool leftDown, Modifiers m) {
    if (host_.magnifierActive() && rectContains(clientRect(), p)) {
        host_.magnifierTrack(p);
        host_.magnifierRepaint();
    }
    const std::optional<Side> s = sideAt(p);
    if (s && sides_[*s].locked) return;
    if (!leftDown) {
        lastMouse_ = p;
        return;
    }
    if (s && gridFlag_.drag(*s, p)) {
        lastMouse_ = p;
        return;
    }
    if (s && pressedSide_[*s]) crop_.drag(*s, p, lastMouse_);
    if (s) move_.drag(*s, p, lastMouse_, m);
    lastMouse_ = p;
}

void MergeWorkspace::mouseRelease(Point p) {
    crop_.release(pressedSide_);
    (void)p;
    if (host_.magnifierActive()) host_.magnifierRepaint();
}

void MergeWorkspace::doubleClick(Point p) {
    const std::optional<Side> s = sideAt(p);
    if (!s || sides_[*s].locked || !crop_.frame(*s).active) return;
    crop_.apply(*s);
}

void MergeWorkspace::arrowKey(ArrowKey key) {
    int dx = 0;
    int dy = 0;
    switch (key) {
    case ArrowKey::Up:
        dy = -1;
        break;
    case ArrowKey::Down:
        dy = 1;
        break;
    case ArrowKey::Left:
        dx = -1;
        break;
    case ArrowKey::Right:
        dx = 1;
        break;
    default:
        return;
    }
    if (move_.nudge(dx, dy)) return;
    const std::optional<Side> s = sideAt(lastMouse_);
    if (!s || !(pressedSide_[Side::Left] || pressedSide_[Side::Right]) || sides_[*s].locked) return;
    if (!gridFlag_.nudge(*s, dx, dy)) return;
    if (host_.magnifierActive()) host_.magnifierRepaint();
}

CursorSlot MergeWorkspace::chooseCursor(Point p, bool altDown) const {
    if (flags_.move) return CursorSlot::Move;
    if (flags_.rotate) return CursorSlot::Rotate;
    if (flags_.zoom) return zoom_.cursor(altDown);
    const std::optional<Side> s = sideAt(p);
    if (flags_.crop) return crop_.cursor(s, p);
    if (flags_.adjust) return CursorSlot::Adjust;
    return gridFlag_.cursor(s, p);
}

} // namespace tandemscan
