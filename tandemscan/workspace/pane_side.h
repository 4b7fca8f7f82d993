// Per-side state of the merge workspace: the part's placement in its pane, the working copy the
// tools act on, and the crosshair, flag and crop frame drawn over it.
#pragma once

#include "engine/image_record.h"
#include "workspace/crop_geometry.h"
#include "workspace/geometry.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tandemscan {

inline constexpr int leftSide = 0;
inline constexpr int rightSide = 1;

// Placement of a part in its pane, in screen pixels: the part is drawn shifted left by offsetX
// and up by offsetY from where it is anchored at the seam.
struct PartView {
    bool dragging = false; // the side is the move tool's target
    int dragStartY = 0;
    int dragStartX = 0;
    int offsetY = 0;
    int offsetX = 0;
};

struct GridCross {
    bool shown = false;
    std::uint8_t grab = 0; // 16 crossing point, 2 vertical line, 1 horizontal line, 0 nothing
    int x = 0;
    int y = 0;
    int drawnX = 0;
    int drawnY = 0;
};

// The left flag's tip is at (x + 32, y), the right flag's at (x, y).
struct FlagMarker {
    bool placed = false;
    bool onGrid = false;
    int x = 0;
    int y = 0;
    int drawnX = 0;
    int drawnY = 0;

    Rect rect() const { return Rect{x, y - 16, x + 32, y + 16}; }
};
inline constexpr int flagWidth = 32;

struct CropFrame {
    bool active = false;
    CropGeometry frame;
    CropGeometry saved;
    int phase = 0; // crawling dots
};

// One crop applied to a working copy, replayed on the original when saving.
struct CropRecord {
    std::uint8_t kind = 6;
    double angle = 0.0;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    friend bool operator==(const CropRecord&, const CropRecord&) = default;
};

struct PaneSide {
    bool holdsPart = false;
    ImageRecord workingCopy;
    Rect paneRect;
    Point paneOrigin;
    Point viewOrigin;
    int paneWidth = 0;
    int paneHeight = 0;
    int shownWidth = 0;
    int shownHeight = 0;
    PartView view;
    std::string sourcePath;
    bool locked = false;
    unsigned rotations = 0;
    std::vector<CropRecord> cropHistory;
    GridCross grid;
    FlagMarker flag;
    CropFrame crop;
    // Goes up whenever the working copy or the scale it is shown at changes, so that a view can
    // tell when its screen image is stale.
    unsigned renderCount = 0;

    // Where the displayed part lies on the screen.
    Rect partRect() const
    {
        const int left = paneOrigin.x - viewOrigin.x;
        const int top = paneOrigin.y - viewOrigin.y;
        return Rect{left, top, left + shownWidth, top + shownHeight};
    }
};

} // namespace tandemscan
