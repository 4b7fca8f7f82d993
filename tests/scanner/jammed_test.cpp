// A virtual scanner whose every read fails as a paper jam (see sane-jammed/test.conf).
#include "scanner_session.h"

namespace {

using tsscan::ScannerApi;
using Kind = tsscan::ScannerComponent::Kind;

TEST(ScannerFailing, AJammedReadFailsTheTransferAndFreesTheDevice) {
    for (Kind kind : {Kind::Tandemscan, Kind::Tilex}) {
        const ScannerApi& api = scanner_test::component(kind);
        scanner_test::OpenScanner scanner(api);
        ASSERT_TRUE(scanner.open()) << scanner.error();
        const TwainHandle h = scanner.h();
        for (int attempt = 0; attempt < 2; ++attempt) {
            ASSERT_EQ(api.EnableDS(h, 1, 0), 1);
            // The end of the scan is announced as a transfer, which then fails with the reason.
            ASSERT_EQ(scanner_test::waitForEvent(api, h), TWAIN_XFER_READY);
            std::vector<uint8_t> header(TWAIN_HEADER_BLOCK_SIZE, 0);
            TwainXferResult result{5, 5};
            EXPECT_EQ(api.DoMemXfer(h, header.data(), nullptr, &result), 0);
            EXPECT_STREQ(api.GetTwainErrorMessage(h), "The scanner stopped: Document feeder jammed.");
            EXPECT_EQ(result.byteCount, 5u); // untouched
            EXPECT_EQ(api.DisableDS(h, 1, 0), 1);
        }
    }
}

} // namespace
