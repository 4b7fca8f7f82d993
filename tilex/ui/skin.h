// The window's skin: bitmaps shipped in the program folder's skin/ (by resource id), shapes made
// from bitmaps, and the frame laid over the board.
#pragma once

#include "shape_runs.h"

#include <QImage>
#include <QRegion>
#include <QString>
#include <optional>

namespace tilex {

// The bitmap with this id, or a null image when it is missing.
QImage loadSkinBitmap(const QString& programDir, int id);

// The union of the runs of pixels outside [low, high]; nullopt for a null image.
std::optional<QRegion> regionFromBitmap(const QImage& bitmap, Rgb low, Rgb high);

// (screen AND mask) OR picture as one image to draw over the screen: transparent where the mask
// lets the screen through, the frame picture elsewhere.
QImage frameOverlay(const QImage& picture, const QImage& mask);

struct Skin {
    QImage background; // 129, 800 x 600
    QImage frame;      // 131 over 132, drawn at (76, 67)
    QImage clock;      // 133, at (665, 160)
    static Skin load(const QString& programDir);
};

} // namespace tilex
