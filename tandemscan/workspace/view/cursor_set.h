// The workspace's cursors and flag icons, drawn from our own artwork.
#pragma once

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
    const QPixmap& flagIcon(int side) const { return flags_[side == 0 ? 0 : 1]; }

private:
    std::array<QCursor, cursorSlotCount> cursors_;
    std::array<QPixmap, 2> flags_;
};

// Renders one of our SVG images at its 32 x 32 size; null when it cannot be found.
QPixmap renderArtwork(const QString& resourcePath, int size = 32);

} // namespace tandemscan
