#include "engine/content_grey.h"

#include "engine/pixel_tools.h"
#include "engine/side_by_side.h"

#include <array>

namespace tandemscan::content {
namespace {

std::size_t strideOf(const ImageHeader& h) {
    return PixelTools::rowStride(h.width, h.bitCount);
}

float luminance(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return 0.299f * red + 0.587f * green + 0.114f * blue;
}

// One stored row as grey, in the order of picture columns x0 .. x0 + w - 1 after the turn. The
// depth is decided once per row, not per pixel.
void greyRow(const HeaderBlock& block, const std::uint8_t* row, bool turned, int x0, int w,
             const std::array<float, 256>& paletteGrey, float* out) {
    const int width = block.header.width;
    const int first = turned ? width - 1 - x0 : x0;
    const int step = turned ? -1 : 1;
    switch (block.header.bitCount) {
    case 24:
        for (int i = 0, x = first; i < w; ++i, x += step) {
            const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
            out[i] = luminance(p[2], p[1], p[0]);
        }
        break;
    case 8:
        for (int i = 0, x = first; i < w; ++i, x += step)
            out[i] = paletteGrey[row[x]];
        break;
    default:
        for (int i = 0, x = first; i < w; ++i, x += step)
            out[i] = paletteGrey[(row[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    }
}

} // namespace

bool readablePart(const PartPixels& part) {
    const ImageHeader& h = part.header.header;
    if (h.width <= 0 || h.height <= 0 || (h.bitCount != 1 && h.bitCount != 8 && h.bitCount != 24))
        return false;
    return part.pixels.size() >= strideOf(h) * static_cast<std::size_t>(h.height);
}

namespace {

// Rows [rowFrom, rowTo) of readGrey's picture, written into `out` (of readGrey's size).
void readGreyRows(const PartPixels& part, bool turned, int x0, int y0, int factor, GreyImage& out,
                  int rowFrom, int rowTo) {
    const HeaderBlock& block = part.header;
    const int height = block.header.height;
    const std::size_t stride = strideOf(block.header);
    std::array<float, 256> paletteGrey{};
    for (std::size_t i = 0; i < paletteGrey.size(); ++i) {
        const PaletteEntry& e = block.palette[i];
        paletteGrey[i] = luminance(e.red, e.green, e.blue);
    }
    std::vector<float> line(static_cast<std::size_t>(out.width) * factor);
    const float scale = 1.0f / static_cast<float>(factor * factor);
    for (int oy = rowFrom; oy < rowTo; ++oy) {
        float* target = out.row(oy);
        for (int k = 0; k < factor; ++k) {
            const int y = y0 + oy * factor + k;
            // Rows are stored bottom-up; after the turn picture row y is stored row y.
            const int stored = turned ? y : height - 1 - y;
            const std::uint8_t* row = part.pixels.data() + stride * static_cast<std::size_t>(stored);
            if (factor == 1) {
                // Nothing to average: the grey row is the result (0 + v and v * 1 are v exactly).
                greyRow(block, row, turned, x0, out.width, paletteGrey, target);
                continue;
            }
            greyRow(block, row, turned, x0, static_cast<int>(line.size()), paletteGrey, line.data());
            for (int ox = 0; ox < out.width; ++ox) {
                float sum = 0;
                for (int j = 0; j < factor; ++j)
                    sum += line[static_cast<std::size_t>(ox) * factor + j];
                target[ox] += sum;
            }
        }
        if (factor > 1)
            for (int ox = 0; ox < out.width; ++ox)
                target[ox] *= scale;
    }
}

} // namespace

GreyImage readGrey(const PartPixels& part, bool turned, int x0, int y0, int w, int h, int factor) {
    GreyImage out(w / factor, h / factor);
    readGreyRows(part, turned, x0, y0, factor, out, 0, out.height);
    return out;
}

GreyImage readGreySideBySide(const PartPixels& part, bool turned, int x0, int y0, int w, int h, int factor) {
    GreyImage out(w / factor, h / factor);
    const int half = out.height / 2;
    runSideBySide([&] { readGreyRows(part, turned, x0, y0, factor, out, half, out.height); },
                  [&] { readGreyRows(part, turned, x0, y0, factor, out, 0, half); });
    return out;
}

GreyImage halve(const GreyImage& image) {
    GreyImage out(image.width / 2, image.height / 2);
    for (int y = 0; y < out.height; ++y) {
        const float* a = image.row(2 * y);
        const float* b = image.row(2 * y + 1);
        float* o = out.row(y);
        for (int x = 0; x < out.width; ++x)
            o[x] = 0.25f * (a[2 * x] + a[2 * x + 1] + b[2 * x] + b[2 * x + 1]);
    }
    return out;
}

void smooth121(GreyImage& image) {
    const int w = image.width;
    const int h = image.height;
    if (w < 3 || h < 3) return;
    std::vector<float> line(static_cast<std::size_t>(w));
    for (int y = 0; y < h; ++y) {
        float* r = image.row(y);
        line.assign(r, r + w);
        r[0] = 0.75f * line[0] + 0.25f * line[1];
        for (int x = 1; x < w - 1; ++x)
            r[x] = 0.25f * (line[x - 1] + line[x + 1]) + 0.5f * line[x];
        r[w - 1] = 0.75f * line[w - 1] + 0.25f * line[w - 2];
    }
    std::vector<float> previous(image.row(0), image.row(0) + w);
    for (int y = 0; y < h; ++y) {
        float* r = image.row(y);
        const float* next = image.row(y + 1 < h ? y + 1 : y);
        for (int x = 0; x < w; ++x) {
            const float here = r[x];
            r[x] = 0.25f * (previous[x] + next[x]) + 0.5f * here;
            previous[x] = here;
        }
    }
}

} // namespace tandemscan::content
