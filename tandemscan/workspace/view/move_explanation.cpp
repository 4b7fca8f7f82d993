#include "workspace/view/move_explanation.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace tandemscan {

MoveExplanationDialog::MoveExplanationDialog(const std::function<QString(const QString&)>& translate,
                                             QWidget* parent)
    : QDialog(parent) {
    const auto tr = [&translate](const char* text) {
        const QString s = QString::fromLatin1(text);
        return translate ? translate(s) : s;
    };
    setObjectName(QStringLiteral("moveExplanation"));
    setWindowTitle(tr("Explanation for current operation"));
    auto* group = new QGroupBox(tr("Operation to move image"), this);
    auto* lines = new QVBoxLayout(group);
    for (const char* text : {"Press Shift : Move image up and down", "Press Ctrl : Move image left and right",
                             "Four Arrows : Move image with one pixel"})
        lines->addWidget(new QLabel(tr(text), group));
    dontShow_ = new QCheckBox(tr("Don't show again"), this);
    dontShow_->setObjectName(QStringLiteral("dontShowAgain"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(dontShow_);
    layout->addWidget(buttons);
}

bool MoveExplanationDialog::showAgain() const {
    return !dontShow_->isChecked();
}

} // namespace tandemscan
