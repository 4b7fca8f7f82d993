// Automatic merge: both parts placed from their sizes alone so that together they make up a sheet
// of a given width, and the joined preview made from that. The sheet width is kept between calls,
// as only a valid width replaces it.
#pragma once

#include "engine/placement.h"

namespace tandemscan {

class MergeWorkspace;

class AutoMergeTool {
  public:
    explicit AutoMergeTool(MergeWorkspace& ws) : ws_(ws) {}

    // Places both parts for a sheet of the given width (tenths of a millimetre; values outside
    // 2301..4219 keep the last valid width, at first A3's long side). True when the joined
    // preview is ready.
    bool place(int originalWidthTenthsMm);

  private:
    MergeWorkspace& ws_;
    PaperWidth paperWidth_;
};

} // namespace tandemscan
