// The crop tool: its frames, the press, drag and release on them, the cursor they show, the
// crawling dots, and applying a frame to the working copy (turning the part upright first when
// the frame is turned).
#include "workspace/crop_tool.h"

#include "engine/pixel_tools.h"
#include "workspace/merge_workspace.h"

#include <cmath>
#include <cstdlib>
#include <utility>

namespace tandemscan {

CropTool::~CropTool() {
    for (Side s : bothSides)
        ws_.host_.cropTimer(s, false);
}

void CropTool::setOn(bool on) {
    for (Side s : bothSides) {
        if (on && ws_.sides_[s].holdsPart && !frames_[s].active)
            open(s);
        else if (!on && frames_[s].active)
            close(s);
    }
}

void CropTool::open(Side s) {
    CropFrame& c = frames_[s];
    c.active = true;
    c.frame = newCropFrame(ws_.sides_[s].paneRect);
    c.saved = c.frame;
    c.phase = 0;
    ws_.host_.cropTimer(s, true);
    ws_.invalidatePane(s);
    ws_.host_.repaintNow();
}

void CropTool::close(Side s) {
    CropFrame& c = frames_[s];
    if (!c.active) return;
    c.active = false;
    ws_.host_.cropTimer(s, false);
    ws_.invalidatePane(s);
}

void CropTool::closeAll() {
    for (Side s : bothSides)
        close(s);
}

void CropTool::press(std::optional<Side> s, Point p) {
    hit_ = CropNothing;
    if (!s) return;
    const CropFrame& c = frames_[*s];
    if (c.active) {
        hit_ = cropHitTest(c.frame, p);
        if (hit_ == CropPivot) pressPivot_ = c.frame.pivot();
    } else if (ws_.sides_[*s].holdsPart) {
        open(*s);
    }
}

void CropTool::drag(Side s, Point p, Point last) {
    CropFrame& c = frames_[s];
    if (!c.active) return;
    CropGeometry& g = c.frame;
    bool acted = cropDragMove(g, hit_, p, last) || cropDragResize(g, hit_, p, last) ||
                 cropDragRotate(g, hit_, p, last);
    if (acted) {
        c.saved = g;
    } else if (hit_ == CropPivot) {
        acted = true;
        const Point moved{g.pivotX + p.x - last.x, g.pivotY + p.y - last.y};
        if (rectContains(ws_.sides_[s].paneRect, moved)) {
            g.pivotX = moved.x;
            g.pivotY = moved.y;
            c.saved = g;
        } else {
            g.pivotX = c.saved.pivotX;
            g.pivotY = c.saved.pivotY;
        }
    }
    if (acted) ws_.invalidatePane(s);
}

void CropTool::release(const SidePair<bool>& pressed) {
    for (Side s : bothSides) {
        CropFrame& c = frames_[s];
        if (!c.active || !pressed[s]) continue;
        c.frame = normalised(c.frame);
        if (hit_ == CropPivot) cropFinishPivot(c.frame, pressPivot_);
        c.saved = c.frame;
        ws_.invalidatePane(s);
        ws_.host_.repaintNow();
    }
}

CursorSlot CropTool::cursor(std::optional<Side> s, Point p) const {
    if (!s || !frames_[*s].active) return CursorSlot::Arrow;
    const CropGeometry& g = frames_[*s].frame;
    const std::uint32_t hit = cropHitTest(g, p);
    if (hit == CropInside) return CursorSlot::SizeAll;
    if (isResizeHit(hit)) return static_cast<CursorSlot>(cropResizeCursor(hit, g.angle));
    if (isRotateHit(hit)) return static_cast<CursorSlot>(cropRotateCursor(g, p));
    return CursorSlot::Arrow;
}

void CropTool::tick(Side s) {
    CropFrame& c = frames_[s];
    if (!c.active) return;
    const int cycle = 2 * cropDotSpacing(c.frame.angle);
    c.phase = (c.phase + 1) % cycle;
    ws_.invalidatePane(s);
}

void CropTool::apply(Side s) {
    PaneSide& side = ws_.sides_[s];
    if (!frames_[s].active || side.locked || side.workingCopy.empty()) return;
    const WaitCursor wait(ws_.host_);
    CropGeometry g = normalised(frames_[s].frame);
    // A frame beside the part cuts nothing; it is no edit either, so the history keeps the last
    // real one (taking back a crop that never happened would drop an earlier one).
    if (rectIsEmpty(rectIntersected(g.rect(), side.partRect()))) {
        close(s);
        return;
    }
    ws_.modified_ = true;
    ws_.usePaneGeometry();
    LastEdit& edit = ws_.lastEdit_;
    edit.record(EditKind::Crop, s);
    edit.undoneCrop.reset();
    edit.image = side.workingCopy.clone();
    edit.zoomIndex = ws_.zoomIndex_;
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
            ws_.host_.showMessage(MessageIcon::Error, "Error", "Not enough memory");
            close(s);
            return;
        }
        turned->header().sizeImage = PixelTools::imageDataSize(turned->header());
        side.workingCopy = std::move(*turned);
        ++side.renderCount;
        ws_.rerender(s);
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
    const double scale = ws_.engine_.viewScale();
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
        close(s);
        return;
    }
    side.cropHistory.push_back(record);
    side.workingCopy = std::move(*cut);
    ++side.renderCount;
    ws_.rerender(s);
    ws_.sendWorkingWidthRule();
    close(s);
    if (ws_.flags_.crop && !anyOpen()) {
        ws_.host_.toolState(ToolState::CropClosed, 0);
        ws_.flags_.crop = false;
    }
}

void CropTool::toggleEdit(Side s) {
    LastEdit& edit = ws_.lastEdit_;
    PaneSide& side = ws_.sides_[s];
    std::swap(side.workingCopy, edit.image);
    ++side.renderCount;
    if (edit.undoneCrop) {
        side.cropHistory.push_back(*edit.undoneCrop);
        edit.undoneCrop.reset();
    } else if (!side.cropHistory.empty()) {
        edit.undoneCrop = side.cropHistory.back();
        side.cropHistory.pop_back();
    }
    // The zoom saved with the crop comes back with it; the crop stays the edit to toggle.
    std::swap(ws_.zoomIndex_, edit.zoomIndex);
    ws_.applyZoomScale();
    for (Side t : bothSides) {
        if (ws_.sides_[t].holdsPart) {
            ++ws_.sides_[t].renderCount;
            ws_.rerender(t);
        }
    }
    ws_.sendWorkingWidthRule();
    for (Side t : bothSides) {
        if (ws_.flags_.crop && ws_.sides_[t].holdsPart && !frames_[t].active)
            open(t);
        else if (!ws_.flags_.crop && frames_[t].active)
            close(t);
    }
}

} // namespace tandemscan
