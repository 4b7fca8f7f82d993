#include "explain_dlg.h"

#include "mutilang.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tandemscan {

ExplainDlg::ExplainDlg(QWidget* parent, CMutiLang* language) : QDialog(parent) {
    setObjectName(QStringLiteral("ExplainDlg"));
    setWindowTitle(QStringLiteral("Explanation for current operation"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Operation to move image"), this);
    auto* lines = new QVBoxLayout(group);
    for (const char* text : {"Press Shift : Move image up and down", "Press Ctrl : Move image left and right",
                             "Four Arrows : Move image with one pixel"}) {
        lines->addWidget(new QLabel(QString::fromLatin1(text), group));
    }
    layout->addWidget(group);
    dontShow_ = new QCheckBox(QStringLiteral("Don't show again"), this);
    dontShow_->setObjectName(QStringLiteral("dontShowAgain"));
    layout->addWidget(dontShow_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    if (language) language->InitMultiLangDlg(this);
}

int ExplainDlg::explainFlag() const { return dontShow_->isChecked() ? 0 : 1; }

int ExplainDlg::run(QWidget* parent, CMutiLang* language) {
    ExplainDlg dialog(parent, language);
    dialog.adjustSize();
    if (parent) {
        const QRect over = parent->frameGeometry();
        dialog.move(over.center() - QPoint(dialog.width() / 2, dialog.height() / 2));
    }
    dialog.exec();
    return dialog.explainFlag();
}

}  // namespace tandemscan
