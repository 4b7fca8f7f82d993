// The rigid map used while estimating: p' = R(angle) p + (tx, ty), with small helpers to fit,
// invert and chain such maps.
#pragma once

#include <cmath>
#include <span>

namespace tandemscan::content {

struct Point {
    double x = 0;
    double y = 0;
};

struct Rigid {
    double angle = 0; // radians
    double tx = 0;
    double ty = 0;

    Point apply(Point p) const {
        const double c = std::cos(angle), s = std::sin(angle);
        return {c * p.x - s * p.y + tx, s * p.x + c * p.y + ty};
    }
    Rigid inverse() const {
        const double c = std::cos(angle), s = std::sin(angle);
        return {-angle, -(c * tx + s * ty), -(-s * tx + c * ty)};
    }
    // (this after first)(p) = this(first(p))
    Rigid after(const Rigid& first) const {
        const Point t = apply({first.tx, first.ty});
        return {angle + first.angle, t.x, t.y};
    }
};

struct Match {
    Point from;
    Point to;
    double weight = 1;
};

// Least-squares rigid map taking each `from` to its `to` (weighted).
inline Rigid fitRigid(std::span<const Match> matches) {
    double sw = 0, fx = 0, fy = 0, gx = 0, gy = 0;
    for (const Match& m : matches) {
        sw += m.weight;
        fx += m.weight * m.from.x;
        fy += m.weight * m.from.y;
        gx += m.weight * m.to.x;
        gy += m.weight * m.to.y;
    }
    if (sw <= 0) return {};
    fx /= sw, fy /= sw, gx /= sw, gy /= sw;
    double cross = 0, dot = 0;
    for (const Match& m : matches) {
        const double ax = m.from.x - fx, ay = m.from.y - fy, bx = m.to.x - gx, by = m.to.y - gy;
        cross += m.weight * (ax * by - ay * bx);
        dot += m.weight * (ax * bx + ay * by);
    }
    Rigid r;
    r.angle = (cross == 0 && dot == 0) ? 0 : std::atan2(cross, dot);
    const double c = std::cos(r.angle), s = std::sin(r.angle);
    r.tx = gx - (c * fx - s * fy);
    r.ty = gy - (s * fx + c * fy);
    return r;
}

} // namespace tandemscan::content
