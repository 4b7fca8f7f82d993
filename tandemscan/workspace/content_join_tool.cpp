// The join by picture content: finding the placement, showing it in the panes, and its undo.
#include "workspace/content_join_tool.h"

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

// The originals take on the crops and turns recorded so far, as a save would do, so that the
// estimate relates the parts as they are shown and will be joined.
bool ContentJoinTool::applyRecordedEdits() {
    if (ws_.sides_[Side::Left].cropHistory.empty() && ws_.sides_[Side::Right].cropHistory.empty())
        return true;
    const bool applied = ws_.export_.applyPendingEdits(ws_.mergeSide(Side::Left)) &&
                         ws_.export_.applyPendingEdits(ws_.mergeSide(Side::Right));
    ws_.savedOriginals();
    if (!applied) ws_.host_.showMessage(MessageIcon::Error, "Error", ws_.export_.lastError());
    return applied;
}

bool ContentJoinTool::join() {
    if (ws_.eitherLocked()) {
        ws_.showLockMessage();
        return false;
    }
    if (!ws_.holdsBothParts() || ws_.original(Side::Left) == nullptr ||
        ws_.original(Side::Right) == nullptr || !estimator_)
        return false;
    WaitCursor wait(ws_.host_);
    if (!applyRecordedEdits()) return false;
    const ImageRecord& left = *ws_.original(Side::Left);
    const ImageRecord& right = *ws_.original(Side::Right);
    std::string why;
    const std::optional<ContentPlacement> found = estimator_(
        PartPixels{left.headerBlock(), left.pixels()}, PartPixels{right.headerBlock(), right.pixels()}, &why);
    if (!found) {
        ws_.host_.showMessage(MessageIcon::Warning, "Zunt--Tandemscan", asSentence(why));
        return false;
    }
    const SidePair<PaneSide>& sides = ws_.sides_;
    Edit edit;
    edit.turned = found->flipped;
    edit.offsets = {sides[Side::Left].view.offsetX, sides[Side::Left].view.offsetY,
                    sides[Side::Right].view.offsetX, sides[Side::Right].view.offsetY};
    edit.autoMode = ws_.autoMode_;
    edit.autoOverlap = ws_.autoOverlap_;
    edit.before = ws_.contentPlacement_;
    edit.after = *found;
    // The turn becomes an edit of the right part; the map then needs no flip of its own.
    edit.after.flipped = false;
    if (edit.turned && !ws_.rotateSide(Side::Right)) return false;
    edit_ = edit;
    ws_.lastEdit_.record(EditKind::ContentJoin, Side::Right);
    ws_.modified_ = true;
    ws_.autoMode_ = false;
    ws_.contentPlacement_ = edit.after;
    layout();
    ws_.host_.repaintNow();
    const bool composed = ws_.composePreview();
    ws_.clearMoveTargets();
    return composed;
}

void ContentJoinTool::toggleEdit() {
    Edit& edit = edit_;
    if (edit.turned && !ws_.rotateSide(Side::Right)) return;
    SidePair<PaneSide>& sides = ws_.sides_;
    if (edit.undone) {
        ws_.autoMode_ = false;
        ws_.contentPlacement_ = edit.after;
    } else {
        sides[Side::Left].view.offsetX = edit.offsets[0];
        sides[Side::Left].view.offsetY = edit.offsets[1];
        sides[Side::Right].view.offsetX = edit.offsets[2];
        sides[Side::Right].view.offsetY = edit.offsets[3];
        ws_.autoMode_ = edit.autoMode;
        ws_.autoOverlap_ = edit.autoOverlap;
        ws_.contentPlacement_ = edit.before;
    }
    edit.undone = !edit.undone;
    for (Side s : bothSides) {
        ws_.rerender(s);
        ws_.invalidatePane(s, true);
    }
    if (ws_.contentPlacement_) layout();
}

// The left part is shifted so that the seam lies at its pane's right edge and the right part so
// that the same point of the sheet starts its pane; the turn itself is left to the drawing.
void ContentJoinTool::layout() {
    const ImageRecord* left = ws_.original(Side::Left);
    const ImageRecord* right = ws_.original(Side::Right);
    const std::optional<ContentPlacement>& placement = ws_.contentPlacement_;
    if (!placement || left == nullptr || right == nullptr) return;
    const double s = ws_.engine_.workScale() * ws_.engine_.viewScale();
    const SeamPoint seam = seamPoint(*placement, left->header().width, std::abs(right->header().height));
    PaneSide& l = ws_.sides_[Side::Left];
    ws_.anchor(Side::Left);
    l.view.offsetX = static_cast<int>(std::lround(seam.leftX / s)) - l.geometry.shownWidth;
    ws_.rerender(Side::Left);
    const Rect lp = l.partRect();
    PaneSide& r = ws_.sides_[Side::Right];
    const double seamX = r.paneRect.left + (lp.left + seam.leftX / s - l.paneRect.right);
    const double seamY = lp.top + seam.leftY / s;
    r.view.offsetX = static_cast<int>(std::lround(r.paneRect.left + seam.rightX / s - seamX));
    r.view.offsetY = static_cast<int>(std::lround(r.paneRect.top + seam.rightY / s - seamY));
    ws_.rerender(Side::Right);
}

std::optional<ContentScreenMap> ContentJoinTool::screenMap() const {
    const std::optional<ContentPlacement>& placement = ws_.contentPlacement_;
    if (!placement || !ws_.holdsBothParts()) return std::nullopt;
    const double s = ws_.engine_.workScale() * ws_.engine_.viewScale();
    const PaneSide& l = ws_.sides_[Side::Left];
    const Rect lp = l.partRect();
    // The right pane goes on where the left pane ends, past the divider.
    const int gap = ws_.sides_[Side::Right].paneRect.left - l.paneRect.right;
    return ContentScreenMap{lp.left + gap + placement->dx / s, lp.top + placement->dy / s,
                            placement->angleDeg};
}

} // namespace tandemscan
