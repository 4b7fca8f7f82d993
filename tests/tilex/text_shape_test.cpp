// Translation lookup, shapes from bitmaps and the picture record.
#include "message_file.h"
#include "picture.h"
#include "shape_runs.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace tilex;

namespace {
const char* const overtime = "You have overtimed!\n\nPlease, restart it.";
}

TEST(Translation, LinesAreLookedUpOneByOne) {
    const MessageFile none = MessageFile::load("/nonexistent/Tilex.msg");
    EXPECT_TRUE(none.empty());
    const MessageFile file = MessageFile::parse("; comment\r\n"
                                                "[Main]\r\n"
                                                "Please, restart it.=Bitte neu beginnen.\r\n"
                                                "Overtime=\r\n"
                                                "Tilex = Schiebepuzzle \r\n"
                                                "[tip]\n"
                                                "NEW GAME=Neues Spiel\n"
                                                "[RecordDlg]\n"
                                                " level=\" Stufe\"\n"
                                                "Top-5 in the =Die besten 5 der \n");
    struct Case {
        const char* text;
        const char* section;
        const char* expected;
    };
    const Case cases[] = {
        {overtime, "Main", "You have overtimed!\n\nBitte neu beginnen."}, // only the line with an entry
        {overtime, "Tip", overtime},                                      // another section
        {"Overtime", "Main", "Overtime"},                                 // an empty value leaves English
        {"Tilex", "Main", "Schiebepuzzle"},                               // blanks around key and value
        {"New Game", "TIP", "Neues Spiel"},                               // sections and keys ignore case
        {" level", "RecordDlg", " Stufe"},                                // quotes keep blanks
        {"\n", "Main", "\n"},                                             // empty lines stay
        {"", "Main", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(file.translate(c.text, c.section), c.expected) << c.text;
        EXPECT_EQ(none.translate(c.text, c.section), c.text);
    }
}

TEST(Translation, ValuesAndResultsKeepToTheLimit) {
    const std::string longValue(300, 'v');
    const MessageFile file = MessageFile::parse("[Main]\nA=" + longValue + "\nB=\xC3\xA9\xC3\xA9\n");
    EXPECT_EQ(file.lookup("Main", "A")->size(), 255u);
    // Two translated lines of 255 bytes each come out at 255 in all.
    EXPECT_EQ(file.translate("A\nA", "Main").size(), 255u);
    // An English text passes as written, however long.
    const std::string english(400, 'e');
    EXPECT_EQ(file.translate(english, "Main"), english);
    EXPECT_EQ(cutUtf8("\xC3\xA9\xC3\xA9", 3), "\xC3\xA9");
}

TEST(Translation, ProgramFileIsUsedOnceSet) {
    setMessageFilePath(TS_SOURCE_DIR "/resources/tilex/lang/de/Tilex.msg");
    EXPECT_EQ(translateText("Congratulation!\n\nYou success!", "RecordDlg"), "Gratulation!\n\nGeschafft!");
    EXPECT_EQ(translateText("Select Level", "Tip"), "Stufe wählen");
    setMessageFilePath("/nonexistent/Tilex.msg");
    EXPECT_EQ(translateText("Select Level", "Tip"), "Select Level");
}

namespace {

// Draws a bitmap from rows of characters: '.' transparent black, '#' solid.
std::vector<uint32_t> bitmap(const std::vector<std::string>& rows) {
    std::vector<uint32_t> pixels;
    for (const std::string& row : rows)
        for (char c : row)
            pixels.push_back(c == '#' ? 0xFF336699u : 0xFF000000u);
    return pixels;
}

std::vector<PixelRect> runs(const std::vector<std::string>& rows) {
    std::vector<PixelRect> all;
    const auto pixels = bitmap(rows);
    const int width = static_cast<int>(rows[0].size());
    collectShapeRuns(
        pixels, width, static_cast<int>(rows.size()), static_cast<size_t>(width), Rgb{}, Rgb{},
        [&](std::span<const PixelRect> batch) { all.insert(all.end(), batch.begin(), batch.end()); });
    return all;
}

} // namespace

TEST(ShapeRuns, OneRectanglePerRunOfEachRow) {
    using Rects = std::vector<PixelRect>;
    EXPECT_EQ(runs({"####", "####"}), (Rects{{0, 0, 4, 1}, {0, 1, 4, 2}}));
    EXPECT_EQ(runs({"###", "#.#", "###"}), (Rects{{0, 0, 3, 1}, {0, 1, 1, 2}, {2, 1, 3, 2}, {0, 2, 3, 3}}));
    EXPECT_EQ(runs({"##", "..", ".#"}), (Rects{{0, 0, 2, 1}, {1, 2, 2, 3}}));
    EXPECT_TRUE(runs({"...", "..."}).empty());
}

TEST(ShapeRuns, RangeCoversEachChannel) {
    const Rgb low{240, 0, 0};
    const Rgb high{255, 10, 10};
    EXPECT_TRUE(isTransparent({255, 0, 0}, low, high));
    EXPECT_TRUE(isTransparent({240, 10, 10}, low, high));
    EXPECT_FALSE(isTransparent({239, 0, 0}, low, high));
    EXPECT_FALSE(isTransparent({255, 11, 0}, low, high));
    EXPECT_FALSE(isTransparent({255, 0, 11}, low, high));
}

TEST(ShapeRuns, FlushesEveryTwoThousandRectangles) {
    // 4500 single-pixel runs on one row: batches of 2000, 2000 and the last 500.
    std::vector<uint32_t> pixels(9000);
    for (size_t x = 0; x < pixels.size(); ++x)
        pixels[x] = x % 2 == 0 ? 0xFFFFFFFFu : 0xFFFF0000u;
    std::vector<size_t> batches;
    PixelRect last;
    collectShapeRuns(pixels, 9000, 1, 9000, Rgb{255, 0, 0}, Rgb{255, 0, 0},
                     [&](std::span<const PixelRect> batch) {
                         batches.push_back(batch.size());
                         last = batch.back();
                     });
    EXPECT_EQ(batches, (std::vector<size_t>{2000, 2000, 500}));
    EXPECT_EQ(last, (PixelRect{8998, 0, 8999, 1}));
}

TEST(PictureRecord, StridesAndUsability) {
    const struct {
        int width, bits;
        size_t stride;
    } cases[] = {{1, 1, 4},  {33, 1, 8}, {1, 4, 4},   {9, 4, 8},  {5, 8, 8},
                 {3, 16, 8}, {1, 24, 4}, {3, 24, 12}, {2, 32, 8}, {5, 12, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(Picture::rowStride(c.width, c.bits), c.stride) << c.width << "@" << c.bits;

    Picture picture;
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            picture.header[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(0, 40);
    put32(4, 3);
    put32(8, 2);
    picture.header[12] = 1;
    picture.header[14] = 24;
    picture.pixels.assign(23, 0);
    EXPECT_FALSE(picture.usable()); // one byte short of two 12-byte rows
    picture.pixels.assign(24, 0);
    EXPECT_TRUE(picture.usable());
    put32(16, 1); // run-length compressed
    EXPECT_FALSE(picture.usable());
    put32(16, 0);
    put32(8, 0xFFFFFFFEu); // top-down rows are not what the game draws
    EXPECT_FALSE(picture.usable());
    put32(8, 2);
    picture.header[14] = 8;
    EXPECT_EQ(picture.paletteSize(), 256);
    put32(32, 16);
    EXPECT_EQ(picture.paletteSize(), 16);
}

TEST(Translation, GermanCoversEveryLineOfTheEnglishFile) {
    // The English file lists every line the program shows, section by section, without values.
    std::ifstream english(TS_SOURCE_DIR "/resources/tilex/Tilex.msg");
    const MessageFile german = MessageFile::load(TS_SOURCE_DIR "/resources/tilex/lang/de/Tilex.msg");
    std::string line;
    std::string section;
    int keys = 0;
    while (std::getline(english, line)) {
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const std::string key = line.substr(0, line.find('='));
        ++keys;
        const auto value = german.lookup(section, key);
        EXPECT_TRUE(value && !value->empty()) << "[" << section << "] " << key;
    }
    EXPECT_GT(keys, 90);
}
