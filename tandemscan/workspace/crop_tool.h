// The crop tool: a turnable frame on each side that holds a part, grabbed by its edges, corners,
// turning ring and pivot, and applied to the working copy by a double click (the part is turned
// upright first when the frame is turned). The frame's geometry is crop_geometry's; this object
// keeps the frames, what the press grabbed, and the crop's own undo.
#pragma once

#include "engine/side.h"
#include "workspace/crop_geometry.h"
#include "workspace/geometry.h"
#include "workspace/tool_codes.h"

#include <cstdint>
#include <optional>

namespace tandemscan {

class MergeWorkspace;

struct CropFrame {
    bool active = false;
    CropGeometry frame;
    CropGeometry saved;
    int phase = 0; // crawling dots
};

class CropTool {
  public:
    explicit CropTool(MergeWorkspace& ws) : ws_(ws) {}
    ~CropTool();
    CropTool(const CropTool&) = delete;
    CropTool& operator=(const CropTool&) = delete;

    const CropFrame& frame(Side s) const { return frames_[s]; }
    // What the last press grabbed (a CropHit code).
    std::uint32_t hit() const { return hit_; }

    // The palette switched the tool on (a frame on each side that holds a part) or off.
    void setOn(bool on);
    void open(Side s);
    void close(Side s);
    void closeAll();

    void press(std::optional<Side> s, Point p);
    // A drag on side s from last to p; the frame follows what the press grabbed.
    void drag(Side s, Point p, Point last);
    // The button came up: each frame pressed on is tidied (edges in order, pivot settled).
    void release(const SidePair<bool>& pressed);
    CursorSlot cursor(std::optional<Side> s, Point p) const;
    // One tick of the crawling dots.
    void tick(Side s);
    // Cuts the working copy to the frame; the last edit becomes this crop.
    void apply(Side s);
    // Undo and redo of the crop recorded last on side s: the working copy, the crop record and
    // the zoom swap back, and the frames follow whether the tool is on.
    void toggleEdit(Side s);

  private:
    bool anyOpen() const { return frames_[Side::Left].active || frames_[Side::Right].active; }

    MergeWorkspace& ws_;
    SidePair<CropFrame> frames_;
    std::uint32_t hit_ = CropNothing;
    Point pressPivot_;
};

} // namespace tandemscan
