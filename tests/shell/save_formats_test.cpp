#include "save_formats.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

constexpr const char* colourList =
    "BMP file (*.bmp)|TIFF File (*.tif)|PCX File (*.pcx)|TGA File (*.tga)|PNG File (*.png)";

TEST(SaveFormats, ListFollowsTheDepth) {
    const struct {
        int bits;
        bool fromEightBit;
        const char* list;
    } cases[] = {
        {1, false, "BMP file (*.bmp)|TIFF File (*.tif)|PCX File (*.pcx)"},
        {8, false, "BMP file (*.bmp)|PCX File (*.pcx)|TGA File (*.tga)|PNG File (*.png)|TIFF File (*.tif)"},
        {8, true, "BMP file (*.bmp)|PCX File (*.pcx)|TGA File (*.tga)|PNG File (*.png)|TIFF File (*.tif)"},
        {24, false, colourList},
        {24, true, "BMP file (*.bmp)|PCX File (*.pcx)|TGA File (*.tga)|PNG File (*.png)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(saveFormatList(c.bits, c.fromEightBit), c.list) << c.bits << " " << c.fromEightBit;
}

TEST(SaveFormats, SplitsNamesIntoPatternsAndExtensions) {
    const SaveFormats formats(colourList);
    ASSERT_EQ(formats.formats().size(), 5u);
    const char* extensions[] = {".bmp", ".tif", ".pcx", ".tga", ".png"};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(formats.formats()[i].extension, extensions[i]);
        EXPECT_EQ(formats.formats()[i].pattern, std::string("*") + extensions[i]);
    }
    EXPECT_EQ(formats.nameFilters()[4], "PNG File (*.png)");
    EXPECT_EQ(formats.suffixFor("TGA File (*.tga)"), "tga");
    EXPECT_EQ(formats.suffixFor("TGA File"), "");

    const SaveFormats odd("A (*.a)||Plain|C (*.c)|");
    ASSERT_EQ(odd.formats().size(), 3u);
    EXPECT_EQ(odd.formats()[1].extension, "");
    EXPECT_EQ(odd.formats()[2].extension, ".c");
    EXPECT_EQ(odd.suffixFor("Plain"), "");

    std::string many;
    for (int i = 0; i < 25; ++i)
        many += "F" + std::to_string(i) + " (*.f" + std::to_string(i) + ")|";
    EXPECT_EQ(SaveFormats(many).formats().size(), maxSaveFormats);
    EXPECT_TRUE(SaveFormats("").formats().empty());
    EXPECT_EQ(SaveFormats("").initialName(""), "*");
}

TEST(SaveFormats, StartingNameAndFormat) {
    const SaveFormats formats(colourList);
    struct Case {
        const char* given;
        const char* name;
        int index;
    };
    const Case cases[] = {
        {"", "*.bmp", 1},
        {"*.bmp", "*.bmp", 1},
        {"scan.png", "scan.png", 5},
        {"Scan.PCX", "Scan.PCX", 3},
        {"photo.jpg", "photo.jpg", 1},
        {"/tmp/x.tga", "/tmp/x.tga", 4},
    };
    for (const auto& c : cases) {
        const auto name = formats.initialName(c.given);
        EXPECT_EQ(name, c.name);
        EXPECT_EQ(formats.indexForName(name), c.index) << c.given;
    }
}

TEST(SaveFormats, ExtensionFollowsChosenFormat) {
    const SaveFormats formats(colourList);
    struct Case {
        const char* typed;
        int index;
        const char* expected;
    };
    const Case cases[] = {
        {"scan", 5, "scan.png"},
        {"scan.png", 2, "scan.tif"},
        {"", 3, "*.pcx"},
        {"a.b.c", 4, "a.b.tga"},
        {"scan.", 1, "scan.bmp"},
        {"/home/me/v1.2/scan", 5, "/home/me/v1.2/scan.png"},
        {"/home/me/v1.2/scan.bmp", 5, "/home/me/v1.2/scan.png"},
        {"scan.png", 0, "scan.png"}, // no such format: unchanged
        {"scan.png", 6, "scan.png"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formats.nameForFormat(c.typed, c.index), c.expected) << c.typed;
}

} // namespace
} // namespace tandemscan
