// The merge workspace: two panes in which the left and the right part of a document are placed
// against each other before they are joined. The model holds the parts, their placement and the
// one step of history, and passes input on to the tools, each an object with its own state; it
// draws nothing and talks to its window only through WorkspaceHost.
#pragma once

#include "engine/content_placement.h"
#include "engine/image_engine.h"
#include "engine/image_record.h"
#include "engine/image_store.h"
#include "engine/merge_export.h"
#include "engine/part_check.h"
#include "workspace/adjust_tool.h"
#include "workspace/auto_merge_tool.h"
#include "workspace/content_join_tool.h"
#include "workspace/crop_tool.h"
#include "workspace/geometry.h"
#include "workspace/grid_flag_tool.h"
#include "workspace/last_edit.h"
#include "workspace/move_tool.h"
#include "workspace/pane_side.h"
#include "workspace/rotate_tool.h"
#include "workspace/tool_codes.h"
#include "workspace/workspace_host.h"
#include "workspace/zoom_tool.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tandemscan {

inline constexpr std::array<std::uint16_t, 14> zoomTable{100, 125, 150, 175, 200, 250, 300,
                                                         350, 400, 450, 500, 600, 700, 800};
inline constexpr int basePaneWidth = 255;
inline constexpr int basePaneHeight = 351;

struct ModeFlags {
    bool zoom = false;
    bool move = false;
    bool rotate = false;
    bool grid = false;
    bool flags = false;
    bool crop = false;
    bool adjust = false;
    bool any() const { return zoom || move || rotate || grid || flags || crop || adjust; }
    friend bool operator==(const ModeFlags&, const ModeFlags&) = default;
};

struct Modifiers {
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};

enum class ArrowKey : std::uint8_t { None = 0, Up = 1, Down = 2, Left = 3, Right = 4 };

// How the pop-up menu looks for a right-click at a point.
struct PopupMenuState {
    bool undoEnabled = false;
    bool redoEnabled = false;
    bool reloadEnabled = false;
    bool zoomEnabled = false;
    int zoomChecked = 0;
    bool saveSolelyEnabled = false;
    bool lockEnabled = false;
    bool lockChecked = false;
};

class MergeWorkspace {
  public:
    // paneWidth and paneHeight are the size of each pane; the workspace is two panes and a
    // one-pixel divider wide. The engine reads the parts and keeps the originals' store blocks.
    MergeWorkspace(WorkspaceHost& host, ImageEngine& engine, int paneWidth = basePaneWidth,
                   int paneHeight = basePaneHeight);
    ~MergeWorkspace();
    MergeWorkspace(const MergeWorkspace&) = delete;
    MergeWorkspace& operator=(const MergeWorkspace&) = delete;

    // --- layout -----------------------------------------------------------------------------
    // New pane size from the main window; re-renders both sides at the current zoom.
    void resize(int paneWidth, int paneHeight);
    // Pane size relative to 255 x 351, as a percentage (the main window's zoom of the panes).
    void setPaneFactor(int percent);
    int paneWidth() const { return paneWidth_; }
    int paneHeight() const { return paneHeight_; }
    // The whole client area and the divider between the panes.
    Rect clientRect() const { return Rect{0, 0, 2 * paneWidth_ + 1, paneHeight_ + 10}; }
    Rect dividerRect() const { return Rect{paneWidth_ + 1, 0, paneWidth_ + 2, paneHeight_ + 10}; }
    // Which pane holds p; none for the divider and outside.
    std::optional<Side> sideAt(Point p) const;

    // --- loading and clearing ------------------------------------------------------------------
    // Checks a file against the other side's part and loads it; false (with a message) when refused.
    bool loadPart(const std::string& path, Side side);
    void clearSide(Side side);
    // The check alone, for a header that is about to be loaded.
    PartCheck checkPart(const HeaderBlock& header, bool otherHoldsPart);
    // Why a readable file was refused, for the message's second line.
    std::string refusalReason(PartCheck check, const HeaderBlock& header) const;

    // --- tools --------------------------------------------------------------------------------
    void selectTool(ToolMode code, bool pressed);
    // Runs a palette command; `pressed` is the palette's state for the tool. Automatic merge and
    // the join by content return true when the parts were placed and the joined preview is ready.
    bool toolCommand(ToolCommand code, bool pressed);
    void exchange();
    // Turns a side by 180 degrees; false (with a message) when memory runs out.
    bool rotateSide(Side side) { return rotate_.halfTurn(side); }
    void zoomTo(int index) { zoom_.zoomTo(index); }
    // Places both parts so that they make up a sheet of the given width (tenths of a millimetre;
    // values outside 2301..4219 keep the last valid width, at first A3's long side).
    bool placeAutomatically(int originalWidthTenthsMm = 0) { return autoMerge_.place(originalWidthTenthsMm); }
    void clearMoveTargets();
    void setContentEstimator(ContentEstimator estimator) { contentJoin_.setEstimator(std::move(estimator)); }
    // The placement by content while it stands (until a manual move or another placement), as
    // the map onto the left original of the right original after its recorded edits; never
    // flipped, the half turn being one of those edits.
    const std::optional<ContentPlacement>& contentPlacement() const { return contentPlacement_; }
    std::optional<ContentScreenMap> contentScreenMap() const { return contentJoin_.screenMap(); }

    // --- mouse and keyboard -------------------------------------------------------------------
    void mousePress(Point p, Modifiers m);
    void mouseMove(Point p, bool leftDown, Modifiers m);
    void mouseRelease(Point p);
    void doubleClick(Point p);
    void arrowKey(ArrowKey key);
    // The mouse wheel: with the zoom tool, or with Ctrl whatever the tool, each notch (up is
    // positive) is one step. False when the wheel is not the workspace's (no part, no zoom).
    bool wheel(int notches, Modifiers m) { return zoom_.wheel(notches, m); }
    // + (direction 1) and - (-1): a zoom step while the zoom tool is active; false otherwise.
    bool zoomKey(int direction) { return zoom_.key(direction); }
    // Alt pressed or released: the zoom cursor follows at once.
    void altChanged(bool altDown) { zoom_.altChanged(altDown); }
    // The cursor for the mouse at p with the buttons up.
    CursorSlot chooseCursor(Point p, bool altDown) const;
    // One 200 ms tick of a side's crawling crop dots.
    void cropTick(Side side) { crop_.tick(side); }

    // --- history and pop-up menu --------------------------------------------------------------
    PopupMenuState prepareMenu(Point p);
    // The menu opens: the tool modes are suspended until the next left press or menu command.
    void suspendModes();
    // A menu command; cursor is the mouse position (workspace coordinates) for Reload.
    void menuCommand(int command, Point cursor);
    void undo();
    void redo();
    void reload(Side side);
    void toggleLock(Side side);

    // --- queries ------------------------------------------------------------------------------
    bool isModified(bool reset);
    bool holdsPart(Side side) const { return sides_[side].holdsPart; }
    bool isLocked(Side side) const { return sides_[side].locked; }
    int workingBitsPerPixel() const;
    // The reference as the scanner check sees it: a palette colour part counts as 24 bits.
    PartReference copyPartReference() const;
    bool loadedEightBit() const { return loadedEightBit_; }
    bool autoMode() const { return autoMode_; }
    double autoOverlap() const { return autoOverlap_; }
    const PaneSide& side(Side s) const { return sides_[s]; }
    int zoomIndex() const { return zoomIndex_; }
    ToolMode mode() const { return mode_; }
    ModeFlags modeFlags() const { return flags_; }
    bool modesSuspended() const { return modesSuspended_; }
    EditKind lastEdit() const { return lastEdit_.kind; }
    const ImageEngine& engine() const { return engine_; }
    // The side's full-resolution original, or null while its store block is empty.
    const ImageRecord* original(Side side) const;
    Point lastMouse() const { return lastMouse_; }
    // The crop tool's frame on a side, and what the last press grabbed of it.
    const CropFrame& cropFrame(Side s) const { return crop_.frame(s); }
    // The grid tool's crosshair and the flag tool's flag on a side.
    const GridCross& crosshair(Side s) const { return gridFlag_.crosshair(s); }
    const FlagMarker& flag(Side s) const { return gridFlag_.flag(s); }
    std::uint32_t cropHit() const { return crop_.hit(); }
    // The side the last pop-up menu's Save Image Solely and Lock refer to.
    Side popupSide() const { return popupSide_; }
    Side lockSide() const { return lockSide_; }

    // --- the joined image ---------------------------------------------------------------------
    // Joins the working copies as placed into the preview image.
    bool composePreview();
    // The joined preview image (empty when none is held).
    const ImageRecord& joinedImage() const { return joined_; }
    // The preview window closed: the joined image is released.
    void endPreview();
    // Joins the originals with the recorded edits and writes the result.
    bool saveMerged(const std::string& path);
    // Writes one side's original with its recorded edits.
    bool saveSingle(Side side, const std::string& path);
    // Saves the joined image as a numbered BMP file in the working folder for another program.
    std::optional<std::string> exportForApplication();

    // For the image adjustment dialog: the side's working copy to change in place, and its
    // original as one block (header block, then pixels; empty when the side holds none).
    ImageRecord& workingCopyForAdjustment(Side side) { return sides_[side].workingCopy; }
    std::span<std::uint8_t> originalBlock(Side side);
    // Called after the adjustment dialog changed a side's working copy.
    void workingCopyChanged(Side side);

  private:
    friend class AdjustTool;
    friend class AutoMergeTool;
    friend class ContentJoinTool;
    friend class CropTool;
    friend class GridFlagTool;
    friend class MoveTool;
    friend class RotateTool;
    friend class ZoomTool;

    void layoutPanes(int paneWidth, int paneHeight);
    void clampOffsets(Side side);
    void anchor(Side side);
    void rerender(Side side);
    void invalidatePane(Side side, bool erase = false);
    bool makeWorkingCopy(Side side, bool reuseScale);
    void fitToPane(Side side, bool reuseScale);
    void reportParts();
    void sendWidthRule();
    void sendWorkingWidthRule();
    bool lockRefused(Side side);
    bool holdsBothParts() const { return sides_[Side::Left].holdsPart && sides_[Side::Right].holdsPart; }
    bool holdsAnyPart() const { return sides_[Side::Left].holdsPart || sides_[Side::Right].holdsPart; }
    bool eitherLocked() const { return sides_[Side::Left].locked || sides_[Side::Right].locked; }
    void showLockMessage();
    void leaveMode(ToolMode newCode);
    void enterMode(ToolMode code, bool pressed);
    void restorePart(Side side);
    void toggleEdit();
    void historyStep(HistoryOffer offer);
    void swapPlacement(Side side, Placement& saved);
    void swapSides();
    void resetHistory();
    // Manual placement from here on: the pane geometry decides the cut again.
    void usePaneGeometry();

    ImageRecord* mutableOriginal(Side side);
    MergeSide mergeSide(Side side);
    MergePlacement placement() const;
    void savedOriginals();
    void applyZoomScale();

    WorkspaceHost& host_;
    ImageEngine& engine_;
    SidePair<std::unique_ptr<ImageStoreBlock>> blocks_;
    int paneWidth_ = basePaneWidth;
    int paneHeight_ = basePaneHeight;
    SidePair<PaneSide> sides_;
    ToolMode mode_ = ToolMode::None;
    ModeFlags flags_;
    bool modesSuspended_ = false;
    ModeFlags savedFlags_;
    int zoomIndex_ = 0;
    Point lastMouse_;
    SidePair<bool> pressedSide_{false, false};
    LastEdit lastEdit_;
    bool modified_ = false;
    bool loadedEightBit_ = false;
    bool autoMode_ = false;
    double autoOverlap_ = 0.0;
    MergeExport export_;
    SidePair<std::uint16_t> pendingTurns_{0, 0};
    ImageRecord joined_;
    PartReference reference_;
    std::optional<ContentPlacement> contentPlacement_;
    bool referenceIsPaletteColour_ = false;
    Side popupSide_ = Side::Left;
    Side lockSide_ = Side::Left;

    // The tools work on the state above (as friends) and keep their own.
    ZoomTool zoom_{*this};
    MoveTool move_{*this};
    AdjustTool adjust_{*this};
    RotateTool rotate_{*this};
    CropTool crop_{*this};
    GridFlagTool gridFlag_{*this};
    ContentJoinTool contentJoin_{*this};
    AutoMergeTool autoMerge_{*this};
};

} // namespace tandemscan
