// Pinch: each region squeezed towards (or swollen from) its centre, per channel.
#include "effects_internal.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace rasterkit {
namespace {

// The regions: the whole image, or each mask tile's rectangle in list order.
std::vector<Area> pinchRegions(const ImageInfo& info) {
  std::vector<Area> regions;
  if (info.lpMask == nullptr) {
    // Only real columns: the row padding of a plane holds nothing worth pulling in.
    regions.push_back({0, 0, info.nSrcWidth, info.nSrcHeight});
    return regions;
  }
  for (const MaskTile* tile = info.lpMask; tile != nullptr; tile = tile->lpNext) {
    const int left = std::max(tile->nLeft, 0);
    const int top = std::max(tile->nTop, 0);
    const int right = std::min(tile->nLeft + tile->nWidth, info.nSrcWidth);
    const int bottom = std::min(tile->nTop + tile->nHeight, info.nSrcHeight);
    if (right > left && bottom > top) regions.push_back({left, top, right - left, bottom - top});
  }
  return regions;
}

int pinchChannel(ImageInfo& info, int channel) {
  const double amount = std::clamp(static_cast<const PinchParam*>(info.lpParam)->amount, -100, 100);
  const double exponent = amount / 200 + 1;
  const int width = info.nSrcWidth;
  const std::ptrdiff_t stride = rowStride(8, width);
  const auto* src = static_cast<const std::uint8_t*>(info.lpSrcData);
  auto* dst = static_cast<std::uint8_t*>(info.lpDstData);
  std::copy_n(src, stride * info.nSrcHeight, dst);
  Selection selection(info, width);
  const std::vector<Area> regions = pinchRegions(info);
  std::int64_t total = 0;
  for (const Area& r : regions) total += static_cast<std::int64_t>(r.width) * r.height;
  const bool grey = info.nSrcType == RK_TYPE_GREY;
  // Progress in pixels, scaled down when the count passes the int range.
  const std::int64_t scale = (grey ? total : 3 * total) / 0x7fffffff + 1;
  std::int64_t done = 0;
  for (const Area& region : regions) {
    const int f = region.left;
    const int g = region.top;
    const int e = region.left + region.width;
    const int l = region.top + region.height;
    const double m = (e - f - 1) / 2.0;
    const double r = (l - g - 1) / 2.0;
    for (int i = g; i < l; ++i) {
      if (canceled(info)) return kCancel;
      const std::uint8_t* selected = selection.row(i);
      // A region one pixel thin has no extent to pinch along that axis.
      const double t = r > 0 ? (i - g - r) / r : 0;
      for (int j = f; j < e; ++j) {
        if (selected != nullptr && !selected[j]) continue;
        const double o = m > 0 ? (j - f - m) / m : 0;
        const double u = std::sqrt(o * o + t * t);
        const double v = std::atan2(t, o);
        const double w = u < 1 ? std::pow(u, exponent) : u;
        // w stays below 1.5 inside the region, so these are near it and fit an int; the
        // tolerance keeps an unmoved position (amount 0) from truncating to its left neighbour.
        const int sx = std::clamp(
            static_cast<int>(m + std::cos(v) * m * w + f + kTruncationTolerance), f, e - 1);
        const int sy = std::clamp(
            static_cast<int>(r + std::sin(v) * r * w + g + kTruncationTolerance), g, l - 1);
        dst[i * stride + j] = src[sy * stride + sx];
      }
      done += region.width;
      const std::int64_t reported = grey ? done : done + channel * total;
      progress(info, static_cast<int>(reported / scale),
               static_cast<int>((grey ? total : 3 * total) / scale));
    }
  }
  return kSucceed;
}

int pinch(ImageInfo& info) { return runFilterPerChannel(info, pinchChannel); }

}  // namespace

RASTERKIT_OPERATION(RK_OP_PINCH, pinch);

}  // namespace rasterkit
