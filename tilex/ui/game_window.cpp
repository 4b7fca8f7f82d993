#include "game_window.h"

#include "board_painter.h"
#include "dialogs.h"
#include "message_file.h"
#include "picture_image.h"
#include "records.h"
#include "rgn_button.h"
#include "saved_game.h"
#include "translate_window.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStandardPaths>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cmath>

namespace tilex {

namespace {

const QString pictureFilter = QStringLiteral("Image Files (*.bmp *.jpg *.jpeg)");
const QString saveFilter = QStringLiteral("Save Files (*.sav)");
const QString musicFilter =
    QStringLiteral("Mp3 Files (*.mp3);;WAV Files (*.wav);;MIDI Files (*.mid);;All Files (*)");
const QString scanFilter = QStringLiteral("Bitmap File (*.bmp);;JPEG File (*.jpg *.jpeg)");
const QRect clockArea(665, 160, 65, 25);
// The move count sits in the clock's plate, right of the clock.
const QRect movesArea(734, 160, 36, 25);
// How long the missing piece takes to slide in when the board is solved.
constexpr int finishFrames = 12;
constexpr int finishFramePeriod = 25;
const QRect boardRepaintArea(QPoint(75, 70), QPoint(619, 539));
const Rgb black{0, 0, 0};
const Rgb red{255, 0, 0};
// Sent to the window by the scanner component's worker when a scan ends.
const QEvent::Type scanEndedEvent = static_cast<QEvent::Type>(QEvent::User + 11);

std::string fileBytes(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Each filter's description is an interface text of its own.
QString translatedFilter(const QString& filter) {
    QStringList parts = filter.split(QStringLiteral(";;"));
    for (QString& part : parts)
        part = tx(part, "Main");
    return parts.join(QStringLiteral(";;"));
}

void notifyScanEnded(void* window) {
    QCoreApplication::postEvent(static_cast<QObject*>(window), new QEvent(scanEndedEvent));
}

} // namespace

GameWindow::GameWindow(const QString& programDir, GamePrompts& prompts, QWidget* parent)
    : QWidget(parent, Qt::FramelessWindowHint | Qt::Window), programDir_(programDir), prompts_(prompts) {
    setObjectName(QStringLiteral("tilexWindow"));
    setFixedSize(skinWidth, skinHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setUpKeys();
}

QPoint GameWindow::toSkin(QPointF point) const {
    return QPoint(static_cast<int>(std::floor(point.x() / scale_)),
                  static_cast<int>(std::floor(point.y() / scale_)));
}

void GameWindow::updateSkin(const QRect& area) {
    update(QRectF(area.x() * scale_, area.y() * scale_, area.width() * scale_, area.height() * scale_)
               .toAlignedRect()
               .adjusted(-1, -1, 1, 1));
}

void GameWindow::applyShape() {
    if (skin_.background.isNull()) return;
    // Larger than the skin, the shape follows the double background, which is what is drawn.
    const QImage& source = scale_ > 1 && !skin_.background2x.isNull() ? skin_.background2x : skin_.background;
    const QImage shapeSource = source.size() == size()
                                   ? source
                                   : source.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    if (const auto shape = regionFromBitmap(shapeSource, black, black)) setMask(*shape);
}

bool GameWindow::scaleFits(qreal scale) const {
    const QScreen* shown = screen();
    if (shown == nullptr || scale <= 1) return true;
    const QSize available = shown->availableGeometry().size();
    return skinWidth * scale <= available.width() && skinHeight * scale <= available.height();
}

void GameWindow::setScale(qreal scale) {
    if (scale <= 0 || scale == scale_) return;
    scale_ = scale;
    setFixedSize(qRound(skinWidth * scale_), qRound(skinHeight * scale_));
    applyShape();
    for (const auto& [id, b] : buttons_)
        b->SetScale(scale_);
    update();
}

void GameWindow::chooseScale(qreal scale) {
    if (!scaleFits(scale)) return;
    setScale(scale);
    QSettings(playerSettingsPath(), QSettings::IniFormat).setValue(QStringLiteral("Window/Scale"), scale_);
}

void GameWindow::stepScale(int step) {
    const auto at = std::find(std::begin(windowScales), std::end(windowScales), scale_);
    const int index = static_cast<int>(at == std::end(windowScales) ? 0 : at - std::begin(windowScales));
    const int next = std::clamp(index + step, 0, static_cast<int>(std::size(windowScales)) - 1);
    chooseScale(windowScales[next]);
}

void GameWindow::setUpKeys() {
    // Window shortcuts reach the game wherever the focus is in the window, so the keys work
    // as soon as a game is on, whichever button the pointer last lit.
    auto key = [this](const QKeySequence& sequence, auto action) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(true);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    const struct {
        Qt::Key key;
        Qt::Key wholeLineKey;
        SlideDirection direction;
    } arrows[] = {
        {Qt::Key_Left, Qt::Key_Home, SlideDirection::Left},
        {Qt::Key_Right, Qt::Key_End, SlideDirection::Right},
        {Qt::Key_Up, Qt::Key_PageUp, SlideDirection::Up},
        {Qt::Key_Down, Qt::Key_PageDown, SlideDirection::Down},
    };
    for (const auto& arrow : arrows) {
        const SlideDirection direction = arrow.direction;
        key(QKeySequence(arrow.key), [this, direction] { slideByKey(direction, false); });
        key(QKeySequence(Qt::SHIFT | arrow.key), [this, direction] { slideByKey(direction, true); });
        key(QKeySequence(arrow.wholeLineKey), [this, direction] { slideByKey(direction, true); });
    }
    key(QKeySequence(Qt::CTRL | Qt::Key_Z), [this] { undoMove(); });
    key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [this] { redoMove(); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { redoMove(); });
    // The window's size: larger, smaller, back to 800 x 600.
    key(QKeySequence(Qt::CTRL | Qt::Key_Plus), [this] { stepScale(1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { stepScale(1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_Minus), [this] { stepScale(-1); });
    key(QKeySequence(Qt::CTRL | Qt::Key_0), [this] { chooseScale(1); });
}

GameWindow::~GameWindow() {
    clockTimer_.stop();
    scanPoll_.stop();
    if (music_) music_->stop();
    closeScanner();
    if (preview_) delete preview_.data();
}

CRGNButton* GameWindow::button(ButtonId id) const {
    const auto found = buttons_.find(id);
    return found == buttons_.end() ? nullptr : found->second;
}

void GameWindow::setTip(ButtonId id, const char* tip) {
    if (CRGNButton* b = button(id)) b->setToolTip(tx(tip, "Tip"));
}

CRGNButton* GameWindow::makeButton(ButtonId id, const char* caption, const char* label, int normalFace,
                                   QPoint position, const char* tip) {
    auto* b = new CRGNButton(this);
    b->setObjectName(QStringLiteral("button%1").arg(static_cast<int>(id)));
    // The caption is not drawn, but it gives the button its Alt shortcut.
    b->setText(QString::fromUtf8(caption));
    b->SetTransparentRange(red, red);
    // The faces carry no words: the label is drawn in the player's language.
    b->SetLabel(tx(label, "Button"));
    if (!b->SetBitmaps(programDir_, normalFace, normalFace + 1, normalFace + 1, 0, true)) {
        // Without the skin the button still works, drawn with its caption.
        QImage plain(110, 28, QImage::Format_RGB32);
        plain.fill(QColor(0xe6, 0xb8, 0x52));
        b->SetFaces(plain, QImage(), QImage(), QImage(), true);
    }
    b->SetPosition(position.x(), position.y());
    buttons_[id] = b;
    setTip(id, tip);
    return b;
}

void GameWindow::setUpButtons() {
    connect(makeButton(StartButton, "&Start", "Start", 134, {654, 232}, "New Game"),
            &QAbstractButton::clicked, this, &GameWindow::startOrGiveUp);
    connect(makeButton(ChangeImageButton, "&Change Image", "Change", 136, {654, 269}, "Change Picture"),
            &QAbstractButton::clicked, this, &GameWindow::changeImage);
    connect(makeButton(PreviewButton, "&Preview Image", "Preview", 139, {663, 197}, "Preview the picture"),
            &QAbstractButton::clicked, this, &GameWindow::previewImage);
    connect(makeButton(LevelButton, "Select &Level", "Level", 141, {665, 307}, "Select Level"),
            &QAbstractButton::clicked, this, &GameWindow::selectLevel);
    connect(makeButton(LoadBreakButton, "Load &Break", "Load", 144, {650, 347}, "Load Break"),
            &QAbstractButton::clicked, this, &GameWindow::loadBreak);
    connect(makeButton(SaveBreakButton, "S&ave Break", "Save", 146, {654, 384}, "Save Break"),
            &QAbstractButton::clicked, this, &GameWindow::saveBreak);
    connect(makeButton(MusicButton, "&Music", "Music", 148, {663, 419}, "Load Music"),
            &QAbstractButton::clicked, this, &GameWindow::toggleMusic);
    connect(makeButton(TopButton, "&Top", "Top 5", 150, {673, 452}, "Top 5"), &QAbstractButton::clicked, this,
            &GameWindow::showTop);
    connect(makeButton(ScanButton, "S&can", "Scan", 152, {683, 483}, "Gain picture from Scanner"),
            &QAbstractButton::clicked, this, &GameWindow::scan);
    connect(makeButton(CloseButton, "Cl&ose", "Close", 154, {680, 80}, "Close"), &QAbstractButton::clicked,
            this, &QWidget::close);
    button(SaveBreakButton)->setEnabled(false);
}

QString GameWindow::askOpen(FileKind kind, FileQuestion question) {
    question.folder = folders_.startFolder(kind);
    const QString file = prompts_.openFile(this, question);
    folders_.remember(kind, file);
    return file;
}

QString GameWindow::askSave(FileKind kind, FileQuestion question) {
    question.folder = folders_.startFolder(kind);
    const QString file = prompts_.saveFile(this, question);
    folders_.remember(kind, file);
    return file;
}

void GameWindow::tell(const char* first, const char* second, const char* caption, MessageIcon icon) {
    prompts_.message(this, trMessage(first, second), tx(caption, "Main"), icon);
}

QString GameWindow::recordsPath() const {
    // The shipped file is rewritten in place when the program folder is writable; otherwise the
    // player's own copy lives in the configuration folder and is read first.
    const QString shipped = QDir(programDir_).filePath(QStringLiteral("Tilex.ini"));
    const QString own = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
                            .filePath(QStringLiteral("tilex/Tilex.ini"));
    if (QFileInfo::exists(own)) return own;
    if (QFileInfo(programDir_).isWritable() || !QFileInfo::exists(shipped)) return shipped;
    QDir().mkpath(QFileInfo(own).path());
    return QFile::copy(shipped, own) && QFile(own).setPermissions(QFile::ReadOwner | QFile::WriteOwner)
               ? own
               : shipped;
}

bool GameWindow::initialise() {
    const QString iconPath = QDir(programDir_).filePath(QStringLiteral("skin/icon.png"));
    if (QFileInfo::exists(iconPath)) setWindowIcon(QIcon(iconPath));
    setMessageFilePath(fileBytes(QDir(programDir_).filePath(QStringLiteral("Tilex.msg"))));
    skin_ = Skin::load(programDir_);
    applyShape();

    setUpButtons();
    const qreal stored = QSettings(playerSettingsPath(), QSettings::IniFormat)
                             .value(QStringLiteral("Window/Scale"), 1.0)
                             .toDouble();
    if (std::find(std::begin(windowScales), std::end(windowScales), stored) != std::end(windowScales) &&
        scaleFits(stored))
        setScale(stored);
    board_ = Board();
    random_.seed(static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
    setWindowTitle(tx("Tilex", "Main"));

    std::string problem;
    imageComponent_ =
        ImageComponent::load(fileBytes(QDir(programDir_).filePath(QStringLiteral("RaduvOR.so"))), &problem);
    if (!imageComponent_) {
        tell("Error! No RaduvOR.so in current path.", "Please specify the library in the current path.",
             "Load DLL Error", MessageIcon::Stop);
        return false;
    }
    // Loaded only to see that it is there; each scan loads it again.
    if (!ScannerLink::load(fileBytes(QDir(programDir_).filePath(QStringLiteral("TwainTX.so"))))) {
        tell("Error! TwainTX.so is wrong.", "Please specify the library in the current path.",
             "Load DLL Error", MessageIcon::Information);
        button(ScanButton)->setEnabled(false);
    }
    startMusic();

    picturePath_ = QDir(programDir_).filePath(QStringLiteral("default.bmp"));
    bool chosen = true;
    if (!QFileInfo::exists(picturePath_)) {
        tell("Attention! No the default picture.", "Please specify one image file.", "Default File Error",
             MessageIcon::Information);
        const QString file = askOpen(
            FileKind::Picture, {QString(), translatedFilter(pictureFilter), QString(), QString(), QString()});
        chosen = !file.isEmpty();
        if (chosen) picturePath_ = file;
    }
    if (!chosen) {
        pictureMissing();
    } else if (!loadPicture(picturePath_)) {
        tell("Error! Failed in reading image file.", "Please close the application and check it.",
             "Read Image Error", MessageIcon::Stop);
        pictureMissing();
    } else {
        button(StartButton)->setFocus();
    }

    recordsAvailable_ = readRecordTable(fileBytes(recordsPath()), 3, 3).has_value();
    button(TopButton)->setEnabled(recordsAvailable_);
    return true;
}

void GameWindow::startMusic() {
    music_ = std::make_unique<MusicLink>([this](unsigned run, int result) {
        QMetaObject::invokeMethod(
            this,
            [this, run, result] {
                if (music_ && run == music_->currentRun()) musicEnded(result);
            },
            Qt::QueuedConnection);
    });
    const MusicStart started =
        music_->start(fileBytes(QDir(programDir_).filePath(QStringLiteral("mp3play.so"))),
                      fileBytes(QDir(programDir_).filePath(QStringLiteral("default.mp3"))));
    switch (started) {
    case MusicStart::Playing:
        musicOn_ = true;
        setTip(MusicButton, "Stop Music");
        break;
    case MusicStart::NoComponent:
    case MusicStart::MissingEntry:
        tell("Error! mp3play.so is wrong.", "Please specify the library in the current path.",
             "Load DLL Error", MessageIcon::Information);
        button(MusicButton)->setEnabled(false);
        break;
    case MusicStart::NoFile:
        tell("Attetion! No default music file.", "Please specify one music file.", "Default File Error",
             MessageIcon::Information);
        setTip(MusicButton, "Load Music");
        break;
    }
}

void GameWindow::musicEnded(int result) {
    if (!musicOn_) return;
    music_->stop();
    musicOn_ = false;
    setTip(MusicButton, "Load Music");
    if (result == PLAYER_NO_AUDIO) {
        // The file is not at fault; say it once and play on in silence.
        if (!noSoundTold_)
            tell("Error! No sound device could be opened.", "The game goes on without music.", "Music Error",
                 MessageIcon::Information);
        noSoundTold_ = true;
        return;
    }
    tell("Error! The music file cannot be played.", "Please specify another music file.", "Music Error",
         MessageIcon::Stop);
}

bool GameWindow::loadPicture(const QString& path) {
    std::optional<Picture> picture = imageComponent_ ? imageComponent_->read(fileBytes(path)) : std::nullopt;
    if (!picture) return false;
    QImage image = pictureToImage(*picture);
    if (image.isNull()) return false;
    takePicture(std::move(*picture), std::move(image));
    return true;
}

void GameWindow::takePicture(Picture picture, QImage image) {
    finishNote_.clear();
    board_.setPicture(PictureSize{picture.width(), picture.height()});
    picture_ = std::move(picture);
    pictureImage_ = std::move(image);
    if (!board_.playing()) board_.setLevel(board_.rows(), board_.cols()); // identity order, no gap
    button(StartButton)->setEnabled(true);
    button(PreviewButton)->setEnabled(true);
    updatePreview();
    update();
}

void GameWindow::pictureMissing() {
    button(StartButton)->setEnabled(false);
    button(PreviewButton)->setEnabled(false);
    button(ChangeImageButton)->setFocus();
}

void GameWindow::updatePreview() {
    if (preview_) preview_->setImage(pictureImage_);
}

void GameWindow::startOrGiveUp() {
    // The few frames of a finish belong to the solved game: nothing may start or end it.
    if (finishing()) return;
    if (board_.playing()) {
        giveUp();
        return;
    }
    if (!picture_) return;
    // A picture narrower or lower than the grid would give pieces no one can see or click.
    if (!board_.picture() || !pictureFitsLevel(*board_.picture(), board_.rows(), board_.cols())) {
        tell("Error! The picture is too small for this level.",
             "Please choose a lower level or another picture.", "Tilex", MessageIcon::Information);
        return;
    }
    finishNote_.clear();
    board_.start([this] { return static_cast<unsigned>(random_()); });
    button(ChangeImageButton)->setEnabled(false);
    button(LevelButton)->setEnabled(false);
    button(SaveBreakButton)->setEnabled(true);
    setTip(StartButton, "Give UP");
    updateSkin(boardRepaintArea);
    updateSkin(clockArea);
    updateSkin(movesArea);
    clockTimer_.start(clockTimerPeriod, this);
    setFocus(Qt::OtherFocusReason);
}

void GameWindow::giveUp() {
    board_.stop();
    clockTimer_.stop();
    button(ChangeImageButton)->setEnabled(true);
    button(LevelButton)->setEnabled(true);
    button(SaveBreakButton)->setEnabled(false);
    setTip(StartButton, "New Game");
    update();
}

void GameWindow::resumeGame(int rows, int cols, int blank, const std::vector<int32_t>& order,
                            uint32_t elapsed) {
    board_.resume(rows, cols, blank, order, elapsed);
    finishNote_.clear();
    button(ChangeImageButton)->setEnabled(false);
    button(LevelButton)->setEnabled(false);
    button(SaveBreakButton)->setEnabled(true);
    button(StartButton)->setEnabled(true);
    setTip(StartButton, "Give UP");
    update();
    clockTimer_.start(clockTimerPeriod, this);
}

void GameWindow::changeImage() {
    if (board_.playing()) return;
    const QString file = askOpen(
        FileKind::Picture, {QString(), translatedFilter(pictureFilter), QString(), QString(), QString()});
    if (file.isEmpty()) return;
    if (preview_) preview_->close();
    // The previous picture stays when the new one cannot be read.
    if (!loadPicture(file)) {
        tell("Error! Failed in reading image file.", "Please, check it and try again.", "Read Image Error",
             MessageIcon::Stop);
        return;
    }
    picturePath_ = file;
}

void GameWindow::previewImage() {
    if (!picture_) return;
    if (preview_) preview_->close();
    const QSize client(board_.cols() * board_.pieceWidth(), board_.rows() * board_.pieceHeight());
    preview_ = new PreviewWindow((client * scale_).expandedTo(QSize(16, 16)), this);
    preview_->setObjectName(QStringLiteral("previewWindow"));
    preview_->setImage(pictureImage_);
    preview_->move(pos() + QPoint(40, 40));
    preview_->show();
}

void GameWindow::selectLevel() {
    if (board_.playing()) return;
    const auto level = prompts_.selectLevel(this, board_.rows(), board_.cols());
    if (!level || (level->first == board_.rows() && level->second == board_.cols())) return;
    board_.setLevel(level->first, level->second);
    finishNote_.clear();
    update();
}

void GameWindow::loadBreak() {
    if (finishing()) return;
    const bool wasPlaying = board_.playing();
    clockTimer_.stop();
    const QString file = askOpen(FileKind::SavedGame, {QString(), translatedFilter(saveFilter), QString(),
                                                       QString(), QStringLiteral("sav")});
    if (!file.isEmpty()) {
        const SavedGameRead read = readSavedGame(fileBytes(file));
        if (read.problem == savedGameOpenProblem) {
            tell("This file doesn't exist!", "Please, check it and try again.", "Load break",
                 MessageIcon::Information);
        } else if (!read.game) {
            prompts_.message(this,
                             tx("Error! This is not a usable saved game.", "Main") + tx("\n\n", "Main") +
                                 tx(read.problem.c_str(), "Main"),
                             tx("Load break", "Main"), MessageIcon::Stop);
        } else {
            const SavedGame& game = *read.game;
            const QString savedPicture = QFile::decodeName(QByteArray::fromStdString(game.picturePath));
            bool ready = true;
            const bool otherPicture = game.picturePath != fileBytes(picturePath_) || !picture_;
            // The game's picture is read and checked first, so a missing or too small one changes
            // nothing.
            std::optional<Picture> picture =
                otherPicture ? imageComponent_->read(game.picturePath) : std::optional<Picture>();
            QImage image = picture ? pictureToImage(*picture) : QImage();
            if (otherPicture && image.isNull()) {
                tell("Error! Failed in reading image file.", "Please, check it and try again.",
                     "Read Image Error", MessageIcon::Stop);
                ready = false;
            } else if (const PictureSize size = otherPicture
                                                    ? PictureSize{picture->width(), picture->height()}
                                                    : board_.picture().value_or(PictureSize{});
                       !pictureFitsLevel(size, game.rows, game.cols)) {
                tell("Error! The picture is too small for this level.", "Please, check it and try again.",
                     "Load break", MessageIcon::Stop);
                ready = false;
            } else if (otherPicture) {
                if (board_.playing()) board_.stop();
                picturePath_ = savedPicture;
                takePicture(std::move(*picture), std::move(image));
            }
            if (ready) {
                resumeGame(game.rows, game.cols, game.blank, game.order, game.elapsed);
                return;
            }
        }
    }
    if (wasPlaying) clockTimer_.start(clockTimerPeriod, this);
}

void GameWindow::saveBreak() {
    if (!board_.playing() || finishing()) return;
    clockTimer_.stop();
    const QString file =
        askSave(FileKind::SavedGame, {tx("Save", "Main"), translatedFilter(saveFilter), QString(),
                                      QStringLiteral("MySave"), QStringLiteral("sav")});
    if (!file.isEmpty()) {
        const SavedGame game{board_.rows(),           board_.cols(),      board_.blank(),
                             fileBytes(picturePath_), board_.slotOrder(), board_.elapsed()};
        std::string problem;
        if (game.picturePath.size() >= savedPathBytes) {
            tell("Error! The picture path is too long to be saved.",
                 "Please, move the picture to a shorter path.", "Save break", MessageIcon::Stop);
        } else if (!writeSavedGame(fileBytes(file), game, &problem)) {
            tell("Error! The game could not be saved.", "Please, check the folder and try again.",
                 "Save break", MessageIcon::Stop);
        }
    }
    clockTimer_.start(clockTimerPeriod, this);
}

void GameWindow::toggleMusic() {
    if (!music_ || !music_->loaded()) return;
    if (musicOn_) {
        music_->stop();
        musicOn_ = false;
        setTip(MusicButton, "Load Music");
        return;
    }
    const QString file = askOpen(FileKind::Music, {tx("Open Musice", "Main"), translatedFilter(musicFilter),
                                                   QString(), QString(), QString()});
    if (file.isEmpty() || !music_->play(fileBytes(file))) return;
    musicOn_ = true;
    setTip(MusicButton, "Stop Music");
}

void GameWindow::showTop() {
    showBest(0);
}

QString GameWindow::gameNote(uint32_t time, int moves) {
    return (moves == 1 ? tx("Your game: %1 in %2 move", "RecordDlg")
                       : tx("Your game: %1 in %2 moves", "RecordDlg"))
        .arg(QString::fromStdString(clockText(time)))
        .arg(moves);
}

void GameWindow::showBest(uint32_t finalTime) {
    const std::string path = fileBytes(recordsPath());
    std::optional<RecordTable> table = readRecordTable(path, board_.rows(), board_.cols());
    if (!table) return;
    if (finalTime == 0) {
        prompts_.showRecords(this, path, board_.rows(), board_.cols(), *table, QString());
        return;
    }
    const int place = recordsWritable(path) ? placeFor(*table, finalTime) : static_cast<int>(table->size());
    if (place < static_cast<int>(table->size())) {
        const QString text = place > 0
                                 ? tx("You are at the postion of ", "RecordDlg") + QString::number(place + 1)
                                 : tx("You break the record!", "RecordDlg");
        prompts_.message(this, text, tx("Tilex", "RecordDlg"), MessageIcon::Information);
        QString name = prompts_.askName(this, QString::fromUtf8(defaultPlayerName));
        if (name.isEmpty()) name = QString::fromUtf8(defaultPlayerName);
        const QDate today = QDateTime::currentDateTimeUtc().date();
        const PictureSize size = board_.picture().value_or(PictureSize{});
        insertRecord(*table, place,
                     RecordEntry{name.toStdString(), finalTime, static_cast<uint16_t>(size.width),
                                 static_cast<uint16_t>(size.height), static_cast<uint16_t>(today.year()),
                                 static_cast<uint16_t>(today.month()), static_cast<uint16_t>(today.day())});
        if (writeRecordEntries(path, board_.rows(), board_.cols(), *table, place)) {
            prompts_.showRecords(this, path, board_.rows(), board_.cols(), *table,
                                 gameNote(finalTime, finalMoves_));
            return;
        }
    }
    prompts_.message(this, trMessage("Congratulation!", "You success!", "RecordDlg"),
                     tx("Success", "RecordDlg"), MessageIcon::Information);
}

void GameWindow::releaseAt(QPoint point) {
    if (!board_.playing() || finishing()) return;
    const int slot = board_.hitTest(point.x(), point.y());
    if (slot >= 0) showMove(board_.slide(slot));
}

void GameWindow::slideByKey(SlideDirection direction, bool wholeLine) {
    if (!board_.playing() || finishing()) return;
    const int slot = board_.keyTarget(direction, wholeLine);
    if (slot >= 0) showMove(board_.slide(slot));
}

void GameWindow::undoMove() {
    if (board_.playing() && !finishing()) showMove(board_.undo());
}

void GameWindow::redoMove() {
    if (board_.playing() && !finishing()) showMove(board_.redo());
}

void GameWindow::showMove(const std::vector<PixelRect>& dirty) {
    if (dirty.empty()) return;
    for (const PixelRect& r : dirty)
        updateSkin(QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)));
    updateSkin(movesArea);
    if (board_.isSolved()) beginFinish();
}

void GameWindow::beginFinish() {
    finalTime_ = board_.elapsed();
    finalMoves_ = board_.moveCount();
    clockTimer_.stop();
    finishFrame_ = 0;
    finishTimer_.start(finishFramePeriod, this);
}

void GameWindow::finishStep() {
    ++finishFrame_;
    updateSkin(boardRepaintArea);
    if (finishFrame_ < finishFrames) return;
    finishTimer_.stop();
    const uint32_t time = finalTime_;
    const int moves = finalMoves_;
    const int rows = board_.rows();
    const int cols = board_.cols();
    giveUp();
    const RecordResult result = recordResult(fileBytes(recordsPath()), rows, cols, time);
    finishNote_ = finishText(time, moves, result);
    update();
    showBest(time);
    finalTime_ = 0;
}

QString GameWindow::finishText(uint32_t time, int moves, const RecordResult& result) {
    const QString first =
        (moves == 1 ? tx("Solved in %1 with %2 move.", "Main") : tx("Solved in %1 with %2 moves.", "Main"))
            .arg(QString::fromStdString(clockText(time)))
            .arg(moves);
    QString second;
    switch (result.outcome) {
    case RecordOutcome::Placed:
        second = tx("That is place %1 of the best five.", "Main").arg(result.place + 1);
        break;
    case RecordOutcome::NotPlaced:
        second = tx("That is not among the best five.", "Main");
        break;
    case RecordOutcome::FileMissing:
        second = tx("No record could be kept: Tilex.ini is missing.", "Main");
        break;
    case RecordOutcome::FileDamaged:
        second = tx("No record could be kept: Tilex.ini is damaged.", "Main");
        break;
    case RecordOutcome::FileReadOnly:
        second = tx("No record could be kept: Tilex.ini cannot be written.", "Main");
        break;
    }
    return first + QLatin1Char('\n') + second;
}

void GameWindow::tick() {
    if (board_.tick() == TickResult::Overtime) {
        giveUp();
        tell("You have overtimed!", "Please, restart it.", "Overtime", MessageIcon::Information);
        return;
    }
    updateSkin(clockArea);
}

void GameWindow::scan() {
    if (board_.playing() || scannerComponent_) return;
    std::string problem;
    scannerComponent_ =
        ScannerLink::load(fileBytes(QDir(programDir_).filePath(QStringLiteral("TwainTX.so"))), &problem);
    if (!scannerComponent_) {
        button(ScanButton)->setEnabled(false);
        return;
    }
    const auto window = static_cast<TwainWindow>(reinterpret_cast<uintptr_t>(this));
    std::vector<std::string> names;
    if (scannerComponent_->openManager(window)) names = scannerComponent_->sourceNames();
    if (names.empty()) {
        closeScanner();
        tell("Error! Can not scan.", "Please, check scan system.", "Scan Error", MessageIcon::Stop);
        return;
    }
    QStringList choices;
    for (const std::string& name : names)
        choices << QString::fromStdString(name);
    const int chosen = prompts_.chooseScanner(this, choices);
    if (chosen < 0 || chosen >= static_cast<int>(names.size())) {
        closeScanner();
        return;
    }
    scannerComponent_->setNotify(&notifyScanEnded, this);
    if (!scannerComponent_->enableSource(names[static_cast<size_t>(chosen)], window)) {
        closeScanner();
        tell("Error! Can not scan.", "Please, check scan system.", "Scan Error", MessageIcon::Stop);
        return;
    }
    scanning_ = true;
    // Window events reach the component through event(); the poll keeps them coming while idle.
    scanPoll_.start(100, this);
}

void GameWindow::closeScanner() {
    scanPoll_.stop();
    scanning_ = false;
    if (!scannerComponent_) return;
    scannerComponent_->setNotify(nullptr, nullptr);
    scannerComponent_->close(static_cast<TwainWindow>(reinterpret_cast<uintptr_t>(this)));
    scannerComponent_.reset();
}

void GameWindow::finishScan(uint16_t scannerEvent) {
    if (!scannerComponent_) return;
    if (scannerEvent == TWAIN_CLOSE_REQUEST) {
        closeScanner();
        return;
    }
    std::optional<Picture> picture = scannerComponent_->transfer();
    closeScanner();
    QImage image = picture ? pictureToImage(*picture) : QImage();
    if (image.isNull()) {
        tell("Error! Can not scan.", "Please, check scan system.", "Scan Error", MessageIcon::Stop);
        return;
    }
    // The scan becomes the picture; picturePath keeps naming the last picture file.
    if (preview_) preview_->close();
    takePicture(*picture, std::move(image));
    const QString file = askSave(FileKind::Picture, {tx("Save", "Main"), translatedFilter(scanFilter),
                                                     QString(), QString(), QStringLiteral("bmp")});
    if (!file.isEmpty() && !imageComponent_->write(fileBytes(file), *picture_))
        tell("Error! The scanned picture could not be saved.", "Please, check the folder and try again.",
             "Scan Error", MessageIcon::Stop);
}

bool GameWindow::event(QEvent* e) {
    if (scanning_ && scannerComponent_) {
        const TwainMessage message{static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this)),
                                   static_cast<uint32_t>(e->type()),
                                   0,
                                   0,
                                   0,
                                   0,
                                   0};
        const uint16_t answer = scannerComponent_->filter(message);
        if (answer == TWAIN_XFER_READY || answer == TWAIN_CLOSE_REQUEST) {
            // Finished outside this event's handling: the transfer may open the save dialog.
            scanning_ = false;
            scanPoll_.stop();
            QMetaObject::invokeMethod(
                this, [this, answer] { finishScan(answer); }, Qt::QueuedConnection);
        }
    }
    if (e->type() == scanEndedEvent) return true;
    return QWidget::event(e);
}

void GameWindow::timerEvent(QTimerEvent* e) {
    if (e->timerId() == clockTimer_.timerId()) {
        tick();
    } else if (e->timerId() == finishTimer_.timerId()) {
        finishStep();
    } else if (e->timerId() != scanPoll_.timerId()) {
        QWidget::timerEvent(e);
    }
}

bool GameWindow::inBoardArea(QPoint p) const {
    auto inside = [&](int left, int top, int right, int bottom) {
        return p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom;
    };
    if (!inside(75, 70, 620, 540)) return false;
    return !(inside(600, 200, 620, 400) || inside(605, 135, 620, 200) || inside(605, 400, 620, 465));
}

void GameWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QPoint point = toSkin(e->position());
    if (board_.playing() && inBoardArea(point)) return;
    dragging_ = true;
    pressPoint_ = e->globalPosition().toPoint();
    windowAtPress_ = pos();
}

void GameWindow::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_) move(windowAtPress_ + e->globalPosition().toPoint() - pressPoint_);
}

void GameWindow::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    dragging_ = false;
    releaseAt(toSkin(e->position()));
}

void GameWindow::contextMenuEvent(QContextMenuEvent* e) {
    if (board_.playing() && inBoardArea(toSkin(e->pos()))) return;
    QMenu menu(this);
    menu.addAction(tx("Move", "Main"), this, [this] {
        if (windowHandle()) windowHandle()->startSystemMove();
    });
    menu.addAction(tx("Close", "Main"), this, &QWidget::close);
    QMenu* sizes = menu.addMenu(tx("Size", "Main"));
    for (const qreal choice : windowScales) {
        QAction* action = sizes->addAction(QStringLiteral("%1 %").arg(qRound(choice * 100)), this,
                                           [this, choice] { chooseScale(choice); });
        action->setCheckable(true);
        action->setChecked(choice == scale_);
        action->setEnabled(scaleFits(choice));
    }
    menu.addSeparator();
    menu.addAction(tx("&About Tilex...", "Main"), this, [this] { prompts_.about(this); });
    menu.exec(e->globalPos());
}

void GameWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Everything is laid out in the skin's 800 x 600 pixels; the painter scales it, so pictures and
    // text are drawn at the screen's own resolution and bitmaps without blending.
    p.scale(scale_, scale_);
    if (skin_.background.isNull()) {
        p.fillRect(QRect(0, 0, skinWidth, skinHeight), QColor(0x1d, 0x2a, 0x4b));
    } else {
        drawSkinImage(p, QRectF(0, 0, skinWidth, skinHeight), skin_.backgroundImage());
    }
    drawSkinLine(p, QRect(80, 548, 540, 30), tx("slide the pieces home", "Main"));
    if (!pictureImage_.isNull()) {
        drawBoard(p, board_, pictureImage_);
        if (finishing()) drawArrivingPiece(p, board_, pictureImage_, qreal(finishFrame_) / finishFrames);
        if (!finishNote_.isEmpty()) drawFinishNote(p, board_, finishNote_);
    }
    if (!skin_.frame.isNull())
        drawSkinImage(p, QRectF(QPointF(76, 67), QSizeF(skin_.frame.size())), skin_.frameImage());
    drawClock(p, skin_.clockImage(), clockArea.topLeft(), finishing() ? finalTime_ : board_.elapsed());
    drawMoves(p, skin_.clockImage(), movesArea,
              board_.playing() ? board_.moveCount() : (finishNote_.isEmpty() ? 0 : finalMoves_));
}

} // namespace tilex
