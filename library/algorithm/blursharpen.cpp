// Blur, Sharpen (3 x 3 kernels per channel) and GaussianBlur (in the frequency domain).
#include "effects_internal.h"
#include "fft.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace rasterkit {
namespace {

// Both kernels give all eight neighbours one weight and the centre the rest of 1.
struct Kernel3 {
  double neighbour;
  double centre;
};

Kernel3 blurKernel(int level) {
  const double c = (level - 1) / 648.0 + 1.0 / 9.0;
  return {c, 1 - 8 * c};
}

Kernel3 sharpenKernel(int level) {
  const double c = -0.1 * level;
  return {c, 1 - 8 * c};
}

inline std::uint8_t convolutionOutput(double s) {
  if (s > 254) return 255;
  if (s <= 0) return 0;
  return static_cast<std::uint8_t>(s + kTruncationTolerance);
}

// Rows y - 1, y, y + 1 of one channel, the window at column x: a b c / d e f / g h i.
int edgeResponse(const std::uint8_t* up, const std::uint8_t* mid, const std::uint8_t* down, int x) {
  return -2 * up[x - 1] - up[x] - mid[x - 1] + mid[x + 1] + down[x] + 2 * down[x + 1];
}

int convolve3x3(ImageInfo& info, int channel, Kernel3 kernel, bool edgesOnly) {
  const int width = info.nSrcWidth;
  const int height = info.nSrcHeight;
  if (width < 3 || height < 3) return kTooSmall;
  const std::ptrdiff_t stride = rowStride(8, width);
  const auto* src = static_cast<const std::uint8_t*>(info.lpSrcData);
  auto* dst = static_cast<std::uint8_t*>(info.lpDstData);
  std::copy_n(src, width, dst);
  std::copy_n(src + (height - 1) * stride, width, dst + (height - 1) * stride);
  Selection selection(info, width);
  for (int y = 1; y < height - 1; ++y) {
    if (canceled(info)) return kCancel;
    const std::uint8_t* up = src + (y - 1) * stride;
    const std::uint8_t* mid = up + stride;
    const std::uint8_t* down = mid + stride;
    std::uint8_t* out = dst + y * stride;
    const std::uint8_t* selected = selection.row(y);
    out[0] = mid[0];
    out[width - 1] = mid[width - 1];
    for (int x = 1; x < width - 1; ++x) {
      if ((selected != nullptr && !selected[x]) ||
          (edgesOnly && std::abs(edgeResponse(up, mid, down, x)) < 200)) {
        out[x] = mid[x];
        continue;
      }
      const int ring = up[x - 1] + up[x] + up[x + 1] + mid[x - 1] + mid[x + 1] + down[x - 1] +
                       down[x] + down[x + 1];
      out[x] = convolutionOutput(kernel.neighbour * ring + kernel.centre * mid[x]);
    }
    channelProgress(info, channel, y);
  }
  return kSucceed;
}

int levelOf(const ImageInfo& info) {
  return std::clamp(*static_cast<const std::int32_t*>(info.lpParam), 1, 10);
}

int blurChannel(ImageInfo& info, int channel) {
  return convolve3x3(info, channel, blurKernel(levelOf(info)), false);
}

int sharpenChannel(ImageInfo& info, int channel) {
  const auto* param = static_cast<const SharpenParam*>(info.lpParam);
  return convolve3x3(info, channel, sharpenKernel(std::clamp<int>(param->level, 1, 10)),
                     param->edgesOnly == 1);
}

int blur(ImageInfo& info) { return runFilterPerChannel(info, blurChannel); }

int sharpen(ImageInfo& info) { return runFilterPerChannel(info, sharpenChannel); }

// ---- GaussianBlur ---------------------------------------------------------------------------

// The field is larger than the image by a margin on each side that the Gaussian's tail cannot
// cross; the margin repeats the nearest edge, so that the transform's wrap-around neither
// darkens the borders nor bleeds one edge into the opposite one.
int marginFor(double sigma, int extent) {
  const double wanted = std::ceil(4 * sigma) + 1;
  return static_cast<int>(std::min(wanted, static_cast<double>(extent)));
}

// Source index of padded position p in a field of `size` holding `extent` samples at 0.
int paddedIndex(int p, int extent, int size) {
  if (p < extent) return p;
  return p - (extent - 1) <= size - p ? extent - 1 : 0;
}

// exp(-2 pi^2 sigma^2 k^2 / n^2) with k the symmetric frequency index, times `scale`.
std::vector<float> gaussianResponse(int n, int count, double sigma, double scale) {
  std::vector<float> response(static_cast<std::size_t>(count));
  const double pi = 3.14159265358979323846;
  for (int k = 0; k < count; ++k) {
    const double f = static_cast<double>(signedFrequency(k, n)) / n;
    response[static_cast<std::size_t>(k)] =
        static_cast<float>(scale * std::exp(-2 * pi * pi * sigma * sigma * f * f));
  }
  return response;
}

struct GaussianPlan {
  std::unique_ptr<SpectralField> field;
  std::vector<float> responseX;
  std::vector<float> responseY;
  std::vector<int> columnSource;
};

void transformChannel(GaussianPlan& plan, const ChannelLayout& layout, int c, int height) {
  SpectralField& field = *plan.field;
  const int fieldWidth = field.width();
  const int fieldHeight = field.height();
  for (int y = 0; y < fieldHeight; ++y) {
    const int sy = paddedIndex(y, height, fieldHeight);
    float* out = field.row(y);
    for (int x = 0; x < fieldWidth; ++x) {
      out[x] = *layout.srcAt(c, plan.columnSource[static_cast<std::size_t>(x)], sy);
    }
  }
  field.forward();
}

void filterChannel(GaussianPlan& plan, const ChannelLayout& layout, int c, int width, int height,
                   Selection& selection) {
  SpectralField& field = *plan.field;
  const int fieldHeight = field.height();
  for (int ky = 0; ky < fieldHeight; ++ky) {
    const float gy = plan.responseY[static_cast<std::size_t>(ky)];
    std::complex<float>* coefficient = field.coefficients(ky);
    const float* gx = plan.responseX.data();
    for (int kx = 0; kx < field.band(); ++kx) coefficient[kx] *= gy * gx[kx];
  }
  field.inverse();
  // Rounded rather than truncated: truncation would darken the whole image by half a level on
  // average, and a blur must keep the image's mean.
  for (int y = 0; y < height; ++y) {
    const float* in = field.row(y);
    const std::uint8_t* selected = selection.row(y);
    for (int x = 0; x < width; ++x) {
      *layout.dstAt(c, x, y) = selected != nullptr && !selected[x]
                                   ? *layout.srcAt(c, x, y)
                                   : clampTruncate(in[x] + 0.5);
    }
  }
}

int gaussianBlur(ImageInfo& info) {
  const bool supported = info.lpParam != nullptr && (isGrey8(info) || isColour24(info)) &&
                         std::isfinite(*static_cast<const double*>(info.lpParam));
  if (info.dwMode == RK_MODE_QUERY || !supported) return answerQuery(info, supported);
  const double sigma = std::fabs(*static_cast<const double*>(info.lpParam));
  if (info.nSrcBitCount == 8) copyPalette(info);
  const int width = info.nSrcWidth;
  const int height = info.nSrcHeight;
  GaussianPlan plan;
  const int fieldWidth = fastTransformSize(width + 2 * marginFor(sigma, width));
  const int fieldHeight = fastTransformSize(height + 2 * marginFor(sigma, height));
  // The inverse transform's factor of width x height is divided out along with the Gaussian.
  plan.responseX = gaussianResponse(fieldWidth, fieldWidth / 2 + 1, sigma, 1.0);
  plan.responseY = gaussianResponse(fieldHeight, fieldHeight, sigma,
                                    1.0 / (static_cast<double>(fieldWidth) * fieldHeight));
  // Horizontal frequencies that the Gaussian takes below float precision are left out.
  int band = 1;
  while (band < fieldWidth / 2 + 1 && plan.responseX[static_cast<std::size_t>(band)] > 1e-8f) ++band;
  plan.field = SpectralField::create(fieldWidth, fieldHeight, band);
  if (plan.field == nullptr) {
    progress(info, 1, 1);
    return kNoMemory;
  }
  plan.columnSource.resize(static_cast<std::size_t>(fieldWidth));
  for (int x = 0; x < fieldWidth; ++x) {
    plan.columnSource[static_cast<std::size_t>(x)] = paddedIndex(x, width, fieldWidth);
  }

  const ChannelLayout layout = channelLayout(info);
  Selection selection(info, width);
  int result = kSucceed;
  const int phases = 2 * layout.count;
  for (int c = 0; c < layout.count; ++c) {
    if (canceled(info)) {
      result = kCancel;
      break;
    }
    transformChannel(plan, layout, c, height);
    progress(info, 2 * c + 1, phases);
    filterChannel(plan, layout, c, width, height, selection);
    progress(info, 2 * c + 2, phases);
  }
  progress(info, 1, 1);
  return result;
}

}  // namespace

RASTERKIT_OPERATION(RK_OP_BLUR, blur);
RASTERKIT_OPERATION(RK_OP_SHARPEN, sharpen);
RASTERKIT_OPERATION(RK_OP_GAUSSIAN_BLUR, gaussianBlur);

}  // namespace rasterkit
