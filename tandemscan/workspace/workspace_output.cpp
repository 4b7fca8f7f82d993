// The joined image: the preview from the working copies, and saving from the originals after the
// recorded crops and turns have been replayed on them.
#include "engine/part_files.h"
#include "workspace/merge_workspace.h"

namespace tandemscan {

MergeSide MergeWorkspace::mergeSide(int s) {
    // Half turns are kept in the edit list in order with the crops, so no separate count is
    // handed over.
    pendingTurns_[s] = 0;
    return MergeSide{*blocks_[s], sides_[s].workingCopy, sides_[s].cropHistory, pendingTurns_[s]};
}

MergePlacement MergeWorkspace::placement() const {
    MergePlacement p;
    p.autoMode = autoMode_;
    p.autoOverlap = autoOverlap_;
    // While it stands the placement by content decides the join, with the feathered seam.
    p.content = contentPlacement_;
    const auto seam = [](const PaneSide& side) {
        SeamPane pane;
        pane.paneRect = side.paneRect;
        pane.paneOrigin = side.geometry.paneOrigin;
        pane.viewOrigin = side.geometry.viewOrigin;
        pane.shownHeight = side.geometry.shownHeight;
        return pane;
    };
    p.leftPane = seam(sides_[leftSide]);
    p.rightPane = seam(sides_[rightSide]);
    return p;
}

bool MergeWorkspace::composePreview() {
    joined_.reset();
    if (!sides_[0].holdsPart || !sides_[1].holdsPart) return false;
    if (!export_.composePreview(mergeSide(leftSide), mergeSide(rightSide), placement(), joined_)) {
        host_.showMessage(MessageIcon::Error, "Error", "Not enough memory");
        joined_.reset();
        return false;
    }
    for (PaneSide& side : sides_)
        ++side.renderCount;
    return true;
}

void MergeWorkspace::endPreview() {
    joined_.reset();
}

void MergeWorkspace::savedOriginals() {
    for (PaneSide& side : sides_)
        side.rotations = 0;
    // The originals now carry the crops; taking one back would leave them apart from the
    // working copies.
    if (lastEdit_.kind == EditKind::Crop) resetHistory();
}

bool MergeWorkspace::saveMerged(const std::string& path) {
    if (!sides_[0].holdsPart || !sides_[1].holdsPart || path.empty()) return false;
    WaitCursor wait(host_);
    const bool saved = export_.saveMerged(mergeSide(leftSide), mergeSide(rightSide), placement(), path);
    savedOriginals();
    joined_.reset();
    if (!saved)
        host_.showMessage(MessageIcon::Error, "Error",
                          withSecondLine("Fail to save file", aboutFile(path, export_.lastError())));
    return saved;
}

bool MergeWorkspace::saveSingle(int s, const std::string& path) {
    if (s < 0 || s > 1 || !sides_[s].holdsPart || path.empty()) return false;
    WaitCursor wait(host_);
    const bool saved = export_.saveSingle(mergeSide(s), path);
    savedOriginals();
    if (!saved)
        host_.showMessage(MessageIcon::Error, "Error",
                          withSecondLine("Fail to save file", aboutFile(path, export_.lastError())));
    return saved;
}

std::optional<std::string> MergeWorkspace::exportForApplication() {
    if (!sides_[0].holdsPart || !sides_[1].holdsPart) return std::nullopt;
    WaitCursor wait(host_);
    const std::optional<std::filesystem::path> path =
        export_.exportForApplication(mergeSide(leftSide), mergeSide(rightSide), placement());
    savedOriginals();
    joined_.reset();
    if (!path) {
        host_.showMessage(MessageIcon::Error, "Error",
                          withSecondLine("Fail to save file", export_.lastError()));
        return std::nullopt;
    }
    return path->string();
}

} // namespace tandemscan
