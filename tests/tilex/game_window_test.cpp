// The game window driven offscreen, with a recording stand-in for every dialog. Each test gets
// its own program folder holding the built components, skin and data.
#include "byte_order.h"
#include "game_window.h"
#include "prompts.h"
#include "records.h"
#include "rgn_button.h"
#include "saved_game.h"
#include "skin.h"

#include <QApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace tilex;

namespace {

const QString built = QStringLiteral(TS_PROGRAM_DIR "/Tilex");

struct Message {
    QString text;
    QString caption;
};

class RecordingPrompts : public GamePrompts {
  public:
    std::vector<Message> messages;
    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    std::vector<FileQuestion> saveQuestions;
    std::optional<std::pair<int, int>> levelAnswer;
    QString nameAnswer;
    int namesAsked = 0;
    std::vector<RecordTable> recordsShown;

    void message(QWidget*, const QString& text, const QString& caption, MessageIcon) override {
        messages.push_back({text, caption});
    }
    std::vector<FileQuestion> openQuestions;
    QString openFile(QWidget*, const FileQuestion& question) override {
        openQuestions.push_back(question);
        return take(openAnswers);
    }
    QString saveFile(QWidget*, const FileQuestion& question) override {
        saveQuestions.push_back(question);
        return take(saveAnswers);
    }
    std::optional<std::pair<int, int>> selectLevel(QWidget*, int, int) override { return levelAnswer; }
    QString askName(QWidget*, const QString&) override {
        ++namesAsked;
        return nameAnswer;
    }
    std::vector<QString> recordNotes;
    void showRecords(QWidget*, const std::string&, int, int, const RecordTable& table,
                     const QString& note) override {
        recordsShown.push_back(table);
        recordNotes.push_back(note);
    }
    int scannerAnswer = -1;
    std::vector<QStringList> scannerLists;
    int chooseScanner(QWidget*, const QStringList& names) override {
        scannerLists.push_back(names);
        return scannerAnswer;
    }
    void about(QWidget*) override {}

    // The messages other than the one about the scanner component, which depends on the build.
    std::vector<Message> gameMessages() const {
        std::vector<Message> out;
        for (const Message& m : messages)
            if (!m.text.contains(QStringLiteral("TwainTX"))) out.push_back(m);
        return out;
    }

  private:
    static QString take(std::deque<QString>& answers) {
        if (answers.empty()) return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// A program folder of links to the build's files, with its own writable records file.
class ProgramFolder {
  public:
    explicit ProgramFolder(bool withPicture = true, bool withImageComponent = true) {
        for (const char* name : {"mp3play.so", "TwainTX.so", "skin", "default.mp3", "Tilex.msg"})
            link(name);
        if (withImageComponent) link("RaduvOR.so");
        if (withPicture) link("default.bmp");
        QFile::copy(built + "/Tilex.ini", path("Tilex.ini"));
        QFile(path("Tilex.ini")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    QString path(const QString& name) const { return QDir(dir_.path()).filePath(name); }
    void replace(const QString& name, const QString& target) {
        QFile::remove(path(name));
        QFile::link(target, path(name));
    }
    QString dir() const { return dir_.path(); }

  private:
    void link(const char* name) {
        const QString target = built + "/" + name;
        if (QFileInfo::exists(target)) QFile::link(target, path(QString::fromUtf8(name)));
    }
    QTemporaryDir dir_;
};

// The finish lets the missing piece slide in before the results are shown.
void waitForFinish(const GameWindow& window) {
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.finishing(); }, 5000));
}

QPoint slotCentre(const Board& board, int slot) {
    const PixelRect r = board.slotRect(slot);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class GameWindowTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        qputenv("SDL_AUDIODRIVER", "dummy");
        qputenv("XDG_CONFIG_HOME", QDir::temp().filePath(QStringLiteral("tilex-gui-config")).toUtf8());
        static int argc = 1;
        static char name[] = "tilex_gui_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance()) new QApplication(argc, argv);
    }
    RecordingPrompts prompts;
};

} // namespace

TEST_F(GameWindowTest, StartsWithTheDefaultPictureAndMusic) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    EXPECT_TRUE(prompts.gameMessages().empty());
    EXPECT_EQ(window.windowTitle(), "Tilex");
    ASSERT_TRUE(window.board().picture());
    EXPECT_EQ(window.board().picture()->width, 540);
    EXPECT_EQ(window.board().picture()->height, 455);
    EXPECT_EQ(window.board().originX(), 80);
    EXPECT_EQ(window.picturePath(), folder.path("default.bmp"));
    EXPECT_TRUE(window.button(GameWindow::StartButton)->isEnabled());
    EXPECT_TRUE(window.button(GameWindow::PreviewButton)->isEnabled());
    EXPECT_FALSE(window.button(GameWindow::SaveBreakButton)->isEnabled());
    EXPECT_TRUE(window.button(GameWindow::TopButton)->isEnabled());
    EXPECT_TRUE(window.musicOn());
    EXPECT_EQ(window.button(GameWindow::MusicButton)->toolTip(), "Stop Music");
    EXPECT_EQ(window.button(GameWindow::ScanButton)->isEnabled(), QFileInfo::exists(built + "/TwainTX.so"));
    // The shape of the skin: the corners are cut away, the board is inside.
    EXPECT_FALSE(window.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(window.mask().contains(QPoint(400, 300)));
    // Buttons sit where they belong, with the size of their faces.
    EXPECT_EQ(window.button(GameWindow::StartButton)->geometry(), QRect(654, 232, 124, 32));
    EXPECT_EQ(window.button(GameWindow::CloseButton)->geometry().topLeft(), QPoint(680, 80));
}

TEST_F(GameWindowTest, WithoutThePictureRunsUntilOneIsChosen) {
    ProgramFolder folder(false);
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    ASSERT_EQ(prompts.gameMessages().size(), 1u);
    EXPECT_EQ(prompts.gameMessages()[0].text,
              "Attention! No the default picture.\n\nPlease specify one image file.");
    EXPECT_EQ(prompts.gameMessages()[0].caption, "Default File Error");
    EXPECT_FALSE(window.button(GameWindow::StartButton)->isEnabled());
    EXPECT_FALSE(window.button(GameWindow::PreviewButton)->isEnabled());
    EXPECT_FALSE(window.board().picture());
    window.startOrGiveUp();
    EXPECT_FALSE(window.board().playing());

    prompts.openAnswers.push_back(built + "/default.bmp");
    window.changeImage();
    EXPECT_TRUE(window.button(GameWindow::StartButton)->isEnabled());
    EXPECT_TRUE(window.button(GameWindow::PreviewButton)->isEnabled());
    EXPECT_EQ(window.picturePath(), built + "/default.bmp");
    EXPECT_TRUE(window.board().picture());

    // A picture smaller than the grid cannot be played.
    QImage tiny(2, 2, QImage::Format_RGB888);
    tiny.fill(Qt::red);
    ASSERT_TRUE(tiny.save(folder.path("tiny.bmp"), "BMP"));
    prompts.openAnswers.push_back(folder.path("tiny.bmp"));
    window.changeImage();
    ASSERT_EQ(window.board().picture()->width, 2);
    window.startOrGiveUp();
    EXPECT_FALSE(window.board().playing());
    EXPECT_EQ(
        prompts.gameMessages().back().text,
        "Error! The picture is too small for this level.\n\nPlease choose a lower level or another picture.");
    prompts.openAnswers.push_back(built + "/default.bmp");
    window.changeImage();

    // An unreadable choice keeps the picture there is.
    const QString junk = folder.path("junk.bmp");
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a picture");
    file.close();
    prompts.openAnswers.push_back(junk);
    window.changeImage();
    EXPECT_EQ(prompts.gameMessages().back().caption, "Read Image Error");
    EXPECT_EQ(window.picturePath(), built + "/default.bmp");
    EXPECT_EQ(window.board().picture()->width, 540);
}

TEST_F(GameWindowTest, WithoutTheImageComponentTheProgramEnds) {
    ProgramFolder folder(true, false);
    GameWindow window(folder.dir(), prompts);
    EXPECT_FALSE(window.initialise());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              "Error! No RaduvOR.so in current path.\n\nPlease specify the library in the current path.");
    EXPECT_EQ(prompts.messages[0].caption, "Load DLL Error");
}

TEST_F(GameWindowTest, StartAndGiveUpToggleTheButtons) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    QTest::mouseClick(window.button(GameWindow::StartButton), Qt::LeftButton);
    EXPECT_TRUE(window.board().playing());
    EXPECT_TRUE(window.clockRunning());
    EXPECT_GE(window.board().blank(), 0);
    EXPECT_FALSE(window.button(GameWindow::ChangeImageButton)->isEnabled());
    EXPECT_FALSE(window.button(GameWindow::LevelButton)->isEnabled());
    EXPECT_TRUE(window.button(GameWindow::SaveBreakButton)->isEnabled());
    EXPECT_EQ(window.button(GameWindow::StartButton)->toolTip(), "Give UP");
    window.tick();
    window.tick();
    EXPECT_EQ(window.board().elapsed(), 2u);

    QTest::mouseClick(window.button(GameWindow::StartButton), Qt::LeftButton);
    EXPECT_FALSE(window.board().playing());
    EXPECT_FALSE(window.clockRunning());
    EXPECT_EQ(window.board().blank(), -1);
    EXPECT_EQ(window.board().elapsed(), 0u);
    EXPECT_TRUE(window.button(GameWindow::ChangeImageButton)->isEnabled());
    EXPECT_FALSE(window.button(GameWindow::SaveBreakButton)->isEnabled());
    EXPECT_EQ(window.button(GameWindow::StartButton)->toolTip(), "New Game");
}

TEST_F(GameWindowTest, ClicksSlideUntilSolvedAndTheTimeIsRecorded) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    window.resumeGame(3, 3, 6, {0, 1, 2, 3, 4, 5, 8, 6, 7}, 95);
    // A diagonal neighbour and the gap itself do nothing.
    QTest::mouseClick(&window, Qt::LeftButton, {}, slotCentre(window.board(), 4));
    QTest::mouseClick(&window, Qt::LeftButton, {}, slotCentre(window.board(), 6));
    EXPECT_EQ(window.board().blank(), 6);
    QTest::mouseClick(&window, Qt::LeftButton, {}, slotCentre(window.board(), 7));
    EXPECT_EQ(window.board().blank(), 7);
    EXPECT_TRUE(window.board().playing());
    prompts.nameAnswer = QStringLiteral("Tester");
    QTest::mouseClick(&window, Qt::LeftButton, {}, slotCentre(window.board(), 8));
    EXPECT_TRUE(window.finishing());
    EXPECT_TRUE(prompts.gameMessages().empty());
    waitForFinish(window);

    EXPECT_FALSE(window.board().playing());
    EXPECT_EQ(window.finishNote(), "Solved in 00:01:35 with 2 moves.\nThat is place 1 of the best five.");
    ASSERT_EQ(prompts.recordNotes.size(), 1u);
    EXPECT_EQ(prompts.recordNotes[0], "Your game: 00:01:35 in 2 moves");
    ASSERT_EQ(prompts.gameMessages().size(), 1u);
    EXPECT_EQ(prompts.gameMessages()[0].text, "You break the record!");
    EXPECT_EQ(prompts.gameMessages()[0].caption, "Tilex");
    ASSERT_EQ(prompts.recordsShown.size(), 1u);
    const QDate today = QDateTime::currentDateTimeUtc().date();
    const RecordEntry expected{"Tester",
                               95,
                               540,
                               455,
                               static_cast<uint16_t>(today.year()),
                               static_cast<uint16_t>(today.month()),
                               static_cast<uint16_t>(today.day())};
    EXPECT_EQ(prompts.recordsShown[0][0], expected);
    EXPECT_EQ(prompts.recordsShown[0][1].time, 10400u);
    const auto stored = readRecordTable(folder.path("Tilex.ini").toStdString(), 3, 3);
    ASSERT_TRUE(stored);
    EXPECT_EQ((*stored)[0], expected);
    EXPECT_EQ((*stored)[4].time, 10700u);
}

TEST_F(GameWindowTest, SlowTimesAndEqualTimesFindTheirPlace) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    struct Case {
        uint32_t elapsed;
        const char* text;
        int names;
    };
    const Case cases[] = {
        {10900, "Congratulation!\n\nYou success!", 0}, // slower than the fifth
        {10600, "You are at the postion of 4", 1},     // equal to the third
    };
    for (const Case& c : cases) {
        prompts.messages.clear();
        prompts.namesAsked = 0;
        window.resumeGame(3, 3, 7, {0, 1, 2, 3, 4, 5, 6, 8, 7}, c.elapsed);
        window.releaseAt(slotCentre(window.board(), 8));
        waitForFinish(window);
        ASSERT_FALSE(prompts.gameMessages().empty());
        EXPECT_EQ(prompts.gameMessages()[0].text, c.text);
        EXPECT_EQ(prompts.namesAsked, c.names);
    }
    const auto stored = readRecordTable(folder.path("Tilex.ini").toStdString(), 3, 3);
    EXPECT_EQ((*stored)[3].name, defaultPlayerName); // Cancel takes the default name
    EXPECT_EQ((*stored)[3].time, 10600u);
    EXPECT_EQ((*stored)[2].time, 10600u);
}

TEST_F(GameWindowTest, OvertimeStopsTheGame) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    window.resumeGame(3, 3, 7, {0, 1, 2, 3, 4, 5, 6, 8, 7}, 14399);
    window.tick();
    EXPECT_FALSE(window.board().playing());
    EXPECT_EQ(window.board().elapsed(), 0u);
    ASSERT_EQ(prompts.gameMessages().size(), 1u);
    EXPECT_EQ(prompts.gameMessages()[0].text, "You have overtimed!\n\nPlease, restart it.");
    EXPECT_EQ(prompts.gameMessages()[0].caption, "Overtime");
}

TEST_F(GameWindowTest, SavedGamesRoundTripAndSwitchBackToTheirPicture) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    prompts.levelAnswer = std::make_pair(4, 5);
    window.selectLevel();
    window.startOrGiveUp();
    window.tick();
    const std::vector<int32_t> order = window.board().slotOrder();
    const int blank = window.board().blank();

    const QString saved = folder.path("MySave.sav");
    prompts.saveAnswers.push_back(saved);
    window.saveBreak();
    ASSERT_EQ(prompts.saveQuestions.size(), 1u);
    EXPECT_EQ(prompts.saveQuestions[0].defaultName, "MySave");
    EXPECT_EQ(prompts.saveQuestions[0].defaultSuffix, "sav");
    EXPECT_TRUE(window.clockRunning());
    const SavedGameRead read = readSavedGame(saved.toStdString());
    ASSERT_TRUE(read.game) << read.problem;
    EXPECT_EQ(read.game->rows, 4);
    EXPECT_EQ(read.game->cols, 5);
    EXPECT_EQ(read.game->blank, blank);
    EXPECT_EQ(read.game->order, order);
    EXPECT_EQ(read.game->elapsed, 1u);
    EXPECT_EQ(read.game->picturePath, folder.path("default.bmp").toStdString());

    // Another picture and level, then the saved game brings its own back.
    window.startOrGiveUp();
    QImage other(200, 100, QImage::Format_RGB888);
    other.fill(QColor(10, 200, 30));
    const QString otherPath = folder.path("other.bmp");
    ASSERT_TRUE(other.save(otherPath, "BMP"));
    prompts.openAnswers.push_back(otherPath);
    window.changeImage();
    ASSERT_EQ(window.board().picture()->width, 200);
    prompts.levelAnswer = std::make_pair(3, 3);
    window.selectLevel();

    prompts.openAnswers.push_back(saved);
    window.loadBreak();
    EXPECT_TRUE(window.board().playing());
    EXPECT_TRUE(window.clockRunning());
    EXPECT_EQ(window.picturePath(), folder.path("default.bmp"));
    EXPECT_EQ(window.board().picture()->width, 540);
    EXPECT_EQ(window.board().rows(), 4);
    EXPECT_EQ(window.board().cols(), 5);
    EXPECT_EQ(window.board().blank(), blank);
    EXPECT_EQ(window.board().slotOrder(), order);
    EXPECT_EQ(window.board().elapsed(), 1u);
    EXPECT_FALSE(window.button(GameWindow::ChangeImageButton)->isEnabled());
    EXPECT_FALSE(window.button(GameWindow::LevelButton)->isEnabled());
    EXPECT_TRUE(window.button(GameWindow::SaveBreakButton)->isEnabled());
}

TEST_F(GameWindowTest, BadSavedGamesChangeNothing) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    SavedGame game{3, 3, 8, folder.path("default.bmp").toStdString(), {0, 1, 2, 3, 4, 5, 6, 7, 8}, 5};
    std::vector<uint8_t> good = *encodeSavedGame(game);
    std::vector<uint8_t> wrongBlank = good;
    putLe32(wrongBlank, 8, 3);
    SavedGame missingPicture = game;
    missingPicture.picturePath = folder.path("gone.bmp").toStdString();
    // A picture too small for the saved board: Start would refuse it, so loading does too.
    QImage tiny(2, 2, QImage::Format_RGB888);
    tiny.fill(Qt::red);
    ASSERT_TRUE(tiny.save(folder.path("tiny.bmp"), "BMP"));
    SavedGame tinyPicture = game;
    tinyPicture.picturePath = folder.path("tiny.bmp").toStdString();
    // FIFOs as the picture and as the saved game itself: refused at once instead of waiting.
    ASSERT_EQ(mkfifo(folder.path("pipe.bmp").toLocal8Bit().constData(), 0600), 0);
    ASSERT_EQ(mkfifo(folder.path("pipe.sav").toLocal8Bit().constData(), 0600), 0);
    SavedGame pipePicture = game;
    pipePicture.picturePath = folder.path("pipe.bmp").toStdString();
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* caption;
    };
    const Case cases[] = {
        {"short.sav", std::vector<uint8_t>(good.begin(), good.end() - 1), "Load break"},
        {"blank.sav", wrongBlank, "Load break"},
        {"gone.sav", *encodeSavedGame(missingPicture), "Read Image Error"},
        {"tiny.sav", *encodeSavedGame(tinyPicture), "Load break"},
        {"pipe-picture.sav", *encodeSavedGame(pipePicture), "Read Image Error"},
        {"pipe.sav", {}, "Load break"},
    };
    for (const Case& c : cases) {
        if (!c.bytes.empty()) {
            QFile file(folder.path(c.name));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<qint64>(c.bytes.size()));
            file.close();
        }
        prompts.messages.clear();
        prompts.openAnswers.push_back(folder.path(c.name));
        window.loadBreak();
        ASSERT_EQ(prompts.gameMessages().size(), 1u) << c.name;
        EXPECT_EQ(prompts.gameMessages()[0].caption, c.caption) << c.name;
        EXPECT_FALSE(window.board().playing()) << c.name;
        EXPECT_EQ(window.picturePath(), folder.path("default.bmp")) << c.name;
        EXPECT_EQ(window.board().blank(), -1);
    }
    EXPECT_EQ(prompts.gameMessages()[0].text,
              "Error! This is not a usable saved game.\n\nThe file is not an ordinary file.");
    prompts.messages.clear();
    prompts.openAnswers.push_back(folder.path("tiny.sav"));
    window.loadBreak();
    EXPECT_EQ(prompts.gameMessages()[0].text,
              "Error! The picture is too small for this level.\n\nPlease, check it and try again.");
    prompts.messages.clear();
    prompts.openAnswers.push_back(folder.path("absent.sav"));
    window.loadBreak();
    ASSERT_EQ(prompts.gameMessages().size(), 1u);
    EXPECT_EQ(prompts.gameMessages()[0].text, "This file doesn't exist!\n\nPlease, check it and try again.");
}

TEST_F(GameWindowTest, DrawsPiecesGapAndFrame) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    const QImage picture = window.pictureImage();
    QImage idle = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // Unscaled at (80, 75). Pieces are cut from the stored bottom rows up, so with 455 rows in
    // three pieces of 151 the picture's top two rows are the ones left out.
    EXPECT_EQ(idle.pixel(80 + 20, 75 + 30), picture.pixel(20, 32));
    EXPECT_EQ(idle.pixel(80 + 300, 75 + 200), picture.pixel(300, 202));
    // Grid: a black line at the first row boundary, white just below.
    EXPECT_EQ(idle.pixel(150, 75 + 151), qRgb(0, 0, 0));
    EXPECT_EQ(idle.pixel(150, 75 + 152), qRgb(255, 255, 255));
    // The border: black on the grid's outermost pixels, white one outside, on all four sides.
    // 3 x 3 pieces of 180 x 151 cover x 80..619 and y 75..527.
    struct Edge {
        QPoint black, white, beyond;
    };
    const Edge edges[] = {
        {{80, 200}, {79, 200}, {78, 200}},
        {{619, 200}, {620, 200}, {621, 200}},
        {{300, 75}, {300, 74}, {300, 73}},
        {{300, 527}, {300, 528}, {300, 529}},
    };
    for (const Edge& e : edges) {
        EXPECT_EQ(idle.pixel(e.black), qRgb(0, 0, 0)) << e.black.x() << "," << e.black.y();
        EXPECT_EQ(idle.pixel(e.white), qRgb(255, 255, 255)) << e.white.x() << "," << e.white.y();
        EXPECT_NE(idle.pixel(e.beyond), qRgb(255, 255, 255)) << e.beyond.x() << "," << e.beyond.y();
    }

    window.resumeGame(3, 3, 4, {0, 1, 2, 3, 8, 5, 6, 7, 4}, 0);
    QImage playing = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage background = loadSkinBitmap(built, 129);
    // The gap shows the window's background; its frame is drawn in the gap colour.
    EXPECT_EQ(playing.pixel(350, 300), background.pixel(350, 300));
    EXPECT_EQ(playing.pixel(260 + 90, 226), qRgb(116, 228, 248));
    // Slot 8 shows piece 4: the picture's centre piece.
    EXPECT_EQ(playing.pixel(440 + 20, 377 + 30), picture.pixel(180 + 20, 153 + 30));
}

TEST_F(GameWindowTest, MusicStopsAndStartsAgain) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    ASSERT_TRUE(window.musicOn());
    window.toggleMusic();
    EXPECT_FALSE(window.musicOn());
    EXPECT_EQ(window.button(GameWindow::MusicButton)->toolTip(), "Load Music");
    window.toggleMusic(); // cancelled
    EXPECT_FALSE(window.musicOn());
    prompts.openAnswers.push_back(built + "/default.mp3");
    window.toggleMusic();
    EXPECT_TRUE(window.musicOn());
    EXPECT_EQ(window.button(GameWindow::MusicButton)->toolTip(), "Stop Music");
}

TEST_F(GameWindowTest, MissingMusicGivesItsMessages) {
    ProgramFolder folder;
    QFile::remove(folder.path("default.mp3"));
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    ASSERT_EQ(prompts.gameMessages().size(), 1u);
    EXPECT_EQ(prompts.gameMessages()[0].text,
              "Attetion! No default music file.\n\nPlease specify one music file.");
    EXPECT_EQ(prompts.gameMessages()[0].caption, "Default File Error");
    EXPECT_TRUE(window.button(GameWindow::MusicButton)->isEnabled());

    RecordingPrompts second;
    ProgramFolder noComponent;
    QFile::remove(noComponent.path("mp3play.so"));
    GameWindow silent(noComponent.dir(), second);
    ASSERT_TRUE(silent.initialise());
    ASSERT_EQ(second.gameMessages().size(), 1u);
    EXPECT_EQ(second.gameMessages()[0].text,
              "Error! mp3play.so is wrong.\n\nPlease specify the library in the current path.");
    EXPECT_FALSE(silent.button(GameWindow::MusicButton)->isEnabled());
}

TEST_F(GameWindowTest, TranslatedRun) {
    ProgramFolder folder;
    QFile::remove(folder.path("Tilex.msg"));
    QFile::remove(folder.path("default.bmp"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(TS_SOURCE_DIR "/resources/tilex/lang/de/Tilex.msg"),
                            folder.path("Tilex.msg")));
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    EXPECT_EQ(window.windowTitle(), "Tilex Schiebepuzzle");
    EXPECT_EQ(window.button(GameWindow::StartButton)->toolTip(), "Neues Spiel");
    ASSERT_EQ(prompts.gameMessages().size(), 1u);
    EXPECT_EQ(prompts.gameMessages()[0].text,
              "Achtung! Das Standardbild fehlt.\n\nBitte wählen Sie eine Bilddatei.");
    EXPECT_EQ(prompts.gameMessages()[0].caption, "Standarddatei fehlt");
}

TEST_F(GameWindowTest, TopShowsTheTableAndAMissingFileDisablesIt) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    window.showTop();
    ASSERT_EQ(prompts.recordsShown.size(), 1u);
    EXPECT_EQ(prompts.recordsShown[0], clearedTable());

    RecordingPrompts second;
    ProgramFolder noRecords;
    QFile::remove(noRecords.path("Tilex.ini"));
    GameWindow without(noRecords.dir(), second);
    ASSERT_TRUE(without.initialise());
    EXPECT_FALSE(without.button(GameWindow::TopButton)->isEnabled());
}

TEST_F(GameWindowTest, DraggingOutsideTheBoardMovesTheWindow) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    window.move(100, 100);
    window.show();
    const QPoint start = window.pos();
    QTest::mousePress(&window, Qt::LeftButton, {}, QPoint(40, 300));
    QMouseEvent move(QEvent::MouseMove, QPointF(70, 320), window.mapToGlobal(QPointF(70, 320)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &move);
    EXPECT_EQ(window.pos(), start + QPoint(30, 20));
    QTest::mouseRelease(&window, Qt::LeftButton, {}, QPoint(70, 320));
}

TEST_F(GameWindowTest, PreviewAndLevel) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    window.previewImage();
    ASSERT_TRUE(window.preview());
    EXPECT_EQ(window.preview()->size(), QSize(540, 453)); // three pieces of 180 x 151 each way
    QPointer<PreviewWindow> first = window.preview();
    prompts.levelAnswer = std::make_pair(7, 7);
    window.selectLevel();
    EXPECT_EQ(window.board().rows(), 7);
    EXPECT_EQ(window.board().pieceWidth(), 77);
    window.previewImage();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(first);
    ASSERT_TRUE(window.preview());
    EXPECT_EQ(window.preview()->size(), QSize(7 * 77, 7 * 65));
    prompts.openAnswers.push_back(built + "/default.bmp");
    window.changeImage();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window.preview());
    // The same size again changes nothing; a game's order stays out of reach of the dialog.
    window.startOrGiveUp();
    const auto order = window.board().perm();
    window.selectLevel();
    EXPECT_EQ(window.board().perm(), order);
}

namespace {

// The stand-in scanner stays loaded, so its call log outlives each scan.
struct FakeScanner {
    void* module = dlopen(FAKE_SCANNER, RTLD_NOW);
    std::string calls() const {
        auto log = reinterpret_cast<const char* (*)()>(dlsym(module, "FakeScannerCalls"));
        return log ? log() : "";
    }
    void reset() const {
        if (auto clear = reinterpret_cast<void (*)()>(dlsym(module, "FakeScannerReset"))) clear();
    }
};

} // namespace

TEST_F(GameWindowTest, ScanReplacesThePictureAndOffersToSaveIt) {
    const FakeScanner scanner;
    ASSERT_NE(scanner.module, nullptr);
    qputenv("FAKE_SCANNER_SOURCES", "12");
    ProgramFolder folder;
    folder.replace(QStringLiteral("TwainTX.so"), QStringLiteral(FAKE_SCANNER));
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(window.button(GameWindow::ScanButton)->isEnabled());

    window.startOrGiveUp();
    window.scan(); // nothing during a game
    EXPECT_TRUE(prompts.scannerLists.empty());
    window.startOrGiveUp();

    scanner.reset();
    prompts.scannerAnswer = 1;
    prompts.saveAnswers.push_back(folder.path("scan.bmp"));
    window.scan();
    ASSERT_EQ(prompts.scannerLists.size(), 1u);
    EXPECT_EQ(prompts.scannerLists[0].size(), 10); // only the first ten sources
    EXPECT_EQ(prompts.scannerLists[0].front(), "Fake scanner 1");
    EXPECT_TRUE(window.scanning());
    QEvent nudge(QEvent::User);
    QApplication::sendEvent(&window, &nudge);
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.scanning());
    EXPECT_EQ(scanner.calls(),
              "NewTwain LoadSM OpenSM GetFirstDriverName OpenDS EnableDS DoMemXfer DoMemXfer "
              "DisableDS CloseDS CloseSM UnloadSM FreeTwain ");
    ASSERT_TRUE(window.board().picture());
    EXPECT_EQ(window.board().picture()->width, 64);
    EXPECT_EQ(window.board().blank(), -1);
    EXPECT_EQ(window.picturePath(), folder.path("default.bmp"));      // a scan names no file
    EXPECT_EQ(window.pictureImage().pixel(10, 47), qRgb(200, 0, 40)); // bottom row, stored first
    ASSERT_EQ(prompts.saveQuestions.size(), 1u);
    EXPECT_EQ(prompts.saveQuestions[0].defaultSuffix, "bmp");
    const auto images = ImageComponent::load(folder.path("RaduvOR.so").toStdString());
    ASSERT_TRUE(images);
    const auto saved = images->read(folder.path("scan.bmp").toStdString());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->width(), 64);
    ASSERT_EQ(saved->bitCount(), 24);
    EXPECT_EQ(saved->pixels[30], 40); // stored row 0, pixel 10: blue, green, red
    EXPECT_EQ(saved->pixels[31], 0);
    EXPECT_EQ(saved->pixels[32], 200);

    // Cancel in the source list closes again; no source at all says so.
    scanner.reset();
    prompts.scannerAnswer = -1;
    window.scan();
    EXPECT_EQ(scanner.calls(), "NewTwain LoadSM OpenSM GetFirstDriverName CloseSM UnloadSM FreeTwain ");
    qputenv("FAKE_SCANNER_SOURCES", "0");
    window.scan();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Error! Can not scan.\n\nPlease, check scan system.");
    EXPECT_EQ(prompts.messages[0].caption, "Scan Error");
    qunsetenv("FAKE_SCANNER_SOURCES");
}

TEST_F(GameWindowTest, ScansThroughTheRealComponentAndSaneTestBackend) {
    if (!QFileInfo::exists(built + "/TwainTX.so")) GTEST_SKIP() << "TwainTX.so is not built";
    // Twelve virtual scanners of SANE's test backend, drawing an 8-bit grid.
    qputenv("SANE_CONFIG_DIR", TS_SOURCE_DIR "/tests/scanner/sane");
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    ASSERT_TRUE(window.button(GameWindow::ScanButton)->isEnabled());
    prompts.scannerAnswer = 0;
    window.scan();
    ASSERT_EQ(prompts.scannerLists.size(), 1u);
    EXPECT_EQ(prompts.scannerLists[0].size(), 10);
    ASSERT_TRUE(window.scanning()) << (prompts.messages.empty() ? ""
                                                                : prompts.messages[0].text.toStdString());
    QElapsedTimer waited;
    waited.start();
    while (window.scanning() && waited.elapsed() < 60000)
        QTest::qWait(20);
    EXPECT_FALSE(window.scanning());
    EXPECT_TRUE(prompts.messages.empty()) << prompts.messages[0].text.toStdString();
    ASSERT_TRUE(window.board().picture());
    EXPECT_NE(window.board().picture()->width, 540);
    EXPECT_EQ(prompts.saveQuestions.size(), 1u); // cancelled: nothing written
    qunsetenv("SANE_CONFIG_DIR");
}

TEST(SkinShapes, RegionsFollowTheOpaquePixels) {
    QImage solid(5, 4, QImage::Format_RGB32);
    solid.fill(qRgb(10, 20, 30));
    // The same area as the full rectangle, however the runs are kept.
    EXPECT_TRUE(regionFromBitmap(solid, {}, {})->xored(QRegion(0, 0, 5, 4)).isEmpty());
    QImage ring = solid;
    ring.setPixel(2, 1, qRgb(0, 0, 0));
    ring.setPixel(2, 2, qRgb(0, 0, 0));
    const QRegion holed = *regionFromBitmap(ring, {}, {});
    EXPECT_FALSE(holed.contains(QPoint(2, 1)));
    EXPECT_TRUE(holed.contains(QPoint(1, 1)));
    EXPECT_EQ(holed.boundingRect(), QRect(0, 0, 5, 4));
    EXPECT_FALSE(regionFromBitmap(QImage(), {}, {}));
}

TEST_F(GameWindowTest, ButtonFacesFollowTheState) {
    QImage normal(20, 10, QImage::Format_RGB32);
    normal.fill(Qt::blue);
    QImage pressed = normal;
    pressed.fill(Qt::green);
    CRGNButton plain;
    ASSERT_TRUE(plain.SetFaces(normal, QImage(), QImage(), QImage(), false));
    plain.setDown(true);
    EXPECT_EQ(plain.currentFace().pixel(0, 0), normal.pixel(0, 0)); // no pressed face: the normal one
    CRGNButton full;
    full.SetTransparentRange({255, 0, 0}, {255, 0, 0});
    QImage shaped = normal;
    shaped.setPixel(0, 0, qRgb(255, 0, 0));
    ASSERT_TRUE(full.SetFaces(shaped, pressed, QImage(), QImage(), false));
    EXPECT_FALSE(full.mask().contains(QPoint(0, 0)));
    EXPECT_TRUE(full.mask().contains(QPoint(1, 0)));
    full.setDown(true);
    EXPECT_EQ(full.currentFace().pixel(5, 5), pressed.pixel(5, 5));
    EXPECT_FALSE(CRGNButton().SetFaces(QImage(), pressed, QImage(), QImage(), false));
}

TEST_F(GameWindowTest, NoSoundDeviceIsToldOnceAndTheGamePlaysOn) {
    qputenv("SDL_AUDIODRIVER", "no-such-driver");
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !prompts.gameMessages().empty(); }, 5000));
    EXPECT_FALSE(window.musicOn());
    EXPECT_EQ(window.button(GameWindow::MusicButton)->toolTip(), "Load Music");
    prompts.openAnswers.push_back(built + "/default.mp3");
    window.toggleMusic();
    QTest::qWait(300);
    qputenv("SDL_AUDIODRIVER", "dummy");
    ASSERT_EQ(prompts.gameMessages().size(), 1u);
    EXPECT_EQ(prompts.gameMessages()[0].text,
              "Error! No sound device could be opened.\n\nThe game goes on without music.");
    EXPECT_FALSE(window.musicOn());
    window.startOrGiveUp();
    EXPECT_TRUE(window.board().playing());
}

TEST_F(GameWindowTest, MessageBoxesShowPlainTextWithTheirBlankLine) {
    const QString text =
        QStringLiteral("<b>Fehler!</b> <img src=\"x.png\"> <a href=\"y\">Link</a>\n\nZweite Zeile");
    const auto box = messageBox(nullptr, text, QStringLiteral("Tilex"), MessageIcon::Stop);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), text);
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
}

TEST_F(GameWindowTest, FileDialogsStartInThePlayersFoldersAndRememberTheLast) {
    QTemporaryDir config;
    QTemporaryDir chosen;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    const QString picturesStart = QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
    ProgramFolder folder;
    {
        GameWindow window(folder.dir(), prompts);
        ASSERT_TRUE(window.initialise());
        window.changeImage(); // cancelled: nothing remembered
        window.loadBreak();
        ASSERT_EQ(prompts.openQuestions.size(), 2u);
        EXPECT_EQ(prompts.openQuestions[0].folder, picturesStart);
        EXPECT_EQ(prompts.openQuestions[1].folder, QDir::homePath());
        ASSERT_TRUE(QFile::copy(built + "/default.bmp", chosen.filePath(QStringLiteral("boat.bmp"))));
        prompts.openAnswers.push_back(chosen.filePath(QStringLiteral("boat.bmp")));
        window.changeImage();
        window.changeImage();
        EXPECT_EQ(prompts.openQuestions.back().folder, chosen.path());
        window.startOrGiveUp();
        window.saveBreak();
        EXPECT_EQ(prompts.saveQuestions.back().folder, QDir::homePath());
    }
    // The next run starts where this one left off.
    RecordingPrompts next;
    GameWindow window(folder.dir(), next);
    ASSERT_TRUE(window.initialise());
    window.changeImage();
    ASSERT_EQ(next.openQuestions.size(), 1u);
    EXPECT_EQ(next.openQuestions[0].folder, chosen.path());
    qputenv("XDG_CONFIG_HOME", QDir::temp().filePath(QStringLiteral("tilex-gui-config")).toUtf8());
}

TEST_F(GameWindowTest, KeysPlayWithoutAClickAndUndoRedoCountMoves) {
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.resumeGame(3, 3, 6, {0, 1, 2, 3, 4, 5, 8, 6, 7}, 95);
    // The focus stays on whatever button has it: the keys are the window's.
    window.button(GameWindow::MusicButton)->setFocus();
    struct Step {
        int key;
        Qt::KeyboardModifiers modifiers;
        int blank;
        int moves;
    };
    const Step steps[] = {
        {Qt::Key_Left, Qt::NoModifier, 7, 1},                       // piece 6 moves left
        {Qt::Key_Z, Qt::ControlModifier, 6, 0},                     // undone
        {Qt::Key_Y, Qt::ControlModifier, 7, 1},                     // redone
        {Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, 7, 1}, // nothing left to redo
        {Qt::Key_Right, Qt::ShiftModifier, 6, 2},                   // the whole row to the right
        {Qt::Key_Up, Qt::NoModifier, 6, 2},                         // nothing below the gap
        {Qt::Key_Down, Qt::NoModifier, 3, 3},                       // piece 3 comes down
        {Qt::Key_PageUp, Qt::NoModifier, 6, 4},                     // the column up again
        {Qt::Key_End, Qt::NoModifier, 6, 4},                        // the gap is at the left edge
    };
    for (const Step& s : steps) {
        QTest::keyClick(window.button(GameWindow::MusicButton), static_cast<Qt::Key>(s.key), s.modifiers);
        EXPECT_EQ(window.board().blank(), s.blank) << s.key;
        EXPECT_EQ(window.board().moveCount(), s.moves) << s.key;
    }
    prompts.nameAnswer = QStringLiteral("Keys");
    QTest::keyClick(&window, Qt::Key_Home); // the whole row left: solved
    EXPECT_TRUE(window.finishing());
    QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier); // no taking back a finished game
    waitForFinish(window);
    EXPECT_FALSE(window.board().playing());
    EXPECT_EQ(window.finishNote(), "Solved in 00:01:35 with 5 moves.\nThat is place 1 of the best five.");

    // Without a records file the finish says why nothing was kept.
    RecordingPrompts second;
    ProgramFolder noRecords;
    QFile::remove(noRecords.path("Tilex.ini"));
    GameWindow without(noRecords.dir(), second);
    ASSERT_TRUE(without.initialise());
    without.resumeGame(3, 3, 7, {0, 1, 2, 3, 4, 5, 6, 8, 7}, 30);
    without.releaseAt(slotCentre(without.board(), 8));
    waitForFinish(without);
    EXPECT_EQ(without.finishNote(),
              "Solved in 00:00:30 with 1 move.\nNo record could be kept: Tilex.ini is missing.");
    EXPECT_EQ(second.namesAsked, 0);
}

TEST_F(GameWindowTest, TheWindowScalesWithItsButtonsShapeAndClicks) {
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
    ProgramFolder folder;
    GameWindow window(folder.dir(), prompts);
    ASSERT_TRUE(window.initialise());
    struct Case {
        qreal scale;
        QSize size;
        QRect start;
    };
    const Case cases[] = {
        {2.0, {1600, 1200}, {1308, 464, 248, 64}},
        {1.5, {1200, 900}, {981, 348, 186, 48}},
        {1.0, {800, 600}, {654, 232, 124, 32}},
    };
    for (const Case& c : cases) {
        window.setScale(c.scale);
        EXPECT_EQ(window.size(), c.size) << c.scale;
        EXPECT_EQ(window.button(GameWindow::StartButton)->geometry(), c.start) << c.scale;
        EXPECT_FALSE(window.mask().contains(QPoint(2, 2))) << c.scale;
        EXPECT_TRUE(window.mask().contains(QPoint(c.size.width() / 2, c.size.height() / 2))) << c.scale;
    }
    // At twice the size a click lands on the slot under it, and the picture is drawn at the
    // screen's resolution: the grid line stays one skin pixel (two screen pixels) wide.
    window.setScale(2.0);
    window.resumeGame(3, 3, 6, {0, 1, 2, 3, 4, 5, 8, 6, 7}, 0);
    QTest::mouseClick(&window, Qt::LeftButton, {}, slotCentre(window.board(), 7) * 2);
    EXPECT_EQ(window.board().blank(), 7);
    const QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot.pixel(300, 2 * (75 + 151)), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(300, 2 * (75 + 151) + 1), qRgb(0, 0, 0));
    EXPECT_EQ(shot.pixel(300, 2 * (75 + 152)), qRgb(255, 255, 255));
    // The chosen size is kept for the next run.
    window.chooseScale(1.5);
    RecordingPrompts next;
    GameWindow again(folder.dir(), next);
    ASSERT_TRUE(again.initialise());
    EXPECT_EQ(again.scale(), again.scaleFits(1.5) ? 1.5 : 1.0);
    qputenv("XDG_CONFIG_HOME", QDir::temp().filePath(QStringLiteral("tilex-gui-config")).toUtf8());
}
