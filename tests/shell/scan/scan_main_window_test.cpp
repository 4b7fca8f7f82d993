// Scanning both parts from the main window, offscreen, with the real scanner component over
// SANE's test backend (twelve virtual scanners drawing a grid): the driver list, the Input
// buttons starting scans, the window disabled until the notice, the parts in their panes, the
// working files, and the resolution check before a second part.
#include "engine/image_file.h"
#include "scan/scan_session.h"
#include "scanner_session.h"
#include "shell_test_support.h"
#include "workspace/view/tool_palette.h"
#include "workspace/view/workspace_view.h"

#include <QComboBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace tandemscan {
namespace {

namespace fs = std::filesystem;
using testing::optionsFor;
using testing::ProgramFolder;
using testing::ScriptedPrompts;

// A program folder with the real scanner component in place of the stand-in.
struct ScannerFolder : ProgramFolder {
    ScannerFolder() : ProgramFolder(true, false) {
        scanner_test::component(tsscan::ScannerComponent::Kind::Tandemscan); // SANE stays loaded
        fs::create_symlink(fs::path(TS_PROGRAM_DIR) / "RezuzID.so", dir / "RezuzID.so");
    }
};

void choose(QComboBox* list, int index) {
    list->setCurrentIndex(index);
    emit list->activated(index);
}

HeaderBlock headerOf(const fs::path& file) {
    std::string why;
    auto library = ImageFileLibrary::load(TS_PROGRAM_DIR, &why);
    HeaderBlock header{};
    auto reader = library ? library->newInstance() : std::nullopt;
    EXPECT_TRUE(reader && reader->readHeader(file, header)) << file;
    return header;
}

class ScanMainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { testing::application(); }

    // Presses Input for a side and waits for the notice; false when none came.
    bool scan(MainWindow& window, int side) {
        auto* session = window.findChild<ScanSession*>(QStringLiteral("scanSession"));
        if (!session) return false;
        QSignalSpy notices(session, &ScanSession::toolCommand);
        window.button(side == 0 ? "inputLeft" : "inputRight")->click();
        if (notices.isEmpty()) {
            auto* palette = window.findChild<ToolPalette*>();
            disabledWhileScanning = !window.isEnabled() && palette && !palette->isEnabled();
            if (!notices.wait(20000)) return false;
        }
        return notices.size() == 1 && notices[0][0].toInt() == 0x20;
    }

    std::shared_ptr<ScriptedPrompts> prompts = std::make_shared<ScriptedPrompts>();
    bool disabledWhileScanning = false;
};

TEST_F(ScanMainWindowTest, ScansBothPartsIntoTheirPanes) {
    ScannerFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    window.show();

    // "File", then the first ten scanners; the first run picks the first scanner.
    QComboBox* source = window.list(0);
    ASSERT_EQ(source->count(), 11);
    EXPECT_EQ(source->itemText(1), "Lumiview Noname frontend-tester");
    EXPECT_EQ(source->itemText(10), "Lumiview Noname frontend-test #10");
    EXPECT_EQ(source->currentIndex(), 1);
    EXPECT_EQ(window.scanSettings().source, DataSource::Scanner);
    EXPECT_TRUE(window.list(1)->isEnabled());
    EXPECT_EQ(window.list(3)->count(), 5); // the descreen entries come with a driver

    choose(window.list(1), 1); // Gray
    choose(window.list(2), 2); // 150 dpi
    ASSERT_TRUE(scan(window, 0));
    EXPECT_TRUE(disabledWhileScanning);
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(window.findChild<ToolPalette*>()->isEnabled());
    const fs::path work = window.paths().workingDir();
    ASSERT_TRUE(fs::exists(work / "ScanImgL.bmp"));
    EXPECT_FALSE(fs::exists(work / "ScanImg.DAT"));
    EXPECT_FALSE(fs::exists(work / "ScanImgR.bmp"));
    // An A4 original's height at 150 dpi, 8.5 inches wide, in 256 grays.
    const HeaderBlock left = headerOf(work / "ScanImgL.bmp");
    EXPECT_EQ(left.header.width, 1275);
    EXPECT_EQ(left.header.height, 1753); // 1753.9 rows: the device counts whole ones
    EXPECT_EQ(left.header.bitCount, 8);
    EXPECT_EQ(left.header.xPelsPerMeter, 5906);
    const MergeWorkspace& model = window.workspace()->model();
    EXPECT_TRUE(model.holdsPart(Side::Left));
    EXPECT_FALSE(model.holdsPart(Side::Right));
    EXPECT_TRUE(window.button("clearLeft")->isEnabled());

    ASSERT_TRUE(scan(window, 1));
    EXPECT_TRUE(model.holdsPart(Side::Right));
    EXPECT_TRUE(fs::exists(work / "ScanImgR.bmp"));
    EXPECT_FALSE(fs::exists(work / "ScanImg.DAT"));
    EXPECT_TRUE(prompts->messages.empty());
    EXPECT_TRUE(window.button("preview")->isEnabled());

    // Another resolution for the right part is refused before any scan starts.
    window.clearPart(Side::Right);
    choose(window.list(2), 3); // 300 dpi
    auto* session = window.findChild<ScanSession*>(QStringLiteral("scanSession"));
    QSignalSpy notices(session, &ScanSession::toolCommand);
    window.button("inputRight")->click();
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_FALSE(session->acquisition().scanning());
    EXPECT_TRUE(window.isEnabled());
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].caption, "Error");
    EXPECT_EQ(prompts->messages[0].text, "Resolution is different from the previous image!");
    EXPECT_FALSE(model.holdsPart(Side::Right));
}

TEST_F(ScanMainWindowTest, AFailedScanBringsTheWindowBackWithItsReason) {
    ScannerFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    window.show();
    // The scanner went away after the list was filled.
    choose(window.list(0), 1);
    auto* session = window.findChild<ScanSession*>(QStringLiteral("scanSession"));
    ASSERT_NE(session, nullptr);
    ScanSettings gone = window.scanSettings();
    gone.driverTable[0] = "Lumiview Gone";
    QSignalSpy notices(session, &ScanSession::toolCommand);
    session->start(makeScanRequest(gone, 2970, 0));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0][1].toInt(), 1);
    EXPECT_TRUE(window.isEnabled());
    EXPECT_FALSE(window.workspace()->model().holdsPart(Side::Left));
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].caption, "Error");
    EXPECT_EQ(prompts->messages[0].icon, QMessageBox::Critical);
    EXPECT_EQ(prompts->messages[0].text,
              "The scanner could not be opened.\nNo scanner is offered under the name \"Lumiview Gone\".");
}

} // namespace
} // namespace tandemscan
