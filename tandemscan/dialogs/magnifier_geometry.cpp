#include "magnifier_geometry.h"

#include <algorithm>

namespace tandemscan {

namespace {

struct Axis {
    int start;
    int cross;
};

Axis placeAxis(int size, int zoom, int side, int point, int extent) {
    const int half = side / 2;
    if (point > half && point < extent - half) return {point - half, size / 2};
    const int start = point <= half ? 0 : std::max(0, extent - side);
    return {start, (point - start) * zoom / 10};
}

} // namespace

int boundedMagnifierSize(long long stored) {
    return stored <= 0 ? 100 : static_cast<int>(std::clamp(stored, 100LL, 180LL));
}

int boundedMagnifierZoom(long long stored) {
    return stored <= 0 ? 20 : static_cast<int>(std::clamp(stored, 18LL, 30LL));
}

MagnifierView magnifierView(int size, int zoom, int pointX, int pointY, int bitmapWidth, int bitmapHeight) {
    MagnifierView view;
    size = boundedMagnifierSize(size);
    zoom = boundedMagnifierZoom(zoom);
    view.side = (size / zoom) * 10;
    const Axis x = placeAxis(size, zoom, view.side, pointX, bitmapWidth);
    const Axis y = placeAxis(size, zoom, view.side, pointY, bitmapHeight);
    view.sourceX = x.start;
    view.sourceY = y.start;
    view.crossX = x.cross;
    view.crossY = y.cross;
    return view;
}

Rect defaultMagnifierRect(int mainRight, int mainTop, int captionHeight, bool firstRun) {
    if (firstRun) return {mainRight + 240, mainTop + 213, mainRight + 346, mainTop + 319 + captionHeight};
    return {mainRight + 15, mainTop + 100, mainRight + 121, mainTop + 206 + captionHeight};
}

Rect rectToStore(const Rect& window, const Rect& stored) {
    if (window.right <= 0 || window.left >= 2500 || window.bottom < 1 || window.top >= 2500) return stored;
    return window;
}

int sizeChoiceIndex(int size) {
    switch (size) {
    case 120:
        return 1;
    case 150:
        return 2;
    case 180:
        return 3;
    default:
        return 0;
    }
}

int zoomChoiceIndex(int zoom) {
    switch (zoom) {
    case 18:
        return 0;
    case 25:
        return 2;
    case 30:
        return 3;
    default:
        return 1;
    }
}

int sizeForChoice(int index) {
    static const int sizes[] = {100, 120, 150, 180};
    return sizes[std::clamp(index, 0, 3)];
}

int zoomForChoice(int index) {
    static const int zooms[] = {18, 20, 25, 30};
    return zooms[std::clamp(index, 0, 3)];
}

} // namespace tandemscan
