#include "workspace/crop_geometry.h"

#include <cmath>
#include <cstdlib>
#include <utility>

namespace tandemscan {

namespace {

constexpr double degreesPerRadian = 180.0 / 3.1415926;

int truncToInt(double v) {
    return static_cast<int>(v);
}

bool insideHalfOpen(Point p, int left, int top, int right, int bottom) {
    return p.x >= left && p.x < right && p.y >= top && p.y < bottom;
}

} // namespace

bool CropGeometry::isTurned() const {
    return frameTurnDegrees(angle) != 0.0;
}

Point rotateAbout(Point pt, Point ctr, double phi) {
    const double u = pt.x - ctr.x;
    const double w = ctr.y - pt.y;
    const double c = std::cos(phi);
    const double s = std::sin(phi);
    const double u2 = u * c - w * s;
    const double w2 = u * s + w * c;
    return Point{truncToInt(ctr.x + u2 + 0.5), truncToInt(ctr.y - w2 + 0.5)};
}

double angleAbout(Point pt, Point ctr) {
    const double u = pt.x - ctr.x;
    const double w = ctr.y - pt.y;
    // The direction from a point onto itself has no angle; 0 keeps drags still there.
    if (std::fabs(u) < 0.01 && std::fabs(w) < 0.01) return 0.0;
    return std::atan2(w, u);
}

CropGeometry newCropFrame(const Rect& pane) {
    CropGeometry g;
    g.left = pane.left + cropFreshInset;
    g.top = pane.top + cropFreshInset;
    g.right = pane.right - cropFreshInset;
    g.bottom = pane.bottom - cropFreshInset;
    g.pivotX = (g.left + g.right) / 2;
    g.pivotY = (g.top + g.bottom) / 2;
    g.angle = 0.0;
    return g;
}

CropGeometry normalised(CropGeometry g) {
    if (g.right < g.left) std::swap(g.left, g.right);
    if (g.bottom < g.top) std::swap(g.top, g.bottom);
    return g;
}

std::uint32_t cropHitTest(const CropGeometry& frame, Point p) {
    const CropGeometry g = normalised(frame);
    const int t = cropTolerance;
    const Rect outer{g.left - t, g.top - t, g.right + t, g.bottom + t};
    Rect inner{g.left + t, g.top + t, g.right - t, g.bottom - t};
    if (inner.right < inner.left) {
        const int mid = (g.left + g.right) / 2;
        inner.left = mid;
        inner.right = mid + 1;
    }
    if (inner.bottom < inner.top) {
        const int mid = (g.top + g.bottom) / 2;
        inner.top = mid;
        inner.bottom = mid + 1;
    }
    const Point q = rotateAbout(p, g.pivot(), -g.angle);
    if (std::abs(q.x - g.pivotX) <= t && std::abs(q.y - g.pivotY) <= t) return CropPivot;
    if (insideHalfOpen(q, inner.left, inner.top, inner.right, inner.bottom)) return CropInside;
    if (insideHalfOpen(q, outer.left, outer.top, outer.right, outer.bottom)) {
        if (q.y < inner.top)
            return q.x < inner.left ? CropTopLeft : (q.x < inner.right ? CropTop : CropTopRight);
        if (q.y >= inner.bottom)
            return q.x < inner.left ? CropBottomLeft : (q.x < inner.right ? CropBottom : CropBottomRight);
        return q.x < inner.left ? CropLeft : CropRight;
    }
    const Point c{(inner.left + inner.right) / 2, (inner.top + inner.bottom) / 2};
    if (q.x < c.x) return q.y <= c.y ? CropRotateUpperLeft : CropRotateLowerLeft;
    if (q.x > c.x) return q.y <= c.y ? CropRotateUpperRight : CropRotateLowerRight;
    return CropNothing;
}

std::array<Point, 4> turnedCorners(const CropGeometry& g) {
    const Point pv = g.pivot();
    return {rotateAbout({g.left, g.top}, pv, g.angle), rotateAbout({g.right, g.top}, pv, g.angle),
            rotateAbout({g.right, g.bottom}, pv, g.angle), rotateAbout({g.left, g.bottom}, pv, g.angle)};
}

std::array<Point, 8> turnedHandles(const CropGeometry& g) {
    const Point pv = g.pivot();
    const int mx = (g.left + g.right) / 2;
    const int my = (g.top + g.bottom) / 2;
    const std::array<Point, 8> flat{Point{g.left, g.top},    Point{mx, g.top},         Point{g.right, g.top},
                                    Point{g.right, my},      Point{g.right, g.bottom}, Point{mx, g.bottom},
                                    Point{g.left, g.bottom}, Point{g.left, my}};
    std::array<Point, 8> out{};
    for (std::size_t i = 0; i < flat.size(); ++i)
        out[i] = rotateAbout(flat[i], pv, g.angle);
    return out;
}

bool cropDragMove(CropGeometry& g, std::uint32_t hit, Point p, Point last) {
    if (hit != CropInside) return false;
    const int dx = p.x - last.x;
    const int dy = p.y - last.y;
    g.left += dx;
    g.right += dx;
    g.top += dy;
    g.bottom += dy;
    g.pivotX += dx;
    g.pivotY += dy;
    return true;
}

bool cropDragResize(CropGeometry& g, std::uint32_t hit, Point p, Point last) {
    if (!isResizeHit(hit)) return false;
    if (p == last) return true;
    if (g.isTurned()) {
        p = rotateAbout(p, g.pivot(), -g.angle);
        last = rotateAbout(last, g.pivot(), -g.angle);
    }
    const int dx = p.x - last.x;
    const int dy = p.y - last.y;
    if (hit == CropLeft || hit == CropTopLeft || hit == CropBottomLeft) g.left += dx;
    if (hit == CropTop || hit == CropTopLeft || hit == CropTopRight) g.top += dy;
    if (hit == CropRight || hit == CropTopRight || hit == CropBottomRight) g.right += dx;
    if (hit == CropBottom || hit == CropBottomLeft || hit == CropBottomRight) g.bottom += dy;
    return true;
}

bool cropDragRotate(CropGeometry& g, std::uint32_t hit, Point p, Point last) {
    if (!isRotateHit(hit)) return false;
    g.angle += angleAbout(p, g.pivot()) - angleAbout(last, g.pivot());
    return true;
}

void cropFinishPivot(CropGeometry& g, Point pressPivot) {
    if (!g.isTurned()) return;
    const double dx = pressPivot.x - g.pivotX;
    const double dy = pressPivot.y - g.pivotY;
    const double theta = g.angle;
    const auto w = static_cast<std::uint16_t>(g.right - g.left);
    const auto h = static_cast<std::uint16_t>(g.bottom - g.top);
    const int left = truncToInt(g.left - dx + dx * std::cos(-theta) + dy * std::sin(-theta));
    const int top = truncToInt(g.top - dy - dx * std::sin(-theta) + dy * std::cos(-theta));
    g.left = left;
    g.top = top;
    g.right = left + w;
    g.bottom = top + h;
}

int cropDotSpacing(double angle) {
    double denominator = std::cos(angle) + std::sin(angle);
    // Past 135 degrees the sum falls to zero and below; the spacing then follows the frame's
    // slant the same way from the other side, so the dots keep crawling.
    if (denominator <= 1e-6) denominator = std::fabs(std::cos(angle)) + std::fabs(std::sin(angle));
    // The small allowance keeps exact quarter turns at 8 despite cos(pi / 2) not being 0.
    const int spacing = truncToInt(8.0 / denominator + 1e-9);
    return spacing < 1 ? 1 : spacing;
}

int cropOutlineLength(const CropGeometry& g) {
    const int w = std::abs(g.right - g.left);
    const int h = std::abs(g.bottom - g.top);
    return 2 * (w + h);
}

Point cropOutlinePoint(const CropGeometry& frame, int index) {
    const CropGeometry g = normalised(frame);
    const int w = g.right - g.left;
    const int h = g.bottom - g.top;
    if (index < w) return {g.left + index, g.top};
    index -= w;
    if (index < h) return {g.right, g.top + index};
    index -= h;
    if (index < w) return {g.right - index, g.bottom};
    index -= w;
    return {g.left, g.bottom - index};
}

CropDots cropDotsForPhase(int phase, double angle) {
    CropDots d;
    d.spacing = cropDotSpacing(angle);
    const int cycle = 2 * d.spacing;
    const int ph = ((phase % cycle) + cycle) % cycle;
    if (ph > d.spacing) {
        d.start = ph - d.spacing;
        d.firstBlack = true;
    } else {
        d.start = ph;
        d.firstBlack = false;
    }
    return d;
}

int cropResizeCursor(std::uint32_t hit, double angle) {
    double a = angle * degreesPerRadian + 22.5;
    switch (hit) {
    case CropTop:
    case CropBottom:
        a += 90;
        break;
    case CropTopLeft:
        a += 135;
        break;
    case CropTopRight:
        a += 45;
        break;
    case CropBottomLeft:
        a -= 135;
        break;
    case CropBottomRight:
        a -= 45;
        break;
    default:
        break;
    }
    while (a < 0)
        a += 360;
    return 12 + (truncToInt(a) % 180) / 45;
}

int cropRotateCursor(const CropGeometry& g, Point p) {
    const Point c{(g.left + g.right) / 2, (g.top + g.bottom) / 2};
    const double degrees = angleAbout(p, c) * degreesPerRadian;
    const int s = ((truncToInt(degrees + 22.5) + 360) % 360) / 45;
    return 16 + s;
}

} // namespace tandemscan
