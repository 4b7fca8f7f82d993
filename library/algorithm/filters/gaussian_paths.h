// The two ways GaussianBlur filters one channel: in the frequency domain, and as a separable
// spatial filter with the very kernel the transform applies (the inverse transform of its
// spectrum factor over the same padded field). Both give the same values within float rounding;
// the spatial one is far cheaper while the kernel is short.
#ifndef RASTERKIT_GAUSSIAN_PATHS_H
#define RASTERKIT_GAUSSIAN_PATHS_H

#include "fft.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace rasterkit {

// One 8-bit channel: sample (x, y) at base[y * stride + x * step].
struct ChannelSamples {
    const std::uint8_t* base;
    std::ptrdiff_t stride;
    int step;
    std::uint8_t at(int x, int y) const noexcept {
        return base[y * stride + static_cast<std::ptrdiff_t>(x) * step];
    }
};

// The padded field both ways work over: larger than the image by a margin the Gaussian's tail
// cannot cross, the margin repeating the nearest edge so that the wrap-around neither darkens the
// borders nor bleeds one edge into the opposite one.
struct GaussianField {
    int width = 0;
    int height = 0;
    double sigma = 0;
    int fieldWidth = 0;
    int fieldHeight = 0;
    int band = 1;                  // horizontal frequencies the Gaussian leaves above float precision
    std::vector<int> columnSource; // image column of each field column
    std::vector<int> rowSource;    // image row of each field row
};
GaussianField gaussianField(int width, int height, double sigma);

// Receives row y of the filtered channel as `width` values (levels, not yet rounded).
class BlurredRows {
  public:
    virtual void row(int y, const float* values) = 0;

  protected:
    ~BlurredRows() = default;
};

// Frequency domain: the field is planned once and serves every channel.
class GaussianTransform {
  public:
    // Null when the field cannot be had.
    static std::unique_ptr<GaussianTransform> create(const GaussianField& field);
    void run(const ChannelSamples& samples, BlurredRows& out);

  private:
    explicit GaussianTransform(const GaussianField& field) : field_(field) {}
    const GaussianField& field_;
    std::unique_ptr<SpectralField> spectrum_;
    std::vector<float> responseX_;
    std::vector<float> responseY_;
};

// Taps 0..radius of a symmetric kernel (tap d weighs the samples at -d and +d).
struct SymmetricKernel {
    std::vector<float> taps;
    int radius() const noexcept { return static_cast<int>(taps.size()) - 1; }
};

// Spatial: the vertical pass row by row over row pointers into a window of horizontally filtered
// rows, each filtered once as the window reaches it (a plane of all of them for fields whose edges
// repeat rows from too many places).
class GaussianSeparable {
  public:
    // Empty when the kernel does not fit in the field (tiny images, huge sigma) or the plane cannot
    // be had; the transform is then the way.
    // channels > 1: each run filters that many interleaved channels together (samples.step equal to
    // it), and the rows given out hold width x channels values.
    static std::unique_ptr<GaussianSeparable> create(const GaussianField& field, int channels = 1);
    void run(const ChannelSamples& samples, BlurredRows& out);

    const SymmetricKernel& kernelX() const noexcept { return kernelX_; }
    const SymmetricKernel& kernelY() const noexcept { return kernelY_; }

  private:
    GaussianSeparable(const GaussianField& field, int channels) : field_(field), channels_(channels) {}
    const GaussianField& field_;
    int channels_;
    SymmetricKernel kernelX_;
    SymmetricKernel kernelY_;
    static constexpr int kOutsideSlots = 4;
    // Output rows summed per pass over the window, and the columns of such a block summed at a
    // time: the rows they read stay in the first cache level meanwhile.
    static constexpr int kBlockRows = 32;
    static constexpr int kColumnChunk = 64;
    void filterRow(const ChannelSamples& samples, int y, float* filtered);
    int sourceRow(int p) const; // image row of field row p (any integer, circular)
    bool windowServes() const;  // whether no block of output rows needs more than kOutsideSlots far rows
    bool window_ = false;
    // Rows start on cache lines so that no aligned vector load of theirs straddles two.
    struct AlignedDelete {
        void operator()(float* p) const noexcept;
    };
    using AlignedRows = std::unique_ptr<float[], AlignedDelete>;
    static AlignedRows alignedRows(std::size_t count);
    std::ptrdiff_t pitch_ = 0;    // floats from one row to the next in rows_ and sums_
    AlignedRows rows_;            // horizontally filtered rows
    std::vector<float> extended_; // one source row with the field's columns around it
    std::vector<int> columns_;    // image column of each entry of extended_
    AlignedRows sums_;            // a block of output rows
};

} // namespace rasterkit

#endif // RASTERKIT_GAUSSIAN_PATHS_H
