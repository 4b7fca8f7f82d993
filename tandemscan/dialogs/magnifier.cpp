#include "magnifier.h"

#include "ini_file.h"

#include <QApplication>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QRadioButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tandemscan {

namespace {

constexpr const char* kSection = "magf window";

int captionHeight(const QWidget* widget) {
    return widget->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, widget);
}

} // namespace

MagnifierSettings MagnifierSettings::load(const QString& path) {
    MagnifierSettings settings;
    if (!QFileInfo::exists(path)) {
        settings.useDefaultPosition = true;
        return settings;
    }
    IniFile ini(path.toStdString());
    ini.load();
    settings.rect.left = static_cast<int>(ini.readInt(kSection, "Left", 0));
    settings.rect.top = static_cast<int>(ini.readInt(kSection, "Top", 0));
    settings.rect.right = static_cast<int>(ini.readInt(kSection, "Right", 0));
    settings.rect.bottom = static_cast<int>(ini.readInt(kSection, "Bottom", 0));
    // A damaged file must not give a window that cannot be seen, a division by zero or sizes
    // beyond int.
    settings.zoom = boundedMagnifierZoom(ini.readInt(kSection, "Zoom", 0));
    settings.size = boundedMagnifierSize(ini.readInt(kSection, "Size", 0));
    return settings;
}

bool MagnifierSettings::save(const QString& path) const {
    IniFile ini(path.toStdString());
    ini.load();
    ini.writeInt(kSection, "Left", rect.left);
    ini.writeInt(kSection, "Top", rect.top);
    ini.writeInt(kSection, "Right", rect.right);
    ini.writeInt(kSection, "Bottom", rect.bottom);
    ini.writeInt(kSection, "Zoom", zoom);
    ini.writeInt(kSection, "Size", size);
    return ini.save();
}

MagnifierWindow::MagnifierWindow(const QString& settingsPath, const DialogContext& context,
                                 QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Tool), settingsPath_(settingsPath), context_(context), mainWindow_(mainWindow) {
    setObjectName(QStringLiteral("Magnifier"));
    setWindowTitle(context_.tr(QStringLiteral("R-Click Setup")));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void MagnifierWindow::open(bool firstRun) {
    settings_ = MagnifierSettings::load(settingsPath_);
    Rect rect = settings_.rect;
    if (settings_.useDefaultPosition && mainWindow_) {
        const QRect main = mainWindow_->frameGeometry();
        rect = defaultMagnifierRect(main.right() + 1, main.top(), captionHeight(this), firstRun);
    }
    settings_.rect = rect;
    move(rect.left, rect.top);
    setFixedSize(settings_.size, settings_.size);
    show();
}

void MagnifierWindow::closeAndSave() {
    if (!isVisible()) return;
    const QRect frame = frameGeometry();
    const Rect window{frame.left(), frame.top(), frame.right() + 1, frame.bottom() + 1};
    settings_.rect = rectToStore(window, settings_.rect);
    settings_.save(settingsPath_);
    hide();
}

void MagnifierWindow::setSource(const QImage& snapshot, QPoint point) {
    source_ = snapshot;
    point_ = point;
    update();
}

void MagnifierWindow::applyChoice(int size, int zoom) {
    settings_.size = size;
    settings_.zoom = zoom;
    setFixedSize(size, size);
    update();
}

void MagnifierWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int s = settings_.size;
    if (source_.isNull()) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    const MagnifierView view =
        magnifierView(s, settings_.zoom, point_.x(), point_.y(), source_.width(), source_.height());
    painter.fillRect(rect(), Qt::white);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(QRect(0, 0, s, s), source_, QRect(view.sourceX, view.sourceY, view.side, view.side));
    painter.setPen(QPen(Qt::red, 1));
    painter.drawLine(view.crossX - 20, view.crossY, view.crossX + 20, view.crossY);
    painter.drawLine(view.crossX, view.crossY - 20, view.crossX, view.crossY + 20);
    painter.setPen(QPen(Qt::black, 1));
    painter.drawRect(0, 0, s - 1, s - 1);
    painter.setPen(QPen(Qt::gray, 1));
    painter.drawRect(2, 2, s - 5, s - 5);
}

void MagnifierWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        emit propertiesRequested();
        showProperties();
        return;
    }
    QWidget::mousePressEvent(event);
}

void MagnifierWindow::showProperties() {
    MagnifierProperties sheet(settings_.size, settings_.zoom, context_, this);
    if (sheet.exec() == QDialog::Accepted) applyChoice(sheet.size(), sheet.zoom());
}

void MagnifierWindow::keyPressEvent(QKeyEvent* event) {
    // Escape and Enter never close the glass.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void MagnifierWindow::closeEvent(QCloseEvent* event) {
    closeAndSave();
    QWidget::closeEvent(event);
}

MagnifierProperties::MagnifierProperties(int size, int zoom, const DialogContext& context, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("MagnifierProperties"));
    setWindowTitle(QStringLiteral("Magnifying Glass Properties"));
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("pages"));
    auto makePage = [&](const char* name, const QStringList& texts, int checked, QButtonGroup*& group) {
        auto* page = new QWidget(tabs);
        page->setObjectName(QString::fromLatin1(name));
        auto* layout = new QVBoxLayout(page);
        group = new QButtonGroup(page);
        for (int i = 0; i < texts.size(); ++i) {
            auto* button = new QRadioButton(texts[i], page);
            button->setObjectName(QStringLiteral("choice%1").arg(i));
            group->addButton(button, i);
            layout->addWidget(button);
        }
        group->button(checked)->setChecked(true);
        tabs->addTab(page, QString::fromLatin1(name));
    };
    makePage("Size", {"100", "120", "150", "180"}, sizeChoiceIndex(size), sizes_);
    makePage("Zoom", {"X1.5", "X2", "X2.5", "X3"}, zoomChoiceIndex(zoom), zooms_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addWidget(buttons);
    context.translate(this);
    for (int i = 0; i < tabs->count(); ++i)
        tabs->setTabText(i, context.tr(tabs->tabText(i)));
}

int MagnifierProperties::size() const {
    return sizeForChoice(sizes_->checkedId());
}
int MagnifierProperties::zoom() const {
    return zoomForChoice(zooms_->checkedId());
}

} // namespace tandemscan
