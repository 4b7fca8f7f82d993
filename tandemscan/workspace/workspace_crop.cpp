// The crop frame on each side: creating and closing it, its crawling dots, and applying it to the
// working copy (turning the part upright first when the frame is turned).
#include "engine/pixel_tools.h"
#include "workspace/merge_workspace.h"

#include <cmath>
#include <cstdlib>

namespace tandemscan {

void MergeWorkspace::createCropFrame(Side s) {
    CropFrame& c = sides_[s].crop;
    c.active = true;
    c.frame = newCropFrame(sides_[s].paneRect);
    c.saved = c.frame;
    c.phase = 0;
    host_.cropTimer(s, true);
    invalidatePane(s);
    host_.repaintNow();
}

void MergeWorkspace::closeCropFrame(Side s) {
    CropFrame& c = sides_[s].crop;
    if (!c.active) return;
    c.active = false;
    host_.cropTimer(s, false);
    invalidatePane(s);
}

void MergeWorkspace::closeAllCropFrames() {
    for (Side s : bothSides)
        closeCropFrame(s);
}

void MergeWorkspace::cropTick(Side s) {
    CropFrame& c = sides_[s].crop;
    if (!c.active) return;
    const int cycle = 2 * cropDotSpacing(c.frame.angle);
    c.phase = (c.phase + 1) % cycle;
    invalidatePane(s);
}

void MergeWorkspace::applyCrop(Side s) {
    PaneSide& side = sides_[s];
    if (!side.crop.active || side.locked || side.workingCopy.empty()) return;
    const WaitCursor wait(host_);
    CropGeometry g = normalised(side.crop.frame);
    // A frame beside the part cuts nothing; it is no edit either, so the history keeps the last
    // real one (taking back a crop that never happened would drop an earlier one).
    if (rectIsEmpty(rectIntersected(g.rect(), side.partRect()))) {
        closeCropFrame(s);
        return;
    }
    modified_ = true;
    usePaneGeometry();
    lastEdit_.record(EditKind::Crop, s);
    lastEdit_.undoneCrop.reset();
    lastEdit_.image = side.workingCopy.clone();
    lastEdit_.zoomIndex = zoomIndex_;
    if (g.isTurned()) {
        const Rect before = side.partRect();
        const Point oldCentre{(before.left + before.right) / 2, (before.top + before.bottom) / 2};
        // Turn the part clockwise by the frame's angle so that the frame stands upright; the
        // same turn is replayed on the original when saving.
        const double degrees = frameTurnDegrees(g.angle);
        const HeaderBlock& src = side.workingCopy.headerBlock();
        std::optional<ImageRecord> turned =
            ImageRecord::allocate(src, PixelTools::rotatedSize(src.header, degrees));
        if (!turned || !PixelTools::rotateImage(turned->headerBlock(), turned->pixels(), degrees, src,
                                                side.workingCopy.pixels(), PixelTools::rasterType(src))) {
            host_.showMessage(MessageIcon::Error, "Error", "Not enough memory");
            closeCropFrame(s);
            return;
        }
        turned->header().sizeImage = PixelTools::imageDataSize(turned->header());
        side.workingCopy = std::move(*turned);
        ++side.renderCount;
        rerender(s);
        const Rect after = side.partRect();
        const Point newCentre{(after.left + after.right) / 2, (after.top + after.bottom) / 2};
        // The frame's drawn corner, carried along with the picture by the turn.
        const Point drawnCorner = rotateAbout(Point{g.left, g.top}, g.pivot(), g.angle);
        const Point corner = rotateAbout(drawnCorner, oldCentre, -g.angle);
        const int w = g.right - g.left;
        const int h = g.bottom - g.top;
        g.left = corner.x + newCentre.x - oldCentre.x;
        g.top = corner.y + newCentre.y - oldCentre.y;
        g.right = g.left + w;
        g.bottom = g.top + h;
    }
    // Only the part's own pixels can be kept: a frame reaching past the part is cut back to it
    // before it is converted to working-copy pixels.
    const Rect part = side.partRect();
    const Rect kept = rectIntersected(g.rect(), part);
    const double scale = engine_.viewScale();
    const auto toWorking = [scale](int v, int origin) {
        return std::abs(static_cast<int>((v - origin) * scale + 0.5));
    };
    EditEntry record;
    record.angle = g.isTurned() ? g.angle : 0.0;
    record.left = toWorking(kept.left, part.left);
    record.top = toWorking(kept.top, part.top);
    record.right = toWorking(kept.right, part.left);
    record.bottom = toWorking(kept.bottom, part.top);

    const HeaderBlock& src = side.workingCopy.headerBlock();
    const std::uint32_t bytes = PixelTools::cropImage(src, side.workingCopy.pixels(), record.left, record.top,
                                                      record.right, record.bottom, nullptr, {});
    HeaderBlock cutHeader{};
    std::optional<ImageRecord> cut = bytes > 0 ? ImageRecord::allocate(cutHeader, bytes) : std::nullopt;
    if (!cut || PixelTools::cropImage(src, side.workingCopy.pixels(), record.left, record.top, record.right,
                                      record.bottom, &cut->headerBlock(), cut->pixels()) != 1) {
        closeCropFrame(s);
        return;
    }
    side.cropHistory.push_back(record);
    side.workingCopy = std::move(*cut);
    ++side.renderCount;
    rerender(s);
    sendWorkingWidthRule();
    closeCropFrame(s);
    if (flags_.crop && !sides_[Side::Left].crop.active && !sides_[Side::Right].crop.active) {
        host_.toolState(ToolState::CropClosed, 0);
        flags_.crop = false;
    }
}

void MergeWorkspace::doubleClick(Point p) {
    const std::optional<Side> s = sideAt(p);
    if (!s || sides_[*s].locked || !sides_[*s].crop.active) return;
    applyCrop(*s);
}

} // namespace tandemscan
