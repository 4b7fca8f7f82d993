// "Applications": the list of image programs that the joined picture can be sent to. The list
// lives in tsApinfo.dat; on first use it is filled from eight well-known programs that are found
// through their desktop entries.
#pragma once

#include "dialog_context.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QListWidget;
class QPushButton;

namespace tandemscan {

// The default programs looked up on first use; the seventh is a simple paint program.
QStringList defaultImagePrograms();

class SendToDialog : public QDialog {
    Q_OBJECT
  public:
    // exportImage writes the joined picture to a numbered temporary file and gives its path
    // ("" when that failed); startProgram starts a program with one argument.
    using ExportImage = std::function<QString()>;
    using StartProgram = std::function<bool(const QString& program, const QString& argument)>;

    SendToDialog(const QString& dataFilePath, const DialogContext& context, ExportImage exportImage,
                 QWidget* parent = nullptr);
    void setStartProgram(StartProgram start) { startProgram_ = std::move(start); }

    const QStringList& programs() const { return programs_; }
    QListWidget* list() const { return list_; }
    QPushButton* deleteButton() const { return deleteButton_; }
    QPushButton* sendButton() const { return sendButton_; }

    // Add with a chosen path; false (with its message) for a duplicate or for this program itself.
    bool addProgram(const QString& path);
    void deleteSelected();
    // Send to the selected program; true when it was started and the dialog closed.
    bool sendToSelected();

  public slots:
    void accept() override;

  private:
    void createDataFileIfMissing();
    void fillList();
    void appendItem(const QString& path);
    void selectionChanged();
    void saveList();
    void chooseProgram();

    QString dataFilePath_;
    DialogContext context_;
    ExportImage exportImage_;
    StartProgram startProgram_;
    QStringList programs_;
    QListWidget* list_;
    QPushButton* addButton_;
    QPushButton* deleteButton_;
    QPushButton* sendButton_;
};

} // namespace tandemscan
