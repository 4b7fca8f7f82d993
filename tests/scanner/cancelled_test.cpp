// A virtual scanner that ends every scan by itself (see sane-cancelled/test.conf): the component
// asks to be closed instead of offering a transfer.
#include "scanner_session.h"

namespace {

using tsscan::ScannerApi;
using Kind = tsscan::ScannerComponent::Kind;

TEST(ScannerEndedByDevice, AsksToBeClosedAndClosesInOrder) {
    for (Kind kind : {Kind::Tandemscan, Kind::Tilex}) {
        const ScannerApi& api = scanner_test::component(kind);
        TwainHandle h = 0;
        ASSERT_EQ(api.NewTwain(&h), 1);
        ASSERT_EQ(api.LoadSM(h), 1);
        ASSERT_EQ(api.OpenSM(h, 0), 1);
        char name[TWAIN_TILEX_NAME_SIZE] = {};
        ASSERT_EQ(api.GetFirstDriverName(h, name, sizeof name), 1);
        ASSERT_EQ(api.OpenDS(h, name), 1);
        ASSERT_EQ(api.EnableDS(h, 1, 0), 1);
        EXPECT_EQ(scanner_test::waitForEvent(api, h), TWAIN_CLOSE_REQUEST);
        EXPECT_EQ(api.TwainFilter(h, nullptr), 0); // asked once
        std::vector<uint8_t> header(TWAIN_HEADER_BLOCK_SIZE);
        TwainXferResult result{};
        EXPECT_EQ(api.DoMemXfer(h, header.data(), nullptr, &result), 0);
        // The order both programs use after a close request.
        EXPECT_EQ(api.DisableDS(h, 0, 0), 1);
        EXPECT_EQ(api.CloseDS(h), 1);
        EXPECT_EQ(api.CloseSM(h, 0), 1);
        EXPECT_EQ(api.UnloadSM(h), 1);
        EXPECT_EQ(api.FreeTwain(h), 1);
    }
}

} // namespace
