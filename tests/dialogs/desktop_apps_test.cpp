#include "desktop_apps.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tandemscan;

namespace {

void writeFile(const QString& path, const QByteArray& text, bool executable = false) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
    file.close();
    if (executable) file.setPermissions(file.permissions() | QFile::ExeOwner);
}

} // namespace

TEST(DesktopApps, ExecLinesAndQuotes) {
    struct Case {
        const char* in;
        const char* program;
    } cases[] = {
        {"gimp-2.10 %U", "gimp-2.10"},
        {"\"/opt/My Viewer/viewer\" --open %f", "/opt/My Viewer/viewer"},
        {"  eog  ", "eog"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(execProgram(c.in), QString(c.program)) << c.in;
    EXPECT_EQ(stripSurroundingQuotes("\"C:/Tools/Viewer.exe\""), "C:/Tools/Viewer.exe");
    EXPECT_EQ(stripSurroundingQuotes("plain"), "plain");
    EXPECT_EQ(stripSurroundingQuotes("\"unclosed"), "unclosed");
}

TEST(DesktopApps, FindsProgramsThroughTheirEntries) {
    QTemporaryDir home, system;
    ASSERT_TRUE(home.isValid() && system.isValid());
    const QString viewer = home.filePath("bin/viewer");
    writeFile(viewer, "#!/bin/sh\n", true);
    writeFile(home.filePath("apps/applications/viewer.desktop"),
              "[Desktop Entry]\nType=Application\nName=Viewer\nExec=\"" + viewer.toUtf8() +
                  "\" %f\nIcon=viewer-icon\n[Desktop Action New]\nExec=other\n");
    // An entry whose program is gone is not offered.
    writeFile(system.filePath("applications/ghost.desktop"),
              "[Desktop Entry]\nType=Application\nExec=/nonexistent/ghost %f\n");
    qputenv("XDG_DATA_HOME", home.filePath("apps").toUtf8());
    qputenv("XDG_DATA_DIRS", system.path().toUtf8());

    const auto found = findDesktopApp("viewer");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->executablePath, viewer);
    EXPECT_EQ(found->icon, "viewer-icon");
    EXPECT_FALSE(findDesktopApp("ghost").has_value());
    EXPECT_FALSE(findDesktopApp("other").has_value());
    EXPECT_EQ(iconForProgram(viewer), "viewer-icon");
    EXPECT_TRUE(iconForProgram("/usr/bin/unknown-program").isEmpty());
    EXPECT_EQ(xdgApplicationDirs().first(), home.filePath("apps/applications"));
}
