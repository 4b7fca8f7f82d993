// Layout, placement arithmetic, loading and clearing, and the plain queries of the workspace.
#include "workspace/merge_workspace.h"

#include "engine/part_files.h"
#include "engine/pixel_tools.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tandemscan {

namespace {

constexpr int minimumVisible = 10;

} // namespace

MergeWorkspace::MergeWorkspace(WorkspaceHost& host, ImageEngine& engine, int paneWidth, int paneHeight)
    : host_(host), engine_(engine), export_(engine) {
    blocks_[Side::Left] = engine_.createStoreBlock(Side::Left);
    blocks_[Side::Right] = engine_.createStoreBlock(Side::Right);
    layoutPanes(paneWidth, paneHeight);
    host_.setCursor(CursorSlot::Arrow);
    host_.toolState(ToolState::NoUnlockedPart, 0);
}

MergeWorkspace::~MergeWorkspace() = default;

const ImageRecord* MergeWorkspace::original(Side s) const {
    const ImageStoreBlock* block = blocks_[s].get();
    return block != nullptr && block->holdsImage() ? &block->view() : nullptr;
}

ImageRecord* MergeWorkspace::mutableOriginal(Side s) {
    ImageStoreBlock* block = blocks_[s].get();
    return block != nullptr && block->holdsImage() ? &block->view() : nullptr;
}

void MergeWorkspace::applyZoomScale() {
    engine_.setZoom(zoomTable[static_cast<std::size_t>(zoomIndex_)]);
}

void MergeWorkspace::layoutPanes(int paneWidth, int paneHeight) {
    paneWidth_ = std::max(paneWidth, 1);
    paneHeight_ = std::max(paneHeight, 1);
    sides_[Side::Left].paneRect = Rect{0, 0, paneWidth_, paneHeight_};
    sides_[Side::Right].paneRect = Rect{paneWidth_ + 1, 0, 2 * paneWidth_ + 1, paneHeight_};
    for (PaneSide& s : sides_) {
        s.geometry.paneOrigin = Point{s.paneRect.left, s.paneRect.top};
        s.geometry.paneWidth = rectWidth(s.paneRect);
        s.geometry.paneHeight = rectHeight(s.paneRect);
    }
}

void MergeWorkspace::setPaneFactor(int percent) {
    engine_.setPaneFactor(static_cast<std::uint16_t>(percent));
}

void MergeWorkspace::resize(int paneWidth, int paneHeight) {
    layoutPanes(paneWidth, paneHeight);
    // The panes changed size: the part fitted at 100 % follows them, and the zoom in force is
    // applied again on top. The edit history is left alone; a resize is not an edit.
    bool first = true;
    for (Side s : bothSides) {
        if (!sides_[s].holdsPart) continue;
        fitToPane(s, !first);
        first = false;
    }
    applyZoomScale();
    for (Side s : bothSides) {
        if (sides_[s].holdsPart) {
            ++sides_[s].renderCount;
            rerender(s);
        }
    }
    if (contentPlacement_) contentJoin_.layout();
    host_.invalidate(clientRect(), true);
}

std::optional<Side> MergeWorkspace::sideAt(Point p) const {
    if (rectContains(sides_[Side::Left].paneRect, p)) return Side::Left;
    if (rectContains(sides_[Side::Right].paneRect, p)) return Side::Right;
    return std::nullopt;
}

void MergeWorkspace::clampOffsets(Side s) {
    PaneSide& side = sides_[s];
    PartView& v = side.view;
    const int shownW = side.geometry.shownWidth;
    const int shownH = side.geometry.shownHeight;
    // Where the bounds cross (a part smaller than what must stay visible) the second one wins.
    if (s == Side::Left) {
        v.offsetX = std::min(v.offsetX, 0);
        v.offsetX = std::max(v.offsetX, minimumVisible - shownW);
    } else {
        v.offsetX = std::max(v.offsetX, 0);
        v.offsetX = std::min(v.offsetX, shownW - minimumVisible);
    }
    v.offsetY = std::min(v.offsetY, shownH - minimumVisible);
    v.offsetY = std::max(v.offsetY, minimumVisible - side.geometry.paneHeight);
}

void MergeWorkspace::anchor(Side s) {
    PaneSide& side = sides_[s];
    const ScreenSize shown = engine_.shownSize(side.workingCopy);
    side.geometry.shownWidth = shown.width;
    side.geometry.shownHeight = shown.height;
}

void MergeWorkspace::rerender(Side s) {
    PaneSide& side = sides_[s];
    anchor(s);
    clampOffsets(s);
    engine_.anchorPart(s, side.geometry, side.workingCopy, side.view);
    invalidatePane(s);
}

void MergeWorkspace::invalidatePane(Side s, bool erase) {
    host_.invalidate(sides_[s].paneRect, erase);
}

bool MergeWorkspace::makeWorkingCopy(Side s, bool reuseScale) {
    PaneSide& side = sides_[s];
    side.workingCopy.reset();
    if (!blocks_[s] || !blocks_[s]->holdsImage()) return false;
    if (!engine_.makeWorkingCopy(*blocks_[s], side.workingCopy, reuseScale)) {
        host_.showMessage(MessageIcon::Error, "Error", engine_.lastError());
        return false;
    }
    loadedEightBit_ = side.workingCopy.header().bitCount == 8;
    // The screen shows palette colour as true colour; gray stays 8-bit.
    if (loadedEightBit_ && !PixelTools::isGrayPalette(side.workingCopy.headerBlock()))
        PixelTools::expandToTrueColor(side.workingCopy);
    ++side.renderCount;
    return true;
}

void MergeWorkspace::fitToPane(Side s, bool reuseScale) {
    ++sides_[s].renderCount;
    engine_.fitToPane(sides_[s].workingCopy, reuseScale);
}

PartCheck MergeWorkspace::checkPart(const HeaderBlock& block, bool otherHoldsPart) {
    const PartCheck check = tandemscan::checkPart(block, otherHoldsPart ? &reference_ : nullptr);
    if (check == PartCheck::Accepted && !otherHoldsPart) {
        reference_ = partReferenceOf(block);
        referenceIsPaletteColour_ = block.header.bitCount == 8 && !PixelTools::isGrayPalette(block);
    }
    return check;
}

namespace {

std::string imageKind(std::uint32_t bits, bool gray) {
    if (bits == 1) return "line art";
    if (bits == 8) return gray ? "gray" : "index colour";
    return "colour";
}

long dpiOf(std::int32_t pelsPerMeter) {
    return std::lround(pelsPerMeter * 0.0254);
}

} // namespace

std::string MergeWorkspace::refusalReason(PartCheck check, const HeaderBlock& block) const {
    const ImageHeader& h = block.header;
    switch (check) {
    case PartCheck::NotSupported:
        if (!partDepthSupported(h.bitCount))
            return "a " + std::to_string(h.bitCount) +
                   "-bit picture cannot be a part; parts have 1, 8 or 24 bits";
        return "the file states no resolution";
    case PartCheck::ResolutionDiffers:
        return std::to_string(dpiOf(h.xPelsPerMeter)) + " dpi, while the part already loaded has " +
               std::to_string(dpiOf(reference_.xPelsPerMeter)) + " dpi";
    case PartCheck::TypeDiffers: {
        return imageKind(h.bitCount, PixelTools::isGrayPalette(block)) +
               ", while the part already loaded is " +
               imageKind(bitsOfColourKind(reference_.colourKind), reference_.gray);
    }
    case PartCheck::Accepted:
        break;
    }
    return {};
}

bool MergeWorkspace::loadPart(const std::string& path, Side s) {
    if (path.empty() || !engine_.hasComponent()) return false;
    modified_ = true;
    usePaneGeometry();
    const Side other = tandemscan::other(s);
    const bool otherHolds = sides_[other].holdsPart;
    HeaderBlock header{};
    const bool readable = engine_.readHeader(path, header);
    const PartReference before = reference_;
    const PartCheck check = readable ? checkPart(header, otherHolds) : PartCheck::NotSupported;
    if (check != PartCheck::Accepted) {
        static const char* const texts[] = {"", "Image type not supported!",
                                            "Resolution is different from the previous image!",
                                            "Image type is different from the previous image!"};
        const std::string why = readable ? refusalReason(check, header) : engine_.lastError();
        host_.showMessage(MessageIcon::Error, "Error",
                          withSecondLine(texts[static_cast<int>(check)], aboutFile(path, why)));
        return false;
    }
    if (!engine_.loadOriginal(*blocks_[s], path)) {
        reference_ = before;
        sides_[s].holdsPart = false;
        sides_[s].workingCopy.reset();
        ++sides_[s].renderCount;
        invalidatePane(s, true);
        host_.showMessage(MessageIcon::Error, "Error", aboutFile(path, engine_.lastError()));
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
    if (!otherHolds) zoomIndex_ = 0;
    rerender(s);
    reportParts();
    host_.enableOutput(holdsBothParts());
    host_.enableClear(s, true);
    side.cropHistory.clear();
    side.rotations = 0;
    return true;
}

void MergeWorkspace::reportParts() {
    if (holdsBothParts()) {
        if (eitherLocked())
            host_.toolState(ToolState::OneLocked, 1);
        else
            host_.toolState(ToolState::TwoParts, 0);
        sendWidthRule();
    } else if (holdsAnyPart()) {
        host_.toolState(ToolState::OnePart, 0);
    }
}

void MergeWorkspace::sendWidthRule() {
    const ImageRecord* left = original(Side::Left);
    const ImageRecord* right = original(Side::Right);
    const bool holds =
        left != nullptr && right != nullptr && automaticMergeWidthRule(left->header(), right->header());
    host_.toolState(ToolState::AutoMergeWidth, holds && !eitherLocked() ? 1 : 0);
}

// After a crop, or its undo, the rule is judged on the working copies.
void MergeWorkspace::sendWorkingWidthRule() {
    if (!holdsBothParts()) return;
    const ImageRecord& l = sides_[Side::Left].workingCopy;
    const ImageRecord& r = sides_[Side::Right].workingCopy;
    const bool holds = !l.empty() && !r.empty() && automaticMergeWidthRule(l.header(), r.header());
    host_.toolState(ToolState::AutoMergeWidth, holds ? 1 : 0);
}

void MergeWorkspace::clearSide(Side s) {
    lastEdit_.record(EditKind::ClearSide, s);
    contentPlacement_.reset();
    PaneSide& side = sides_[s];
    gridFlag_.clearSide(s);
    crop_.close(s);
    side.workingCopy.reset();
    side.holdsPart = false;
    side.geometry.shownWidth = side.geometry.shownHeight = 0;
    ++side.renderCount;
    invalidatePane(s, true);
    host_.invalidate(Rect{paneWidth_ - 1, 0, paneWidth_ + 2, paneHeight_}, true);
    host_.enableClear(s, false);
    host_.enableOutput(false);
    const Side other = tandemscan::other(s);
    if (!sides_[other].holdsPart) {
        reference_ = PartReference{};
        referenceIsPaletteColour_ = false;
        zoomIndex_ = 0;
        applyZoomScale();
        host_.setCursor(CursorSlot::Arrow);
        flags_ = ModeFlags{};
        modesSuspended_ = false;
        usePaneGeometry();
        host_.toolState(ToolState::NoUnlockedPart, 0);
    } else if (sides_[other].locked) {
        host_.toolState(ToolState::NoUnlockedPart, 0);
    } else {
        host_.toolState(ToolState::OnePart, 0);
    }
}

PartReference MergeWorkspace::copyPartReference() const {
    PartReference r = reference_;
    if (referenceIsPaletteColour_) r.colourKind = 24;
    return r;
}

std::span<std::uint8_t> MergeWorkspace::originalBlock(Side s) {
    ImageStoreBlock* block = blocks_[s].get();
    if (block == nullptr || !block->holdsImage()) return {};
    return block->view().singleBlock();
}

void MergeWorkspace::usePaneGeometry() {
    autoMode_ = false;
    contentPlacement_.reset();
}

bool MergeWorkspace::isModified(bool reset) {
    if (reset) modified_ = false;
    return holdsBothParts() && modified_;
}

int MergeWorkspace::workingBitsPerPixel() const {
    for (const PaneSide& side : sides_)
        if (side.holdsPart && !side.workingCopy.empty()) return side.workingCopy.header().bitCount;
    return 0;
}

void MergeWorkspace::showLockMessage() {
    host_.showMessage(MessageIcon::Warning, "Lock!", "This image has been locked!");
}

bool MergeWorkspace::lockRefused(Side s) {
    if (sides_[s].locked) {
        showLockMessage();
        return true;
    }
    return false;
}

void MergeWorkspace::workingCopyChanged(Side s) {
    if (!sides_[s].holdsPart) return;
    modified_ = true;
    ++sides_[s].renderCount;
    rerender(s);
}

} // namespace tandemscan
