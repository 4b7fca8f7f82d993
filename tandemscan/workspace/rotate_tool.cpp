// The rotate tool.
#include "workspace/rotate_tool.h"

#include "engine/pixel_tools.h"
#include "workspace/merge_workspace.h"

#include <utility>

namespace tandemscan {

void RotateTool::press(Side s) {
    if (!ws_.sides_[s].holdsPart) return;
    ws_.lastEdit_.record(EditKind::Rotate, s);
    halfTurn(s);
}

bool RotateTool::halfTurn(Side s) {
    PaneSide& side = ws_.sides_[s];
    if (side.workingCopy.empty()) return false;
    WaitCursor wait(ws_.host_);
    ws_.modified_ = true;
    ws_.usePaneGeometry();
    ++side.rotations;
    const HeaderBlock& src = side.workingCopy.headerBlock();
    std::optional<ImageRecord> turned = ImageRecord::allocate(src, PixelTools::imageDataSize(src.header));
    if (!turned || !PixelTools::rotateQuarter(turned->headerBlock(), turned->pixels(), 180, src,
                                              side.workingCopy.pixels(), PixelTools::rasterType(src))) {
        ws_.host_.showMessage(MessageIcon::Error, "Error", "Not enough memory");
        --side.rotations;
        return false;
    }
    side.workingCopy = std::move(*turned);
    // Recorded in order with the crops: a crop made after the turn is in turned coordinates.
    EditEntry halfTurn;
    halfTurn.kind = static_cast<std::uint8_t>(EditKind::Rotate);
    halfTurn.angle = 0.0;
    side.cropHistory.push_back(halfTurn);
    ++side.renderCount;
    ws_.rerender(s);
    return true;
}

} // namespace tandemscan
