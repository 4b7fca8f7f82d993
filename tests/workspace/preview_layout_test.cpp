// Where the preview draws the joined image and what its information line says.
#include "workspace/preview_layout.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

TEST(PreviewLayout, ImageIsShownWholeAndCentred) {
    const struct {
        int w, h, sw, sh;
        Rect expected;
    } cases[] = {
        {1000, 500, 1024, 768, {12, 134, 1012, 634}}, // fits: unscaled
        {4000, 1000, 1024, 768, {0, 256, 1024, 512}}, // wide: fills the width
        {1000, 3000, 1024, 768, {384, 0, 640, 768}},  // tall: fills the height
        {1024, 500, 1024, 768, {0, 134, 1024, 634}},  // as wide as the screen: scaled by 1
        {2048, 1536, 1024, 768, {0, 0, 1024, 768}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(previewPlacement(c.w, c.h, c.sw, c.sh), c.expected) << c.w << "x" << c.h;
}

TEST(PreviewLayout, InformationLineGivesFullResolutionSizeAndDpi) {
    ImageHeader h{};
    h.width = 301;
    h.height = 200;
    h.xPelsPerMeter = 11811;
    h.yPelsPerMeter = 11811;
    const PreviewFacts f = previewFacts(h, 4.9);
    EXPECT_EQ(f.width, 1475); // 1474.9 rounded
    EXPECT_EQ(f.height, 980);
    EXPECT_EQ(f.dpiX, 300);
    EXPECT_EQ(previewInformation(f, PreviewTexts{}),
              "Image Size : 1475 * 980 pixel     Resolution : 300 dpi ");
    PreviewTexts german;
    german.imageSize = "Bildgr\u00f6\u00dfe : ";
    german.pixel = " Pixel";
    german.resolution = "     Aufl\u00f6sung : ";
    EXPECT_EQ(previewInformation(f, german),
              "Bildgr\u00f6\u00dfe : 1475 * 980 Pixel     Aufl\u00f6sung : 300 dpi ");
}

} // namespace
} // namespace tandemscan
