// GaussianBlur's two ways over one padded field: the transform, and the transform's own kernel
// applied as a separable spatial filter.
#include "gaussian_paths.h"

#include "simd_clones.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace rasterkit {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::size_t kLineBytes = 64;
constexpr std::size_t kLineFloats = kLineBytes / sizeof(float);

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
    // cos(2 pi k d / n) repeats with k d mod n: one period of it serves all pairs.
    std::vector<double> cosine(static_cast<std::size_t>(n));
    for (int m = 0; m < n; ++m)
        cosine[static_cast<std::size_t>(m)] = std::cos(2 * kPi * m / n);
    for (int k = 0; k < band; ++k) {
        const double weight = (k == 0 || 2 * k == n ? 1.0 : 2.0) * gaussianAt(k, n, sigma) / n;
        std::size_t m = 0; // k d mod n
        for (int d = 0; d <= looked; ++d) {
            h[static_cast<std::size_t>(d)] += weight * cosine[m];
            m += static_cast<std::size_t>(k);
            if (m >= static_cast<std::size_t>(n)) m -= static_cast<std::size_t>(n);
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

// Outputs summed together over all taps, held in vector registers meanwhile: each sample is loaded
// once per tap and the sums never go through memory. Written with vector types, since the
// compiler's own vectoriser keeps such sums in memory (a clone for narrower registers splits
// them). The loads and stores go through memcpy: rows need not start on a vector boundary.
using Lanes = float __attribute__((vector_size(64)));
constexpr int kLanes = static_cast<int>(sizeof(Lanes) / sizeof(float));
constexpr int kGroupVectors = 4;
constexpr int kGroup = kGroupVectors * kLanes;

// By reference: a vector passed by value would take a different calling convention per clone.
inline void loadLanes(Lanes& v, const float* p) {
    std::memcpy(&v, p, sizeof v);
}

inline void storeLanes(float* p, const Lanes& v) {
    std::memcpy(p, &v, sizeof v);
}

// acc += t * (a + b) over one vector of lanes.
inline void addPair(Lanes& acc, float t, const float* a, const float* b) {
    Lanes x;
    Lanes y;
    loadLanes(x, a);
    loadLanes(y, b);
    acc += t * (x + y);
}

// Every output sums its taps in the same order (centre, then the pairs outwards), in a group or
// alone, so a value never depends on where it falls in a row.
RK_WIDE_SIMD_CLONES void sumTapsGroup(float* out, const float* centre, const float* taps, int radius,
                                      int step) {
    Lanes acc[kGroupVectors];
    for (int v = 0; v < kGroupVectors; ++v) {
        loadLanes(acc[v], centre + v * kLanes);
        acc[v] *= taps[0];
    }
    for (int d = 1; d <= radius; ++d) {
        const float* a = centre - d * step;
        const float* b = centre + d * step;
        for (int v = 0; v < kGroupVectors; ++v)
            addPair(acc[v], taps[d], a + v * kLanes, b + v * kLanes);
    }
    for (int v = 0; v < kGroupVectors; ++v)
        storeLanes(out + v * kLanes, acc[v]);
}

float sumTapsOne(const float* centre, const float* taps, int radius, int step) {
    float acc = taps[0] * centre[0];
    for (int d = 1; d <= radius; ++d)
        acc += taps[d] * (centre[-d * step] + centre[d * step]);
    return acc;
}

// Outputs [0, n) of a row: out[i] = sum over d of taps[|d|] * centre[i + d * step]. A row's last
// group overlaps the one before it rather than leaving a scalar tail; the overlap is summed to the
// same values again.
void sumTaps(float* out, const float* centre, const float* taps, int radius, int step, int n) {
    if (n < kGroup) {
        for (int i = 0; i < n; ++i)
            out[i] = sumTapsOne(centre + i, taps, radius, step);
        return;
    }
    for (int i = 0; i < n; i += kGroup) {
        const int at = std::min(i, n - kGroup);
        sumTapsGroup(out + at, centre + at, taps, radius, step);
    }
}

// The same down a column of rows: rows[d] is the row d below the output's (d may be negative).
RK_WIDE_SIMD_CLONES void sumRowsGroup(float* out, const float* const* rows, std::ptrdiff_t at,
                                      const float* taps, int radius) {
    Lanes acc[kGroupVectors];
    for (int v = 0; v < kGroupVectors; ++v) {
        loadLanes(acc[v], rows[0] + at + v * kLanes);
        acc[v] *= taps[0];
    }
    for (int d = 1; d <= radius; ++d) {
        const float* a = rows[-d] + at;
        const float* b = rows[d] + at;
        for (int v = 0; v < kGroupVectors; ++v)
            addPair(acc[v], taps[d], a + v * kLanes, b + v * kLanes);
    }
    for (int v = 0; v < kGroupVectors; ++v)
        storeLanes(out + at + v * kLanes, acc[v]);
}

// Outputs [from, from + n) of rows `width` wide, from a multiple of the group (the last group of a
// row overlapping as in sumTaps).
void sumRows(float* out, const float* const* rows, int from, int n, int width, const float* taps,
             int radius) {
    if (width < kGroup) {
        for (int i = from; i < from + n; ++i) {
            float acc = taps[0] * rows[0][i];
            for (int d = 1; d <= radius; ++d)
                acc += taps[d] * (rows[-d][i] + rows[d][i]);
            out[i] = acc;
        }
        return;
    }
    for (int i = from; i < from + n; i += kGroup)
        sumRowsGroup(out, rows, std::min(i, width - kGroup), taps, radius);
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
    const int rows =
        separable->window_ ? 2 * separable->kernelY_.radius() + kBlockRows + kOutsideSlots : field.height;
    const auto samplesPerRow = static_cast<std::size_t>(field.width) * static_cast<std::size_t>(channels);
    const std::size_t pitch = (samplesPerRow + kLineFloats - 1) / kLineFloats * kLineFloats;
    separable->pitch_ = static_cast<std::ptrdiff_t>(pitch);
    separable->rows_ = alignedRows(pitch * static_cast<std::size_t>(rows));
    separable->sums_ = alignedRows(pitch * kBlockRows);
    if (separable->rows_ == nullptr || separable->sums_ == nullptr) return nullptr;
    const int rx = separable->kernelX_.radius();
    separable->extended_.resize(static_cast<std::size_t>(field.width + 2 * rx) *
                                static_cast<std::size_t>(channels));
    // The columns around a row as the circular field sees them, found once for all rows.
    separable->columns_.resize(static_cast<std::size_t>(field.width + 2 * rx));
    for (std::size_t i = 0; i < separable->columns_.size(); ++i) {
        separable->columns_[i] =
            field.columnSource[static_cast<std::size_t>(wrap(static_cast<int>(i) - rx, field.fieldWidth))];
    }
    return separable;
}

void GaussianSeparable::AlignedDelete::operator()(float* p) const noexcept {
    ::operator delete[](p, std::align_val_t{kLineBytes});
}

GaussianSeparable::AlignedRows GaussianSeparable::alignedRows(std::size_t count) {
    return AlignedRows(static_cast<float*>(
        ::operator new[](count * sizeof(float), std::align_val_t{kLineBytes}, std::nothrow)));
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
    sumTaps(filtered, centre, tx, rx, channels, n);
}

int GaussianSeparable::sourceRow(int p) const {
    return field_.rowSource[static_cast<std::size_t>(wrap(p, field_.fieldHeight))];
}

bool GaussianSeparable::windowServes() const {
    const int ry = kernelY_.radius();
    for (int y0 = 0; y0 < field_.height; y0 += kBlockRows) {
        const int last = std::min(y0 + kBlockRows, field_.height) - 1;
        int outside[kOutsideSlots + 1];
        int count = 0;
        for (int p = y0 - ry; p <= last + ry; ++p) {
            const int source = sourceRow(p);
            if (source >= y0 - ry && source <= last + ry) continue;
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
    const auto rowAtSlot = [&](int slot) { return rows_.get() + slot * pitch_; };
    if (!window_) {
        for (int y = 0; y < height; ++y)
            filterRow(samples, y, rowAtSlot(y));
    }
    // Window slots: image row s in slot s mod (2 ry + block) while it lies within ry of the block
    // of output rows; the few rows the field's edges repeat from farther away (the first and last)
    // in slots of their own after those.
    const int ring = 2 * ry + kBlockRows;
    std::vector<int> tag(static_cast<std::size_t>(ring + kOutsideSlots), -1);
    std::vector<int> used(static_cast<std::size_t>(ring + kOutsideSlots), -1);
    const auto planeRow = [&](int first, int last, int p) -> const float* {
        const int source = sourceRow(p);
        if (!window_) return rowAtSlot(source);
        int slot = source % ring;
        if (source < first - ry || source > last + ry) {
            slot = ring;
            for (int k = ring; k < ring + kOutsideSlots; ++k) {
                if (tag[static_cast<std::size_t>(k)] == source) {
                    slot = k;
                    break;
                }
                if (used[static_cast<std::size_t>(k)] < used[static_cast<std::size_t>(slot)]) slot = k;
            }
        }
        used[static_cast<std::size_t>(slot)] = first;
        if (tag[static_cast<std::size_t>(slot)] != source) {
            filterRow(samples, source, rowAtSlot(slot));
            tag[static_cast<std::size_t>(slot)] = source;
        }
        return rowAtSlot(slot);
    };
    // A block of output rows at a time, column chunk by column chunk: the rows a chunk reads are
    // fetched from memory once for the whole block and stay near while its taps are summed.
    std::vector<const float*> reach(static_cast<std::size_t>(ring));
    for (int y0 = 0; y0 < height; y0 += kBlockRows) {
        const int count = std::min(kBlockRows, height - y0);
        for (int k = 0; k < count + 2 * ry; ++k)
            reach[static_cast<std::size_t>(k)] = planeRow(y0, y0 + count - 1, y0 - ry + k);
        static_assert(kColumnChunk % kGroup == 0);
        for (int c0 = 0; c0 < width; c0 += kColumnChunk) {
            const int n = std::min(kColumnChunk, width - c0);
            for (int j = 0; j < count; ++j)
                sumRows(sums_.get() + j * pitch_, reach.data() + j + ry, c0, n, width, ty, ry);
        }
        for (int j = 0; j < count; ++j)
            out.row(y0 + j, sums_.get() + j * pitch_);
    }
}

} // namespace rasterkit
