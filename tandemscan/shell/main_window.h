// The program's window: the four source lists, Input and Clear for each side, the merge
// workspace, and the Preview, Send to, Save as, Buy, Exit and Help buttons. It brings up the
// components in a fixed order, relays the tools to the workspace, keeps its proportions while it
// is resized, and writes the settings when it ends.
#pragma once

#include "engine/side.h"
#include "program_paths.h"
#include "scan/scan_lists.h"
#include "scan/scan_settings.h"
#include "scan/scanner_link.h"
#include "settings_store.h"
#include "shell_components.h"
#include "user_prompts.h"
#include "window_geometry.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <filesystem>
#include <memory>
#include <optional>

class CMutiLang;
class QComboBox;
class QFrame;
class QPushButton;
class QSizeGrip;

namespace tandemscan {

class HelpWindow;
class MagnifierWindow;
class ScanSession;
class ToolPalette;
class WorkspaceView;

inline constexpr const char* programCaption = "Zunt--Tandemscan";
inline constexpr const char* messageFileName = "ZidureTS.msg";
inline constexpr const char* linkFileName = "InfoTS.ini";
inline constexpr const char* puzzleProgram = "Tilex/Tilex";
inline constexpr const char* firstRunTopic = "html/Quick.htm";
inline constexpr const char* contentsTopic = "html/index.htm";

// An event filter on the whole application, taken off again when this goes.
class ApplicationEventFilter {
  public:
    ApplicationEventFilter() = default;
    ~ApplicationEventFilter() {
        if (filter_) QCoreApplication::instance()->removeEventFilter(filter_);
    }
    ApplicationEventFilter(const ApplicationEventFilter&) = delete;
    ApplicationEventFilter& operator=(const ApplicationEventFilter&) = delete;

    void install(QObject* filter) {
        filter_ = filter;
        QCoreApplication::instance()->installEventFilter(filter_);
    }

  private:
    QObject* filter_ = nullptr;
};

class MainWindow : public QWidget {
    Q_OBJECT
  public:
    struct Options {
        std::filesystem::path programDir;
        std::filesystem::path messageFile;    // empty: ZidureTS.msg as found by ProgramPaths
        std::shared_ptr<UserPrompts> prompts; // empty: real message boxes and dialogs
        bool showHelpOnFirstRun = true;
    };

    explicit MainWindow(Options options);
    ~MainWindow() override;

    // Brings the components up in order. False when a component is missing: the user has been
    // told, and the program ends without writing anything.
    bool initialise();

    // What the buttons do; public so that the command line and tests can use them.
    void inputPart(Side side);
    // Checks and loads a file into a side, as Input does after its dialog. True when loaded.
    bool loadPartFile(Side side, const QString& path);
    void clearPart(Side side);
    bool previewJoined();
    // Save as: false when cancelled or when writing failed.
    bool saveAs();
    void buy();
    void showHelp(const QString& topic = QString::fromLatin1(contentsTopic));
    void startPuzzle();
    // Automatic merge (the palette's first button, Ctrl+A): placement and the preview of the result.
    bool autoMerge();
    // The exit procedure; true when the window may close.
    bool requestExit();

    // ShowStringMessage: both texts from the string table, translated, in an error box.
    void showStringMessage(int captionId, int textId, bool show = true);
    // A string-table text in the current language.
    QString text(int id) const;
    QString translate(const QString& english) const;

    // State, for the window's own tests and for the command line.
    CMutiLang* language() const { return components_.language.get(); }
    WorkspaceView* workspace() const { return workspace_.get(); }
    ToolPalette* palette() const { return palette_.get(); }
    HelpWindow* helpWindow() const { return help_.get(); }
    MagnifierWindow* magnifier() const { return magnifier_.get(); }
    const SettingsStore& settings() const { return *components_.settings; }
    const ScanSettings& scanSettings() const { return scan_; }
    const ScanLists& scanLists() const { return lists_; }
    const ProgramPaths& paths() const { return paths_; }
    bool firstRun() const { return firstRun_; }
    int moveExplain() const { return moveExplain_; }
    bool savedFlag() const { return saved_; }
    ScreenSize minimumTrackSize() const { return minimum_; }
    float ratio() const { return ratio_; }
    const MainLayout& currentLayout() const { return layout_; }
    Rect startRect() const { return startRect_; }
    QComboBox* list(int index) const { return lists_ui_[static_cast<std::size_t>(index)]; }
    QPushButton* button(const char* objectName) const;

    // Lays the controls out for a client size.
    void layoutControls(int clientWidth, int clientHeight);
    // Keeps the proportions after the user dragged an edge from `before` to the current place.
    void keepProportions(const Rect& before);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Image files dropped on the window load as parts, by the same rules as the Input dialog.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void buildControls();
    void setTooltips();
    void fillLists();
    void applyListsToWidgets();
    void createPalette();
    void createWorkspace();
    void placePaletteBesideWindow();
    // The help window (made on first use) at a topic, not yet shown.
    HelpWindow* helpAt(const QString& topic);
    void maximiseBesidePalette();
    bool maximised() const { return isMaximized() || besidePalette_.has_value(); }
    void relayToolCommand(int code, bool pressed);
    void setMagnifier(bool on);
    void sendTo();
    // Ctrl+I on a pane: brightness, contrast and saturation of that side's part.
    void adjustImage(Side side);
    void placeWindow();
    ScreenSize windowMinimum() const;
    void fitButtonsToTexts();
    void computeSizeLimits();
    void connectButtons();
    void sourceChosen(int index);
    void resolutionChosen(int index);
    void descreenChosen(int index);
    void relayToolState(int code, int argument);
    void clearLock(Side side);
    bool validateScanInput(Side side, int* code) const;
    void writeSettings();
    Rect currentRect() const;
    void showMessage(QMessageBox::Icon icon, const QString& caption, const QString& text);

    Options options_;
    ProgramPaths paths_;
    std::shared_ptr<UserPrompts> prompts_;
    ShellComponents components_; // after paths_, which name its working folder
    ScanSettings scan_;
    ScanLists lists_;
    QPoint magnifierPoint_;

    std::array<QComboBox*, 4> lists_ui_{};
    std::array<QPushButton*, 2> inputButtons_{};
    std::array<QPushButton*, 2> clearButtons_{};
    QPushButton* originalType_ = nullptr;
    QPushButton* preview_ = nullptr;
    QPushButton* sendTo_ = nullptr;
    QPushButton* saveAs_ = nullptr;
    QPushButton* buy_ = nullptr;
    QPushButton* exit_ = nullptr;
    QPushButton* help_button_ = nullptr;
    QFrame* topFrame_ = nullptr;
    QFrame* workFrame_ = nullptr;
    QSizeGrip* grip_ = nullptr;

    double dpiScale_ = 1.0;
    int originalWidth_ = 4200; // tenths of a millimetre: an A3 sheet's long side
    int originalHeight_ = 2970;
    bool firstRun_ = true;
    int moveExplain_ = 0;
    bool saved_ = false;
    bool scannerInputAllowed_ = true;
    Point palettePosition_;
    int paletteWidth_ = 0;
    Rect startRect_;
    ScreenSize minimum_;
    ScreenSize maximum_;
    float ratio_ = 1.0f;
    LayoutBase base_{1.0};
    MainLayout layout_;
    Rect lastRect_;
    bool adjusting_ = false;
    bool answerPending_ = false; // a proportional size was asked for; its resize is ours
    // While the window is maximised beside the palette: where window and palette were before.
    struct NormalPlace {
        QRect window;
        QPoint palette;
    };
    std::optional<NormalPlace> besidePalette_;
    bool initialised_ = false;
    bool closing_ = false;
    bool helpOnShow_ = false; // the first run's help waits for the window to be shown

    // The windows that use the components. They go before them, in the reverse order of these
    // members (the help, the scan, the palette, the magnifier, then the workspace); the key
    // filter on the application goes first of all.
    std::unique_ptr<WorkspaceView> workspace_;
    std::unique_ptr<MagnifierWindow> magnifier_;
    std::unique_ptr<ToolPalette> palette_;
    std::unique_ptr<ScanSession> scanning_; // the scan of a part, its progress window and notice
    std::unique_ptr<HelpWindow> help_;
    ApplicationEventFilter keyFilter_;
};

} // namespace tandemscan
