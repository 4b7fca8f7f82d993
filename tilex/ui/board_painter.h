// Drawing the board and the clock onto the window.
#pragma once

#include "board.h"
#include "skin.h"

#include <QImage>
#include <QPainter>

namespace tilex {

// The colour of the frame around the empty slot.
inline const QColor emptySlotColour(116, 228, 248);

// Stretched pieces (rows and columns dropped or repeated, never blended), the grid, the border,
// and while a game is on the frame around the empty slot, whose area is left undrawn.
void drawBoard(QPainter& painter, const Board& board, const QImage& picture);
// The clock face with the time written at its top-left, at `at`.
// The last piece on its way into the bottom-right slot of a solved board, progress 0..1; it
// comes in from the board's right edge.
void drawArrivingPiece(QPainter& painter, const Board& board, const QImage& picture, qreal progress);
// Two lines over the foot of the whole picture after a finish.
void drawFinishNote(QPainter& painter, const Board& board, const QString& note);
// The move count on a slice of the clock's face.
void drawMoves(QPainter& painter, const SkinImage& face, QRect area, int moves);
// The engraved line of text under the board.
void drawSkinLine(QPainter& painter, QRect area, const QString& text);
void drawClock(QPainter& painter, const SkinImage& face, QPoint at, uint32_t seconds);

} // namespace tilex
