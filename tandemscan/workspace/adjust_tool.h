// The image adjustment tool: a click on a part runs the adjustment dialog for it (line art has
// nothing to adjust). While the dialog runs, a zoom it asks for shows only that part anew.
#pragma once

#include "engine/side.h"

#include <optional>

namespace tandemscan {

class MergeWorkspace;

class AdjustTool {
  public:
    explicit AdjustTool(MergeWorkspace& ws) : ws_(ws) {}

    void press(Side s);
    // Whether a zoom now leaves side s as it is: the dialog is open for the other side.
    bool leavesAlone(Side s) const { return adjusted_ && *adjusted_ != s; }

  private:
    MergeWorkspace& ws_;
    std::optional<Side> adjusted_; // the side whose dialog is open
};

} // namespace tandemscan
