// The window's skin: bitmaps shipped in the program folder's skin/ (by resource id), shapes made
// from bitmaps, and the frame laid over the board.
#pragma once

#include "shape_runs.h"

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QString>
#include <optional>

namespace tilex {

// The bitmap with this id, or a null image when it is missing; doubled: the one drawn at twice
// the resolution ("<id>@2x.bmp"), for large windows and high-resolution screens.
QImage loadSkinBitmap(const QString& programDir, int id, bool doubled = false);

// A skin bitmap and its double; the double may be missing.
struct SkinImage {
    QImage normal;
    QImage doubled;
};

// How many screen pixels one skin pixel covers under this painter.
qreal screenScale(const QPainter& painter);

// Draws source (in the normal bitmap's pixels; empty: all of it) into target. Above one screen
// pixel per skin pixel the double is used, so edges and text in the skin stay sharp: exactly at
// twice, without blending; between, smoothly shrunk.
void drawSkinImage(QPainter& painter, const QRectF& target, const SkinImage& image, QRect source = {});

// The union of the runs of pixels outside [low, high]; nullopt for a null image.
std::optional<QRegion> regionFromBitmap(const QImage& bitmap, Rgb low, Rgb high);

// (screen AND mask) OR picture as one image to draw over the screen: transparent where the mask
// lets the screen through, the frame picture elsewhere.
QImage frameOverlay(const QImage& picture, const QImage& mask);

struct Skin {
    QImage background; // 129, 800 x 600
    QImage frame;      // 131 over 132, drawn at (76, 67)
    QImage clock;      // 133, at (665, 160)
    // The same at twice the resolution; null where the program folder has none.
    QImage background2x;
    QImage frame2x;
    QImage clock2x;
    SkinImage backgroundImage() const { return {background, background2x}; }
    SkinImage frameImage() const { return {frame, frame2x}; }
    SkinImage clockImage() const { return {clock, clock2x}; }
    static Skin load(const QString& programDir);
};

} // namespace tilex
