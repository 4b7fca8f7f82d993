#include "command_line.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

TEST(CommandLine, AcceptsOptionsAndFiles) {
    struct Case {
        std::vector<std::string> args;
        const char* left;
        const char* right;
        const char* language;
        bool help;
        bool version;
    };
    const Case cases[] = {
        {{}, "", "", "", false, false},
        {{"--left", "a.jpg", "--right", "b.bmp"}, "a.jpg", "b.bmp", "", false, false},
        {{"--right=b.bmp", "--left=a.jpg"}, "a.jpg", "b.bmp", "", false, false},
        {{"a.jpg", "b.bmp"}, "a.jpg", "b.bmp", "", false, false},
        {{"--left", "a.jpg", "b.bmp"}, "a.jpg", "b.bmp", "", false, false},
        {{"--right", "b.bmp", "a.jpg"}, "a.jpg", "b.bmp", "", false, false},
        {{"--", "-odd.jpg"}, "-odd.jpg", "", "", false, false},
        {{"--language", "de", "-h"}, "", "", "de", true, false},
        {{"--version"}, "", "", "", false, true},
        {{"-v", "--help"}, "", "", "", true, true},
    };
    for (const auto& c : cases) {
        const auto line = parseCommandLine(c.args);
        EXPECT_EQ(line.error, "");
        EXPECT_EQ(line.left, c.left);
        EXPECT_EQ(line.right, c.right);
        EXPECT_EQ(line.language, c.language);
        EXPECT_EQ(line.help, c.help);
        EXPECT_EQ(line.version, c.version);
    }
}

TEST(CommandLine, RefusesBadArguments) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"--left"}, "--left needs a value"},
        {{"--left="}, "--left needs a value"},
        {{"--left", "a", "--left", "b"}, "--left is given twice"},
        {{"--colour"}, "unknown option --colour"},
        {{"--leftover", "x"}, "unknown option --leftover"},
        {{"a", "b", "c"}, "too many files: c"},
        {{"--left", "a", "--right", "b", "c"}, "too many files: c"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseCommandLine(c.args).error, c.error);
    EXPECT_NE(usageText("Tandemscan").find("Usage: Tandemscan [--left FILE] [--right FILE]"),
              std::string::npos);
}

} // namespace
} // namespace tandemscan
