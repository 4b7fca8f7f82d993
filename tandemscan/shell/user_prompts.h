// Every question and message the main window puts to the user, in one place, so that tests can
// answer them without a person.
#pragma once

#include <QMessageBox>
#include <QString>

class QDialog;
class QWidget;

namespace tandemscan {

class UserPrompts {
  public:
    virtual ~UserPrompts() = default;

    // Texts arrive translated.
    virtual void message(QWidget* parent, QMessageBox::Icon icon, const QString& caption,
                         const QString& text);
    // Yes, No or Cancel.
    virtual QMessageBox::StandardButton askYesNoCancel(QWidget* parent, const QString& caption,
                                                       const QString& text);
    // A modal dialog built by the caller (file dialogs, explanation, custom values); the
    // result of its exec().
    virtual int runDialog(QDialog& dialog);
};

} // namespace tandemscan
