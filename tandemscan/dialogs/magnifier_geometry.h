// Where the magnifier takes its picture from and where it draws its cross, and the placement rules
// of its window. Plain arithmetic, shared by the widget and its tests.
#pragma once

#include "engine/pane_geometry.h"

namespace tandemscan {

struct MagnifierView {
    int sourceX = 0, sourceY = 0; // top-left of the source square in the snapshot
    int side = 0;                 // side of the source square
    int crossX = 0, crossY = 0;   // the pointer's place in the window
};

// A stored size or zoom brought within the property pages' choices (100..180 pixels, 18..30
// tenths); 0 and below, a damaged entry, is the default (100, 20).
int boundedMagnifierSize(long long stored);
int boundedMagnifierZoom(long long stored);

// size S is the window's square side, zoom Z is tenths (20 = x2). The source square is centred on
// the point unless that would leave the bitmap; then it is pushed inside along that axis.
MagnifierView magnifierView(int size, int zoom, int pointX, int pointY, int bitmapWidth, int bitmapHeight);

// Default placement beside the main window (its right edge and top), with the caption height.
Rect defaultMagnifierRect(int mainRight, int mainTop, int captionHeight, bool firstRun);

// A window rectangle that has wandered off any sensible screen is not stored; the last stored one is.
Rect rectToStore(const Rect& window, const Rect& stored);

// The property pages' choices.
int sizeChoiceIndex(int size);
int zoomChoiceIndex(int zoom);
int sizeForChoice(int index);
int zoomForChoice(int index);

} // namespace tandemscan
