// FindEdges: 8 x centre minus the eight neighbours, lifted by 255.
#include "effects_internal.h"

#include <algorithm>

namespace rasterkit {
namespace {

int findEdges(ImageInfo& info) {
  const bool supported = isGrey8(info) || isColour24(info);
  if (info.dwMode == RK_MODE_QUERY || !supported) return answerQuery(info, supported);
  const int width = info.nSrcWidth;
  if (info.nSrcBitCount == 8) copyPalette(info);
  const int height = info.nSrcHeight;
  // The border rows and columns are copies of their inner neighbours, which need a 3 x 3 image.
  if (width < 3 || height < 3) return kTooSmall;
  const ChannelLayout layout = channelLayout(info);
  Selection selection(info, width);
  const int passes = isPlanar24(info) ? 3 : 1;
  const int channelsPerPass = layout.count / passes;
  const std::ptrdiff_t s = layout.stride;
  const std::ptrdiff_t step = layout.step;
  for (int pass = 0; pass < passes; ++pass) {
    for (int y = 1; y < height - 1; ++y) {
      const std::uint8_t* selected = selection.row(y);
      for (int k = 0; k < channelsPerPass; ++k) {
        const int c = pass * channelsPerPass + k;
        for (int x = 1; x < width - 1; ++x) {
          const std::uint8_t* p = layout.srcAt(c, x, y);
          if (selected != nullptr && !selected[x]) {
            *layout.dstAt(c, x, y) = *p;
            continue;
          }
          const int ring = p[-s - step] + p[-s] + p[-s + step] + p[-step] + p[step] +
                           p[s - step] + p[s] + p[s + step];
          *layout.dstAt(c, x, y) = clampByte(8 * *p - ring + 255);
        }
        *layout.dstAt(c, 0, y) = *layout.dstAt(c, 1, y);
        *layout.dstAt(c, width - 1, y) = *layout.dstAt(c, width - 2, y);
      }
      progress(info, pass * (height - 2) + y, passes * (height - 2));
      if (canceled(info)) return kCancel;
    }
  }
  for (int c = 0; c < layout.count; ++c) {
    for (int x = 0; x < width; ++x) {
      *layout.dstAt(c, x, 0) = *layout.dstAt(c, x, 1);
      *layout.dstAt(c, x, height - 1) = *layout.dstAt(c, x, height - 2);
    }
  }
  return kSucceed;
}

}  // namespace

RASTERKIT_OPERATION(RK_OP_FIND_EDGES, findEdges);

}  // namespace rasterkit
