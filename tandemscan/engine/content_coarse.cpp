#include "engine/content_coarse.h"

#include <algorithm>
#include <cmath>
#include <fftw3.h>
#include <mutex>
#include <numbers>

namespace tandemscan::content {
namespace {

// FFTW's planner is not thread-safe and Rasterkit plans too (blur, clouds) from whichever thread
// runs it, so a lock of our own would not order our plans against its. FFTW's own process-wide
// planner lock does: once switched on, every plan and destroy in the process takes it.
void makePlannerThreadSafe() {
    static std::once_flag once;
    std::call_once(once, [] { fftwf_make_planner_thread_safe(); });
}

int fftSize(int n) {
    for (int m = std::max(n, 1);; ++m) {
        int r = m;
        for (int p : {2, 3, 5, 7})
            while (r % p == 0)
                r /= p;
        if (r == 1) return m;
    }
}

struct FloatBuffer {
    float* data = nullptr;
    explicit FloatBuffer(std::size_t n) : data(fftwf_alloc_real(n)) {}
    ~FloatBuffer() { fftwf_free(data); }
    FloatBuffer(const FloatBuffer&) = delete;
    FloatBuffer& operator=(const FloatBuffer&) = delete;
};

struct ComplexBuffer {
    fftwf_complex* data = nullptr;
    explicit ComplexBuffer(std::size_t n) : data(fftwf_alloc_complex(n)) {}
    ~ComplexBuffer() { fftwf_free(data); }
    ComplexBuffer(const ComplexBuffer&) = delete;
    ComplexBuffer& operator=(const ComplexBuffer&) = delete;
};

// Cross-correlation C(u, v) = sum f(x + u, y + v) g(x, y) of two real nx x ny images.
class Correlator {
  public:
    Correlator(int nx, int ny)
        : nx_(nx), ny_(ny), f_(static_cast<std::size_t>(nx) * ny), g_(static_cast<std::size_t>(nx) * ny),
          fs_(static_cast<std::size_t>(nx / 2 + 1) * ny), gs_(static_cast<std::size_t>(nx / 2 + 1) * ny) {
        makePlannerThreadSafe();
        forwardF_ = fftwf_plan_dft_r2c_2d(ny, nx, f_.data, fs_.data, FFTW_ESTIMATE);
        forwardG_ = fftwf_plan_dft_r2c_2d(ny, nx, g_.data, gs_.data, FFTW_ESTIMATE);
        backward_ = fftwf_plan_dft_c2r_2d(ny, nx, fs_.data, f_.data, FFTW_ESTIMATE);
    }
    ~Correlator() {
        fftwf_destroy_plan(forwardF_);
        fftwf_destroy_plan(forwardG_);
        fftwf_destroy_plan(backward_);
    }
    Correlator(const Correlator&) = delete;
    Correlator& operator=(const Correlator&) = delete;

    float* f() { return f_.data; }
    float* g() { return g_.data; }
    // Leaves the correlation in f().
    void run() {
        fftwf_execute(forwardF_);
        fftwf_execute(forwardG_);
        const std::size_t n = static_cast<std::size_t>(nx_ / 2 + 1) * ny_;
        const float scale = 1.0f / (static_cast<float>(nx_) * static_cast<float>(ny_));
        for (std::size_t i = 0; i < n; ++i) {
            const float a = fs_.data[i][0], b = fs_.data[i][1], c = gs_.data[i][0], d = gs_.data[i][1];
            fs_.data[i][0] = (a * c + b * d) * scale;
            fs_.data[i][1] = (b * c - a * d) * scale;
        }
        fftwf_execute(backward_);
    }

  private:
    int nx_, ny_;
    FloatBuffer f_, g_;
    ComplexBuffer fs_, gs_;
    fftwf_plan forwardF_ = nullptr, forwardG_ = nullptr, backward_ = nullptr;
};

struct Candidate {
    int band = 0;
    Point from; // right picture, full resolution
    Point to;   // left picture
    double correlation = 0;
};

double parabolicOffset(double left, double centre, double right) {
    const double d = left - 2 * centre + right;
    if (d >= 0) return 0;
    return std::clamp(0.5 * (left - right) / d, -0.5, 0.5);
}

double meanOf(const GreyImage& image) {
    double s = 0;
    for (float v : image.values)
        s += v;
    return image.values.empty() ? 0 : s / static_cast<double>(image.values.size());
}

} // namespace

CoarseFit matchStrips(const StripPair& strips) {
    const GreyImage& a = strips.left;
    const GreyImage& b = strips.right;
    const int k = strips.factor;
    const double perInch = strips.dpi / k; // reduced pixels per inch
    const int bandHeight = std::max(16, static_cast<int>(std::lround(1.5 * perInch)));
    const int search = static_cast<int>(std::lround(1.3 * perInch));
    const int minOverlap = std::max(4, static_cast<int>(std::lround(0.08 * perInch)));
    const int wa = a.width, wb = b.width;
    CoarseFit fit;
    if (wa < minOverlap + 2 || wb < minOverlap + 2 || a.height < bandHeight || b.height < bandHeight)
        return fit;

    const int window = bandHeight + 2 * search;
    const int nx = fftSize(wa + wb);
    const int ny = fftSize(window);
    Correlator correlator(nx, ny);
    const float meanA = static_cast<float>(meanOf(a));
    const float meanB = static_cast<float>(meanOf(b));
    const double minVariance = 2.0 * 2.0; // grey levels squared: less is blank paper at this size

    std::vector<double> integral(static_cast<std::size_t>(window + 1) * (wa + 1));
    std::vector<double> integral2(integral.size());
    std::vector<double> columnSum(static_cast<std::size_t>(wb) + 1), columnSum2(columnSum.size());
    const int nu = wa - minOverlap + 1;
    std::vector<float> ncc;
    std::vector<Candidate> candidates;

    int band = 0;
    for (int y0 = 0; y0 + bandHeight <= b.height; y0 += bandHeight / 2, ++band) {
        const int wy0 = y0 - search;
        const int rowLo = std::max(0, -wy0);
        const int rowHi = std::min(window, a.height - wy0);
        if (rowHi - rowLo < bandHeight) continue;
        const int nv = rowHi - rowLo - bandHeight + 1;
        float* f = correlator.f();
        float* g = correlator.g();
        std::fill(f, f + static_cast<std::size_t>(nx) * ny, 0.0f);
        std::fill(g, g + static_cast<std::size_t>(nx) * ny, 0.0f);
        std::fill(integral.begin(), integral.end(), 0.0);
        std::fill(integral2.begin(), integral2.end(), 0.0);
        for (int r = rowLo; r < rowHi; ++r) {
            const float* src = a.row(wy0 + r);
            float* dst = f + static_cast<std::size_t>(r) * nx;
            double run = 0, run2 = 0;
            for (int x = 0; x < wa; ++x) {
                const float v = src[x] - meanA;
                dst[x] = v;
                run += v;
                run2 += static_cast<double>(v) * v;
                const std::size_t i = static_cast<std::size_t>(r + 1) * (wa + 1) + x + 1;
                integral[i] = integral[i - (wa + 1)] + run;
                integral2[i] = integral2[i - (wa + 1)] + run2;
            }
        }
        std::fill(columnSum.begin(), columnSum.end(), 0.0);
        std::fill(columnSum2.begin(), columnSum2.end(), 0.0);
        for (int y = 0; y < bandHeight; ++y) {
            const float* src = b.row(y0 + y);
            float* dst = g + static_cast<std::size_t>(y) * nx;
            for (int x = 0; x < wb; ++x) {
                const float v = src[x] - meanB;
                dst[x] = v;
                columnSum[x + 1] += v;
                columnSum2[x + 1] += static_cast<double>(v) * v;
            }
        }
        for (int x = 0; x < wb; ++x) {
            columnSum[x + 1] += columnSum[x];
            columnSum2[x + 1] += columnSum2[x];
        }
        correlator.run();
        const float* c = correlator.f();

        ncc.assign(static_cast<std::size_t>(nu) * nv, -1.0f);
        bool any = false;
        for (int iv = 0; iv < nv; ++iv) {
            const int v = rowLo + iv;
            for (int u = 0; u < nu; ++u) {
                const int xe = std::min(wb, wa - u);
                const double n = static_cast<double>(xe) * bandHeight;
                auto box = [&](const std::vector<double>& s) {
                    const std::size_t top = static_cast<std::size_t>(v) * (wa + 1);
                    const std::size_t bottom = static_cast<std::size_t>(v + bandHeight) * (wa + 1);
                    return s[bottom + u + xe] - s[bottom + u] - s[top + u + xe] + s[top + u];
                };
                const double sf = box(integral), sf2 = box(integral2);
                const double sg = columnSum[xe], sg2 = columnSum2[xe];
                const double vf = sf2 - sf * sf / n, vg = sg2 - sg * sg / n;
                if (vf < minVariance * n || vg < minVariance * n) continue;
                const double sfg = c[static_cast<std::size_t>(v) * nx + u];
                ncc[static_cast<std::size_t>(iv) * nu + u] =
                    static_cast<float>((sfg - sf * sg / n) / std::sqrt(vf * vg));
                any = true;
            }
        }
        if (!any) continue;
        ++fit.bands;

        // The three strongest local maxima become candidates; periodic text gives several.
        struct Peak {
            int u, iv;
            float value;
        };
        std::vector<Peak> peaks;
        for (int iv = 0; iv < nv; ++iv)
            for (int u = 0; u < nu; ++u) {
                const float value = ncc[static_cast<std::size_t>(iv) * nu + u];
                if (value < 0.25f) continue;
                bool top = true;
                for (int dv = -2; dv <= 2 && top; ++dv)
                    for (int du = -2; du <= 2; ++du) {
                        const int x = u + du, y = iv + dv;
                        if ((du || dv) && x >= 0 && x < nu && y >= 0 && y < nv &&
                            ncc[static_cast<std::size_t>(y) * nu + x] > value) {
                            top = false;
                            break;
                        }
                    }
                if (top) peaks.push_back({u, iv, value});
            }
        std::sort(peaks.begin(), peaks.end(), [](const Peak& p, const Peak& q) { return p.value > q.value; });
        if (peaks.size() > 3) peaks.resize(3);
        for (const Peak& p : peaks) {
            auto at = [&](int u, int iv) {
                if (u < 0 || u >= nu || iv < 0 || iv >= nv) return static_cast<double>(p.value);
                return std::max(-1.0, static_cast<double>(ncc[static_cast<std::size_t>(iv) * nu + u]));
            };
            const double su = p.u + parabolicOffset(at(p.u - 1, p.iv), p.value, at(p.u + 1, p.iv));
            const double sv = p.iv + parabolicOffset(at(p.u, p.iv - 1), p.value, at(p.u, p.iv + 1));
            const int xe = std::min(wb, wa - p.u);
            // The middle of the band's overlap, in reduced right-strip pixels, and where it lands.
            const double rx = 0.5 * (xe - 1), ry = y0 + 0.5 * (bandHeight - 1);
            const double lx = rx + su, ly = ry + (wy0 + rowLo + sv - y0);
            const double half = 0.5 * (k - 1);
            candidates.push_back({band,
                                  {k * rx + half, k * ry + half},
                                  {strips.leftX0 + k * lx + half, k * ly + half},
                                  p.value});
        }
    }
    if (candidates.size() < 2) return fit;

    // Every pair of candidates from bands far enough apart proposes a map; the map that most
    // bands agree with (weighted by their correlation) wins.
    const double tolerance = 2.0 * k;
    const double minSeparation = 0.5 * strips.dpi;
    const double maxAngle = 3.5 * std::numbers::pi / 180;
    auto agreement = [&](const Rigid& map, std::vector<int>* chosen) {
        std::vector<double> best(static_cast<std::size_t>(band), 0.0);
        std::vector<int> which(static_cast<std::size_t>(band), -1);
        for (std::size_t i = 0; i < candidates.size(); ++i) {
            const Candidate& c = candidates[i];
            const Point p = map.apply(c.from);
            if (std::hypot(p.x - c.to.x, p.y - c.to.y) <= tolerance && c.correlation > best[c.band]) {
                best[c.band] = c.correlation;
                which[c.band] = static_cast<int>(i);
            }
        }
        double score = 0;
        for (double s : best)
            score += s;
        if (chosen) {
            chosen->clear();
            for (int w : which)
                if (w >= 0) chosen->push_back(w);
        }
        return score;
    };
    std::vector<Rigid> proposals;
    for (std::size_t i = 0; i < candidates.size(); ++i)
        for (std::size_t j = i + 1; j < candidates.size(); ++j) {
            const Candidate& p = candidates[i];
            const Candidate& q = candidates[j];
            if (p.band == q.band || std::abs(p.from.y - q.from.y) < minSeparation) continue;
            const double lr = std::hypot(q.from.x - p.from.x, q.from.y - p.from.y);
            const double ll = std::hypot(q.to.x - p.to.x, q.to.y - p.to.y);
            if (std::abs(lr - ll) > tolerance) continue;
            const Match pair[] = {{p.from, p.to, 1}, {q.from, q.to, 1}};
            const Rigid map = fitRigid(pair);
            if (std::abs(map.angle) <= maxAngle) proposals.push_back(map);
        }
    double bestScore = 0;
    Rigid bestMap;
    for (const Rigid& map : proposals) {
        const double score = agreement(map, nullptr);
        if (score > bestScore) {
            bestScore = score;
            bestMap = map;
        }
    }
    if (bestScore <= 0) return fit;

    std::vector<int> chosen;
    for (int round = 0; round < 2; ++round) {
        agreement(bestMap, &chosen);
        std::vector<Match> matches;
        for (int i : chosen)
            matches.push_back({candidates[i].from, candidates[i].to, candidates[i].correlation});
        if (matches.size() < 2) return fit;
        bestMap = fitRigid(matches);
    }
    fit.score = agreement(bestMap, &chosen);
    fit.inliers = static_cast<int>(chosen.size());
    double top = 1e300, bottom = -1e300, sum = 0;
    for (int i : chosen) {
        top = std::min(top, candidates[i].from.y);
        bottom = std::max(bottom, candidates[i].from.y);
        sum += candidates[i].correlation;
    }
    fit.spanInches = (bottom - top) / strips.dpi;
    fit.meanCorrelation = fit.inliers ? sum / fit.inliers : 0;
    fit.map = bestMap;
    fit.found = fit.inliers >= 2;

    // The strongest map that puts the strip's middle somewhere clearly different.
    const Point middle{0.5 * k * wb, 0.5 * k * b.height};
    const Point here = bestMap.apply(middle);
    for (const Rigid& map : proposals) {
        const Point there = map.apply(middle);
        if (std::hypot(there.x - here.x, there.y - here.y) > 3.0 * tolerance) {
            const double score = agreement(map, nullptr);
            if (score > fit.rivalScore) fit.rivalScore = score, fit.rivalMap = map;
        }
    }
    return fit;
}

} // namespace tandemscan::content
