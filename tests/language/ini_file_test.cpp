#include "ini_file.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() /
               ("ts-ini-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path, ignored);
    }
};

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

TEST(IniFile, ReadsValuesLikeHandEditedFiles) {
    tandemscan::IniFile ini;
    ini.loadText("; settings\r\n"
                 "[Main Window]\r\n"
                 "  Left = 12 \r\n"
                 "Name=\"  spaced  \"\r\n"
                 "Single='x'\r\n"
                 "Empty=\r\n"
                 "Left=99\r\n"
                 "Minus=-35\r\n"
                 "Plus=+7\r\n"
                 "Word=abc\r\n"
                 "Tail=42 dpi\r\n"
                 "Huge=99999999999999999999999\r\n"
                 ";Hidden=1\r\n"
                 "Mac=1\rNext=2\r\r\n"
                 "[other]\r\n"
                 "Left=5\r\n"
                 "[main window]\n"
                 "Late=1\n");
    struct Case {
        const char* section;
        const char* key;
        long long number;
        const char* text;
    };
    const Case cases[] = {
        {"main window", "left", 12, "12"}, // case and blanks do not matter; first entry wins
        {"MAIN WINDOW ", " Left", 12, "12"},
        {"Main Window", "Name", -1, "  spaced  "},
        {"Main Window", "Single", -1, "x"},
        {"Main Window", "Empty", -1, ""},
        {"Main Window", "Minus", -35, "-35"},
        {"Main Window", "Plus", 7, "+7"},
        {"Main Window", "Word", -1, "abc"},
        {"Main Window", "Tail", 42, "42 dpi"},
        {"Main Window", "Huge", -1, "99999999999999999999999"},
        {"Main Window", "Hidden", -1, "<none>"},
        {"Main Window", "Missing", -1, "<none>"},
        {"Main Window", "Mac", 1, "1\rNext=2"}, // a lone CR does not end a line
        {"Main Window", "Next", -1, "<none>"},
        {"Main Window", "Late", -1, "<none>"}, // only the first of a repeated section counts
        {"other", "Left", 5, "5"},
        {"nowhere", "Left", -1, "<none>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.readInt(c.section, c.key, -1), c.number);
        EXPECT_EQ(ini.readString(c.section, c.key, "<none>"), c.text);
        // A section read at once answers the same.
        EXPECT_EQ(ini.section(c.section).readInt(c.key, -1), c.number);
        EXPECT_EQ(ini.section(c.section).readString(c.key, "<none>"), c.text);
    }
}

TEST(IniFile, WritesNewFileInCallOrder) {
    tandemscan::IniFile ini;
    ASSERT_TRUE(ini.writeInt("first run", "Flag", 0));
    ASSERT_TRUE(ini.writeInt("data source", "DataSource", 1));
    ASSERT_TRUE(ini.writeInt("first run", "Other", -3));
    ASSERT_TRUE(ini.writeString("scanner driver", "DriverName", "Lumiview 1200"));
    EXPECT_EQ(ini.text(), "[first run]\nFlag=0\nOther=-3\n[data source]\nDataSource=1\n"
                          "[scanner driver]\nDriverName=Lumiview 1200\n");
}

TEST(IniFile, ChangesKeepForeignLines) {
    tandemscan::IniFile ini;
    ini.loadText("# kept\n[a]\nx=1\n; note\ny=2\n\n[b]\nz=3\n");
    ini.writeInt("A", "X", 10); // replaced in place, spelled as written now
    ini.writeInt("a", "w", 4);  // added after the last non-blank line of [a]
    ini.writeInt("c", "v", 5);
    EXPECT_TRUE(ini.removeKey("b", "Z"));
    EXPECT_FALSE(ini.removeKey("b", "z"));
    EXPECT_EQ(ini.text(), "# kept\n[a]\nX=10\n; note\ny=2\nw=4\n\n[b]\n[c]\nv=5\n");
    EXPECT_EQ(ini.sections(), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(ini.keys("a"), (std::vector<std::string>{"X", "y", "w"}));
}

TEST(IniFile, RefusesWhatCannotBeOneLine) {
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"", "k", "v"},    {"s", "", "v"},   {"s", "k", "two\nlines"}, {"s", "a=b", "v"}, {"s]", "k", "v"},
        {"s", "k\r", "v"}, {"s", "[k", "v"}, {"s", ";k", "v"},         {"s\n", "k", "v"},
    };
    for (const auto& c : cases) {
        tandemscan::IniFile ini;
        EXPECT_FALSE(ini.writeString(c.section, c.key, c.value)) << c.section << "/" << c.key;
        EXPECT_EQ(ini.text(), "");
    }
}

// Many keys written at once give the lines that one writeString each, in turn, gives.
TEST(IniFile, WritingAListEqualsWritingItsKeysInTurn) {
    using Entries = std::vector<std::pair<std::string, std::string>>;
    struct Case {
        const char* text;
        const char* section;
        Entries entries;
    };
    const Case cases[] = {
        {"", "s", {{"a", "1"}, {"b", "2"}}},
        {"[x]\nk=0\n", "s", {}},
        {"[x]\nk=0\n", "s", {{"bad=key", "v"}}},
        {"# kept\n[S]\nb=old\n; a=comment\n\n[t]\nb=other\n",
         " s ",
         {{"A", "1"}, {"B", "2"}, {"c", "3"}, {"a", "4"}, {"C", "5"}}},
        {"[s]\nk=1\nk=2\n[s]\nz=9\n", "S", {{"K", "x"}, {"z", "y"}, {"two", "a\nb"}, {" w ", " v "}}},
        {"[s]\n\n\n", "s", {{"a", ""}, {"b", "2"}}},
        {"[s]", "s]", {{"a", "1"}}},
    };
    for (const Case& c : cases) {
        tandemscan::IniFile oneByOne, atOnce;
        oneByOne.loadText(c.text);
        atOnce.loadText(c.text);
        bool all = true;
        for (const auto& [key, value] : c.entries)
            all = oneByOne.writeString(c.section, key, value) && all;
        EXPECT_EQ(atOnce.writeStrings(c.section, c.entries), all) << c.text;
        EXPECT_EQ(atOnce.text(), oneByOne.text()) << c.text;
    }
}

TEST(IniFile, RoundTripsThroughDisk) {
    TempDir dir;
    tandemscan::IniFile ini(dir.path / "t.cfg");
    EXPECT_FALSE(ini.load());
    ini.writeString("s", "name", "Zürich ü");
    ini.writeInt("s", "n", 2147483647);
    ASSERT_TRUE(ini.save());
    tandemscan::IniFile again(dir.path / "t.cfg");
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.readString("s", "name"), "Zürich ü");
    EXPECT_EQ(again.readInt("s", "n"), 2147483647);
    EXPECT_EQ(readAll(dir.path / "t.cfg"), "[s]\nname=Zürich ü\nn=2147483647\n");
    EXPECT_FALSE(fs::exists(dir.path / "t.cfg.new"));
}

TEST(IniFile, SaveMakesReadOnlyFileWritable) {
    TempDir dir;
    const auto file = dir.path / "ro.cfg";
    std::ofstream(file) << "[s]\nk=1\n";
    fs::permissions(file, fs::perms::owner_read, fs::perm_options::replace);
    tandemscan::IniFile ini(file);
    ASSERT_TRUE(ini.load());
    ini.writeInt("s", "k", 2);
    ASSERT_TRUE(ini.save());
    EXPECT_EQ(readAll(file), "[s]\nk=2\n");
    EXPECT_NE(fs::status(file).permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(IniFile, SaveFailsWhereNothingCanBeWritten) {
    TempDir dir;
    tandemscan::IniFile ini(dir.path / "missing-folder" / "x.cfg");
    ini.writeInt("s", "k", 1);
    EXPECT_FALSE(ini.save());
}

} // namespace
