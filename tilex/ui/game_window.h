// The game's one window: 800 x 600, shaped by its skin, with ten bitmap buttons around the board.
#pragma once

#include "board.h"
#include "dialogs.h"
#include "folder_memory.h"
#include "image_component.h"
#include "music_link.h"
#include "picture.h"
#include "prompts.h"
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

    // A released left button at a window point: slides a piece when the point is next to the gap.
    void releaseAt(QPoint point);
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
    CRGNButton* makeButton(ButtonId id, const char* caption, int normalFace, QPoint position,
                           const char* tip);
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
