// The game's one window: 800 x 600, shaped by its skin, with ten bitmap buttons around the board.
#pragma once

#include "board.h"
#include "dialogs.h"
#include "folder_memory.h"
#include "image_component.h"
#include "music_link.h"
#include "picture.h"
#include "prompts.h"
#include "records.h"
#include "scanner_link.h"
#include "skin.h"

#include <QBasicTimer>
#include <QImage>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <random>

namespace tilex {

class CRGNButton;

class GameWindow : public QWidget {
    Q_OBJECT
  public:
    // Control ids of the buttons, which also name them in tests.
    enum ButtonId {
        StartButton = 1003,
        ChangeImageButton,
        PreviewButton,
        LevelButton,
        LoadBreakButton,
        SaveBreakButton,
        MusicButton,
        TopButton,
        ScanButton,
        CloseButton,
    };
    static constexpr int clockTimerPeriod = 1000;
    static constexpr int skinWidth = 800;
    static constexpr int skinHeight = 600;
    // The sizes the window can be drawn at, times the skin's 800 x 600 (and the screen's own
    // device pixel ratio on top).
    static constexpr qreal windowScales[] = {1.0, 1.5, 2.0};

    // programDir holds the components, the skin and the data files. prompts is not owned.
    GameWindow(const QString& programDir, GamePrompts& prompts, QWidget* parent = nullptr);
    ~GameWindow() override;

    // The start-up steps; false when the program cannot run (no image file component).
    bool initialise();

    // The commands behind the buttons.
    void startOrGiveUp();
    void changeImage();
    void previewImage();
    void selectLevel();
    void loadBreak();
    void saveBreak();
    void toggleMusic();
    void showTop();
    void scan();

    // A released left button at a window point: slides the pieces between it and the gap when
    // the point is in the gap's row or column.
    void releaseAt(QPoint point);
    // The keys of a game: arrows (one piece), Shift+arrows, Home, End, PageUp, PageDown (a
    // whole line), Ctrl+Z (undo), Ctrl+Shift+Z and Ctrl+Y (redo).
    void slideByKey(SlideDirection direction, bool wholeLine);
    void undoMove();
    void redoMove();
    // The window's size factor; chooseScale also keeps it for the next run. A size that does not
    // fit on the screen is refused.
    void setScale(qreal scale);
    void chooseScale(qreal scale);
    qreal scale() const { return scale_; }
    bool scaleFits(qreal scale) const;
    // One clock second.
    void tick();

    const Board& board() const { return board_; }
    CRGNButton* button(ButtonId id) const;
    const QString& picturePath() const { return picturePath_; }
    const QImage& pictureImage() const { return pictureImage_; }
    bool musicOn() const { return musicOn_; }
    // From enabling the scanner until its picture is taken or the scan is given up.
    bool scanning() const { return scannerComponent_ != nullptr; }
    bool clockRunning() const { return clockTimer_.isActive(); }
    PreviewWindow* preview() const { return preview_; }
    // From solving until the missing piece has slid in and the results are shown.
    bool finishing() const { return finishTimer_.isActive(); }
    // What the whole picture shows after a finish: time, moves and the place kept (or why none).
    const QString& finishNote() const { return finishNote_; }
    QString recordsPath() const;
    // Puts a position on the board as if a saved game had been loaded (for tests and demos).
    void resumeGame(int rows, int cols, int blank, const std::vector<int32_t>& order, uint32_t elapsed);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void setUpButtons();
    void setUpKeys();
    QPoint toSkin(QPointF point) const;
    void updateSkin(const QRect& area);
    void applyShape();
    void stepScale(int step);
    void showMove(const std::vector<PixelRect>& dirty);
    void beginFinish();
    void finishStep();
    static QString finishText(uint32_t time, int moves, const RecordResult& result);
    static QString gameNote(uint32_t time, int moves);
    CRGNButton* makeButton(ButtonId id, const char* caption, const char* label, int normalFace,
                           QPoint position, const char* tip);
    void setTip(ButtonId id, const char* tip);
    QString askOpen(FileKind kind, FileQuestion question);
    QString askSave(FileKind kind, FileQuestion question);
    void tell(const char* first, const char* second, const char* caption, MessageIcon icon);
    bool loadPicture(const QString& path);
    void takePicture(Picture picture, QImage image);
    void pictureMissing();
    void startMusic();
    void musicEnded(int result);
    void giveUp();
    void showBest(uint32_t finalTime);
    void finishScan(uint16_t event);
    void closeScanner();
    bool inBoardArea(QPoint point) const;
    void updatePreview();

    QString programDir_;
    GamePrompts& prompts_;
    Skin skin_;
    std::unique_ptr<ImageComponent> imageComponent_;
    std::unique_ptr<ScannerLink> scannerComponent_;
    std::unique_ptr<MusicLink> music_;
    bool musicOn_ = false;
    bool scanning_ = false;
    bool recordsAvailable_ = false;
    bool noSoundTold_ = false;
    FolderMemory folders_{playerSettingsPath()};
    Board board_;
    std::optional<Picture> picture_;
    QImage pictureImage_;
    QString picturePath_;
    uint32_t finalTime_ = 0;
    int finalMoves_ = 0;
    qreal scale_ = 1;
    int finishFrame_ = 0;
    QBasicTimer finishTimer_;
    QString finishNote_;
    std::mt19937 random_;
    QBasicTimer clockTimer_;
    QBasicTimer scanPoll_;
    QPointer<PreviewWindow> preview_;
    bool dragging_ = false;
    QPoint pressPoint_;
    QPoint windowAtPress_;
    std::map<int, CRGNButton*> buttons_;
};

} // namespace tilex
