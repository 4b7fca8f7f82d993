#include "desktop_apps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>

namespace tandemscan {

namespace {

struct DesktopEntry {
    QString exec, tryExec, icon, type;
    bool hidden = false;
};

DesktopEntry readEntry(const QString& path) {
    DesktopEntry entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return entry;
    QTextStream in(&file);
    bool inMain = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith('[')) {
            inMain = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inMain || line.startsWith('#')) continue;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Exec"))
            entry.exec = value;
        else if (key == QLatin1String("TryExec"))
            entry.tryExec = value;
        else if (key == QLatin1String("Icon"))
            entry.icon = value;
        else if (key == QLatin1String("Type"))
            entry.type = value;
        else if (key == QLatin1String("Hidden") || key == QLatin1String("NoDisplay"))
            entry.hidden = entry.hidden || (key == QLatin1String("Hidden") && value == QLatin1String("true"));
    }
    return entry;
}

QString resolveProgram(const QString& program) {
    if (program.isEmpty()) return {};
    if (QDir::isAbsolutePath(program)) {
        const QFileInfo info(program);
        return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
    }
    return QStandardPaths::findExecutable(program);
}

template <typename Visit> bool forEachEntry(Visit visit) {
    for (const QString& dir : xdgApplicationDirs()) {
        QDir folder(dir);
        if (!folder.exists()) continue;
        const QStringList files = folder.entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
        for (const QString& name : files) {
            const QString path = folder.filePath(name);
            if (visit(path, readEntry(path))) return true;
        }
    }
    return false;
}

} // namespace

QStringList xdgApplicationDirs() {
    QStringList dirs;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty()) home = QDir::homePath() + QStringLiteral("/.local/share");
    dirs << home + QStringLiteral("/applications");
    QString system = qEnvironmentVariable("XDG_DATA_DIRS");
    if (system.isEmpty()) system = QStringLiteral("/usr/local/share:/usr/share");
    for (const QString& dir : system.split(':', Qt::SkipEmptyParts))
        dirs << dir + QStringLiteral("/applications");
    dirs.removeDuplicates();
    return dirs;
}

QString stripSurroundingQuotes(const QString& text) {
    if (!text.startsWith('"')) return text;
    const qsizetype close = text.indexOf('"', 1);
    return close < 0 ? text.mid(1) : text.mid(1, close - 1);
}

QString execProgram(const QString& execLine) {
    const QString line = execLine.trimmed();
    if (line.startsWith('"')) return stripSurroundingQuotes(line);
    const qsizetype space = line.indexOf(' ');
    return space < 0 ? line : line.left(space);
}

std::optional<DesktopApp> findDesktopApp(const QString& executableName) {
    std::optional<DesktopApp> found;
    forEachEntry([&](const QString& path, const DesktopEntry& entry) {
        if (entry.hidden || (!entry.type.isEmpty() && entry.type != QLatin1String("Application")))
            return false;
        for (const QString& candidate : {execProgram(entry.exec), entry.tryExec}) {
            if (candidate.isEmpty() || QFileInfo(candidate).fileName() != executableName) continue;
            const QString program = resolveProgram(candidate);
            if (program.isEmpty()) continue;
            found = DesktopApp{program, entry.icon, path};
            return true;
        }
        return false;
    });
    return found;
}

QString iconForProgram(const QString& programPath) {
    const QString name = QFileInfo(programPath).fileName();
    QString icon;
    forEachEntry([&](const QString&, const DesktopEntry& entry) {
        const QString program = execProgram(entry.exec);
        if (program.isEmpty() || QFileInfo(program).fileName() != name || entry.icon.isEmpty()) return false;
        icon = entry.icon;
        return true;
    });
    return icon;
}

bool canRunProgram(const QString& program) {
    const QString path = stripSurroundingQuotes(program);
    if (path.isEmpty()) return false;
    const QString found = path.contains(QLatin1Char('/')) ? path : QStandardPaths::findExecutable(path);
    const QFileInfo info(found);
    return !found.isEmpty() && info.isFile() && info.isExecutable();
}

} // namespace tandemscan
