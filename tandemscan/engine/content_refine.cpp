#include "engine/content_refine.h"

#include "engine/content_grey.h"
#include "engine/side_by_side.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace tandemscan::content {
namespace {

struct Box {
    int x0, y0, x1, y1; // [x0, x1) x [y0, y1)
    int width() const { return x1 - x0; }
    int height() const { return y1 - y0; }
};

Box boundsOf(std::span<const Point> points, int margin, int width, int height) {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (Point p : points) {
        x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    Box b{static_cast<int>(std::floor(x0)) - margin, static_cast<int>(std::floor(y0)) - margin,
          static_cast<int>(std::ceil(x1)) + margin + 1, static_cast<int>(std::ceil(y1)) + margin + 1};
    b.x0 = std::max(b.x0, 0), b.y0 = std::max(b.y0, 0);
    b.x1 = std::min(b.x1, width), b.y1 = std::min(b.y1, height);
    return b;
}

// Full-resolution strip-local coordinates <-> a pyramid level's pixel coordinates: a level pixel
// averages s x s full pixels, so its centre sits at s * i + (s - 1) / 2.
Rigid toLevel(const Rigid& strip, int s) {
    const double c = 0.5 * (s - 1);
    const Point rc = Rigid{strip.angle, 0, 0}.apply({c, c});
    return {strip.angle, (rc.x + strip.tx - c) / s, (rc.y + strip.ty - c) / s};
}

Rigid fromLevel(const Rigid& level, int s) {
    const double c = 0.5 * (s - 1);
    const Point rc = Rigid{level.angle, 0, 0}.apply({c, c});
    return {level.angle, s * level.tx + c - rc.x, s * level.ty + c - rc.y};
}

struct Sample {
    float x, y;  // template (left strip level) pixel
    float value; // template value
    float sd[3]; // steepest descent: d/dangle about the centroid, d/dx, d/dy
};

struct LevelResult {
    Rigid warp;
    double correlation = 0;
    int used = 0;
    double spanY = 0; // rows along the seam over which the samples' information is spread
    bool ok = false;
};

LevelResult alignLevel(const GreyImage& tmpl, const GreyImage& image, Rigid warp, int maxSamples,
                       int iterations) {
    LevelResult result;
    const double margin = 2;
    auto inside = [&](Point q) {
        return q.x >= margin && q.y >= margin && q.x < image.width - 1 - margin &&
               q.y < image.height - 1 - margin;
    };
    // Strongest gradients of the template, where the start map lands inside the image: a
    // histogram of the squared gradient finds the threshold that keeps about maxSamples.
    auto gradient2 = [&](int x, int y) {
        const float gx = 0.5f * (tmpl.at(x + 1, y) - tmpl.at(x - 1, y));
        const float gy = 0.5f * (tmpl.at(x, y + 1) - tmpl.at(x, y - 1));
        return gx * gx + gy * gy;
    };
    constexpr int kBins = 1024;
    constexpr float kBinScale = 4.0f; // bins of a quarter grey level squared per pixel squared
    std::vector<std::size_t> histogram(kBins, 0);
    for (int y = 1; y + 1 < tmpl.height; ++y)
        for (int x = 1; x + 1 < tmpl.width; ++x) {
            const float g2 = gradient2(x, y);
            if (g2 >= 0.25f) ++histogram[std::min(kBins - 1, static_cast<int>(std::sqrt(g2) * kBinScale))];
        }
    int firstBin = kBins;
    for (std::size_t kept = 0; firstBin > 0 && kept < static_cast<std::size_t>(maxSamples);)
        kept += histogram[--firstBin];
    const float threshold = std::max(0.25f, (firstBin / kBinScale) * (firstBin / kBinScale));
    std::vector<Sample> samples;
    double cx = 0, cy = 0;
    for (int y = 1; y + 1 < tmpl.height; ++y)
        for (int x = 1; x + 1 < tmpl.width; ++x) {
            if (gradient2(x, y) < threshold ||
                !inside(warp.apply({static_cast<double>(x), static_cast<double>(y)})))
                continue;
            samples.push_back({static_cast<float>(x), static_cast<float>(y), tmpl.at(x, y), {0, 0, 0}});
            cx += x, cy += y;
        }
    if (samples.size() < 50) return result;
    cx /= static_cast<double>(samples.size());
    cy /= static_cast<double>(samples.size());
    for (Sample& s : samples) {
        const int x = static_cast<int>(s.x), y = static_cast<int>(s.y);
        const float gx = 0.5f * (tmpl.at(x + 1, y) - tmpl.at(x - 1, y));
        const float gy = 0.5f * (tmpl.at(x, y + 1) - tmpl.at(x, y - 1));
        s.sd[0] = static_cast<float>(gx * -(s.y - cy) + gy * (s.x - cx));
        s.sd[1] = gx;
        s.sd[2] = gy;
    }

    std::vector<float> warped(samples.size());
    std::vector<unsigned char> valid(samples.size());
    std::vector<float> residual;
    for (int iteration = 0; iteration < iterations; ++iteration) {
        const double c = std::cos(warp.angle), s = std::sin(warp.angle);
        double n = 0, st = 0, si = 0, stt = 0, sti = 0, sii = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const double qx = c * samples[i].x - s * samples[i].y + warp.tx;
            const double qy = s * samples[i].x + c * samples[i].y + warp.ty;
            valid[i] = qx >= 0 && qy >= 0 && qx < image.width - 1 && qy < image.height - 1;
            if (!valid[i]) continue;
            const double v = sampleBilinear(image, qx, qy);
            const double t = samples[i].value;
            warped[i] = static_cast<float>(v);
            n += 1, st += t, si += v, stt += t * t, sti += t * v, sii += v * v;
        }
        if (n < 50) return result;
        const double vt = stt - st * st / n, vi = sii - si * si / n, cov = sti - st * si / n;
        result.correlation = (vt > 0 && vi > 0) ? cov / std::sqrt(vt * vi) : 0;
        result.used = static_cast<int>(n);
        const double gain = vt > 0 ? cov / vt : 0;
        if (gain < 0.05) return result;
        const double offset = (si - gain * st) / n;
        // Huber weights against JPEG blocks, dust and the odd pixel that differs between passes.
        residual.clear();
        for (std::size_t i = 0; i < samples.size(); ++i)
            if (valid[i])
                residual.push_back(
                    std::abs(static_cast<float>((warped[i] - offset) / gain - samples[i].value)));
        std::nth_element(residual.begin(), residual.begin() + residual.size() / 2, residual.end());
        const double k = std::max(0.5, 1.4826 * residual[residual.size() / 2]) * 1.5;
        std::array<double, 9> h{};
        std::array<double, 3> b{};
        for (std::size_t i = 0; i < samples.size(); ++i) {
            if (!valid[i]) continue;
            const double e = (warped[i] - offset) / gain - samples[i].value;
            const double w = std::abs(e) <= k ? 1.0 : k / std::abs(e);
            const float* d = samples[i].sd;
            for (int r = 0; r < 3; ++r) {
                b[r] += w * d[r] * e;
                for (int q = r; q < 3; ++q)
                    h[3 * r + q] += w * d[r] * d[q];
            }
        }
        h[3] = h[1], h[6] = h[2], h[7] = h[5];
        // Solve the 3 x 3 system by Cramer's rule; the matrix is small and well scaled.
        auto det3 = [](const std::array<double, 9>& m) {
            return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                   m[2] * (m[3] * m[7] - m[4] * m[6]);
        };
        const double det = det3(h);
        if (!(std::abs(det) > 1e-12)) return result;
        std::array<double, 3> delta{};
        for (int col = 0; col < 3; ++col) {
            std::array<double, 9> m = h;
            for (int r = 0; r < 3; ++r)
                m[3 * r + col] = b[r];
            delta[col] = det3(m) / det;
        }
        const double ca = std::cos(delta[0]), sa = std::sin(delta[0]);
        const Rigid step{delta[0], cx - (ca * cx - sa * cy) + delta[1], cy - (sa * cx + ca * cy) + delta[2]};
        warp = warp.after(step.inverse());
        const double radius = std::max(tmpl.width, tmpl.height);
        if (std::abs(delta[1]) + std::abs(delta[2]) + std::abs(delta[0]) * radius < 0.002) break;
    }
    // The turn rests on how far apart along the seam the information lies: the rows between which
    // all but 2 % at either end of the used samples' squared gradient sits (paper noise, which
    // also passes the threshold in a nearly blank overlap, weighs next to nothing).
    std::vector<double> perRow(static_cast<std::size_t>(tmpl.height), 0.0);
    double total = 0;
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (valid[i]) {
            const double g2 = samples[i].sd[1] * samples[i].sd[1] + samples[i].sd[2] * samples[i].sd[2];
            perRow[static_cast<std::size_t>(samples[i].y)] += g2;
            total += g2;
        }
    double run = 0;
    int low = -1, high = 0;
    for (int y = 0; y < tmpl.height; ++y) {
        run += perRow[static_cast<std::size_t>(y)];
        if (low < 0 && run >= 0.02 * total) low = y;
        if (run <= 0.98 * total) high = y;
    }
    result.spanY = low >= 0 ? std::max(0, high - low) : 0;
    result.warp = warp;
    result.ok = true;
    return result;
}

} // namespace

RefinedMap refineMap(const PartPixels& left, const PartPixels& right, bool turned, const Rigid& start,
                     double dpi, int levels) {
    RefinedMap out;
    const int wl = left.header.header.width, hl = left.header.header.height;
    const int wr = right.header.header.width, hr = right.header.header.height;
    const int scale = 1 << levels;
    const int margin = 4 * scale + 4;

    // The overlap's box in the left part, and the box of the right part it needs.
    const Point rightCorners[] = {start.apply({0, 0}), start.apply({wr - 1.0, 0}), start.apply({0, hr - 1.0}),
                                  start.apply({wr - 1.0, hr - 1.0})};
    Box lb = boundsOf(rightCorners, 0, wl, hl);
    if (lb.width() < 8 || lb.height() < 8) return out;
    const Rigid back = start.inverse();
    const Point leftCorners[] = {back.apply({static_cast<double>(lb.x0), static_cast<double>(lb.y0)}),
                                 back.apply({lb.x1 - 1.0, static_cast<double>(lb.y0)}),
                                 back.apply({static_cast<double>(lb.x0), lb.y1 - 1.0}),
                                 back.apply({lb.x1 - 1.0, lb.y1 - 1.0})};
    Box rb = boundsOf(leftCorners, margin, wr, hr);
    // Round the boxes to whole coarsest-level pixels.
    lb.x1 = lb.x0 + lb.width() / scale * scale, lb.y1 = lb.y0 + lb.height() / scale * scale;
    rb.x1 = rb.x0 + rb.width() / scale * scale, rb.y1 = rb.y0 + rb.height() / scale * scale;
    if (lb.width() < 4 * scale || lb.height() < 4 * scale || rb.width() < 4 * scale ||
        rb.height() < 4 * scale)
        return out;

    // The two pyramids are built at once, one on a second thread.
    std::vector<GreyImage> tmpl(levels + 1), image(levels + 1);
    auto pyramid = [levels](std::vector<GreyImage>& p, GreyImage base) {
        p[0] = std::move(base);
        for (int l = 1; l <= levels; ++l)
            p[l] = halve(p[l - 1]);
        for (int l = 0; l <= levels; ++l)
            smooth121(p[l]);
    };
    runSideBySide([&] { pyramid(image, readGrey(right, turned, rb.x0, rb.y0, rb.width(), rb.height(), 1)); },
                  [&] { pyramid(tmpl, readGrey(left, false, lb.x0, lb.y0, lb.width(), lb.height(), 1)); });

    // Left strip -> right strip, full-resolution strip-local coordinates.
    const Rigid toRightStrip = Rigid{0, -static_cast<double>(rb.x0), -static_cast<double>(rb.y0)}.after(
        back.after(Rigid{0, static_cast<double>(lb.x0), static_cast<double>(lb.y0)}));
    Rigid strip = toRightStrip;
    LevelResult level;
    for (int l = levels; l >= 0; --l) {
        const int s = 1 << l;
        level = alignLevel(tmpl[l], image[l], toLevel(strip, s), 60000, l == levels ? 40 : 15);
        if (!level.ok) return out;
        strip = fromLevel(level.warp, s);
    }
    // Back to right picture -> left picture.
    const Rigid leftToRight = Rigid{0, static_cast<double>(rb.x0), static_cast<double>(rb.y0)}.after(
        strip.after(Rigid{0, -static_cast<double>(lb.x0), -static_cast<double>(lb.y0)}));
    out.map = leftToRight.inverse();
    out.correlation = level.correlation;
    out.samples = level.used;
    out.spanInches = level.spanY / dpi;
    // The overlap's width: where the right part's left edge lands, against the left part's edge.
    const double edgeTop = out.map.apply({0, 0}).x, edgeBottom = out.map.apply({0, hr - 1.0}).x;
    out.overlapInches = (wl - 1 - std::min(edgeTop, edgeBottom)) / dpi;
    out.found = true;
    return out;
}

} // namespace tandemscan::content
