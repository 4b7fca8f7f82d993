// Automatic merge.
#include "workspace/auto_merge_tool.h"

#include "workspace/merge_workspace.h"

#include <string>

namespace tandemscan {

bool AutoMergeTool::place(int originalWidthTenthsMm) {
    if (ws_.eitherLocked()) {
        ws_.showLockMessage();
        return false;
    }
    const ImageRecord* left = ws_.original(Side::Left);
    const ImageRecord* right = ws_.original(Side::Right);
    // Without both originals there is nothing to place (the command is offered only then).
    if (!ws_.holdsBothParts() || left == nullptr || right == nullptr) return false;
    paperWidth_.refresh(originalWidthTenthsMm);
    std::string why;
    const std::optional<AutoPlacement> placed =
        computeAutoPlacement(left->header(), right->header(), paperWidth_.inches(), ws_.engine_.workScale(),
                             ws_.engine_.viewScale(), &why);
    if (!placed) {
        ws_.host_.showMessage(MessageIcon::Warning, "Zunt--Tandemscan", why);
        return false;
    }
    ws_.modified_ = true;
    ws_.contentPlacement_.reset();
    ws_.autoMode_ = true;
    ws_.autoOverlap_ = placed->autoOverlap;
    ws_.sides_[Side::Left].view.offsetX = placed->leftOffsetX;
    ws_.sides_[Side::Left].view.offsetY = 0;
    ws_.rerender(Side::Left);
    ws_.sides_[Side::Right].view.offsetX = placed->rightOffsetX;
    ws_.sides_[Side::Right].view.offsetY = 0;
    ws_.rerender(Side::Right);
    ws_.host_.repaintNow();
    const bool composed = ws_.composePreview();
    ws_.clearMoveTargets();
    return composed;
}

} // namespace tandemscan
