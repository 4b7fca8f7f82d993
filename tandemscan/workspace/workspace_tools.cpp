// Choosing a tool, the palette's commands, exchanging the parts and automatic placement.
#include "workspace/merge_workspace.h"

#include <algorithm>
#include <utility>

namespace tandemscan {

// --- choosing a tool --------------------------------------------------------------------------

void MergeWorkspace::selectTool(ToolMode code, bool pressed) {
    leaveMode(code);
    enterMode(code, pressed);
    mode_ = code;
}

void MergeWorkspace::leaveMode(ToolMode newCode) {
    switch (mode_) {
    case ToolMode::Move:
        flags_.move = false;
        break;
    case ToolMode::Rotate:
        flags_.rotate = false;
        break;
    case ToolMode::Zoom:
        flags_.zoom = false;
        break;
    case ToolMode::Crop:
        if (newCode != ToolMode::Crop) {
            crop_.closeAll();
            host_.repaintNow();
            flags_.crop = false;
        }
        break;
    case ToolMode::Grid:
    case ToolMode::Flags:
        gridFlag_.leave(mode_, newCode);
        break;
    case ToolMode::Adjust:
        flags_.adjust = false;
        break;
    default:
        break;
    }
}

void MergeWorkspace::enterMode(ToolMode code, bool pressed) {
    if (code != ToolMode::UniteFlags) modesSuspended_ = false;
    switch (code) {
    case ToolMode::Move:
        flags_.move = pressed;
        if (pressed) host_.moveToolEntered();
        break;
    case ToolMode::Rotate:
        flags_.rotate = pressed;
        break;
    case ToolMode::Zoom:
        flags_.zoom = pressed;
        break;
    case ToolMode::Crop:
        flags_.crop = pressed;
        crop_.setOn(pressed);
        break;
    case ToolMode::Grid:
        flags_.grid = pressed;
        gridFlag_.setGrid(pressed);
        break;
    case ToolMode::Flags:
        flags_.flags = pressed;
        gridFlag_.setFlags(pressed);
        break;
    case ToolMode::UniteFlags:
        gridFlag_.uniteAsEdit();
        break;
    case ToolMode::Adjust:
        flags_.adjust = pressed;
        break;
    default:
        break;
    }
}

bool MergeWorkspace::toolCommand(ToolCommand code, bool pressed) {
    switch (code) {
    case ToolCommand::AutoMerge:
        return placeAutomatically();
    case ToolCommand::ContentJoin:
        return contentJoin_.join();
    case ToolCommand::Move:
        selectTool(ToolMode::Move, pressed);
        break;
    case ToolCommand::Exchange:
        exchange();
        break;
    case ToolCommand::Rotate:
        selectTool(ToolMode::Rotate, pressed);
        break;
    case ToolCommand::Zoom:
        selectTool(ToolMode::Zoom, pressed);
        break;
    case ToolCommand::Crop:
        selectTool(ToolMode::Crop, pressed);
        break;
    case ToolCommand::Grid:
        selectTool(ToolMode::Grid, pressed);
        break;
    case ToolCommand::Flags:
        selectTool(ToolMode::Flags, pressed);
        break;
    case ToolCommand::UniteFlags:
        selectTool(ToolMode::UniteFlags, false);
        break;
    case ToolCommand::Adjust:
        selectTool(ToolMode::Adjust, pressed);
        break;
    default:
        break;
    }
    return false;
}

// --- placement edits -------------------------------------------------------------------------

void MergeWorkspace::swapSides() {
    std::swap(sides_[Side::Left].sourcePath, sides_[Side::Right].sourcePath);
    blocks_[Side::Left]->swap(*blocks_[Side::Right]);
    std::swap(sides_[Side::Left].holdsPart, sides_[Side::Right].holdsPart);
    std::swap(sides_[Side::Left].workingCopy, sides_[Side::Right].workingCopy);
    // What was done to a part travels with it, so that saving replays it on the right original.
    std::swap(sides_[Side::Left].rotations, sides_[Side::Right].rotations);
    std::swap(sides_[Side::Left].cropHistory, sides_[Side::Right].cropHistory);
    const int leftOffsetY = sides_[Side::Left].view.offsetY;
    sides_[Side::Left].view = PartView{};
    sides_[Side::Left].view.offsetY = sides_[Side::Right].view.offsetY;
    sides_[Side::Right].view = PartView{};
    sides_[Side::Right].view.offsetY = leftOffsetY;
    for (Side s : bothSides) {
        ++sides_[s].renderCount;
        if (sides_[s].holdsPart)
            rerender(s);
        else
            invalidatePane(s, true);
    }
    host_.enableClear(Side::Left, sides_[Side::Left].holdsPart);
    host_.enableClear(Side::Right, sides_[Side::Right].holdsPart);
}

void MergeWorkspace::exchange() {
    if (eitherLocked()) {
        showLockMessage();
        return;
    }
    lastEdit_.record(EditKind::Exchange);
    lastEdit_.image.reset();
    if (!sides_[Side::Left].holdsPart && !sides_[Side::Right].holdsPart) return;
    modified_ = true;
    usePaneGeometry();
    swapSides();
}

void MergeWorkspace::clearMoveTargets() {
    move_.clearTargets();
}

} // namespace tandemscan
