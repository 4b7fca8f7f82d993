// The save dialog of the joined image and of a single part: its format list comes from a
// "|"-separated list of names, and the typed file name's extension follows the chosen format.
#pragma once

#include "save_formats.h"

#include <QFileDialog>
#include <string>

class CMutiLang;

namespace tandemscan {

class CFileSaveAsDlg : public QFileDialog {
    Q_OBJECT
  public:
    // initialName may be empty: the dialog then starts with "*" and the first extension.
    CFileSaveAsDlg(QWidget* parent, CMutiLang* language, const QString& title, const std::string& formatList,
                   const QString& initialName = {});

    // 1-based position of the chosen format.
    int formatIndex() const { return formatIndex_; }
    const SaveFormats& formats() const { return formats_; }
    // The name in the file name field.
    QString typedName() const;
    void setTypedName(const QString& name);
    // The chosen file; the chosen format's extension is added to a name that has none.
    QString chosenPath() const;

    // The user picked format index (1-based) in the type list.
    void chooseFormat(int index);

  private:
    SaveFormats formats_;
    QStringList filters_;
    int formatIndex_ = 1;
};

} // namespace tandemscan
