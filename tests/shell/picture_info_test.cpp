#include "picture_info.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

TEST(PictureInfo, LinesByDepth) {
    struct Case {
        int bits;
        bool gray;
        const char* depth;
        const char* type;
        const char* warning;
    };
    const Case cases[] = {
        {1, false, "Color depth: 1 bit", "Image Type: line-art", ""},
        {4, false, "Color depth: 4 bits", "Image Type: index color", "This image is not supported!"},
        {8, true, "Color depth: 8 bits", "Image Type: gray", ""},
        {8, false, "Color depth: 8 bits", "Image Type: index color", ""},
        {16, false, "Color depth: 16 bits", "Image Type: index color", "This image is not supported!"},
        {24, false, "Color depth: 24 bits", "Image Type: color", ""},
        {32, false, "", "", ""},
        {0, false, "", "", ""},
    };
    for (const auto& c : cases) {
        const auto lines = describePicture({2480, 3508, c.bits, c.gray, 11811});
        EXPECT_EQ(lines.size, "Image Size: 2480 * 3508 pixels");
        EXPECT_EQ(lines.depth, c.depth) << c.bits;
        EXPECT_EQ(lines.type, c.type) << c.bits;
        EXPECT_EQ(lines.warning, c.warning) << c.bits;
        EXPECT_EQ(lines.resolution, "Resolution: 300 DPI");
    }
}

TEST(PictureInfo, ResolutionLine) {
    struct Case {
        std::int32_t pelsPerMeter;
        const char* line;
        const char* warning;
    };
    const Case cases[] = {
        {11811, "Resolution: 300 DPI", ""}, {2835, "Resolution: 72 DPI", ""},
        {3937, "Resolution: 100 DPI", ""},  {19, "Resolution: 0 DPI", ""},
        {20, "Resolution: 1 DPI", ""},      {0, "Resolution: Unknown", "This image is not supported!"},
    };
    for (const auto& c : cases) {
        const auto lines = describePicture({10, 10, 24, false, c.pelsPerMeter});
        EXPECT_EQ(lines.resolution, c.line) << c.pelsPerMeter;
        EXPECT_EQ(lines.warning, c.warning) << c.pelsPerMeter;
    }
    // A JPEG that states none is read as 72 dpi, and the panel says so.
    const auto assumed = describePicture({10, 10, 24, false, 2835, true});
    EXPECT_EQ(assumed.resolution, "Resolution: 72 DPI (not stated in the file)");
    EXPECT_EQ(assumed.warning, "");
}

TEST(PictureInfo, TranslatesTemplatesBeforeNumbers) {
    const auto german = [](std::string_view text) -> std::string {
        if (text == "Image Size: %d * %d pixels") return "Bildgröße: %d x %d Pixel";
        if (text == "Resolution: %ld DPI") return "Auflösung: %ld dpi";
        if (text == "Image Type: gray") return "Bildtyp: Graustufen";
        return std::string(text);
    };
    const auto lines = describePicture({640, 480, 8, true, 11811}, german);
    EXPECT_EQ(lines.size, "Bildgröße: 640 x 480 Pixel");
    EXPECT_EQ(lines.resolution, "Auflösung: 300 dpi");
    EXPECT_EQ(lines.type, "Bildtyp: Graustufen");
    EXPECT_EQ(lines.depth, "Color depth: 8 bits");
    EXPECT_EQ(fillNumbers("%d%% of %ld, %s %d", {5, 6}), "5%% of 6, %s %d");
}

} // namespace
} // namespace tandemscan

namespace tandemscan {
namespace {

TEST(PictureInfo, ThumbnailFitsTheBox) {
    struct Case {
        int boxW, boxH, imageW, imageH;
        Rect expected;
    };
    const Case cases[] = {
        {160, 120, 2480, 3508, Rect::at(38, 0, 84, 120)}, // tall: full height, centred across
        {160, 120, 4000, 1000, Rect::at(0, 40, 160, 40)}, // wide: full width, centred down
        {160, 120, 160, 120, Rect::at(0, 0, 160, 120)},   // same proportions
        {160, 120, 10000, 1, Rect::at(0, 59, 160, 1)},    // never thinner than a pixel
        {160, 120, 0, 10, {}},
        {0, 120, 10, 10, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fitIntoBox(c.boxW, c.boxH, c.imageW, c.imageH), c.expected) << c.imageW << "x" << c.imageH;
    }
}

} // namespace
} // namespace tandemscan
