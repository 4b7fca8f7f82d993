// Scanning a part against a recording stand-in of the scanner component: the calls and their
// order, every way a scan can end, and the working files left behind.
#include "scan/scan_acquisition.h"
#include "scan_fake_scanner.h"
#include "temp_dir.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace tandemscan {
namespace {

namespace fs = std::filesystem;
using Calls = std::vector<std::string>;
using testing::TempDir;

constexpr TwainWindow window = 77;

// One acquisition over the stand-in, with its notices and written parts collected.
struct Rig {
    TempDir dir;
    std::vector<ScanResult> notices;
    std::vector<HeaderBlock> written;
    std::vector<std::uint8_t> firstPixels;
    int wakes = 0;
    bool writerFails = false;
    ScanAcquisition scan;

    Rig()
        : scan(
              std::make_unique<scan_fake::Module>(), dir.path,
              [this](const fs::path& file, const HeaderBlock& header, const std::uint8_t* pixels,
                     std::string& why) {
                  if (writerFails) {
                      why = "disk full";
                      return false;
                  }
                  written.push_back(header);
                  firstPixels.assign(pixels, pixels + 4);
                  testing::writeFile(file, "part");
                  return true;
              },
              window) {
        scan.setNoticeHandler([this](ScanResult r) { notices.push_back(r); });
        scan.setWakeHandler([this] { ++wakes; });
    }

    // The calls made since the last look.
    Calls take() {
        Calls calls = std::move(scan_fake::scanner().calls);
        scan_fake::scanner().calls.clear();
        return calls;
    }
};

ScanRequest grayLeft() {
    ScanRequest request;
    request.driverName = "Lumiview Test Frame";
    request.side = 0;
    request.imageType = 1;
    request.resolution = 150;
    request.descreen = 0;
    request.heightInches = originalHeightInches(2970);
    return request;
}

const Calls startCalls = {
    "NewTwain",           "LoadSM 9",
    "OpenSM 9 77",        "OpenDS 9",
    "SetXferNotify 9 on", "EnableCustomCap 9 1",
    "SetCapDescreen 9 0", "SetCapXRes 9 150",
    "SetCapYRes 9 150",   "SetCapImageType 9 1",
    "SetScanSize 9",      "EnableDS 9 0 77",
};
const Calls endCalls = {"DisableDS 9 0 77", "CloseDS 9", "SetXferNotify 9 off"};
const Calls abandonCalls = {"DisableDS 9 1 77", "CloseDS 9", "SetXferNotify 9 off"};
const Calls releaseCalls = {"CloseSM 9 77", "UnloadSM 9", "FreeTwain 9"};

Calls join(std::initializer_list<Calls> parts) {
    Calls all;
    for (const Calls& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST(ScanRequestFromChoices, ResolutionTypeDescreenAndHeight) {
    struct Case {
        int resolutionIndex;
        int resolution;
        ColourType type;
        int descreen;
        int originalHeight;
        int side;
        int wantDpi;
        float wantInches;
    };
    const Case cases[] = {
        {2, 150, ColourType::Gray, 0, 2970, 0, 150, 11.692913f},
        {0, 75, ColourType::LineArt, 85, 2970, 1, 75, 11.692913f},
        {5, 600, ColourType::Colour, 175, 2100, 0, 600, 8.267717f},
        {7, 500, ColourType::Colour, 0, 4200, 1, 500, 16.535433f}, // the custom entry
        {6, 333, ColourType::Gray, 0, 2540, 5, 333, 10.0f},        // odd side numbers mean right
    };
    for (const Case& c : cases) {
        ScanSettings settings;
        settings.driverTable[0] = "Lumiview A";
        settings.driverTable[1] = "Lumiview B";
        settings.driverIndex = 1;
        settings.resolutionIndex = c.resolutionIndex;
        settings.resolution = c.resolution;
        settings.imageType = c.type;
        settings.descreen = c.descreen;
        const ScanRequest r = makeScanRequest(settings, c.originalHeight, c.side);
        SCOPED_TRACE(c.resolutionIndex);
        EXPECT_EQ(r.driverName, "Lumiview B");
        EXPECT_EQ(r.resolution, c.wantDpi);
        EXPECT_EQ(r.imageType, static_cast<int>(c.type));
        EXPECT_EQ(r.descreen, c.descreen);
        EXPECT_EQ(r.side, c.side & 1);
        EXPECT_FLOAT_EQ(r.heightInches, c.wantInches);
    }
    // An A4 original's height asks for 11.69 inches, to the hundredth.
    EXPECT_EQ(std::lround(originalHeightInches(2970) * 100), 1169);
}

TEST(ScanRequestFromChoices, CheckedAgainstTheLoadedPart) {
    const PartReference colour300{false, 24, 11811, 11811};
    struct Case {
        ColourType type;
        int resolutionIndex;
        int resolution;
        PartCheck expected;
    };
    const Case cases[] = {
        {ColourType::Colour, 3, 300, PartCheck::Accepted},
        {ColourType::Colour, 7, 300, PartCheck::Accepted},          // the custom entry, same value
        {ColourType::Colour, 7, 301, PartCheck::ResolutionDiffers}, // 39 pixels per metre off
        {ColourType::Colour, 5, 600, PartCheck::ResolutionDiffers},
        {ColourType::Gray, 3, 300, PartCheck::TypeDiffers},
        {ColourType::LineArt, 3, 300, PartCheck::TypeDiffers},
    };
    for (const Case& c : cases) {
        ScanSettings settings;
        settings.imageType = c.type;
        settings.resolutionIndex = c.resolutionIndex;
        settings.resolution = c.resolution;
        EXPECT_EQ(checkScanAgainst(settings, colour300), c.expected)
            << c.resolutionIndex << " " << c.resolution;
    }
}

TEST(ScanAcquisition, CompletedScanWritesThePartAndClosesTheSource) {
    scan_fake::Scanner& device = scan_fake::reset();
    Rig rig;
    ASSERT_TRUE(rig.scan.start(grayLeft()));
    EXPECT_EQ(rig.take(), startCalls);
    EXPECT_EQ(device.openedName, "Lumiview Test Frame");
    EXPECT_FLOAT_EQ(device.area[0], 0.0f);
    EXPECT_FLOAT_EQ(device.area[1], 0.0f);
    EXPECT_FLOAT_EQ(device.area[2], 8.5f);
    EXPECT_FLOAT_EQ(device.area[3], 2970 / 254.0f);
    EXPECT_TRUE(rig.scan.scanning());
    EXPECT_TRUE(fs::exists(rig.scan.dataFile()));
    EXPECT_EQ(fs::status(rig.scan.dataFile()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    // Events before the end change nothing.
    TwainMessage event{};
    event.message = 0x0200;
    EXPECT_FALSE(rig.scan.filterEvent(&event));
    EXPECT_EQ(rig.take(), (Calls{"TwainFilter 9 512"}));
    EXPECT_EQ(rig.scan.progress().rowsRead, 40u);
    EXPECT_EQ(rig.scan.progress().rowsExpected, 60u);
    EXPECT_TRUE(rig.notices.empty());

    device.endScan();
    EXPECT_EQ(rig.wakes, 1);
    EXPECT_TRUE(rig.scan.filterEvent());
    EXPECT_EQ(rig.take(), join({{"TwainFilter 9 0", "DoMemXfer 9 size", "DoMemXfer 9 pixels"}, endCalls}));
    EXPECT_EQ(rig.notices, (std::vector<ScanResult>{ScanResult::PartReady}));
    EXPECT_EQ(rig.scan.failure(), ScanFailure::None);
    ASSERT_EQ(rig.written.size(), 1u);
    EXPECT_EQ(rig.written[0].header.width, 100);
    EXPECT_EQ(rig.written[0].header.xPelsPerMeter, 5906);
    EXPECT_EQ(rig.firstPixels, (std::vector<std::uint8_t>{0x5A, 0x5A, 0x5A, 0x5A}));
    EXPECT_TRUE(fs::exists(rig.dir.path / "ScanImgL.bmp"));
    EXPECT_FALSE(fs::exists(rig.dir.path / "ScanImgR.bmp"));
    EXPECT_FALSE(fs::exists(rig.scan.dataFile()));
    EXPECT_FALSE(rig.scan.scanning());

    // Idle: events are not handed to the component at all.
    EXPECT_FALSE(rig.scan.filterEvent(&event));
    EXPECT_TRUE(rig.take().empty());

    // The next scan reuses the connection and leaves the left part alone.
    ScanRequest right = grayLeft();
    right.side = 1;
    right.imageType = 2;
    right.resolution = 300;
    right.descreen = 85;
    ASSERT_TRUE(rig.scan.start(right));
    EXPECT_EQ(rig.take(), (Calls{"OpenDS 9", "SetXferNotify 9 on", "EnableCustomCap 9 1",
                                 "SetCapDescreen 9 85", "SetCapXRes 9 300", "SetCapYRes 9 300",
                                 "SetCapImageType 9 2", "SetScanSize 9", "EnableDS 9 0 77"}));
    fs::last_write_time(rig.dir.path / "ScanImgL.bmp", fs::file_time_type{});
    device.endScan();
    EXPECT_TRUE(rig.scan.filterEvent());
    EXPECT_TRUE(fs::exists(rig.dir.path / "ScanImgR.bmp"));
    EXPECT_EQ(fs::last_write_time(rig.dir.path / "ScanImgL.bmp"), fs::file_time_type{});
    EXPECT_EQ(device.loads, 1);
}

// Every way a scan can fail: which calls follow the failing step, and that the window is told
// once that there is nothing to load.
TEST(ScanAcquisition, FailuresEndWithNothingToLoad) {
    struct Case {
        const char* failAt;
        std::uint16_t bits; // of the delivered picture
        bool writerFails;
        bool started;
        Calls after; // the calls after the failing step, or after TwainFilter
        ScanFailure failure;
        const char* detail;
    };
    const Case cases[] = {
        {"load", 8, false, false, {}, ScanFailure::NoComponent, "no such component"},
        {"OpenSM",
         8,
         false,
         false,
         {"UnloadSM 9", "FreeTwain 9"},
         ScanFailure::NoComponent,
         "the source manager could not be opened"},
        {"OpenDS", 8, false, false, {"CloseDS 9"}, ScanFailure::OpenFailed, "the fake says no"},
        {"EnableDS",
         8,
         false,
         false,
         {"DisableDS 9 0 77", "CloseDS 9"},
         ScanFailure::StartFailed,
         "the fake says no"},
        {"DoMemXfer#1",
         8,
         false,
         true,
         {"DoMemXfer 9 size", "DisableDS 9 0 77", "CloseDS 9", "SetXferNotify 9 off"},
         ScanFailure::TransferFailed,
         "the fake says no"},
        {"DoMemXfer#2", 8, false, true, join({{"DoMemXfer 9 size", "DoMemXfer 9 pixels"}, abandonCalls}),
         ScanFailure::TransferFailed, "the fake says no"},
        // A header the component should never send: too deep, or a depth without a layout.
        {"", 48, false, true, join({{"DoMemXfer 9 size"}, abandonCalls}), ScanFailure::UnusableImage,
         "100 x 60 pixels, 48 bits per pixel, 0 bytes"},
        {"", 32, false, true, join({{"DoMemXfer 9 size"}, abandonCalls}), ScanFailure::UnusableImage,
         "100 x 60 pixels, 32 bits per pixel, 24000 bytes"},
        {"", 8, true, true, join({{"DoMemXfer 9 size", "DoMemXfer 9 pixels"}, endCalls}),
         ScanFailure::WriteFailed, "/ScanImgL.bmp: disk full"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.failAt) + " " + std::to_string(c.bits));
        scan_fake::Scanner& device = scan_fake::reset();
        device.failAt = c.failAt;
        device.picture(100, 60, c.bits);
        if (c.bits == 48) device.byteCount = 0;
        Rig rig;
        rig.writerFails = c.writerFails;
        EXPECT_EQ(rig.scan.start(grayLeft()), c.started);
        Calls calls = rig.take();
        if (c.started) {
            EXPECT_EQ(calls, startCalls);
            device.endScan();
            EXPECT_TRUE(rig.scan.filterEvent());
            calls = rig.take();
            ASSERT_FALSE(calls.empty());
            calls.erase(calls.begin()); // TwainFilter
        } else if (!calls.empty()) {
            const auto failed = std::find_if(calls.begin(), calls.end(), [&](const std::string& call) {
                return call.rfind(c.failAt, 0) == 0;
            });
            ASSERT_NE(failed, calls.end());
            calls.erase(calls.begin(), failed + 1);
        }
        EXPECT_EQ(calls, c.after);
        EXPECT_EQ(rig.notices, (std::vector<ScanResult>{ScanResult::NothingToLoad}));
        EXPECT_EQ(rig.scan.failure(), c.failure);
        const std::string& detail = rig.scan.failureDetail();
        EXPECT_TRUE(detail.size() >= std::strlen(c.detail) &&
                    detail.compare(detail.size() - std::strlen(c.detail), std::string::npos, c.detail) == 0)
            << detail;
        EXPECT_FALSE(rig.scan.scanning());
        EXPECT_FALSE(fs::exists(rig.scan.dataFile()));
        EXPECT_FALSE(fs::exists(rig.scan.partFile(0)));
        EXPECT_STRNE(scanFailureText(c.failure), "");
    }
}

TEST(ScanAcquisition, CloseRequestReleasesTheComponentAndTheNextScanLoadsItAgain) {
    scan_fake::Scanner& device = scan_fake::reset();
    Rig rig;
    testing::writeFile(rig.scan.partFile(0), "an earlier scan");
    ASSERT_TRUE(rig.scan.start(grayLeft()));
    rig.take();
    device.endScan(TWAIN_CLOSE_REQUEST);
    EXPECT_TRUE(rig.scan.filterEvent());
    EXPECT_EQ(rig.take(), join({{"TwainFilter 9 0"}, endCalls, releaseCalls}));
    EXPECT_EQ(device.unloads, 1);
    EXPECT_FALSE(rig.scan.connected());
    // The earlier part file must not be taken for this scan's.
    EXPECT_EQ(rig.notices, (std::vector<ScanResult>{ScanResult::NothingToLoad}));
    EXPECT_EQ(rig.scan.failure(), ScanFailure::EndedByScanner);
    EXPECT_FALSE(fs::exists(rig.scan.dataFile()));

    ASSERT_TRUE(rig.scan.start(grayLeft()));
    EXPECT_EQ(rig.take(), startCalls);
    EXPECT_EQ(device.loads, 2);
}

TEST(ScanAcquisition, CancelStopsTheDeviceAndReportsNothingToLoad) {
    scan_fake::reset();
    Rig rig;
    ASSERT_TRUE(rig.scan.start(grayLeft()));
    rig.take();
    rig.scan.cancel();
    EXPECT_EQ(rig.take(), join({{"CancelXfer 9"}, abandonCalls}));
    EXPECT_EQ(rig.notices, (std::vector<ScanResult>{ScanResult::NothingToLoad}));
    EXPECT_EQ(rig.scan.failure(), ScanFailure::Cancelled);
    EXPECT_STREQ(scanFailureText(ScanFailure::Cancelled), "");
    EXPECT_FALSE(fs::exists(rig.scan.dataFile()));
    // A second Cancel, or a late wake-up, does nothing.
    rig.scan.cancel();
    EXPECT_FALSE(rig.scan.filterEvent());
    EXPECT_TRUE(rig.take().empty());
    EXPECT_EQ(rig.notices.size(), 1u);
}

TEST(ScanAcquisition, OneScanAtATime) {
    scan_fake::reset();
    Rig rig;
    ASSERT_TRUE(rig.scan.start(grayLeft()));
    rig.take();
    EXPECT_FALSE(rig.scan.start(grayLeft()));
    EXPECT_TRUE(rig.take().empty());
    EXPECT_TRUE(rig.notices.empty());
    EXPECT_TRUE(rig.scan.scanning());
}

TEST(ScanAcquisition, EndingTheLinkWhileScanningSendsNoNotice) {
    scan_fake::Scanner& device = scan_fake::reset();
    std::vector<ScanResult> notices;
    fs::path data;
    {
        Rig rig;
        ASSERT_TRUE(rig.scan.start(grayLeft()));
        rig.take();
        data = rig.scan.dataFile();
        rig.scan.close();
        EXPECT_EQ(rig.take(), join({{"CancelXfer 9"}, abandonCalls, releaseCalls}));
        EXPECT_TRUE(rig.notices.empty());
        EXPECT_FALSE(fs::exists(data));
    }
    // Idle, the destructor only releases what is open.
    {
        Rig rig;
        rig.scan.close();
        EXPECT_TRUE(rig.take().empty());
    }
    EXPECT_EQ(device.loads, 1);
}

TEST(ScanAcquisition, LongDriverNamesAreCutToOneSlot) {
    scan_fake::Scanner& device = scan_fake::reset();
    Rig rig;
    ScanRequest request = grayLeft();
    request.driverName = std::string(40, 'L');
    ASSERT_TRUE(rig.scan.start(request));
    EXPECT_EQ(device.openedName, std::string(TWAIN_NAME_SIZE - 1, 'L'));
}

TEST(ScanAcquisition, TransferFileHeldByAnotherCopyIsLeftAlone) {
    scan_fake::reset();
    Rig rig;
    const int other = ::open(rig.scan.dataFile().c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    EXPECT_FALSE(rig.scan.start(grayLeft()));
    EXPECT_EQ(rig.take(), join({startCalls, abandonCalls}));
    EXPECT_EQ(rig.scan.failure(), ScanFailure::WorkingFile);
    EXPECT_EQ(rig.notices, (std::vector<ScanResult>{ScanResult::NothingToLoad}));
    EXPECT_TRUE(fs::exists(rig.scan.dataFile()));
    ::close(other);
}

} // namespace
} // namespace tandemscan
