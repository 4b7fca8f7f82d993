// Everything the game window asks of the user goes through this interface, so the window can be
// driven by tests with a recording stand-in.
#pragma once

#include "records.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <utility>

class QMessageBox;
class QWidget;

namespace tilex {

enum class MessageIcon { Information, Stop };

struct FileQuestion {
    QString title;  // empty: the dialog's own
    QString filter; // Qt form: "Save Files (*.sav)"
    QString folder;
    QString defaultName;
    QString defaultSuffix;
};

class GamePrompts {
  public:
    virtual ~GamePrompts() = default;
    virtual void message(QWidget* parent, const QString& text, const QString& caption, MessageIcon icon) = 0;
    // Empty when cancelled.
    virtual QString openFile(QWidget* parent, const FileQuestion& question) = 0;
    virtual QString saveFile(QWidget* parent, const FileQuestion& question) = 0;
    // The chosen rows and cols; nullopt when cancelled.
    virtual std::optional<std::pair<int, int>> selectLevel(QWidget* parent, int rows, int cols) = 0;
    // The typed name; empty when cancelled or left empty.
    virtual QString askName(QWidget* parent, const QString& defaultName) = 0;
    // note: a line about the player's game just finished (time and moves), or empty.
    virtual void showRecords(QWidget* parent, const std::string& recordsPath, int rows, int cols,
                             const RecordTable& table, const QString& note) = 0;
    // Index of the chosen source; -1 when cancelled.
    virtual int chooseScanner(QWidget* parent, const QStringList& names) = 0;
    virtual void about(QWidget* parent) = 0;
};

// The message box the real dialogs show: plain text, an OK button.
std::unique_ptr<QMessageBox> messageBox(QWidget* parent, const QString& text, const QString& caption,
                                        MessageIcon icon);

// The real dialogs.
class DialogPrompts : public GamePrompts {
  public:
    void message(QWidget* parent, const QString& text, const QString& caption, MessageIcon icon) override;
    QString openFile(QWidget* parent, const FileQuestion& question) override;
    QString saveFile(QWidget* parent, const FileQuestion& question) override;
    std::optional<std::pair<int, int>> selectLevel(QWidget* parent, int rows, int cols) override;
    QString askName(QWidget* parent, const QString& defaultName) override;
    void showRecords(QWidget* parent, const std::string& recordsPath, int rows, int cols,
                     const RecordTable& table, const QString& note) override;
    int chooseScanner(QWidget* parent, const QStringList& names) override;
    void about(QWidget* parent) override;
};

} // namespace tilex
