// The join by picture content: the placement found from the two originals, shown in the panes
// with the right part's fine turn, and taken back and forth by the history like any edit.
#include "workspace/merge_workspace.h"

#include <cctype>
#include <cmath>
#include <numbers>

namespace tandemscan {

namespace {

struct Turn {
    double cosine;
    double sine;
};

Turn turnOf(const ContentPlacement& c) {
    const double a = c.angleDeg * std::numbers::pi / 180.0;
    return Turn{std::cos(a), std::sin(a)};
}

// Where the panes meet while the placement stands: the middle of the overlap, on the row of the
// right part's middle, as a point of each original (pixel centres at integers).
struct SeamPoint {
    double leftX;
    double leftY;
    double rightX;
    double rightY;
};

SeamPoint seamPoint(const ContentPlacement& c, int leftWidth, int rightHeight) {
    const Turn t = turnOf(c);
    const double middleRow = (rightHeight - 1) / 2.0;
    const double edgeX = -t.sine * middleRow + c.dx; // the right part's left edge, in the left part
    const double edgeY = t.cosine * middleRow + c.dy;
    SeamPoint p{};
    p.leftX = (edgeX + (leftWidth - 1)) / 2.0;
    p.leftY = edgeY;
    const double ux = p.leftX - c.dx;
    const double uy = p.leftY - c.dy;
    p.rightX = t.cosine * ux + t.sine * uy;
    p.rightY = -t.sine * ux + t.cosine * uy;
    return p;
}

// The estimator's reasons are phrases; a message box shows them as a sentence.
std::string asSentence(std::string phrase) {
    if (phrase.empty()) return "The parts cannot be joined by their content.";
    phrase[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(phrase[0])));
    if (phrase.back() != '.') phrase += '.';
    return phrase;
}

} // namespace

void MergeWorkspace::usePaneGeometry() {
    autoMode_ = false;
    contentPlacement_.reset();
}

// The originals take on the crops and turns recorded so far, as a save would do, so that the
// estimate relates the parts as they are shown and will be joined.
bool MergeWorkspace::applyRecordedEdits() {
    if (sides_[Side::Left].cropHistory.empty() && sides_[Side::Right].cropHistory.empty()) return true;
    const bool applied =
        export_.applyPendingEdits(mergeSide(Side::Left)) && export_.applyPendingEdits(mergeSide(Side::Right));
    savedOriginals();
    if (!applied) host_.showMessage(MessageIcon::Error, "Error", export_.lastError());
    return applied;
}

bool MergeWorkspace::joinByContent() {
    if (eitherLocked()) {
        showLockMessage();
        return false;
    }
    if (!holdsBothParts() || original(Side::Left) == nullptr || original(Side::Right) == nullptr ||
        !contentEstimator_)
        return false;
    WaitCursor wait(host_);
    if (!applyRecordedEdits()) return false;
    const ImageRecord& left = *original(Side::Left);
    const ImageRecord& right = *original(Side::Right);
    std::string why;
    const std::optional<ContentPlacement> found = contentEstimator_(
        PartPixels{left.headerBlock(), left.pixels()}, PartPixels{right.headerBlock(), right.pixels()}, &why);
    if (!found) {
        host_.showMessage(MessageIcon::Warning, "Zunt--Tandemscan", asSentence(why));
        return false;
    }
    ContentJoinEdit edit;
    edit.turned = found->flipped;
    edit.offsets = {sides_[Side::Left].view.offsetX, sides_[Side::Left].view.offsetY,
                    sides_[Side::Right].view.offsetX, sides_[Side::Right].view.offsetY};
    edit.autoMode = autoMode_;
    edit.autoOverlap = autoOverlap_;
    edit.before = contentPlacement_;
    edit.after = *found;
    // The turn becomes an edit of the right part; the map then needs no flip of its own.
    edit.after.flipped = false;
    if (edit.turned && !rotateSide(Side::Right)) return false;
    contentJoin_ = edit;
    lastEdit_.record(EditKind::ContentJoin, Side::Right);
    modified_ = true;
    autoMode_ = false;
    contentPlacement_ = edit.after;
    layoutContentPlacement();
    host_.repaintNow();
    const bool composed = composePreview();
    clearMoveTargets();
    return composed;
}

void MergeWorkspace::toggleContentJoin() {
    ContentJoinEdit& edit = contentJoin_;
    if (edit.turned && !rotateSide(Side::Right)) return;
    if (edit.undone) {
        autoMode_ = false;
        contentPlacement_ = edit.after;
    } else {
        sides_[Side::Left].view.offsetX = edit.offsets[0];
        sides_[Side::Left].view.offsetY = edit.offsets[1];
        sides_[Side::Right].view.offsetX = edit.offsets[2];
        sides_[Side::Right].view.offsetY = edit.offsets[3];
        autoMode_ = edit.autoMode;
        autoOverlap_ = edit.autoOverlap;
        contentPlacement_ = edit.before;
    }
    edit.undone = !edit.undone;
    for (Side s : bothSides) {
        rerender(s);
        invalidatePane(s, true);
    }
    if (contentPlacement_) layoutContentPlacement();
}

// The left part is shifted so that the seam lies at its pane's right edge and the right part so
// that the same point of the sheet starts its pane; the turn itself is left to the drawing.
void MergeWorkspace::layoutContentPlacement() {
    const ImageRecord* left = original(Side::Left);
    const ImageRecord* right = original(Side::Right);
    if (!contentPlacement_ || left == nullptr || right == nullptr) return;
    const double s = engine_.workScale() * engine_.viewScale();
    const SeamPoint seam =
        seamPoint(*contentPlacement_, left->header().width, std::abs(right->header().height));
    PaneSide& l = sides_[Side::Left];
    anchor(Side::Left);
    l.view.offsetX = static_cast<int>(std::lround(seam.leftX / s)) - l.geometry.shownWidth;
    rerender(Side::Left);
    const Rect lp = l.partRect();
    PaneSide& r = sides_[Side::Right];
    const double seamX = r.paneRect.left + (lp.left + seam.leftX / s - l.paneRect.right);
    const double seamY = lp.top + seam.leftY / s;
    r.view.offsetX = static_cast<int>(std::lround(r.paneRect.left + seam.rightX / s - seamX));
    r.view.offsetY = static_cast<int>(std::lround(r.paneRect.top + seam.rightY / s - seamY));
    rerender(Side::Right);
}

std::optional<ContentScreenMap> MergeWorkspace::contentScreenMap() const {
    if (!contentPlacement_ || !holdsBothParts()) return std::nullopt;
    const double s = engine_.workScale() * engine_.viewScale();
    const PaneSide& l = sides_[Side::Left];
    const Rect lp = l.partRect();
    // The right pane goes on where the left pane ends, past the divider.
    const int gap = sides_[Side::Right].paneRect.left - l.paneRect.right;
    return ContentScreenMap{lp.left + gap + contentPlacement_->dx / s, lp.top + contentPlacement_->dy / s,
                            contentPlacement_->angleDeg};
}

} // namespace tandemscan
