#include "folder_memory.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace tilex {

namespace {

const char* settingsKey(FileKind kind) {
    switch (kind) {
    case FileKind::Picture:
        return "Folders/Pictures";
    case FileKind::SavedGame:
        return "Folders/SavedGames";
    case FileKind::Music:
        break;
    }
    return "Folders/Music";
}

bool isFolder(const QString& path) {
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace

QString playerSettingsPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("tilex/Tilex.conf"));
}

FolderMemory::FolderMemory(QString settingsPath) : settingsPath_(std::move(settingsPath)) {
    if (settingsPath_.isEmpty()) return;
    const QSettings settings(settingsPath_, QSettings::IniFormat);
    for (FileKind kind : {FileKind::Picture, FileKind::SavedGame, FileKind::Music})
        folders_[static_cast<int>(kind)] = settings.value(QString::fromLatin1(settingsKey(kind))).toString();
}

QString FolderMemory::startFolder(FileKind kind) const {
    const QString& remembered = folders_[static_cast<int>(kind)];
    if (isFolder(remembered)) return remembered;
    if (kind == FileKind::Picture) {
        const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
        if (isFolder(pictures)) return pictures;
    }
    return QDir::homePath();
}

void FolderMemory::remember(FileKind kind, const QString& chosenFile) {
    if (chosenFile.isEmpty()) return;
    const QString folder = QFileInfo(chosenFile).absolutePath();
    folders_[static_cast<int>(kind)] = folder;
    if (settingsPath_.isEmpty()) return;
    QSettings settings(settingsPath_, QSettings::IniFormat);
    settings.setValue(QString::fromLatin1(settingsKey(kind)), folder);
}

} // namespace tilex
