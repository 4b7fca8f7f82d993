// The scan as the window sees it, offscreen, over the real scanner component and SANE's test
// backend: the notice arrives while the window sits idle, the progress window follows the
// device, Cancel ends the scan, and failures are reported in translated words.
#include "engine/image_file.h"
#include "scan/scan_session.h"
#include "scanner_session.h"
#include "temp_dir.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace tandemscan {
namespace {

namespace fs = std::filesystem;

QApplication& application() {
    static int argc = 1;
    static char name[] = "scan_session_test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

struct Rig {
    QApplication& app = application(); // before any widget
    testing::TempDir dir;
    QWidget owner;
    QStringList reports;
    std::unique_ptr<ScanSession> session;

    Rig() {
        scanner_test::component(tsscan::ScannerComponent::Kind::Tandemscan); // stays loaded
        std::string why;
        static auto images = ImageFileLibrary::load(TS_PROGRAM_DIR, &why);
        owner.show();
        session = std::make_unique<ScanSession>(
            std::make_unique<ScanAcquisition>(scannerModuleFile(fs::path(TS_PROGRAM_DIR) / "RezuzID.so"),
                                              dir.path, imageFileWriter(images)),
            &owner,
            [](const QString& english) { return QStringLiteral("<") + english + QStringLiteral(">"); },
            [this](const QString& text) { reports << text; });
    }
};

ScanRequest grayRequest(int side, float heightInches,
                        const char* driver = "Lumiview Noname frontend-tester") {
    ScanRequest r;
    r.driverName = driver;
    r.side = side;
    r.imageType = 1;
    r.resolution = 75;
    r.heightInches = heightInches;
    return r;
}

#if defined(TS_SCAN_DEVICE_PLAIN)

TEST(ScanSession, NoticeArrivesWhileTheWindowSitsIdle) {
    Rig rig;
    QSignalSpy notices(rig.session.get(), &ScanSession::toolCommand);
    rig.session->start(grayRequest(1, 1.0f));
    QProgressDialog* progress = rig.session->progressWindow();
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->labelText(), QStringLiteral("<Scanning the right part...>"));
    // Nothing but the event loop runs: the wake-up or the timer must bring the notice.
    ASSERT_TRUE(notices.wait(20000));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0][0].toInt(), 0x20);
    EXPECT_EQ(notices[0][1].toInt(), 0);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(fs::exists(rig.dir.path / "ScanImgR.bmp"));
    EXPECT_FALSE(fs::exists(rig.dir.path / "ScanImg.DAT"));
    EXPECT_TRUE(rig.reports.isEmpty());
    // No second notice follows.
    QTest::qWait(3 * ScanSession::pollMilliseconds);
    EXPECT_EQ(notices.size(), 1);
}

TEST(ScanSession, ADriverThatCannotBeOpenedIsReportedAtOnce) {
    Rig rig;
    QSignalSpy notices(rig.session.get(), &ScanSession::toolCommand);
    rig.session->start(grayRequest(0, 1.0f, "Lumiview Gone"));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0][1].toInt(), 1);
    EXPECT_FALSE(rig.session->progressWindow()->isVisible());
    EXPECT_EQ(
        rig.reports,
        QStringList{QStringLiteral(
            "<The scanner could not be opened.>\nNo scanner is offered under the name \"Lumiview Gone\".")});
}

#elif defined(TS_SCAN_DEVICE_SLOW)

TEST(ScanSession, ProgressFollowsTheDeviceAndCancelEndsTheScan) {
    Rig rig;
    QSignalSpy notices(rig.session.get(), &ScanSession::toolCommand);
    rig.session->start(grayRequest(0, 11.0f));
    QProgressDialog* progress = rig.session->progressWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return progress->maximum() == 825; }, 10000));
    EXPECT_LT(progress->value(), 825);
    auto* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("<Cancel>"));
    cancel->click();
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0][1].toInt(), 1);
    EXPECT_TRUE(rig.reports.isEmpty()); // the user knows why
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(fs::exists(rig.dir.path / "ScanImgL.bmp"));
    EXPECT_FALSE(fs::exists(rig.dir.path / "ScanImg.DAT"));
}

TEST(ScanSession, EndingTheWindowDuringAScanStopsIt) {
    Rig rig;
    QSignalSpy notices(rig.session.get(), &ScanSession::toolCommand);
    rig.session->start(grayRequest(0, 11.0f));
    QTest::qWait(2 * ScanSession::pollMilliseconds);
    rig.session.reset();
    QTest::qWait(2 * ScanSession::pollMilliseconds); // no late call reaches the gone session
    EXPECT_EQ(notices.size(), 0);
    EXPECT_FALSE(fs::exists(rig.dir.path / "ScanImg.DAT"));
}

#endif

} // namespace
} // namespace tandemscan
