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
// the field is created, and serve every transform of the field. Samples are single precision:
// for 8-bit pixels its rounding error stays far below half a level, and it halves both the
// memory and the time of double precision.
//
// The transform runs along the rows first, then down the columns of the first `band`
// horizontal frequencies only. A smooth result (a wide blur) has nothing above some horizontal
// frequency, so the column transforms of the rest, about half the work, can be skipped.
class SpectralField {
  public:
    // band: horizontal frequencies kept, 1..width / 2 + 1 (out of range: all). Null when the
    // buffer or the plans cannot be had.
    static std::unique_ptr<SpectralField> create(int width, int height, int band = 0);
    ~SpectralField();
    SpectralField(const SpectralField&) = delete;
    SpectralField& operator=(const SpectralField&) = delete;

    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    // Real samples: row y starts at row(y); rows are sampleStride() floats apart.
    float* row(int y) noexcept { return data_ + static_cast<std::ptrdiff_t>(y) * sampleStride(); }
    std::ptrdiff_t sampleStride() const noexcept { return 2 * spectrumWidth(); }
    // Spectrum: height rows of coefficients, frequency (kx, ky) at coefficients(ky)[kx] for kx
    // below band(); the coefficients from band() on are not part of it.
    int spectrumWidth() const noexcept { return width_ / 2 + 1; }
    int band() const noexcept { return band_; }
    std::complex<float>* coefficients(int ky) noexcept {
        return reinterpret_cast<std::complex<float>*>(row(ky));
    }

    void forward() noexcept;
    // Back to samples (frequencies from band() on count as zero), multiplied by width x height:
    // forward then inverse scales by that much; callers fold the division into their own factors.
    void inverse() noexcept;

  private:
    SpectralField(int width, int height, int band, float* data) noexcept
        : width_(width), height_(height), band_(band), data_(data) {}
    int width_;
    int height_;
    int band_;
    float* data_;
    // FFTW plans: rows forward, columns forward, columns backward, rows backward.
    void* plans_[4] = {nullptr, nullptr, nullptr, nullptr};
};

// Symmetric frequency index: frequencies above half the size are the negative ones.
inline int signedFrequency(int k, int size) noexcept {
    return k <= size / 2 ? k : size - k;
}

} // namespace rasterkit

#endif // RASTERKIT_FFT_H
