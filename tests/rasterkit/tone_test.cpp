// Tone and colour operations: exact tables, the format matrix, masks, cancellation.
#include "rasterkit_harness.h"

using namespace rktest;

namespace {

// An 8-bit grey image whose single row holds every value 0..255.
Bitmap greyRamp() {
    Bitmap b = makeBitmap(8, 256, 1);
    for (int x = 0; x < 256; ++x)
        b.row(0)[x] = static_cast<std::uint8_t>(x);
    return b;
}

// A 24-bit image whose columns run through 0..255 in every byte, in one or three planes.
Bitmap rgbRamp(int planes = 1) {
    Bitmap b = makeBitmap(24, 256, 2, -1, planes);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 256; ++x) {
            const auto v = static_cast<std::uint8_t>(x);
            b.setRgb(x, y, v, static_cast<std::uint8_t>(255 - v), v);
        }
    }
    return b;
}

bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width != b.width || a.height != b.height) return false;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                if (a.sample(x, y, c) != b.sample(x, y, c)) return false;
            }
        }
    }
    return true;
}

TEST(BrightnessContrastGamma, TableValues) {
    struct Case {
        BrightnessContrastGammaParam param;
        std::vector<std::pair<int, int>> values; // input, output
    };
    const Case cases[] = {
        {{0, 0, 1.0}, {{0, 0}, {1, 1}, {127, 127}, {254, 254}, {255, 255}}},
        {{0, 100, 1.0}, {{0, 0}, {99, 0}, {100, 0}, {128, 130}, {155, 255}, {156, 255}, {255, 255}}},
        {{0, -100, 1.0}, {{0, 100}, {128, 127}, {255, 155}}},
        {{0, 0, 2.0}, {{0, 0}, {64, 128}, {255, 255}}},
        {{50, 0, 1.0}, {{0, 50}, {204, 254}, {205, 255}, {255, 255}}},
        {{-100, 0, 1.0}, {{100, 0}, {200, 100}}},
        // Contrast first (100 -> 0), then brightness (-> 10), then gamma.
        {{10, 100, 2.0}, {{100, 50}}},
        // Far outside the range: taken as +-255, without overflow.
        {{0, -1279658258, 1.0}, {{0, 255}, {100, 155}, {255, 0}}},
        {{0, 2147483647, 1.0}, {{0, 0}, {254, 0}, {255, 255}}},
        {{2000000000, 0, 1.0}, {{0, 255}, {255, 255}}},
        {{-2147483647 - 1, -2147483647 - 1, 1.0}, {{0, 0}, {255, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.param.brightness << " " << c.param.contrast << " " << c.param.gamma);
        Bitmap src = greyRamp();
        BrightnessContrastGammaParam param = c.param;
        Outcome out = runOperation(RK_OP_BRIGHTNESS_CONTRAST_GAMMA, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        for (auto [in, expected] : c.values)
            EXPECT_EQ(out.dst.row(0)[in], expected) << in;
        EXPECT_EQ(out.callbacks.progress.front(), std::make_pair(1, 1));
        EXPECT_EQ(out.callbacks.progress.back(), std::make_pair(1, 1));
        EXPECT_EQ(out.callbacks.polls, 1);
    }
}

TEST(BrightnessContrastGamma, FormatMatrix) {
    BrightnessContrastGammaParam invertish{0, -100, 1.0}; // i -> i * 55 / 255 + 100
    Tile tile(0, 0, 1, 1);
    struct Case {
        const char* name;
        int bits;
        int type;
        bool colourTable;
        bool mask;
        int expectedRun;
        int expectedType;
    };
    const Case cases[] = {
        {"1 bit", 1, RK_TYPE_1BIT, true, false, RK_RESULT_SUCCEED, RK_TYPE_1BIT},
        {"1 bit of type 0", 1, RK_TYPE_BLACK_WHITE, true, false, RK_RESULT_SUCCEED, RK_TYPE_1BIT},
        {"1 bit with mask", 1, RK_TYPE_1BIT, true, true, RK_RESULT_NOT_SUPPORTED, RK_TYPE_1BIT},
        {"2 bits", 2, RK_TYPE_4BIT, true, false, RK_RESULT_SUCCEED, RK_TYPE_4BIT},
        {"4 bits", 4, RK_TYPE_4BIT, true, false, RK_RESULT_SUCCEED, RK_TYPE_4BIT},
        {"8 bits colour", 8, RK_TYPE_COLOR8, true, false, RK_RESULT_SUCCEED, RK_TYPE_COLOR8},
        {"8 bits colour with mask", 8, RK_TYPE_COLOR8, true, true, RK_RESULT_NOT_SUPPORTED, RK_TYPE_COLOR8},
        {"8 bits grey", 8, RK_TYPE_GREY, false, true, RK_RESULT_SUCCEED, RK_TYPE_GREY},
        {"16 bits", 16, RK_TYPE_16BIT, false, false, RK_RESULT_NOT_SUPPORTED, RK_TYPE_16BIT},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bitmap src = makeBitmap(c.bits, 5, 2, c.type);
        fillPattern(src);
        if (c.colourTable) {
            for (int i = 0; i < 256; ++i)
                src.setEntry(i, 0, 10, 255);
        }
        Outcome out = runOperation(RK_OP_BRIGHTNESS_CONTRAST_GAMMA, src, &invertish,
                                   {.mask = c.mask ? &tile.tile : nullptr});
        ASSERT_EQ(out.query, RK_RESULT_SUCCEED);
        EXPECT_EQ(out.dst.type, c.expectedType);
        EXPECT_EQ(out.run, c.expectedRun);
        if (c.expectedRun != RK_RESULT_SUCCEED) continue;
        if (c.colourTable) {
            // Table transform: entries mapped, reserved bytes and indices untouched.
            const int used = 1 << std::min(c.bits, 8);
            for (int i = 0; i < used; ++i) {
                EXPECT_EQ(out.dst.palette[4 * i], 100);
                EXPECT_EQ(out.dst.palette[4 * i + 1], 102);
                EXPECT_EQ(out.dst.palette[4 * i + 2], 155);
                EXPECT_EQ(out.dst.palette[4 * i + 3], kUnwritten);
            }
            if (used < 256) {
                EXPECT_EQ(out.dst.palette[4 * used], kUnwritten);
            }
            EXPECT_EQ(out.dst.pixels, src.pixels);
        } else {
            // Grey pixels mapped; only the masked pixel (0, 0) is processed.
            EXPECT_EQ(out.dst.row(0)[0], src.row(0)[0] * 55 / 255 + 100);
            EXPECT_EQ(out.dst.row(0)[1], src.row(0)[1]);
            EXPECT_EQ(out.dst.row(1)[0], src.row(1)[0]);
            EXPECT_EQ(out.dst.palette[0], kUnwritten); // the table of a grey image is not written
        }
    }
}

TEST(BrightnessContrastGamma, NColorsLimitsTheTable) {
    Bitmap src = makeBitmap(8, 3, 1, RK_TYPE_COLOR8);
    src.setEntry(0, 10, 20, 30);
    src.setEntry(1, 40, 50, 60);
    src.setEntry(2, 70, 80, 90);
    BrightnessContrastGammaParam param{10, 0, 1.0};
    Outcome out = runOperation(RK_OP_BRIGHTNESS_CONTRAST_GAMMA, src, &param, {.nColors = 2});
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(out.dst.palette[0], 20);
    EXPECT_EQ(out.dst.palette[6], 70);
    EXPECT_EQ(out.dst.palette[8], kUnwritten);
}

TEST(ToneOperations, PlanarEqualsInterleaved) {
    BrightnessContrastGammaParam bcg{20, 30, 1.7};
    ColorBalanceParam balance{{10, 0, 5}, {20, 0, -30}, {255, 240, 250}};
    struct Case {
        int index;
        void* param;
    };
    for (const Case c : {Case{RK_OP_BRIGHTNESS_CONTRAST_GAMMA, &bcg}, Case{RK_OP_COLOR_BALANCE, &balance},
                         Case{RK_OP_INVERT, nullptr}}) {
        SCOPED_TRACE(c.index);
        Bitmap interleaved = rgbRamp(1);
        Bitmap planar = rgbRamp(3);
        Outcome a = runOperation(c.index, interleaved, c.param);
        Outcome b = runOperation(c.index, planar, c.param);
        ASSERT_EQ(a.run, RK_RESULT_SUCCEED);
        ASSERT_EQ(b.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(b.dst.planes, 3);
        EXPECT_TRUE(samePixels(a.dst, b.dst));
    }
}

TEST(ToneOperations, CancelAtTheFirstPollWritesNoRow) {
    BrightnessContrastGammaParam bcg{20, 30, 1.7};
    ColorBalanceParam balance{{10, 0, 5}, {0, 0, 0}, {255, 255, 255}};
    struct Case {
        int index;
        void* param;
    };
    for (const Case c : {Case{RK_OP_BRIGHTNESS_CONTRAST_GAMMA, &bcg}, Case{RK_OP_COLOR_BALANCE, &balance},
                         Case{RK_OP_INVERT, nullptr}}) {
        SCOPED_TRACE(c.index);
        Bitmap src = rgbRamp();
        Outcome out = runOperation(c.index, src, c.param, {.cancelAtPoll = 1});
        EXPECT_EQ(out.run, RK_RESULT_CANCEL);
        EXPECT_EQ(out.message, "Cancel!");
        EXPECT_EQ(out.dst.pixels, std::vector<std::uint8_t>(out.dst.pixels.size(), kUnwritten));
        EXPECT_EQ(out.callbacks.progress.back(), std::make_pair(1, 1));
    }
}

TEST(ToneOperations, RowProgress) {
    BrightnessContrastGammaParam bcg{0, 0, 1.0};
    Bitmap src = makeBitmap(24, 3, 3);
    Outcome out = runOperation(RK_OP_BRIGHTNESS_CONTRAST_GAMMA, src, &bcg);
    const std::vector<std::pair<int, int>> expected = {{1, 3}, {2, 3}, {3, 3}, {1, 1}};
    EXPECT_EQ(out.callbacks.progress, expected);
    EXPECT_EQ(out.callbacks.polls, 3);
    Outcome inverted = runOperation(RK_OP_INVERT, src, nullptr);
    const std::vector<std::pair<int, int>> invertProgress = {{10, 100}, {100, 100}, {1, 1}};
    EXPECT_EQ(inverted.callbacks.progress, invertProgress);
}

struct HslCase {
    const char* name;
    HueSaturationLightnessParam param;
    std::uint8_t in[3];  // blue, green, red
    std::uint8_t out[3]; // blue, green, red
};

TEST(HueSaturationLightness, PixelValues) {
    const HslCase cases[] = {
        {"hue 180 turns red into cyan", {180, 0, 0, 0}, {0, 0, 255}, {255, 255, 0}},
        {"hue 360 is hue 0", {360, 0, 0, 0}, {30, 60, 90}, {30, 60, 90}},
        {"hue -180 is hue 180", {-180, 0, 0, 0}, {0, 0, 255}, {255, 255, 0}},
        {"lightness 100 gives white", {0, 0, 100, 0}, {30, 60, 90}, {255, 255, 255}},
        {"lightness -100 gives black", {0, 0, -100, 0}, {30, 60, 90}, {0, 0, 0}},
        {"saturation 100 keeps grey", {0, 100, 0, 0}, {128, 128, 128}, {128, 128, 128}},
        {"saturation 100 colourises grey", {180, 100, 0, 1}, {128, 128, 128}, {255, 255, 1}},
        {"saturation -50", {0, -50, 0, 0}, {0, 96, 192}, {48, 96, 144}},
        {"saturation -100 gives grey", {0, -100, 0, 0}, {0, 96, 192}, {96, 96, 96}},
        {"lightness 50", {0, 0, 50, 0}, {0, 96, 192}, {128, 176, 223}},
        {"saturation clamped to 100", {0, 1000, 0, 0}, {0, 96, 192}, {0, 96, 192}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bitmap src = makeBitmap(24, 2, 1);
        src.setRgb(0, 0, c.in[0], c.in[1], c.in[2]);
        src.setRgb(1, 0, c.in[0], c.in[1], c.in[2]);
        HueSaturationLightnessParam param = c.param;
        Outcome out = runOperation(RK_OP_HUE_SATURATION_LIGHTNESS, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        for (int ch = 0; ch < 3; ++ch)
            EXPECT_EQ(out.dst.sample(1, 0, ch), c.out[ch]) << ch;
    }
}

TEST(HueSaturationLightness, Formats) {
    HueSaturationLightnessParam hue{180, 0, 0, 0};
    HueSaturationLightnessParam none{0, 0, 0, 0};
    // 8 bits: every table entry transformed, reserved bytes left, indices copied.
    Bitmap indexed = makeBitmap(8, 3, 2, RK_TYPE_COLOR8);
    fillPattern(indexed);
    indexed.setEntry(7, 0, 0, 255);
    Outcome table = runOperation(RK_OP_HUE_SATURATION_LIGHTNESS, indexed, &hue);
    ASSERT_EQ(table.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(table.dst.palette[28], 255);
    EXPECT_EQ(table.dst.palette[29], 255);
    EXPECT_EQ(table.dst.palette[30], 0);
    EXPECT_EQ(table.dst.palette[31], kUnwritten);
    EXPECT_EQ(table.dst.pixels, indexed.pixels);
    // Nothing to do: pixels and colour table copied.
    Outcome copy = runOperation(RK_OP_HUE_SATURATION_LIGHTNESS, indexed, &none);
    ASSERT_EQ(copy.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(copy.dst.pixels, indexed.pixels);
    EXPECT_EQ(copy.dst.palette, indexed.palette);
    // Formats it does not handle answer "Cancel!" and write nothing.
    for (Bitmap src : {makeBitmap(1, 8, 2), makeBitmap(4, 8, 2), makeBitmap(24, 4, 2, -1, 3)}) {
        Outcome out = runOperation(RK_OP_HUE_SATURATION_LIGHTNESS, src, &hue);
        EXPECT_EQ(out.run, RK_RESULT_CANCEL);
        EXPECT_EQ(out.message, "Cancel!");
        EXPECT_EQ(out.dst.pixels, std::vector<std::uint8_t>(out.dst.pixels.size(), kUnwritten));
    }
}

TEST(Invert, TwiceRestoresEveryFormat) {
    struct Case {
        int bits;
        int type;
        int planes;
    };
    for (const Case c :
         {Case{1, RK_TYPE_1BIT, 1}, Case{4, RK_TYPE_4BIT, 1}, Case{8, RK_TYPE_GREY, 1},
          Case{8, RK_TYPE_COLOR8, 1}, Case{24, RK_TYPE_RGB24, 1}, Case{24, RK_TYPE_RGB24, 3}}) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, type " << c.type);
        Bitmap src = makeBitmap(c.bits, 7, 3, c.type, c.planes);
        fillPattern(src);
        if (c.type == RK_TYPE_COLOR8) src.setEntry(3, 1, 2, 3);
        Outcome once = runOperation(RK_OP_INVERT, src, nullptr);
        ASSERT_EQ(once.run, RK_RESULT_SUCCEED);
        Outcome twice = runOperation(RK_OP_INVERT, once.dst, nullptr);
        ASSERT_EQ(twice.run, RK_RESULT_SUCCEED);
        EXPECT_EQ(twice.dst.pixels, src.pixels);
        for (int i = 0; c.bits <= 8 && i < (1 << c.bits); ++i) {
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(twice.dst.palette[4 * i + k], src.palette[4 * i + k]);
        }
    }
}

TEST(Invert, PixelsOrTable) {
    Bitmap mono = makeBitmap(1, 10, 1);
    mono.row(0)[0] = 0xF0;
    Outcome pixels = runOperation(RK_OP_INVERT, mono, nullptr);
    EXPECT_EQ(pixels.dst.row(0)[0], 0x0F);
    EXPECT_EQ(pixels.dst.row(0)[3], 0xFF); // padding complemented too
    EXPECT_EQ(pixels.dst.palette[4], 255); // table copied unchanged
    Bitmap nibbles = makeBitmap(4, 3, 1);
    nibbles.row(0)[0] = 0x12;
    Outcome table = runOperation(RK_OP_INVERT, nibbles, nullptr);
    EXPECT_EQ(table.dst.row(0)[0], 0x12);
    EXPECT_EQ(table.dst.palette[0], 255); // entry 0 was black
    EXPECT_EQ(table.dst.palette[4], 238); // entry 1 was 17
    Bitmap wide = makeBitmap(16, 3, 1);
    EXPECT_EQ(runOperation(RK_OP_INVERT, wide, nullptr).run, RK_RESULT_NOT_SUPPORTED);
}

TEST(Invert, MaskSelectsPixels) {
    Bitmap mono = makeBitmap(1, 10, 2);
    Tile tile(2, 1, 3, 1);
    Outcome out = runOperation(RK_OP_INVERT, mono, nullptr, {.mask = &tile.tile});
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(out.dst.row(0)[0], 0x00);
    EXPECT_EQ(out.dst.row(1)[0], 0x38); // pixels 2, 3, 4
    EXPECT_EQ(out.dst.row(1)[1], 0x00);
    Bitmap rgb = makeBitmap(24, 5, 2, -1, 3);
    Outcome planar = runOperation(RK_OP_INVERT, rgb, nullptr, {.mask = &tile.tile});
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(planar.dst.sample(2, 1, c), 255);
        EXPECT_EQ(planar.dst.sample(1, 1, c), 0);
        EXPECT_EQ(planar.dst.sample(2, 0, c), 0);
    }
}

TEST(ColorAdjust, OffsetsAndFormats) {
    ColorAdjustParam param{300, 0, -300};
    Bitmap rgb = makeBitmap(24, 2, 1);
    rgb.setRgb(0, 0, 10, 20, 30);
    rgb.setRgb(1, 0, 250, 128, 5);
    Outcome out = runOperation(RK_OP_COLOR_ADJUST, rgb, &param);
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    const int expected[2][3] = {{0, 20, 255}, {0, 128, 255}};
    for (int x = 0; x < 2; ++x) {
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(out.dst.sample(x, 0, c), expected[x][c]);
    }
    ColorAdjustParam small{5, -5, 1};
    Bitmap indexed = makeBitmap(8, 3, 1, RK_TYPE_COLOR8);
    fillPattern(indexed);
    indexed.setEntry(0, 255, 3, 100);
    Outcome table = runOperation(RK_OP_COLOR_ADJUST, indexed, &small);
    ASSERT_EQ(table.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(table.dst.palette[0], 255);
    EXPECT_EQ(table.dst.palette[1], 0);
    EXPECT_EQ(table.dst.palette[2], 105);
    EXPECT_EQ(table.dst.pixels, indexed.pixels);
    Tile tile(0, 0, 1, 1);
    EXPECT_EQ(runOperation(RK_OP_COLOR_ADJUST, indexed, &small, {.mask = &tile.tile}).run,
              RK_RESULT_NOT_SUPPORTED);
    Outcome masked = runOperation(RK_OP_COLOR_ADJUST, rgb, &param, {.mask = &tile.tile});
    EXPECT_EQ(masked.dst.sample(0, 0, 2), 255);
    EXPECT_EQ(masked.dst.sample(1, 0, 2), 5);
    for (Bitmap src : {makeBitmap(4, 3, 1), makeBitmap(24, 3, 1, -1, 3), makeBitmap(1, 3, 1)}) {
        EXPECT_EQ(runOperation(RK_OP_COLOR_ADJUST, src, &param).run, RK_RESULT_NOT_SUPPORTED);
    }
}

TEST(ColorBalance, Tables) {
    struct Case {
        const char* name;
        ColorBalanceParam param;
        int channel;
        std::vector<std::pair<int, int>> values;
    };
    const Case cases[] = {
        {"neutral", {{0, 0, 0}, {0, 0, 0}, {255, 255, 255}}, 1, {{0, 0}, {77, 77}, {255, 255}}},
        {"black point raises the others",
         {{10, 0, 0}, {0, 0, 0}, {255, 255, 255}},
         1,
         {{0, 0}, {10, 0}, {11, 1}, {128, 123}, {254, 254}, {255, 255}}},
        {"black point leaves the highest",
         {{10, 0, 0}, {0, 0, 0}, {255, 255, 255}},
         0,
         {{10, 10}, {128, 128}}},
        {"white point",
         {{0, 0, 0}, {0, 0, 0}, {255, 255, 245}},
         0,
         {{0, 0}, {128, 133}, {244, 254}, {245, 255}, {255, 255}}},
        {"midtone above the average",
         {{0, 0, 0}, {20, 0, 0}, {255, 255, 255}},
         0,
         {{0, 0}, {64, 70}, {128, 133}, {200, 203}, {255, 255}}},
        {"midtone below the average",
         {{0, 0, 0}, {20, 0, 0}, {255, 255, 255}},
         2,
         {{64, 58}, {128, 121}, {200, 196}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bitmap src = rgbRamp();
        ColorBalanceParam param = c.param;
        Outcome out = runOperation(RK_OP_COLOR_BALANCE, src, &param);
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        for (auto [in, expected] : c.values) {
            const int x = c.channel == 1 ? 255 - in : in; // green runs backwards in the ramp
            EXPECT_EQ(out.dst.sample(x, 0, c.channel), expected) << in;
        }
    }
}

TEST(ColorBalance, Formats) {
    ColorBalanceParam param{{0, 0, 0}, {0, 0, 0}, {255, 255, 255}};
    for (Bitmap src : {makeBitmap(1, 8, 1, RK_TYPE_BLACK_WHITE), makeBitmap(8, 3, 1),
                       makeBitmap(8, 3, 1, RK_TYPE_COLOR8), makeBitmap(4, 3, 1)}) {
        Outcome out = runOperation(RK_OP_COLOR_BALANCE, src, &param);
        EXPECT_EQ(out.query, RK_RESULT_SUCCEED);
        EXPECT_EQ(out.dst.type, src.bits == 1 ? RK_TYPE_1BIT : src.type);
        EXPECT_EQ(out.run, RK_RESULT_NOT_SUPPORTED);
        EXPECT_EQ(out.message, "Not support operate!");
    }
    // Out-of-range values stay inside the tables.
    ColorBalanceParam wild{{-32768, 32767, 0}, {32767, -32768, 5}, {-32768, 32767, 100}};
    Bitmap src = rgbRamp();
    EXPECT_EQ(runOperation(RK_OP_COLOR_BALANCE, src, &wild).run, RK_RESULT_SUCCEED);
}

TEST(ToneOperations, NullParameterBlock) {
    Bitmap src = makeBitmap(24, 2, 2);
    for (int index : {RK_OP_BRIGHTNESS_CONTRAST_GAMMA, RK_OP_HUE_SATURATION_LIGHTNESS, RK_OP_COLOR_ADJUST,
                      RK_OP_COLOR_BALANCE}) {
        EXPECT_EQ(runOperation(index, src, nullptr).query, RK_RESULT_NOT_SUPPORTED) << index;
    }
}

} // namespace

namespace {

TEST(ToneOperations, MaskOnColourImages) {
    // Only the tile's pixel (1, 1) changes; planar and interleaved alike.
    BrightnessContrastGammaParam bcg{0, -100, 1.0};
    ColorBalanceParam balance{{0, 0, 0}, {0, 0, 0}, {255, 255, 245}}; // blue 128 -> 133
    ColorAdjustParam adjust{0, 0, 5};
    struct Case {
        int index;
        void* param;
        int planes;
        int changedBlue;
    };
    const Case cases[] = {
        {RK_OP_BRIGHTNESS_CONTRAST_GAMMA, &bcg, 1, 128 * 55 / 255 + 100},
        {RK_OP_BRIGHTNESS_CONTRAST_GAMMA, &bcg, 3, 128 * 55 / 255 + 100},
        {RK_OP_COLOR_BALANCE, &balance, 1, 133},
        {RK_OP_COLOR_BALANCE, &balance, 3, 133},
        {RK_OP_COLOR_ADJUST, &adjust, 1, 133},
        {RK_OP_INVERT, nullptr, 1, 127},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.index << " planes " << c.planes);
        Bitmap src = makeBitmap(24, 3, 3, -1, c.planes);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x)
                src.setRgb(x, y, 128, 128, 128);
        }
        Tile tile(1, 1, 1, 1);
        Outcome out = runOperation(c.index, src, c.param, {.mask = &tile.tile});
        ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x) {
                EXPECT_EQ(out.dst.sample(x, y, 0), x == 1 && y == 1 ? c.changedBlue : 128) << x << "," << y;
            }
        }
    }
}

// A three-terabyte working image cannot be had; the call says so instead of failing hard. The
// sanitizers treat such a request as fatal, so this runs in ordinary builds only.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define RK_TEST_UNDER_ASAN 1
#endif
#endif
#if !defined(__SANITIZE_ADDRESS__) && !defined(RK_TEST_UNDER_ASAN)
TEST(Frame, AllocationFailureIsReported) {
    Bitmap src = makeBitmap(24, 1, 1 << 20);
    ResizeParam param{1 << 20, 1};
    Outcome out = runOperation(RK_OP_RESIZE, src, &param);
    EXPECT_EQ(out.run, RK_RESULT_NO_MEMORY);
    EXPECT_EQ(out.message, "Alloc memory fail!");
    BrightnessContrastGammaParam bcg{0, 0, 1.0};
    Bitmap small = makeBitmap(24, 2, 2);
    EXPECT_EQ(runOperation(RK_OP_BRIGHTNESS_CONTRAST_GAMMA, small, &bcg).run, RK_RESULT_SUCCEED);
}
#endif

} // namespace
