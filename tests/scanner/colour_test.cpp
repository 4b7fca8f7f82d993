// A virtual colour scanner drawing the test backend's colour bars, in one pass or in three (see
// sane-colour/ and sane-three-pass/; TS_COLOUR_PASSES says which this program reads).
#include "scanner_session.h"

namespace {

struct Probe {
    uint32_t x, y; // from the top left
    uint8_t red, green, blue;
};

TEST(ScannerColour, ChannelsLandInBlueGreenRedOrder) {
    const tsscan::ScannerApi& api = scanner_test::component(tsscan::ScannerComponent::Kind::Tandemscan);
    scanner_test::OpenScanner scanner(api);
    ASSERT_TRUE(scanner.open()) << scanner.error();
    const TwainHandle h = scanner.h();
    api.SetCapImageType(h, TWAIN_TYPE_COLOR);
    api.SetCapXRes(h, 50);
    // This device's area moves in whole millimetres; the component rounds the edges outwards, so
    // 2 x 1 inches become 51 x 26 mm: 100 x 51 pixels at 50 dpi (truncated by the backend).
    api.SetScanSize(h, 0, 0, 2.0f, 1.0f);
    scanner_test::Picture picture;
    ASSERT_TRUE(api.EnableDS(h, 0, 0));
    ASSERT_EQ(scanner_test::waitForEvent(api, h), TWAIN_XFER_READY);
    uint32_t read = 0;
    uint32_t expected = 0;
    ASSERT_EQ(api.GetXferProgress(h, &read, &expected), 1);
    EXPECT_EQ(read, 51u * TS_COLOUR_PASSES);
    EXPECT_EQ(expected, 51u * TS_COLOUR_PASSES);
    ASSERT_TRUE(scanner_test::transfer(api, h, picture));
    ASSERT_EQ(picture.width(), 100u);
    ASSERT_EQ(picture.height(), 51u);
    ASSERT_EQ(picture.bitCount(), 24);
    // Where the backend draws its gray frame and its red, green and blue bars at 50 dpi.
    for (const Probe& p :
         {Probe{0, 0, 85, 85, 85}, Probe{2, 2, 0, 0, 0}, Probe{2, 6, 255, 0, 0}, Probe{2, 16, 0, 255, 0},
          Probe{2, 26, 0, 0, 255}, Probe{2, 36, 255, 0, 0}, Probe{60, 20, 85, 85, 85}}) {
        const uint8_t* pixel = picture.pixels.data() + std::size_t{50 - p.y} * picture.stride() + 3 * p.x;
        EXPECT_EQ(pixel[0], p.blue) << p.x << "," << p.y;
        EXPECT_EQ(pixel[1], p.green) << p.x << "," << p.y;
        EXPECT_EQ(pixel[2], p.red) << p.x << "," << p.y;
    }
}

} // namespace
