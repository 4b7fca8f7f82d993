// Emboss: relief from the difference of two samples on either side of each pixel.
#include "effects_internal.h"

#include <algorithm>

namespace rasterkit {
namespace {

// Offsets of sample A (B is its mirror through the pixel) in units of the reach r, and the sign
// the strength takes, per direction.
struct EmbossDirection {
  int ax;
  int ay;
  int sign;
};
constexpr EmbossDirection kDirections[8] = {
    {1, 0, 1}, {1, 0, -1}, {0, 1, 1}, {0, 1, -1}, {1, 1, 1}, {-1, 1, -1}, {-1, 1, 1}, {1, 1, -1}};

int emboss(ImageInfo& info) {
  const bool supported = info.lpParam != nullptr && (isGrey8(info) || isColour24(info));
  if (info.dwMode == RK_MODE_QUERY || !supported) return answerQuery(info, supported);
  const auto* param = static_cast<const EmbossParam*>(info.lpParam);
  if (info.nSrcBitCount == 8) copyPalette(info);
  const EmbossDirection d = kDirections[std::clamp(param->direction, 0, 7)];
  const int reach = (std::clamp(param->size, 3, 9) - 1) / 2;
  const double strength = d.sign * param->strength;
  const int width = info.nSrcWidth;
  const int height = info.nSrcHeight;
  const ChannelLayout layout = channelLayout(info);
  Selection selection(info, width);
  const int dx = d.ax * reach;
  const int dy = d.ay * reach;
  // Planar images run their planes one after the other, single-plane images all channels per row.
  const int passes = isPlanar24(info) ? 3 : 1;
  const int channelsPerPass = layout.count / passes;
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 0; y < height; ++y) {
      if (canceled(info)) return kCancel;
      const std::uint8_t* selected = selection.row(y);
      const bool rowA = y + dy >= 0 && y + dy < height;
      const bool rowB = y - dy >= 0 && y - dy < height;
      for (int x = 0; x < width; ++x) {
        const bool useA = rowA && x + dx >= 0 && x + dx < width;
        const bool useB = rowB && x - dx >= 0 && x - dx < width;
        const bool keep = selected != nullptr && !selected[x];
        for (int k = 0; k < channelsPerPass; ++k) {
          const int c = pass * channelsPerPass + k;
          const std::uint8_t own = *layout.srcAt(c, x, y);
          if (keep) {
            *layout.dstAt(c, x, y) = own;
            continue;
          }
          const int a = useA ? *layout.srcAt(c, x + dx, y + dy) : own;
          const int b = useB ? *layout.srcAt(c, x - dx, y - dy) : own;
          *layout.dstAt(c, x, y) = clampTruncate(strength * (a - b) + 128);
        }
      }
      progress(info, pass * height + y + 1, passes * height);
    }
  }
  return kSucceed;
}

}  // namespace

RASTERKIT_OPERATION(RK_OP_EMBOSS, emboss);

}  // namespace rasterkit
