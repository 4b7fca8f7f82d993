// The workspace's cursors and flag icons, drawn from our own artwork.
#pragma once

#include "engine/side.h"
#include "workspace/tool_codes.h"

#include <QCursor>
#include <QPixmap>
#include <array>

namespace tandemscan {

class CursorSet {
  public:
    CursorSet();
    const QCursor& cursor(CursorSlot slot) const;
    const QCursor& cursorAt(int slot) const;
    // The left flag (tip at its top-right corner) and the right flag (tip at its top-left corner).
    const QPixmap& flagIcon(Side side) const { return flags_[side]; }

  private:
    std::array<QCursor, cursorSlotCount> cursors_;
    SidePair<QPixmap> flags_;
};

// Renders one of our SVG images at its 32 x 32 size; null when it cannot be found.
QPixmap renderArtwork(const QString& resourcePath, int size = 32);

} // namespace tandemscan
