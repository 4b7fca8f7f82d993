// CustomFilter: the user's 5 x 5 integer kernel, per channel.
#include "effects_internal.h"

#include <algorithm>

namespace rasterkit {
namespace {

int customFilterChannel(ImageInfo& info, int channel) {
  const auto* param = static_cast<const CustomFilterParam*>(info.lpParam);
  const int width = info.nSrcWidth;
  const int height = info.nSrcHeight;
  const std::ptrdiff_t stride = rowStride(8, width);
  const auto* src = static_cast<const std::uint8_t*>(info.lpSrcData);
  auto* dst = static_cast<std::uint8_t*>(info.lpDstData);
  const int divisor = param->divisor;
  const int offset = param->offset;
  Selection selection(info, width);
  for (int y = 0; y < height; ++y) {
    if (canceled(info)) return kCancel;
    const std::uint8_t* selected = selection.row(y);
    const bool innerRows = y >= 2 && y + 2 < height;
    for (int x = 0; x < width; ++x) {
      const std::uint8_t centre = src[y * stride + x];
      if (selected != nullptr && !selected[x]) {
        dst[y * stride + x] = centre;
        continue;
      }
      int a = 0;
      const std::int16_t* weight = param->weights;
      if (innerRows && x >= 2 && x + 2 < width) {
        for (int j = -2; j <= 2; ++j) {
          const std::uint8_t* row = src + (y + j) * stride + x - 2;
          for (int i = 0; i < 5; ++i) a += *weight++ * row[i];
        }
      } else {
        // Positions outside the image take the centre's value.
        for (int j = -2; j <= 2; ++j) {
          for (int i = -2; i <= 2; ++i) {
            const int sx = x + i;
            const int sy = y + j;
            const bool inside = sx >= 0 && sx < width && sy >= 0 && sy < height;
            a += *weight++ * (inside ? src[sy * stride + sx] : centre);
          }
        }
      }
      if (divisor != 0) a /= divisor;
      a += offset;
      dst[y * stride + x] = static_cast<std::uint8_t>(a > 254 ? 255 : (a <= 0 ? 0 : a));
    }
    channelProgress(info, channel, y);
  }
  return kSucceed;
}

int customFilter(ImageInfo& info) { return runFilterPerChannel(info, customFilterChannel); }

}  // namespace

RASTERKIT_OPERATION(RK_OP_CUSTOM_FILTER, customFilter);

}  // namespace rasterkit
