// The separable spatial GaussianBlur against the transform it stands in for: the same field, the
// same kernel, so the same levels within float rounding on any picture.
#include "gaussian_paths.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>

namespace {

using namespace rasterkit;

struct Collected final : BlurredRows {
    explicit Collected(int width, int height)
        : width(width), values(static_cast<std::size_t>(width) * height) {}
    void row(int y, const float* in) override {
        std::copy(in, in + width, values.begin() + static_cast<std::ptrdiff_t>(y) * width);
    }
    int width;
    std::vector<float> values;
};

TEST(GaussianPaths, SpatialEqualsTransformOnRandomImages) {
    struct Case {
        int width;
        int height;
        int step; // 3: one channel of interleaved pixels
        double sigma;
    };
    const Case cases[] = {{97, 61, 1, 1.8},  {128, 40, 3, 2.2},  {75, 130, 1, 2.0}, {64, 64, 3, 3.5},
                          {150, 90, 1, 8.0}, {41, 300, 1, 12.0}, {33, 17, 3, 2.5}};
    std::mt19937 random(7);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " sigma " << c.sigma);
        const std::ptrdiff_t stride = (static_cast<std::ptrdiff_t>(c.width) * c.step + 3) / 4 * 4;
        std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * c.height);
        for (auto& p : pixels)
            p = static_cast<std::uint8_t>(random() & 255);
        const ChannelSamples samples{pixels.data() + (c.step == 3 ? 1 : 0), stride, c.step};
        const GaussianField field = gaussianField(c.width, c.height, c.sigma);
        auto spatial = GaussianSeparable::create(field);
        auto transform = GaussianTransform::create(field);
        ASSERT_NE(spatial, nullptr);
        ASSERT_NE(transform, nullptr);
        Collected a(c.width, c.height);
        Collected b(c.width, c.height);
        spatial->run(samples, a);
        transform->run(samples, b);
        double worst = 0;
        int differentLevels = 0;
        for (std::size_t i = 0; i < a.values.size(); ++i) {
            worst = std::max(worst, std::fabs(static_cast<double>(a.values[i]) - b.values[i]));
            differentLevels += std::floor(a.values[i] + 0.5) != std::floor(b.values[i] + 0.5);
        }
        // Float rounding of two different sums, far below a level; a rounded level flips only where
        // the exact value sits within that distance of a half.
        EXPECT_LT(worst, 2e-3);
        EXPECT_LE(differentLevels, static_cast<int>(a.values.size() / 500));
        if (c.step != 3) continue;
        // All three interleaved channels in one run: the same sums, lane by lane.
        auto together = GaussianSeparable::create(field, 3);
        ASSERT_NE(together, nullptr);
        Collected all(3 * c.width, c.height);
        together->run(ChannelSamples{pixels.data(), stride, 3}, all);
        for (std::size_t i = 0; i < a.values.size(); ++i)
            ASSERT_EQ(all.values[3 * i + 1], a.values[i]) << i;
    }
}

TEST(GaussianPaths, RingingKernelOfATinySigmaLeavesTheTransform) {
    // The spectrum cut off where the Gaussian is still well above zero rings across the field.
    const GaussianField field = gaussianField(97, 61, 0.6);
    EXPECT_EQ(GaussianSeparable::create(field), nullptr);
    EXPECT_NE(GaussianTransform::create(field), nullptr);
}

} // namespace
