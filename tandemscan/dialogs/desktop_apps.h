// Finding installed image programs by executable name through their XDG desktop entries
// (applications/*.desktop below $XDG_DATA_HOME and $XDG_DATA_DIRS).
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace tandemscan {

struct DesktopApp {
    QString executablePath; // absolute path of the program
    QString icon;           // the entry's Icon key: a theme name or an absolute path
    QString desktopFile;    // the entry it came from
};

// The applications folders in the order of precedence: the user's data folder first.
QStringList xdgApplicationDirs();

// The program an entry's Exec line starts (its first word, quotes removed), "" when none.
QString execProgram(const QString& execLine);

// One pair of surrounding double quotes removed when the text begins with one.
QString stripSurroundingQuotes(const QString& text);

// The first entry whose Exec (or TryExec) program has the given file name, and whose program can
// be found; nothing when no such program is installed.
std::optional<DesktopApp> findDesktopApp(const QString& executableName);

// Whether the program (a path, or a name found on PATH) is an executable file, so that starting
// it can succeed.
bool canRunProgram(const QString& program);

// The icon of a program path: from the desktop entry that starts it, else empty.
QString iconForProgram(const QString& programPath);

} // namespace tandemscan
