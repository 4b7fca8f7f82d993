// The coarse stage of placement by content: the facing edge strips of both parts, reduced to
// about 60 dpi, are cut into overlapping bands; each band's shift is found by normalised
// cross-correlation over every overlap width, and a rigid map is fitted to the band shifts
// robustly (the bands that agree carry it).
#pragma once

#include "engine/content_grey.h"
#include "engine/content_rigid.h"

namespace tandemscan::content {

struct StripPair {
    const GreyImage& left;  // the left part's right edge strip, reduced
    const GreyImage& right; // the right part's left edge strip, reduced (after any turn)
    int factor = 1;         // full-resolution pixels per reduced pixel
    int leftX0 = 0;         // full-resolution column of the left strip's first pixel
    double dpi = 300;
};

struct CoarseFit {
    bool found = false;
    Rigid map;             // right picture -> left picture, full-resolution pixels
    int inliers = 0;       // bands that agree with the map
    int bands = 0;         // bands with enough picture to be matched
    double score = 0;      // sum of the agreeing bands' correlations
    double rivalScore = 0; // the best score of a clearly different map
    Rigid rivalMap;        // that map
    double spanInches = 0; // height between the outermost agreeing bands
    double meanCorrelation = 0;
};

CoarseFit matchStrips(const StripPair& strips);

} // namespace tandemscan::content
