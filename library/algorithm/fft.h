// Two-dimensional real transforms for the operations that work in the frequency domain.
#ifndef RASTERKIT_FFT_H
#define RASTERKIT_FFT_H

#include <complex>
#include <cstddef>
#include <memory>

namespace rasterkit {

// The smallest size not below `minimum` whose prime factors are 2, 3, 5 and 7 only: the sizes
// the transform handles fastest.
int fastTransformSize(int minimum) noexcept;

// A real field of height x width samples and its half spectrum, sharing one buffer (the real
// transform in place needs about half the memory of a complex field). Plans are made once, when
// the field is created, and serve every transform of the field.
class SpectralField {
public:
  // Null when the buffer or the plans cannot be had.
  static std::unique_ptr<SpectralField> create(int width, int height);
  ~SpectralField();
  SpectralField(const SpectralField&) = delete;
  SpectralField& operator=(const SpectralField&) = delete;

  int width() const noexcept { return width_; }
  int height() const noexcept { return height_; }
  // Real samples: row y starts at row(y); rows are sampleStride() doubles apart.
  double* row(int y) noexcept { return data_ + static_cast<std::ptrdiff_t>(y) * sampleStride(); }
  std::ptrdiff_t sampleStride() const noexcept { return 2 * spectrumWidth(); }
  // Spectrum: height rows of spectrumWidth() coefficients, frequency (kx, ky) at
  // coefficient(ky)[kx] for kx in 0..width / 2.
  int spectrumWidth() const noexcept { return width_ / 2 + 1; }
  std::complex<double>* coefficients(int ky) noexcept {
    return reinterpret_cast<std::complex<double>*>(row(ky));
  }

  void forward() noexcept;
  // Back to samples, divided by width x height so that forward then inverse is the identity.
  void inverse() noexcept;

private:
  SpectralField(int width, int height, double* data, void* forwardPlan, void* inversePlan)
      : width_(width), height_(height), data_(data), forward_(forwardPlan),
        inverse_(inversePlan) {}
  int width_;
  int height_;
  double* data_;
  void* forward_;
  void* inverse_;
};

// Symmetric frequency index: frequencies above half the size are the negative ones.
inline int signedFrequency(int k, int size) noexcept { return k <= size / 2 ? k : size - k; }

}  // namespace rasterkit

#endif  // RASTERKIT_FFT_H
