#include "dialog_context.h"

#include "mutilang.h"

namespace tandemscan {

QString DialogContext::tr(const QString& english) const {
    return language ? language->translate(english) : english;
}

void DialogContext::translate(QWidget* dialog) const {
    if (language) language->InitMultiLangDlg(dialog);
}

void DialogContext::message(QWidget* parent, const QString& englishText, const QString& englishCaption,
                            QMessageBox::Icon icon) const {
    messageTranslated(parent, tr(englishText), englishCaption, icon);
}

void DialogContext::messageTranslated(QWidget* parent, const QString& text, const QString& englishCaption,
                                      QMessageBox::Icon icon) const {
    const QString caption = tr(englishCaption);
    if (showMessage) {
        showMessage(parent, text, caption, icon);
        return;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace tandemscan
