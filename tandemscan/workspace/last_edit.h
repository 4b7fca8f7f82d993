// The workspace's one step of history: which edit came last, on which side, whether it has been
// taken back, and what it saved so that undo and redo can toggle it.
#pragma once

#include "engine/image_record.h"
#include "workspace/pane_side.h"
#include "workspace/tool_codes.h"

#include <array>
#include <optional>

namespace tandemscan {

// What the pop-up menu offers once the last edit has been undone or redone.
enum class HistoryOffer { Undo, Redo };

struct LastEdit {
    EditKind kind = EditKind::None;
    Side side = Side::Left;
    bool toggled = false; // undone, or undone and redone: the next step toggles it again
    HistoryOffer offer = HistoryOffer::Undo;
    // A move's side (first), or a flag union's right and left sides.
    std::array<Placement, 2> placements{};
    ImageRecord image;                   // a crop's working copy before the cut
    std::optional<EditEntry> undoneCrop; // the crop record a crop's undo took off
    int zoomIndex = 0;                   // the zoom before a zoom step or a crop

    // A new edit, the one the next undo takes back.
    void record(EditKind edit, Side editSide) {
        record(edit);
        side = editSide;
    }
    // The same, on the side of the edit before (for edits of both sides).
    void record(EditKind edit) {
        kind = edit;
        toggled = false;
    }
};

} // namespace tandemscan
