#include "window_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace tandemscan {

int scaleRound(double value, double scale) {
    return static_cast<int>(value * scale + 0.5);
}

ScreenSize minimumWindowSize(double scale) {
    return {scaleRound(baseWindowWidth, scale), scaleRound(baseWindowHeight, scale)};
}

float aspectRatio(ScreenSize minimum) {
    return static_cast<float>(minimum.width) / static_cast<float>(minimum.height - captionAllowance);
}

Rect maximisedRect(int screenWidth, int screenHeight, int paletteWidth, float ratio) {
    int width = 0;
    int height = 0;
    if (screenWidth - paletteWidth < (screenHeight - captionAllowance) * ratio) {
        width = screenWidth - paletteWidth;
        height = scaleRound(width / static_cast<double>(ratio));
    } else {
        height = screenHeight - captionAllowance;
        width = scaleRound(height * static_cast<double>(ratio));
    }
    return {paletteWidth, 0, paletteWidth + width, height};
}

Rect maximisedOnScreen(const Rect& available, int paletteWidth, float ratio) {
    const Rect r = maximisedRect(available.width(), available.height(), paletteWidth, ratio);
    return {available.left + r.left, available.top + r.top, available.left + r.right,
            available.top + r.bottom};
}

Rect fitOntoScreen(const Rect& stored, ScreenSize minimum, const Rect& screen) {
    // A hand-edited file may hold anything; 64 bits keep every difference exact.
    using Wide = std::int64_t;
    const Wide roomX = Wide{screen.right} - screen.left;
    const Wide roomY = Wide{screen.bottom} - screen.top;
    const Wide width = std::max<Wide>(std::min(Wide{stored.right} - stored.left, roomX), minimum.width);
    const Wide height = std::max<Wide>(std::min(Wide{stored.bottom} - stored.top, roomY), minimum.height);
    const bool onScreen = stored.left < screen.right && stored.left + width > screen.left &&
                          stored.top < screen.bottom && stored.top + height > screen.top;
    Wide left = screen.left + (roomX - width) / 2;
    Wide top = screen.top + (roomY - height) / 2;
    if (onScreen) {
        left = std::clamp<Wide>(stored.left, screen.left, std::max<Wide>(screen.right - width, screen.left));
        top = std::clamp<Wide>(stored.top, screen.top, std::max<Wide>(screen.bottom - height, screen.top));
    }
    return {static_cast<int>(left), static_cast<int>(top), static_cast<int>(left + width),
            static_cast<int>(top + height)};
}

Point pulledOntoScreens(Point stored, ScreenSize size, std::span<const Rect> screens) {
    if (screens.empty()) return stored;
    // The stored place comes from a file and may be near the ends of int; 64 bits keep sums exact.
    using Wide = std::int64_t;
    const Wide left = stored.x, top = stored.y, right = left + size.width, bottom = top + size.height;
    const auto overlap = [&](const Rect& s) {
        const Wide w = std::min<Wide>(right, s.right) - std::max<Wide>(left, s.left);
        const Wide h = std::min<Wide>(bottom, s.bottom) - std::max<Wide>(top, s.top);
        return w > 0 && h > 0 ? w * h : Wide{0};
    };
    const Rect* best = &screens.front();
    for (const Rect& s : screens) {
        if (left >= s.left && top >= s.top && right <= s.right && bottom <= s.bottom) return stored;
        if (overlap(s) > overlap(*best)) best = &s;
    }
    const auto clampTo = [](Wide value, Wide low, Wide high) {
        return static_cast<int>(std::max(low, std::min(value, high)));
    };
    return {clampTo(left, best->left, Wide{best->right} - size.width),
            clampTo(top, best->top, Wide{best->bottom} - size.height)};
}

std::optional<SizingEdge> draggedEdge(const Rect& before, const Rect& after) {
    const bool left = after.left != before.left && after.right == before.right;
    const bool right = after.right != before.right && after.left == before.left;
    const bool top = after.top != before.top && after.bottom == before.bottom;
    const bool bottom = after.bottom != before.bottom && after.top == before.top;
    if (top && left) return SizingEdge::TopLeft;
    if (top && right) return SizingEdge::TopRight;
    if (bottom && left) return SizingEdge::BottomLeft;
    if (bottom && right) return SizingEdge::BottomRight;
    if (left) return SizingEdge::Left;
    if (right) return SizingEdge::Right;
    if (top) return SizingEdge::Top;
    if (bottom) return SizingEdge::Bottom;
    return std::nullopt;
}

Rect proportionalRect(SizingEdge edge, const Rect& rect, float ratio) {
    Rect out = rect;
    const double r = ratio;
    switch (edge) {
    case SizingEdge::Left:
    case SizingEdge::Right:
    case SizingEdge::BottomLeft:
    case SizingEdge::BottomRight:
        out.bottom = out.top + scaleRound(rect.width() / r);
        break;
    case SizingEdge::Top:
    case SizingEdge::Bottom:
        out.right = out.left + scaleRound(rect.height() * r);
        break;
    case SizingEdge::TopLeft:
    case SizingEdge::TopRight:
        out.top = out.bottom - scaleRound(rect.width() / r);
        break;
    }
    return out;
}

LayoutBase::LayoutBase(double scale)
    : frameLeft(scaleRound(8, scale)), topFrameTop(scaleRound(6, scale)),
      topFrameHeight(scaleRound(36, scale)), listLeft(scaleRound(16, scale)), listTop(scaleRound(13, scale)),
      listHeight(scaleRound(24, scale)), buttonWidth(scaleRound(84, scale)),
      buttonHeight(scaleRound(26, scale)), workspaceLeft(scaleRound(32, scale)),
      workspaceTop(scaleRound(90, scale)), paneWidth(scaleRound(basePaneWidth96, scale)),
      paneHeight(scaleRound(basePaneHeight96, scale)) {}

MainLayout layoutFor(int cx, int cy, const LayoutBase& b) {
    MainLayout l;
    const int m = b.spacing;
    const int bw = b.buttonWidth;
    const int bh = b.buttonHeight;
    l.topFrame = Rect::at(b.frameLeft, b.topFrameTop, cx - 2 * b.frameLeft, b.topFrameHeight);

    const int listWidth = (cx - (3 * m + 2 * b.listLeft)) / 4;
    for (int i = 0; i < 4; ++i)
        l.lists[i] = Rect::at(b.listLeft + i * (listWidth + m), b.listTop, listWidth, b.listHeight);

    const int y2 = cy - 5 - bh;
    const int y1 = y2 - (bh + m / 2);
    const int rightmost = cx - 10 - bw;
    const int step = bw + 2 * m;
    l.help = Rect::at(rightmost, y2, bw, bh);
    l.exit = Rect::at(rightmost - step, y2, bw, bh);
    l.buy = Rect::at(rightmost - 2 * step, y2, bw, bh);
    l.saveAs = Rect::at(rightmost, y1, bw, bh);
    l.sendTo = Rect::at(rightmost - step, y1, bw, bh);
    l.preview = Rect::at(rightmost - 2 * step, y1, bw, bh);
    l.originalType = Rect::at(rightmost - 3 * step, y1, bw, bh);

    const int frameTop = l.topFrame.bottom + m;
    l.workFrame = Rect::at(b.frameLeft, frameTop, cx - 2 * b.frameLeft, (y1 - (m / 2 + m)) - frameTop);

    const int inputY = l.topFrame.bottom + 2 * m;
    const int c = static_cast<int>(cx / 2.0 + 0.5);
    l.inputLeft = Rect::at(c - m - bw, inputY, bw, bh);
    l.clearLeft = Rect::at(c - m - bw - (bw + m), inputY, bw, bh);
    l.inputRight = Rect::at(c + m, inputY, bw, bh);
    l.clearRight = Rect::at(c + m + bw + m, inputY, bw, bh);

    const int left = b.workspaceLeft;
    const int top = b.workspaceTop;
    const int aw = cx - 2 * left;
    const int ah = y1 - top - m;
    const double W = b.paneWidth;
    const double H = b.paneHeight;
    const double sx = ((aw - 1) / 2) / W;
    const double sy = ah / H;
    const double ratio = W / H;
    if (sx < sy) {
        l.paneWidth = (aw - 1) / 2;
        l.paneHeight = scaleRound(l.paneWidth / ratio);
    } else {
        l.paneHeight = ah;
        l.paneWidth = scaleRound(ah * ratio);
    }
    l.paneWidth = std::max(l.paneWidth, 1);
    l.paneHeight = std::max(l.paneHeight, 1);
    l.zoomPercent = scaleRound(l.paneWidth / W * 100.0);
    l.workspace = Rect::at(left, top, 2 * l.paneWidth + 1, l.paneHeight);
    return l;
}

int windowWidthForLists(int listWidth, const LayoutBase& base) {
    return 4 * listWidth + 3 * base.spacing + 2 * base.listLeft;
}

ScreenSize minimumWindowSizeForLists(double scale, int listWidth) {
    const ScreenSize base = minimumWindowSize(scale);
    const int width = windowWidthForLists(listWidth, LayoutBase(scale));
    if (width <= base.width) return base;
    const double ratio = aspectRatio(base);
    return {width, captionAllowance + static_cast<int>(std::ceil(width / ratio))};
}

} // namespace tandemscan
