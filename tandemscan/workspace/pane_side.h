// Per-side state of the merge workspace: the part's placement in its pane and the working copy
// the tools act on.
#pragma once

#include "engine/image_record.h"
#include "engine/pane_geometry.h"
#include "engine/side.h"
#include "workspace/geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tandemscan {

// Where a part stands in its pane: the pane's view origin and the part's placement offsets.
struct Placement {
    Point viewOrigin;
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    friend bool operator==(const Placement&, const Placement&) = default;
};

struct PaneSide {
    bool holdsPart = false;
    ImageRecord workingCopy;
    Rect paneRect;
    PaneGeometry geometry; // pane and displayed sizes, kept by the engine
    PartView view;
    std::string sourcePath;
    bool locked = false;
    std::uint16_t rotations = 0; // half turns of the working copy since the part was loaded
    // Crops and half turns applied to the working copy since the last save, in order; saving
    // replays them on the original.
    std::vector<EditEntry> cropHistory;
    // Goes up whenever the working copy or the scale it is shown at changes, so that a view can
    // tell when its screen image is stale.
    unsigned renderCount = 0;

    Placement placement() const { return {geometry.viewOrigin, view.offsetX, view.offsetY}; }
    void place(const Placement& p) {
        geometry.viewOrigin = p.viewOrigin;
        view.offsetX = p.offsetX;
        view.offsetY = p.offsetY;
    }

    // Where the displayed part lies on the screen.
    Rect partRect() const {
        const int left = geometry.paneOrigin.x - geometry.viewOrigin.x;
        const int top = geometry.paneOrigin.y - geometry.viewOrigin.y;
        return Rect{left, top, left + geometry.shownWidth, top + geometry.shownHeight};
    }
};

} // namespace tandemscan
