// Layout, placement arithmetic, loading and clearing, and the plain queries of the workspace.
#include "workspace/merge_workspace.h"

#include "engine/pixel_tools.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tandemscan {

namespace {

constexpr int minimumVisible = 10;
constexpr int referenceTolerance = 20;

int roundHalfUp(double v) { return static_cast<int>(v + 0.5); }

} // namespace

MergeWorkspace::MergeWorkspace(WorkspaceHost& host, PartStore& store, int paneWidth, int paneHeight)
    : host_(host), store_(store)
{
    layoutPanes(paneWidth, paneHeight);
    host_.setCursor(CursorSlot::Arrow);
    host_.toolState(ToolState::NoUnlockedPart, 0);
}

MergeWorkspace::~MergeWorkspace()
{
    for (int s = 0; s < 2; ++s)
        host_.cropTimer(s, false);
    store_.release();
}

void MergeWorkspace::layoutPanes(int paneWidth, int paneHeight)
{
    paneWidth_ = std::max(paneWidth, 1);
    paneHeight_ = std::max(paneHeight, 1);
    sides_[leftSide].paneRect = Rect{0, 0, paneWidth_, paneHeight_};
    sides_[rightSide].paneRect = Rect{paneWidth_ + 1, 0, 2 * paneWidth_ + 1, paneHeight_};
    for (PaneSide& s : sides_) {
        s.paneOrigin = Point{s.paneRect.left, s.paneRect.top};
        s.paneWidth = s.paneRect.width();
        s.paneHeight = s.paneRect.height();
    }
}

void MergeWorkspace::setPaneFactor(int percent)
{
    scales_.paneFactor = static_cast<std::uint16_t>(percent) / 100.0;
}

void MergeWorkspace::resize(int paneWidth, int paneHeight)
{
    layoutPanes(paneWidth, paneHeight);
    // The panes changed size: the part fitted at 100 % follows them, and the zoom in force is
    // applied again on top. The edit history is left alone; a resize is not an edit.
    bool first = true;
    for (int s = 0; s < 2; ++s) {
        if (!sides_[s].holdsPart)
            continue;
        fitToPane(s, !first);
        first = false;
    }
    scales_.viewScale = scales_.fitScale / static_cast<float>(zoomTable[zoomIndex_] / 100.0f);
    for (int s = 0; s < 2; ++s) {
        if (sides_[s].holdsPart) {
            ++sides_[s].renderCount;
            rerender(s);
        }
    }
    host_.invalidate(clientRect(), true);
}

int MergeWorkspace::sideAt(Point p) const
{
    if (sides_[leftSide].paneRect.contains(p))
        return leftSide;
    if (sides_[rightSide].paneRect.contains(p))
        return rightSide;
    return -1;
}

void MergeWorkspace::clampOffsets(int s)
{
    PaneSide& side = sides_[s];
    PartView& v = side.view;
    const int shownW = side.shownWidth;
    const int shownH = side.shownHeight;
    // Where the bounds cross (a part smaller than what must stay visible) the second one wins.
    if (s == leftSide) {
        v.offsetX = std::min(v.offsetX, 0);
        v.offsetX = std::max(v.offsetX, minimumVisible - shownW);
    } else {
        v.offsetX = std::max(v.offsetX, 0);
        v.offsetX = std::min(v.offsetX, shownW - minimumVisible);
    }
    v.offsetY = std::min(v.offsetY, shownH - minimumVisible);
    v.offsetY = std::max(v.offsetY, minimumVisible - side.paneHeight);
}

void MergeWorkspace::anchor(int s)
{
    PaneSide& side = sides_[s];
    if (side.workingCopy.empty()) {
        side.shownWidth = side.shownHeight = 0;
        return;
    }
    const ImageHeader& h = side.workingCopy.header();
    side.shownWidth = roundHalfUp(h.width / scales_.viewScale);
    side.shownHeight = roundHalfUp(h.height / scales_.viewScale);
}

void MergeWorkspace::rerender(int s)
{
    PaneSide& side = sides_[s];
    anchor(s);
    clampOffsets(s);
    side.viewOrigin.y = side.view.offsetY;
    if (s == rightSide) {
        side.viewOrigin.x = side.view.offsetX;
    } else {
        side.viewOrigin.x = side.shownWidth - side.paneWidth + side.view.offsetX;
        side.paneOrigin = Point{side.paneRect.left, side.paneRect.top};
    }
    invalidatePane(s);
}

void MergeWorkspace::invalidatePane(int s, bool erase) { host_.invalidate(sides_[s].paneRect, erase); }

bool MergeWorkspace::makeWorkingCopy(int s, bool reuseScale)
{
    ImageRecord* original = store_.original(s);
    PaneSide& side = sides_[s];
    side.workingCopy.reset();
    if (original == nullptr || original->empty())
        return false;
    const HeaderBlock& src = original->headerBlock();
    const double width = static_cast<std::uint16_t>(src.header.width);
    const double height = static_cast<std::uint16_t>(src.header.height);
    int newWidth = 0;
    int newHeight = 0;
    if (!reuseScale) {
        const double dpi = src.header.xPelsPerMeter / kPelsPerMeterPerDpi;
        const int w60 = dpi > 0 ? roundHalfUp(width * 60 / dpi) : static_cast<int>(width);
        const int h60 = dpi > 0 ? roundHalfUp(height * 60 / dpi) : static_cast<int>(height);
        if (width <= w60 && height <= h60) {
            scales_.workScale = 1.0;
            newWidth = static_cast<int>(width);
            newHeight = static_cast<int>(height);
        } else {
            const double rx = width / std::max(w60, 1);
            const double ry = height / std::max(h60, 1);
            if (rx >= ry) {
                newWidth = w60;
                newHeight = roundHalfUp(height / rx);
                scales_.workScale = rx;
            } else {
                newWidth = roundHalfUp(width / ry);
                newHeight = h60;
                scales_.workScale = ry;
            }
        }
    } else {
        newWidth = roundHalfUp(width / scales_.workScale);
        newHeight = roundHalfUp(height / scales_.workScale);
    }
    // The smooth-step resampler needs two pixels to blend between.
    newWidth = std::max(newWidth, std::min(2, static_cast<int>(width)));
    newHeight = std::max(newHeight, std::min(2, static_cast<int>(height)));

    HeaderBlock header = src;
    std::optional<ImageRecord> copy;
    if (newWidth == src.header.width && newHeight == src.header.height) {
        copy = original->clone();
    } else {
        header.header.width = newWidth;
        header.header.height = newHeight;
        const std::uint32_t bytes = PixelTools::imageDataSizeFor(&src.header, newWidth, newHeight);
        copy = ImageRecord::allocate(header, bytes);
        if (copy && !PixelTools::resampleImage(src, original->pixels(), newWidth, newHeight,
                                               copy->headerBlock(), copy->pixels()))
            copy.reset();
    }
    if (!copy || copy->empty()) {
        host_.showMessage(MessageIcon::Error, "Error", "Not enough memory");
        return false;
    }
    copy->header().sizeImage = PixelTools::imageDataSize(copy->header());
    loadedEightBit_ = copy->header().bitCount == 8;
    if (copy->header().bitCount == 8 && !PixelTools::isGrayPalette(copy->headerBlock()))
        PixelTools::expandToTrueColor(*copy);
    side.workingCopy = std::move(*copy);
    ++side.renderCount;
    return true;
}

void MergeWorkspace::fitToPane(int s, bool reuseScale)
{
    ++sides_[s].renderCount;
    if (reuseScale || sides_[s].workingCopy.empty())
        return;
    const ImageHeader& h = sides_[s].workingCopy.header();
    const int w = roundHalfUp(basePaneWidth * scales_.paneFactor);
    const int ht = roundHalfUp(basePaneHeight * scales_.paneFactor);
    if (h.width <= w && h.height <= ht)
        scales_.fitScale = 1.0;
    else
        scales_.fitScale = std::max(static_cast<double>(h.width) / w, static_cast<double>(h.height) / ht);
    scales_.viewScale = scales_.fitScale;
}

PartCheck MergeWorkspace::checkPart(const HeaderBlock& block, bool otherHoldsPart)
{
    const ImageHeader& h = block.header;
    if ((h.bitCount != 1 && h.bitCount != 8 && h.bitCount != 24) || h.xPelsPerMeter == 0)
        return PartCheck::NotSupported;
    const bool gray = PixelTools::isGrayPalette(block);
    if (!otherHoldsPart) {
        reference_.gray = h.bitCount == 8 && gray;
        reference_.colourKind = h.clrUsed != 0 ? h.clrUsed : h.bitCount;
        reference_.xPelsPerMeter = h.xPelsPerMeter;
        reference_.yPelsPerMeter = h.yPelsPerMeter;
        return PartCheck::Accepted;
    }
    if (h.clrUsed != reference_.colourKind && h.bitCount != reference_.colourKind)
        return PartCheck::TypeDiffers;
    if (h.bitCount == 8 && h.clrUsed == 0 && gray != reference_.gray)
        return PartCheck::TypeDiffers;
    if (std::abs(h.xPelsPerMeter - reference_.xPelsPerMeter) < referenceTolerance)
        return PartCheck::Accepted;
    return PartCheck::ResolutionDiffers;
}

bool MergeWorkspace::widthRuleHolds(std::int32_t xPelsPerMeter, std::int32_t leftWidth, std::int32_t rightWidth)
{
    const float r = static_cast<float>(xPelsPerMeter);
    const auto nearest = [](float v) { return static_cast<std::int64_t>(std::floor(v + 0.5f)); };
    const std::int64_t low = nearest(r * 8.2677f / kPelsPerMeterPerDpi);
    const std::int64_t high = nearest(r * 8.5f / kPelsPerMeterPerDpi);
    return leftWidth >= low && leftWidth <= high && rightWidth >= low && rightWidth <= high;
}

bool MergeWorkspace::loadPart(const std::string& path, int s)
{
    if (path.empty() || s < 0 || s > 1)
        return false;
    const int other = 1 - s;
    const bool otherHolds = sides_[other].holdsPart;
    const std::optional<HeaderBlock> header = store_.readHeader(path);
    const PartReference before = reference_;
    const PartCheck check = header ? checkPart(*header, otherHolds) : PartCheck::NotSupported;
    if (check != PartCheck::Accepted) {
        static const char* const texts[] = {"", "Image type not supported!",
                                            "Resolution is different from the previous image!",
                                            "Image type is different from the previous image!"};
        host_.showMessage(MessageIcon::Error, "Error", texts[static_cast<int>(check)]);
        return false;
    }
    modified_ = true;
    autoMode_ = false;
    if (!store_.loadOriginal(s, path)) {
        reference_ = before;
        return false;
    }
    PaneSide& side = sides_[s];
    side.view = PartView{};
    if (!makeWorkingCopy(s, otherHolds)) {
        side.holdsPart = false;
        reference_ = before;
        return false;
    }
    side.holdsPart = true;
    fitToPane(s, otherHolds);
    side.sourcePath = path;
    if (!otherHolds)
        zoomIndex_ = 0;
    rerender(s);
    reportParts();
    host_.enableOutput(sides_[0].holdsPart && sides_[1].holdsPart);
    host_.enableClear(s, true);
    side.cropHistory.clear();
    side.rotations = 0;
    return true;
}

void MergeWorkspace::reportParts()
{
    if (sides_[0].holdsPart && sides_[1].holdsPart) {
        if (eitherLocked())
            host_.toolState(ToolState::OneLocked, 1);
        else
            host_.toolState(ToolState::TwoParts, 0);
        sendWidthRule();
    } else if (sides_[0].holdsPart || sides_[1].holdsPart) {
        host_.toolState(ToolState::OnePart, 0);
    }
}

void MergeWorkspace::sendWidthRule()
{
    ImageRecord* left = store_.original(leftSide);
    ImageRecord* right = store_.original(rightSide);
    bool holds = false;
    if (left != nullptr && right != nullptr && !left->empty() && !right->empty())
        holds = widthRuleHolds(left->header().xPelsPerMeter, left->header().width, right->header().width);
    host_.toolState(ToolState::AutoMergeWidth, holds && !eitherLocked() ? 1 : 0);
}

void MergeWorkspace::clearSide(int s)
{
    if (s < 0 || s > 1)
        return;
    lastEdit_ = EditKind::ClearSide;
    lastEditSide_ = s;
    undoToggled_ = false;
    PaneSide& side = sides_[s];
    eraseCrosshair(s);
    removeFlag(s);
    if (side.crop.active)
        closeCropFrame(s);
    side.workingCopy.reset();
    side.holdsPart = false;
    side.shownWidth = side.shownHeight = 0;
    ++side.renderCount;
    invalidatePane(s, true);
    host_.invalidate(Rect{paneWidth_ - 1, 0, paneWidth_ + 2, paneHeight_}, true);
    host_.enableClear(s, false);
    host_.enableOutput(false);
    const int other = 1 - s;
    if (!sides_[other].holdsPart) {
        reference_ = PartReference{};
        zoomIndex_ = 0;
        host_.setCursor(CursorSlot::Arrow);
        flags_ = ModeFlags{};
        modesSuspended_ = false;
        autoMode_ = false;
        host_.toolState(ToolState::NoUnlockedPart, 0);
    } else if (sides_[other].locked) {
        host_.toolState(ToolState::NoUnlockedPart, 0);
    } else {
        host_.toolState(ToolState::OnePart, 0);
    }
}

bool MergeWorkspace::isModified(bool reset)
{
    if (reset)
        modified_ = false;
    return sides_[0].holdsPart && sides_[1].holdsPart && modified_;
}

int MergeWorkspace::workingBitsPerPixel() const
{
    for (const PaneSide& side : sides_)
        if (side.holdsPart && !side.workingCopy.empty())
            return side.workingCopy.header().bitCount;
    return 0;
}

void MergeWorkspace::showLockMessage()
{
    host_.showMessage(MessageIcon::Warning, "Lock!", "This image has been locked!");
}

bool MergeWorkspace::lockRefused(int s)
{
    if (s >= 0 && sides_[s].locked) {
        showLockMessage();
        return true;
    }
    return false;
}

void MergeWorkspace::workingCopyChanged(int s)
{
    if (s < 0 || s > 1 || !sides_[s].holdsPart)
        return;
    modified_ = true;
    ++sides_[s].renderCount;
    rerender(s);
}

} // namespace tandemscan
