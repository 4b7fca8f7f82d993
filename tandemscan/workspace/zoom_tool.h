// The zoom tool: a click is one step along the zoom table (Alt for out), and so are the wheel
// (with the tool, or with Ctrl whatever the tool) and the + and - keys while the tool is on. The
// zoom level itself is the workspace's, since loading, crops and the menu set it too; this
// object steps it and shows the parts at the new level.
#pragma once

#include "workspace/tool_codes.h"

namespace tandemscan {

class MergeWorkspace;
struct Modifiers;

class ZoomTool {
  public:
    explicit ZoomTool(MergeWorkspace& ws) : ws_(ws) {}

    // A click of the tool; false when refused (a side is locked) and the press goes no further.
    bool press(bool altDown);
    // One step in (+1) or out (-1); refused with the lock message while a side is locked.
    void step(int direction);
    bool wheel(int notches, Modifiers m);
    bool key(int direction);
    void altChanged(bool altDown);
    CursorSlot cursor(bool altDown) const;
    // Goes to a zoom level (clamped to the table).
    void zoomTo(int index);
    // Shows the parts at the workspace's zoom level, which was oldIndex before; the last edit
    // becomes (or stays) this zoom.
    void apply(int oldIndex);

  private:
    MergeWorkspace& ws_;
};

} // namespace tandemscan
