// Clouds: fractal noise made in the frequency domain, coloured between the two colours.
#include "effects_internal.h"
#include "fft.h"
#include "operations.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

namespace rasterkit {
namespace {

// Roughness: the spectrum falls as 1 / f^(1 + kHurst), which gives soft, billowing shapes.
constexpr double kHurst = 0.9;
// Spread of the texture around its middle tone, in standard deviations per unit of tone.
constexpr double kContrast = 0.22;

double uniformDraw(SeededRandom& random) {
    return (random.next() % 32768) / 32767.0 - 0.5;
}

// Fills the spectrum with random phases under the 1 / f fall-off. Below the corner frequency
// (a random 1 to 1.9 cycles over the image) the fall-off levels out, so the largest shapes vary
// from run to run instead of one blob dominating.
void synthesiseSpectrum(SpectralField& field, SeededRandom& random) {
    const int count = 10 + random.next() % 10;
    const double corner = count / 10.0;
    const double longest = std::max(field.width(), field.height());
    const double exponent = (1 + kHurst) / 2; // applied to the squared frequency
    for (int ky = 0; ky < field.height(); ++ky) {
        const double fy = signedFrequency(ky, field.height()) * longest / field.height();
        std::complex<float>* row = field.coefficients(ky);
        for (int kx = 0; kx < field.spectrumWidth(); ++kx) {
            const double fx = kx * longest / field.width();
            const double amplitude = std::pow(fx * fx + fy * fy + corner * corner, -exponent);
            // The mean (frequency 0) stays 0: the tone is set from the spread alone.
            const double a = kx == 0 && ky == 0 ? 0.0 : amplitude;
            row[kx] = std::complex<float>(static_cast<float>(uniformDraw(random) * a),
                                          static_cast<float>(uniformDraw(random) * a));
        }
    }
}

// Channel values of a colour word (red in the low byte): grey, or blue, green, red.
void channelsOf(std::uint32_t colour, int count, double (&out)[3]) {
    const double red = colour & 0xff;
    const double green = (colour >> 8) & 0xff;
    const double blue = (colour >> 16) & 0xff;
    if (count == 1) {
        out[0] = clampTruncate(0.30 * red + 0.53 * green + 0.17 * blue + 0.499);
    } else {
        out[0] = blue;
        out[1] = green;
        out[2] = red;
    }
}

} // namespace

int runClouds(ImageInfo& info) {
    const CloudsParam param = *static_cast<const CloudsParam*>(info.lpParam);
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const auto field = SpectralField::create(fastTransformSize(width), fastTransformSize(height));
    if (field == nullptr) {
        progress(info, 1, 1);
        return kNoMemory;
    }
    copyPixels(info);
    if (info.nSrcBitCount == 8) copyPalette(info);
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    SeededRandom random(
        static_cast<unsigned>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count() % 1000));
    synthesiseSpectrum(*field, random);
    progress(info, 1, 3);
    if (canceled(info)) return kCancel;
    field->inverse();
    progress(info, 2, 3);
    if (canceled(info)) return kCancel;

    double sum = 0;
    double squares = 0;
    for (int y = 0; y < height; ++y) {
        const float* row = field->row(y);
        for (int x = 0; x < width; ++x) {
            const double v = row[x];
            sum += v;
            squares += v * v;
        }
    }
    const double n = static_cast<double>(width) * height;
    const double mean = sum / n;
    const double deviation = std::sqrt(std::max(squares / n - mean * mean, 1e-300));

    const ChannelLayout layout = channelLayout(info);
    double dense[3];
    double thin[3];
    channelsOf(param.color1, layout.count, dense);
    channelsOf(param.color2, layout.count, thin);
    Selection selection(info, width);
    for (int y = 0; y < height; ++y) {
        const float* row = field->row(y);
        const std::uint8_t* selected = selection.row(y);
        for (int x = 0; x < width; ++x) {
            const bool keep = selected != nullptr && !selected[x];
            const double t = std::clamp(0.5 + kContrast * (row[x] - mean) / deviation, 0.0, 1.0);
            for (int c = 0; c < layout.count; ++c) {
                *layout.dstAt(c, x, y) =
                    keep ? *layout.srcAt(c, x, y) : clampTruncate(thin[c] + (dense[c] - thin[c]) * t + 0.5);
            }
        }
    }
    progress(info, 3, 3);
    return kSucceed;
}

} // namespace rasterkit
