#include "skin.h"

#include <QDir>
#include <QPaintDevice>
#include <cmath>
#include <vector>

namespace tilex {

QImage loadSkinBitmap(const QString& programDir, int id, bool doubled) {
    const QString name =
        doubled ? QStringLiteral("skin/%1@2x.bmp").arg(id) : QStringLiteral("skin/%1.bmp").arg(id);
    QImage image(QDir(programDir).filePath(name));
    return image.isNull() ? image : image.convertToFormat(QImage::Format_RGB32);
}

qreal screenScale(const QPainter& painter) {
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    return painter.transform().m11() * ratio;
}

void drawSkinImage(QPainter& p, const QRectF& target, const SkinImage& image, QRect source) {
    if (image.normal.isNull()) return;
    if (source.isNull()) source = image.normal.rect();
    const qreal scale = screenScale(p);
    const bool useDouble = scale > 1.01 && image.doubled.size() == image.normal.size() * 2;
    if (!useDouble) {
        p.drawImage(target, image.normal, source);
        return;
    }
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, std::abs(scale - 2.0) > 0.01 && scale < 2.0);
    p.drawImage(target, image.doubled, QRect(source.topLeft() * 2, source.size() * 2));
    p.restore();
}

std::optional<QRegion> regionFromBitmap(const QImage& bitmap, Rgb low, Rgb high) {
    if (bitmap.isNull()) return std::nullopt;
    const QImage pixels = bitmap.convertToFormat(QImage::Format_RGB32);
    const auto* words = reinterpret_cast<const uint32_t*>(pixels.constBits());
    const size_t stride = static_cast<size_t>(pixels.bytesPerLine()) / 4;
    QRegion shape;
    collectShapeRuns({words, stride * static_cast<size_t>(pixels.height())}, pixels.width(), pixels.height(),
                     stride, low, high, [&](std::span<const PixelRect> batch) {
                         std::vector<QRect> rects;
                         rects.reserve(batch.size());
                         for (const PixelRect& r : batch)
                             rects.emplace_back(r.left, r.top, r.right - r.left, r.bottom - r.top);
                         QRegion part;
                         part.setRects(rects.data(), static_cast<int>(rects.size()));
                         shape += part;
                     });
    return shape;
}

QImage frameOverlay(const QImage& picture, const QImage& mask) {
    if (picture.isNull() || mask.isNull() || picture.size() != mask.size()) return {};
    QImage overlay(picture.size(), QImage::Format_ARGB32);
    for (int y = 0; y < picture.height(); ++y) {
        const auto* frameRow = reinterpret_cast<const QRgb*>(picture.constScanLine(y));
        const auto* maskRow = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(overlay.scanLine(y));
        for (int x = 0; x < picture.width(); ++x) {
            // The mask is black or white: white keeps the screen, black takes the frame.
            const bool keepScreen = qGray(maskRow[x]) >= 128;
            out[x] = keepScreen ? qRgba(0, 0, 0, 0) : (frameRow[x] | 0xFF000000u);
        }
    }
    return overlay;
}

Skin Skin::load(const QString& programDir) {
    Skin skin;
    skin.background = loadSkinBitmap(programDir, 129);
    skin.frame = frameOverlay(loadSkinBitmap(programDir, 131), loadSkinBitmap(programDir, 132));
    skin.clock = loadSkinBitmap(programDir, 133);
    skin.background2x = loadSkinBitmap(programDir, 129, true);
    skin.frame2x = frameOverlay(loadSkinBitmap(programDir, 131, true), loadSkinBitmap(programDir, 132, true));
    skin.clock2x = loadSkinBitmap(programDir, 133, true);
    return skin;
}

} // namespace tilex
