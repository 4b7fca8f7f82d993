// The main window's geometry without widgets: its size limits, its proportions while an edge is
// dragged, its maximised size, and where every control goes for a given client size.
#pragma once

#include "settings_store.h"

#include <optional>
#include <span>

namespace tandemscan {

// value x scale rounded half up, as every size of the window is.
int scaleRound(double value, double scale = 1.0);

inline constexpr int basePaneWidth96 = 255; // one workspace pane at 96 dpi
inline constexpr int basePaneHeight96 = 351;
inline constexpr int baseWindowWidth = 575;
inline constexpr int baseWindowHeight = 513;
inline constexpr int captionAllowance = 30;

ScreenSize minimumWindowSize(double scale);
// Width per height of the client below the caption; kept while an edge is dragged.
float aspectRatio(ScreenSize minimum);
// The rectangle of the maximised window: as large as fits beside the tool palette.
Rect maximisedRect(int screenWidth, int screenHeight, int paletteWidth, float ratio);
// maximisedRect on a screen's available area (below or beside the desktop's panels, on any
// screen): the window's outer frame, its left edge the palette's width in from the area's left.
Rect maximisedOnScreen(const Rect& available, int paletteWidth, float ratio);

// The stored window rectangle fitted onto the screen: no smaller than the minimum, no larger
// than the screen (unless the minimum is), and moved to lie on it; a rectangle that misses the
// screen altogether is centred on it.
Rect fitOntoScreen(const Rect& stored, ScreenSize minimum, const Rect& screen);

// Where a window of `size` stored at `stored` goes: where it was while it lies wholly on one of
// the screens, else moved the least distance onto the screen it overlaps most (the first screen,
// the primary one, when it overlaps none). A window larger than the screen keeps its top-left on it.
Point pulledOntoScreens(Point stored, ScreenSize size, std::span<const Rect> screens);

enum class SizingEdge { Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

// Which edge a resize from before to after dragged; nullopt when the size did not change.
std::optional<SizingEdge> draggedEdge(const Rect& before, const Rect& after);
// The rectangle with the other dimension following the dragged one at the given ratio.
Rect proportionalRect(SizingEdge edge, const Rect& rect, float ratio);

// Where the controls of the main window go for one client size.
struct MainLayout {
    Rect topFrame;
    Rect lists[4]; // data source, colour type, resolution, descreen
    Rect inputLeft, clearLeft, inputRight, clearRight;
    Rect workFrame;
    Rect originalType, preview, sendTo, saveAs;
    Rect buy, exit, help;
    Rect workspace;
    int paneWidth = 0;
    int paneHeight = 0;
    int zoomPercent = 100; // pane width against the base pane width
};

// The fixed parts of the layout at a dpi scale (logical dpi / 96).
struct LayoutBase {
    explicit LayoutBase(double scale);
    int spacing = 5;
    int frameLeft, topFrameTop, topFrameHeight;
    int listLeft, listTop, listHeight;
    int buttonWidth, buttonHeight;
    int workspaceLeft; // the marker line's right edge minus one pane width
    int workspaceTop;  // the marker line's bottom plus two spacings
    int paneWidth, paneHeight;
};

MainLayout layoutFor(int clientWidth, int clientHeight, const LayoutBase& base);
// The narrowest client width at which layoutFor gives each of the four lists listWidth.
int windowWidthForLists(int listWidth, const LayoutBase& base);
// The window's minimum when its lists need listWidth each: the base size, or wider with the base
// size's aspect ratio when a longer text (a translation, a long device name) needs more room.
ScreenSize minimumWindowSizeForLists(double scale, int listWidth);

} // namespace tandemscan
