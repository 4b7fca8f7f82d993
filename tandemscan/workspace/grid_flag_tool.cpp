// The grid crosshairs, the flags and their union.
#include "workspace/grid_flag_tool.h"

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

void GridFlagTool::setGrid(bool on) {
    showCrosshairs(on);
    for (Side s : bothSides)
        if (flags_[s].placed) ws_.host_.invalidate(flags_[s].rect(), false);
    ws_.host_.snapshotChanged();
}

void GridFlagTool::setFlags(bool on) {
    placeFlagsFromGrid(on);
    ws_.host_.snapshotChanged();
}

void GridFlagTool::leave(ToolMode from, ToolMode to) {
    ModeFlags& modes = ws_.flags_;
    if (from == ToolMode::Grid) {
        if (to == ToolMode::Grid || to == ToolMode::Flags) return;
        showCrosshairs(false);
        modes.grid = false;
        if (modes.flags && to != ToolMode::UniteFlags) {
            removeFlags();
            modes.flags = false;
        }
    } else if (from == ToolMode::Flags) {
        if (to == ToolMode::Flags || to == ToolMode::Grid || to == ToolMode::UniteFlags) return;
        removeFlags();
        modes.flags = false;
        if (modes.grid) {
            showCrosshairs(false);
            modes.grid = false;
        }
    }
}

void GridFlagTool::uniteAsEdit() {
    ws_.lastEdit_.record(EditKind::FlagUnion, Side::Right);
    ws_.lastEdit_.placements = {ws_.sides_[Side::Right].placement(), ws_.sides_[Side::Left].placement()};
    unite();
}

void GridFlagTool::showCrosshairs(bool on) {
    for (Side s : bothSides) {
        if (!on) {
            eraseCrosshair(s);
            continue;
        }
        GridCross& grid = grids_[s];
        FlagMarker& flag = flags_[s];
        const Rect& pane = ws_.sides_[s].paneRect;
        if (flag.placed) {
            grid.x = flag.tipX(s);
            grid.y = flag.y;
            flag.onGrid = true;
        } else {
            grid.x = (pane.left + pane.right) / 2;
            grid.y = (pane.top + pane.bottom) / 2;
            flag.onGrid = false;
        }
        grid.drawnX = grid.x;
        grid.drawnY = grid.y;
        grid.grab = 0;
        grid.shown = true;
        ws_.invalidatePane(s);
    }
}

void GridFlagTool::eraseCrosshair(Side s) {
    GridCross& g = grids_[s];
    if (!g.shown) return;
    g.shown = false;
    g.grab = 0;
    ws_.invalidatePane(s);
}

void GridFlagTool::removeFlag(Side s) {
    FlagMarker& f = flags_[s];
    if (f.placed) ws_.host_.invalidate(f.rect(), true);
    f.placed = false;
    f.onGrid = false;
}

void GridFlagTool::removeFlags() {
    removeFlag(Side::Left);
    removeFlag(Side::Right);
}

void GridFlagTool::reportFlags() {
    ws_.host_.toolState(ToolState::FlagsPlaced,
                        flags_[Side::Left].placed && flags_[Side::Right].placed ? 1 : 0);
}

void GridFlagTool::placeFlagsFromGrid(bool on) {
    for (Side s : bothSides) {
        if (!on) {
            removeFlag(s);
            continue;
        }
        const PaneSide& side = ws_.sides_[s];
        const GridCross& grid = grids_[s];
        FlagMarker& flag = flags_[s];
        const Point tip{grid.x, grid.y};
        if (grid.shown && side.holdsPart && rectContains(side.partRect(), tip)) {
            flag.x = flagXForTip(s, tip.x);
            flag.y = tip.y;
            flag.placed = true;
            flag.onGrid = true;
            ws_.host_.invalidate(flag.rect(), false);
        }
    }
    reportFlags();
}

void GridFlagTool::press(std::optional<Side> s, Point p) {
    bool grabbed = false;
    for (Side g : bothSides) {
        GridCross& grid = grids_[g];
        if (!grid.shown) continue;
        grid.grab = gridGrabAt(grid, p);
        grabbed = grabbed || (s == g && grid.grab != 0);
    }
    if (!ws_.flags_.flags || !s) return;
    const PaneSide& side = ws_.sides_[*s];
    FlagMarker& flag = flags_[*s];
    if (side.holdsPart && rectContains(side.partRect(), p) && !grabbed) {
        if (flag.placed) ws_.host_.invalidate(flag.rect(), true);
        flag.x = flagXForTip(*s, p.x);
        flag.y = p.y;
        flag.placed = true;
        flag.onGrid = false;
        ws_.host_.invalidate(flag.rect(), false);
    }
    if (flags_[Side::Left].placed && flags_[Side::Right].placed)
        ws_.host_.toolState(ToolState::FlagsPlaced, 1);
}

bool GridFlagTool::drag(Side s, Point p) {
    GridCross& g = grids_[s];
    if (!g.shown) return false;
    switch (g.grab) {
    case 16:
        g.x = p.x;
        g.y = p.y;
        break;
    case 2:
        g.x = p.x;
        break;
    case 1:
        g.y = p.y;
        break;
    default:
        return false;
    }
    ws_.invalidatePane(s);
    g.drawnX = g.x;
    g.drawnY = g.y;
    FlagMarker& flag = flags_[s];
    if (flag.onGrid && rectContains(ws_.sides_[s].partRect(), p)) {
        ws_.host_.invalidate(flag.rect(), true);
        flag.x = flagXForTip(s, g.x);
        if (g.grab == 16 || g.grab == 1) flag.y = g.y;
    }
    ws_.host_.snapshotChanged();
    return true;
}

bool GridFlagTool::nudge(Side s, int dx, int dy) {
    const GridCross& g = grids_[s];
    if (!g.shown || g.grab == 0) return false;
    drag(s, Point{g.drawnX + dx, g.drawnY + dy});
    return true;
}

CursorSlot GridFlagTool::cursor(std::optional<Side> s, Point p) const {
    CursorSlot slot = CursorSlot::Arrow;
    if (ws_.flags_.grid) {
        // A crosshair's lines end at its pane's edges, so only the pane under the mouse counts.
        for (Side g : bothSides) {
            const GridCross& grid = grids_[g];
            if (!grid.shown || !rectContains(ws_.sides_[g].paneRect, p)) continue;
            const std::uint8_t grab = gridGrabAt(grid, p);
            if (grab == 16)
                slot = CursorSlot::SizeAll;
            else if (grab == 2)
                slot = CursorSlot::GridVertical;
            else if (grab == 1)
                slot = CursorSlot::GridHorizontal;
            if (slot != CursorSlot::Arrow) break;
        }
    }
    if (ws_.flags_.flags && slot != CursorSlot::GridHorizontal && slot != CursorSlot::GridVertical &&
        slot != CursorSlot::SizeAll) {
        if (s == Side::Left)
            slot = CursorSlot::FlagLeft;
        else if (s == Side::Right)
            slot = CursorSlot::FlagRight;
    }
    return slot;
}

void GridFlagTool::clearSide(Side s) {
    eraseCrosshair(s);
    removeFlag(s);
}

void GridFlagTool::unite() {
    PaneSide& left = ws_.sides_[Side::Left];
    PaneSide& right = ws_.sides_[Side::Right];
    const FlagMarker& leftFlag = flags_[Side::Left];
    const FlagMarker& rightFlag = flags_[Side::Right];
    if (!leftFlag.placed || !rightFlag.placed) return;
    ws_.modified_ = true;
    ws_.usePaneGeometry();
    left.view.offsetX -= left.paneRect.right - leftFlag.tipX(Side::Left);
    ws_.rerender(Side::Left);
    right.view.offsetX += rightFlag.x - right.paneRect.left;
    right.view.offsetY += rightFlag.y - leftFlag.y;
    ws_.rerender(Side::Right);
    removeFlags();
    ws_.flags_.flags = false;
    showCrosshairs(false);
    ws_.flags_.grid = false;
    ws_.host_.toolState(ToolState::FlagsUnited, 0);
}

} // namespace tandemscan
