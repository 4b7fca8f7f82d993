// One step of history (undo and redo toggle the last edit) and the pane pop-up menu: its
// enabling rules, Reload, the zoom levels and Lock.
#include "workspace/merge_workspace.h"

#include <filesystem>
#include <utility>

namespace tandemscan {

PopupMenuState MergeWorkspace::prepareMenu(Point p) {
    PopupMenuState m;
    const std::optional<Side> s = sideAt(p);
    if (s) {
        const PaneSide& side = sides_[*s];
        m.saveSolelyEnabled = side.holdsPart;
        if (side.holdsPart) popupSide_ = *s;
        m.lockChecked = side.locked;
        m.lockEnabled = side.holdsPart;
        if (side.holdsPart) lockSide_ = *s;
        const ImageRecord* original = this->original(*s);
        m.reloadEnabled =
            original != nullptr && !original->empty() && !side.locked && !side.sourcePath.empty();
    }
    if (lastEdit_.kind != EditKind::None) {
        const EditKind last = lastEdit_.kind;
        bool grayed = false;
        if (s && sides_[*s].locked) {
            grayed = true;
        } else if (s && sides_[other(*s)].locked) {
            const Side locked = other(*s);
            grayed = last == EditKind::Exchange || last == EditKind::Zoom || last == EditKind::ContentJoin ||
                     lastEdit_.side == locked;
        }
        if (!grayed) {
            if (!lastEdit_.toggled) {
                m.undoEnabled = true;
                lastEdit_.offer = HistoryOffer::Undo;
            } else if (lastEdit_.offer == HistoryOffer::Redo) {
                m.undoEnabled = true;
            } else {
                m.redoEnabled = true;
            }
        }
    }
    if (s && eitherLocked())
        m.zoomEnabled = false;
    else
        m.zoomEnabled = holdsAnyPart();
    m.zoomChecked = zoomIndex_;
    return m;
}

void MergeWorkspace::suspendModes() {
    if (modesSuspended_) return;
    savedFlags_ = flags_;
    modesSuspended_ = true;
    flags_ = ModeFlags{};
}

void MergeWorkspace::menuCommand(int command, Point cursor) {
    if (modesSuspended_) {
        flags_ = savedFlags_;
        modesSuspended_ = false;
    }
    if (command == MenuUndo) {
        undo();
    } else if (command == MenuRedo) {
        redo();
    } else if (command == MenuReload) {
        const std::optional<Side> s = sideAt(cursor);
        if (sides_[Side::Left].sourcePath.empty() && sides_[Side::Right].sourcePath.empty()) return;
        if (s) reload(*s);
    } else if (command >= MenuZoomFirst && command < MenuZoomFirst + static_cast<int>(zoomTable.size())) {
        const int k = command - MenuZoomFirst;
        if (k != zoomIndex_) {
            zoomTo(k);
            host_.invalidate(clientRect(), true);
        }
    } else if (command == MenuLock) {
        toggleLock(lockSide_);
    }
    // Save Image Solely needs a file name first: the window asks for it and calls saveSingle.
}

void MergeWorkspace::swapPlacement(Side s, Placement& saved) {
    PaneSide& side = sides_[s];
    const Placement now = side.placement();
    side.place(saved);
    saved = now;
    rerender(s);
    invalidatePane(s, true);
}

void MergeWorkspace::restorePart(Side s) {
    PaneSide& side = sides_[s];
    const Side other = tandemscan::other(s);
    const bool otherHolds = sides_[other].holdsPart;
    if (!makeWorkingCopy(s, otherHolds)) return;
    side.holdsPart = true;
    fitToPane(s, otherHolds);
    rerender(s);
    if (!otherHolds) {
        const HeaderBlock& h = side.workingCopy.headerBlock();
        const ImageRecord* original = this->original(s);
        checkPart(original != nullptr ? original->headerBlock() : h, false);
    }
    host_.toolState(otherHolds ? ToolState::TwoParts : ToolState::OnePart, 0);
    host_.enableClear(s, true);
    if (otherHolds) host_.enableOutput(true);
}

void MergeWorkspace::toggleEdit() {
    const Side s = lastEdit_.side;
    switch (lastEdit_.kind) {
    case EditKind::Move:
        swapPlacement(s, lastEdit_.placements[0]);
        break;
    case EditKind::Exchange:
        swapSides();
        break;
    case EditKind::Rotate:
        rotateSide(s);
        break;
    case EditKind::Zoom: {
        const int old = zoomIndex_;
        std::swap(zoomIndex_, lastEdit_.zoomIndex);
        zoom_.apply(old);
        break;
    }
    case EditKind::Crop:
        crop_.toggleEdit(s);
        break;
    case EditKind::FlagUnion:
        swapPlacement(Side::Right, lastEdit_.placements[0]);
        swapPlacement(Side::Left, lastEdit_.placements[1]);
        break;
    case EditKind::ContentJoin:
        contentJoin_.toggleEdit();
        break;
    case EditKind::ClearSide:
        if (!sides_[s].holdsPart) {
            restorePart(s);
        } else {
            clearSide(s);
            lastEdit_.kind = EditKind::ClearSide;
        }
        break;
    default:
        break;
    }
}

// Undo and Redo run the same operation, which toggles the last edit; they differ only in
// which of the two the menu offers next.
void MergeWorkspace::historyStep(HistoryOffer offer) {
    const EditKind last = lastEdit_.kind;
    if (last == EditKind::None) return;
    // Ctrl+Z reaches here without the menu's checks: a locked part is not changed.
    const bool bothSides = last == EditKind::Exchange || last == EditKind::Zoom ||
                           last == EditKind::FlagUnion || last == EditKind::ContentJoin;
    if ((bothSides && eitherLocked()) || sides_[lastEdit_.side].locked) {
        showLockMessage();
        return;
    }
    modified_ = true;
    // A placement by content stays: the edits that move a part dropped it already, and the
    // join's own undo brings back what it replaced.
    autoMode_ = false;
    toggleEdit();
    lastEdit_.offer = offer;
    lastEdit_.toggled = true;
}

void MergeWorkspace::undo() {
    historyStep(HistoryOffer::Undo);
}

void MergeWorkspace::redo() {
    historyStep(HistoryOffer::Redo);
}

void MergeWorkspace::reload(Side s) {
    const std::string path = sides_[s].sourcePath;
    std::error_code ec;
    if (path.empty() || !std::filesystem::exists(path, ec)) {
        host_.showMessage(MessageIcon::Error, "Error", "Cannot load file, file may be lost");
        return;
    }
    const WaitCursor wait(host_);
    sides_[s].locked = false;
    loadPart(path, s);
}

void MergeWorkspace::toggleLock(Side s) {
    if (!sides_[s].holdsPart) return;
    PaneSide& side = sides_[s];
    side.locked = !side.locked;
    host_.enableClear(s, !side.locked);
    host_.enableInput(s, !side.locked);
    const PaneSide& other = sides_[tandemscan::other(s)];
    if (side.locked) {
        if (!other.holdsPart)
            host_.toolState(ToolState::NoUnlockedPart, 1);
        else if (other.locked)
            host_.toolState(ToolState::OtherLocked, 1);
        else
            host_.toolState(ToolState::OneLocked, 1);
    } else {
        if (!other.holdsPart)
            host_.toolState(ToolState::OnePart, 0);
        else if (other.locked)
            host_.toolState(ToolState::OneLocked, 1);
        else
            host_.toolState(ToolState::OtherLocked, 0);
    }
}

void MergeWorkspace::resetHistory() {
    lastEdit_.record(EditKind::None);
    lastEdit_.image.reset();
    lastEdit_.undoneCrop.reset();
}

} // namespace tandemscan
