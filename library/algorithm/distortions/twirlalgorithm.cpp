// Twirl: the area turned about its centre, the more the nearer to the centre.
#include "effects_internal.h"
#include "operations.h"

#include <algorithm>
#include <cmath>

namespace rasterkit {
namespace {} // namespace

int runTwirl(ImageInfo& info) {
    const double theta = toRadians(*static_cast<const std::int32_t*>(info.lpParam));
    const Area area = effectArea(info);
    const int radius = std::min(area.width, area.height) / 2;
    const int cx = area.width / 2;
    const int cy = area.height / 2;
    return remapArea(info, area, [&](int x, int y, double& sx, double& sy) {
        // A one-pixel-thin area has no radius to turn about.
        if (theta == 0 || radius == 0) return false;
        const double px = x - cx;
        const double py = y - cy;
        const double rho = std::sqrt(px * px + py * py);
        // Turning (px, py) by the angle is the same as turning its polar angle by it.
        const double turn = (1 - std::sqrt(rho / radius)) * theta;
        const double c = std::cos(turn);
        const double s = std::sin(turn);
        sx = cx + px * c - py * s;
        sy = cy + px * s + py * c;
        return true;
    });
}

} // namespace rasterkit
