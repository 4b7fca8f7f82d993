#include "workspace/view/preview_window.h"

#include "workspace/preview_layout.h"
#include "workspace/view/image_conversion.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace tandemscan {

PreviewWindow::PreviewWindow(const ImageRecord& joined, double /*workScale*/, const QString& information,
                             QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint), image_(toQImage(joined)), information_(information) {
    setObjectName(QStringLiteral("previewWindow"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    const QScreen* screen = QGuiApplication::primaryScreen();
    setGeometry(screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768));
}

QRect PreviewWindow::imageRect() const {
    const Rect r = previewPlacement(image_.width(), image_.height(), width(), height());
    return QRect(r.left, r.top, rectWidth(r), rectHeight(r));
}

void PreviewWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!image_.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(imageRect(), image_);
    }
    painter.setPen(QColor(255, 255, 0));
    painter.setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics metrics(font());
    painter.drawText(QPoint(0, metrics.ascent()), information_);
}

void PreviewWindow::keyPressEvent(QKeyEvent*) {
    accept();
}

void PreviewWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) accept();
}

} // namespace tandemscan
