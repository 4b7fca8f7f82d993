// The explanation shown before the move tool is used: which keys move the part, and a choice
// not to show it again.
#pragma once

#include <QDialog>

class CMutiLang;
class QCheckBox;

namespace tandemscan {

class ExplainDlg : public QDialog {
    Q_OBJECT
public:
    ExplainDlg(QWidget* parent, CMutiLang* language);
    QCheckBox* dontShowAgain() const { return dontShow_; }
    // The move-explain flag after OK: 1 to show the explanation next time, 0 not to.
    int explainFlag() const;

    // Shows the dialog centred over parent and returns the new flag.
    static int run(QWidget* parent, CMutiLang* language);

private:
    QCheckBox* dontShow_ = nullptr;
};

}  // namespace tandemscan
