// Rasterkit's filters, distortions and effects against ImageMagick and libvips on one A4 page at
// 300 dpi (2480 x 3508, 24 bits), everything single-threaded, in processor time of the whole
// process (the machine may be shared). After the runs a table gives each
// peer's time divided by Rasterkit's (above 1: Rasterkit is faster).
#include "rasterkit.h"

#include <Magick++.h>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include <vips/vips.h>

namespace {

constexpr int kWidth = 2480;
constexpr int kHeight = 3508;
constexpr int kStride = (3 * kWidth + 3) & ~3;

int noCancel() {
    return 0;
}
void noProgress(int, int) {}

// A photograph-like page: smooth gradients, edges and some texture.
const std::vector<std::uint8_t>& page() {
    static const std::vector<std::uint8_t> pixels = [] {
        std::vector<std::uint8_t> p(static_cast<std::size_t>(kStride) * kHeight);
        std::uint32_t s = 12345;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                s = s * 1103515245u + 12345u;
                const int grain = static_cast<int>((s >> 16) & 15);
                std::uint8_t* q = &p[static_cast<std::size_t>(y) * kStride + 3 * static_cast<std::size_t>(x)];
                q[0] = static_cast<std::uint8_t>((x / 10 + grain) & 255);
                q[1] = static_cast<std::uint8_t>((y / 14 + grain) & 255);
                q[2] = static_cast<std::uint8_t>(((x / 120 + y / 120) % 2 ? 200 : 40) + grain);
            }
        }
        return p;
    }();
    return pixels;
}

void runRasterkit(benchmark::State& state, int op, void* param) {
    std::vector<std::uint8_t> src = page();
    std::vector<std::uint8_t> dst(src.size());
    for (auto _ : state) {
        ImageInfo info{};
        info.dwSize = sizeof info;
        info.lpfnIsCanceled = noCancel;
        info.lpfnProgress = noProgress;
        info.nSrcType = RK_TYPE_RGB24;
        info.nSrcBitCount = 24;
        info.nSrcWidth = kWidth;
        info.nSrcHeight = kHeight;
        info.nSrcPlanes = 1;
        info.nSrcChannels = 3;
        info.lpSrcData = src.data();
        info.lpParam = param;
        char message[128];
        ImageEntry(op, &info, message);
        info.dwMode = RK_MODE_RUN;
        info.lpDstData = dst.data();
        if (ImageEntry(op, &info, message) != RK_RESULT_SUCCEED) state.SkipWithError(message);
        benchmark::DoNotOptimize(dst.data());
    }
}

Magick::Image magickPage() {
    // ImageMagick wants packed rows; the page's stride has no padding at this width.
    static_assert(kStride == 3 * kWidth);
    Magick::Image image(kWidth, kHeight, "BGR", Magick::CharPixel, page().data());
    return image;
}

void runMagick(benchmark::State& state, const std::function<void(Magick::Image&)>& work) {
    const Magick::Image original = magickPage();
    for (auto _ : state) {
        state.PauseTiming();
        Magick::Image image = original;
        image.modifyImage();
        state.ResumeTiming();
        work(image);
    }
}

VipsImage* vipsPage() {
    return vips_image_new_from_memory(page().data(), page().size(), kWidth, kHeight, 3, VIPS_FORMAT_UCHAR);
}

// work returns the output image; it is written to memory so the lazy pipeline really runs.
void runVips(benchmark::State& state, const std::function<VipsImage*(VipsImage*)>& work) {
    VipsImage* in = vipsPage();
    for (auto _ : state) {
        VipsImage* out = work(in);
        if (out == nullptr) {
            state.SkipWithError(vips_error_buffer());
            break;
        }
        VipsImage* cast = nullptr;
        vips_cast(out, &cast, VIPS_FORMAT_UCHAR, nullptr);
        std::size_t size = 0;
        void* memory = vips_image_write_to_memory(cast, &size);
        g_free(memory);
        g_object_unref(cast);
        g_object_unref(out);
    }
    g_object_unref(in);
}

VipsImage* convolve(VipsImage* in, const std::vector<double>& kernel, int n, double scale) {
    VipsImage* mask = vips_image_new_matrix_from_array(n, n, kernel.data(), static_cast<int>(kernel.size()));
    vips_image_set_double(mask, "scale", scale);
    VipsImage* out = nullptr;
    vips_conv(in, &out, mask, "precision", VIPS_PRECISION_INTEGER, nullptr);
    g_object_unref(mask);
    return out;
}

// Parameters shared by the Rasterkit runs.
int blurLevel = 1;
SharpenParam sharpenParam{5, 0};
GaussianBlurParam gauss2{2.0};
GaussianBlurParam gauss8{8.0};
EmbossParam embossParam{0, 3, 1.0};
CustomFilterParam box5 = [] {
    CustomFilterParam p{};
    for (auto& w : p.weights)
        w = 1;
    p.divisor = 25;
    return p;
}();
DistortAngleParam twirlParam{60};
WaveParam waveParam{60, 60, 10, 10};
PinchParam pinchParam{50};
DiffuseParam diffuseParam{3, RK_DIFFUSE_NORMAL};
NoiseParam noiseParam{20, RK_NOISE_UNIFORM};
MosaicParam mosaicParam{8, 8};

void registerAll() {
    const auto reg = [](const std::string& name, auto fn) {
        benchmark::RegisterBenchmark(name.c_str(), fn)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(2)
            ->MeasureProcessCPUTime();
    };
    struct Op {
        const char* name;
        int index;
        void* param;
        std::function<void(Magick::Image&)> magick;
        std::function<VipsImage*(VipsImage*)> vips; // empty: libvips has no counterpart
    };
    const std::vector<double> box3(9, 1.0);
    const std::vector<double> sharpen3 = {-5, -5, -5, -5, 50, -5, -5, -5, -5}; // level 5, x10
    const std::vector<double> emboss3 = {0, 0, 0, -1, 0, 1, 0, 0, 0};
    const std::vector<double> edge3 = {-1, -1, -1, -1, 8, -1, -1, -1, -1};
    std::vector<Op> ops = {
        {"blur3x3", RK_OP_BLUR, &blurLevel,
         [](Magick::Image& i) {
             const double k[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
             double n[9];
             for (int j = 0; j < 9; ++j)
                 n[j] = k[j] / 9;
             i.convolve(3, n);
         },
         [box3](VipsImage* in) { return convolve(in, box3, 3, 9); }},
        {"gaussian_sigma2", RK_OP_GAUSSIAN_BLUR, &gauss2, [](Magick::Image& i) { i.gaussianBlur(0, 2); },
         [](VipsImage* in) {
             VipsImage* o = nullptr;
             vips_gaussblur(in, &o, 2.0, nullptr);
             return o;
         }},
        {"gaussian_sigma8", RK_OP_GAUSSIAN_BLUR, &gauss8, [](Magick::Image& i) { i.gaussianBlur(0, 8); },
         [](VipsImage* in) {
             VipsImage* o = nullptr;
             vips_gaussblur(in, &o, 8.0, nullptr);
             return o;
         }},
        {"sharpen", RK_OP_SHARPEN, &sharpenParam,
         [](Magick::Image& i) {
             const double k[9] = {-.5, -.5, -.5, -.5, 5, -.5, -.5, -.5, -.5};
             i.convolve(3, k);
         },
         [sharpen3](VipsImage* in) { return convolve(in, sharpen3, 3, 10); }},
        {"emboss", RK_OP_EMBOSS, &embossParam, [](Magick::Image& i) { i.emboss(1, 0.5); },
         [emboss3](VipsImage* in) {
             VipsImage* c = convolve(in, emboss3, 3, 1);
             VipsImage* o = nullptr;
             vips_linear1(c, &o, 1.0, 128.0, nullptr);
             g_object_unref(c);
             return o;
         }},
        {"convolve5x5", RK_OP_CUSTOM_FILTER, &box5,
         [](Magick::Image& i) {
             double k[25];
             for (double& v : k)
                 v = 1.0 / 25;
             i.convolve(5, k);
         },
         [](VipsImage* in) { return convolve(in, std::vector<double>(25, 1.0), 5, 25); }},
        {"find_edges", RK_OP_FIND_EDGES, nullptr, [](Magick::Image& i) { i.edge(1); },
         [edge3](VipsImage* in) { return convolve(in, edge3, 3, 1); }},
        {"pinch_implode", RK_OP_PINCH, &pinchParam, [](Magick::Image& i) { i.implode(0.5); }, {}},
        {"twirl_swirl", RK_OP_TWIRL, &twirlParam, [](Magick::Image& i) { i.swirl(60); }, {}},
        {"wave", RK_OP_WAVE, &waveParam, [](Magick::Image& i) { i.wave(10, 30); }, {}},
        {"diffuse_spread", RK_OP_DIFFUSE, &diffuseParam, [](Magick::Image& i) { i.spread(3); }, {}},
        {"noise", RK_OP_NOISE, &noiseParam, [](Magick::Image& i) { i.addNoise(Magick::UniformNoise); },
         [](VipsImage* in) {
             VipsImage* n = nullptr;
             vips_gaussnoise(&n, kWidth, kHeight, "sigma", 20.0, "mean", 0.0, nullptr);
             VipsImage* o = nullptr;
             vips_add(in, n, &o, nullptr);
             g_object_unref(n);
             return o;
         }},
        {"mosaic_pixelate", RK_OP_MOSAIC, &mosaicParam,
         [](Magick::Image& i) {
             i.sample(Magick::Geometry(kWidth / 8, kHeight / 8));
             Magick::Geometry g(kWidth, kHeight);
             g.aspect(true);
             i.sample(g);
         },
         [](VipsImage* in) {
             VipsImage* s = nullptr;
             vips_shrink(in, &s, 8, 8, nullptr);
             VipsImage* o = nullptr;
             vips_zoom(s, &o, 8, 8, nullptr);
             g_object_unref(s);
             return o;
         }},
    };
    for (const Op& op : ops) {
        const int index = op.index;
        void* param = op.param;
        reg(std::string("rasterkit/") + op.name,
            [index, param](benchmark::State& s) { runRasterkit(s, index, param); });
        const auto magick = op.magick;
        reg(std::string("magick/") + op.name, [magick](benchmark::State& s) { runMagick(s, magick); });
        if (op.vips) {
            const auto vips = op.vips;
            reg(std::string("vips/") + op.name, [vips](benchmark::State& s) { runVips(s, vips); });
        }
    }
}

// Collects each run's time so that the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const {
        std::printf("\n%-18s %12s %12s %12s %10s %10s\n", "operation", "rasterkit ms", "magick ms", "vips ms",
                    "magick/rk", "vips/rk");
        for (const auto& [name, time] : times_) {
            if (name.rfind("rasterkit/", 0) != 0) continue;
            const std::string op = name.substr(10, name.find("/iterations") - 10);
            const auto find = [&](const std::string& peer) {
                for (const auto& [n, t] : times_) {
                    if (n.rfind(peer + "/" + op + "/", 0) == 0) return t;
                }
                return 0.0;
            };
            const double magick = find("magick");
            const double vips = find("vips");
            std::printf("%-18s %12.1f %12.1f %12.1f %10.2f %10s\n", op.c_str(), time, magick, vips,
                        magick / time, vips > 0 ? std::to_string(vips / time).substr(0, 5).c_str() : "-");
        }
    }

  private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char** argv) {
    Magick::InitializeMagick(*argv);
    MagickCore::SetMagickResourceLimit(MagickCore::ThreadResource, 1);
    if (VIPS_INIT(argv[0]) != 0) return 1;
    vips_concurrency_set(1);
    vips_cache_set_max(0);
    registerAll();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    vips_shutdown();
    return 0;
}
