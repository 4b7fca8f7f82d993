// SpherizeHorizontal, SpherizeVertical and Spherize: a spherical bulge (or hollow) of the area.
#include "effects_internal.h"
#include "operations.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace rasterkit {
namespace {

// Source index (relative to the axis start) and the weight of that index; index + 1 carries
// the rest.
struct AxisSource {
    int index;
    double weight;
};

// The mapping of one axis of n positions for angle theta (radians).
std::vector<AxisSource> axisMapping(int n, double theta) {
    std::vector<AxisSource> map(static_cast<std::size_t>(n));
    const int h = n / 2;
    const double s = std::sin(theta);
    for (int a = 0; a < n; ++a) {
        AxisSource& m = map[static_cast<std::size_t>(a)];
        if (theta == 0 || n < 2) {
            m = {a, 1.0};
            continue;
        }
        const double f = a - h;
        const double g = theta > 0 ? std::asin(f * s / h) * (h / theta) : std::sin(theta * f / h) * (h / s);
        // Far outside positions only ever clamp to the ends; keep them in range before truncating.
        const double e = std::clamp(h + g, -2.0, static_cast<double>(n) + 1);
        if (e >= 0) {
            m.index = static_cast<int>(e);
            m.weight = m.index + 1 - e;
        } else {
            m.index = static_cast<int>(e) - 1;
            m.weight = static_cast<int>(e) - e;
        }
        if (m.index < 0) {
            m = {0, 1.0};
        } else if (m.index >= n - 1) {
            m = {n - 2, 0.0};
        }
    }
    return map;
}

// One axis: `horizontal` maps columns (walked column by column), otherwise rows.
int spherizeAxis(ImageInfo& info, bool horizontal) {
    const double theta = toRadians(*static_cast<const std::int32_t*>(info.lpParam));
    const Area area = effectArea(info);
    copyPixels(info);
    if (info.nSrcBitCount == 8) copyPalette(info);
    const ChannelLayout layout = channelLayout(info);
    const bool nearest = info.nSrcBitCount == 8;
    Selection selection(info, info.nSrcWidth);
    const int lines = horizontal ? area.width : area.height;  // walked one by one
    const int across = horizontal ? area.height : area.width; // positions in each line
    const std::vector<AxisSource> map = axisMapping(lines, theta);
    for (int a = 0; a < lines; ++a) {
        const AxisSource m = map[static_cast<std::size_t>(a)];
        for (int b = 0; b < across; ++b) {
            const int x = area.left + (horizontal ? a : b);
            const int y = area.top + (horizontal ? b : a);
            if (!selection.selected(x, y)) continue;
            // A one-pixel line has no second sample; its weight is 1 then.
            const int k0 = m.index;
            const int k1 = std::min(k0 + 1, lines - 1);
            const int x0 = horizontal ? area.left + k0 : x;
            const int y0 = horizontal ? y : area.top + k0;
            const int x1 = horizontal ? area.left + k1 : x;
            const int y1 = horizontal ? y : area.top + k1;
            for (int c = 0; c < layout.count; ++c) {
                const std::uint8_t p0 = *layout.srcAt(c, x0, y0);
                const std::uint8_t p1 = *layout.srcAt(c, x1, y1);
                *layout.dstAt(c, x, y) =
                    nearest ? (m.weight >= 0.5 ? p0 : p1)
                            : clampTruncate(p0 * m.weight + p1 * (1 - m.weight) + kTruncationTolerance);
            }
        }
        progress(info, a + 1, lines);
        if (canceled(info)) return kCancel;
    }
    return kSucceed;
}

} // namespace

int runSpherizeHorizontal(ImageInfo& info) {
    return spherizeAxis(info, true);
}
int runSpherizeVertical(ImageInfo& info) {
    return spherizeAxis(info, false);
}

int runSpherize(ImageInfo& info) {
    const double theta = toRadians(*static_cast<const std::int32_t*>(info.lpParam));
    const Area area = effectArea(info);
    const double w = area.width;
    const double h = area.height;
    const int cx = area.width / 2;
    const int cy = area.height / 2;
    const double s = std::sin(theta);
    return remapArea(info, area, [&](int x, int y, double& sx, double& sy) {
        if (theta == 0) return false;
        const double px = x - cx;
        const double py = y - cy;
        const double rho = std::sqrt(px * px + py * py);
        // The direction's cosine and sine without the angle itself (the centre points along x).
        const double cosPhi = rho > 0 ? px / rho : 1.0;
        const double sinPhi = rho > 0 ? py / rho : 0.0;
        // Radius of the area's ellipse in this direction.
        const double radius = w * h / std::sqrt(h * h * cosPhi * cosPhi + w * w * sinPhi * sinPhi) / 2;
        double mapped;
        if (theta > 0) {
            const double e = rho * s / radius;
            if (e > 1) return false;
            mapped = std::asin(e) * (radius / theta);
        } else {
            const double e = theta * rho / radius;
            if (e < -1.7453) return false;
            mapped = std::sin(e) * (radius / s);
        }
        sx = cx + mapped * cosPhi;
        sy = cy + mapped * sinPhi;
        return true;
    });
}

} // namespace rasterkit
