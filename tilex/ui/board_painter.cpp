#include "board_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <algorithm>

namespace tilex {

void drawBoard(QPainter& p, const Board& board, const QImage& picture) {
    if (board.slotTable().empty() || board.pieceWidth() <= 0 || board.pieceHeight() <= 0) return;
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setRenderHint(QPainter::Antialiasing, false);
    const int sourceWidth = board.sourcePieceWidth();
    const int sourceHeight = board.sourcePieceHeight();
    const int height = picture.height();
    const int pw = board.pieceWidth();
    const int ph = board.pieceHeight();
    for (size_t i = 0; i < board.slotTable().size(); ++i) {
        if (board.playing() && static_cast<int>(i) == board.blank()) continue;
        const SlotRecord& s = board.slotTable()[i];
        // Slots hold the source in stored (bottom-up) rows; the image is top-down.
        const QRect source(s.sourceX, height - s.sourceY - sourceHeight, sourceWidth, sourceHeight);
        p.drawImage(QRect(s.destinationX, s.destinationY, pw, ph), picture, source);
    }
    const PixelRect grid = board.gridRect();
    const int right = grid.right;
    const int bottom = grid.bottom;
    // Lines are filled one-pixel rectangles: they cover exactly the pixels they name at any
    // window scale, where a scaled pen would straddle two.
    for (int r = 1; r < board.rows(); ++r) {
        const int y = board.originY() + r * ph;
        p.fillRect(QRect(grid.left, y, right - grid.left, 1), Qt::black);
        p.fillRect(QRect(grid.left, y + 1, right - grid.left, 1), Qt::white);
    }
    for (int c = 1; c < board.cols(); ++c) {
        const int x = board.originX() + c * pw;
        p.fillRect(QRect(x, grid.top, 1, bottom - grid.top), Qt::black);
        p.fillRect(QRect(x + 1, grid.top, 1, bottom - grid.top), Qt::white);
    }
    // The border: black on the grid's outermost pixels (right and bottom exclusive), white one
    // pixel outside.
    auto outline = [&p](QRect r, const QColor& colour) {
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
        p.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
    };
    const QRect inner(QPoint(grid.left, grid.top), QPoint(right - 1, bottom - 1));
    outline(inner, Qt::black);
    outline(inner.adjusted(-1, -1, 1, 1), Qt::white);
    if (board.playing() && board.blank() >= 0) {
        const PixelRect slot = board.slotRect(board.blank());
        QPen pen(emptySlotColour, 3);
        pen.setJoinStyle(Qt::MiterJoin);
        p.setPen(pen);
        // A 3-pixel pen centred on the slot's edges.
        p.drawRect(QRect(QPoint(slot.left, slot.top), QPoint(slot.right - 1, slot.bottom - 1)));
    }
    p.restore();
}

void drawArrivingPiece(QPainter& p, const Board& board, const QImage& picture, qreal progress) {
    const int last = board.rows() * board.cols() - 1;
    if (board.slotTable().size() != static_cast<size_t>(last + 1) || board.pieceWidth() <= 0) return;
    const int sourceWidth = board.sourcePieceWidth();
    const int sourceHeight = board.sourcePieceHeight();
    const PixelRect slot = board.slotRect(last);
    const PixelRect grid = board.gridRect();
    // The piece's own place in the picture: the last column, the bottom row of pieces.
    const QRect source((board.cols() - 1) * sourceWidth, picture.height() - sourceHeight, sourceWidth,
                       sourceHeight);
    const int offset = static_cast<int>((1.0 - std::clamp(progress, 0.0, 1.0)) * board.pieceWidth());
    p.save();
    p.setClipRect(QRect(QPoint(grid.left, grid.top), QPoint(grid.right - 1, grid.bottom - 1)));
    p.drawImage(QRect(slot.left + offset, slot.top, board.pieceWidth(), board.pieceHeight()), picture,
                source);
    p.restore();
}

void drawFinishNote(QPainter& p, const Board& board, const QString& note) {
    const PixelRect grid = board.gridRect();
    if (grid.right <= grid.left) return;
    p.save();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    font.setBold(true);
    p.setFont(font);
    const int lineHeight = QFontMetrics(font).height();
    const QRect band(grid.left, std::max(grid.top, grid.bottom - 2 * lineHeight - 16), grid.right - grid.left,
                     std::min(grid.bottom - grid.top, 2 * lineHeight + 16));
    p.fillRect(band, QColor(12, 19, 34, 190));
    p.setPen(QColor(255, 244, 208));
    p.drawText(band.adjusted(8, 0, -8, 0), Qt::AlignCenter | Qt::TextWordWrap, note);
    p.restore();
}

void drawMoves(QPainter& p, const SkinImage& face, QRect area, int moves) {
    p.save();
    if (!face.normal.isNull())
        drawSkinImage(p, QRectF(area.topLeft(), QSizeF(area.size().boundedTo(face.normal.size()))), face,
                      QRect(QPoint(0, 0), area.size().boundedTo(face.normal.size())));
    else
        p.fillRect(area, QColor(0xb8, 0xd8, 0xa8));
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(moves > 999 ? 10 : 13);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(area, Qt::AlignCenter, QString::number(std::min(moves, 9999)));
    p.restore();
}

void drawSkinLine(QPainter& p, QRect area, const QString& text) {
    p.save();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(QColor(0, 0, 0, 150));
    p.drawText(QRectF(area).translated(1.5, 1.5), Qt::AlignCenter, text);
    p.setPen(QColor(230, 220, 190, 170));
    p.drawText(area, Qt::AlignCenter, text);
    p.restore();
}

void drawClock(QPainter& p, const SkinImage& face, QPoint at, uint32_t seconds) {
    p.save();
    if (!face.normal.isNull()) drawSkinImage(p, QRectF(at, QSizeF(face.normal.size())), face);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::black);
    const QRect area(at, face.normal.isNull() ? QSize(65, 25) : face.normal.size());
    // Hinting at a larger window scale widens the digits; the text stays on its face.
    const QString text = QString::fromStdString(clockText(seconds));
    const qreal scale = screenScale(p);
    QFont onScreen = font;
    onScreen.setPixelSize(qRound(13 * scale));
    const qreal fit = (area.width() - 2) * scale / QFontMetricsF(onScreen).horizontalAdvance(text);
    if (fit < 1) {
        font.setPixelSize(std::max(8, static_cast<int>(13 * fit)));
        p.setFont(font);
    }
    p.drawText(area.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    p.restore();
}

} // namespace tilex
