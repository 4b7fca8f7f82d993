#include "program_paths.h"
#include "temp_dir.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <map>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tandemscan {
namespace {

using testing::TempDir;
using testing::writeFile;
namespace fs = std::filesystem;

ProgramPaths::Environment environment(std::map<std::string, std::string> values) {
    return [values](const char* name) {
        const auto found = values.find(name);
        return found == values.end() ? std::string() : found->second;
    };
}

TEST(ProgramPaths, WritesBesideProgramWhenPossible) {
    TempDir dir;
    ProgramPaths paths(dir.path, environment({{"XDG_CONFIG_HOME", (dir.path / "config").string()}}));
    EXPECT_EQ(paths.writableDir(), dir.path);
    EXPECT_EQ(paths.settingsFile("tsConfig.cfg"), dir.path / "tsConfig.cfg");
    EXPECT_EQ(paths.dataFile("InfoTS.ini"), dir.path / "InfoTS.ini");
    EXPECT_FALSE(fs::exists(dir.path / "config"));
}

TEST(ProgramPaths, FallsBackToConfigFolder) {
    TempDir dir;
    struct Case {
        std::map<std::string, std::string> env;
        fs::path expected;
    };
    const Case cases[] = {
        {{{"XDG_CONFIG_HOME", (dir.path / "xdg").string()}, {"HOME", (dir.path / "home").string()}},
         dir.path / "xdg" / "tandemscan"},
        {{{"XDG_CONFIG_HOME", "relative/dir"}, {"HOME", (dir.path / "home").string()}},
         dir.path / "home" / ".config" / "tandemscan"},
        {{{"HOME", (dir.path / "home").string()}}, dir.path / "home" / ".config" / "tandemscan"},
    };
    for (const auto& c : cases) {
        ProgramPaths paths(dir.path / "no-such-program-folder", environment(c.env));
        EXPECT_EQ(paths.writableDir(), c.expected);
        EXPECT_TRUE(fs::is_directory(c.expected));
        EXPECT_EQ(paths.settingsFile("tsConfig.cfg"), c.expected / "tsConfig.cfg");
    }
    // A file the user put in the configuration folder wins over the shipped one.
    ProgramPaths paths(dir.path / "no-such-program-folder",
                       environment({{"XDG_CONFIG_HOME", (dir.path / "xdg").string()}}));
    EXPECT_EQ(paths.dataFile("ZidureTS.msg"), dir.path / "no-such-program-folder" / "ZidureTS.msg");
    writeFile(dir.path / "xdg" / "tandemscan" / "ZidureTS.msg", "[Strings]\n");
    EXPECT_EQ(paths.dataFile("ZidureTS.msg"), dir.path / "xdg" / "tandemscan" / "ZidureTS.msg");
}

TEST(ProgramPaths, WorkingFolderIsPrivate) {
    TempDir dir;
    ProgramPaths paths(dir.path, environment({{"TMPDIR", dir.path.string()}}));
    const auto working = paths.workingDir();
    EXPECT_EQ(working.parent_path(), dir.path);
    EXPECT_EQ(paths.workingDir(), working);
    struct stat info {};
    ASSERT_EQ(::stat(working.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A folder of that name left open to others is closed again.
    ::chmod(working.c_str(), 0777);
    ProgramPaths again(dir.path, environment({{"TMPDIR", dir.path.string()}}));
    EXPECT_EQ(again.workingDir(), working);
    ASSERT_EQ(::stat(working.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // A plain file in the way: another private folder is made.
    TempDir other;
    ProgramPaths blocked(other.path, environment({{"TMPDIR", other.path.string()}}));
    writeFile(other.path / working.filename(), "not a folder");
    const auto fallback = blocked.workingDir();
    EXPECT_NE(fallback, other.path / working.filename());
    EXPECT_TRUE(fs::is_directory(fallback));
}

// Another running copy is stood in for by a lock the test takes, as that copy would.
int lockFolder(const fs::path& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    return fd;
}

fs::path madeFolder(const fs::path& dir, bool old) {
    fs::create_directory(dir);
    ::chmod(dir.c_str(), 0700);
    writeFile(dir / "ImgdataL.DAT", "x");
    if (old) fs::last_write_time(dir, fs::file_time_type::clock::now() - std::chrono::hours(2));
    return dir;
}

TEST(ProgramPaths, EachRunningCopyHasItsOwnFolderAndDeadOnesAreCleared) {
    TempDir dir;
    const passwd* account = ::getpwuid(::getuid());
    const std::string prefix =
        std::string("tandemscan-") + (account ? account->pw_name : std::to_string(::getuid()));
    const fs::path shared = madeFolder(dir.path / prefix, false);
    const int firstCopy = lockFolder(shared);
    const fs::path dead = madeFolder(dir.path / (prefix + "-dead01"), true);
    const fs::path running = madeFolder(dir.path / (prefix + "-live01"), true);
    const int runningCopy = lockFolder(running);

    // While the first copy runs, a second one works elsewhere and leaves its files alone.
    ProgramPaths second(dir.path, environment({{"TMPDIR", dir.path.string()}}));
    const fs::path own = second.workingDir();
    EXPECT_NE(own, shared);
    EXPECT_EQ(own.parent_path(), dir.path);
    struct stat info {};
    ASSERT_EQ(::stat(own.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(fs::exists(shared / "ImgdataL.DAT"));

    // Once the first copy has gone, the next one takes the usual folder and clears the folders
    // of copies that died, but not those of copies still running.
    ::close(firstCopy);
    ProgramPaths third(dir.path, environment({{"TMPDIR", dir.path.string()}}));
    EXPECT_EQ(third.workingDir(), shared);
    EXPECT_FALSE(fs::exists(dead));
    EXPECT_TRUE(fs::exists(running / "ImgdataL.DAT"));
    EXPECT_TRUE(fs::exists(own));
    ::close(runningCopy);
}

TEST(ProgramPaths, DeletesOnlyThePartFiles) {
    TempDir dir;
    for (const char* name : {"ScanImgL.bmp", "ImgdataR.DAT", "Keep.bmp"})
        writeFile(dir.path / name, "x");
    EXPECT_EQ(deleteWorkingFiles(dir.path), 2);
    EXPECT_FALSE(fs::exists(dir.path / "ScanImgL.bmp"));
    EXPECT_FALSE(fs::exists(dir.path / "ImgdataR.DAT"));
    EXPECT_TRUE(fs::exists(dir.path / "Keep.bmp"));
    EXPECT_EQ(deleteWorkingFiles(dir.path), 0);
}

TEST(ProgramPaths, StartUpRemovesExportsOfEarlierRuns) {
    TempDir dir;
    const auto now = fs::file_time_type::clock::now();
    const struct {
        const char* name;
        bool old;
        bool removed;
    } cases[] = {
        {"1_MergeImg.bmp", true, true},       {"12_MergeImg.bmp", true, true},
        {"3_MergeImg.bmp", false, false}, // just written, perhaps by a second window
        {"_MergeImg.bmp", true, false},       {"x1_MergeImg.bmp", true, false},
        {"1_MergeImg.bmp.part", true, false}, {"ImgdataL.DAT", true, false},
    };
    for (const auto& c : cases) {
        writeFile(dir.path / c.name, "x");
        if (c.old) fs::last_write_time(dir.path / c.name, now - std::chrono::minutes(5));
    }
    EXPECT_EQ(deleteEarlierExports(dir.path, now - std::chrono::minutes(1)), 2);
    for (const auto& c : cases)
        EXPECT_EQ(fs::exists(dir.path / c.name), !c.removed) << c.name;
    EXPECT_EQ(deleteEarlierExports(dir.path / "missing", now), 0);
}

} // namespace
} // namespace tandemscan
