// The scanner components over SANE's test backend: twelve virtual scanners drawing a grid of
// 10 mm black and white squares, white at the top left (see sane/test.conf).
#include "scanner_session.h"

#include <cmath>
#include <cstdlib>
#include <functional>

namespace {

using scanner_test::OpenScanner;
using scanner_test::Picture;
using tsscan::ScannerApi;
using Kind = tsscan::ScannerComponent::Kind;

const ScannerApi& rezuzid() {
    return scanner_test::component(Kind::Tandemscan);
}
const ScannerApi& twaintx() {
    return scanner_test::component(Kind::Tilex);
}

TEST(ScannerComponent, TandemscanFillsTenOfTwelveNames) {
    const ScannerApi& api = rezuzid();
    tsscan::ScannerConnection connection(api);
    ASSERT_TRUE(connection.start());
    char names[TWAIN_MAX_DRIVERS][TWAIN_NAME_SIZE];
    std::memset(names, 'x', sizeof names);
    char work[TWAIN_WORK_SIZE] = {};
    ASSERT_EQ(api.GetAllDriverName(connection.handle(), names, work), 1);
    EXPECT_STREQ(names[0], "Lumiview Noname frontend-tester");
    EXPECT_STREQ(names[1], "Lumiview Noname frontend-teste #2");
    EXPECT_STREQ(names[9], "Lumiview Noname frontend-test #10");
    for (const auto& slot : names) {
        for (std::size_t i = std::strlen(slot); i < TWAIN_NAME_SIZE; ++i)
            ASSERT_EQ(slot[i], '\0');
    }
    EXPECT_STREQ(work, "test:0");
    // Every name opens its own device, and an unknown one nothing.
    for (const auto& slot : names) {
        ASSERT_EQ(api.OpenDS(connection.handle(), slot), 1) << slot;
        ASSERT_EQ(api.CloseDS(connection.handle()), 1);
    }
    EXPECT_EQ(api.OpenDS(connection.handle(), "Lumiview Noname frontend-test #11"), 0);
    EXPECT_STREQ(api.GetTwainErrorMessage(connection.handle()),
                 "No scanner is offered under the name \"Lumiview Noname frontend-test #11\".");
    EXPECT_EQ(api.OpenDS(connection.handle(), "test:0"), 0);
}

TEST(ScannerComponent, PuzzleWalksThirtyTwoByteNames) {
    const ScannerApi& api = twaintx();
    EXPECT_EQ(api.GetAllDriverName, nullptr); // not offered by the puzzle's component
    tsscan::ScannerConnection connection(api);
    ASSERT_TRUE(connection.start());
    const TwainHandle h = connection.handle();
    char name[TWAIN_TILEX_NAME_SIZE];
    EXPECT_EQ(api.GetNextDriverName(h, name, 0), 0); // before the first
    ASSERT_EQ(api.GetFirstDriverName(h, name, 0), 1);
    EXPECT_STREQ(name, "Lumiview Noname frontend-tester");
    std::vector<std::string> seen{name};
    while (api.GetNextDriverName(h, name, 0))
        seen.emplace_back(name);
    ASSERT_EQ(seen.size(), 10u);
    EXPECT_EQ(seen[1], "Lumiview Noname frontend-tes #2");
    EXPECT_EQ(seen[9], "Lumiview Noname frontend-te #10");
    EXPECT_STREQ(api.GetTwainErrorMessage(h), "There are no more scanners.");

    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(api.GetFirstDriverName(h, small, sizeof small), 0);
    EXPECT_EQ(small[0], 'x'); // nothing written

    ASSERT_EQ(api.GetDefaultDriverName(h, name, 0), 1);
    EXPECT_STREQ(name, "Lumiview Noname frontend-tester");
    setenv("SANE_DEFAULT_DEVICE", "test:3", 1);
    ASSERT_EQ(api.GetDefaultDriverName(h, name, 0), 1);
    unsetenv("SANE_DEFAULT_DEVICE");
    EXPECT_STREQ(name, "Lumiview Noname frontend-tes #4");
}

struct ScanCase {
    int32_t type;
    int32_t dpi;
    uint16_t bitCount;
    uint32_t colorsUsed;
    uint32_t stride; // of a 2-inch row
    uint8_t white;   // the index or value of a white pixel's first byte
};

TEST(ScannerComponent, ScansEachTypeAtTwoResolutions) {
    const ScanCase cases[] = {
        {TWAIN_TYPE_LINEART, 75, 1, 2, 20, 0xFF}, {TWAIN_TYPE_LINEART, 150, 1, 2, 40, 0xFF},
        {TWAIN_TYPE_GRAY, 75, 8, 256, 152, 255},  {TWAIN_TYPE_GRAY, 150, 8, 256, 300, 255},
        {TWAIN_TYPE_COLOR, 75, 24, 0, 452, 255},  {TWAIN_TYPE_COLOR, 150, 24, 0, 900, 255},
    };
    for (const ScanCase& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " at " + std::to_string(c.dpi) + " dpi");
        const ScannerApi& api = rezuzid();
        OpenScanner scanner(api);
        ASSERT_TRUE(scanner.open()) << scanner.error();
        const TwainHandle h = scanner.h();
        // The order the main window uses.
        ASSERT_EQ(api.EnableCustomCap(h, 1), 1);
        ASSERT_EQ(api.SetCapDescreen(h, 85), 1);
        ASSERT_EQ(api.SetCapXRes(h, c.dpi), 1);
        ASSERT_EQ(api.SetCapYRes(h, c.dpi), 1);
        ASSERT_EQ(api.SetCapImageType(h, c.type), 1);
        ASSERT_EQ(api.SetScanSize(h, 0, 0, 2.0f, 1.0f), 1);
        Picture picture;
        ASSERT_TRUE(scanner.scan(picture)) << scanner.error();

        const uint32_t width = 2 * static_cast<uint32_t>(c.dpi);
        const uint32_t height = static_cast<uint32_t>(c.dpi);
        EXPECT_EQ(picture.field32(0), 40u);
        EXPECT_EQ(picture.width(), width);
        EXPECT_EQ(picture.height(), height);
        EXPECT_EQ(picture.field16(12), 1);
        EXPECT_EQ(picture.bitCount(), c.bitCount);
        EXPECT_EQ(picture.field32(16), 0u);
        EXPECT_EQ(picture.field32(20), c.stride * height);
        EXPECT_EQ(picture.field32(24), c.dpi == 75 ? 2953u : 5906u);
        EXPECT_EQ(picture.field32(28), c.dpi == 75 ? 2953u : 5906u);
        EXPECT_EQ(picture.field32(32), c.colorsUsed);
        EXPECT_EQ(picture.pixels.size(), std::size_t{c.stride} * height);
        for (std::size_t i = 40 + 4 * std::size_t{c.colorsUsed}; i < 1064 && c.colorsUsed < 256; ++i) {
            ASSERT_EQ(picture.header[i], 0) << "palette byte " << i;
        }
        // Square centres 5 and 15 mm from the top left: white, black / black, white. The top of the
        // picture is the last row of the block.
        const auto px = [&](double mm) { return static_cast<uint32_t>(mm * c.dpi / 25.4); };
        EXPECT_EQ(picture.intensity(px(5), px(5)), 255);
        EXPECT_EQ(picture.intensity(px(15), px(5)), 0);
        EXPECT_EQ(picture.intensity(px(5), px(15)), 0);
        EXPECT_EQ(picture.intensity(px(15), px(15)), 255);
        EXPECT_EQ(picture.pixels[std::size_t{height - 1} * c.stride], c.white); // top-left byte
        // Row padding is zero.
        for (uint32_t y = 0; y < height; ++y) {
            const std::size_t used = (std::size_t{width} * c.bitCount + 7) / 8;
            for (std::size_t i = used; i < c.stride; ++i)
                ASSERT_EQ(picture.pixels[y * c.stride + i], 0);
        }
    }
}

struct AreaCase {
    const char* what;
    std::function<void(const ScannerApi&, TwainHandle)> settings;
    uint32_t width;
    uint32_t height;
    uint32_t xPelsPerMeter;
};

TEST(ScannerComponent, AreaResolutionAndScaleReachTheDevice) {
    const AreaCase cases[] = {
        {"letter width by 2970 tenths of a mm",
         [](const ScannerApi& api, TwainHandle h) {
             api.SetCapXRes(h, 75);
             api.SetScanSize(h, 0, 0, 8.5f, 2970 / 254.0f);
         },
         637, 876, 2953},
        {"the whole glass when no area is set",
         [](const ScannerApi& api, TwainHandle h) { api.SetCapXRes(h, 75); }, 885, 885, 2953},
        {"an area from an offset",
         [](const ScannerApi& api, TwainHandle h) {
             api.SetCapXRes(h, 100);
             api.SetScanSize(h, 1.0f, 2.0f, 0.5f, 0.25f);
         },
         50, 25, 3937},
        {"an area past the glass is cut to it",
         [](const ScannerApi& api, TwainHandle h) {
             api.SetCapXRes(h, 25);
             api.SetScanSize(h, 0, 0, 20.0f, 30.0f);
         },
         295, 295, 984},
        {"200% scale scans twice the pixels at the same stated resolution",
         [](const ScannerApi& api, TwainHandle h) {
             api.SetCapXRes(h, 75);
             api.SetCapXScale(h, 200);
             api.SetCapYScale(h, 200);
             api.SetScanSize(h, 0, 0, 1.0f, 1.0f);
         },
         150, 150, 2953},
    };
    for (const AreaCase& c : cases) {
        SCOPED_TRACE(c.what);
        const ScannerApi& api = rezuzid();
        OpenScanner scanner(api);
        ASSERT_TRUE(scanner.open()) << scanner.error();
        ASSERT_EQ(api.SetCapImageType(scanner.h(), TWAIN_TYPE_GRAY), 1);
        c.settings(api, scanner.h());
        Picture picture;
        ASSERT_TRUE(scanner.scan(picture)) << scanner.error();
        EXPECT_EQ(picture.width(), c.width);
        EXPECT_EQ(picture.height(), c.height);
        EXPECT_EQ(picture.field32(24), c.xPelsPerMeter);
    }
}

TEST(ScannerComponent, ThresholdReachesLineart) {
    const ScannerApi& api = rezuzid();
    for (int32_t custom : {0, 1}) {
        OpenScanner scanner(api);
        ASSERT_TRUE(scanner.open());
        api.SetCapImageType(scanner.h(), TWAIN_TYPE_LINEART);
        api.SetCapXRes(scanner.h(), 75);
        api.SetScanSize(scanner.h(), 0, 0, 1.0f, 1.0f);
        api.SetCapThreshold(scanner.h(), 0); // everything is at or above 0: all white
        api.EnableCustomCap(scanner.h(), custom);
        Picture picture;
        ASSERT_TRUE(scanner.scan(picture));
        // Without custom settings the threshold stays at 128 and the grid shows.
        EXPECT_EQ(picture.intensity(40, 10), custom ? 255 : 0) << "custom " << custom;
    }
}

TEST(ScannerComponent, ReportsRangesFromTheDevice) {
    const ScannerApi& api = rezuzid();
    OpenScanner scanner(api);
    ASSERT_TRUE(scanner.open());
    const TwainHandle h = scanner.h();
    float low = 0, high = 0, step = 0;
    ASSERT_EQ(api.GetResRange(h, &low, &high, &step), 1);
    EXPECT_EQ(low, 1.0f);
    EXPECT_EQ(high, 1200.0f);
    EXPECT_EQ(step, 1.0f);
    ASSERT_EQ(api.GetMaxScanArea(h, &low, &high), 1);
    EXPECT_FLOAT_EQ(low, 300 / 25.4f);
    EXPECT_FLOAT_EQ(high, 300 / 25.4f);
    api.SetCapXRes(h, 150);
    ASSERT_EQ(api.GetScaleRange(h, &low, &high), 1);
    EXPECT_FLOAT_EQ(low, 1.0f); // 100 x 1 / 150 is below the least scale
    EXPECT_FLOAT_EQ(high, 800.0f);
    uint32_t types = 0;
    int32_t current = -1;
    ASSERT_EQ(api.GetCapImageType(h, &types, &current), 1);
    EXPECT_EQ(types, 7u); // gray and colour; line-art from gray
    EXPECT_EQ(current, TWAIN_TYPE_COLOR);
    api.SetCapImageType(h, TWAIN_TYPE_GRAY);
    ASSERT_EQ(api.GetCapImageType(h, nullptr, &current), 1);
    EXPECT_EQ(current, TWAIN_TYPE_GRAY);

    struct Cap {
        uint32_t id;
        int offered;
    };
    for (const Cap& cap :
         {Cap{TWAIN_CAP_IMAGE_TYPE, 1}, Cap{TWAIN_CAP_RESOLUTION, 1}, Cap{TWAIN_CAP_SCALE, 1},
          Cap{TWAIN_CAP_SCAN_AREA, 1}, Cap{TWAIN_CAP_BRIGHTNESS, 0}, Cap{TWAIN_CAP_CONTRAST, 0},
          Cap{TWAIN_CAP_THRESHOLD, 0}, Cap{TWAIN_CAP_COLOR_WIZARD, 0}, Cap{TWAIN_CAP_DESCREEN, 0},
          Cap{TWAIN_CAP_GAMMA, 0}, Cap{TWAIN_CAP_AUTO_DENSITY, 0}, Cap{0, 0}, Cap{12, 0}}) {
        EXPECT_EQ(api.SupportCAP(h, cap.id), cap.offered) << "capability " << cap.id;
    }
}

TEST(ScannerComponent, SettersRefuseValuesOutOfRange) {
    const ScannerApi& api = rezuzid();
    OpenScanner scanner(api);
    ASSERT_TRUE(scanner.open());
    const TwainHandle h = scanner.h();
    struct Setter {
        const char* what;
        std::function<int()> call;
        int result;
    };
    const float nan = std::nanf("");
    const Setter setters[] = {
        {"type -1", [&] { return api.SetCapImageType(h, -1); }, 0},
        {"type 3", [&] { return api.SetCapImageType(h, 3); }, 0},
        {"type 0", [&] { return api.SetCapImageType(h, 0); }, 1},
        {"0 dpi", [&] { return api.SetCapXRes(h, 0); }, 0},
        {"9601 dpi", [&] { return api.SetCapYRes(h, 9601); }, 0},
        {"9600 dpi", [&] { return api.SetCapYRes(h, 9600); }, 1},
        {"scale 0", [&] { return api.SetCapXScale(h, 0); }, 0},
        {"scale 1001", [&] { return api.SetCapYScale(h, 1001); }, 0},
        {"negative area", [&] { return api.SetScanSize(h, -1, 0, 1, 1); }, 0},
        {"empty area", [&] { return api.SetScanSize(h, 0, 0, 0, 1); }, 0},
        {"NaN area", [&] { return api.SetScanSize(h, 0, 0, nan, 1); }, 0},
        {"brightness 101", [&] { return api.SetCapBrightness(h, 101); }, 0},
        {"brightness -100", [&] { return api.SetCapBrightness(h, -100); }, 1},
        {"contrast -101", [&] { return api.SetCapContrast(h, -101); }, 0},
        {"threshold 256", [&] { return api.SetCapThreshold(h, 256); }, 0},
        {"descreen -1", [&] { return api.SetCapDescreen(h, -1); }, 0},
        {"descreen 0", [&] { return api.SetCapDescreen(h, 0); }, 1},
        {"gamma 0.05", [&] { return api.SetCapGamma(h, 0.05f); }, 0},
        {"gamma NaN", [&] { return api.SetCapGamma(h, nan); }, 0},
        {"gamma 2.2", [&] { return api.SetCapGamma(h, 2.2f); }, 1},
        {"band of 0 rows", [&] { return api.SetMemBandSize(h, 0); }, 0},
        {"colour wizard", [&] { return api.SetCapColorWizard(h, 1); }, 1},
        {"auto density", [&] { return api.SetCapAutoDensity(h, 1); }, 1},
        {"no pop-ups", [&] { return api.DoDisablePopupDlg(h, 1); }, 1},
    };
    for (const Setter& s : setters) {
        EXPECT_EQ(s.call(), s.result) << s.what;
        if (s.result == 0) {
            EXPECT_STRNE(api.GetTwainErrorMessage(h), "") << s.what;
        }
    }
}

TEST(ScannerComponent, CallsOutOfOrderFailHarmlessly) {
    const ScannerApi& api = rezuzid();
    EXPECT_EQ(api.NewTwain(nullptr), 0);
    TwainHandle h = 0;
    ASSERT_EQ(api.NewTwain(&h), 1);
    ASSERT_NE(h, 0u);
    char name[TWAIN_NAME_SIZE] = {};
    Picture picture;
    picture.header.resize(TWAIN_HEADER_BLOCK_SIZE);
    TwainXferResult result{};
    struct Step {
        const char* what;
        std::function<int()> call;
        int result;
    };
    const Step steps[] = {
        {"OpenSM before LoadSM", [&] { return api.OpenSM(h, 0); }, 0},
        {"UnloadSM before LoadSM", [&] { return api.UnloadSM(h); }, 0},
        {"LoadSM", [&] { return api.LoadSM(h); }, 1},
        {"LoadSM again", [&] { return api.LoadSM(h); }, 0},
        {"names before OpenSM", [&] { return api.GetFirstDriverName(h, name, 0); }, 0},
        {"OpenDS before OpenSM", [&] { return api.OpenDS(h, "Lumiview Noname frontend-tester"); }, 0},
        {"OpenSM", [&] { return api.OpenSM(h, 0); }, 1},
        {"OpenSM again", [&] { return api.OpenSM(h, 0); }, 0},
        {"setting before OpenDS", [&] { return api.SetCapXRes(h, 75); }, 0},
        {"range before OpenDS", [&] { return api.GetResRange(h, nullptr, nullptr, nullptr); }, 0},
        {"EnableDS before OpenDS", [&] { return api.EnableDS(h, 0, 0); }, 0},
        {"DisableDS before OpenDS", [&] { return api.DisableDS(h, 0, 0); }, 0},
        {"CloseDS before OpenDS", [&] { return api.CloseDS(h); }, 0},
        {"OpenDS without a name", [&] { return api.OpenDS(h, nullptr); }, 0},
        {"OpenDS", [&] { return api.OpenDS(h, "Lumiview Noname frontend-tester"); }, 1},
        {"OpenDS again", [&] { return api.OpenDS(h, "Lumiview Noname frontend-tester"); }, 0},
        {"DoMemXfer before EnableDS",
         [&] { return api.DoMemXfer(h, picture.header.data(), nullptr, &result); }, 0},
        {"no event before EnableDS", [&] { return int{api.TwainFilter(h, nullptr)}; }, 0},
        {"progress before EnableDS", [&] { return api.GetXferProgress(h, nullptr, nullptr); }, 0},
        {"EndXfer before EnableDS", [&] { return api.EndXfer(h); }, 0},
        {"small area", [&] { return api.SetScanSize(h, 0, 0, 0.5f, 0.5f); }, 1},
        {"EnableDS", [&] { return api.EnableDS(h, 0, 0); }, 1},
        {"EnableDS again", [&] { return api.EnableDS(h, 0, 0); }, 0},
        {"setting while scanning", [&] { return api.SetCapImageType(h, 1); }, 0},
        {"transfer ready", [&] { return int{scanner_test::waitForEvent(api, h)}; }, TWAIN_XFER_READY},
        {"reported once", [&] { return int{api.TwainFilter(h, nullptr)}; }, 0},
        {"DoMemXfer without a header", [&] { return api.DoMemXfer(h, nullptr, nullptr, &result); }, 0},
        {"DoMemXfer without result words",
         [&] { return api.DoMemXfer(h, picture.header.data(), nullptr, nullptr); }, 0},
        {"CancelXfer after the end", [&] { return api.CancelXfer(h); }, 0},
        {"DoMemXfer", [&] { return api.DoMemXfer(h, picture.header.data(), nullptr, &result); }, 1},
        {"EndXfer", [&] { return api.EndXfer(h); }, 1},
        {"DoMemXfer after EndXfer", [&] { return api.DoMemXfer(h, picture.header.data(), nullptr, &result); },
         0},
        {"DisableDS", [&] { return api.DisableDS(h, 0, 0); }, 1},
        {"DisableDS again", [&] { return api.DisableDS(h, 0, 0); }, 0},
        {"CloseDS", [&] { return api.CloseDS(h); }, 1},
        {"CloseDS again", [&] { return api.CloseDS(h); }, 0},
        {"CloseSM", [&] { return api.CloseSM(h, 0); }, 1},
        {"UnloadSM", [&] { return api.UnloadSM(h); }, 1},
        {"FreeTwain", [&] { return api.FreeTwain(h); }, 1},
        {"FreeTwain again", [&] { return api.FreeTwain(h); }, 0},
        {"LoadSM after FreeTwain", [&] { return api.LoadSM(h); }, 0},
        {"no event after FreeTwain", [&] { return int{api.TwainFilter(h, nullptr)}; }, 0},
        {"no handle 0", [&] { return api.LoadSM(0); }, 0},
    };
    for (const Step& step : steps) {
        ASSERT_EQ(step.call(), step.result) << step.what << ": " << api.GetTwainErrorMessage(h);
    }
    EXPECT_STREQ(api.GetTwainErrorMessage(h), "No such connection: the handle is unknown or was freed.");
}

TEST(ScannerComponent, FreeTwainClosesAnOpenScan) {
    // A connection left scanning is wound down completely by FreeTwain, and SANE can be used again.
    const ScannerApi& api = rezuzid();
    TwainHandle h = 0;
    ASSERT_EQ(api.NewTwain(&h), 1);
    ASSERT_EQ(api.LoadSM(h), 1);
    ASSERT_EQ(api.OpenSM(h, 0), 1);
    ASSERT_EQ(api.OpenDS(h, "Lumiview Noname frontend-tester"), 1);
    ASSERT_EQ(api.EnableDS(h, 0, 0), 1);
    ASSERT_EQ(api.FreeTwain(h), 1);
    OpenScanner again(api);
    ASSERT_TRUE(again.open()) << again.error();
    api.SetScanSize(again.h(), 0, 0, 0.5f, 0.5f);
    Picture picture;
    EXPECT_TRUE(again.scan(picture)) << again.error();
}

TEST(ScannerComponent, BandsCoverThePictureFromTheTop) {
    const ScannerApi& api = rezuzid();
    OpenScanner scanner(api);
    ASSERT_TRUE(scanner.open());
    const TwainHandle h = scanner.h();
    api.SetCapImageType(h, TWAIN_TYPE_GRAY);
    api.SetCapXRes(h, 100);
    api.SetScanSize(h, 0, 0, 0.3f, 0.25f); // 30 x 25 pixels
    ASSERT_EQ(api.SetMemBandSize(h, 10), 1);
    ASSERT_EQ(api.EnableDS(h, 0, 0), 1);
    ASSERT_EQ(scanner_test::waitForEvent(api, h), TWAIN_XFER_READY);
    Picture whole;
    ASSERT_TRUE(scanner_test::transfer(api, h, whole));
    ASSERT_EQ(whole.height(), 25u);
    std::vector<uint8_t> header(TWAIN_HEADER_BLOCK_SIZE);
    std::vector<uint32_t> heights;
    uint32_t top = 0;
    for (TwainXferResult result{0, 1}; result.morePending;) {
        ASSERT_EQ(api.DoMemBandXfer(h, header.data(), nullptr, &result), 1);
        std::vector<uint8_t> band(result.byteCount);
        ASSERT_EQ(api.DoMemBandXfer(h, header.data(), band.data(), &result), 1);
        Picture part{header, band};
        heights.push_back(part.height());
        ASSERT_EQ(band.size(), std::size_t{part.height()} * 32);
        for (uint32_t y = 0; y < part.height(); ++y) {
            for (uint32_t x = 0; x < 30; ++x)
                ASSERT_EQ(part.intensity(x, y), whole.intensity(x, top + y));
        }
        top += part.height();
    }
    EXPECT_EQ(heights, (std::vector<uint32_t>{10, 10, 5}));
    EXPECT_EQ(api.DoMemBandXfer(h, header.data(), nullptr, nullptr), 0);
}

} // namespace
