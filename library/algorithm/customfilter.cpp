// CustomFilter: the user's 5 x 5 integer kernel, per channel.
#include "effects_internal.h"

#include <algorithm>
#include <vector>

namespace rasterkit {
namespace {

// Output of the kernel sum a: divided (truncating toward zero), offset, clamped.
inline std::uint8_t kernelOutput(int a, int divisor, int offset) {
  if (divisor != 0) a /= divisor;
  a += offset;
  return static_cast<std::uint8_t>(a > 254 ? 255 : (a <= 0 ? 0 : a));
}

// The full window rule for pixels near the border: positions outside take the centre's value.
int borderSum(const CustomFilterParam& param, const std::uint8_t* src, std::ptrdiff_t stride,
              int width, int height, int x, int y) {
  const std::uint8_t centre = src[y * stride + x];
  int a = 0;
  const std::int16_t* weight = param.weights;
  for (int j = -2; j <= 2; ++j) {
    for (int i = -2; i <= 2; ++i) {
      const int sx = x + i;
      const int sy = y + j;
      const bool inside = sx >= 0 && sx < width && sy >= 0 && sy < height;
      a += *weight++ * (inside ? src[sy * stride + sx] : centre);
    }
  }
  return a;
}

int customFilterChannel(ImageInfo& info, int channel) {
  const auto& param = *static_cast<const CustomFilterParam*>(info.lpParam);
  const int width = info.nSrcWidth;
  const int height = info.nSrcHeight;
  const std::ptrdiff_t stride = rowStride(8, width);
  const auto* src = static_cast<const std::uint8_t*>(info.lpSrcData);
  auto* dst = static_cast<std::uint8_t*>(info.lpDstData);
  const int divisor = param.divisor;
  const int offset = param.offset;
  Selection selection(info, width);
  // Sums of the inner columns of one row, built weight by weight so the loops vectorise.
  std::vector<int> sums(static_cast<std::size_t>(std::max(width, 0)));
  for (int y = 0; y < height; ++y) {
    if (canceled(info)) return kCancel;
    const std::uint8_t* selected = selection.row(y);
    const bool innerRow = y >= 2 && y + 2 < height && width >= 5;
    if (innerRow) {
      std::fill(sums.begin(), sums.end(), 0);
      int* acc = sums.data();
      for (int j = 0; j < 5; ++j) {
        for (int i = 0; i < 5; ++i) {
          const int weight = param.weights[5 * j + i];
          if (weight == 0) continue;
          const std::uint8_t* row = src + (y + j - 2) * stride + (i - 2);
          for (int x = 2; x < width - 2; ++x) acc[x] += weight * row[x];
        }
      }
    }
    std::uint8_t* out = dst + y * stride;
    for (int x = 0; x < width; ++x) {
      if (selected != nullptr && !selected[x]) {
        out[x] = src[y * stride + x];
        continue;
      }
      const bool inner = innerRow && x >= 2 && x + 2 < width;
      const int a = inner ? sums[static_cast<std::size_t>(x)]
                          : borderSum(param, src, stride, width, height, x, y);
      out[x] = kernelOutput(a, divisor, offset);
    }
    channelProgress(info, channel, y);
  }
  return kSucceed;
}

int customFilter(ImageInfo& info) { return runFilterPerChannel(info, customFilterChannel); }

}  // namespace

RASTERKIT_OPERATION(RK_OP_CUSTOM_FILTER, customFilter);

}  // namespace rasterkit
