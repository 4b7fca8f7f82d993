#include "engine/content_placement.h"
#include "test_images.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <numbers>
#include <string>

namespace tandemscan {
namespace {

using test::TestImage;

constexpr std::int32_t k150Dpi = 5906; // pixels per metre

// Smooth aperiodic texture: three octaves of value noise on a hashed lattice, exact at any point,
// so a turned and shifted part is sampled without a resampler's error.
double lattice(std::uint32_t seed, int x, int y) {
    std::uint32_t h = seed * 0x9E3779B1u ^ static_cast<std::uint32_t>(x) * 0x85EBCA77u ^
                      static_cast<std::uint32_t>(y) * 0xC2B2AE3Du;
    h ^= h >> 15, h *= 0x2C1B3C6Du, h ^= h >> 12, h *= 0x297A2D39u, h ^= h >> 15;
    return (h & 0xFFFF) / 65535.0;
}

double valueNoise(std::uint32_t seed, double x, double y) {
    const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
    auto fade = [](double t) { return t * t * t * (t * (t * 6 - 15) + 10); };
    const double fx = fade(x - ix), fy = fade(y - iy);
    const double top = lattice(seed, ix, iy) + fx * (lattice(seed, ix + 1, iy) - lattice(seed, ix, iy));
    const double bottom =
        lattice(seed, ix, iy + 1) + fx * (lattice(seed, ix + 1, iy + 1) - lattice(seed, ix, iy + 1));
    return top + fy * (bottom - top);
}

double sheet(std::uint32_t seed, double x, double y) {
    return 40 + 100 * valueNoise(seed, x / 23, y / 23) + 60 * valueNoise(seed + 1, x / 9, y / 9) +
           40 * valueNoise(seed + 2, x / 4, y / 4);
}

struct Truth {
    bool flipped;
    double angleDeg, dx, dy;
};

// The sheet's rows that carry ink; the rest is paper.
struct Ink {
    double top = -1e9, bottom = 1e9;
    double at(std::uint32_t seed, double x, double y) const {
        return y >= top && y < bottom ? sheet(seed, x, y) : 235;
    }
};

// The right part as the scanner delivers it: each stored pixel looks up the sheet through the map.
TestImage rightPart(std::uint32_t seed, int width, int height, std::uint16_t depth, const Truth& t,
                    double gain = 1, Ink ink = {}) {
    TestImage image = TestImage::make(width, height, depth, k150Dpi);
    const double a = t.angleDeg * std::numbers::pi / 180, c = std::cos(a), s = std::sin(a);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const double xr = t.flipped ? width - 1 - x : x, yr = t.flipped ? height - 1 - y : y;
            const double v =
                std::clamp(gain * ink.at(seed, c * xr - s * yr + t.dx, s * xr + c * yr + t.dy), 0.0, 255.0);
            const auto g = static_cast<std::uint32_t>(std::lround(v));
            image.set(x, y, depth == 24 ? (g << 16 | g << 8 | g) : g);
        }
    return image;
}

TestImage leftPart(std::uint32_t seed, int width, int height, std::uint16_t depth = 8,
                   int blankFrom = 1 << 30, Ink ink = {}) {
    TestImage image = TestImage::make(width, height, depth, k150Dpi);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto g =
                x >= blankFrom ? 235u : static_cast<std::uint32_t>(std::lround(ink.at(seed, x, y)));
            image.set(x, y, depth == 24 ? (g << 16 | g << 8 | g) : g);
        }
    return image;
}

PartPixels pixelsOf(const TestImage& image) {
    return {image.block, image.pixels};
}

// The largest distance, over the corners of the right part, between where the truth and the
// estimate put them.
double cornerError(const ContentPlacement& p, const Truth& t, int width, int height) {
    double worst = 0;
    for (double x : {0.0, width - 1.0})
        for (double y : {0.0, height - 1.0}) {
            const double a = t.angleDeg * std::numbers::pi / 180, b = p.angleDeg * std::numbers::pi / 180;
            const double tx = std::cos(a) * x - std::sin(a) * y + t.dx,
                         ty = std::sin(a) * x + std::cos(a) * y + t.dy;
            const double ex = std::cos(b) * x - std::sin(b) * y + p.dx,
                         ey = std::sin(b) * x + std::cos(b) * y + p.dy;
            worst = std::max(worst, std::hypot(ex - tx, ey - ty));
        }
    return worst;
}

TEST(ContentPlacement, RecoversTurnShiftAndFlipToATenthOfAPixel) {
    struct Case {
        Truth truth;
        std::uint16_t depth;
        double gain; // exposure of the second pass
    };
    // Left part 420 x 900 at 150 dpi; the overlaps run from about 0.3 to 1.2 inches.
    const Case cases[] = {
        {{false, 0.0, 372.0, 0.0}, 8, 1.0},
        {{false, 0.73, 380.4, 12.3}, 8, 0.96},
        {{true, -1.9, 330.6, -40.25}, 24, 1.0},
        {{true, 2.8, 250.2, 55.7}, 8, 1.04},
    };
    for (const Case& c : cases) {
        const TestImage left = leftPart(7, 420, 900, c.depth);
        const TestImage right = rightPart(7, 400, 880, c.depth, c.truth, c.gain);
        std::string why;
        const auto found = estimateContentPlacement(pixelsOf(left), pixelsOf(right), &why);
        ASSERT_TRUE(found) << c.truth.angleDeg << ": " << why;
        EXPECT_EQ(found->flipped, c.truth.flipped) << c.truth.angleDeg;
        EXPECT_LT(cornerError(*found, c.truth, 400, 880), 0.1) << c.truth.angleDeg;
        EXPECT_GT(found->confidence, 0.5);
        EXPECT_LE(found->confidence, 1.0);
    }
}

TEST(ContentPlacement, RefusesWhatCannotBeTrusted) {
    struct Case {
        const char* name;
        TestImage left, right;
        std::string reason;
    };
    const Truth plain{false, 0.4, 372.0, 6.0};
    const Case cases[] = {
        // The left part's last half inch is paper, and the overlap lies inside it (a booklet's gutter).
        {"blank overlap", leftPart(7, 420, 900, 8, 420 - 75), rightPart(7, 400, 880, 8, plain),
         "the overlap is blank paper"},
        // Ink along 0.4 inch of the 6-inch seam only: the shift is fixed there, the turn is not.
        {"ink along a short stretch", leftPart(7, 420, 900, 8, 1 << 30, {400, 460}),
         rightPart(7, 400, 880, 8, plain, 1, {400, 460}), "the overlap is nearly blank paper"},
        {"unrelated pictures", leftPart(7, 420, 900), rightPart(99, 400, 880, 8, plain),
         "these parts do not show the same sheet"},
        {"unrelated and turned", leftPart(7, 420, 900), rightPart(99, 400, 880, 8, {true, -1.0, 300.0, 0.0}),
         "these parts do not show the same sheet"},
        {"different depths", leftPart(7, 420, 900), rightPart(7, 400, 880, 24, plain),
         "the two parts have different colour depths"},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_FALSE(estimateContentPlacement(pixelsOf(c.left), pixelsOf(c.right), &why)) << c.name;
        EXPECT_EQ(why, c.reason) << c.name;
    }
}

} // namespace
} // namespace tandemscan
