#include "user_prompts.h"

#include <QDialog>

namespace tandemscan {

void UserPrompts::message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                          const QString& text) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

QMessageBox::StandardButton UserPrompts::askYesNoCancel(QWidget* parent, const QString& caption,
                                                        const QString& text) {
    QMessageBox box(QMessageBox::Question, caption, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int UserPrompts::runDialog(QDialog& dialog) {
    return dialog.exec();
}

} // namespace tandemscan
