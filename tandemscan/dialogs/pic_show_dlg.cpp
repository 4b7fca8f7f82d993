#include "pic_show_dlg.h"

#include "mutilang.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace tandemscan {

namespace {

bool rememberedShowPreview = true;

// "*.jpg" becomes "*.[jJ][pP][gG]" so that photo.JPG is offered as well.
QString anyCase(const QString& pattern) {
    QString out;
    for (const QChar c : pattern) {
        if (c.isLetter()) {
            out += QLatin1Char('[') + c.toLower() + c.toUpper() + QLatin1Char(']');
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

QStringList nameFiltersFromPairs(const QString& pairs,
                                 const std::function<QString(const QString&)>& translateName) {
    QStringList filters;
    const QStringList parts = pairs.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) break;
        QStringList patterns;
        for (const auto& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << anyCase(p.trimmed());
        filters << (translateName ? translateName(parts[i]) : parts[i]) + QStringLiteral(" (") +
                       patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters;
}

ThumbnailView::ThumbnailView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("thumbnail"));
    setMinimumSize(160, 160);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ThumbnailView::setImage(const QImage& image) {
    image_ = image;
    update();
}

Rect ThumbnailView::imageRect() const {
    if (image_.isNull()) return {};
    return fitIntoBox(width(), height(), image_.width(), image_.height());
}

void ThumbnailView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().mid().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    if (image_.isNull()) return;
    const Rect r = imageRect();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(r.left, r.top, r.width(), r.height()), image_);
}

CPicShowDlg::CPicShowDlg(QWidget* parent, CMutiLang* language, PictureReader reader)
    : QFileDialog(parent), language_(language), reader_(std::move(reader)) {
    setObjectName(QStringLiteral("PicShowDlg"));
    setWindowTitle(translate("Open"));
    setOption(QFileDialog::DontUseNativeDialog);
    setOption(QFileDialog::HideNameFilterDetails);
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
    setNameFilters(nameFiltersFromPairs(QString::fromLatin1(partFileFilter), [this](const QString& name) {
        return language_ ? language_->translate(name, "PicShowDlg") : name;
    }));

    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("previewPanel"));
    // A fixed width keeps the file list's share of the dialog and the thumbnail's proportions.
    panel->setFixedWidth(240);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(8, 0, 0, 0);
    previewBox_ = new QCheckBox(translate("Show Preview"), panel);
    previewBox_->setObjectName(QStringLiteral("showPreview"));
    previewBox_->setChecked(rememberedShowPreview);
    column->addWidget(previewBox_);
    thumbnail_ = new ThumbnailView(panel);
    column->addWidget(thumbnail_, 1);
    const char* names[] = {"sizeLine", "depthLine", "typeLine", "resolutionLine", "warningLine"};
    for (int i = 0; i < 5; ++i) {
        lines_[i] = new QLabel(panel);
        lines_[i]->setObjectName(QLatin1String(names[i]));
        lines_[i]->setWordWrap(true);
        column->addWidget(lines_[i]);
    }
    QPalette red = lines_[4]->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    lines_[4]->setPalette(red);
    column->addStretch();
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1);
    }

    connect(this, &QFileDialog::currentChanged, this, &CPicShowDlg::showFile);
    connect(previewBox_, &QCheckBox::toggled, this, &CPicShowDlg::previewToggled);
}

CPicShowDlg::~CPicShowDlg() = default;

bool CPicShowDlg::showPreview() {
    return rememberedShowPreview;
}
void CPicShowDlg::setShowPreview(bool on) {
    rememberedShowPreview = on;
}

QString CPicShowDlg::translate(const char* text) const {
    const QString english = QString::fromUtf8(text);
    return language_ ? language_->translate(english, "PicShowDlg") : english;
}

QString CPicShowDlg::chosenPath() const {
    const QStringList files = selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void CPicShowDlg::showFile(const QString& path) {
    current_ = path;
    if (!previewBox_->isChecked()) thumbnail_->setImage({});
    if (!reader_ || path.isEmpty()) return;
    const auto picture = reader_(path, previewBox_->isChecked());
    if (!picture) return; // unreadable: the lines keep what they showed
    const auto lines = describePicture(picture->facts, [this](std::string_view english) {
        const QString text = QString::fromUtf8(english.data(), static_cast<qsizetype>(english.size()));
        return (language_ ? language_->translate(text, "PicShowDlg") : text).toStdString();
    });
    const std::string* texts[] = {&lines.size, &lines.depth, &lines.type, &lines.resolution, &lines.warning};
    for (int i = 0; i < 5; ++i)
        lines_[i]->setText(QString::fromStdString(*texts[i]));
    thumbnail_->setImage(previewBox_->isChecked() ? picture->image : QImage());
}

void CPicShowDlg::previewToggled(bool on) {
    rememberedShowPreview = on;
    if (!on) {
        thumbnail_->setImage({});
        return;
    }
    if (!current_.isEmpty()) showFile(current_);
}

void CPicShowDlg::accept() {
    thumbnail_->setImage({});
    QFileDialog::accept();
}

} // namespace tandemscan
