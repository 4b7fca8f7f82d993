#include "engine/seam_join.h"

#include "engine/pixel_tools.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace tandemscan {

namespace {

constexpr std::uint32_t kParallelJoinBytes = 16u << 20;
// Coverage is decided on pixel centres; this much slack keeps an exact whole-pixel map from
// losing its edge rows and columns to rounding.
constexpr double kEdgeSlack = 1e-6;
// Exposure differences between two passes are a few per cent; a larger ratio means the overlap
// shows different things and is better left alone.
constexpr double kLowestGain = 0.8;
constexpr double kHighestGain = 1.25;
constexpr std::size_t kGainSamples = 200000;

bool fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

// Cubic convolution weights (Catmull-Rom), one set of four for each 1/1024 of a pixel; the last
// set is a whole step, so that rounding the phase up never reads a wrong neighbour.
constexpr int kPhases = 1024;
struct CubicTable {
    std::array<std::array<float, 4>, kPhases + 1> weights;
    CubicTable() {
        for (int p = 0; p <= kPhases; ++p) {
            const double t = double(p) / kPhases;
            const double t2 = t * t, t3 = t2 * t;
            weights[p] = {float(-0.5 * t3 + t2 - 0.5 * t), float(1.5 * t3 - 2.5 * t2 + 1),
                          float(-1.5 * t3 + 2 * t2 + 0.5 * t), float(0.5 * t3 - 0.5 * t2)};
        }
    }
};
const CubicTable& cubicTable() {
    static const CubicTable table;
    return table;
}

std::uint8_t clampByte(float v) {
    if (!(v > 0.f)) return 0;
    if (v >= 255.f) return 255;
    return static_cast<std::uint8_t>(v + 0.5f);
}

std::uint8_t luminance(const PaletteEntry& e) {
    return clampByte(0.299f * e.red + 0.587f * e.green + 0.114f * e.blue);
}

// The map inverted onto the right part, and where its pixels lie in storage.
struct RightSampler {
    const std::uint8_t* pixels;
    std::uint32_t stride;
    std::int32_t width, height;
    bool flipped;
    int channels;     // 3, or 1 with `levels` turning a stored index into a grey level
    int bitsPerPixel; // 24, 8 or 1
    std::array<std::uint8_t, 256> levels{};

    // Stored byte offset of column xf of the turned frame, and the stored row of its row yf.
    std::size_t column(std::int32_t xf) const {
        const std::int32_t x = flipped ? width - 1 - xf : xf;
        return static_cast<std::size_t>(x);
    }
    const std::uint8_t* row(std::int32_t yf) const {
        const std::int32_t stored = flipped ? yf : height - 1 - yf;
        return pixels + static_cast<std::size_t>(stored) * stride;
    }
    float levelAt(const std::uint8_t* row, std::size_t x) const {
        if (bitsPerPixel == 1) return levels[(row[x >> 3] >> (7 - (x & 7))) & 1];
        return levels[row[x]];
    }

    // The cubic interpolation at frame position (u, v), edges repeated; `out` gets `channels`.
    void sample(double u, double v, float* out) const {
        const CubicTable& table = cubicTable();
        const double fu = std::floor(u), fv = std::floor(v);
        int pu = static_cast<int>(std::lround((u - fu) * kPhases));
        int pv = static_cast<int>(std::lround((v - fv) * kPhases));
        const std::int32_t iu = static_cast<std::int32_t>(fu), iv = static_cast<std::int32_t>(fv);
        const auto& wu = table.weights[pu];
        const auto& wv = table.weights[pv];
        std::size_t cols[4];
        const std::uint8_t* rows[4];
        for (int k = 0; k < 4; ++k) {
            cols[k] = column(std::clamp(iu - 1 + k, 0, width - 1));
            rows[k] = row(std::clamp(iv - 1 + k, 0, height - 1));
        }
        if (channels == 3) {
            float acc[3] = {0, 0, 0};
            for (int j = 0; j < 4; ++j) {
                float line[3] = {0, 0, 0};
                for (int k = 0; k < 4; ++k) {
                    const std::uint8_t* p = rows[j] + cols[k] * 3;
                    line[0] += wu[k] * p[0];
                    line[1] += wu[k] * p[1];
                    line[2] += wu[k] * p[2];
                }
                for (int c = 0; c < 3; ++c)
                    acc[c] += wv[j] * line[c];
            }
            std::copy(acc, acc + 3, out);
            return;
        }
        float acc = 0;
        for (int j = 0; j < 4; ++j) {
            float line = 0;
            for (int k = 0; k < 4; ++k)
                line += wu[k] * levelAt(rows[j], cols[k]);
            acc += wv[j] * line;
        }
        out[0] = acc;
    }
};

// Where the right part covers one canvas row: frame coordinates as linear functions of the
// canvas column, and the columns whose mapped pixel centres fall inside the part.
struct RowMap {
    double u0, du, v0, dv;
    std::int64_t first, last; // inclusive; first > last when the row misses the part
};

struct Geometry {
    double c, s, dx, dy;
    SeamJoinLayout layout;

    RowMap rowMap(std::int32_t canvasRow, std::int32_t rightWidth, std::int32_t rightHeight) const {
        const double y = double(canvasRow) - layout.leftY - dy;
        const double x0 = double(-layout.leftX) - dx;
        RowMap m{c * x0 + s * y, c, -s * x0 + c * y, -s, 0, std::int64_t{layout.width} - 1};
        auto limit = [&](double f0, double k, double hi) {
            if (std::abs(k) < 1e-12) {
                if (f0 < -kEdgeSlack || f0 > hi + kEdgeSlack) m.last = -1;
                return;
            }
            double a = (-kEdgeSlack - f0) / k, b = (hi + kEdgeSlack - f0) / k;
            if (a > b) std::swap(a, b);
            m.first = std::max<std::int64_t>(m.first, static_cast<std::int64_t>(std::ceil(a)));
            m.last = std::min<std::int64_t>(m.last, static_cast<std::int64_t>(std::floor(b)));
        };
        limit(m.u0, m.du, rightWidth - 1);
        limit(m.v0, m.dv, rightHeight - 1);
        return m;
    }
    // The seam in a canvas row: halfway between the right part's left edge and the left part's
    // right edge; `overlap` is the distance between the two.
    double seamColumn(std::int32_t canvasRow, std::int32_t leftWidth, double* overlap) const {
        const double y = double(canvasRow) - layout.leftY;
        const double rightEdge = dx - (s / c) * (y - dy);
        if (overlap) *overlap = (leftWidth - 1) - rightEdge;
        return layout.leftX + ((leftWidth - 1) + rightEdge) / 2;
    }
};

Geometry geometryOf(const ContentPlacement& map, const SeamJoinLayout& layout) {
    const double a = map.angleDeg * (3.14159265358979323846 / 180.0);
    return {std::cos(a), std::sin(a), map.dx, map.dy, layout};
}

bool greyPart(const HeaderBlock& block) {
    return block.header.bitCount == 8 && PixelTools::isGrayPalette(block);
}

// Smooth step from the left part (0) to the right part (1) across a band of `width` pixels.
float seamWeight(double offset, double width) {
    if (width < 1) return offset >= 0 ? 1.f : 0.f;
    const double t = std::clamp(offset / width + 0.5, 0.0, 1.0);
    return static_cast<float>(t * t * (3 - 2 * t));
}

} // namespace

std::optional<SeamJoinLayout> seamJoinLayout(const ImageHeader& left, const ImageHeader& right,
                                             const ContentPlacement& map, std::string* why) {
    if (!std::isfinite(map.angleDeg) || !std::isfinite(map.dx) || !std::isfinite(map.dy) ||
        std::abs(map.angleDeg) > 45) {
        fail(why, "The placement is not a usable map");
        return std::nullopt;
    }
    if (left.width < 1 || left.height < 1 || right.width < 1 || right.height < 1) {
        fail(why, "A part is empty");
        return std::nullopt;
    }
    const SeamJoinLayout none{};
    const Geometry g = geometryOf(map, none);
    double minX = 0, maxX = left.width - 1, minY = 0, maxY = left.height - 1;
    for (const double xr : {0.0, double(right.width - 1)})
        for (const double yr : {0.0, double(right.height - 1)}) {
            const double x = g.c * xr - g.s * yr + g.dx, y = g.s * xr + g.c * yr + g.dy;
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    const double lowX = std::floor(minX + kEdgeSlack), highX = std::ceil(maxX - kEdgeSlack);
    const double lowY = std::floor(minY + kEdgeSlack), highY = std::ceil(maxY - kEdgeSlack);
    const double width = highX - lowX + 1, height = highY - lowY + 1;
    // Beyond the two parts side by side the map cannot be meant.
    if (width > 2.0 * (double(left.width) + right.width + left.height + right.height) ||
        height > 2.0 * (double(left.height) + right.height + left.width + right.width) || width > INT32_MAX ||
        height > INT32_MAX) {
        fail(why, "The joined image would be too large");
        return std::nullopt;
    }
    return SeamJoinLayout{static_cast<std::int32_t>(width), static_cast<std::int32_t>(height),
                          static_cast<std::int32_t>(-lowX), static_cast<std::int32_t>(-lowY)};
}

bool seamJoinHeader(HeaderBlock& out, const HeaderBlock& leftBlock, const HeaderBlock& rightBlock,
                    const ContentPlacement& map, std::string* why) {
    const ImageHeader& left = leftBlock.header;
    const ImageHeader& right = rightBlock.header;
    if (left.bitCount != right.bitCount || left.planes != 1 || right.planes != 1)
        return fail(why, "The parts differ in depth");
    if (left.bitCount != 1 && left.bitCount != 8 && left.bitCount != 24)
        return fail(why, "Only 1, 8 and 24-bit parts can be joined");
    if (left.bitCount == 8 && (!greyPart(leftBlock) || !greyPart(rightBlock)))
        return fail(why, "8-bit colour parts must be expanded to 24 bits first");
    const auto layout = seamJoinLayout(left, right, map, why);
    if (!layout) return false;
    const std::uint32_t stride = PixelTools::rowStride(layout->width, left.bitCount);
    const std::uint64_t size = std::uint64_t{stride} * static_cast<std::uint32_t>(layout->height);
    if (stride == 0 || size > UINT32_MAX) return fail(why, "The joined image would be too large");

    out = HeaderBlock{};
    ImageHeader& h = out.header;
    h.size = 40;
    h.width = layout->width;
    h.height = layout->height;
    h.planes = 1;
    h.bitCount = left.bitCount;
    h.sizeImage = static_cast<std::uint32_t>(size);
    h.xPelsPerMeter = left.xPelsPerMeter;
    h.yPelsPerMeter = left.yPelsPerMeter;
    if (left.bitCount == 1) {
        h.clrUsed = left.clrUsed;
        out.palette = leftBlock.palette;
    } else if (left.bitCount == 8) {
        h.clrUsed = 256;
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            out.palette[i] = {v, v, v, 0};
        }
    }
    return true;
}

bool seamJoinImages(const HeaderBlock& out, std::span<std::uint8_t> outPixels, const HeaderBlock& leftBlock,
                    std::span<const std::uint8_t> leftPixels, const HeaderBlock& rightBlock,
                    std::span<const std::uint8_t> rightPixels, const ContentPlacement& map,
                    const SeamOptions& options, std::string* why) {
    HeaderBlock expected;
    if (!seamJoinHeader(expected, leftBlock, rightBlock, map, why)) return false;
    if (expected.header.width != out.header.width || expected.header.height != out.header.height ||
        expected.header.bitCount != out.header.bitCount)
        return fail(why, "The output header does not belong to this join");
    const ImageHeader& left = leftBlock.header;
    const ImageHeader& right = rightBlock.header;
    if (leftPixels.size() < PixelTools::imageDataSize(left) ||
        rightPixels.size() < PixelTools::imageDataSize(right))
        return fail(why, "A part's pixel block is shorter than its header says");
    if (outPixels.size() < expected.header.sizeImage) return fail(why, "The output block is too small");

    const SeamJoinLayout layout = *seamJoinLayout(left, right, map);
    const Geometry g = geometryOf(map, layout);
    const std::uint16_t bits = left.bitCount;
    const bool mono = bits == 1;
    const int channels = bits == 24 ? 3 : 1;
    const bool feather = !mono && options.mode == SeamMode::feather;
    const double band =
        feather ? (options.featherWidth > 0 ? options.featherWidth : featherWidthFor(left)) : 0;

    RightSampler sampler{rightPixels.data(),
                         PixelTools::rowStride(right.width, bits),
                         right.width,
                         right.height,
                         map.flipped,
                         channels,
                         bits};
    std::array<std::uint8_t, 256> leftLevels{};
    for (int i = 0; i < 256; ++i) {
        sampler.levels[i] = mono ? luminance(rightBlock.palette[i & 1]) : rightBlock.palette[i].red;
        leftLevels[i] = mono ? luminance(leftBlock.palette[i & 1]) : leftBlock.palette[i].red;
    }
    const std::uint32_t leftStride = PixelTools::rowStride(left.width, bits);
    const std::uint32_t outStride = PixelTools::rowStride(out.header.width, bits);
    auto leftRow = [&](std::int64_t canvasRow) -> const std::uint8_t* {
        const std::int64_t y = canvasRow - layout.leftY;
        if (y < 0 || y >= left.height) return nullptr;
        return leftPixels.data() + static_cast<std::size_t>(left.height - 1 - y) * leftStride;
    };
    auto leftValue = [&](const std::uint8_t* row, std::int64_t x, int channel) -> float {
        if (bits == 24) return row[x * 3 + channel];
        return leftLevels[row[x]];
    };

    // The right part's gain per channel, from the overlap on a sparse grid: passes differ in
    // exposure, and a feathered band between two brightnesses shows as a smear.
    std::array<float, 3> gain{1, 1, 1};
    if (feather) {
        const double area = double(std::min(left.width, right.width)) * std::min(left.height, right.height);
        const auto step = static_cast<std::int64_t>(std::max(1.0, std::sqrt(area / kGainSamples)));
        std::array<double, 3> sumLeft{}, sumRight{};
        std::size_t count = 0;
        for (std::int64_t y = 0; y < layout.height; y += step) {
            const std::uint8_t* l = leftRow(y);
            if (!l) continue;
            const RowMap m = g.rowMap(static_cast<std::int32_t>(y), right.width, right.height);
            const std::int64_t first = std::max<std::int64_t>(m.first, layout.leftX);
            const std::int64_t last =
                std::min<std::int64_t>(m.last, std::int64_t{layout.leftX} + left.width - 1);
            for (std::int64_t x = first; x <= last; x += step) {
                float r[3];
                sampler.sample(m.u0 + m.du * x, m.v0 + m.dv * x, r);
                for (int c = 0; c < channels; ++c) {
                    sumLeft[c] += leftValue(l, x - layout.leftX, c);
                    sumRight[c] += r[c];
                }
                ++count;
            }
        }
        if (count >= 64)
            for (int c = 0; c < channels; ++c)
                if (sumRight[c] >= count)
                    gain[c] =
                        static_cast<float>(std::clamp(sumLeft[c] / sumRight[c], kLowestGain, kHighestGain));
    }

    const std::uint8_t whiteIndex = mono ? PixelTools::nearestWhiteIndex(leftBlock) : 0;
    // 1-bit: the right part's grey level becomes the left index it lies nearer to.
    const float monoThreshold = (float(leftLevels[0]) + leftLevels[1]) / 2;
    const std::uint8_t darkIndex = leftLevels[0] <= leftLevels[1] ? 0 : 1;

    auto joinRows = [&](std::int64_t firstRow, std::int64_t endRow) {
        std::vector<std::uint8_t> indexes(mono ? static_cast<std::size_t>(layout.width) : 0);
        for (std::int64_t y = firstRow; y < endRow; ++y) {
            std::uint8_t* o = outPixels.data() + static_cast<std::size_t>(layout.height - 1 - y) * outStride;
            const std::uint8_t* l = leftRow(y);
            const std::int64_t leftFirst = l ? layout.leftX : 0,
                               leftLast = l ? layout.leftX + left.width - 1 : -1;
            const RowMap m = g.rowMap(static_cast<std::int32_t>(y), right.width, right.height);
            double overlap = 0;
            const double seam = g.seamColumn(static_cast<std::int32_t>(y), left.width, &overlap);
            const double width = std::min(band, std::max(0.0, overlap));
            for (std::int64_t x = 0; x < layout.width; ++x) {
                const bool inLeft = x >= leftFirst && x <= leftLast;
                const bool inRight = x >= m.first && x <= m.last;
                float w = inRight ? 1.f : 0.f;
                if (inLeft && inRight) w = seamWeight(double(x) - seam, width);
                if (mono) {
                    std::uint8_t index = whiteIndex;
                    if (w >= 0.5f) {
                        float r;
                        sampler.sample(m.u0 + m.du * x, m.v0 + m.dv * x, &r);
                        index = r < monoThreshold ? darkIndex : std::uint8_t(1 - darkIndex);
                    } else if (inLeft) {
                        const std::int64_t lx = x - layout.leftX;
                        index = (l[lx >> 3] >> (7 - (lx & 7))) & 1;
                    }
                    indexes[static_cast<std::size_t>(x)] = index;
                    continue;
                }
                std::uint8_t* p = o + x * channels;
                if (!inLeft && !inRight) {
                    std::memset(p, 0xFF, static_cast<std::size_t>(channels));
                    continue;
                }
                float r[3] = {0, 0, 0};
                if (w > 0.f) sampler.sample(m.u0 + m.du * x, m.v0 + m.dv * x, r);
                for (int c = 0; c < channels; ++c) {
                    const float right = r[c] * gain[c];
                    p[c] = clampByte(w >= 1.f ? right
                                              : (1.f - w) * leftValue(l, x - layout.leftX, c) + w * right);
                }
            }
            const std::size_t used = mono ? (static_cast<std::size_t>(layout.width) + 7) / 8
                                          : static_cast<std::size_t>(layout.width) * channels;
            if (mono) {
                std::memset(o, 0, outStride);
                for (std::size_t x = 0; x < indexes.size(); ++x)
                    if (indexes[x]) o[x >> 3] |= std::uint8_t(0x80u >> (x & 7));
            }
            std::memset(o + used, 0, outStride - used);
        }
    };
    std::thread upper;
    std::int64_t ownRows = layout.height;
    if (expected.header.sizeImage >= kParallelJoinBytes && std::thread::hardware_concurrency() > 1) {
        try {
            upper = std::thread(joinRows, layout.height / 2, layout.height);
            ownRows = layout.height / 2;
        } catch (const std::system_error&) {
            // No second thread to be had: this one does all rows.
        }
    }
    joinRows(0, ownRows);
    if (upper.joinable()) upper.join();
    return true;
}

ContentPlacement scaleContentPlacement(const ContentPlacement& map, double workScale) {
    // The resampler puts the first and last pixel centres of a copy onto those of the original,
    // so picture coordinates scale without an offset and the turn stays as it is.
    ContentPlacement scaled = map;
    if (workScale > 0) {
        scaled.dx = map.dx / workScale;
        scaled.dy = map.dy / workScale;
    }
    return scaled;
}

double featherWidthFor(const ImageHeader& part, double workScale) {
    const double dpi = part.xPelsPerMeter > 0 ? part.xPelsPerMeter / double(kPelsPerMeterPerDpi) : 300.0;
    return kFeatherMillimetres / 25.4 * dpi / (workScale > 0 ? workScale : 1.0);
}

} // namespace tandemscan
