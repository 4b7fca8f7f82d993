#include "main_window.h"

#include "adjustment_dialog.h"
#include "engine/image_engine.h"
#include "engine/image_file.h"
#include "engine/part_check.h"
#include "engine/part_files.h"
#include "file_save_as_dlg.h"
#include "help_window.h"
#include "ini_file.h"
#include "magnifier.h"
#include "mutilang.h"
#include "part_preview.h"
#include "pic_show_dlg.h"
#include "save_formats.h"
#include "scan/scan_session.h"
#include "send_to_dialog.h"
#include "string_table.h"
#include "value_dialogs.h"
#include "workspace/view/tool_palette.h"
#include "workspace/view/workspace_view.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QSizeGrip>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <exception>
#include <new>
#include <vector>

// The window's own pictures live in a static library, so they are registered by hand.
static void registerShellResources() {
    Q_INIT_RESOURCE(shell_resources);
}

namespace tandemscan {

namespace fs = std::filesystem;

namespace {

QString fromPath(const fs::path& path) {
    return QString::fromStdString(path.string());
}

Rect toRect(const QRect& r) {
    return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()};
}

QRect toQRect(const Rect& r) {
    return {r.left, r.top, r.width(), r.height()};
}

// The local files among dropped URLs, in order.
QStringList droppedFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

} // namespace

MainWindow::MainWindow(Options options)
    : options_(std::move(options)), paths_(options_.programDir), prompts_(options_.prompts),
      components_(paths_) {
    if (!prompts_) prompts_ = std::make_shared<UserPrompts>();
    registerShellResources();
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QString::fromLatin1(programCaption));
    // The pane size and every other size follow the screen's logical resolution, once.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        dpiScale_ = screen->logicalDotsPerInchX() / 96.0;
    base_ = LayoutBase(dpiScale_);
}

MainWindow::~MainWindow() = default;

QString MainWindow::translate(const QString& english) const {
    const CMutiLang* language = components_.language.get();
    return language ? language->translate(english) : english;
}

QString MainWindow::text(int id) const {
    const auto english = stringText(id);
    return translate(QString::fromUtf8(english.data(), static_cast<qsizetype>(english.size())));
}

void MainWindow::showMessage(QMessageBox::Icon icon, const QString& caption, const QString& message) {
    prompts_->message(isVisible() ? this : nullptr, icon, caption, message);
}

void MainWindow::showStringMessage(int captionId, int textId, bool show) {
    if (show) showMessage(QMessageBox::Critical, text(captionId), text(textId));
}

QPushButton* MainWindow::button(const char* objectName) const {
    return findChild<QPushButton*>(QLatin1String(objectName));
}

bool MainWindow::initialise() {
    // The language first: every text after this point passes through it.
    components_.language.powerOn(options_.messageFile.empty() ? paths_.dataFile(messageFileName)
                                                              : options_.messageFile);

    setWindowIcon(QIcon(QStringLiteral(":/icons/tandemscan.svg")));

    components_.settings = std::make_unique<SettingsStore>(paths_.settingsFile(settingsFileName));
    SettingsStore& settings = *components_.settings;
    settings.load();
    firstRun_ = settings.firstRun();
    // The pictures earlier runs sent to other programs have long been read by now.
    deleteEarlierExports(paths_.workingDir(), fs::file_time_type::clock::now() - std::chrono::minutes(1));

    std::string why;
    components_.imageFile = ImageFileLibrary::load(paths_.programDir(), &why);
    if (!components_.imageFile) {
        // The loader's own words follow on a second line: they name a missing library, say.
        const auto newline = why.find('\n');
        const QString detail =
            newline == std::string::npos ? QString() : QString::fromStdString(why.substr(newline));
        showMessage(QMessageBox::Critical, QString::fromLatin1(programCaption),
                    translate(QStringLiteral("ZedOROV.so not found!")) + detail);
        return false;
    }

    const fs::path scannerPath = paths_.programDir() / scannerComponentName;
    std::error_code ignored;
    if (!fs::exists(scannerPath, ignored)) {
        showMessage(QMessageBox::Critical, QString::fromLatin1(programCaption),
                    translate(QStringLiteral("RezuzID.so not found!")));
        return false;
    }
    // A scanner component that will not start only means that no scanner is offered.
    components_.scanner.start(scannerPath, static_cast<std::uintptr_t>(winId()));
    scanning_ = std::make_unique<ScanSession>(
        std::make_unique<ScanAcquisition>(scannerModuleFile(scannerPath), paths_.workingDir(),
                                          imageFileWriter(components_.imageFile),
                                          static_cast<TwainWindow>(winId())),
        this, [this](const QString& english) { return translate(english); },
        [this](const QString& why) { showMessage(QMessageBox::Critical, text(IdsError), why); });
    // The end-of-scan notice: the window comes back, and a finished part is loaded into its side.
    connect(scanning_.get(), &ScanSession::toolCommand, this, [this](int, int result) {
        setEnabled(true);
        if (palette_) palette_->setEnabled(true);
        const int side = scanning_->acquisition().side();
        if (result == static_cast<int>(ScanResult::PartReady))
            loadPartFile(sideOfCode(side),
                         QString::fromStdString(scanning_->acquisition().partFile(side).string()));
    });

    buildControls();
    setTooltips();
    components_.language.get()->InitMultiLangDlg(this);
    fillLists();
    fitButtonsToTexts();
    createPalette();
    createWorkspace();
    placeWindow();
    moveExplain_ = firstRun_ ? 1 : settings.moveExplain();
    workspace_->setMoveExplanationWanted(moveExplain_ == 1);
    computeSizeLimits();
    connectButtons();
    keyFilter_.install(this);
    initialised_ = true;
    layoutControls(width(), height());
    // The first run's help opens once the window is up, so that it comes in front of it.
    if (firstRun_ && options_.showHelpOnFirstRun) {
        helpAt(QString::fromLatin1(firstRunTopic));
        helpOnShow_ = true;
    }
    return true;
}

void MainWindow::buildControls() {
    topFrame_ = new QFrame(this);
    topFrame_->setObjectName(QStringLiteral("topFrame"));
    topFrame_->setFrameShape(QFrame::StyledPanel);
    workFrame_ = new QFrame(this);
    workFrame_->setObjectName(QStringLiteral("workFrame"));
    workFrame_->setFrameShape(QFrame::StyledPanel);
    const char* listNames[] = {"dataSource", "colourType", "resolution", "descreen"};
    for (std::size_t i = 0; i < lists_ui_.size(); ++i) {
        lists_ui_[i] = new QComboBox(this);
        lists_ui_[i]->setObjectName(QLatin1String(listNames[i]));
    }
    const auto makeButton = [this](const char* name, const char* label) {
        auto* b = new QPushButton(QString::fromLatin1(label), this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    inputButtons_[0] = makeButton("inputLeft", "&Input");
    clearButtons_[0] = makeButton("clearLeft", "&Clear");
    inputButtons_[1] = makeButton("inputRight", "I&nput");
    clearButtons_[1] = makeButton("clearRight", "C&lear");
    originalType_ = makeButton("originalType", "&Original Type");
    preview_ = makeButton("preview", "&Preview");
    sendTo_ = makeButton("sendTo", "&Send to...");
    saveAs_ = makeButton("saveAs", "S&ave as...");
    buy_ = makeButton("buy", "Buy");
    exit_ = makeButton("exit", "E&xit");
    help_button_ = makeButton("help", "&Help");
    // Created hidden: the original size normally keeps its A3 default.
    originalType_->hide();
    for (auto* b : {clearButtons_[0], clearButtons_[1], preview_, sendTo_, saveAs_})
        b->setEnabled(false);
    grip_ = new QSizeGrip(this);
    grip_->setObjectName(QStringLiteral("sizeGrip"));
}

void MainWindow::fitButtonsToTexts() {
    // The buttons keep one width; a translation's longer text widens them all rather than being cut.
    // (The original type button is never shown.)
    for (const QPushButton* b : {inputButtons_[0], clearButtons_[0], inputButtons_[1], clearButtons_[1],
                                 preview_, sendTo_, saveAs_, buy_, exit_, help_button_})
        base_.buttonWidth =
            std::max(base_.buttonWidth,
                     b->fontMetrics().horizontalAdvance(QString(b->text()).remove(QLatin1Char('&'))) +
                         2 * style()->pixelMetric(QStyle::PM_ButtonMargin));
}

void MainWindow::setTooltips() {
    const std::pair<QWidget*, int> tips[] = {
        {lists_ui_[0], IdsTipDataSource},
        {lists_ui_[3], IdsTipDescreen},
        {lists_ui_[1], IdsTipColorType},
        {lists_ui_[2], IdsTipResolution},
        {clearButtons_[0], IdsTipClearLeft},
        {inputButtons_[0], IdsTipInputLeft},
        {inputButtons_[1], IdsTipInputRight},
        {clearButtons_[1], IdsTipClearRight},
        {preview_, IdsTipPreview},
        {originalType_, IdsTipPaperSize},
        {sendTo_, IdsTipSendTo},
        {saveAs_, IdsTipSaveAs},
        {exit_, IdsTipExit},
        {help_button_, IdsTipHelp},
    };
    for (const auto& [widget, id] : tips)
        widget->setToolTip(text(id));
}

void MainWindow::fillLists() {
    const SettingsStore& settings = *components_.settings;
    StoredChoices stored;
    stored.firstRun = firstRun_;
    stored.driverName = settings.driverName();
    stored.imageType = settings.imageType();
    stored.resolutionIndex = settings.resolutionIndex();
    stored.resolutionValue = settings.resolutionValue();
    lists_.fill(stored, components_.scanner.enumerate(settings.driverCount()), scan_);
    applyListsToWidgets();
    scannerInputAllowed_ = !(scan_.source == DataSource::Scanner && !scan_.scannerAvailable);
}

void MainWindow::applyListsToWidgets() {
    const ChoiceList* models[] = {&lists_.source, &lists_.colour, &lists_.resolution, &lists_.descreen};
    for (std::size_t i = 0; i < lists_ui_.size(); ++i) {
        QComboBox* combo = lists_ui_[i];
        const QSignalBlocker quiet(combo);
        combo->clear();
        for (const auto& entry : models[i]->entries)
            combo->addItem(translate(QString::fromStdString(entry)));
        combo->setCurrentIndex(models[i]->current);
        combo->setEnabled(models[i]->enabled);
    }
}

void MainWindow::createPalette() {
    palette_ = std::make_unique<ToolPalette>(this);
    if (!firstRun_) {
        // A palette left on a screen that is gone, or mostly off one, comes back whole.
        std::vector<Rect> screens;
        if (const QScreen* primary = QGuiApplication::primaryScreen())
            screens.push_back(toRect(primary->availableGeometry()));
        for (const QScreen* screen : QGuiApplication::screens())
            if (screen != QGuiApplication::primaryScreen())
                screens.push_back(toRect(screen->availableGeometry()));
        palettePosition_ = pulledOntoScreens(components_.settings->palettePosition(),
                                             {palette_->width(), palette_->height()}, screens);
    }
    palette_->setTranslator([this](const QString& english) { return translate(english); });
    palette_->move(palettePosition_.x, palettePosition_.y);
    // After a click on the palette the keys go to the workspace again.
    connect(palette_.get(), &ToolPalette::clicked, this, [this] {
        activateWindow();
        if (workspace_) workspace_->setFocus(Qt::OtherFocusReason);
    });
    paletteWidth_ = palette_->width();
    connect(palette_.get(), &ToolPalette::toolCommand, this, &MainWindow::relayToolCommand);
    connect(palette_.get(), &ToolPalette::mainWindowCommand, this, [this](int command) {
        if (command == commandHelp) showHelp();
        if (command == commandUndo && workspace_) workspace_->model().undo();
    });
}

void MainWindow::placePaletteBesideWindow() {
    if (!palette_) return;
    const QRect frame = frameGeometry();
    palette_->move(frame.left() - palette_->width(), frame.top() + 25);
}

// Window managers maximise to the whole work area, over the palette. The window is therefore
// given back to its normal state and sized by hand beside the palette, which goes to the area's
// left edge; the next maximise (the window manager now sees a normal window) restores both.
void MainWindow::maximiseBesidePalette() {
    if (!isMaximized() || !palette_) return;
    const std::optional<NormalPlace> before = besidePalette_;
    const QRect normal = normalGeometry().isValid() ? normalGeometry() : toQRect(lastRect_);
    const QMargins frame(geometry().left() - frameGeometry().left(), geometry().top() - frameGeometry().top(),
                         frameGeometry().right() - geometry().right(),
                         frameGeometry().bottom() - geometry().bottom());
    adjusting_ = true;
    showNormal();
    if (before) {
        besidePalette_.reset();
        setGeometry(before->window);
        palette_->move(before->palette);
    } else {
        besidePalette_ = NormalPlace{normal, palette_->pos()};
        const QScreen* area = screen() ? screen() : QGuiApplication::primaryScreen();
        const Rect available = toRect(area ? area->availableGeometry() : QRect(0, 0, 1024, 768));
        const QRect outer = toQRect(maximisedOnScreen(available, paletteWidth_, ratio_));
        setGeometry(outer.marginsRemoved(frame));
        palette_->move(available.left, outer.top() + 25);
    }
    adjusting_ = false;
    layoutControls(width(), height());
}

void MainWindow::relayToolCommand(int code, bool pressed) {
    if (!workspace_) return;
    switch (static_cast<ToolCommand>(code)) {
    case ToolCommand::AutoMerge:
        autoMerge();
        break;
    case ToolCommand::MagnifierOn:
        setMagnifier(true);
        break;
    case ToolCommand::MagnifierOff:
        setMagnifier(false);
        break;
    case ToolCommand::ScanDone:
        break; // the magnifier and the scanner come with their own windows
    default:
        workspace_->runToolCommand(static_cast<ToolCommand>(code), pressed);
        break;
    }
}

void MainWindow::setMagnifier(bool on) {
    if (!workspace_) return;
    if (on) {
        if (!magnifier_) {
            magnifier_ = std::make_unique<MagnifierWindow>(fromPath(paths_.settingsFile("tsMagf.ini")),
                                                           DialogContext{language(), {}}, this);
            // Closing the magnifier itself turns it off as the palette button does.
            magnifier_->installEventFilter(this);
        }
        magnifier_->open(firstRun_);
        magnifier_->setSource(workspace_->snapshot(), magnifierPoint_);
    } else if (magnifier_) {
        magnifier_->closeAndSave();
    }
    workspace_->setMagnifierActive(on);
    if (palette_ && palette_->state().magnifierOn() != on) palette_->setMagnifierOn(on);
}

void MainWindow::sendTo() {
    if (!workspace_) return;
    const auto exportJoined = [this]() -> QString {
        const auto file = workspace_->model().exportForApplication();
        return file ? QString::fromStdString(*file) : QString();
    };
    SendToDialog dialog(fromPath(paths_.settingsFile("tsApinfo.dat")), DialogContext{language(), {}},
                        exportJoined, this);
    prompts_->runDialog(dialog);
}

void MainWindow::adjustImage(Side side) {
    if (!workspace_) return;
    MergeWorkspace& model = workspace_->model();
    ImageRecord& working = model.workingCopyForAdjustment(side);
    if (working.empty()) return;
    std::unique_ptr<OperationRunner>& runner = components_.rasterkit;
    if (!runner) runner = std::make_unique<OperationRunner>();
    DialogContext context{language(), {}};
    context.showMessage = [this](QWidget* parent, const QString& text, const QString& caption,
                                 QMessageBox::Icon icon) { prompts_->message(parent, icon, caption, text); };
    ImageAdjustmentDialog dialog(
        working, *runner, context,
        [this, side](const HeaderBlock& header, std::span<const std::uint8_t> pixels) {
            workspace_->previewWorkingPixels(side, header, pixels);
        },
        [this, side] { return workspace_->model().originalBlock(side); }, this);
    if (prompts_->runDialog(dialog) == QDialog::Accepted) {
        // The working copy and the original now carry the adjustment: draw it and count it as work.
        model.workingCopyChanged(side);
    } else {
        // Cancel: the part is drawn from its untouched working copy again.
        workspace_->previewWorkingPixels(side, working.headerBlock(), working.pixels());
    }
}

void MainWindow::createWorkspace() {
    // The parts' backing files go to the program's private working folder, deleted at the end.
    workspace_ = std::make_unique<WorkspaceView>(
        this, std::make_unique<ImageEngine>(components_.imageFile, paths_.workingDir()));
    workspace_->setObjectName(QStringLiteral("workspace"));
    setAcceptDrops(true);
    workspace_->setTranslator([this](const QString& english) { return translate(english); });
    // The workspace's messages arrive translated and go the way of every other message.
    workspace_->setMessageHandler([this](MessageIcon icon, const QString& caption, const QString& message) {
        const auto qtIcon = icon == MessageIcon::Error     ? QMessageBox::Critical
                            : icon == MessageIcon::Warning ? QMessageBox::Warning
                                                           : QMessageBox::Information;
        showMessage(qtIcon, caption, message);
    });
    connect(workspace_.get(), &WorkspaceView::toolStateChanged, this, &MainWindow::relayToolState);
    connect(workspace_.get(), &WorkspaceView::clearEnabledChanged, this,
            [this](int side, bool on) { clearButtons_[static_cast<std::size_t>(side & 1)]->setEnabled(on); });
    connect(workspace_.get(), &WorkspaceView::inputEnabledChanged, this, [this](int side, bool on) {
        inputButtons_[static_cast<std::size_t>(side & 1)]->setEnabled(on && scannerInputAllowed_);
    });
    connect(workspace_.get(), &WorkspaceView::outputEnabledChanged, this, [this](bool on) {
        preview_->setEnabled(on);
        sendTo_->setEnabled(on);
        saveAs_->setEnabled(on);
    });
    connect(workspace_.get(), &WorkspaceView::magnifierMoved, this, [this](QPoint p) {
        magnifierPoint_ = p;
        if (magnifier_ && magnifier_->isVisible()) magnifier_->setSource(workspace_->snapshot(), p);
    });
    const auto refreshMagnifier = [this] {
        if (magnifier_ && magnifier_->isVisible())
            magnifier_->setSource(workspace_->snapshot(), magnifierPoint_);
    };
    connect(workspace_.get(), &WorkspaceView::magnifierRepaintRequested, this, refreshMagnifier);
    connect(workspace_.get(), &WorkspaceView::imageAdjustmentRequested, this,
            [this](int side) { adjustImage(sideOfCode(side)); });
    connect(workspace_.get(), &WorkspaceView::snapshotUpdated, this, refreshMagnifier);
    connect(workspace_.get(), &WorkspaceView::moveExplanationWantedChanged, this,
            [this](bool wanted) { moveExplain_ = wanted ? 1 : 0; });
    workspace_->setGeometry(base_.workspaceLeft, base_.workspaceTop, 2 * base_.paneWidth + 1,
                            base_.paneHeight);
    workspace_->resizePanes(base_.paneWidth, base_.paneHeight);
    workspace_->show();
}

void MainWindow::placeWindow() {
    const ScreenSize first = windowMinimum();
    QRect rect;
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect desktop = screen ? screen->availableVirtualGeometry() : QRect(0, 0, 1024, 768);
    if (firstRun_) {
        rect = QRect(QPoint(0, 0), QSize(first.width, first.height));
        rect.moveCenter(desktop.center());
    } else {
        // A place on a screen that is no longer there starts centred; a size beyond the screen
        // or below the minimum is brought within them.
        const Rect screenRect{desktop.left(), desktop.top(), desktop.left() + desktop.width(),
                              desktop.top() + desktop.height()};
        rect = toQRect(fitOntoScreen(components_.settings->windowRect(), first, screenRect));
    }
    setGeometry(rect);
    startRect_ = toRect(rect);
    lastRect_ = startRect_;
}

ScreenSize MainWindow::windowMinimum() const {
    // A translation may need wider lists than the base size gives them: none is cut off.
    int widest = 0;
    for (const QComboBox* list : lists_ui_)
        widest = std::max(widest, list->sizeHint().width());
    return minimumWindowSizeForLists(dpiScale_, widest);
}

void MainWindow::computeSizeLimits() {
    minimum_ = windowMinimum();
    ratio_ = aspectRatio(minimumWindowSize(dpiScale_));
    const QRect screen =
        QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect();
    const Rect maximised = maximisedRect(screen.width(), screen.height(), paletteWidth_, ratio_);
    maximum_ = {std::max(maximised.width(), minimum_.width), std::max(maximised.height(), minimum_.height)};
    // The maximised size itself is the window manager's to give; the layout fits any size.
    setMinimumSize(minimum_.width, minimum_.height);
    grip_->resize(style()->pixelMetric(QStyle::PM_ScrollBarExtent),
                  style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

void MainWindow::connectButtons() {
    connect(lists_ui_[0], &QComboBox::activated, this, &MainWindow::sourceChosen);
    connect(lists_ui_[1], &QComboBox::activated, this,
            [this](int index) { lists_.chooseColour(index, scan_); });
    connect(lists_ui_[2], &QComboBox::activated, this, &MainWindow::resolutionChosen);
    connect(lists_ui_[3], &QComboBox::activated, this, &MainWindow::descreenChosen);
    connect(inputButtons_[0], &QPushButton::clicked, this, [this] { inputPart(Side::Left); });
    connect(inputButtons_[1], &QPushButton::clicked, this, [this] { inputPart(Side::Right); });
    connect(clearButtons_[0], &QPushButton::clicked, this, [this] { clearPart(Side::Left); });
    connect(clearButtons_[1], &QPushButton::clicked, this, [this] { clearPart(Side::Right); });
    connect(preview_, &QPushButton::clicked, this, &MainWindow::previewJoined);
    connect(saveAs_, &QPushButton::clicked, this, &MainWindow::saveAs);
    connect(sendTo_, &QPushButton::clicked, this, &MainWindow::sendTo);
    connect(buy_, &QPushButton::clicked, this, &MainWindow::buy);
    connect(exit_, &QPushButton::clicked, this, &QWidget::close);
    connect(help_button_, &QPushButton::clicked, this, [this] { showHelp(); });
    connect(originalType_, &QPushButton::clicked, this, [this] {
        DialogContext context{language(), {}};
        OriginalTypeDialog dialog(originalWidth_, originalHeight_, context, this);
        if (prompts_->runDialog(dialog) == QDialog::Accepted) {
            originalWidth_ = dialog.width();
            originalHeight_ = dialog.height();
        }
    });
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { showHelp(); });
}

void MainWindow::sourceChosen(int index) {
    scannerInputAllowed_ = lists_.chooseSource(index, scan_);
    const ChoiceList* models[] = {&lists_.colour, &lists_.resolution, &lists_.descreen};
    for (std::size_t i = 0; i < 3; ++i)
        lists_ui_[i + 1]->setEnabled(models[i]->enabled);
    for (int side = 0; side < 2; ++side) {
        const bool locked = workspace_ && workspace_->model().isLocked(sideOfCode(side));
        inputButtons_[static_cast<std::size_t>(side)]->setEnabled(scannerInputAllowed_ && !locked);
    }
}

void MainWindow::resolutionChosen(int index) {
    lists_.chooseResolution(index, scan_, [this]() -> std::optional<int> {
        DialogContext context{language(), {}};
        SliderValueDialog dialog(SliderValueDialog::Kind::CustomResolution, context, this);
        if (prompts_->runDialog(dialog) != QDialog::Accepted) return std::nullopt;
        return dialog.result();
    });
    applyListsToWidgets();
}

void MainWindow::descreenChosen(int index) {
    lists_.chooseDescreen(index, scan_, [this]() -> std::optional<int> {
        DialogContext context{language(), {}};
        SliderValueDialog dialog(SliderValueDialog::Kind::Descreen, context, this);
        if (prompts_->runDialog(dialog) != QDialog::Accepted) return std::nullopt;
        return dialog.result();
    });
    applyListsToWidgets();
}

void MainWindow::relayToolState(int code, int argument) {
    if (!palette_) return;
    // Only these codes concern the palette; the first four carry their argument.
    switch (static_cast<ToolState>(code)) {
    case ToolState::FlagsPlaced:
    case ToolState::OneLocked:
    case ToolState::OtherLocked:
    case ToolState::AutoMergeWidth:
        palette_->applyToolState(code, argument & 0xFFFF);
        break;
    case ToolState::FlagsUnited:
    case ToolState::CropClosed:
    case ToolState::FlagsOff:
    case ToolState::NoUnlockedPart:
    case ToolState::OnePart:
    case ToolState::TwoParts:
    case ToolState::ModesReleased:
        palette_->applyToolState(code, 0);
        break;
    }
}

void MainWindow::clearLock(Side side) {
    if (workspace_ && workspace_->model().isLocked(side)) workspace_->model().toggleLock(side);
}

bool MainWindow::validateScanInput(Side side, int* code) const {
    const MergeWorkspace& model = workspace_->model();
    if (!model.holdsPart(other(side))) return true;
    const PartCheck check = checkScanAgainst(scan_, model.copyPartReference());
    *code = static_cast<int>(check);
    return check == PartCheck::Accepted;
}

void MainWindow::inputPart(Side side) {
    if (!workspace_) return;
    if (scan_.source == DataSource::Scanner) {
        if (!scan_.scannerAvailable) return;
        int code = 0;
        if (!validateScanInput(side, &code)) {
            const int ids[] = {0, IdsTypeNotSupported, IdsResolutionDiffers, IdsTypeDiffers};
            showStringMessage(IdsError, ids[code]);
            return;
        }
        clearLock(side);
        setEnabled(false);
        if (palette_) palette_->setEnabled(false);
        scanning_->start(makeScanRequest(scan_, originalHeight_, sideCode(side)));
        return;
    }
    CPicShowDlg dialog(this, language(), makePartPreviewReader(components_.imageFile));
    if (prompts_->runDialog(dialog) != QDialog::Accepted) return;
    const QString path = dialog.chosenPath();
    if (path.isEmpty()) return;
    loadPartFile(side, path);
}

bool MainWindow::loadPartFile(Side side, const QString& path) {
    if (!workspace_) return false;
    const fs::path file = path.toStdString();
    auto refuse = [&](int textId, const std::string& reason) {
        showMessage(QMessageBox::Critical, text(IdsError),
                    QString::fromStdString(withSecondLine(text(textId).toStdString(), reason)));
        return false;
    };
    const QFileInfo info(path);
    if (!info.isFile())
        return refuse(IdsFileMissing, aboutFile(file, info.isDir() ? "this is a folder, not a file"
                                                                   : "No such file or directory"));
    // Only the extension's letters decide; the path keeps its case, as Linux names are exact.
    if (const std::string refusal = partExtensionRefusal(file); !refusal.empty())
        return refuse(IdsFormatNotSupported, refusal);
    bool loaded = false;
    {
        const WaitCursor wait(*workspace_);
        loaded = workspace_->model().loadPart(path.toStdString(), side);
    }
    clearLock(side);
    return loaded;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (workspace_ && isEnabled() && !droppedFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QStringList files = droppedFiles(event->mimeData());
    if (!workspace_ || files.isEmpty()) return;
    event->acceptProposedAction();
    // The side under the pointer takes the first file, the other side a second one.
    const QPoint at = workspace_->mapFrom(this, event->position().toPoint());
    const Side first =
        at.x() >= workspace_->model().side(Side::Right).paneRect.left ? Side::Right : Side::Left;
    for (int i = 0; i < std::min<int>(2, static_cast<int>(files.size())); ++i)
        loadPartFile(i == 0 ? first : other(first), QFileInfo(files[i]).absoluteFilePath());
}

void MainWindow::clearPart(Side side) {
    if (!workspace_) return;
    clearLock(side);
    workspace_->model().clearSide(side);
}

bool MainWindow::previewJoined() {
    return workspace_ && workspace_->showPreview();
}

bool MainWindow::autoMerge() {
    if (!workspace_) return false;
    MergeWorkspace& model = workspace_->model();
    if (model.placeAutomatically(originalWidth_)) {
        workspace_->showJoinedImage();
        return true;
    }
    // A refused automatic merge falls back to the move tool, as the palette's button does.
    model.toolCommand(ToolCommand::Move, palette_ && palette_->state().pressedFor(ToolCommand::Move));
    return false;
}

bool MainWindow::saveAs() {
    if (!workspace_) return false;
    MergeWorkspace& model = workspace_->model();
    const std::string_view formats = saveFormatList(model.workingBitsPerPixel(), model.loadedEightBit());
    // The dialog starts at the list's first format.
    CFileSaveAsDlg dialog(this, language(), QString(), std::string(formats));
    if (prompts_->runDialog(dialog) != QDialog::Accepted) {
        saved_ = false;
        return false;
    }
    const QString path = dialog.chosenPath();
    bool written = false;
    try {
        const WaitCursor wait(*workspace_);
        written = model.saveMerged(path.toStdString());
    } catch (const std::bad_alloc&) {
        written = false;
    } catch (const std::exception&) {
        written = false;
    }
    // Only a file that was really written counts as saved work.
    if (written) model.isModified(true);
    saved_ = written;
    return written;
}

void MainWindow::buy() {
    const fs::path file = paths_.dataFile(linkFileName);
    std::error_code ignored;
    if (!fs::exists(file, ignored)) return;
    IniFile ini(file);
    ini.load();
    const QString address = QString::fromStdString(ini.readString("Link", "url1"));
    const QUrl url = QUrl::fromUserInput(address);
    if (address.isEmpty() || !url.isValid() || !QDesktopServices::openUrl(url)) {
        showMessage(QMessageBox::Critical, text(IdsError), translate(QStringLiteral("Open URL Error!")));
    }
}

HelpWindow* MainWindow::helpAt(const QString& topic) {
    if (!help_)
        help_ = std::make_unique<HelpWindow>(this, language(), fromPath(paths_.programDir() / "TShelp"));
    help_->showTopic(topic);
    return help_.get();
}

void MainWindow::showHelp(const QString& topic) {
    HelpWindow* help = helpAt(topic);
    help->show();
    help->raise();
    help->activateWindow();
}

void MainWindow::startPuzzle() {
    const QString program = fromPath(paths_.programDir() / puzzleProgram);
    if (!QFileInfo(program).isExecutable() || !QProcess::startDetached(program, {})) {
        showMessage(QMessageBox::Warning, QString::fromLatin1(programCaption),
                    translate(QStringLiteral("Tilex/Tilex not found!")));
    }
}

Rect MainWindow::currentRect() const {
    if (besidePalette_) return toRect(besidePalette_->window);
    return toRect(isMaximized() ? normalGeometry() : geometry());
}

void MainWindow::writeSettings() {
    Rect rect = currentRect();
    if (rect.right < 1 || rect.bottom < 1 || rect.left > 2499 || rect.top > 2499) rect = startRect_;
    Point palette = palette_ ? Point{palette_->x(), palette_->y()} : palettePosition_;
    if (besidePalette_) palette = {besidePalette_->palette.x(), besidePalette_->palette.y()};
    components_.settings->save(scan_, rect, minimum_, palette, moveExplain_);
}

bool MainWindow::requestExit() {
    if (!initialised_) return true;
    if (!workspace_ || !workspace_->model().isModified(false)) {
        writeSettings();
        return true;
    }
    while (true) {
        const auto answer = prompts_->askYesNoCancel(this, text(IdsConfirm), text(IdsSaveQuestion));
        if (answer == QMessageBox::No) {
            writeSettings();
            return true;
        }
        if (answer != QMessageBox::Yes) return false;
        // Saved from the question: the window ends at once, without writing the settings.
        if (saveAs()) return true;
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (closing_ || requestExit()) {
        closing_ = true;
        if (help_) help_->close();
        if (magnifier_) magnifier_->closeAndSave();
        if (palette_) palette_->hide();
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::layoutControls(int cx, int cy) {
    if (!workspace_) return;
    layout_ = layoutFor(cx, cy, base_);
    topFrame_->setGeometry(toQRect(layout_.topFrame));
    workFrame_->setGeometry(toQRect(layout_.workFrame));
    for (std::size_t i = 0; i < lists_ui_.size(); ++i)
        lists_ui_[i]->setGeometry(toQRect(layout_.lists[i]));
    inputButtons_[0]->setGeometry(toQRect(layout_.inputLeft));
    clearButtons_[0]->setGeometry(toQRect(layout_.clearLeft));
    inputButtons_[1]->setGeometry(toQRect(layout_.inputRight));
    clearButtons_[1]->setGeometry(toQRect(layout_.clearRight));
    originalType_->setGeometry(toQRect(layout_.originalType));
    preview_->setGeometry(toQRect(layout_.preview));
    sendTo_->setGeometry(toQRect(layout_.sendTo));
    saveAs_->setGeometry(toQRect(layout_.saveAs));
    buy_->setGeometry(toQRect(layout_.buy));
    exit_->setGeometry(toQRect(layout_.exit));
    help_button_->setGeometry(toQRect(layout_.help));
    workspace_->model().setPaneFactor(layout_.zoomPercent);
    workspace_->move(layout_.workspace.left, layout_.workspace.top);
    workspace_->resizePanes(layout_.paneWidth, layout_.paneHeight);
    grip_->move(cx - grip_->width(), cy - grip_->height());
    grip_->setVisible(!maximised());
    grip_->raise();
    update();
}

void MainWindow::keepProportions(const Rect& before) {
    const Rect now = toRect(geometry());
    const auto edge = draggedEdge(before, now);
    if (!edge) return;
    const Rect wanted = proportionalRect(*edge, now, ratio_);
    if (wanted == now) return;
    adjusting_ = true;
    setGeometry(toQRect(wanted));
    adjusting_ = false;
    // The window system answers with a resize of its own, which must not be followed again: a
    // window manager that keeps the size it chose would otherwise be asked over and over.
    answerPending_ = toRect(geometry()) != wanted;
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!initialised_) return;
    const Rect before = lastRect_;
    lastRect_ = toRect(geometry());
    if (answerPending_) {
        answerPending_ = false;
    } else if (!adjusting_ && !maximised() && !isFullScreen()) {
        // Follow the dragged edge once the window system has finished this step.
        QTimer::singleShot(0, this, [this, before] {
            keepProportions(before);
            lastRect_ = toRect(geometry());
        });
    }
    layoutControls(width(), height());
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (initialised_ && !adjusting_) lastRect_ = toRect(geometry());
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!initialised_ || !palette_) return;
    // On a first run the palette sits against the window's left edge, a little below its top.
    if (firstRun_) placePaletteBesideWindow();
    palette_->show();
    palette_->followWindow(this);
    if (helpOnShow_) {
        helpOnShow_ = false;
        // Queued: the window system maps the main window first, then the help over it.
        QTimer::singleShot(0, this, [this] {
            if (help_) {
                help_->show();
                help_->raise();
                help_->activateWindow();
            }
        });
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !initialised_) return;
    layoutControls(width(), height());
    if (isMaximized() && !adjusting_) QTimer::singleShot(0, this, &MainWindow::maximiseBesidePalette);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == magnifier_.get() && event->type() == QEvent::Hide && workspace_ &&
        workspace_->magnifierActive()) {
        workspace_->setMagnifierActive(false);
        if (palette_ && palette_->state().magnifierOn()) palette_->setMagnifierOn(false);
    }
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* key = static_cast<QKeyEvent*>(event);
        // F11 starts the puzzle from anywhere in the program, whatever modifiers are held.
        if (event->type() == QEvent::KeyPress && key->key() == Qt::Key_F11 && !key->isAutoRepeat()) {
            startPuzzle();
            return true;
        }
        // Arrow and Alt keys steer the workspace tools while the main window or the palette is in
        // front; a list keeps its arrows, but not + and - (the zoom tool's), which it has no use for.
        const QWidget* target = watched->isWidgetType() ? static_cast<QWidget*>(watched)->window() : nullptr;
        const bool zoomKey =
            key->key() == Qt::Key_Plus || key->key() == Qt::Key_Equal || key->key() == Qt::Key_Minus;
        if (workspace_ && target != nullptr && (target == this || target == palette_.get()) &&
            (zoomKey || !qobject_cast<QComboBox*>(watched)) && workspace_->handleKey(key)) {
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tandemscan
