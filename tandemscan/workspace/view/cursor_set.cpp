#include "workspace/view/cursor_set.h"

#include <QPainter>
#include <QSvgRenderer>

namespace tandemscan {

namespace {

struct ProgramCursor {
    int slot;
    const char* name;
    int hotX;
    int hotY;
};

// Hot spots sit where each picture points: the centre for tools that act on the whole part, the
// lens centre for the zoom, the flag's tip for the flags.
constexpr ProgramCursor programCursors[] = {
    {1, "move", 16, 16},
    {2, "rotate", 16, 16},
    {3, "zoom_in", 13, 13},
    {4, "zoom_out", 13, 13},
    {5, "zoom_limit", 13, 13},
    {6, "grid_horizontal", 16, 16},
    {7, "grid_vertical", 16, 16},
    {9, "flag_left", 31, 0},
    {10, "flag_right", 0, 0},
    {11, "adjust", 16, 16},
    {16, "rotate_sector0", 16, 16},
    {17, "rotate_sector1", 16, 16},
    {18, "rotate_sector2", 16, 16},
    {19, "rotate_sector3", 16, 16},
    {20, "rotate_sector4", 16, 16},
    {21, "rotate_sector5", 16, 16},
    {22, "rotate_sector6", 16, 16},
    {23, "rotate_sector7", 16, 16},
};

} // namespace

QPixmap renderArtwork(const QString& resourcePath, int size) {
    QSvgRenderer renderer(resourcePath);
    if (!renderer.isValid()) return {};
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    return pixmap;
}

CursorSet::CursorSet() {
    cursors_.fill(QCursor(Qt::ArrowCursor));
    cursors_[8] = QCursor(Qt::SizeAllCursor);
    cursors_[12] = QCursor(Qt::SizeHorCursor);
    cursors_[13] = QCursor(Qt::SizeBDiagCursor);
    cursors_[14] = QCursor(Qt::SizeVerCursor);
    cursors_[15] = QCursor(Qt::SizeFDiagCursor);
    for (const ProgramCursor& c : programCursors) {
        const QPixmap pixmap = renderArtwork(QStringLiteral(":/cursors/%1.svg").arg(QLatin1String(c.name)));
        if (!pixmap.isNull()) cursors_[static_cast<std::size_t>(c.slot)] = QCursor(pixmap, c.hotX, c.hotY);
    }
    flags_[Side::Left] = renderArtwork(QStringLiteral(":/workspace/flag_left.svg"));
    flags_[Side::Right] = renderArtwork(QStringLiteral(":/workspace/flag_right.svg"));
}

const QCursor& CursorSet::cursor(CursorSlot slot) const {
    return cursorAt(static_cast<int>(slot));
}

const QCursor& CursorSet::cursorAt(int slot) const {
    if (slot < 0 || slot >= cursorSlotCount) return cursors_[0];
    return cursors_[static_cast<std::size_t>(slot)];
}

} // namespace tandemscan
