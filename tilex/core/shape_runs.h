// Turns a bitmap into the rectangles of its non-transparent pixels, one per run on each row,
// handed over in batches so a large bitmap never builds one huge rectangle list.
#pragma once

#include "board.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace tilex {

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
};

constexpr size_t shapeBatchRects = 2000;
constexpr size_t shapeGrowthRects = 100;

// A pixel is transparent when each of red, green and blue lies within [low, high].
bool isTransparent(Rgb pixel, Rgb low, Rgb high);

// pixels: row-major, top row first, 0xAARRGGBB words with `stride` words per row.
// flush receives each batch of at most 2000 rectangles, and the remainder last.
void collectShapeRuns(std::span<const uint32_t> pixels, int width, int height, size_t stride, Rgb low,
                      Rgb high, const std::function<void(std::span<const PixelRect>)>& flush);

} // namespace tilex
