// Mosaic: flat cells holding the mean of their pixels, per channel.
#include "effects_internal.h"
#include "operations.h"

#include <algorithm>
#include <vector>

namespace rasterkit {
namespace {

int mosaicChannel(ImageInfo& info, int channel) {
    const auto* param = static_cast<const MosaicParam*>(info.lpParam);
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const int cellWidth = std::clamp(param->cellWidth, RK_MOSAIC_CELL_WIDTH_MIN, width);
    const int cellHeight = std::clamp(param->cellHeight, RK_MOSAIC_CELL_HEIGHT_MIN, height);
    const std::ptrdiff_t stride = rowStride(8, width);
    const auto* src = static_cast<const std::uint8_t*>(info.lpSrcData);
    auto* dst = static_cast<std::uint8_t*>(info.lpDstData);
    Selection selection(info, width);
    std::vector<std::uint64_t> columnSums(static_cast<std::size_t>(width));
    for (int top = 0; top < height; top += cellHeight) {
        if (canceled(info)) return kCancel;
        const int bottom = std::min(top + cellHeight, height);
        std::fill(columnSums.begin(), columnSums.end(), 0);
        for (int y = top; y < bottom; ++y) {
            const std::uint8_t* in = src + y * stride;
            for (int x = 0; x < width; ++x)
                columnSums[static_cast<std::size_t>(x)] += in[x];
        }
        for (int left = 0; left < width; left += cellWidth) {
            const int right = std::min(left + cellWidth, width);
            std::uint64_t sum = 0;
            for (int x = left; x < right; ++x)
                sum += columnSums[static_cast<std::size_t>(x)];
            const auto mean = static_cast<std::uint8_t>(
                sum / (static_cast<std::uint64_t>(right - left) * static_cast<std::uint64_t>(bottom - top)));
            for (int y = top; y < bottom; ++y) {
                const std::uint8_t* selected = selection.row(y);
                std::uint8_t* out = dst + y * stride;
                const std::uint8_t* in = src + y * stride;
                for (int x = left; x < right; ++x)
                    out[x] = selected == nullptr || selected[x] ? mean : in[x];
            }
        }
        channelProgress(info, channel, top);
    }
    return kSucceed;
}

} // namespace

int runMosaic(ImageInfo& info) {
    return runFilterPerChannel(info, mosaicChannel);
}

} // namespace rasterkit
