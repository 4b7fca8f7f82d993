// What a side dialog needs from the program around it: the language component for its texts and
// a way to show a message box. Tests replace the message box with a recorder.
#pragma once

#include <QMessageBox>
#include <QString>
#include <functional>

class CMutiLang;
class QWidget;

namespace tandemscan {

struct DialogContext {
    using ShowMessage = std::function<void(QWidget* parent, const QString& text, const QString& caption,
                                           QMessageBox::Icon icon)>;

    CMutiLang* language = nullptr; // null: texts stay English
    ShowMessage showMessage;       // empty: a real QMessageBox

    QString tr(const QString& english) const;
    void translate(QWidget* dialog) const;
    void message(QWidget* parent, const QString& englishText, const QString& englishCaption,
                 QMessageBox::Icon icon) const;
    // For texts already filled with numbers from a translated template.
    void messageTranslated(QWidget* parent, const QString& text, const QString& englishCaption,
                           QMessageBox::Icon icon) const;
};

// The captions the side dialogs use.
inline const char* const kErrorCaption = "Error";
inline const char* const kProgramCaption = "Zunt--Tandemscan";

} // namespace tandemscan
