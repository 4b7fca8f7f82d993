// Geometry of the turnable crop frame: turning points about the pivot, the hit test that tells
// which handle a point grabs, the drags, and the numbers the view draws it with.
#pragma once

#include "workspace/geometry.h"
#include "workspace/tool_codes.h"

#include <array>
#include <cstdint>

namespace tandemscan {

inline constexpr int cropTolerance = 10;
// A fresh frame stands this far inside its pane, so that a ring for turning it is left outside
// its edge band.
inline constexpr int cropFreshInset = 2 * cropTolerance;

struct CropGeometry {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int pivotX = 0;
    int pivotY = 0;
    double angle = 0.0; // radians, counter-clockwise on the screen

    Rect rect() const { return Rect{left, top, right, bottom}; }
    Point pivot() const { return Point{pivotX, pivotY}; }
    // Whether the frame asks for a turn: any angle that is not 0 to a hundredth of a degree.
    bool isTurned() const;
    friend bool operator==(const CropGeometry&, const CropGeometry&) = default;
};

// Turns pt about ctr by phi, counter-clockwise as seen on the screen, rounded to pixels.
Point rotateAbout(Point pt, Point ctr, double phi);
// Angle of pt about ctr, counter-clockwise and upward positive, in radians; 0 at the centre.
double angleAbout(Point pt, Point ctr);

// The frame for a pane: inset by cropFreshInset, pivot at its centre, upright.
CropGeometry newCropFrame(const Rect& pane);
// Swaps edges so that left <= right and top <= bottom.
CropGeometry normalised(CropGeometry g);
// Which part of the frame p grabs (a CropHit code).
std::uint32_t cropHitTest(const CropGeometry& g, Point p);

// The four corners as drawn: top-left, top-right, bottom-right, bottom-left, turned about the pivot.
std::array<Point, 4> turnedCorners(const CropGeometry& g);
// Corner and edge-midpoint handle centres, turned.
std::array<Point, 8> turnedHandles(const CropGeometry& g);

// The drags; each returns whether it acted for this hit code.
bool cropDragMove(CropGeometry& g, std::uint32_t hit, Point p, Point last);
bool cropDragResize(CropGeometry& g, std::uint32_t hit, Point p, Point last);
bool cropDragRotate(CropGeometry& g, std::uint32_t hit, Point p, Point last);
// Re-expresses a turned frame about its new pivot so it stays where it was on the screen.
void cropFinishPivot(CropGeometry& g, Point pressPivot);

// Spacing of the crawling dots along the outline; always positive.
int cropDotSpacing(double angle);
// Outline points in crawl order: top edge left to right, right edge down, bottom edge right to
// left, left edge up.
int cropOutlineLength(const CropGeometry& g);
Point cropOutlinePoint(const CropGeometry& g, int index);
// Indices of the outline points lit on a tick with the given phase, and whether the first is black.
struct CropDots {
    int start = 0;
    int spacing = 8;
    bool firstBlack = false;
};
CropDots cropDotsForPhase(int phase, double angle);

// Cursor slot for a resize or rotate hit (12..15 and 16..23).
int cropResizeCursor(std::uint32_t hit, double angle);
int cropRotateCursor(const CropGeometry& g, Point p);

} // namespace tandemscan
