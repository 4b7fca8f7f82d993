// The tools of the workspace: choosing a tool, the mouse and the keys, move, exchange, rotate,
// zoom, the grid crosshair, the flags and their union, automatic placement, and the cursor.
#include "workspace/merge_workspace.h"

#include "engine/pixel_tools.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace tandemscan {

namespace {

constexpr int gridReach = 4;

// The crossing point of a crosshair as a grab code for p: 16, 2, 1 or 0.
std::uint8_t gridGrabAt(const GridCross& g, Point p)
{
    const bool nearX = std::abs(p.x - g.x) <= gridReach;
    const bool nearY = std::abs(p.y - g.y) <= gridReach;
    if (nearX && nearY)
        return 16;
    if (nearX)
        return 2;
    if (nearY)
        return 1;
    return 0;
}

} // namespace

// --- choosing a tool --------------------------------------------------------------------------

void MergeWorkspace::selectTool(ToolMode code, bool pressed)
{
    leaveMode(code);
    enterMode(code, pressed);
    mode_ = code;
    modeArgument_ = pressed;
}

void MergeWorkspace::leaveMode(ToolMode newCode)
{
    switch (mode_) {
    case ToolMode::Move: flags_.move = false; break;
    case ToolMode::Rotate: flags_.rotate = false; break;
    case ToolMode::Zoom: flags_.zoom = false; break;
    case ToolMode::Crop:
        if (newCode != ToolMode::Crop) {
            for (int s = 0; s < 2; ++s)
                if (sides_[s].crop.active)
                    closeCropFrame(s);
            host_.repaintNow();
            flags_.crop = false;
        }
        break;
    case ToolMode::Grid:
        if (newCode != ToolMode::Grid && newCode != ToolMode::Flags) {
            showCrosshairs(false);
            flags_.grid = false;
            if (flags_.flags && newCode != ToolMode::UniteFlags) {
                removeFlag(leftSide);
                removeFlag(rightSide);
                flags_.flags = false;
            }
        }
        break;
    case ToolMode::Flags:
        if (newCode != ToolMode::Flags && newCode != ToolMode::Grid && newCode != ToolMode::UniteFlags) {
            removeFlag(leftSide);
            removeFlag(rightSide);
            flags_.flags = false;
            if (flags_.grid) {
                showCrosshairs(false);
                flags_.grid = false;
            }
        }
        break;
    case ToolMode::Adjust: flags_.adjust = false; break;
    default: break;
    }
}

void MergeWorkspace::enterMode(ToolMode code, bool pressed)
{
    if (code != ToolMode::UniteFlags)
        modesSuspended_ = false;
    switch (code) {
    case ToolMode::Move:
        flags_.move = pressed;
        if (pressed)
            host_.moveToolEntered();
        break;
    case ToolMode::Rotate: flags_.rotate = pressed; break;
    case ToolMode::Zoom: flags_.zoom = pressed; break;
    case ToolMode::Crop:
        flags_.crop = pressed;
        for (int s = 0; s < 2; ++s) {
            if (pressed && sides_[s].holdsPart && !sides_[s].crop.active)
                createCropFrame(s);
            else if (!pressed && sides_[s].crop.active)
                closeCropFrame(s);
        }
        break;
    case ToolMode::Grid:
        flags_.grid = pressed;
        showCrosshairs(pressed);
        for (int s = 0; s < 2; ++s)
            if (sides_[s].flag.placed)
                host_.invalidate(sides_[s].flag.rect(), false);
        host_.snapshotChanged();
        break;
    case ToolMode::Flags:
        flags_.flags = pressed;
        placeFlagsFromGrid(pressed);
        host_.snapshotChanged();
        break;
    case ToolMode::UniteFlags:
        lastEdit_ = EditKind::FlagUnion;
        lastEditSide_ = rightSide;
        undoToggled_ = false;
        undoPlacement_ = {sides_[1].geometry.viewOrigin.x, sides_[1].geometry.viewOrigin.y, sides_[1].view.offsetX,
                          sides_[1].view.offsetY, sides_[0].geometry.viewOrigin.x, sides_[0].geometry.viewOrigin.y,
                          sides_[0].view.offsetX, sides_[0].view.offsetY};
        uniteFlags();
        break;
    case ToolMode::Adjust: flags_.adjust = pressed; break;
    default: break;
    }
}

bool MergeWorkspace::toolCommand(ToolCommand code, bool pressed)
{
    switch (code) {
    case ToolCommand::AutoMerge: return placeAutomatically();
    case ToolCommand::Move: selectTool(ToolMode::Move, pressed); break;
    case ToolCommand::Exchange: exchange(); break;
    case ToolCommand::Rotate: selectTool(ToolMode::Rotate, pressed); break;
    case ToolCommand::Zoom: selectTool(ToolMode::Zoom, pressed); break;
    case ToolCommand::Crop: selectTool(ToolMode::Crop, pressed); break;
    case ToolCommand::Grid: selectTool(ToolMode::Grid, pressed); break;
    case ToolCommand::Flags: selectTool(ToolMode::Flags, pressed); break;
    case ToolCommand::UniteFlags: selectTool(ToolMode::UniteFlags, false); break;
    case ToolCommand::Adjust: selectTool(ToolMode::Adjust, pressed); break;
    default: break;
    }
    return false;
}

// --- the grid crosshair and the flags ----------------------------------------------------------

void MergeWorkspace::showCrosshairs(bool on)
{
    for (int s = 0; s < 2; ++s) {
        PaneSide& side = sides_[s];
        if (!on) {
            eraseCrosshair(s);
            continue;
        }
        const Rect& pane = side.paneRect;
        if (side.flag.placed) {
            side.grid.x = s == leftSide ? side.flag.x + flagWidth : side.flag.x;
            side.grid.y = side.flag.y;
            side.flag.onGrid = true;
        } else {
            side.grid.x = (pane.left + pane.right) / 2;
            side.grid.y = (pane.top + pane.bottom) / 2;
            side.flag.onGrid = false;
        }
        side.grid.drawnX = side.grid.x;
        side.grid.drawnY = side.grid.y;
        side.grid.grab = 0;
        side.grid.shown = true;
        invalidatePane(s);
    }
}

void MergeWorkspace::eraseCrosshair(int s)
{
    GridCross& g = sides_[s].grid;
    if (!g.shown)
        return;
    g.shown = false;
    g.grab = 0;
    invalidatePane(s);
}

void MergeWorkspace::removeFlag(int s)
{
    FlagMarker& f = sides_[s].flag;
    if (f.placed)
        host_.invalidate(f.rect(), true);
    f.placed = false;
    f.onGrid = false;
}

void MergeWorkspace::reportFlags()
{
    host_.toolState(ToolState::FlagsPlaced, sides_[0].flag.placed && sides_[1].flag.placed ? 1 : 0);
}

void MergeWorkspace::placeFlagsFromGrid(bool on)
{
    for (int s = 0; s < 2; ++s) {
        PaneSide& side = sides_[s];
        if (!on) {
            removeFlag(s);
            continue;
        }
        const Point tip{side.grid.x, side.grid.y};
        if (side.grid.shown && side.holdsPart && rectContains(side.partRect(), tip)) {
            side.flag.x = s == leftSide ? tip.x - flagWidth : tip.x;
            side.flag.y = tip.y;
            side.flag.placed = true;
            side.flag.onGrid = true;
            host_.invalidate(side.flag.rect(), false);
        }
    }
    reportFlags();
}

bool MergeWorkspace::dragCrosshair(int s, Point p)
{
    PaneSide& side = sides_[s];
    GridCross& g = side.grid;
    switch (g.grab) {
    case 16: g.x = p.x; g.y = p.y; break;
    case 2: g.x = p.x; break;
    case 1: g.y = p.y; break;
    default: return false;
    }
    invalidatePane(s);
    g.drawnX = g.x;
    g.drawnY = g.y;
    if (side.flag.onGrid && rectContains(side.partRect(), p)) {
        host_.invalidate(side.flag.rect(), true);
        side.flag.x = s == leftSide ? g.x - flagWidth : g.x;
        if (g.grab == 16 || g.grab == 1)
            side.flag.y = g.y;
    }
    host_.snapshotChanged();
    return true;
}

void MergeWorkspace::uniteFlags()
{
    PaneSide& left = sides_[leftSide];
    PaneSide& right = sides_[rightSide];
    if (!left.flag.placed || !right.flag.placed)
        return;
    modified_ = true;
    autoMode_ = false;
    left.view.offsetX -= left.paneRect.right - (left.flag.x + flagWidth);
    rerender(leftSide);
    right.view.offsetX += right.flag.x - right.paneRect.left;
    right.view.offsetY += right.flag.y - left.flag.y;
    rerender(rightSide);
    removeFlag(leftSide);
    removeFlag(rightSide);
    flags_.flags = false;
    showCrosshairs(false);
    flags_.grid = false;
    host_.toolState(ToolState::FlagsUnited, 0);
}

// --- placement edits -------------------------------------------------------------------------

void MergeWorkspace::moveSide(int s, int dx, int dy)
{
    if (dx == 0 && dy == 0)
        return;
    modified_ = true;
    autoMode_ = false;
    PaneSide& side = sides_[s];
    side.view.offsetX -= dx;
    side.view.offsetY -= dy;
    rerender(s);
    invalidatePane(s, true);
    host_.repaintNow();
}

void MergeWorkspace::swapSides()
{
    std::swap(sides_[0].sourcePath, sides_[1].sourcePath);
    blocks_[0]->swap(*blocks_[1]);
    std::swap(sides_[0].holdsPart, sides_[1].holdsPart);
    std::swap(sides_[0].workingCopy, sides_[1].workingCopy);
    // What was done to a part travels with it, so that saving replays it on the right original.
    std::swap(sides_[0].rotations, sides_[1].rotations);
    std::swap(sides_[0].cropHistory, sides_[1].cropHistory);
    const int leftOffsetY = sides_[0].view.offsetY;
    sides_[0].view = PartView{};
    sides_[0].view.offsetY = sides_[1].view.offsetY;
    sides_[1].view = PartView{};
    sides_[1].view.offsetY = leftOffsetY;
    for (int s = 0; s < 2; ++s) {
        ++sides_[s].renderCount;
        if (sides_[s].holdsPart)
            rerender(s);
        else
            invalidatePane(s, true);
    }
    host_.enableClear(leftSide, sides_[0].holdsPart);
    host_.enableClear(rightSide, sides_[1].holdsPart);
}

void MergeWorkspace::exchange()
{
    if (eitherLocked()) {
        showLockMessage();
        return;
    }
    lastEdit_ = EditKind::Exchange;
    undoToggled_ = false;
    undoImage_.reset();
    if (!sides_[0].holdsPart && !sides_[1].holdsPart)
        return;
    modified_ = true;
    autoMode_ = false;
    swapSides();
}

void MergeWorkspace::rotateSide(int s)
{
    PaneSide& side = sides_[s];
    if (side.workingCopy.empty())
        return;
    WaitCursor wait(host_);
    modified_ = true;
    autoMode_ = false;
    ++side.rotations;
    const HeaderBlock& src = side.workingCopy.headerBlock();
    std::optional<ImageRecord> turned =
        ImageRecord::allocate(src, PixelTools::imageDataSize(src.header));
    if (!turned || !PixelTools::rotateQuarter(turned->headerBlock(), turned->pixels(), 180, src,
                                              side.workingCopy.pixels(), PixelTools::rasterType(src))) {
        host_.showMessage(MessageIcon::Error, "Error", "Not enough memory");
        --side.rotations;
        return;
    }
    side.workingCopy = std::move(*turned);
    // Recorded in order with the crops: a crop made after the turn is in turned coordinates.
    EditEntry halfTurn;
    halfTurn.kind = static_cast<std::uint8_t>(EditKind::Rotate);
    halfTurn.angle = 0.0;
    side.cropHistory.push_back(halfTurn);
    ++side.renderCount;
    rerender(s);
}

void MergeWorkspace::zoomTo(int index)
{
    const int old = zoomIndex_;
    zoomIndex_ = std::clamp(index, 0, static_cast<int>(zoomTable.size()) - 1);
    applyZoom(old);
}

// Shows the parts at zoomIndex_, which was oldIndex before.
void MergeWorkspace::applyZoom(int oldIndex)
{
    WaitCursor wait(host_);
    applyZoomScale();
    for (int s = 0; s < 2; ++s) {
        if (!sides_[s].holdsPart)
            continue;
        if (adjustOneSide_ && (s == leftSide) != adjustLeft_)
            continue;
        lastEdit_ = EditKind::Zoom;
        previousZoomIndex_ = oldIndex;
        ++sides_[s].renderCount;
        rerender(s);
    }
}

void MergeWorkspace::clearMoveTargets()
{
    sides_[0].view.dragging = false;
    sides_[1].view.dragging = false;
}

bool MergeWorkspace::placeAutomatically(int originalWidthTenthsMm)
{
    if (eitherLocked()) {
        showLockMessage();
        return false;
    }
    const ImageRecord* left = original(leftSide);
    const ImageRecord* right = original(rightSide);
    // Without both originals there is nothing to place (the command is offered only then).
    if (!sides_[0].holdsPart || !sides_[1].holdsPart || left == nullptr || right == nullptr)
        return false;
    paperWidth_.refresh(originalWidthTenthsMm);
    std::string why;
    const std::optional<AutoPlacement> placed = computeAutoPlacement(
        left->header(), right->header(), paperWidth_.inches(), engine_.workScale(), engine_.viewScale(), &why);
    if (!placed) {
        host_.showMessage(MessageIcon::Warning, "Zunt--Tandemscan", why);
        return false;
    }
    modified_ = true;
    autoMode_ = true;
    autoOverlap_ = placed->autoOverlap;
    sides_[leftSide].view.offsetX = placed->leftOffsetX;
    sides_[leftSide].view.offsetY = 0;
    rerender(leftSide);
    sides_[rightSide].view.offsetX = placed->rightOffsetX;
    sides_[rightSide].view.offsetY = 0;
    rerender(rightSide);
    host_.repaintNow();
    const bool composed = composePreview();
    clearMoveTargets();
    return composed;
}

// --- mouse and keyboard ----------------------------------------------------------------------

void MergeWorkspace::mousePress(Point p, Modifiers m)
{
    const int s = sideAt(p);
    if (s >= 0 && lockRefused(s))
        return;
    if (s >= 0)
        pressedSide_[s] = true;
    if (flags_.zoom) {
        if (eitherLocked()) {
            showLockMessage();
            return;
        }
        if (m.alt) {
            if (zoomIndex_ > 0)
                zoomTo(zoomIndex_ - 1);
        } else if (zoomIndex_ < static_cast<int>(zoomTable.size()) - 1) {
            zoomTo(zoomIndex_ + 1);
        }
    }
    bool grabbed = false;
    for (PaneSide& side : sides_) {
        if (!side.grid.shown)
            continue;
        side.grid.grab = gridGrabAt(side.grid, p);
        grabbed = grabbed || (s >= 0 && &side == &sides_[s] && side.grid.grab != 0);
    }
    if (flags_.flags && s >= 0) {
        PaneSide& side = sides_[s];
        if (side.holdsPart && rectContains(side.partRect(), p) && !grabbed) {
            if (side.flag.placed)
                host_.invalidate(side.flag.rect(), true);
            side.flag.x = s == leftSide ? p.x - flagWidth : p.x;
            side.flag.y = p.y;
            side.flag.placed = true;
            side.flag.onGrid = false;
            host_.invalidate(side.flag.rect(), false);
        }
        if (sides_[0].flag.placed && sides_[1].flag.placed)
            host_.toolState(ToolState::FlagsPlaced, 1);
    }
    if (flags_.rotate && s >= 0 && sides_[s].holdsPart) {
        lastEdit_ = EditKind::Rotate;
        lastEditSide_ = s;
        undoToggled_ = false;
        rotateSide(s);
    }
    if (flags_.adjust && s >= 0 && sides_[s].holdsPart) {
        if (sides_[s].workingCopy.header().bitCount == 1) {
            host_.showMessage(MessageIcon::Warning, "Tandemscan", "Image adjust can't support monochroic image!");
        } else {
            adjustOneSide_ = true;
            adjustLeft_ = s == leftSide;
            host_.runImageAdjustment(s);
            adjustOneSide_ = false;
        }
    }
    if (flags_.move && s >= 0) {
        PaneSide& side = sides_[s];
        side.view.dragging = true;
        sides_[1 - s].view.dragging = false;
        lastEdit_ = EditKind::Move;
        lastEditSide_ = s;
        undoToggled_ = false;
        undoPlacement_ = {side.geometry.viewOrigin.x, side.geometry.viewOrigin.y, side.view.offsetX, side.view.offsetY, 0, 0, 0, 0};
        side.view.dragStartX = p.x;
        side.view.dragStartY = p.y;
    } else {
        clearMoveTargets();
    }
    if (flags_.crop) {
        cropHit_ = CropNothing;
        if (s >= 0) {
            PaneSide& side = sides_[s];
            if (side.crop.active) {
                cropHit_ = cropHitTest(side.crop.frame, p);
                if (cropHit_ == CropPivot)
                    pressPivot_ = side.crop.frame.pivot();
            } else if (side.holdsPart) {
                createCropFrame(s);
            }
        }
    }
    if (modesSuspended_) {
        flags_ = savedFlags_;
        modesSuspended_ = false;
    }
    lastMouse_ = p;
}

void MergeWorkspace::mouseMove(Point p, bool leftDown, Modifiers m)
{
    if (host_.magnifierActive() && rectContains(clientRect(), p)) {
        host_.magnifierTrack(p);
        host_.magnifierRepaint();
    }
    const int s = sideAt(p);
    if (s >= 0 && sides_[s].locked)
        return;
    if (!leftDown) {
        lastMouse_ = p;
        return;
    }
    for (int g = 0; g < 2; ++g) {
        if (s == g && sides_[g].grid.shown && dragCrosshair(g, p)) {
            lastMouse_ = p;
            return;
        }
    }
    for (int c = 0; c < 2; ++c) {
        PaneSide& side = sides_[c];
        if (!side.crop.active || !pressedSide_[c] || s != c)
            continue;
        CropGeometry& g = side.crop.frame;
        bool acted = cropDragMove(g, cropHit_, p, lastMouse_) || cropDragResize(g, cropHit_, p, lastMouse_) ||
                     cropDragRotate(g, cropHit_, p, lastMouse_);
        if (acted) {
            side.crop.saved = g;
        } else if (cropHit_ == CropPivot) {
            acted = true;
            const Point moved{g.pivotX + p.x - lastMouse_.x, g.pivotY + p.y - lastMouse_.y};
            if (rectContains(side.paneRect, moved)) {
                g.pivotX = moved.x;
                g.pivotY = moved.y;
                side.crop.saved = g;
            } else {
                g.pivotX = side.crop.saved.pivotX;
                g.pivotY = side.crop.saved.pivotY;
            }
        }
        if (acted) {
            invalidatePane(c);
            break;
        }
    }
    for (int t = 0; t < 2; ++t) {
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

void MergeWorkspace::mouseRelease(Point p)
{
    for (int s = 0; s < 2; ++s) {
        PaneSide& side = sides_[s];
        if (!side.crop.active || !pressedSide_[s])
            continue;
        side.crop.frame = normalised(side.crop.frame);
        if (cropHit_ == CropPivot)
            cropFinishPivot(side.crop.frame, pressPivot_);
        side.crop.saved = side.crop.frame;
        invalidatePane(s);
        host_.repaintNow();
    }
    (void)p;
    if (host_.magnifierActive())
        host_.magnifierRepaint();
}

void MergeWorkspace::arrowKey(ArrowKey key)
{
    int dx = 0;
    int dy = 0;
    switch (key) {
    case ArrowKey::Up: dy = -1; break;
    case ArrowKey::Down: dy = 1; break;
    case ArrowKey::Left: dx = -1; break;
    case ArrowKey::Right: dx = 1; break;
    default: return;
    }
    for (int s = 0; s < 2; ++s) {
        if (sides_[s].view.dragging) {
            if (!sides_[s].locked)
                moveSide(s, dx, dy);
            return;
        }
    }
    const int s = sideAt(lastMouse_);
    if (s < 0 || !(pressedSide_[0] || pressedSide_[1]) || sides_[s].locked)
        return;
    GridCross& g = sides_[s].grid;
    if (!g.shown || g.grab == 0)
        return;
    dragCrosshair(s, Point{g.drawnX + dx, g.drawnY + dy});
    if (host_.magnifierActive())
        host_.magnifierRepaint();
}

void MergeWorkspace::altChanged(bool altDown)
{
    if (altDown)
        host_.setCursor(zoomIndex_ >= 1 ? CursorSlot::ZoomOut : CursorSlot::ZoomLimit);
    else
        host_.setCursor(zoomIndex_ < 13 ? CursorSlot::ZoomIn : CursorSlot::ZoomLimit);
}

CursorSlot MergeWorkspace::chooseCursor(Point p, bool altDown) const
{
    if (flags_.move)
        return CursorSlot::Move;
    if (flags_.rotate)
        return CursorSlot::Rotate;
    if (flags_.zoom) {
        if (altDown)
            return zoomIndex_ >= 1 ? CursorSlot::ZoomOut : CursorSlot::ZoomLimit;
        return zoomIndex_ < 13 ? CursorSlot::ZoomIn : CursorSlot::ZoomLimit;
    }
    const int s = sideAt(p);
    if (flags_.crop) {
        if (s < 0 || !sides_[s].crop.active)
            return CursorSlot::Arrow;
        const CropGeometry& g = sides_[s].crop.frame;
        const std::uint32_t hit = cropHitTest(g, p);
        if (hit == CropInside)
            return CursorSlot::SizeAll;
        if (isResizeHit(hit))
            return static_cast<CursorSlot>(cropResizeCursor(hit, g.angle));
        if (isRotateHit(hit))
            return static_cast<CursorSlot>(cropRotateCursor(g, p));
        return CursorSlot::Arrow;
    }
    if (flags_.adjust)
        return CursorSlot::Adjust;
    CursorSlot slot = CursorSlot::Arrow;
    if (flags_.grid) {
        // A crosshair's lines end at its pane's edges, so only the pane under the mouse counts.
        for (const PaneSide& side : sides_) {
            if (!side.grid.shown || !rectContains(side.paneRect, p))
                continue;
            const std::uint8_t grab = gridGrabAt(side.grid, p);
            if (grab == 16)
                slot = CursorSlot::SizeAll;
            else if (grab == 2)
                slot = CursorSlot::GridVertical;
            else if (grab == 1)
                slot = CursorSlot::GridHorizontal;
            if (slot != CursorSlot::Arrow)
                break;
        }
    }
    if (flags_.flags && slot != CursorSlot::GridHorizontal && slot != CursorSlot::GridVertical &&
        slot != CursorSlot::SizeAll) {
        if (s == leftSide)
            slot = CursorSlot::FlagLeft;
        else if (s == rightSide)
            slot = CursorSlot::FlagRight;
    }
    return slot;
}

} // namespace tandemscan
