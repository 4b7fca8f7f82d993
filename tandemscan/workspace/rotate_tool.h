// The rotate tool: a click on a part turns it by 180 degrees, as an edit undo takes back. The
// half turn itself is also how the history and the join by content turn a part.
#pragma once

#include "engine/side.h"

namespace tandemscan {

class MergeWorkspace;

class RotateTool {
  public:
    explicit RotateTool(MergeWorkspace& ws) : ws_(ws) {}

    // A click on side s: the turn is recorded, then made.
    void press(Side s);
    // Turns side s's working copy by 180 degrees and records the turn for saving; false (with a
    // message) when memory runs out.
    bool halfTurn(Side s);

  private:
    MergeWorkspace& ws_;
};

} // namespace tandemscan
