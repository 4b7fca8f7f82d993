#include "workspace/view/tool_palette.h"

#include "workspace/view/cursor_set.h"

#include <QAction>
#include <QEvent>
#include <QIcon>
#include <QMoveEvent>
#include <QPainter>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>

namespace tandemscan {

namespace {

struct ButtonInfo {
    int button;
    const char* icon;
    const char* tooltip;
    const char* accelerator;
};

constexpr ButtonInfo buttonInfo[] = {
    {ButtonAutoMerge, "auto_merge", "Merge images automatically maximum as A3 paper (Ctrl + 'A')", "Ctrl+A"},
    {ButtonContentJoin, "content_join", "Join by picture content (Ctrl + 'J')", "Ctrl+J"},
    {ButtonMove, "move", "Move image (Ctrl + 'H')", "Ctrl+H"},
    {ButtonExchange, "exchange", "Exchange image's position each other (Ctrl + 'X')", "Ctrl+X"},
    {ButtonRotate, "rotate", "Rotate image 180 (Ctrl + 'D')", "Ctrl+D"},
    {ButtonZoom, "zoom", "Zoom in or out (with 'Alt' button) (Ctrl + 'M')", "Ctrl+M"},
    {ButtonCrop, "crop", "Crop image (Ctrl + 'C')", "Ctrl+C"},
    {ButtonGrid, "grid", "Show grid line (Ctrl + 'G')", "Ctrl+G"},
    {ButtonFlags, "flags", "Insert flags (Ctrl + 'F')", "Ctrl+F"},
    {ButtonUnite, "unite", "Unite flags (Ctrl + 'U')", "Ctrl+U"},
    {ButtonAdjust, "adjust", "Image Adjustment (Ctrl + 'I')", "Ctrl+I"},
    {ButtonMagnifier, "magnifier", "Magnifier", nullptr},
};

constexpr int buttonSize = 27;

} // namespace

// The palette never takes the keyboard: a click on it leaves the keys with the window behind.
ToolPalette::ToolPalette(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
    setObjectName(QStringLiteral("toolPalette"));
    setFixedSize(48, 455);
    toolbar_ = new QToolBar(this);
    toolbar_->setObjectName(QStringLiteral("paletteToolbar"));
    toolbar_->setOrientation(Qt::Vertical);
    toolbar_->setIconSize(QSize(buttonSize - 6, buttonSize - 6));
    toolbar_->setGeometry(4, 4, 36, 419);
    for (const ButtonInfo& info : buttonInfo) {
        if (info.button == ButtonExchange || info.button == ButtonGrid) toolbar_->addSeparator();
        QAction* a = toolbar_->addAction(
            QIcon(renderArtwork(QStringLiteral(":/workspace/palette_%1.svg").arg(QLatin1String(info.icon)),
                                buttonSize)),
            QString());
        a->setObjectName(QStringLiteral("palette_%1").arg(QLatin1String(info.icon)));
        a->setData(info.button);
        actions_[info.button] = a;
        connect(a, &QAction::triggered, this, [this, b = info.button] {
            pressButton(b);
            emit clicked();
        });
    }
    for (QAction* a : toolbar_->actions())
        if (QWidget* w = toolbar_->widgetForAction(a)) w->setFixedSize(buttonSize, buttonSize);
    installShortcuts();
    retranslate();
    syncButtons();
    if (parent != nullptr) followWindow(parent->window());
}

void ToolPalette::setTranslator(Translator translate) {
    translate_ = std::move(translate);
    retranslate();
}

void ToolPalette::retranslate() {
    for (const ButtonInfo& info : buttonInfo) {
        const QString text = QString::fromLatin1(info.tooltip);
        actions_[info.button]->setToolTip(translate_ ? translate_(text) : text);
        actions_[info.button]->setText(actions_[info.button]->toolTip());
    }
}

QAction* ToolPalette::action(int button) const {
    const auto it = actions_.find(button);
    return it == actions_.end() ? nullptr : it->second;
}

void ToolPalette::setMagnifierOn(bool on) {
    state_.setMagnifierOn(on);
    syncButtons();
}

void ToolPalette::installShortcuts() {
    // Owned by the palette but live in every window of the program that is not behind a modal
    // dialog: the tools answer wherever the keyboard is (main window, workspace, palette).
    const auto add = [this](const QKeySequence& keys) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::ApplicationShortcut);
        return shortcut;
    };
    for (const ButtonInfo& info : buttonInfo) {
        if (info.accelerator == nullptr) continue;
        connect(add(QKeySequence(QLatin1String(info.accelerator))), &QShortcut::activated, this,
                [this, b = info.button] { pressButton(b); });
    }
    connect(add(QKeySequence(QStringLiteral("Ctrl+Z"))), &QShortcut::activated, this,
            [this] { emit mainWindowCommand(commandUndo); });
    // The main window has its own F1; the palette passes its F1 on.
    auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(help, &QShortcut::activated, this, [this] { emit mainWindowCommand(commandHelp); });
}

void ToolPalette::followWindow(QWidget* window) {
    if (followed_ != nullptr) followed_->removeEventFilter(this);
    followed_ = window;
    if (followed_ != nullptr) {
        followedAt_ = followed_->pos();
        followedSize_ = followed_->size();
        followed_->installEventFilter(this);
    }
}

bool ToolPalette::eventFilter(QObject* watched, QEvent* event) {
    if (watched == followed_ && event->type() == QEvent::Move) {
        // Only a move the user can see carries the palette along: the window's first placement
        // (from nowhere to its stored place) must not be added to the palette's own stored place.
        // A move that comes with a new size (maximise, restore, a dragged edge) leaves it too:
        // the palette would be pushed off the screen's left edge by a maximise.
        const QPoint now = followed_->pos();
        const QSize size = followed_->size();
        if (isVisible() && followed_->isVisible() && size == followedSize_) move(pos() + (now - followedAt_));
        followedAt_ = now;
        followedSize_ = size;
    }
    if (watched == followed_ && event->type() == QEvent::Resize) {
        // The move of the same change, if any, is delivered right after the resize; a resize
        // alone (the right or bottom edge dragged) must not hold back the next plain move.
        QTimer::singleShot(0, this, [this] {
            if (followed_ != nullptr) followedSize_ = followed_->size();
        });
    }
    return QWidget::eventFilter(watched, event);
}

void ToolPalette::pressButton(int button) {
    const std::optional<ToolCommand> command = state_.press(button);
    syncButtons();
    if (command) emit toolCommand(static_cast<int>(*command), state_.pressedFor(*command));
}

void ToolPalette::applyToolState(int code, int argument) {
    if (state_.applyToolState(code, argument)) syncButtons();
}

void ToolPalette::syncButtons() {
    for (int b : paletteButtons) {
        QAction* a = actions_[b];
        const bool checkable =
            b != ButtonAutoMerge && b != ButtonContentJoin && b != ButtonExchange && b != ButtonUnite;
        a->setCheckable(checkable);
        a->setChecked(checkable && state_.checked(b));
        a->setEnabled(state_.enabled(b));
    }
}

void ToolPalette::paintEvent(QPaintEvent*) {
    // Two etched lines along the top and left edges.
    QPainter p(this);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(0, 0, width() - 1, 0);
    p.drawLine(0, 0, 0, height() - 1);
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(1, 1, width() - 1, 1);
    p.drawLine(1, 1, 1, height() - 1);
}

} // namespace tandemscan
