// The side dialogs driven as a user would: keys, clicks and OK, with message boxes recorded.
#include "checked_number_edit.h"
#include "ini_file.h"
#include "magnifier.h"
#include "send_to_dialog.h"
#include "value_dialogs.h"

#include <QApplication>
#include <QButtonGroup>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace tandemscan;

namespace {

struct Recorded {
    QString text, caption;
    QMessageBox::Icon icon;
};

struct Recorder {
    std::vector<Recorded> messages;
    DialogContext context() {
        DialogContext c;
        c.showMessage = [this](QWidget*, const QString& text, const QString& caption,
                               QMessageBox::Icon icon) {
            messages.push_back({text, caption, icon});
        };
        return c;
    }
};

void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text)
        QTest::keyClick(widget, c.toLatin1());
}

} // namespace

TEST(ValueDialogs, CustomResolutionRefusesOutOfRangeAndStartsOver) {
    Recorder recorder;
    SliderValueDialog dialog(SliderValueDialog::Kind::CustomResolution, recorder.context());
    dialog.edit()->setText("1300");
    dialog.accept();
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, "Invalid value! Please type number between 75 and 1200.");
    EXPECT_EQ(recorder.messages[0].caption, "Error");
    EXPECT_EQ(recorder.messages[0].icon, QMessageBox::Critical);
    EXPECT_EQ(dialog.edit()->text(), "100");
    EXPECT_EQ(dialog.result(), QDialog::Rejected); // still open

    dialog.scrollBar()->setSliderPosition(1195);
    dialog.scrollBar()->triggerAction(QAbstractSlider::SliderMove);
    dialog.scrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(dialog.edit()->text(), "1200");
    dialog.accept();
    EXPECT_EQ(dialog.result(), 1200);
    EXPECT_EQ(recorder.messages.size(), 1u);
}

TEST(ValueDialogs, DescreenFollowsTheEdit) {
    Recorder recorder;
    SliderValueDialog dialog(SliderValueDialog::Kind::Descreen, recorder.context());
    EXPECT_EQ(dialog.edit()->maxLength(), 3);
    dialog.edit()->setText("150");
    EXPECT_EQ(dialog.scrollBar()->value(), 150);
    dialog.scrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(dialog.edit()->text(), "149");
    dialog.accept();
    EXPECT_EQ(dialog.result(), 149);
}

TEST(ValueDialogs, OriginalTypeChecksWidthThenHeight) {
    struct Case {
        const char* width;
        const char* height;
        bool accepted;
        int widthSignalled; // -1: none
        const char* message;
    } cases[] = {
        {"4220", "2970", true, 4220, nullptr},
        {"4221", "2970", false, -1, "The original width must be in 2300 ~ 4220 !"},
        {"3000", "100", false, 3000, "The original height must be in 200 ~ 2980 !"},
        {"2300", "200", true, 2300, nullptr},
    };
    for (const auto& c : cases) {
        Recorder recorder;
        OriginalTypeDialog dialog(4200, 2970, recorder.context());
        int signalled = -1;
        QObject::connect(&dialog, &OriginalTypeDialog::widthAccepted, [&](int w) { signalled = w; });
        dialog.widthEdit()->setText(c.width);
        dialog.heightEdit()->setText(c.height);
        dialog.accept();
        EXPECT_EQ(dialog.result() == QDialog::Accepted, c.accepted) << c.width;
        EXPECT_EQ(signalled, c.widthSignalled) << c.width;
        if (c.message) {
            ASSERT_EQ(recorder.messages.size(), 1u);
            EXPECT_EQ(recorder.messages[0].text, c.message);
            EXPECT_EQ(recorder.messages[0].caption, "Zunt--Tandemscan");
        } else {
            EXPECT_TRUE(recorder.messages.empty());
        }
    }
}

TEST(ValueDialogs, FifthDigitInTheWidthSpeaksAtOnce) {
    Recorder recorder;
    OriginalTypeDialog dialog(4200, 2970, recorder.context());
    dialog.widthEdit()->setCursorPosition(4);
    QTest::keyClick(dialog.widthEdit(), '1');
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, "The original width must be in 2300 ~ 4220 !");
    EXPECT_EQ(dialog.widthEdit()->text(), "4200");
}

TEST(CheckedNumberEditTest, TypingAndLeaving) {
    Recorder recorder;
    QWidget window;
    auto* edit = new CheckedNumberEdit(&window);
    auto* other = new QLineEdit(&window);
    edit->setContext(recorder.context());
    edit->setUp(NumberKind::Int32, {NumberKind::Int32, 0}, {NumberKind::Int32, -127},
                {NumberKind::Int32, 127}, {NumberKind::Int32, 0});
    EXPECT_EQ(edit->text(), "0");
    edit->selectAll();
    typeText(edit, "-");
    typeText(edit, "-"); // a second minus is refused
    typeText(edit, "x5");
    EXPECT_EQ(edit->text(), "-5");

    edit->selectAll();
    typeText(edit, "200");
    EXPECT_EQ(edit->text(), "200");
    EXPECT_FALSE(edit->checkRange());
    ASSERT_EQ(recorder.messages.size(), 1u);
    EXPECT_EQ(recorder.messages[0].text, "The value must be in range: -127  ~   127!");
    EXPECT_EQ(edit->text(), "0");
    EXPECT_EQ(edit->selectedText(), "0");
    (void)other;
}

TEST(CheckedNumberEditTest, FloatFieldsCutTheFraction) {
    CheckedNumberEdit edit;
    edit.setUp(NumberKind::Float, {NumberKind::Float, 1}, {NumberKind::Float, 0}, {NumberKind::Float, 10},
               {NumberKind::Float, 1});
    EXPECT_EQ(edit.text(), "1.000");
    edit.setCursorPosition(5);
    typeText(&edit, "7");
    EXPECT_EQ(edit.text(), "1.000");
}

TEST(MagnifierTest, SettingsFileRoundTripAndDefaults) {
    QTemporaryDir dir;
    const QString path = dir.filePath("tsMagf.ini");
    const auto missing = MagnifierSettings::load(path);
    EXPECT_TRUE(missing.useDefaultPosition);

    MagnifierSettings s;
    s.rect = {10, 20, 136, 146};
    s.zoom = 25;
    s.size = 120;
    ASSERT_TRUE(s.save(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "[magf window]\nLeft=10\nTop=20\nRight=136\nBottom=146\nZoom=25\nSize=120\n");
    const auto back = MagnifierSettings::load(path);
    EXPECT_FALSE(back.useDefaultPosition);
    EXPECT_EQ(back.rect, s.rect);
    EXPECT_EQ(back.zoom, 25);
    EXPECT_EQ(back.size, 120);
}

TEST(MagnifierTest, PaintsTheEnlargedSquareAndTakesNoEscape) {
    QTemporaryDir dir;
    QWidget main;
    main.setGeometry(0, 0, 400, 300);
    MagnifierWindow glass(dir.filePath("tsMagf.ini"), {}, &main);
    glass.open(false);
    EXPECT_EQ(glass.width(), 100);
    QImage snapshot(400, 300, QImage::Format_RGB32);
    snapshot.fill(Qt::white);
    snapshot.setPixel(200, 150, qRgb(0, 0, 255));
    glass.setSource(snapshot, QPoint(200, 150));
    const QImage shown = glass.grab().toImage();
    // zoom x2: the blue pixel at the centre covers the 2x2 block at (50, 50) under the cross
    EXPECT_EQ(shown.pixel(51, 51), qRgb(0, 0, 255));
    EXPECT_EQ(shown.pixel(50, 60), qRgb(255, 0, 0)); // the cross
    EXPECT_EQ(shown.pixel(30, 30), qRgb(255, 255, 255));
    QTest::keyClick(&glass, Qt::Key_Escape);
    EXPECT_TRUE(glass.isVisible());
    glass.applyChoice(150, 30);
    EXPECT_EQ(glass.width(), 150);
    glass.closeAndSave();
    const auto saved = MagnifierSettings::load(dir.filePath("tsMagf.ini"));
    EXPECT_EQ(saved.size, 150);
    EXPECT_EQ(saved.zoom, 30);
}

TEST(MagnifierTest, PropertyPagesStartFromTheCurrentChoice) {
    MagnifierProperties sheet(150, 18, {});
    EXPECT_EQ(sheet.sizeChoices()->checkedId(), 2);
    EXPECT_EQ(sheet.zoomChoices()->checkedId(), 0);
    EXPECT_EQ(sheet.size(), 150);
    EXPECT_EQ(sheet.zoom(), 18);
    MagnifierProperties odd(77, 77, {});
    EXPECT_EQ(odd.size(), 100);
    EXPECT_EQ(odd.zoom(), 20);
}

namespace {

struct SendToFixture : ::testing::Test {
    QTemporaryDir home, data;
    void SetUp() override {
        qputenv("XDG_DATA_HOME", home.filePath("share").toUtf8());
        qputenv("XDG_DATA_DIRS", home.filePath("none").toUtf8());
    }
    QString dataFile() const { return data.filePath("tsApinfo.dat"); }
    QString makeProgram(const QString& name, const QByteArray& script = "#!/bin/sh\n") {
        const QString path = home.filePath("bin/" + name);
        QDir().mkpath(home.filePath("bin"));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(script);
        f.close();
        f.setPermissions(f.permissions() | QFile::ExeOwner);
        return path;
    }
    void makeEntry(const QString& program) {
        QDir().mkpath(home.filePath("share/applications"));
        QFile f(home.filePath("share/applications/" + QFileInfo(program).fileName() + ".desktop"));
        f.open(QIODevice::WriteOnly);
        f.write("[Desktop Entry]\nType=Application\nExec=\"" + program.toUtf8() + "\" %f\n");
    }
};

} // namespace

TEST_F(SendToFixture, FirstOpeningWithoutDefaultsThenOk) {
    Recorder recorder;
    {
        SendToDialog dialog(dataFile(), recorder.context(), [] { return QString(); });
        EXPECT_EQ(dialog.list()->count(), 0);
        EXPECT_FALSE(dialog.sendButton()->isEnabled());
        dialog.reject(); // Cancel writes nothing: the defaults are asked for again next time
    }
    IniFile after(dataFile().toStdString());
    after.load();
    EXPECT_EQ(after.readInt("first run", "flag", -1), 0);
    EXPECT_EQ(after.readInt("default app", "AppCount"), 8);
    EXPECT_EQ(after.readString("default app", "ExeName7"), "kolourpaint");

    // A default program that is installed turns up on the next first-use opening.
    makeEntry(makeProgram("gimp"));
    SendToDialog dialog(dataFile(), recorder.context(), [] { return QString(); });
    ASSERT_EQ(dialog.list()->count(), 1);
    EXPECT_EQ(dialog.list()->item(0)->text(), "gimp");
    dialog.accept();
    IniFile saved(dataFile().toStdString());
    saved.load();
    EXPECT_EQ(saved.readInt("first run", "flag"), 1);
    EXPECT_EQ(saved.readInt("current app", "AppCount"), 1);
    EXPECT_EQ(QString::fromStdString(saved.readString("current app", "ExePathName1")),
              home.filePath("bin/gimp"));
}

TEST_F(SendToFixture, AddRefusalsDeleteAndDroppedPrograms) {
    Recorder recorder;
    const QString viewer = makeProgram("Viewer");
    const QString gone = makeProgram("gone");
    {
        SendToDialog dialog(dataFile(), recorder.context(), [] { return QString(); });
        EXPECT_TRUE(dialog.addProgram(viewer));
        EXPECT_FALSE(dialog.addProgram(viewer.toUpper()));
        EXPECT_FALSE(dialog.addProgram("/opt/x/Tandemscan"));
        EXPECT_TRUE(dialog.addProgram(gone));
        ASSERT_EQ(recorder.messages.size(), 2u);
        EXPECT_EQ(recorder.messages[0].text, "The Application has already existed!");
        EXPECT_EQ(recorder.messages[1].text, "Please don't add Tandemscan!");
        dialog.deleteSelected();
        EXPECT_EQ(recorder.messages.back().text, "Please select an AP");
        dialog.accept();
    }
    QFile::remove(gone);
    SendToDialog dialog(dataFile(), recorder.context(), [] { return QString(); });
    EXPECT_EQ(dialog.programs(), QStringList{viewer});
    dialog.list()->setCurrentRow(0);
    EXPECT_TRUE(dialog.deleteButton()->isEnabled());
    dialog.deleteSelected();
    EXPECT_TRUE(dialog.programs().isEmpty());
    EXPECT_FALSE(dialog.sendButton()->isEnabled());
}

TEST_F(SendToFixture, LargeHandEditedListReadsAsBefore) {
    const QString viewer = makeProgram("viewer");
    const QString paint = makeProgram("paint");
    const QString editor = makeProgram("editor");
    QByteArray text = "[first run]\r\nflag=1\r\n";
    // Several megabytes before the list, as a file that grew by hand or by a faulty writer.
    text += "[padding]\n";
    for (int i = 0; i < 150000; ++i)
        text += "Key" + QByteArray::number(i) + "=some value that is long enough\r\n";
    const QByteArray missing = home.filePath("bin/missing").toUtf8();
    const QByteArray lines[] = {
        "[Current App]\r\n",
        "AppCount = 2147483647 ; far more than are read\r\n",
        "ExePathName1=" + viewer.toUtf8() + "\r\n",
        "exepathname1=" + paint.toUtf8() + "\r\n", // a repeated key: the first counts
        "; ExePathName2=" + editor.toUtf8() + "\r\n",
        " ExePathName2 = \"" + paint.toUtf8() + "\"\n",
        "ExePathName3=" + missing + "\n",
        "ExePathName4096=" + editor.toUtf8() + "\r\r\n",
        "ExePathName4097=" + viewer.toUtf8() + "\n",
        "[current app]\nExePathName4=" + editor.toUtf8() + "\n", // a repeated section is not read
    };
    for (const QByteArray& line : lines)
        text += line;
    QFile f(dataFile());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    f.close();
    Recorder recorder;
    SendToDialog dialog(dataFile(), recorder.context(), [] { return QString(); });
    EXPECT_EQ(dialog.programs(), (QStringList{viewer, paint, editor}));
    ASSERT_EQ(dialog.list()->count(), 3);
    EXPECT_EQ(dialog.list()->item(2)->text(), "editor");
    EXPECT_EQ(dialog.list()->item(2)->toolTip(), editor);
}

TEST_F(SendToFixture, SendStartsTheProgramWithTheExportedPicture) {
    Recorder recorder;
    const QString received = data.filePath("received.txt");
    const QString program =
        makeProgram("viewer", "#!/bin/sh\nprintf '%s' \"$1\" > '" + received.toUtf8() + "'\n");
    const QString image = data.filePath("_MergeImg1.bmp");
    SendToDialog dialog(dataFile(), recorder.context(), [&] { return image; });
    dialog.addProgram(program);
    dialog.list()->setCurrentRow(0);
    ASSERT_TRUE(dialog.sendToSelected());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    for (int waited = 0; waited < 5000 && QFileInfo(received).size() == 0; waited += 20)
        QTest::qWait(20);
    QFile file(received);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), image);

    // A program that cannot start leaves the dialog open with the message, and no export behind.
    const QString written = data.filePath("2_MergeImg.bmp");
    int exports = 0;
    const auto exportFile = [&] {
        ++exports;
        QFile file(written);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return written;
    };
    SendToDialog failing(dataFile(), recorder.context(), exportFile);
    failing.setStartProgram([](const QString&, const QString&) { return false; });
    failing.list()->setCurrentRow(0);
    EXPECT_FALSE(failing.sendToSelected());
    EXPECT_EQ(recorder.messages.back().text, "The selected application cannot open the file!");
    EXPECT_EQ(exports, 1);
    EXPECT_FALSE(QFileInfo::exists(written)) << "the export of a failed start is removed";

    // A program that is gone, or not executable, is not even given an export.
    const QString gone = data.filePath("gone-viewer");
    const QString plain = data.filePath("plain-file");
    QFile(plain).open(QIODevice::WriteOnly);
    for (const QString& path : {gone, plain}) {
        SendToDialog dialog(dataFile(), recorder.context(), exportFile);
        dialog.addProgram(path);
        dialog.list()->setCurrentRow(dialog.list()->count() - 1);
        EXPECT_FALSE(dialog.sendToSelected()) << path.toStdString();
        EXPECT_EQ(recorder.messages.back().text, "The selected application cannot open the file!");
    }
    EXPECT_EQ(exports, 1);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
