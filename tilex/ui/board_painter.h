// Drawing the board and the clock onto the window.
#pragma once

#include "board.h"

#include <QImage>
#include <QPainter>

namespace tilex {

// The colour of the frame around the empty slot.
inline const QColor emptySlotColour(116, 228, 248);

// Stretched pieces (rows and columns dropped or repeated, never blended), the grid, the border,
// and while a game is on the frame around the empty slot, whose area is left undrawn.
void drawBoard(QPainter& painter, const Board& board, const QImage& picture);
// The clock face with the time written at its top-left, at `at`.
void drawClock(QPainter& painter, const QImage& face, QPoint at, uint32_t seconds);

} // namespace tilex
