// Integer screen geometry of the workspace: the engine's points and rectangles (workspace client
// coordinates, right and bottom edges excluded) and the few operations the tools need on them.
#pragma once

#include "engine/pane_geometry.h"

#include <algorithm>

namespace tandemscan {

inline int rectWidth(const Rect& r) {
    return r.right - r.left;
}
inline int rectHeight(const Rect& r) {
    return r.bottom - r.top;
}
inline bool rectIsEmpty(const Rect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}
// Left and top edges inside, right and bottom outside.
inline bool rectContains(const Rect& r, Point p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}
inline Rect rectIntersected(const Rect& a, const Rect& b) {
    const Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                 std::min(a.bottom, b.bottom)};
    return rectIsEmpty(r) ? Rect{} : r;
}
inline Rect rectInflated(const Rect& r, int d) {
    return Rect{r.left - d, r.top - d, r.right + d, r.bottom + d};
}

} // namespace tandemscan
