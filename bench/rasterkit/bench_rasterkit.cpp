// Every tone, colour, geometry, mode and text operation of Rasterkit on an A4 page at 300 dpi
// (2480 x 3508, 24 bits), against a plain copy of the page and the closest ImageMagick and
// libvips operations on the same pixels, all single-threaded. Ends with a table of ratios.
#include "rasterkit.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#ifdef RK_BENCH_MAGICK
#include <Magick++.h>
#endif
#ifdef RK_BENCH_VIPS
#include <vips/vips.h>
#endif

namespace {

constexpr int kWidth = 2480;
constexpr int kHeight = 3508;
constexpr int kStride = (3 * kWidth + 3) / 4 * 4;

// A page with smooth gradients and some texture, so that quantisation has real work.
const std::vector<std::uint8_t>& page() {
    static const std::vector<std::uint8_t> pixels = [] {
        std::vector<std::uint8_t> p(static_cast<std::size_t>(kStride) * kHeight);
        unsigned seed = 12345;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                seed = seed * 1103515245u + 12345u;
                const int noise = static_cast<int>(seed >> 28);
                std::uint8_t* px = p.data() + static_cast<std::size_t>(y) * kStride + 3 * x;
                px[0] = static_cast<std::uint8_t>((x * 255 / kWidth + noise) & 255);
                px[1] = static_cast<std::uint8_t>((y * 255 / kHeight + noise) & 255);
                px[2] = static_cast<std::uint8_t>(((x + y) / 24 * 9 + noise) & 255);
            }
        }
        return p;
    }();
    return pixels;
}

int neverCanceled() {
    return 0;
}
void noProgress(int, int) {}

// Both passes of one operation on the page, into a destination kept between iterations.
void runRasterkit(benchmark::State& state, int index, void* param) {
    std::vector<std::uint8_t>& src = const_cast<std::vector<std::uint8_t>&>(page());
    std::vector<std::uint8_t> palette(1024);
    std::vector<std::uint8_t> dst;
    std::vector<std::uint8_t> dstPalette(1024);
    std::vector<std::uint8_t> mask;
    std::vector<std::uint8_t> extra;
    MaskTile tile{};
    char message[64];
    for (auto _ : state) {
        ImageInfo info{};
        info.dwSize = sizeof info;
        info.lpfnIsCanceled = neverCanceled;
        info.lpfnProgress = noProgress;
        info.nSrcType = RK_TYPE_RGB24;
        info.nSrcBitCount = 24;
        info.nSrcWidth = kWidth;
        info.nSrcHeight = kHeight;
        info.nSrcPlanes = 1;
        info.nSrcChannels = 3;
        info.lpSrcPalette = palette.data();
        info.lpSrcData = src.data();
        info.lpParam = param;
        if (ImageEntry(index, &info, message) != RK_RESULT_SUCCEED) {
            state.SkipWithError(message);
            return;
        }
        const int bits = info.nDstBitCount;
        const std::size_t stride = bits == 1   ? (info.nDstWidth + 31) / 32 * 4
                                   : bits == 8 ? (info.nDstWidth + 3) / 4 * 4
                                               : (3 * info.nDstWidth + 3) / 4 * 4;
        const std::size_t bytes = stride * static_cast<std::size_t>(info.nDstHeight);
        if (dst.size() < bytes) dst.resize(bytes);
        if (index == RK_OP_TEXT) {
            const std::size_t n = static_cast<std::size_t>(info.nDstWidth) * info.nDstHeight;
            mask.resize(n);
            extra.resize(n);
            tile.lpBits = mask.data();
            info.lpMask = &tile;
            info.lpExtra = extra.data();
        }
        info.lpDstData = dst.data();
        info.lpDstPalette = dstPalette.data();
        info.dwMode = RK_MODE_RUN;
        if (ImageEntry(index, &info, message) != RK_RESULT_SUCCEED) {
            state.SkipWithError(message);
            return;
        }
        benchmark::DoNotOptimize(dst.data());
    }
}

void BM_Copy(benchmark::State& state) {
    const std::vector<std::uint8_t>& src = page();
    std::vector<std::uint8_t> dst(src.size());
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), src.size());
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
}

BrightnessContrastGammaParam bcg{20, 30, 1.7};
HueSaturationLightnessParam hsl{40, 20, 10, 0};
ColorAdjustParam adjust{30, -10, 20};
ColorBalanceParam balance{{10, 0, 5}, {20, 0, -10}, {255, 245, 250}};
RotateParam turn90{90, 255, 255, 255};
RotateParam turn180{180, 255, 255, 255};
RotateParam turn30{30, 255, 255, 255};
SlopeParam slope{20};
ResizeParam half{kWidth / 2, kHeight / 2};
ChangeModeParam toGrey{RK_MODE_TARGET_GREY, 0, 0};
ChangeModeParam toMono{RK_MODE_TARGET_BLACK_WHITE, 0, 0};
ChangeModeParam toColor8{RK_MODE_TARGET_COLOR8, 0, 0};
TextParam text{nullptr, "Tandemscan\nA4 page at 300 dpi", "DejaVu Sans", -120, 1, 0, 0, 0x204080, 0};

struct Case {
    const char* name;
    int index;
    void* param;
};
const Case kCases[] = {
    {"BrightnessContrastGamma", RK_OP_BRIGHTNESS_CONTRAST_GAMMA, &bcg},
    {"HueSaturationLightness", RK_OP_HUE_SATURATION_LIGHTNESS, &hsl},
    {"Invert", RK_OP_INVERT, nullptr},
    {"ColorAdjust", RK_OP_COLOR_ADJUST, &adjust},
    {"ColorBalance", RK_OP_COLOR_BALANCE, &balance},
    {"MirrorHorizontal", RK_OP_MIRROR_HORIZONTAL, nullptr},
    {"FlipVertical", RK_OP_FLIP_VERTICAL, nullptr},
    {"Rotate90", RK_OP_ROTATE, &turn90},
    {"Rotate180", RK_OP_ROTATE, &turn180},
    {"Rotate30", RK_OP_ROTATE, &turn30},
    {"SlopeHorizontal", RK_OP_SLOPE_HORIZONTAL, &slope},
    {"SlopeVertical", RK_OP_SLOPE_VERTICAL, &slope},
    {"ResizeHalf", RK_OP_RESIZE, &half},
    {"ChangeModeGrey", RK_OP_CHANGE_MODE, &toGrey},
    {"ChangeModeBlackWhite", RK_OP_CHANGE_MODE, &toMono},
    {"ChangeModeColor8", RK_OP_CHANGE_MODE, &toColor8},
    {"Text", RK_OP_TEXT, &text},
};

#ifdef RK_BENCH_MAGICK
void runMagick(benchmark::State& state, const std::string& op) {
    static const Magick::Image base = [] {
        std::vector<std::uint8_t> packed(static_cast<std::size_t>(kWidth) * kHeight * 3);
        for (int y = 0; y < kHeight; ++y) {
            std::memcpy(packed.data() + static_cast<std::size_t>(y) * kWidth * 3,
                        page().data() + static_cast<std::size_t>(y) * kStride, 3 * kWidth);
        }
        return Magick::Image(kWidth, kHeight, "BGR", MagickCore::CharPixel, packed.data());
    }();
    for (auto _ : state) {
        Magick::Image image(base);
        if (op == "BrightnessContrastGamma") {
            image.brightnessContrast(20, 30);
            image.gamma(1.7);
        } else if (op == "HueSaturationLightness") {
            image.modulate(110, 120, 100 + 40 * 100.0 / 180);
        } else if (op == "Invert") {
            image.negate();
        } else if (op == "ColorAdjust") {
            image.quantumOperator(MagickCore::RedChannel, MagickCore::AddEvaluateOperator, 30 * 257);
            image.quantumOperator(MagickCore::GreenChannel, MagickCore::SubtractEvaluateOperator, 10 * 257);
            image.quantumOperator(MagickCore::BlueChannel, MagickCore::AddEvaluateOperator, 20 * 257);
        } else if (op == "ColorBalance") {
            image.level(10 * 257, 250 * 257, 1.1);
        } else if (op == "MirrorHorizontal") {
            image.flop();
        } else if (op == "FlipVertical") {
            image.flip();
        } else if (op == "Rotate90") {
            image.rotate(90);
        } else if (op == "Rotate180") {
            image.rotate(180);
        } else if (op == "Rotate30") {
            image.rotate(30);
        } else if (op == "SlopeHorizontal") {
            image.shear(20, 0);
        } else if (op == "SlopeVertical") {
            image.shear(0, 20);
        } else if (op == "ResizeHalf") {
            image.filterType(MagickCore::CubicFilter);
            image.resize(Magick::Geometry(kWidth / 2, kHeight / 2));
        } else if (op == "ChangeModeGrey") {
            image.type(MagickCore::GrayscaleType);
        } else if (op == "ChangeModeBlackWhite") {
            image.type(MagickCore::GrayscaleType);
            image.orderedDither("o8x8");
        } else if (op == "ChangeModeColor8") {
            image.quantizeColors(256);
            image.quantizeDither(false);
            image.quantize();
        } else if (op == "Text") {
            Magick::Image label;
            label.font("DejaVu-Sans-Bold");
            label.fontPointsize(120);
            label.read("label:Tandemscan\nA4 page at 300 dpi");
            image = label;
        }
        image.modifyImage();
        benchmark::DoNotOptimize(image.getConstPixels(0, 0, 1, 1));
    }
}
#endif

#ifdef RK_BENCH_VIPS
void runVips(benchmark::State& state, const std::string& op) {
    VipsImage* base =
        vips_image_new_from_memory(page().data(), page().size(), kWidth, kHeight, 3, VIPS_FORMAT_UCHAR);
    // Rows of the page are padded; with 2480 pixels of 3 bytes they happen to need none.
    static_assert(kStride == 3 * kWidth);
    VipsImage* lut = nullptr;
    {
        std::vector<std::uint8_t> table(256);
        for (int i = 0; i < 256; ++i)
            table[i] = static_cast<std::uint8_t>(255 - i / 2);
        VipsImage* row = vips_image_new_from_memory_copy(table.data(), 256, 256, 1, 1, VIPS_FORMAT_UCHAR);
        lut = row;
    }
    for (auto _ : state) {
        VipsImage* out = nullptr;
        int failed = 0;
        if (op == "BrightnessContrastGamma" || op == "ColorBalance") {
            failed = vips_maplut(base, &out, lut, nullptr);
        } else if (op == "HueSaturationLightness") {
            VipsImage* hsv = nullptr;
            VipsImage* moved = nullptr;
            const double a[3] = {1, 1.2, 1.1};
            const double b[3] = {28, 0, 0};
            failed = vips_sRGB2HSV(base, &hsv, nullptr) ||
                     vips_linear(hsv, &moved, a, b, 3, "uchar", TRUE, nullptr) ||
                     vips_HSV2sRGB(moved, &out, nullptr);
            if (hsv) g_object_unref(hsv);
            if (moved) g_object_unref(moved);
        } else if (op == "Invert") {
            failed = vips_invert(base, &out, nullptr);
        } else if (op == "ColorAdjust") {
            const double a[3] = {1, 1, 1};
            const double b[3] = {20, -10, 30};
            failed = vips_linear(base, &out, a, b, 3, "uchar", TRUE, nullptr);
        } else if (op == "MirrorHorizontal") {
            failed = vips_flip(base, &out, VIPS_DIRECTION_HORIZONTAL, nullptr);
        } else if (op == "FlipVertical") {
            failed = vips_flip(base, &out, VIPS_DIRECTION_VERTICAL, nullptr);
        } else if (op == "Rotate90") {
            failed = vips_rot(base, &out, VIPS_ANGLE_D90, nullptr);
        } else if (op == "Rotate180") {
            failed = vips_rot(base, &out, VIPS_ANGLE_D180, nullptr);
        } else if (op == "Rotate30") {
            failed = vips_rotate(base, &out, 30, nullptr);
        } else if (op == "SlopeHorizontal") {
            failed = vips_affine(base, &out, 1, std::tan(20 * M_PI / 180), 0, 1, nullptr);
        } else if (op == "SlopeVertical") {
            failed = vips_affine(base, &out, 1, 0, std::tan(20 * M_PI / 180), 1, nullptr);
        } else if (op == "ResizeHalf") {
            failed = vips_resize(base, &out, 0.5, "kernel", VIPS_KERNEL_CUBIC, nullptr);
        } else if (op == "ChangeModeGrey") {
            failed = vips_colourspace(base, &out, VIPS_INTERPRETATION_B_W, nullptr);
        } else if (op == "ChangeModeBlackWhite") {
            VipsImage* grey = nullptr;
            failed = vips_colourspace(base, &grey, VIPS_INTERPRETATION_B_W, nullptr) ||
                     vips_moreeq_const1(grey, &out, 128, nullptr);
            if (grey) g_object_unref(grey);
        } else if (op == "Text") {
            failed =
                vips_text(&out, "Tandemscan\nA4 page at 300 dpi", "font", "DejaVu Sans Bold 90", nullptr);
        } else {
            state.SkipWithError("no libvips counterpart");
            break;
        }
        if (failed != 0 || out == nullptr) {
            state.SkipWithError(vips_error_buffer());
            break;
        }
        std::size_t size = 0;
        void* memory = vips_image_write_to_memory(out, &size);
        benchmark::DoNotOptimize(memory);
        g_free(memory);
        g_object_unref(out);
    }
    g_object_unref(lut);
    g_object_unref(base);
}
#endif

// Collects the mean time of every run for the closing table.
class TableReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (!run.error_occurred && run.iterations > 0) {
                // Processor time of the whole process: the machine may be shared, and libvips works in
                // a thread of its own even when limited to one.
                millis_[run.run_name.function_name] = run.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void printTable() const {
        const double copy = value("copy");
        std::printf("\nProcessor time per call, single-threaded\n");
        std::printf("%-24s %12s %9s %12s %9s %12s %9s\n", "operation", "rasterkit ms", "x copy", "magick ms",
                    "magick/rk", "vips ms", "vips/rk");
        std::printf("%-24s %12.2f\n", "memory copy", copy);
        for (const Case& c : kCases) {
            const double rk = value(std::string("rasterkit/") + c.name);
            if (rk < 0) continue; // filtered out of this run
            const double magick = value(std::string("magick/") + c.name);
            const double vips = value(std::string("vips/") + c.name);
            std::printf("%-24s %12.2f %9.2f %12s %9s %12s %9s\n", c.name, rk, rk / copy,
                        format(magick).c_str(), ratio(magick, rk).c_str(), format(vips).c_str(),
                        ratio(vips, rk).c_str());
        }
    }

  private:
    double value(const std::string& name) const {
        const auto it = millis_.find(name);
        return it == millis_.end() ? -1 : it->second;
    }
    static std::string format(double ms) {
        if (ms < 0) return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", ms);
        return text;
    }
    static std::string ratio(double other, double rk) {
        if (other < 0 || rk <= 0) return "-";
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", other / rk);
        return text;
    }
    std::map<std::string, double> millis_;
};

} // namespace

int main(int argc, char** argv) {
#ifdef RK_BENCH_MAGICK
    Magick::InitializeMagick(argv[0]);
    Magick::ResourceLimits::thread(1);
#endif
#ifdef RK_BENCH_VIPS
    if (VIPS_INIT(argv[0]) != 0) return 1;
    vips_concurrency_set(1);
    vips_cache_set_max(0);
#endif
    benchmark::RegisterBenchmark("copy", BM_Copy)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark((std::string("rasterkit/") + c.name).c_str(),
                                     [c](benchmark::State& s) { runRasterkit(s, c.index, c.param); })
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime();
#ifdef RK_BENCH_MAGICK
        benchmark::RegisterBenchmark((std::string("magick/") + c.name).c_str(),
                                     [c](benchmark::State& s) { runMagick(s, c.name); })
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime();
#endif
#ifdef RK_BENCH_VIPS
        benchmark::RegisterBenchmark((std::string("vips/") + c.name).c_str(),
                                     [c](benchmark::State& s) { runVips(s, c.name); })
            ->Unit(benchmark::kMillisecond)
            ->MeasureProcessCPUTime();
#endif
    }
    benchmark::Initialize(&argc, argv);
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printTable();
#ifdef RK_BENCH_VIPS
    vips_shutdown();
#endif
    benchmark::Shutdown();
    return 0;
}
