// GaussianBlur's two ways over one padded field: the transform, and the transform's own kernel
// applied as a separable spatial filter.
#include "gaussian_paths.h"

#include "simd_clones.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace rasterkit {
namespace {

constexpr double kPi = 3.14159265358979323846;

int marginFor(double sigma, int extent) {
    const double wanted = std::ceil(4 * sigma) + 1;
    return static_cast<int>(std::min(wanted, static_cast<double>(extent)));
}

// Source index of padded position p in a field of `size` holding `extent` samples at 0: the
// first half of the padding repeats the last sample, the second half the first.
int paddedIndex(int p, int extent, int size) {
    if (p < extent) return p;
    return p - (extent - 1) <= size - p ? extent - 1 : 0;
}

std::vector<int> sourcesOf(int extent, int size) {
    std::vector<int> source(static_cast<std::size_t>(size));
    for (int p = 0; p < size; ++p)
        source[static_cast<std::size_t>(p)] = paddedIndex(p, extent, size);
    return source;
}

// exp(-2 pi^2 sigma^2 k^2 / n^2) with k the symmetric frequency index.
double gaussianAt(int k, int n, double sigma) {
    const double f = static_cast<double>(signedFrequency(k, n)) / n;
    return std::exp(-2 * kPi * kPi * sigma * sigma * f * f);
}

std::vector<float> gaussianResponse(int n, int count, double sigma, double scale) {
    std::vector<float> response(static_cast<std::size_t>(count));
    for (int k = 0; k < count; ++k) {
        response[static_cast<std::size_t>(k)] = static_cast<float>(scale * gaussianAt(k, n, sigma));
    }
    return response;
}

// The circular kernel the transform applies along an axis of n samples when it keeps the
// frequencies below `band` (a half spectrum: 0 and n / 2 once, the others for both signs),
// truncated where the rest of it weighs less than a millionth. For a small sigma the sampled
// spectrum is cut off at the highest frequency and the kernel rings far beyond the Gaussian's own
// reach, so the rest is looked at well past that reach. Empty when it does not fit in the field.
SymmetricKernel transformKernel(int n, int band, double sigma) {
    int reach = 0;
    while (std::erfc((reach + 0.5) / (sigma * std::sqrt(2.0))) >= 1e-6)
        ++reach;
    const int looked = std::min(n / 2, 4 * reach + 32);
    std::vector<double> h(static_cast<std::size_t>(looked + 1), 0.0);
    for (int k = 0; k < band; ++k) {
        const double weight = (k == 0 || 2 * k == n ? 1.0 : 2.0) * gaussianAt(k, n, sigma) / n;
        for (int d = 0; d <= looked; ++d) {
            h[static_cast<std::size_t>(d)] += weight * std::cos(2 * kPi * static_cast<double>(k) * d / n);
        }
    }
    double rest = 0;
    for (int d = 1; d <= looked; ++d)
        rest += (2 * d == n ? 1 : 2) * std::fabs(h[static_cast<std::size_t>(d)]);
    int radius = 0;
    while (rest >= 1e-6 && radius < looked) {
        ++radius;
        rest -= (2 * radius == n ? 1 : 2) * std::fabs(h[static_cast<std::size_t>(radius)]);
    }
    SymmetricKernel kernel;
    if (rest >= 1e-6 || 2 * radius + 1 > n || (radius == looked && looked < n / 2)) return kernel;
    kernel.taps.assign(h.begin(), h.begin() + radius + 1);
    return kernel;
}

RK_SIMD_CLONES void scaleRow(float* sum, const float* a, float t, int n) {
    for (int i = 0; i < n; ++i)
        sum[i] = t * a[i];
}

RK_SIMD_CLONES void addTapPair(float* sum, const float* a, const float* b, float t, int n) {
    for (int i = 0; i < n; ++i)
        sum[i] += t * (a[i] + b[i]);
}

// Two taps in one sweep: the sum is loaded and stored half as often.
RK_SIMD_CLONES void addTwoTapPairs(float* sum, const float* a, const float* b, float t, const float* c,
                                   const float* d, float u, int n) {
    for (int i = 0; i < n; ++i)
        sum[i] += t * (a[i] + b[i]) + u * (c[i] + d[i]);
}

RK_SIMD_CLONES void gatherRow(const std::uint8_t* in, float* out, int n) {
    for (int i = 0; i < n; ++i)
        out[i] = in[i];
}

RK_SIMD_CLONES void gatherRow3(const std::uint8_t* in, float* out, int n) {
    for (int i = 0; i < n; ++i)
        out[i] = in[3 * i];
}

int wrap(int p, int n) {
    p %= n;
    return p < 0 ? p + n : p;
}

} // namespace

GaussianField gaussianField(int width, int height, double sigma) {
    GaussianField field;
    field.width = width;
    field.height = height;
    field.sigma = sigma;
    field.fieldWidth = fastTransformSize(width + 2 * marginFor(sigma, width));
    field.fieldHeight = fastTransformSize(height + 2 * marginFor(sigma, height));
    // Horizontal frequencies that the Gaussian takes below float precision are left out.
    const int columns = field.fieldWidth / 2 + 1;
    int band = 1;
    while (band<columns&& static_cast<float>(gaussianAt(band, field.fieldWidth, sigma))> 1e-8f)
        ++band;
    field.band = band;
    field.columnSource = sourcesOf(width, field.fieldWidth);
    field.rowSource = sourcesOf(height, field.fieldHeight);
    return field;
}

std::unique_ptr<GaussianTransform> GaussianTransform::create(const GaussianField& field) {
    std::unique_ptr<GaussianTransform> transform(new GaussianTransform(field));
    // The inverse transform's factor of width x height is divided out along with the Gaussian.
    transform->responseX_ = gaussianResponse(field.fieldWidth, field.fieldWidth / 2 + 1, field.sigma, 1.0);
    transform->responseY_ =
        gaussianResponse(field.fieldHeight, field.fieldHeight, field.sigma,
                         1.0 / (static_cast<double>(field.fieldWidth) * field.fieldHeight));
    transform->spectrum_ = SpectralField::create(field.fieldWidth, field.fieldHeight, field.band);
    if (transform->spectrum_ == nullptr) return nullptr;
    return transform;
}

void GaussianTransform::run(const ChannelSamples& samples, BlurredRows& out) {
    SpectralField& spectrum = *spectrum_;
    for (int y = 0; y < field_.fieldHeight; ++y) {
        const int sy = field_.rowSource[static_cast<std::size_t>(y)];
        float* row = spectrum.row(y);
        for (int x = 0; x < field_.fieldWidth; ++x) {
            row[x] = samples.at(field_.columnSource[static_cast<std::size_t>(x)], sy);
        }
    }
    spectrum.forward();
    for (int ky = 0; ky < field_.fieldHeight; ++ky) {
        const float gy = responseY_[static_cast<std::size_t>(ky)];
        std::complex<float>* coefficient = spectrum.coefficients(ky);
        const float* gx = responseX_.data();
        for (int kx = 0; kx < spectrum.band(); ++kx)
            coefficient[kx] *= gy * gx[kx];
    }
    spectrum.inverse();
    for (int y = 0; y < field_.height; ++y)
        out.row(y, spectrum.row(y));
}

std::unique_ptr<GaussianSeparable> GaussianSeparable::create(const GaussianField& field, int channels) {
    std::unique_ptr<GaussianSeparable> separable(new GaussianSeparable(field, channels));
    separable->kernelX_ = transformKernel(field.fieldWidth, field.band, field.sigma);
    separable->kernelY_ = transformKernel(field.fieldHeight, field.fieldHeight / 2 + 1, field.sigma);
    if (separable->kernelX_.taps.empty() || separable->kernelY_.taps.empty()) return nullptr;
    // A window of filtered rows where it serves every output row, else a plane of all of them.
    separable->window_ = separable->windowServes();
    const int rows = separable->window_ ? 2 * separable->kernelY_.radius() + 1 + kOutsideSlots : field.height;
    const auto samplesPerRow = static_cast<std::size_t>(field.width) * static_cast<std::size_t>(channels);
    separable->rows_.reset(new (std::nothrow) float[samplesPerRow * static_cast<std::size_t>(rows)]);
    if (separable->rows_ == nullptr) return nullptr;
    const int rx = separable->kernelX_.radius();
    separable->extended_.resize(static_cast<std::size_t>(field.width + 2 * rx) *
                                static_cast<std::size_t>(channels));
    // The columns around a row as the circular field sees them, found once for all rows.
    separable->columns_.resize(static_cast<std::size_t>(field.width + 2 * rx));
    for (std::size_t i = 0; i < separable->columns_.size(); ++i) {
        separable->columns_[i] =
            field.columnSource[static_cast<std::size_t>(wrap(static_cast<int>(i) - rx, field.fieldWidth))];
    }
    separable->sum_.resize(samplesPerRow);
    return separable;
}

void GaussianSeparable::filterRow(const ChannelSamples& samples, int y, float* filtered) {
    const int channels = channels_;
    const int n = field_.width * channels;
    const int rx = kernelX_.radius();
    const float* tx = kernelX_.taps.data();
    float* ext = extended_.data();
    float* centre = ext + rx * channels;
    const std::uint8_t* row = samples.base + y * samples.stride;
    // The row itself straight, only the columns around it through the table.
    if (samples.step == channels) {
        gatherRow(row, centre, n);
    } else {
        gatherRow3(row, centre, n);
    }
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (i == static_cast<std::size_t>(rx)) i += static_cast<std::size_t>(field_.width);
        if (i >= columns_.size()) break;
        const std::uint8_t* pixel = row + static_cast<std::ptrdiff_t>(columns_[i]) * samples.step;
        for (int k = 0; k < channels; ++k)
            ext[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(k)] = pixel[k];
    }
    scaleRow(filtered, centre, tx[0], n);
    int d = 1;
    for (; d + 1 <= rx; d += 2) {
        const int near = d * channels;
        const int far = near + channels;
        addTwoTapPairs(filtered, centre - near, centre + near, tx[d], centre - far, centre + far, tx[d + 1],
                       n);
    }
    if (d <= rx) addTapPair(filtered, centre - d * channels, centre + d * channels, tx[d], n);
}

int GaussianSeparable::sourceRow(int p) const {
    return field_.rowSource[static_cast<std::size_t>(wrap(p, field_.fieldHeight))];
}

bool GaussianSeparable::windowServes() const {
    const int ry = kernelY_.radius();
    for (int y = 0; y < field_.height; ++y) {
        int outside[kOutsideSlots + 1];
        int count = 0;
        for (int d = -ry; d <= ry; ++d) {
            const int source = sourceRow(y + d);
            if (source >= y - ry && source <= y + ry) continue;
            if (std::find(outside, outside + count, source) != outside + count) continue;
            if (count == kOutsideSlots) return false;
            outside[count++] = source;
        }
    }
    return true;
}

void GaussianSeparable::run(const ChannelSamples& samples, BlurredRows& out) {
    const int width = field_.width * channels_;
    const int height = field_.height;
    const int ry = kernelY_.radius();
    const float* ty = kernelY_.taps.data();
    const auto rowAtSlot = [&](int slot) { return rows_.get() + static_cast<std::ptrdiff_t>(slot) * width; };
    if (!window_) {
        for (int y = 0; y < height; ++y)
            filterRow(samples, y, rowAtSlot(y));
    }
    // Window slots: image row s in slot s mod (2 ry + 1) while it lies within ry of the output row;
    // the few rows the field's edges repeat from farther away (the first and last) in slots of
    // their own after those.
    const int ring = 2 * ry + 1;
    std::vector<int> tag(static_cast<std::size_t>(ring + kOutsideSlots), -1);
    std::vector<int> used(static_cast<std::size_t>(ring + kOutsideSlots), -1);
    const auto planeRow = [&](int y, int p) -> const float* {
        const int source = sourceRow(p);
        if (!window_) return rowAtSlot(source);
        int slot = source % ring;
        if (source < y - ry || source > y + ry) {
            slot = ring;
            for (int k = ring; k < ring + kOutsideSlots; ++k) {
                if (tag[static_cast<std::size_t>(k)] == source) {
                    slot = k;
                    break;
                }
                if (used[static_cast<std::size_t>(k)] < used[static_cast<std::size_t>(slot)]) slot = k;
            }
        }
        used[static_cast<std::size_t>(slot)] = y;
        if (tag[static_cast<std::size_t>(slot)] != source) {
            filterRow(samples, source, rowAtSlot(slot));
            tag[static_cast<std::size_t>(slot)] = source;
        }
        return rowAtSlot(slot);
    };
    float* sum = sum_.data();
    for (int y = 0; y < height; ++y) {
        scaleRow(sum, planeRow(y, y), ty[0], width);
        int d = 1;
        for (; d + 1 <= ry; d += 2) {
            addTwoTapPairs(sum, planeRow(y, y - d), planeRow(y, y + d), ty[d], planeRow(y, y - d - 1),
                           planeRow(y, y + d + 1), ty[d + 1], width);
        }
        if (d <= ry) addTapPair(sum, planeRow(y, y - d), planeRow(y, y + d), ty[d], width);
        out.row(y, sum);
    }
}

} // namespace rasterkit
