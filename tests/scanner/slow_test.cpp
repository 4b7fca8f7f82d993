// A virtual scanner that pauses before each block of data (see sane-slow/test.conf), so that a
// scan can be watched and stopped while it runs.
#include "scanner_session.h"

#include <atomic>

namespace {

using scanner_test::OpenScanner;
using scanner_test::Picture;
using tsscan::ScannerApi;
using Kind = tsscan::ScannerComponent::Kind;

const ScannerApi& rezuzid() {
    return scanner_test::component(Kind::Tandemscan);
}

// Gray, 75 dpi, letter width by 11 inches: 637 x 825 pixels in several blocks.
void letterSettings(const ScannerApi& api, TwainHandle h) {
    api.SetCapImageType(h, TWAIN_TYPE_GRAY);
    api.SetCapXRes(h, 75);
    api.SetScanSize(h, 0, 0, 8.5f, 11.0f);
}

uint32_t waitForExpectedRows(const ScannerApi& api, TwainHandle h) {
    uint32_t read = 0;
    uint32_t expected = 0;
    for (int i = 0; i < 5000 && expected == 0; ++i) {
        EXPECT_EQ(api.GetXferProgress(h, &read, &expected), 1);
        if (expected == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_LE(read, expected);
    return expected;
}

TEST(ScannerWhileRunning, CancelStopsTheDeviceCleanly) {
    const ScannerApi& api = rezuzid();
    OpenScanner scanner(api);
    ASSERT_TRUE(scanner.open()) << scanner.error();
    const TwainHandle h = scanner.h();
    letterSettings(api, h);
    ASSERT_EQ(api.EnableDS(h, 0, 0), 1);
    EXPECT_EQ(waitForExpectedRows(api, h), 825u);
    ASSERT_EQ(api.CancelXfer(h), 1);
    EXPECT_EQ(api.TwainFilter(h, nullptr), 0); // nothing is announced after a cancel
    std::vector<uint8_t> header(TWAIN_HEADER_BLOCK_SIZE);
    TwainXferResult result{};
    EXPECT_EQ(api.DoMemXfer(h, header.data(), nullptr, &result), 0);
    EXPECT_STREQ(api.GetTwainErrorMessage(h), "The scan was cancelled.");
    EXPECT_EQ(api.DisableDS(h, 1, 0), 1);

    // The device takes the next scan as if nothing had happened.
    api.SetScanSize(h, 0, 0, 1.0f, 1.0f);
    Picture picture;
    ASSERT_TRUE(scanner.scan(picture)) << scanner.error();
    EXPECT_EQ(picture.width(), 75u);
    EXPECT_EQ(picture.height(), 75u);
}

TEST(ScannerWhileRunning, ClosingWhileScanningStopsTheScan) {
    const ScannerApi& api = rezuzid();
    for (int closeWith : {0, 1, 2}) {
        OpenScanner scanner(api);
        ASSERT_TRUE(scanner.open());
        const TwainHandle h = scanner.h();
        letterSettings(api, h);
        ASSERT_EQ(api.EnableDS(h, 0, 0), 1);
        waitForExpectedRows(api, h);
        switch (closeWith) {
        case 0:
            EXPECT_EQ(api.DisableDS(h, 0, 0), 1);
            break;
        case 1:
            EXPECT_EQ(api.CloseDS(h), 1);
            break;
        default:
            EXPECT_EQ(api.CloseSM(h, 0), 1);
            break;
        }
        EXPECT_EQ(api.TwainFilter(h, nullptr), 0) << closeWith;
    }
}

TEST(ScannerWhileRunning, NotifiesTheWindowWhenTheScanEnds) {
    const ScannerApi& api = rezuzid();
    OpenScanner scanner(api);
    ASSERT_TRUE(scanner.open());
    const TwainHandle h = scanner.h();
    std::atomic<int> calls{0};
    ASSERT_EQ(api.SetXferNotify(
                  h, [](void* context) { ++*static_cast<std::atomic<int>*>(context); }, &calls),
              1);
    api.SetScanSize(h, 0, 0, 0.5f, 0.5f);
    Picture picture;
    ASSERT_TRUE(scanner.scan(picture));
    EXPECT_EQ(calls.load(), 1);
    uint32_t read = 0;
    uint32_t expected = 0;
    // The counters stay readable until the source is enabled again; the scan took 25 rows.
    ASSERT_EQ(api.EnableDS(h, 0, 0), 1);
    ASSERT_EQ(scanner_test::waitForEvent(api, h), TWAIN_XFER_READY);
    ASSERT_EQ(api.GetXferProgress(h, &read, &expected), 1);
    EXPECT_EQ(read, 25u);
    EXPECT_EQ(expected, 25u);
    EXPECT_EQ(calls.load(), 2);
}

} // namespace
