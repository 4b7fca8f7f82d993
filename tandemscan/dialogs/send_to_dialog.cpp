#include "send_to_dialog.h"

#include "desktop_apps.h"
#include "ini_file.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace tandemscan {

namespace {

constexpr const char* kFirstRun = "first run";
constexpr const char* kDefaultApp = "default app";
constexpr const char* kCurrentApp = "current app";

QIcon programIcon(const QString& path, const QWidget* widget) {
    const QString icon = iconForProgram(path);
    if (!icon.isEmpty()) {
        const QIcon found = QDir::isAbsolutePath(icon) ? QIcon(icon) : QIcon::fromTheme(icon);
        if (!found.isNull()) return found;
    }
    const QIcon generic = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    return generic.isNull() ? widget->style()->standardIcon(QStyle::SP_FileIcon) : generic;
}

} // namespace

QStringList defaultImagePrograms() {
    return {QStringLiteral("gimp"),        QStringLiteral("krita"),   QStringLiteral("inkscape"),
            QStringLiteral("eog"),         QStringLiteral("gthumb"),  QStringLiteral("shotwell"),
            QStringLiteral("kolourpaint"), QStringLiteral("gwenview")};
}

SendToDialog::SendToDialog(const QString& dataFilePath, const DialogContext& context, ExportImage exportImage,
                           QWidget* parent)
    : QDialog(parent), dataFilePath_(dataFilePath), context_(context), exportImage_(std::move(exportImage)) {
    setObjectName(QStringLiteral("SendTo"));
    setWindowTitle(QStringLiteral("Applications"));
    startProgram_ = [](const QString& program, const QString& argument) {
        return QProcess::startDetached(program, {argument});
    };

    auto* note =
        new QLabel(QStringLiteral("Please select or add programs which are used for browsing, managing "
                                  "or editing image. If not, transformation of data would fail."),
                   this);
    note->setObjectName(QStringLiteral("note"));
    note->setWordWrap(true);
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("programList"));
    list_->setViewMode(QListView::ListMode);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setIconSize(QSize(16, 16));
    list_->setToolTip(QStringLiteral("Click 'Add/Delete' button to add/delete program"));

    addButton_ = new QPushButton(QStringLiteral("Add"), this);
    addButton_->setObjectName(QStringLiteral("addButton"));
    addButton_->setToolTip(QStringLiteral("Add program"));
    deleteButton_ = new QPushButton(QStringLiteral("Delete"), this);
    deleteButton_->setObjectName(QStringLiteral("deleteButton"));
    deleteButton_->setToolTip(QStringLiteral("Delete selected program"));
    sendButton_ = new QPushButton(QStringLiteral("Send"), this);
    sendButton_->setObjectName(QStringLiteral("sendButton"));
    sendButton_->setToolTip(QStringLiteral("Send image data to the selected application"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setToolTip(QStringLiteral("Apply settings and close the dialog"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setToolTip(QStringLiteral("Close the dialog"));
    deleteButton_->setEnabled(false);
    sendButton_->setEnabled(false);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {addButton_, deleteButton_, sendButton_, ok, cancel})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* row = new QHBoxLayout;
    row->addWidget(list_, 1);
    row->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(row);

    connect(addButton_, &QPushButton::clicked, this, &SendToDialog::chooseProgram);
    connect(deleteButton_, &QPushButton::clicked, this, &SendToDialog::deleteSelected);
    connect(sendButton_, &QPushButton::clicked, this, &SendToDialog::sendToSelected);
    connect(ok, &QPushButton::clicked, this, &SendToDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &SendToDialog::reject);
    connect(list_, &QListWidget::itemSelectionChanged, this, &SendToDialog::selectionChanged);

    createDataFileIfMissing();
    fillList();
    context_.translate(this);
}

void SendToDialog::createDataFileIfMissing() {
    if (QFileInfo::exists(dataFilePath_)) return;
    IniFile ini(dataFilePath_.toStdString());
    ini.writeInt(kFirstRun, "flag", 0);
    const QStringList names = defaultImagePrograms();
    ini.writeInt(kDefaultApp, "AppCount", names.size());
    for (int i = 0; i < names.size(); ++i)
        ini.writeString(kDefaultApp, "ExeName" + std::to_string(i + 1), names[i].toStdString());
    ini.writeInt(kCurrentApp, "AppCount", 0);
    ini.save();
}

void SendToDialog::fillList() {
    IniFile ini(dataFilePath_.toStdString());
    ini.load();
    // Each section is gathered once: the file may be large and the list asks for thousands of keys.
    if (ini.readInt(kFirstRun, "flag", 0) == 0) {
        const IniSection apps = ini.section(kDefaultApp);
        const long long count = apps.readInt("AppCount", 0);
        for (long long n = 1; n <= count && n <= 64; ++n) {
            const QString name = QString::fromStdString(apps.readString("ExeName" + std::to_string(n)));
            if (name.isEmpty()) continue;
            if (const auto app = findDesktopApp(stripSurroundingQuotes(name)))
                appendItem(stripSurroundingQuotes(app->executablePath));
        }
    } else {
        const IniSection apps = ini.section(kCurrentApp);
        const long long count = apps.readInt("AppCount", 0);
        for (long long n = 1; n <= count && n <= 4096; ++n) {
            const QString path = QString::fromStdString(apps.readString("ExePathName" + std::to_string(n)));
            if (!path.isEmpty() && QFileInfo(path).isFile()) appendItem(path);
        }
    }
}

void SendToDialog::appendItem(const QString& path) {
    programs_.append(path);
    auto* item = new QListWidgetItem(programIcon(path, this), QFileInfo(path).fileName(), list_);
    item->setToolTip(path);
}

void SendToDialog::selectionChanged() {
    const bool selected = !list_->selectedItems().isEmpty();
    deleteButton_->setEnabled(selected);
    sendButton_->setEnabled(selected);
}

void SendToDialog::chooseProgram() {
    const QString path = QFileDialog::getOpenFileName(this, context_.tr(QStringLiteral("Add program")),
                                                      QStringLiteral("/usr/bin"),
                                                      context_.tr(QStringLiteral("All files (*)")));
    if (path.isEmpty()) return;
    addProgram(path);
    deleteButton_->setEnabled(false);
    sendButton_->setEnabled(false);
}

bool SendToDialog::addProgram(const QString& path) {
    for (const QString& existing : programs_) {
        if (existing.compare(path, Qt::CaseInsensitive) == 0) {
            context_.message(this, QStringLiteral("The Application has already existed!"),
                             QString::fromLatin1(kProgramCaption), QMessageBox::Warning);
            return false;
        }
    }
    const QString name = QFileInfo(path).fileName();
    if (name.compare(QStringLiteral("Tandemscan"), Qt::CaseInsensitive) == 0 ||
        name.compare(QStringLiteral("tandemscan"), Qt::CaseInsensitive) == 0) {
        context_.message(this, QStringLiteral("Please don't add Tandemscan!"),
                         QString::fromLatin1(kProgramCaption), QMessageBox::Warning);
        return false;
    }
    appendItem(path);
    list_->clearSelection();
    return true;
}

void SendToDialog::deleteSelected() {
    const int row = list_->currentRow();
    if (list_->selectedItems().isEmpty() || row < 0) {
        context_.message(this, QStringLiteral("Please select an AP"), QString(), QMessageBox::NoIcon);
        return;
    }
    programs_.removeAt(row);
    delete list_->takeItem(row);
    list_->clearSelection();
    deleteButton_->setEnabled(false);
    sendButton_->setEnabled(false);
}

bool SendToDialog::sendToSelected() {
    const int row = list_->currentRow();
    if (list_->selectedItems().isEmpty() || row < 0) {
        context_.message(this, QStringLiteral("Please select an AP"), QString(), QMessageBox::NoIcon);
        return false;
    }
    // No export for a program that cannot run: nothing would ever read or remove the file.
    const bool runnable = canRunProgram(programs_[row]);
    const QString image = runnable && exportImage_ ? exportImage_() : QString();
    if (image.isEmpty() || !startProgram_(programs_[row], image)) {
        if (!image.isEmpty()) QFile::remove(image);
        context_.message(this, QStringLiteral("The selected application cannot open the file!"),
                         QString::fromLatin1(kProgramCaption), QMessageBox::Warning);
        return false;
    }
    saveList();
    QDialog::accept();
    return true;
}

void SendToDialog::saveList() {
    IniFile ini(dataFilePath_.toStdString());
    ini.load();
    // One pass over the file for the whole list: a long one no longer freezes OK and Send.
    std::vector<std::pair<std::string, std::string>> entries{{"AppCount", std::to_string(programs_.size())}};
    for (int i = 0; i < programs_.size(); ++i)
        entries.emplace_back("ExePathName" + std::to_string(i + 1), programs_[i].toStdString());
    ini.writeStrings(kCurrentApp, entries);
    ini.writeInt(kFirstRun, "flag", 1);
    ini.save();
}

void SendToDialog::accept() {
    saveList();
    QDialog::accept();
}

} // namespace tandemscan
