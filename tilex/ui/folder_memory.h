// Where the file dialogs start: the folder last used for that kind of file, kept between runs,
// else the player's pictures folder (for pictures) or home folder. Never the program folder,
// which an installed copy cannot write.
#pragma once

#include <QString>

namespace tilex {

enum class FileKind { Picture, SavedGame, Music };

class FolderMemory {
  public:
    // settingsPath: the ini file that keeps the folders; empty keeps them for this run only.
    explicit FolderMemory(QString settingsPath = {});

    QString startFolder(FileKind kind) const;
    // Takes the folder of a file the player chose.
    void remember(FileKind kind, const QString& chosenFile);

  private:
    QString settingsPath_;
    QString folders_[3];
};

// The settings file beside the player's own records: <config>/tilex/Tilex.conf.
QString playerSettingsPath();

} // namespace tilex
