// Grey working images for placement by content: float luminance read from a part (optionally
// turned by 180 degrees), reduced by box averaging, and the small filters the estimator uses.
#pragma once

#include "engine/content_placement.h"

#include <cstdint>
#include <vector>

namespace tandemscan::content {

struct GreyImage {
    int width = 0;
    int height = 0;
    std::vector<float> values; // rows top-down

    GreyImage() = default;
    GreyImage(int w, int h) : width(w), height(h), values(static_cast<std::size_t>(w) * h, 0.0f) {}
    float* row(int y) { return values.data() + static_cast<std::size_t>(y) * width; }
    const float* row(int y) const { return values.data() + static_cast<std::size_t>(y) * width; }
    float at(int x, int y) const { return values[static_cast<std::size_t>(y) * width + x]; }
};

// Whether the part's header and pixel block can be read as a 1, 8 or 24-bit picture.
bool readablePart(const PartPixels& part);

// The rectangle [x0, x0 + w) x [y0, y0 + h) of the part in picture coordinates (after the turn when
// `turned`), each `factor` x `factor` block averaged into one pixel. The rectangle must lie inside.
GreyImage readGrey(const PartPixels& part, bool turned, int x0, int y0, int w, int h, int factor);
// The same picture, its rows shared between this thread and a second one.
GreyImage readGreySideBySide(const PartPixels& part, bool turned, int x0, int y0, int w, int h, int factor);

// Halves both sizes by averaging 2 x 2 blocks.
GreyImage halve(const GreyImage& image);

// Separable [1 2 1] / 4 smoothing, edges repeated.
void smooth121(GreyImage& image);

// Bilinear sample at (x, y); the caller keeps 0 <= x < width - 1, 0 <= y < height - 1.
inline float sampleBilinear(const GreyImage& image, double x, double y) {
    const int ix = static_cast<int>(x);
    const int iy = static_cast<int>(y);
    const float fx = static_cast<float>(x - ix);
    const float fy = static_cast<float>(y - iy);
    const float* r0 = image.row(iy) + ix;
    const float* r1 = r0 + image.width;
    const float top = r0[0] + fx * (r0[1] - r0[0]);
    const float bottom = r1[0] + fx * (r1[1] - r1[0]);
    return top + fy * (bottom - top);
}

} // namespace tandemscan::content
