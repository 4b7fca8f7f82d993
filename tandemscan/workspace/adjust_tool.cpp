// The image adjustment tool.
#include "workspace/adjust_tool.h"

#include "workspace/merge_workspace.h"

namespace tandemscan {

void AdjustTool::press(Side s) {
    const PaneSide& side = ws_.sides_[s];
    if (!side.holdsPart) return;
    if (side.workingCopy.header().bitCount == 1) {
        ws_.host_.showMessage(MessageIcon::Warning, "Zunt--Tandemscan",
                              "Image adjust can't support monochroic image!");
        return;
    }
    adjusted_ = s;
    ws_.host_.runImageAdjustment(s);
    adjusted_.reset();
}

} // namespace tandemscan
