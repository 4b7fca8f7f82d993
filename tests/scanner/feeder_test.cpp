// A virtual scanner whose document feeder runs empty after ten sheets (see sane-feeder/test.conf).
#include "scanner_session.h"

namespace {

TEST(ScannerFeeder, AScanThatCannotStartFailsItsTransfer) {
    const tsscan::ScannerApi& api = scanner_test::component(tsscan::ScannerComponent::Kind::Tandemscan);
    scanner_test::OpenScanner scanner(api);
    ASSERT_TRUE(scanner.open()) << scanner.error();
    const TwainHandle h = scanner.h();
    api.SetCapXRes(h, 50);
    api.SetScanSize(h, 0, 0, 0.5f, 0.5f);
    for (int sheet = 1; sheet <= 10; ++sheet) {
        scanner_test::Picture picture;
        ASSERT_TRUE(scanner.scan(picture)) << "sheet " << sheet << ": " << scanner.error();
        EXPECT_EQ(picture.width(), 25u);
    }
    ASSERT_EQ(api.EnableDS(h, 0, 0), 1);
    ASSERT_EQ(scanner_test::waitForEvent(api, h), TWAIN_XFER_READY);
    std::vector<uint8_t> header(TWAIN_HEADER_BLOCK_SIZE);
    TwainXferResult result{};
    EXPECT_EQ(api.DoMemXfer(h, header.data(), nullptr, &result), 0);
    EXPECT_STREQ(api.GetTwainErrorMessage(h),
                 "The scanner could not start: Document feeder out of documents.");
    EXPECT_EQ(api.DisableDS(h, 1, 0), 1);
}

} // namespace
