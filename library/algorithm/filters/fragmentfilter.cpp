// Fragment: the mean of four copies of the image shifted 4 pixels diagonally, per channel.
#include "effects_internal.h"
#include "operations.h"

namespace rasterkit {
namespace {

constexpr int kOffsets[4][2] = {{-4, -4}, {-4, 4}, {4, 4}, {4, -4}};

int fragmentChannel(ImageInfo& info, int channel) {
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const std::ptrdiff_t stride = rowStride(8, width);
    const auto* src = static_cast<const std::uint8_t*>(info.lpSrcData);
    auto* dst = static_cast<std::uint8_t*>(info.lpDstData);
    Selection selection(info, width);
    for (int y = 0; y < height; ++y) {
        if (canceled(info)) return kCancel;
        const std::uint8_t* selected = selection.row(y);
        for (int x = 0; x < width; ++x) {
            int sum = 0;
            int count = 0;
            if (selected == nullptr || selected[x]) {
                for (const auto& o : kOffsets) {
                    const int sx = x + o[0];
                    const int sy = y + o[1];
                    if (sx >= 0 && sx < width && sy >= 0 && sy < height) {
                        sum += src[sy * stride + sx];
                        ++count;
                    }
                }
            }
            // Unselected pixels, and pixels of images too small for any shifted copy to reach them,
            // keep their own value.
            dst[y * stride + x] = count > 0 ? static_cast<std::uint8_t>(sum / count) : src[y * stride + x];
        }
        channelProgress(info, channel, y);
    }
    return kSucceed;
}

} // namespace

int runFragment(ImageInfo& info) {
    return runFilterPerChannel(info, fragmentChannel);
}

} // namespace rasterkit
