// The joined image: the preview from the working copies, and saving from the originals after the
// recorded crops and turns have been replayed on them.
#include "engine/part_files.h"
#include "workspace/merge_workspace.h"

namespace tandemscan {

MergeSide MergeWorkspace::mergeSide(Side s) {
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
    p.leftPane = seam(sides_[Side::Left]);
    p.rightPane = seam(sides_[Side::Right]);
    return p;
}

bool MergeWorkspace::composePreview() {
    joined_.reset();
    if (!holdsBothParts()) return false;
    if (!export_.composePreview(mergeSide(Side::Left), mergeSide(Side::Right), placement(), joined_)) {
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
    if (!holdsBothParts() || path.empty()) return false;
    WaitCursor wait(host_);
    const bool saved = export_.saveMerged(mergeSide(Side::Left), mergeSide(Side::Right), placement(), path);
    savedOriginals();
    joined_.reset();
    if (!saved)
        host_.showMessage(MessageIcon::Error, "Error",
                          withSecondLine("Fail to save file", aboutFile(path, export_.lastError())));
    return saved;
}

bool MergeWorkspace::saveSingle(Side s, const std::string& path) {
    if (!sides_[s].holdsPart || path.empty()) return false;
    WaitCursor wait(host_);
    const bool saved = export_.saveSingle(mergeSide(s), path);
    savedOriginals();
    if (!saved)
        host_.showMessage(MessageIcon::Error, "Error",
                          withSecondLine("Fail to save file", aboutFile(path, export_.lastError())));
    return saved;
}

std::optional<std::string> MergeWorkspace::exportForApplication() {
    if (!holdsBothParts()) return std::nullopt;
    WaitCursor wait(host_);
    const std::optional<std::filesystem::path> path =
        export_.exportForApplication(mergeSide(Side::Left), mergeSide(Side::Right), placement());
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
