// Wind: streaks blown from edges along each row, per channel.
#include "effects_internal.h"
#include "operations.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace rasterkit {
namespace {

constexpr int kEdgeThreshold = 150;

// Edge test on the 3 x 3 window at (x, y); neighbours beyond the image repeat the nearest edge.
// `mirrored` reads the window left-right reversed, so that the two directions are exact mirror
// images of each other.
bool isEdge(const std::uint8_t* src, std::ptrdiff_t stride, int width, int height, int x, int y,
            bool mirrored) {
    int w[3][3];
    for (int j = 0; j < 3; ++j) {
        const int sy = std::clamp(y + j - 1, 0, height - 1);
        for (int i = 0; i < 3; ++i) {
            const int dx = mirrored ? 1 - i : i - 1;
            w[j][i] = src[sy * stride + std::clamp(x + dx, 0, width - 1)];
        }
    }
    const int sobel = -w[0][0] + w[0][2] - 2 * w[1][0] + 2 * w[1][2] - w[2][0] + w[2][2];
    const int diagonal = -2 * w[0][0] - w[0][1] - w[1][0] + w[1][2] + w[2][1] + 2 * w[2][2];
    return std::abs(sobel) > kEdgeThreshold || std::abs(diagonal) > kEdgeThreshold;
}

int windChannel(ImageInfo& info, int channel) {
    // Direction 1 blows towards the first column; direction 0 is its mirror image.
    const bool towardsFirst = static_cast<const WindParam*>(info.lpParam)->direction == 1;
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const std::ptrdiff_t stride = rowStride(8, width);
    const auto* src = static_cast<const std::uint8_t*>(info.lpSrcData);
    auto* dst = static_cast<std::uint8_t*>(info.lpDstData);
    std::copy_n(src, stride * height, dst);
    Selection selection(info, width);
    std::vector<int> marks;
    PixelRandom random = PixelRandom::fromProcessGenerator();
    // Column of the m-th position counted from the scan's start.
    const auto column = [&](int m) { return towardsFirst ? width - 1 - m : m; };
    const int ahead = towardsFirst ? -1 : 1; // the way the streaks run
    for (int y = 0; y < height; ++y) {
        if (canceled(info)) return kCancel;
        const std::uint8_t* selected = selection.row(y);
        const std::uint8_t* in = src + y * stride;
        std::uint8_t* out = dst + y * stride;
        marks.clear();
        for (int m = 0; m < width; ++m) {
            const int x = column(m);
            if (m == width - 1 || isEdge(src, stride, width, height, x, y, !towardsFirst)) marks.push_back(x);
        }
        for (std::size_t i = 0; i + 1 < marks.size(); ++i) {
            const int c1 = marks[i];
            const int gap = std::abs(marks[i + 1] - c1);
            const int length = static_cast<int>(std::sqrt((random.next() % 100) / 100.0) * gap);
            if (length < 2) continue;
            const double a = in[c1];
            const double b = in[c1 + ahead * length];
            for (int m = 1; m < length; ++m) {
                const int x = c1 + ahead * (m - 1);
                if (selected != nullptr && !selected[x]) continue;
                const double q = std::pow(static_cast<double>(m) / length, 0.3);
                out[x] = clampTruncate((1 - q) * a + q * b);
            }
        }
        channelProgress(info, channel, y);
    }
    return kSucceed;
}

} // namespace

int runWind(ImageInfo& info) {
    return runFilterPerChannel(info, windChannel);
}

} // namespace rasterkit
