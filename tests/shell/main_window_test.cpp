// The main window offscreen: start-up with and without settings, missing components, loading
// parts, automatic merge, saving in every format, the exit question, the puzzle key and a
// translated run.
#include "adjustment_dialog.h"
#include "engine/image_file.h"
#include "file_save_as_dlg.h"
#include "help_window.h"
#include "magnifier.h"
#include "mutilang.h"
#include "pic_show_dlg.h"
#include "send_to_dialog.h"
#include "shell_test_support.h"
#include "workspace/view/tool_palette.h"
#include "workspace/view/workspace_view.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTextBrowser>
#include <QUrl>
#include <chrono>
#include <thread>

namespace tandemscan {
namespace {

using testing::ModalCloser;
using testing::optionsFor;
using testing::ProgramFolder;
using testing::ScriptedPrompts;

std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether the workspace can join its two parts in this build; the tests of preview and saving
// need it.
bool joiningWorks(MainWindow& window) {
    MergeWorkspace& model = window.workspace()->model();
    const bool works = model.composePreview();
    model.endPreview();
    return works;
}

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override { testing::application(); }
    std::shared_ptr<ScriptedPrompts> prompts = std::make_shared<ScriptedPrompts>();
};

TEST_F(MainWindowTest, FirstRunWithoutSettings) {
    ProgramFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    EXPECT_TRUE(window.firstRun());
    EXPECT_EQ(window.moveExplain(), 1);
    // The base size, widened with its proportions kept where a list text needs more room.
    EXPECT_EQ(window.size(), window.minimumSize());
    EXPECT_GE(window.minimumWidth(), 575);
    EXPECT_NEAR((window.minimumHeight() - 30) * 575.0 / 483, window.minimumWidth(), 1.2);
    ASSERT_NE(window.helpWindow(), nullptr);
    EXPECT_EQ(window.helpWindow()->currentTopic(), "html/Quick.htm");
    EXPECT_TRUE(window.helpWindow()->browser()->toPlainText().contains("Quick start"));
    // It opens in front of the main window, once that is shown.
    EXPECT_FALSE(window.helpWindow()->isVisible());
    window.show();
    QTRY_VERIFY(window.helpWindow()->isVisible());
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(window.helpWindow()));
    // The stand-in scanner reports no driver.
    ASSERT_EQ(window.list(0)->count(), 2);
    EXPECT_EQ(window.list(0)->itemText(1), "No driver available");
    EXPECT_FALSE(window.list(2)->isEnabled());
    EXPECT_EQ(window.list(2)->currentText(), "100 dpi");
    for (const char* off : {"clearLeft", "clearRight", "preview", "sendTo", "saveAs"}) {
        EXPECT_FALSE(window.button(off)->isEnabled()) << off;
    }
    EXPECT_TRUE(window.button("inputLeft")->isEnabled());
    EXPECT_FALSE(window.button("originalType")->isVisibleTo(&window));
    EXPECT_EQ(window.button("preview")->toolTip(), "Preview merged effect");
    EXPECT_TRUE(prompts->messages.empty());

    EXPECT_TRUE(window.requestExit());
    const std::string written = readText(folder.config());
    EXPECT_EQ(written.rfind(
                  "[first run]\nFlag=0\n[data source]\nDataSource=0\n[scanner driver]\nDriverCount=1\n", 0),
              0u)
        << written;
    EXPECT_NE(written.find("[move explain]\nExplain=1\n"), std::string::npos);
}

TEST_F(MainWindowTest, LaterRunRestoresWindowAndLists) {
    ProgramFolder folder;
    folder.writeConfig(
        "[first run]\nFlag=0\n[scanner driver]\nDriverCount=1\nDriverName=\n"
        "[image type]\nImgType=0\n[resolution]\nImgResIndex=7\nImgResValue=1300\n"
        "[main window]\nLeft=20\nTop=30\nRight=720\nBottom=618\n[float window]\nLeft=5000\nTop=5000\n"
        "[move explain]\nExplain=0\n");
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    EXPECT_FALSE(window.firstRun());
    EXPECT_EQ(window.helpWindow(), nullptr);
    EXPECT_EQ(window.geometry(), QRect(20, 30, 700, 588));
    EXPECT_EQ(window.startRect(), (Rect{20, 30, 720, 618}));
    EXPECT_EQ(window.moveExplain(), 0);
    // No scanner: the lists fall back to their defaults whatever was stored.
    EXPECT_EQ(window.scanSettings().resolution, 100);
    EXPECT_TRUE(window.requestExit());
    EXPECT_NE(readText(folder.config())
                  .find("[main window]\nLeft=20\nTop=30\nRight=720\nBottom=618\nMinWidth=" +
                        std::to_string(window.minimumWidth()) + "\n"),
              std::string::npos);
}

TEST_F(MainWindowTest, MissingComponentsStopTheStart) {
    struct Case {
        bool image;
        bool scanner;
        const char* message;
    };
    const Case cases[] = {{false, true, "ZedOROV.so not found!"},
                          {true, false, "RezuzID.so not found!"},
                          {false, false, "ZedOROV.so not found!"}};
    for (const auto& c : cases) {
        ProgramFolder folder(c.image, c.scanner);
        auto recorded = std::make_shared<ScriptedPrompts>();
        {
            MainWindow window(optionsFor(folder, recorded));
            EXPECT_FALSE(window.initialise());
        }
        ASSERT_EQ(recorded->messages.size(), 1u);
        EXPECT_EQ(recorded->messages[0].text.split('\n').first(), c.message);
        EXPECT_EQ(recorded->messages[0].caption, "Zunt--Tandemscan");
        EXPECT_FALSE(std::filesystem::exists(folder.config()));
    }
}

TEST_F(MainWindowTest, RefusesFilesBeforeLoading) {
    ProgramFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    const std::string jpg = folder.writePart("part.jpg", 10);
    std::filesystem::copy_file(jpg, folder.root / "photo.JPG");
    std::filesystem::copy_file(jpg, folder.root / "photo.jpeg");
    std::filesystem::copy_file(jpg, folder.root / "photo.gif");
    ModalCloser closer;
    struct Case {
        std::filesystem::path file;
        bool loaded;
        const char* message;
        const char* reason; // the second line, after the file's name
    };
    const Case cases[] = {
        {folder.root / "missing.jpg", false, "The file dosen't exist!", "No such file or directory"},
        {folder.root / "photo.gif", false, "Cannot support file format",
         "a .gif file cannot be loaded as a part; use .bmp, .jpg, .jpeg, .png, .tif or .tiff."},
        {folder.root, false, "The file dosen't exist!", "this is a folder, not a file"},
        {folder.root / "photo.JPG", true, nullptr, nullptr},
        {folder.root / "photo.jpeg", true, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        prompts->messages.clear();
        EXPECT_EQ(window.loadPartFile(Side::Left, QString::fromStdString(c.file.string())), c.loaded)
            << c.file;
        if (c.message) {
            ASSERT_EQ(prompts->messages.size(), 1u) << c.file;
            EXPECT_EQ(prompts->messages[0].caption, "Error");
            EXPECT_EQ(prompts->messages[0].text, QString::fromStdString(std::string(c.message) + "\n\"" +
                                                                        c.file.string() + "\": " + c.reason));
            EXPECT_EQ(prompts->messages[0].icon, QMessageBox::Critical);
        } else {
            EXPECT_TRUE(prompts->messages.empty());
        }
    }
    EXPECT_TRUE(window.workspace()->model().holdsPart(Side::Left));
    EXPECT_TRUE(closer.closed.empty()) << closer.texts.front().toStdString();
}

TEST_F(MainWindowTest, DroppedFilesLoadOnTheSideUnderThePointer) {
    ProgramFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    window.show();
    const std::string jpg = folder.writePart("right.jpg", 40);
    std::filesystem::copy_file(jpg, folder.root / "picture.gif");
    WorkspaceView* workspace = window.workspace();
    const auto drop = [&](const std::filesystem::path& file, Side side) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file.string()))});
        const Rect pane = workspace->model().side(side).paneRect;
        const QPoint at = workspace->mapTo(&window, QPoint((pane.left + pane.right) / 2, 50));
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &dropped);
    };
    prompts->messages.clear();
    drop(jpg, Side::Right);
    EXPECT_TRUE(window.workspace()->model().holdsPart(Side::Right));
    EXPECT_FALSE(window.workspace()->model().holdsPart(Side::Left));
    EXPECT_TRUE(prompts->messages.empty());
    // The same rules as the Input dialog: a GIF is refused with the reason.
    drop(folder.root / "picture.gif", Side::Left);
    EXPECT_FALSE(window.workspace()->model().holdsPart(Side::Left));
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text.section(QLatin1Char('\n'), 0, 0), "Cannot support file format");
}

TEST_F(MainWindowTest, SecondPartMustMatchTheFirst) {
    ProgramFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    ASSERT_TRUE(window.loadPartFile(Side::Left, QString::fromStdString(folder.writePart("left.jpg", 30))));
    struct Case {
        int dotsPerMeter;
        bool loaded;
        const char* message;
    };
    const Case cases[] = {
        {2362 + 40, false,
         "Resolution is different from the previous image!\n\"%1\": 61 dpi, while the part "
         "already loaded has 60 dpi"},
        {2362 + 19, true, nullptr}, // less than 20 pixels per metre apart counts as the same
    };
    for (const auto& c : cases) {
        prompts->messages.clear();
        const auto right =
            folder.writePart("right" + std::to_string(c.dotsPerMeter) + ".bmp", 200, 500, c.dotsPerMeter);
        EXPECT_EQ(window.loadPartFile(Side::Right, QString::fromStdString(right)), c.loaded)
            << c.dotsPerMeter;
        EXPECT_EQ(window.workspace()->model().holdsPart(Side::Right), c.loaded);
        if (c.message) {
            ASSERT_EQ(prompts->messages.size(), 1u);
            EXPECT_EQ(prompts->messages[0].caption, "Error");
            EXPECT_EQ(prompts->messages[0].text,
                      QString::fromUtf8(c.message).arg(QString::fromStdString(right)));
        } else {
            EXPECT_TRUE(prompts->messages.empty());
        }
    }
}

TEST_F(MainWindowTest, InputsTwoPartsMergesAndPreviews) {
    ProgramFolder folder;
    const QString left = QString::fromStdString(folder.writePart("left.jpg", 30));
    const QString right = QString::fromStdString(folder.writePart("right.jpg", 200));
    QString next = left;
    prompts->onDialog = [&next](QDialog& dialog) {
        auto* open = qobject_cast<CPicShowDlg*>(&dialog);
        if (!open) return int(QDialog::Rejected);
        open->selectFile(next);
        return int(QDialog::Accepted);
    };
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    window.show();
    EXPECT_FALSE(window.autoMerge()); // nothing to merge yet
    window.button("inputLeft")->click();
    next = right;
    window.button("inputRight")->click();
    EXPECT_EQ(prompts->dialogs, (std::vector<QString>{"PicShowDlg", "PicShowDlg"}));
    const MergeWorkspace& model = window.workspace()->model();
    ASSERT_TRUE(model.holdsPart(Side::Left));
    ASSERT_TRUE(model.holdsPart(Side::Right));
    for (const char* on : {"clearLeft", "clearRight", "preview", "sendTo", "saveAs"}) {
        EXPECT_TRUE(window.button(on)->isEnabled()) << on;
    }
    window.button("sendTo")->click();
    EXPECT_EQ(prompts->dialogs.back(), "SendTo");
    if (!joiningWorks(window)) GTEST_SKIP() << "joining the parts is not built yet";

    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    ModalCloser closer;
    QTest::keyClick(&window, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(model.autoMode());
    ASSERT_EQ(closer.closed.size(), 1u);
    EXPECT_EQ(closer.closed[0], "previewWindow");
    EXPECT_TRUE(model.joinedImage().empty()); // released when the preview closed

    window.button("preview")->click();
    EXPECT_EQ(closer.closed.size(), 2u);
    window.button("clearRight")->click();
    EXPECT_FALSE(model.holdsPart(Side::Right));
    EXPECT_FALSE(window.button("preview")->isEnabled());
    EXPECT_FALSE(window.button("clearRight")->isEnabled());
    EXPECT_TRUE(prompts->messages.empty());
}

TEST_F(MainWindowTest, SavesInEveryOfferedFormat) {
    ProgramFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    ASSERT_TRUE(window.loadPartFile(Side::Left, QString::fromStdString(folder.writePart("left.jpg", 30))));
    ASSERT_TRUE(window.loadPartFile(Side::Right, QString::fromStdString(folder.writePart("right.jpg", 200))));
    if (!joiningWorks(window)) GTEST_SKIP() << "joining the parts is not built yet";
    std::string why;
    const auto component = ImageFileLibrary::load(folder.dir, &why);
    ASSERT_TRUE(component) << why;

    const std::filesystem::path out = folder.root / "out";
    std::filesystem::create_directory(out);
    struct Case {
        int format;
        const char* typed;
        const char* file;
    };
    // Colour parts offer BMP, TIFF, PCX, TGA and PNG; the name follows the chosen format.
    const Case cases[] = {{1, "joined", "joined.bmp"},
                          {2, "joined.bmp", "joined.tif"},
                          {3, "joined", "joined.pcx"},
                          {4, "joined.x", "joined.tga"},
                          {5, "joined", "joined.png"}};
    for (const auto& c : cases) {
        QStringList offered;
        prompts->onDialog = [&](QDialog& dialog) {
            auto* save = qobject_cast<CFileSaveAsDlg*>(&dialog);
            if (!save) return int(QDialog::Rejected);
            offered = save->nameFilters();
            EXPECT_EQ(save->typedName(), "*.bmp");
            save->setDirectory(QString::fromStdString(out.string()));
            save->setTypedName(QString::fromLatin1(c.typed));
            save->chooseFormat(c.format);
            save->selectFile(QString::fromStdString((out / save->typedName().toStdString()).string()));
            return int(QDialog::Accepted);
        };
        ASSERT_TRUE(window.saveAs()) << c.file;
        EXPECT_TRUE(window.savedFlag());
        EXPECT_FALSE(window.workspace()->model().isModified(false));
        EXPECT_EQ(offered.size(), 5);
        auto instance = component->newInstance();
        ASSERT_TRUE(instance);
        HeaderBlock header{};
        ASSERT_TRUE(instance->readHeader(out / c.file, header)) << c.file;
        EXPECT_EQ(header.header.bitCount, 24) << c.file;
        EXPECT_EQ(std::abs(header.header.height), 700) << c.file;
        EXPECT_GE(header.header.width, 990) << c.file; // two parts of 500 with a seam trimmed at most
        EXPECT_LE(header.header.width, 1000) << c.file;
    }
    prompts->onDialog = [](QDialog&) { return int(QDialog::Rejected); };
    EXPECT_FALSE(window.saveAs());
    EXPECT_FALSE(window.savedFlag());
}

TEST_F(MainWindowTest, ExitAsksAboutUnsavedWork) {
    struct Case {
        std::vector<QMessageBox::StandardButton> answers;
        bool saveAccepted;
        bool exits;
        int questions;
        bool settingsWritten;
    };
    const Case cases[] = {
        {{QMessageBox::Cancel}, false, false, 1, false},
        {{QMessageBox::No}, false, true, 1, true},
        {{QMessageBox::Yes, QMessageBox::Cancel}, false, false, 2, false}, // save refused: asked again
        {{QMessageBox::Yes}, true, true, 1, false},                        // saved: ends at once
    };
    for (const auto& c : cases) {
        ProgramFolder folder;
        auto scripted = std::make_shared<ScriptedPrompts>();
        scripted->answers.assign(c.answers.begin(), c.answers.end());
        const auto out = folder.root / "saved.png";
        scripted->onDialog = [&](QDialog& dialog) {
            auto* save = qobject_cast<CFileSaveAsDlg*>(&dialog);
            if (!save || !c.saveAccepted) return int(QDialog::Rejected);
            save->selectFile(QString::fromStdString(out.string()));
            return int(QDialog::Accepted);
        };
        MainWindow window(optionsFor(folder, scripted));
        ASSERT_TRUE(window.initialise());
        ASSERT_TRUE(window.loadPartFile(Side::Left, QString::fromStdString(folder.writePart("l.jpg", 30))));
        ASSERT_TRUE(window.loadPartFile(Side::Right, QString::fromStdString(folder.writePart("r.jpg", 200))));
        if (c.saveAccepted && !joiningWorks(window)) continue; // saving needs the joined image
        window.show();
        EXPECT_EQ(window.close(), c.exits);
        EXPECT_EQ(scripted->questions, c.questions);
        EXPECT_EQ(std::filesystem::exists(folder.config()), c.settingsWritten);
        EXPECT_EQ(std::filesystem::exists(out), c.saveAccepted);
    }
    // Nothing joined yet: no question at all.
    ProgramFolder folder;
    auto scripted = std::make_shared<ScriptedPrompts>();
    MainWindow window(optionsFor(folder, scripted));
    ASSERT_TRUE(window.initialise());
    ASSERT_TRUE(window.loadPartFile(Side::Left, QString::fromStdString(folder.writePart("l.jpg", 30))));
    window.show();
    EXPECT_TRUE(window.close());
    EXPECT_EQ(scripted->questions, 0);
    EXPECT_TRUE(std::filesystem::exists(folder.config()));
}

TEST_F(MainWindowTest, PaletteButtonsReachTheWorkspace) {
    ProgramFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    window.show();
    ASSERT_NE(window.palette(), nullptr);
    EXPECT_TRUE(window.palette()->isVisible());
    // First run: the palette sits against the window's left edge, 25 pixels below its top.
    EXPECT_EQ(window.palette()->geometry().right() + 1, window.frameGeometry().left());
    EXPECT_EQ(window.palette()->y(), window.frameGeometry().top() + 25);

    window.palette()->pressButton(ButtonMagnifier); // offered only once a part is there
    EXPECT_EQ(window.magnifier(), nullptr);
    ASSERT_TRUE(window.loadPartFile(Side::Left, QString::fromStdString(folder.writePart("l.jpg", 30))));
    window.palette()->pressButton(ButtonMagnifier);
    ASSERT_NE(window.magnifier(), nullptr);
    EXPECT_TRUE(window.magnifier()->isVisible());
    EXPECT_TRUE(window.workspace()->magnifierActive());
    window.palette()->pressButton(ButtonMagnifier);
    EXPECT_FALSE(window.magnifier()->isVisible());
    EXPECT_FALSE(window.workspace()->magnifierActive());
    EXPECT_TRUE(std::filesystem::exists(folder.dir / "tsMagf.ini"));

    // Closing the magnifier itself turns the button off.
    window.palette()->pressButton(ButtonMagnifier);
    window.magnifier()->close();
    EXPECT_FALSE(window.palette()->state().magnifierOn());
    EXPECT_FALSE(window.workspace()->magnifierActive());

    // A tool button: the workspace's mode follows.
    window.palette()->pressButton(ButtonRotate);
    EXPECT_EQ(window.workspace()->model().mode(), ToolMode::Rotate);
    EXPECT_TRUE(window.workspace()->model().modeFlags().rotate);
    window.palette()->pressButton(ButtonRotate);
    EXPECT_FALSE(window.workspace()->model().modeFlags().rotate);

    // The palette's place is kept for the next run.
    window.palette()->move(33, 44);
    EXPECT_TRUE(window.requestExit());
    EXPECT_NE(readText(folder.config()).find("[float window]\nLeft=33\nTop=44\n"), std::string::npos);
}

TEST_F(MainWindowTest, PaletteKeepsItsPlaceOverRestarts) {
    ProgramFolder folder;
    folder.writeConfig("[first run]\nFlag=0\n[main window]\nLeft=200\nTop=40\nRight=775\nBottom=553\n"
                       "[float window]\nLeft=130\nTop=90\n");
    for (int run = 0; run < 3; ++run) {
        MainWindow window(optionsFor(folder, prompts));
        ASSERT_TRUE(window.initialise());
        window.show();
        QCoreApplication::processEvents();
        EXPECT_EQ(window.palette()->pos(), QPoint(130, 90)) << "run " << run;
        if (run == 2) {
            // Once both are shown, moving the window carries the palette along.
            window.move(window.pos() + QPoint(-30, 20));
            QTRY_COMPARE(window.palette()->pos(), QPoint(100, 110));
        }
        EXPECT_TRUE(window.requestExit());
    }
    EXPECT_NE(readText(folder.config()).find("[float window]\nLeft=100\nTop=110\n"), std::string::npos);
}

TEST_F(MainWindowTest, MaximisedWindowLeavesRoomForThePalette) {
    ProgramFolder folder;
    folder.writeConfig("[first run]\nFlag=0\n[main window]\nLeft=150\nTop=40\nRight=770\nBottom=592\n"
                       "[float window]\nLeft=130\nTop=90\n");
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    window.show();
    QCoreApplication::processEvents();
    const QRect normal = window.geometry();
    const QRect area = window.screen()->availableGeometry();
    window.showMaximized();
    QTRY_VERIFY(!window.isMaximized());
    const int paletteWidth = window.palette()->width();
    EXPECT_EQ(window.frameGeometry().left(), area.left() + paletteWidth);
    EXPECT_EQ(window.frameGeometry().top(), area.top());
    EXPECT_GT(window.geometry().width(), normal.width());
    EXPECT_EQ(window.palette()->pos(), QPoint(area.left(), area.top() + 25));
    EXPECT_FALSE(window.palette()->geometry().intersects(window.frameGeometry()));
    // The next maximise gives both their places back; the stored places are the normal ones.
    window.showMaximized();
    QTRY_COMPARE(window.geometry(), normal);
    EXPECT_EQ(window.palette()->pos(), QPoint(130, 90));
    window.showMaximized();
    QTRY_VERIFY(!window.isMaximized());
    EXPECT_TRUE(window.requestExit());
    EXPECT_NE(readText(folder.config()).find("Left=150\nTop=40\nRight=770\nBottom=592\n"), std::string::npos);
    EXPECT_NE(readText(folder.config()).find("[float window]\nLeft=130\nTop=90\n"), std::string::npos);
}

TEST_F(MainWindowTest, AcceleratorsWorkWhereverTheFocusIs) {
    ProgramFolder folder;
    folder.writeConfig("[first run]\nFlag=0\n[move explain]\nExplain=0\n");
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    window.show();
    ASSERT_TRUE(window.loadPartFile(Side::Left, QString::fromStdString(folder.writePart("l.jpg", 30))));
    ASSERT_TRUE(window.loadPartFile(Side::Right, QString::fromStdString(folder.writePart("r.jpg", 200))));
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    MergeWorkspace& model = window.workspace()->model();
    const std::pair<const char*, QWidget*> targets[] = {{"palette", window.palette()},
                                                        {"main window", window.button("help")},
                                                        {"workspace", window.workspace()}};
    for (const auto& [name, target] : targets) {
        QTest::keyClick(target, Qt::Key_G, Qt::ControlModifier);
        EXPECT_TRUE(model.modeFlags().grid) << name;
        QTest::keyClick(target, Qt::Key_G, Qt::ControlModifier);
        EXPECT_FALSE(model.modeFlags().grid) << name;
        // With the move tool from its accelerator, an arrow key nudges the part being dragged.
        QTest::keyClick(target, Qt::Key_H, Qt::ControlModifier);
        ASSERT_TRUE(model.modeFlags().move) << name;
        model.mousePress({100, 50}, {});
        const int before = model.side(Side::Left).view.offsetX;
        QTest::keyClick(target, Qt::Key_Right);
        EXPECT_EQ(model.side(Side::Left).view.offsetX, before - 1) << name;
        model.mouseRelease({100, 50});
        QTest::keyClick(target, Qt::Key_H, Qt::ControlModifier);
        EXPECT_FALSE(model.modeFlags().move) << name;
    }
    // A click on a palette button hands the keyboard back to the workspace.
    window.button("help")->setFocus();
    window.palette()->action(ButtonGrid)->trigger();
    EXPECT_EQ(QApplication::focusWidget(), window.workspace());
    EXPECT_TRUE(model.modeFlags().grid);
}

TEST_F(MainWindowTest, SendsTheJoinedPictureToAProgram) {
    namespace fs = std::filesystem;
    ProgramFolder folder;
    ::setenv("XDG_DATA_HOME", (folder.root / "share").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (folder.root / "nowhere").c_str(), 1);
    // The program copies the file it is given, as an image viewer would open it.
    const fs::path received = folder.root / "received.bmp";
    const fs::path program = folder.root / "bin" / "viewer";
    fs::create_directories(program.parent_path());
    std::ofstream(program) << "#!/bin/sh\ncp \"$1\" '" << received.string() << ".part' && mv '"
                           << received.string() << ".part' '" << received.string() << "'\n";
    fs::permissions(program, fs::perms::owner_all);

    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    ASSERT_TRUE(window.loadPartFile(Side::Left, QString::fromStdString(folder.writePart("l.jpg", 30))));
    ASSERT_TRUE(window.loadPartFile(Side::Right, QString::fromStdString(folder.writePart("r.jpg", 200))));
    if (!joiningWorks(window)) GTEST_SKIP() << "joining the parts is not built yet";
    prompts->onDialog = [&](QDialog& dialog) {
        auto& sendTo = dynamic_cast<SendToDialog&>(dialog);
        EXPECT_TRUE(sendTo.addProgram(QString::fromStdString(program.string())));
        sendTo.list()->setCurrentRow(0);
        EXPECT_TRUE(sendTo.sendToSelected());
        return sendTo.result();
    };
    window.button("sendTo")->click();
    ASSERT_EQ(prompts->dialogs.back(), "SendTo");
    for (int waited = 0; waited < 10000 && !fs::exists(received); waited += 20)
        QTest::qWait(20);
    ASSERT_TRUE(fs::exists(received));

    // The file reads back as the two parts side by side at their full height.
    const QImage joined(QString::fromStdString(received.string()));
    ASSERT_FALSE(joined.isNull());
    EXPECT_EQ(joined.height(), 700);
    EXPECT_GT(joined.width(), 500);
    EXPECT_LE(joined.width(), 1000);
    const QColor left = joined.pixelColor(5, 350), right = joined.pixelColor(joined.width() - 5, 350);
    EXPECT_NEAR(left.red(), 30, 6);
    EXPECT_NEAR(left.blue(), 225, 6);
    EXPECT_NEAR(right.red(), 200, 6);
    EXPECT_NEAR(right.blue(), 55, 6);
    // The list is kept for the next time.
    EXPECT_NE(readText(folder.dir / "tsApinfo.dat").find("ExePathName1=" + program.string()),
              std::string::npos);
}

TEST_F(MainWindowTest, AdjustsAPartOnlyWhenAccepted) {
    ProgramFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    ASSERT_TRUE(window.loadPartFile(Side::Left, QString::fromStdString(folder.writePart("l.jpg", 30))));
    MergeWorkspace& model = window.workspace()->model();
    const auto bytes = [](std::span<const std::uint8_t> s) {
        return std::vector<std::uint8_t>(s.begin(), s.end());
    };
    const auto working = bytes(model.workingCopyForAdjustment(Side::Left).pixels());
    const auto original = bytes(model.originalBlock(Side::Left));
    ASSERT_FALSE(working.empty());
    ASSERT_FALSE(original.empty());

    struct Case {
        bool accept;
        bool changed;
    } cases[] = {{false, false}, {true, true}};
    for (const auto& c : cases) {
        prompts->onDialog = [&](QDialog& dialog) {
            auto& adjust = dynamic_cast<ImageAdjustmentDialog&>(dialog);
            adjust.brightnessEdit()->setText("100");
            adjust.saturationEdit()->setText("-60");
            if (c.accept)
                adjust.accept();
            else
                adjust.reject();
            return adjust.result();
        };
        window.workspace()->runImageAdjustment(Side::Left);
        EXPECT_EQ(bytes(model.workingCopyForAdjustment(Side::Left).pixels()) != working, c.changed)
            << c.accept;
        EXPECT_EQ(bytes(model.originalBlock(Side::Left)) != original, c.changed) << c.accept;
    }
    EXPECT_EQ(prompts->dialogs, (std::vector<QString>{"ImageAdjustment", "ImageAdjustment"}));
}

TEST_F(MainWindowTest, WorkingFilesGoAtTheEnd) {
    ProgramFolder folder;
    std::filesystem::path working;
    {
        MainWindow window(optionsFor(folder, prompts));
        ASSERT_TRUE(window.initialise());
        working = window.paths().workingDir();
        for (const char* name : {"ScanImgL.bmp", "ScanImgR.bmp"})
            std::ofstream(working / name) << "x";
    }
    EXPECT_FALSE(std::filesystem::exists(working / "ScanImgL.bmp"));
    EXPECT_FALSE(std::filesystem::exists(working / "ScanImgR.bmp"));
}

TEST_F(MainWindowTest, F11StartsThePuzzle) {
    ProgramFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    window.show();
    QTest::keyClick(&window, Qt::Key_F11, Qt::ShiftModifier);
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, "Tilex/Tilex not found!");

    std::filesystem::create_directory(folder.dir / "Tilex");
    const auto marker = folder.root / "puzzle-started";
    const auto script = folder.dir / "Tilex" / "Tilex";
    std::ofstream(script) << "#!/bin/sh\ntouch '" << marker.string() << "'\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    QTest::keyClick(&window, Qt::Key_F11, Qt::ControlModifier);
    for (int i = 0; i < 200 && !std::filesystem::exists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_EQ(prompts->messages.size(), 1u);
}

TEST_F(MainWindowTest, BuyOpensTheStoredAddressOnly) {
    ProgramFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    window.buy(); // no InfoTS.ini: nothing visible
    EXPECT_TRUE(prompts->messages.empty());
    std::ofstream(folder.dir / "InfoTS.ini") << "[Link]\nurl1=\n";
    window.buy();
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].text, "Open URL Error!");
}

TEST_F(MainWindowTest, LayoutFollowsTheWindowSize) {
    ProgramFolder folder;
    MainWindow window(optionsFor(folder, prompts));
    ASSERT_TRUE(window.initialise());
    window.show();
    window.resize(1000, 840); // already in proportion: the size stays
    QApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(1000, 840));
    EXPECT_EQ(window.currentLayout().paneWidth, 467);
    EXPECT_EQ(window.currentLayout().paneHeight, 643);
    EXPECT_EQ(window.workspace()->model().paneWidth(), 467);
    EXPECT_EQ(window.workspace()->pos(), QPoint(32, 90));
    EXPECT_EQ(window.button("help")->geometry(), QRect(906, 809, 84, 26));

    // Dragging the right edge wider makes the window taller in proportion.
    window.setGeometry(100, 100, 600, 520);
    QApplication::processEvents();
    const Rect before{100, 100, 700, 620};
    window.setGeometry(100, 100, 800, 520);
    window.keepProportions(before);
    EXPECT_EQ(window.geometry(), QRect(100, 100, 800, 672));
}

TEST_F(MainWindowTest, TranslatedRun) {
    ProgramFolder folder;
    MainWindow window(optionsFor(folder, prompts, folder.dir / "translations" / "de" / "ZidureTS.msg"));
    ASSERT_TRUE(window.initialise());
    EXPECT_EQ(window.button("inputLeft")->text(), "&Einlesen");
    EXPECT_EQ(window.button("exit")->text(), "&Beenden");
    EXPECT_EQ(window.button("saveAs")->toolTip(), "Zusammengefügtes Bild als Datei speichern");
    EXPECT_EQ(window.list(0)->itemText(0), "Datei");
    EXPECT_EQ(window.list(0)->itemText(1), QString::fromUtf8("Kein Treiber verfügbar"));
    EXPECT_EQ(window.helpWindow()->windowTitle(), "Tandemscan-Hilfe");

    // A message: the error box of a missing file.
    window.loadPartFile(Side::Left, QString::fromStdString((folder.root / "none.jpg").string()));
    ASSERT_EQ(prompts->messages.size(), 1u);
    EXPECT_EQ(prompts->messages[0].caption, "Fehler");
    // The known first line is translated; the file and the reason follow as the system gives them.
    EXPECT_EQ(prompts->messages[0].text.section(QLatin1Char('\n'), 0, 0), "Die Datei existiert nicht!");
    EXPECT_EQ(
        prompts->messages[0].text.section(QLatin1Char('\n'), 1),
        QString::fromStdString("\"" + (folder.root / "none.jpg").string() + "\": No such file or directory"));

    // A dialog: the open dialog's preview panel.
    CPicShowDlg open(&window, window.language(), {});
    EXPECT_EQ(open.previewBox()->text(), "Vorschau anzeigen");
    EXPECT_TRUE(open.nameFilters().first().startsWith(QString::fromUtf8("Unterstützte Dateien")));
    EXPECT_EQ(open.windowTitle(), QString::fromUtf8("Bild öffnen"));
    SendToDialog sendTo(QString::fromStdString((folder.dir / "tsApinfo.dat").string()),
                        DialogContext{window.language(), {}}, [] { return QString(); });
    EXPECT_EQ(sendTo.windowTitle(), "Anwendungen");
    EXPECT_TRUE(sendTo.findChild<QLabel*>("note")->text().startsWith(QString::fromUtf8("Wählen Sie")));
}

// A German run has a help page for every English one; in either language no list entry or button
// text is cut off at the window's minimum size ("No driver available" and "Keine Entrasterung" were).
TEST_F(MainWindowTest, EveryLanguageIsWholeAndUncut) {
    ProgramFolder folder;
    for (const bool german : {false, true}) {
        MainWindow window(
            german ? optionsFor(folder, prompts, folder.dir / "translations" / "de" / "ZidureTS.msg")
                   : optionsFor(folder, prompts));
        ASSERT_TRUE(window.initialise());
        window.show();
        window.resize(window.minimumSize());
        QApplication::processEvents();
        ASSERT_EQ(window.size(), window.minimumSize());
        for (int i = 0; i < 4; ++i) {
            QComboBox* list = window.list(i);
            QStyleOptionComboBox option;
            option.initFrom(list);
            const int room =
                list->style()
                    ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, list)
                    .width();
            for (int item = 0; item < list->count(); ++item)
                EXPECT_LE(list->fontMetrics().horizontalAdvance(list->itemText(item)), room)
                    << german << " " << list->itemText(item).toStdString();
        }
        for (const QPushButton* button : window.findChildren<QPushButton*>()) {
            if (!button->isVisibleTo(&window) || button->window() != &window) continue;
            const QString text = QString(button->text()).remove(QLatin1Char('&'));
            const int margins = 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin);
            EXPECT_LE(button->fontMetrics().horizontalAdvance(text) + margins, button->width())
                << german << " " << text.toStdString();
        }
        if (!german) continue;
        const QDir english(QString::fromStdString((folder.dir / "TShelp" / "html").string()));
        const QStringList pages = english.entryList({QStringLiteral("*.htm")}, QDir::Files);
        ASSERT_GE(pages.size(), 6);
        for (const QString& page : pages) {
            ASSERT_TRUE(window.helpWindow()->showTopic(QStringLiteral("html/") + page)) << page.toStdString();
            EXPECT_EQ(window.helpWindow()->currentTopic(), QStringLiteral("html/de/") + page)
                << page.toStdString();
        }
        ASSERT_TRUE(window.helpWindow()->showTopic(QStringLiteral("html/Quick.htm")));
        EXPECT_TRUE(
            window.helpWindow()->browser()->toPlainText().contains(QString::fromUtf8("Schnellstart")));
    }
}

// Qt's own texts -- the buttons of the standard boxes (the exit question), the save dialog's title
// and labels -- follow the language, and only while the window lives; a text without an entry
// stays as Qt writes it.
TEST_F(MainWindowTest, QtOwnTextsFollowTheLanguage) {
    const std::vector<std::pair<QMessageBox::StandardButton, QString>> german = {
        {QMessageBox::Yes, "&Ja"},
        {QMessageBox::No, "&Nein"},
        {QMessageBox::Cancel, "Abbrechen"},
        {QMessageBox::Ok, "OK"}};
    const auto buttonText = [](QMessageBox::StandardButton which) {
        QMessageBox box(QMessageBox::Question, "", "", which);
        return box.button(which)->text();
    };
    {
        ProgramFolder folder;
        MainWindow window(optionsFor(folder, prompts, folder.dir / "translations" / "de" / "ZidureTS.msg"));
        ASSERT_TRUE(window.initialise());
        for (const auto& [which, text] : german)
            EXPECT_EQ(buttonText(which), text) << text.toStdString();

        // The save dialog is Qt's own: its default title and labels too.
        CFileSaveAsDlg save(&window, window.language(), QString(), "BMP file (*.bmp)", "*.bmp");
        EXPECT_EQ(save.windowTitle(), "Speichern unter");
        const auto* nameLabel = save.findChild<QLabel*>(QStringLiteral("fileNameLabel"));
        ASSERT_NE(nameLabel, nullptr);
        EXPECT_EQ(nameLabel->text(), "Datei&name:");
    }
    EXPECT_EQ(buttonText(QMessageBox::Yes), "&Yes");
    EXPECT_EQ(buttonText(QMessageBox::Cancel), "Cancel");
}

} // namespace
} // namespace tandemscan
