#include "file_save_as_dlg.h"

#include "mutilang.h"

#include <QFileInfo>
#include <QLineEdit>

namespace tandemscan {

CFileSaveAsDlg::CFileSaveAsDlg(QWidget* parent, CMutiLang* language, const QString& title,
                               const std::string& formatList, const QString& initialName)
    : QFileDialog(parent), formats_(formatList) {
    setObjectName(QStringLiteral("FileSaveAsDlg"));
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    if (!title.isEmpty()) setWindowTitle(title);
    for (const auto& format : formats_.formats()) {
        const QString name = QString::fromStdString(format.name);
        QString shown = language ? language->translate(name, "FileSaveAsDlg") : name;
        // Qt reads the pattern from the last parentheses; keep it even if a translation lost it.
        if (!shown.endsWith(QLatin1Char(')')))
            shown += QStringLiteral(" (") + QString::fromStdString(format.pattern) + QLatin1Char(')');
        filters_ << shown;
    }
    setNameFilters(filters_);
    const std::string first = formats_.initialName(initialName.toStdString());
    formatIndex_ = formats_.indexForName(first);
    if (formatIndex_ - 1 < filters_.size()) selectNameFilter(filters_[formatIndex_ - 1]);
    setTypedName(QString::fromStdString(first));
    connect(this, &QFileDialog::filterSelected, this, [this](const QString& filter) {
        const auto at = filters_.indexOf(filter);
        if (at >= 0) chooseFormat(static_cast<int>(at) + 1);
    });
}

QString CFileSaveAsDlg::typedName() const {
    if (const auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) return edit->text();
    return {};
}

void CFileSaveAsDlg::setTypedName(const QString& name) {
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        edit->setText(name);
    } else {
        selectFile(name);
    }
}

void CFileSaveAsDlg::chooseFormat(int index) {
    if (index < 1 || index > static_cast<int>(formats_.formats().size())) return;
    formatIndex_ = index;
    setTypedName(QString::fromStdString(formats_.nameForFormat(typedName().toStdString(), index)));
    if (selectedNameFilter() != filters_[index - 1]) selectNameFilter(filters_[index - 1]);
}

QString CFileSaveAsDlg::chosenPath() const {
    const QStringList files = selectedFiles();
    if (files.isEmpty()) return {};
    QString path = files.first();
    // Formats are told apart by extension, so a bare name would not be written at all.
    if (QFileInfo(path).suffix().isEmpty() && formatIndex_ >= 1 &&
        formatIndex_ <= static_cast<int>(formats_.formats().size())) {
        if (path.endsWith(QLatin1Char('.'))) path.chop(1);
        path +=
            QString::fromStdString(formats_.formats()[static_cast<std::size_t>(formatIndex_ - 1)].extension);
    }
    return path;
}

} // namespace tandemscan
