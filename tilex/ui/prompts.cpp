#include "prompts.h"

#include "dialogs.h"
#include "translate_window.h"

#include <QFileDialog>
#include <QMessageBox>
#include <memory>

namespace tilex {

std::unique_ptr<QMessageBox> messageBox(QWidget* parent, const QString& text, const QString& caption,
                                        MessageIcon icon) {
    auto box = std::make_unique<QMessageBox>(icon == MessageIcon::Stop ? QMessageBox::Critical
                                                                       : QMessageBox::Information,
                                             caption, QString(), QMessageBox::Ok, parent);
    // Texts come from the message file: markup in them is shown as written, never rendered, and
    // the blank line between the two lines of a message stays.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    return box;
}

void DialogPrompts::message(QWidget* parent, const QString& text, const QString& caption, MessageIcon icon) {
    messageBox(parent, text, caption, icon)->exec();
}

namespace {

QFileDialog* fileDialog(QWidget* parent, const FileQuestion& question, QFileDialog::AcceptMode mode) {
    auto* dialog = new QFileDialog(parent, question.title, question.folder, question.filter);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!question.defaultSuffix.isEmpty()) dialog->setDefaultSuffix(question.defaultSuffix);
    if (!question.defaultName.isEmpty()) dialog->selectFile(question.defaultName);
    return dialog;
}

QString ask(QWidget* parent, const FileQuestion& question, QFileDialog::AcceptMode mode) {
    std::unique_ptr<QFileDialog> dialog(fileDialog(parent, question, mode));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return {};
    return dialog->selectedFiles().constFirst();
}

} // namespace

QString DialogPrompts::openFile(QWidget* parent, const FileQuestion& question) {
    return ask(parent, question, QFileDialog::AcceptOpen);
}

QString DialogPrompts::saveFile(QWidget* parent, const FileQuestion& question) {
    return ask(parent, question, QFileDialog::AcceptSave);
}

std::optional<std::pair<int, int>> DialogPrompts::selectLevel(QWidget* parent, int rows, int cols) {
    LevelDialog dialog(rows, cols, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return std::make_pair(dialog.rows(), dialog.cols());
}

QString DialogPrompts::askName(QWidget* parent, const QString& defaultName) {
    NameDialog dialog(defaultName, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.name() : QString();
}

void DialogPrompts::showRecords(QWidget* parent, const std::string& recordsPath, int rows, int cols,
                                const RecordTable& table, const QString& note) {
    RecordDialog dialog(recordsPath, rows, cols, table, parent);
    dialog.setNote(note);
    dialog.exec();
}

int DialogPrompts::chooseScanner(QWidget* parent, const QStringList& names) {
    ScannerDialog dialog(names, parent);
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : -1;
}

void DialogPrompts::about(QWidget* parent) {
    const auto box = messageBox(parent, tx("Tilex Version 1.0", "Main"), tx("About Tilex", "Main"),
                                MessageIcon::Information);
    box->setIconPixmap(parent ? parent->windowIcon().pixmap(48) : QPixmap());
    box->exec();
}

} // namespace tilex
