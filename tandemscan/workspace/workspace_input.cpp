// The mouse and the keyboard in the workspace, and the cursor each tool shows.
#include "workspace/merge_workspace.h"

#include <cstdlib>

namespace tandemscan {

namespace {

constexpr int gridReach = 4;

// The crossing point of a crosshair as a grab code for p: 16, 2, 1 or 0.
std::uint8_t gridGrabAt(const GridCross& g, Point p) {
    const bool nearX = std::abs(p.x - g.x) <= gridReach;
    const bool nearY = std::abs(p.y - g.y) <= gridReach;
    if (nearX && nearY) return 16;
    if (nearX) return 2;
    if (nearY) return 1;
    return 0;
}

} // namespace

void MergeWorkspace::zoomStep(int direction) {
    if (eitherLocked()) {
        showLockMessage();
        return;
    }
    const int index = zoomIndex_ + (direction > 0 ? 1 : -1);
    if (index >= 0 && index < static_cast<int>(zoomTable.size())) zoomTo(index);
}

// Alt+click is taken by many window managers (it moves the window), so the wheel and the keys
// reach the zoom too.
bool MergeWorkspace::wheel(int notches, Modifiers m) {
    if (notches == 0 || !(flags_.zoom || m.ctrl) || !holdsAnyPart()) return false;
    if (eitherLocked()) {
        showLockMessage();
        return true;
    }
    for (int n = std::abs(notches); n > 0; --n)
        zoomStep(notches);
    return true;
}

bool MergeWorkspace::zoomKey(int direction) {
    if (!flags_.zoom) return false;
    zoomStep(direction);
    return true;
}

void MergeWorkspace::mousePress(Point p, Modifiers m) {
    const std::optional<Side> s = sideAt(p);
    if (s && lockRefused(*s)) return;
    if (s) pressedSide_[*s] = true;
    if (flags_.zoom) {
        if (eitherLocked()) {
            showLockMessage();
            return;
        }
        zoomStep(m.alt ? -1 : 1);
    }
    bool grabbed = false;
    for (PaneSide& side : sides_) {
        if (!side.grid.shown) continue;
        side.grid.grab = gridGrabAt(side.grid, p);
        grabbed = grabbed || (s && &side == &sides_[*s] && side.grid.grab != 0);
    }
    if (flags_.flags && s) {
        PaneSide& side = sides_[*s];
        if (side.holdsPart && rectContains(side.partRect(), p) && !grabbed) {
            if (side.flag.placed) host_.invalidate(side.flag.rect(), true);
            side.flag.x = flagXForTip(*s, p.x);
            side.flag.y = p.y;
            side.flag.placed = true;
            side.flag.onGrid = false;
            host_.invalidate(side.flag.rect(), false);
        }
        if (sides_[Side::Left].flag.placed && sides_[Side::Right].flag.placed)
            host_.toolState(ToolState::FlagsPlaced, 1);
    }
    if (flags_.rotate && s && sides_[*s].holdsPart) {
        lastEdit_.record(EditKind::Rotate, *s);
        rotateSide(*s);
    }
    if (flags_.adjust && s && sides_[*s].holdsPart) {
        if (sides_[*s].workingCopy.header().bitCount == 1) {
            host_.showMessage(MessageIcon::Warning, "Zunt--Tandemscan",
                              "Image adjust can't support monochroic image!");
        } else {
            adjustOneSide_ = true;
            adjustedSide_ = *s;
            host_.runImageAdjustment(*s);
            adjustOneSide_ = false;
        }
    }
    if (flags_.move && s) {
        PaneSide& side = sides_[*s];
        side.view.dragging = true;
        sides_[other(*s)].view.dragging = false;
        lastEdit_.record(EditKind::Move, *s);
        lastEdit_.placements = {side.placement(), Placement{}};
        side.view.dragStartX = p.x;
        side.view.dragStartY = p.y;
    } else {
        clearMoveTargets();
    }
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
    for (Side g : bothSides) {
        if (s == g && sides_[g].grid.shown && dragCrosshair(g, p)) {
            lastMouse_ = p;
            return;
        }
    }
    if (s && pressedSide_[*s]) crop_.drag(*s, p, lastMouse_);
    for (Side t : bothSides) {
        if (sides_[t].view.dragging && s == t) {
            int dx = p.x - lastMouse_.x;
            int dy = p.y - lastMouse_.y;
            if (m.shift)
                dx = 0;
            else if (m.ctrl)
                dy = 0;
            moveSide(t, dx, dy);
            lastMouse_ = p;
            return;
        }
    }
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
    for (Side s : bothSides) {
        if (sides_[s].view.dragging) {
            if (!sides_[s].locked) moveSide(s, dx, dy);
            return;
        }
    }
    const std::optional<Side> s = sideAt(lastMouse_);
    if (!s || !(pressedSide_[Side::Left] || pressedSide_[Side::Right]) || sides_[*s].locked) return;
    GridCross& g = sides_[*s].grid;
    if (!g.shown || g.grab == 0) return;
    dragCrosshair(*s, Point{g.drawnX + dx, g.drawnY + dy});
    if (host_.magnifierActive()) host_.magnifierRepaint();
}

void MergeWorkspace::altChanged(bool altDown) {
    if (altDown)
        host_.setCursor(zoomIndex_ >= 1 ? CursorSlot::ZoomOut : CursorSlot::ZoomLimit);
    else
        host_.setCursor(zoomIndex_ < 13 ? CursorSlot::ZoomIn : CursorSlot::ZoomLimit);
}

CursorSlot MergeWorkspace::chooseCursor(Point p, bool altDown) const {
    if (flags_.move) return CursorSlot::Move;
    if (flags_.rotate) return CursorSlot::Rotate;
    if (flags_.zoom) {
        if (altDown) return zoomIndex_ >= 1 ? CursorSlot::ZoomOut : CursorSlot::ZoomLimit;
        return zoomIndex_ < 13 ? CursorSlot::ZoomIn : CursorSlot::ZoomLimit;
    }
    const std::optional<Side> s = sideAt(p);
    if (flags_.crop) return crop_.cursor(s, p);
    if (flags_.adjust) return CursorSlot::Adjust;
    CursorSlot slot = CursorSlot::Arrow;
    if (flags_.grid) {
        // A crosshair's lines end at its pane's edges, so only the pane under the mouse counts.
        for (const PaneSide& side : sides_) {
            if (!side.grid.shown || !rectContains(side.paneRect, p)) continue;
            const std::uint8_t grab = gridGrabAt(side.grid, p);
            if (grab == 16)
                slot = CursorSlot::SizeAll;
            else if (grab == 2)
                slot = CursorSlot::GridVertical;
            else if (grab == 1)
                slot = CursorSlot::GridHorizontal;
            if (slot != CursorSlot::Arrow) break;
        }
    }
    if (flags_.flags && slot != CursorSlot::GridHorizontal && slot != CursorSlot::GridVertical &&
        slot != CursorSlot::SizeAll) {
        if (s == Side::Left)
            slot = CursorSlot::FlagLeft;
        else if (s == Side::Right)
            slot = CursorSlot::FlagRight;
    }
    return slot;
}

} // namespace tandemscan
