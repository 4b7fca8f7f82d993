#include "workspace/preview_layout.h"

namespace tandemscan {

Rect previewPlacement(int w, int h, int sw, int sh) {
    int dw = w;
    int dh = h;
    if (!(w < sw && h < sh) && sw > 0 && sh > 0) {
        const double rx = static_cast<double>(w) / sw;
        const double ry = static_cast<double>(h) / sh;
        if (rx >= ry) {
            dw = sw;
            dh = static_cast<int>(h / rx);
        } else {
            dw = static_cast<int>(w / ry);
            dh = sh;
        }
    }
    const int left = (sw - dw) / 2;
    const int top = (sh - dh) / 2;
    return Rect{left, top, left + dw, top + dh};
}

PreviewFacts previewFacts(const ImageHeader& joined, double workScale) {
    PreviewFacts f;
    f.width = static_cast<int>(joined.width * workScale + 0.5);
    f.height = static_cast<int>(joined.height * workScale + 0.5);
    f.dpiX = static_cast<int>(joined.xPelsPerMeter / kPelsPerMeterPerDpi + 0.5f);
    f.dpiY = static_cast<int>(joined.yPelsPerMeter / kPelsPerMeterPerDpi + 0.5f);
    return f;
}

std::string previewInformation(const PreviewFacts& facts, const PreviewTexts& texts) {
    return texts.imageSize + std::to_string(facts.width) + texts.times + std::to_string(facts.height) +
           texts.pixel + texts.resolution + std::to_string(facts.dpiX) + texts.dpi;
}

} // namespace tandemscan
