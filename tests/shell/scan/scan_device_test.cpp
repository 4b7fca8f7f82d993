// Scanning parts with the real scanner component over SANE's test backend, written through the
// real image file component. Each program of this source sees one virtual device (its SANE
// folder is chosen in CMakeLists.txt): a plain one, a slow one, one that ends every scan by
// itself, and one whose reads fail.
#include "engine/image_file.h"
#include "scan/scan_acquisition.h"
#include "scanner_session.h"
#include "temp_dir.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace tandemscan {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

const std::string firstDriver = "Lumiview Noname frontend-tester";

// The component's connection and its SANE backend stay loaded for the whole program, as in the
// component's own tests, so that the acquisition's unloading only drops its own reference.
void keepComponentLoaded() {
    scanner_test::component(tsscan::ScannerComponent::Kind::Tandemscan);
}

std::shared_ptr<ImageFileLibrary> imageFiles() {
    std::string why;
    static std::shared_ptr<ImageFileLibrary> library = ImageFileLibrary::load(TS_PROGRAM_DIR, &why);
    EXPECT_TRUE(library) << why;
    return library;
}

struct Rig {
    TempDir dir;
    std::vector<ScanResult> notices;
    std::atomic<int> wakes{0};
    ScanAcquisition scan{scannerModuleFile(fs::path(TS_PROGRAM_DIR) / "RezuzID.so"), dir.path,
                         imageFileWriter(imageFiles())};

    Rig() {
        keepComponentLoaded();
        scan.setNoticeHandler([this](ScanResult r) { notices.push_back(r); });
        scan.setWakeHandler([this] { wakes.fetch_add(1); });
    }

    // Waits for the worker's wake-up as a window would, then offers the event. False when no
    // wake-up came within 20 seconds or the event did not end the scan.
    bool waitForEnd() {
        for (int i = 0; i < 20000 && wakes.load() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return wakes.load() > 0 && scan.filterEvent();
    }

    HeaderBlock readBack(int side) {
        HeaderBlock header{};
        auto reader = imageFiles()->newInstance();
        EXPECT_TRUE(reader && reader->readHeader(scan.partFile(side), header)) << scan.partFile(side);
        return header;
    }
};

ScanRequest request(int side, int type, int dpi, float heightInches) {
    ScanRequest r;
    r.driverName = firstDriver;
    r.side = side;
    r.imageType = type;
    r.resolution = dpi;
    r.heightInches = heightInches;
    return r;
}

#if defined(TS_SCAN_DEVICE_PLAIN)

TEST(ScanOnTestDevice, EachTypeAndResolutionGivesItsDepthSizeAndResolution) {
    struct Case {
        int type;
        int dpi;
        int side;
        std::uint16_t bits;
        std::int32_t width;  // 8.5 inches
        std::int32_t height; // 2 inches
        std::int32_t pelsPerMeter;
    };
    const Case cases[] = {
        {0, 75, 0, 1, 637, 150, 2953},   {1, 75, 1, 8, 637, 150, 2953},   {2, 75, 0, 24, 637, 150, 2953},
        {0, 150, 1, 1, 1275, 300, 5906}, {1, 150, 0, 8, 1275, 300, 5906}, {2, 150, 1, 24, 1275, 300, 5906},
    };
    Rig rig;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " at " + std::to_string(c.dpi));
        rig.wakes = 0;
        rig.notices.clear();
        ASSERT_TRUE(rig.scan.start(request(c.side, c.type, c.dpi, 2.0f)))
            << scanFailureText(rig.scan.failure()) << " " << rig.scan.failureDetail();
        EXPECT_TRUE(fs::exists(rig.scan.dataFile()));
        ASSERT_TRUE(rig.waitForEnd());
        EXPECT_EQ(rig.notices, (std::vector<ScanResult>{ScanResult::PartReady})) << rig.scan.failureDetail();
        EXPECT_FALSE(fs::exists(rig.scan.dataFile()));
        const HeaderBlock header = rig.readBack(c.side);
        EXPECT_EQ(header.header.bitCount, c.bits);
        EXPECT_EQ(header.header.width, c.width);
        EXPECT_EQ(header.header.height, c.height);
        EXPECT_EQ(header.header.xPelsPerMeter, c.pelsPerMeter);
        // The grid's top left square is white in every type.
        const PaletteEntry white{255, 255, 255, 0};
        if (c.bits != 24) {
            EXPECT_EQ(header.palette[c.bits == 1 ? 1 : 255], white);
        }
    }
}

TEST(ScanOnTestDevice, AnUnknownDriverIsReportedAndTheNextScanWorks) {
    Rig rig;
    ScanRequest gone = request(0, 1, 75, 1.0f);
    gone.driverName = "Lumiview Gone";
    EXPECT_FALSE(rig.scan.start(gone));
    EXPECT_EQ(rig.notices, (std::vector<ScanResult>{ScanResult::NothingToLoad}));
    EXPECT_EQ(rig.scan.failure(), ScanFailure::OpenFailed);
    EXPECT_EQ(rig.scan.failureDetail(), "No scanner is offered under the name \"Lumiview Gone\".");
    ASSERT_TRUE(rig.scan.start(request(0, 1, 75, 1.0f)));
    ASSERT_TRUE(rig.waitForEnd());
    EXPECT_EQ(rig.readBack(0).header.height, 75);
}

#elif defined(TS_SCAN_DEVICE_SLOW)

TEST(ScanOnSlowDevice, ProgressIsShownAndCancelLeavesNothing) {
    Rig rig;
    ASSERT_TRUE(rig.scan.start(request(1, 1, 75, 11.0f)));
    ScanAcquisition::Progress progress;
    for (int i = 0; i < 5000 && progress.rowsExpected == 0; ++i) {
        progress = rig.scan.progress();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(progress.rowsExpected, 825u);
    EXPECT_LT(progress.rowsRead, 825u);
    rig.scan.cancel();
    EXPECT_EQ(rig.notices, (std::vector<ScanResult>{ScanResult::NothingToLoad}));
    EXPECT_EQ(rig.scan.failure(), ScanFailure::Cancelled);
    EXPECT_FALSE(fs::exists(rig.scan.dataFile()));
    EXPECT_FALSE(fs::exists(rig.scan.partFile(1)));
    EXPECT_EQ(rig.scan.progress().rowsExpected, 0u);

    // The device takes the next scan as if nothing had happened.
    rig.wakes = 0;
    ASSERT_TRUE(rig.scan.start(request(1, 1, 75, 1.0f)));
    ASSERT_TRUE(rig.waitForEnd());
    EXPECT_EQ(rig.notices.back(), ScanResult::PartReady);
    EXPECT_EQ(rig.readBack(1).header.width, 637);
}

#elif defined(TS_SCAN_DEVICE_ENDS_ITSELF)

TEST(ScanOnDeviceThatEndsItself, CloseRequestReleasesAndTheNextScanReloads) {
    Rig rig;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        rig.wakes = 0;
        ASSERT_TRUE(rig.scan.start(request(0, 1, 75, 1.0f))) << rig.scan.failureDetail();
        ASSERT_TRUE(rig.waitForEnd());
        EXPECT_EQ(rig.scan.failure(), ScanFailure::EndedByScanner);
        EXPECT_FALSE(rig.scan.connected());
        EXPECT_FALSE(fs::exists(rig.scan.dataFile()));
        EXPECT_FALSE(fs::exists(rig.scan.partFile(0)));
    }
    EXPECT_EQ(rig.notices, (std::vector<ScanResult>{ScanResult::NothingToLoad, ScanResult::NothingToLoad}));
}

#elif defined(TS_SCAN_DEVICE_JAMMED)

TEST(ScanOnJammedDevice, TheFailureIsReportedInTheComponentsWords) {
    Rig rig;
    ASSERT_TRUE(rig.scan.start(request(0, 1, 75, 1.0f)));
    ASSERT_TRUE(rig.waitForEnd());
    EXPECT_EQ(rig.notices, (std::vector<ScanResult>{ScanResult::NothingToLoad}));
    EXPECT_EQ(rig.scan.failure(), ScanFailure::TransferFailed);
    EXPECT_NE(rig.scan.failureDetail().find("jammed"), std::string::npos) << rig.scan.failureDetail();
    EXPECT_FALSE(fs::exists(rig.scan.dataFile()));
    EXPECT_FALSE(fs::exists(rig.scan.partFile(0)));
    EXPECT_TRUE(rig.scan.connected());
}

#endif

} // namespace
} // namespace tandemscan
