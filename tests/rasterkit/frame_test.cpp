// The ImageEntry frame: record checks, result codes and messages, the mask, the two passes.
#include "rasterkit_harness.h"

#include <thread>

using namespace rktest;

namespace {

struct BadRecordCase {
    const char* name;
    void (*spoil)(ImageInfo&);
    unsigned mode;
    int expected;
};

TEST(Frame, BadRecordsAreAnsweredWithCodes) {
    static MaskTile looping{};
    const BadRecordCase cases[] = {
        {"size of a 32-bit record", [](ImageInfo& i) { i.dwSize = 100; }, 0, RK_RESULT_NOT_SUPPORTED},
        {"mode 2", [](ImageInfo& i) { i.dwMode = 2; }, 2, RK_RESULT_NOT_SUPPORTED},
        {"no cancel poll", [](ImageInfo& i) { i.lpfnIsCanceled = nullptr; }, 0, RK_RESULT_NOT_SUPPORTED},
        {"no progress", [](ImageInfo& i) { i.lpfnProgress = nullptr; }, 0, RK_RESULT_NOT_SUPPORTED},
        {"zero width", [](ImageInfo& i) { i.nSrcWidth = 0; }, 0, RK_RESULT_TOO_SMALL},
        {"negative height", [](ImageInfo& i) { i.nSrcHeight = -4; }, 0, RK_RESULT_TOO_SMALL},
        {"huge width", [](ImageInfo& i) { i.nSrcWidth = 0x7fffffff; }, 0, RK_RESULT_NOT_SUPPORTED},
        {"bit count 3", [](ImageInfo& i) { i.nSrcBitCount = 3; }, 0, RK_RESULT_NOT_SUPPORTED},
        {"type 2", [](ImageInfo& i) { i.nSrcType = 2; }, 0, RK_RESULT_NOT_SUPPORTED},
        {"two planes", [](ImageInfo& i) { i.nSrcPlanes = 2; }, 0, RK_RESULT_NOT_SUPPORTED},
        {"interleaved with one channel", [](ImageInfo& i) { i.nSrcChannels = 1; }, 0,
         RK_RESULT_NOT_SUPPORTED},
        {"no source pixels", [](ImageInfo& i) { i.lpSrcData = nullptr; }, 1, RK_RESULT_NOT_SUPPORTED},
        {"no destination pixels", [](ImageInfo& i) { i.lpDstData = nullptr; }, 1, RK_RESULT_NOT_SUPPORTED},
        {"destination wider than queried", [](ImageInfo& i) { i.nDstWidth = 9; }, 1, RK_RESULT_NOT_SUPPORTED},
        {"destination in planes", [](ImageInfo& i) { i.nDstPlanes = 3; }, 1, RK_RESULT_NOT_SUPPORTED},
        {"colour count above the table", [](ImageInfo& i) { i.nColors = 257; }, 1, RK_RESULT_NOT_SUPPORTED},
        {"mask list that loops",
         [](ImageInfo& i) {
             looping.dwSize = sizeof(MaskTile);
             looping.lpNext = &looping;
             i.lpMask = &looping;
         },
         1, RK_RESULT_NOT_SUPPORTED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bitmap src = makeBitmap(24, 4, 3);
        fillPattern(src);
        const std::vector<std::uint8_t> before = src.pixels;
        std::vector<std::uint8_t> dst(src.bytes(), kUnwritten);
        ImageInfo info = makeInfo(src);
        info.dwMode = c.mode == 0 ? RK_MODE_QUERY : RK_MODE_RUN;
        info.nDstType = RK_TYPE_RGB24;
        info.nDstBitCount = 24;
        info.nDstWidth = 4;
        info.nDstHeight = 3;
        info.nDstPlanes = 1;
        info.nDstChannels = 3;
        info.lpDstData = dst.data();
        c.spoil(info);
        char message[128] = {};
        EXPECT_EQ(ImageEntry(RK_OP_INVERT, &info, message), c.expected);
        EXPECT_STREQ(message,
                     c.expected == RK_RESULT_TOO_SMALL ? "Image too small!" : "Not support operate!");
        EXPECT_EQ(src.pixels, before);
        EXPECT_EQ(dst, std::vector<std::uint8_t>(src.bytes(), kUnwritten));
    }
}

TEST(Frame, IndexOutsideTheTableAndNullRecord) {
    Bitmap src = makeBitmap(24, 2, 2);
    for (int index : {-1, 35, 1000, -2147483647 - 1}) {
        SCOPED_TRACE(index);
        ImageInfo info = makeInfo(src);
        char message[128] = {};
        EXPECT_EQ(ImageEntry(index, &info, message), RK_RESULT_NOT_SUPPORTED);
        EXPECT_STREQ(message, "Not support operate!");
        EXPECT_EQ(info.wFlagA, 0); // the query pass did not run
    }
    char message[128] = {};
    EXPECT_EQ(ImageEntry(RK_OP_INVERT, nullptr, message), RK_RESULT_NOT_SUPPORTED);
    EXPECT_STREQ(message, "Not support operate!");
    // No message buffer: the result still comes back.
    ImageInfo info = makeInfo(src);
    EXPECT_EQ(ImageEntry(RK_OP_INVERT, &info, nullptr), RK_RESULT_SUCCEED);
}

TEST(Frame, MessagesOfTheResultCodes) {
    Bitmap src = makeBitmap(24, 2, 2);
    ImageInfo info = makeInfo(src);
    char message[128] = {};
    EXPECT_EQ(ImageEntry(RK_OP_INVERT, &info, message), RK_RESULT_SUCCEED);
    EXPECT_STREQ(message, "Succeed!");
    Outcome cancelled = runOperation(RK_OP_INVERT, src, nullptr, {.cancelAtPoll = 1});
    EXPECT_EQ(cancelled.run, RK_RESULT_CANCEL);
    EXPECT_EQ(cancelled.message, "Cancel!");
}

TEST(Frame, MaskTilesOutsideTheImageAreRefused) {
    struct Case {
        int left, top, width, height;
        int expected;
    };
    const Case cases[] = {
        {0, 0, 4, 3, RK_RESULT_SUCCEED},
        {3, 2, 1, 1, RK_RESULT_SUCCEED},
        {0, 0, 0, 0, RK_RESULT_SUCCEED},
        {-1, 0, 2, 2, RK_RESULT_NOT_SUPPORTED},
        {0, -1, 2, 2, RK_RESULT_NOT_SUPPORTED},
        {3, 0, 2, 1, RK_RESULT_NOT_SUPPORTED},
        {0, 2, 1, 2, RK_RESULT_NOT_SUPPORTED},
        {0, 0, -1, 2, RK_RESULT_NOT_SUPPORTED},
        {2147483647, 0, 1, 1, RK_RESULT_NOT_SUPPORTED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << "," << c.top << " " << c.width << "x" << c.height);
        Bitmap src = makeBitmap(24, 4, 3);
        Tile tile(0, 0, 1, 1);
        tile.tile.nLeft = c.left;
        tile.tile.nTop = c.top;
        tile.tile.nWidth = c.width;
        tile.tile.nHeight = c.height;
        tile.bits.assign(static_cast<std::size_t>(std::max(0, c.width) * std::max(0, c.height)), 255);
        tile.tile.lpBits = tile.bits.data();
        Outcome out = runOperation(RK_OP_INVERT, src, nullptr, {.mask = &tile.tile});
        EXPECT_EQ(out.run, c.expected);
    }
    Bitmap src = makeBitmap(24, 4, 3);
    Tile wrongSize(0, 0, 2, 2);
    wrongSize.tile.dwSize = 28;
    EXPECT_EQ(runOperation(RK_OP_INVERT, src, nullptr, {.mask = &wrongSize.tile}).run,
              RK_RESULT_NOT_SUPPORTED);
    Tile noBits(0, 0, 2, 2);
    noBits.tile.lpBits = nullptr;
    EXPECT_EQ(runOperation(RK_OP_INVERT, src, nullptr, {.mask = &noBits.tile}).run, RK_RESULT_NOT_SUPPORTED);
}

TEST(Frame, FirstContainingTileDecides) {
    // Tile A covers columns 0..1 and leaves them out; tile B, later in the list, covers columns
    // 0..3 and selects them all. Columns 0..1 stay, 2..3 are inverted; row 1 is outside A.
    Bitmap src = makeBitmap(24, 4, 2);
    Tile a(0, 0, 2, 1, 0);
    Tile b(0, 0, 4, 2, 255);
    a.tile.lpNext = &b.tile;
    Outcome out = runOperation(RK_OP_INVERT, src, nullptr, {.mask = &a.tile});
    ASSERT_EQ(out.run, RK_RESULT_SUCCEED);
    const int expected[2][4] = {{0, 0, 255, 255}, {255, 255, 255, 255}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(out.dst.sample(x, y, 1), expected[y][x]) << x << "," << y;
    }
}

TEST(Frame, MessagesArePerThread) {
    Bitmap src = makeBitmap(24, 2, 2);
    std::string other;
    std::thread worker([&] {
        char message[128] = {};
        ImageEntry(40, nullptr, message);
        other = message;
    });
    ImageInfo info = makeInfo(src);
    char message[128] = {};
    ImageEntry(RK_OP_INVERT, &info, message);
    worker.join();
    EXPECT_STREQ(message, "Succeed!");
    EXPECT_EQ(other, "Not support operate!");
}

// A 24-bit (or 16-bit) source needs no colour table and may come without one; no operation may
// read one for it, nor write one for a destination of more than 8 bits.
TEST(Frame, SourcesWithoutColourTable) {
    BlurParam blur{3};
    GaussianBlurParam gauss{1.5};
    SharpenParam sharpen{4, 0};
    BrightnessContrastGammaParam bcg{20, 30, 1.4};
    HueSaturationLightnessParam hsl{40.0, 20.0, 10.0, 0};
    EmbossParam emboss{2, 3, 1.0};
    MosaicParam mosaic{2, 2};
    RotateParam rotate{30, 1, 2, 3};
    SlopeParam slope{20};
    ResizeParam resize{7, 3};
    DistortAngleParam angle{45};
    RainParam rain{20, 40, 2, 60, 0xffffff};
    NoiseParam noise{30, RK_NOISE_UNIFORM};
    CloudsParam clouds{0x102030, 0xf0e0d0};
    WindParam wind{1};
    BlocksParam blocks{2};
    CustomFilterParam custom{};
    custom.weights[12] = 2;
    custom.divisor = 1;
    LightingParam light{};
    light.bumpStrength = 50;
    light.shininess = 4;
    light.ambientRed = light.ambientGreen = light.ambientBlue = 0.5f;
    light.lightCount = 1;
    light.lights[0] = {RK_LIGHT_POINT, 2, 2, 5, 0, 0, -1, 1, 1, 1, 30};
    WaveParam wave{4, 4, 1, 1};
    PinchParam pinch{50};
    DiffuseParam diffuse{2, RK_DIFFUSE_NORMAL};
    ColorAdjustParam adjust{10, -10, 5};
    ColorBalanceParam balance{{5, 0, -5}, {0, 10, 0}, {-5, 0, 5}};
    ChangeModeParam toBlackWhite{RK_MODE_TARGET_BLACK_WHITE, 0, 0};
    ChangeModeParam toGrey{RK_MODE_TARGET_GREY, 0, 0};
    ChangeModeParam toColour8{RK_MODE_TARGET_COLOR8, 0, 0};
    struct Case {
        int index;
        void* param;
    };
    const Case cases[] = {
        {RK_OP_BLUR, &blur},
        {RK_OP_GAUSSIAN_BLUR, &gauss},
        {RK_OP_SHARPEN, &sharpen},
        {RK_OP_BRIGHTNESS_CONTRAST_GAMMA, &bcg},
        {RK_OP_HUE_SATURATION_LIGHTNESS, &hsl},
        {RK_OP_EMBOSS, &emboss},
        {RK_OP_MOSAIC, &mosaic},
        {RK_OP_MIRROR_HORIZONTAL, nullptr},
        {RK_OP_FLIP_VERTICAL, nullptr},
        {RK_OP_ROTATE, &rotate},
        {RK_OP_SLOPE_HORIZONTAL, &slope},
        {RK_OP_SLOPE_VERTICAL, &slope},
        {RK_OP_RESIZE, &resize},
        {RK_OP_SPHERIZE_HORIZONTAL, &angle},
        {RK_OP_SPHERIZE_VERTICAL, &angle},
        {RK_OP_SPHERIZE, &angle},
        {RK_OP_TWIRL, &angle},
        {RK_OP_RAIN, &rain},
        {RK_OP_SNOW, reinterpret_cast<void*>(static_cast<std::intptr_t>(40))},
        {RK_OP_NOISE, &noise},
        {RK_OP_CLOUDS, &clouds},
        {RK_OP_WIND, &wind},
        {RK_OP_BLOCKS, &blocks},
        {RK_OP_CUSTOM_FILTER, &custom},
        {RK_OP_CHANGE_MODE, &toBlackWhite},
        {RK_OP_CHANGE_MODE, &toGrey},
        {RK_OP_CHANGE_MODE, &toColour8},
        {RK_OP_INVERT, nullptr},
        {RK_OP_LIGHTING_EFFECT, &light},
        {RK_OP_WAVE, &wave},
        {RK_OP_PINCH, &pinch},
        {RK_OP_FRAGMENT, nullptr},
        {RK_OP_FIND_EDGES, nullptr},
        {RK_OP_DIFFUSE, &diffuse},
        {RK_OP_COLOR_ADJUST, &adjust},
        {RK_OP_COLOR_BALANCE, &balance},
    };
    struct Layout {
        int bits;
        int planes;
    };
    for (const Layout layout : {Layout{24, 1}, Layout{24, 3}, Layout{16, 1}}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << "operation " << c.index << ", " << layout.bits << " bits in "
                                            << layout.planes << " planes");
            Bitmap src = makeBitmap(layout.bits, 9, 7, -1, layout.planes);
            fillPattern(src, 5);
            const Outcome out = runOperation(c.index, src, c.param, {.withoutTables = true});
            // Interleaved 24 bits is what every operation takes; the other layouts may be
            // refused, never answered with a crash or a read of the missing table.
            if (layout.bits == 24 && layout.planes == 1) {
                EXPECT_EQ(out.query, RK_RESULT_SUCCEED);
                EXPECT_EQ(out.run, RK_RESULT_SUCCEED);
            }
        }
    }
    // One pixel {blue 10, green 20, red 30}: brightness (3 x 30 + 6 x 20 + 10) / 10 = 22.
    Bitmap pixel = makeBitmap(24, 1, 1);
    pixel.setRgb(0, 0, 10, 20, 30);
    const Outcome grey = runOperation(RK_OP_CHANGE_MODE, pixel, &toGrey, {.withoutTables = true});
    ASSERT_EQ(grey.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(grey.dst.row(0)[0], 22);
    const Outcome blackWhite = runOperation(RK_OP_CHANGE_MODE, pixel, &toBlackWhite, {.withoutTables = true});
    ASSERT_EQ(blackWhite.run, RK_RESULT_SUCCEED);
    EXPECT_EQ(blackWhite.dst.row(0)[0], 0x80);
}

} // namespace
