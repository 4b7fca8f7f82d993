// GaussianBlur: the transform's Gaussian over a padded field, applied as a separable spatial
// filter while its kernel is short and in the frequency domain beyond.
#include "effects_internal.h"
#include "gaussian_paths.h"
#include "operations.h"
#include "simd_clones.h"

#include <cmath>
#include <vector>

namespace rasterkit {
namespace {

// Above this sigma the transform is the cheaper way on an A4 page at 300 dpi (at sigma 8 the
// spatial way took 0.6 of its time, measured).
constexpr double kSpatialSigmaLimit = 10.0;

// clampTruncate(value + 0.5) for a whole row, in float lanes: value + 0.5 is exact in double, so
// its truncation is the whole part of the value plus one where the fraction reaches a half (both
// exact in float). NaN becomes 0 like negative values.
RK_SIMD_CLONES void roundLevels(const float* values, std::uint8_t* levels, int n) {
    for (int i = 0; i < n; ++i) {
        float v = values[i] > 0.0f ? values[i] : 0.0f;
        v = v < 255.0f ? v : 255.0f;
        const int whole = static_cast<int>(v);
        const int level = whole + (v - static_cast<float>(whole) >= 0.5f ? 1 : 0);
        levels[i] = static_cast<std::uint8_t>(level < 255 ? level : 255);
    }
}

// Rounded rather than truncated: truncation would darken the whole image by half a level on
// average, and a blur must keep the image's mean. Rows hold `channels` interleaved channels from
// `channel` on (all of a pixel's when channels equals the layout's step).
class ChannelWriter final : public BlurredRows {
  public:
    ChannelWriter(const ChannelLayout& layout, int channel, int channels, int width, Selection& selection)
        : layout_(layout), channel_(channel), channels_(channels), width_(width), selection_(selection) {}
    void row(int y, const float* values) override {
        const int n = width_ * channels_;
        const std::uint8_t* selected = selection_.row(y);
        const std::uint8_t* in = layout_.srcAt(channel_, 0, y);
        std::uint8_t* out = layout_.dstAt(channel_, 0, y);
        const int step = layout_.step;
        if (selected == nullptr && step == channels_) {
            roundLevels(values, out, n);
            return;
        }
        levels_.resize(static_cast<std::size_t>(n));
        roundLevels(values, levels_.data(), n);
        for (int x = 0; x < width_; ++x) {
            const bool keep = selected != nullptr && !selected[x];
            for (int k = 0; k < channels_; ++k) {
                const int i = x * step + k;
                out[i] = keep ? in[i] : levels_[static_cast<std::size_t>(x * channels_ + k)];
            }
        }
    }

  private:
    const ChannelLayout& layout_;
    int channel_;
    int channels_;
    int width_;
    Selection& selection_;
    std::vector<std::uint8_t> levels_;
};

} // namespace

int describeGaussianBlur(ImageInfo& info) {
    describeSameAsSource(info, true);
    return std::isfinite(*static_cast<const double*>(info.lpParam)) ? kSucceed : kNotSupported;
}

int runGaussianBlur(ImageInfo& info) {
    const double sigma = std::fabs(*static_cast<const double*>(info.lpParam));
    if (info.nSrcBitCount == 8) copyPalette(info);
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const GaussianField field = gaussianField(width, height, sigma);
    const ChannelLayout layout = channelLayout(info);
    // The spatial way takes the interleaved channels of a pixel together.
    const int together = layout.step;
    std::unique_ptr<GaussianSeparable> separable;
    std::unique_ptr<GaussianTransform> transform;
    if (sigma <= kSpatialSigmaLimit) separable = GaussianSeparable::create(field, together);
    if (separable == nullptr) {
        transform = GaussianTransform::create(field);
        if (transform == nullptr) {
            progress(info, 1, 1);
            return kNoMemory;
        }
    }

    Selection selection(info, width);
    int result = kSucceed;
    const int phases = 2 * layout.count;
    if (separable != nullptr && together > 1) {
        if (canceled(info)) {
            progress(info, 1, 1);
            return kCancel;
        }
        const ChannelSamples samples{layout.srcAt(0, 0, 0), layout.stride, layout.step};
        ChannelWriter writer(layout, 0, together, width, selection);
        progress(info, 1, phases);
        separable->run(samples, writer);
        progress(info, phases, phases);
        progress(info, 1, 1);
        return kSucceed;
    }
    for (int c = 0; c < layout.count; ++c) {
        if (canceled(info)) {
            result = kCancel;
            break;
        }
        const ChannelSamples samples{layout.srcAt(c, 0, 0), layout.stride, layout.step};
        ChannelWriter writer(layout, c, 1, width, selection);
        progress(info, 2 * c + 1, phases);
        if (separable != nullptr) {
            separable->run(samples, writer);
        } else {
            transform->run(samples, writer);
        }
        progress(info, 2 * c + 2, phases);
    }
    progress(info, 1, 1);
    return result;
}

} // namespace rasterkit
