#include "board_painter.h"

#include <QFont>

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
    for (int r = 1; r < board.rows(); ++r) {
        const int y = board.originY() + r * ph;
        p.setPen(Qt::black);
        p.drawLine(grid.left, y, right - 1, y);
        p.setPen(Qt::white);
        p.drawLine(grid.left, y + 1, right - 1, y + 1);
    }
    for (int c = 1; c < board.cols(); ++c) {
        const int x = board.originX() + c * pw;
        p.setPen(Qt::black);
        p.drawLine(x, grid.top, x, bottom - 1);
        p.setPen(Qt::white);
        p.drawLine(x + 1, grid.top, x + 1, bottom - 1);
    }
    p.setBrush(Qt::NoBrush);
    // An outlined QRect covers one pixel more than its width and height: the black outline runs
    // on the grid's outermost pixels (right and bottom exclusive), the white one just outside.
    const int gridWidth = right - grid.left;
    const int gridHeight = bottom - grid.top;
    p.setPen(Qt::black);
    p.drawRect(QRect(grid.left, grid.top, gridWidth - 1, gridHeight - 1));
    p.setPen(Qt::white);
    p.drawRect(QRect(grid.left - 1, grid.top - 1, gridWidth + 1, gridHeight + 1));
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

void drawClock(QPainter& p, const QImage& face, QPoint at, uint32_t seconds) {
    p.save();
    if (!face.isNull()) p.drawImage(at, face);
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::black);
    const QRect area(at, face.isNull() ? QSize(65, 25) : face.size());
    p.drawText(area.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
               QString::fromStdString(clockText(seconds)));
    p.restore();
}

} // namespace tilex
