#include "shape_runs.h"

namespace tilex {

bool isTransparent(Rgb p, Rgb low, Rgb high) {
    return p.red >= low.red && p.red <= high.red && p.green >= low.green && p.green <= high.green &&
           p.blue >= low.blue && p.blue <= high.blue;
}

void collectShapeRuns(std::span<const uint32_t> pixels, int width, int height, size_t stride, Rgb low,
                      Rgb high, const std::function<void(std::span<const PixelRect>)>& flush) {
    if (width <= 0 || height <= 0 ||
        pixels.size() < stride * static_cast<size_t>(height - 1) + static_cast<size_t>(width))
        return;
    std::vector<PixelRect> batch;
    batch.reserve(shapeGrowthRects);
    auto add = [&](PixelRect r) {
        if (batch.size() == batch.capacity()) batch.reserve(batch.capacity() + shapeGrowthRects);
        batch.push_back(r);
        if (batch.size() == shapeBatchRects) {
            flush(batch);
            batch.clear();
        }
    };
    for (int y = 0; y < height; ++y) {
        const uint32_t* row = pixels.data() + stride * static_cast<size_t>(y);
        int runStart = -1;
        for (int x = 0; x <= width; ++x) {
            bool solid = false;
            if (x < width) {
                const uint32_t v = row[x];
                solid = !isTransparent(
                    {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)},
                    low, high);
            }
            if (solid && runStart < 0) runStart = x;
            if (!solid && runStart >= 0) {
                add({runStart, y, x, y + 1});
                runStart = -1;
            }
        }
    }
    if (!batch.empty()) flush(batch);
}

} // namespace tilex
