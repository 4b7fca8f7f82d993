// Plain data the workspace keeps per side and hands to the engine: placement offsets, pane
// geometry and the recorded edits of a part.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

namespace tandemscan {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Edges in screen, window or workspace client coordinates; right and bottom are exclusive.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    // The rectangle with its top-left corner at (x, y) and the given size.
    static constexpr Rect at(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height) {
        return {x, y, x + width, y + height};
    }
    constexpr std::int32_t width() const { return right - left; }
    constexpr std::int32_t height() const { return bottom - top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// A size in screen pixels: a pane's, a window's, a screen's.
struct ScreenSize {
    std::int32_t width = 0;
    std::int32_t height = 0;
    friend bool operator==(const ScreenSize&, const ScreenSize&) = default;
};

// Placement of a part in its pane, in screen pixels. The part is drawn shifted left by offsetX and
// up by offsetY from where it is anchored at the seam.
struct PartView {
    bool dragging = false;
    std::int32_t dragStartY = 0;
    std::int32_t dragStartX = 0;
    std::int32_t offsetY = 0;
    std::int32_t offsetX = 0;
    friend bool operator==(const PartView&, const PartView&) = default;
};

// What the engine keeps up to date about a pane: the part's displayed size and which displayed
// coordinate lies at the pane's origin. The on-screen rectangle of the part is
// (paneOrigin - viewOrigin, shownWidth x shownHeight).
struct PaneGeometry {
    std::int32_t paneWidth = 0;
    std::int32_t paneHeight = 0;
    std::int32_t shownWidth = 0;
    std::int32_t shownHeight = 0;
    Point viewOrigin;
    Point paneOrigin;
};

// One recorded edit of a working copy, replayed on the original when the joined image is saved:
// the copy was turned by `angle` (radians, counter-clockwise frame angle; see frameTurnDegrees)
// and then cut to the rectangle, in working-copy pixels, top-down, right/bottom exclusive.
struct EditEntry {
    std::uint8_t kind = 6;
    double angle = 0.0;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The turn a crop frame's angle (radians) asks for, in degrees to a hundredth, positive
// clockwise as the picture is seen; the working copy and the original are both turned by it, and
// 0 means the frame stands upright. Scan skews are fractions of a degree, so no coarser step.
inline double frameTurnDegrees(double radians) {
    return std::round(radians * 180.0 / std::numbers::pi * 100.0) / 100.0;
}

} // namespace tandemscan
