// Rain: slanted, shaded streaks blended over the image.
#include "effects_internal.h"
#include "operations.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace rasterkit {
namespace {

// The first mask tile's rectangle, or the whole image.
Area rainArea(const ImageInfo& info) {
    const MaskTile* tile = info.lpMask;
    while (tile != nullptr && (tile->nWidth <= 0 || tile->nHeight <= 0))
        tile = tile->lpNext;
    if (tile == nullptr) return {0, 0, info.nSrcWidth, info.nSrcHeight};
    return {tile->nLeft, tile->nTop, tile->nWidth, tile->nHeight};
}

struct Streak {
    int x0;
    int y0;
    int x1;
    int y1;
    int thickness;
};

class RainPainter {
  public:
    RainPainter(const ImageInfo& info, const Area& area, const RainParam& param)
        : layout_(channelLayout(info)), area_(area), selection_(info, info.nSrcWidth),
          opacity_(std::clamp(param.opacity, RK_RAIN_OPACITY_MIN, RK_RAIN_OPACITY_MAX) / 100.0) {
        const double red = param.color & 0xff;
        const double green = (param.color >> 8) & 0xff;
        const double blue = (param.color >> 16) & 0xff;
        if (layout_.count == 1) {
            colour_[0] = 0.299 * red + 0.587 * green + 0.114 * blue;
        } else {
            colour_[0] = blue;
            colour_[1] = green;
            colour_[2] = red;
        }
        // A white drop cannot be lightened; its highlight is a shade darker instead.
        white_ = param.color % 0x1000000 == 0xffffff;
    }

    // The streak is brightest in its middle and fades to its ends and its sides (a triangular
    // profile both ways), so drops look round rather than like ruled lines. False when the caller
    // cancelled, which is polled now and then inside long streaks as well.
    bool paint(const ImageInfo& info, const Streak& s) {
        const int dx = s.x1 - s.x0;
        const int dy = s.y1 - s.y0;
        const int steps = std::max(std::abs(dx), std::abs(dy));
        const double half = s.thickness / 2.0;
        for (int i = 0; i <= steps; ++i) {
            const double t = steps == 0 ? 0.5 : static_cast<double>(i) / steps;
            const int cx = s.x0 + static_cast<int>(std::lround(dx * t));
            const int cy = s.y0 + static_cast<int>(std::lround(dy * t));
            const double along = 1 - std::fabs(2 * t - 1);
            for (int k = 0; k < s.thickness; ++k) {
                const double offset = k - (s.thickness - 1) / 2.0;
                const int x = cx + static_cast<int>(std::lround(offset));
                if (x < area_.left || x >= area_.left + area_.width) continue;
                const double across = 1 - std::fabs(offset) / (half + 0.5);
                blend(x, cy, along, across);
            }
            work_ += s.thickness;
            if (work_ >= kWorkPerPoll) {
                work_ = 0;
                if (canceled(info)) return false;
            }
        }
        return true;
    }

  private:
    void blend(int x, int y, double along, double across) {
        if (!selection_.selected(x, y)) return;
        const double shade = 0.45 * along * across;
        const double alpha = opacity_ * (0.35 + 0.65 * along) * across;
        for (int c = 0; c < layout_.count; ++c) {
            const double drop =
                white_ ? colour_[c] * (1 - 0.5 * shade) : colour_[c] + (255 - colour_[c]) * shade;
            std::uint8_t* p = layout_.dstAt(c, x, y);
            *p = clampTruncate(alpha * drop + (1 - alpha) * *p + 0.5);
        }
    }

    ChannelLayout layout_;
    Area area_;
    Selection selection_;
    double opacity_;
    double colour_[3] = {0, 0, 0};
    bool white_ = false;
    static constexpr std::int64_t kWorkPerPoll = 1 << 20;
    std::int64_t work_ = 0;
};

} // namespace

int runRain(ImageInfo& info) {
    const RainParam param = *static_cast<const RainParam*>(info.lpParam);
    copyPixels(info);
    if (info.nSrcBitCount == 8) copyPalette(info);
    SeededRandom random(clockSeed());
    const Area area = rainArea(info);
    const int w = area.width;
    const int h = area.height;
    const double areaRoot = std::sqrt(static_cast<double>(w) * h);
    const double scale = areaRoot / std::sqrt(332504.0);
    // A drop longer than the area's width and height together, or a streak wider than twice its
    // width, covers nothing more; the limits also keep the sizes within int.
    const int maxLength = static_cast<int>(
        std::clamp(std::max(RK_RAIN_LENGTH_MIN, param.length) * scale + 1, 1.0, static_cast<double>(w) + h));
    const int thickness = static_cast<int>(
        std::clamp(std::max(RK_RAIN_THICKNESS_MIN, param.thickness) * scale + 1, 1.0, 2.0 * w + 1));
    // Beyond a few drops per pixel more rain changes nothing but the time taken.
    const auto drops = std::min<std::int64_t>(
        static_cast<std::int64_t>(std::max(RK_RAIN_DENSITY_MIN, param.density) / areaRoot * h * w),
        static_cast<std::int64_t>(w) * h * 4);
    const std::int64_t perRound = drops / 10;
    RainPainter painter(info, area, param);
    for (int round = 0; round < 10 && perRound > 0; ++round) {
        progress(info, round * 10, 100);
        for (std::int64_t n = 0; n < perRound; ++n) {
            if (canceled(info)) return kCancel;
            int length;
            if (maxLength / 2 >= random.next() % maxLength) {
                length = maxLength / 2 + random.next() % (maxLength / 2 + 1);
            } else {
                length = random.next() % (maxLength / 4 + 1);
            }
            const int y0 = area.top + random.next() % h;
            const int x0 = area.left + random.next() % w;
            int degrees = random.next() % 90;
            if (degrees < 60) degrees = 60 + random.next() % 30;
            const double alpha = degrees * 3.1415926 / 180;
            const int x1 =
                std::clamp(static_cast<int>(std::cos(alpha) * length + x0), area.left, area.left + w - 1);
            const int y1 =
                std::clamp(static_cast<int>(std::sin(alpha) * length + y0), area.top, area.top + h - 1);
            if (!painter.paint(info, {x0, y0, x1, y1, thickness})) return kCancel;
        }
    }
    progress(info, 100, 100);
    return kSucceed;
}

} // namespace rasterkit
