// The fine stage of placement by content: from a coarse map, the overlap is cut out of both parts
// at full resolution and the map is refined on a small pyramid by an inverse-compositional
// Gauss-Newton fit of turn and shift (with gain and offset between the passes) on the overlap's
// most textured pixels.
#pragma once

#include "engine/content_placement.h"
#include "engine/content_rigid.h"

namespace tandemscan::content {

struct RefinedMap {
    bool found = false;
    Rigid map;              // right picture -> left picture, full-resolution pixels
    double correlation = 0; // normalised correlation of the overlap's textured pixels
    int samples = 0;
    double overlapInches = 0; // widest extent of the overlap across the seam
    double spanInches = 0;    // extent along the seam of the pixels the fit rests on
};

// `levels` halvings above full resolution are used, coarsest first.
RefinedMap refineMap(const PartPixels& left, const PartPixels& right, bool turned, const Rigid& start,
                     double dpi, int levels);

} // namespace tandemscan::content
