// Automatic placement, the joined preview, and saving the joined image and single parts from the
// originals with the edits made on the working copies.
#include "recording_host.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using testing::makeImage;
using testing::ppm300;
using testing::readImageFile;
using testing::WorkspaceFixture;

// Panes twice the base size, so that a 300 dpi A4-wide part (496 working pixels) is shown at one
// screen pixel per working pixel.
struct WidePanes : WorkspaceFixture {
    WidePanes() {
        ws.setPaneFactor(200);
        ws.resize(510, 702);
    }
    bool loadA4Parts(int height = 100) {
        return load(Side::Left, makeImage(2480, height, 24, ppm300), "left.img") &&
               load(Side::Right, makeImage(2480, height, 24, ppm300), "right.img");
    }
    std::string outPath(const char* name) const { return (files.folder() / name).string(); }
};

TEST(WorkspaceOutput, AutomaticPlacementSplitsTheOverlap) {
    WidePanes f;
    ASSERT_TRUE(f.loadA4Parts());
    ASSERT_DOUBLE_EQ(f.ws.engine().workScale(), 5.0);
    // The 496-pixel copies are enlarged with the double-size panes to fill their 510 pixels.
    ASSERT_DOUBLE_EQ(f.ws.engine().viewScale(), 496.0 / 510);
    f.ws.selectTool(ToolMode::Move, true);
    f.ws.mousePress({100, 50}, {});
    ASSERT_TRUE(f.ws.side(Side::Left).view.dragging);
    ASSERT_TRUE(f.ws.placeAutomatically());
    // (4960 - (16.5354 - 0.241) x 300) / 2 = 35.84 original pixels; 35.84 / (5 x 496 / 510) = 7.37
    // screen pixels.
    EXPECT_NEAR(f.ws.autoOverlap(), 35.84, 0.01);
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, -7);
    EXPECT_EQ(f.ws.side(Side::Right).view.offsetX, 7);
    EXPECT_TRUE(f.ws.autoMode());
    EXPECT_FALSE(f.ws.side(Side::Left).view.dragging);
    // The preview joins the working copies: 489 columns of the left, the right from column 8.
    ASSERT_FALSE(f.ws.joinedImage().empty());
    EXPECT_EQ(f.ws.joinedImage().header().width, 977);
    EXPECT_EQ(f.ws.joinedImage().header().height, 20);
    f.ws.endPreview();
    EXPECT_TRUE(f.ws.joinedImage().empty());
    // A tool that moves a part ends automatic mode.
    f.drag(Side::Right, -3, 0);
    EXPECT_FALSE(f.ws.autoMode());
}

TEST(WorkspaceOutput, AutomaticPlacementTakesTheOriginalWidth) {
    WidePanes f;
    ASSERT_TRUE(f.loadA4Parts());
    ASSERT_TRUE(f.ws.placeAutomatically(4219)); // 16.61 inches: less overlap
    EXPECT_NEAR(f.ws.autoOverlap(), (4960 - (4219 / 254.0f - 0.241) * 300.0) / 2, 0.05);
    ASSERT_TRUE(f.ws.placeAutomatically(5000)); // outside the window: the last valid width stays
    EXPECT_NEAR(f.ws.autoOverlap(), (4960 - (4219 / 254.0f - 0.241) * 300.0) / 2, 0.05);
}

TEST(WorkspaceOutput, NarrowPartsAreNotPlacedAutomatically) {
    WidePanes f;
    ASSERT_TRUE(f.load(Side::Left, makeImage(1000, 50, 24, ppm300)));
    ASSERT_TRUE(f.load(Side::Right, makeImage(1000, 50, 24, ppm300)));
    EXPECT_FALSE(f.ws.placeAutomatically());
    EXPECT_EQ(f.host.messages.size(), 1u);
    EXPECT_FALSE(f.ws.autoMode());
    EXPECT_EQ(f.ws.side(Side::Left).view.offsetX, 0);
}

TEST(WorkspaceOutput, PreviewFollowsManualPlacement) {
    WidePanes f;
    ASSERT_TRUE(f.loadA4Parts());
    ASSERT_TRUE(f.ws.composePreview());
    EXPECT_EQ(f.ws.joinedImage().header().width, 992);
    f.ws.endPreview();
    f.drag(Side::Right, -10, 0);
    ASSERT_TRUE(f.ws.composePreview());
    EXPECT_EQ(f.ws.joinedImage().header().width, 982);
    f.ws.endPreview();
}

TEST(WorkspaceOutput, SavingJoinsTheOriginals) {
    WidePanes f;
    ASSERT_TRUE(f.loadA4Parts());
    ASSERT_TRUE(f.ws.placeAutomatically());
    f.ws.endPreview();
    const std::string out = f.outPath("joined.img");
    ASSERT_TRUE(f.ws.saveMerged(out));
    const ImageRecord joined = readImageFile(out);
    ASSERT_FALSE(joined.empty());
    EXPECT_EQ(joined.header().width, 4888); // 2444 of the left, the right from column 36
    EXPECT_EQ(joined.header().height, 100);
    // Column 2444 is the right part's column 36 (its blue byte is x % 256).
    const std::uint32_t stride = PixelTools::rowStride(4888, 24);
    EXPECT_EQ(joined.pixels()[3 * 2443], 2443 % 256);
    EXPECT_EQ(joined.pixels()[3 * 2444], 36);
    EXPECT_EQ(joined.pixels()[stride + 3 * 2444], 36);
}

TEST(WorkspaceOutput, SavingReplaysTurnsOnTheOriginal) {
    WidePanes f;
    ASSERT_TRUE(f.loadA4Parts());
    f.ws.rotateSide(Side::Right);
    f.ws.rotateSide(Side::Right);
    f.ws.rotateSide(Side::Left);
    const std::string single = f.outPath("single.img");
    ASSERT_TRUE(f.ws.saveSingle(Side::Right, single));
    const ImageRecord right = readImageFile(single);
    ASSERT_EQ(right.header().width, 2480);
    EXPECT_EQ(right.pixels()[3 * 5], 5); // two half turns: upright
    EXPECT_EQ(f.ws.side(Side::Right).rotations, 0);
    EXPECT_TRUE(f.ws.side(Side::Right).cropHistory.empty());
    const std::string left = f.outPath("left_single.img");
    ASSERT_TRUE(f.ws.saveSingle(Side::Left, left));
    const ImageRecord turned = readImageFile(left);
    EXPECT_EQ(turned.pixels()[3 * 5], (2480 - 1 - 5) % 256); // one half turn: mirrored both ways
}

TEST(WorkspaceOutput, SavingReplaysCropsScaledToTheOriginal) {
    WidePanes f;
    ASSERT_TRUE(f.loadA4Parts());
    // The right part shows at (511, 0)-(1021, 21), 496 / 510 working pixels per screen pixel; the
    // new frame (531, 20)-(1001, 682), its top-left corner pulled out to (521, 10), keeps working
    // columns 10..477 and rows 10..20.
    f.ws.selectTool(ToolMode::Crop, true);
    f.ws.mousePress({531, 20}, {});
    f.ws.mouseMove({521, 10}, true, {});
    f.ws.mouseRelease({521, 10});
    f.ws.doubleClick({700, 15});
    ASSERT_EQ(f.ws.side(Side::Right).cropHistory.size(), 1u);
    const EditEntry& e = f.ws.side(Side::Right).cropHistory[0];
    EXPECT_EQ((Rect{e.left, e.top, e.right, e.bottom}), (Rect{10, 10, 477, 20}));
    const std::string out = f.outPath("cropped.img");
    ASSERT_TRUE(f.ws.saveSingle(Side::Right, out));
    const ImageRecord cropped = readImageFile(out);
    EXPECT_EQ(cropped.header().width, 2335); // columns 50 .. 2385 of the original
    EXPECT_EQ(cropped.header().height, 50);  // rows 50 .. 100
    const std::uint32_t stride = PixelTools::rowStride(2335, 24);
    const std::uint8_t* top = cropped.pixels().data() + static_cast<std::size_t>(49) * stride;
    EXPECT_EQ(top[0], 50); // blue is the original's column
    EXPECT_EQ(top[1], 50); // green its row
    EXPECT_TRUE(f.ws.side(Side::Right).cropHistory.empty());
}

TEST(WorkspaceOutput, SaveNeedsBothPartsAndAName) {
    WidePanes f;
    ASSERT_TRUE(f.load(Side::Left, makeImage(2480, 50, 24, ppm300)));
    EXPECT_FALSE(f.ws.saveMerged(f.outPath("x.img")));
    EXPECT_FALSE(f.ws.composePreview());
    ASSERT_TRUE(f.load(Side::Right, makeImage(2480, 50, 24, ppm300)));
    EXPECT_FALSE(f.ws.saveMerged(""));
    // The message names the file and gives the writer's reason on a second line.
    const struct {
        std::string path;
        std::string reason;
    } failures[] = {
        {(f.files.folder() / "no" / "such" / "folder.img").string(),
         "cannot create the file: No such file or directory"},
        {"/dev/full", "cannot write the file: No space left on device"},
    };
    for (const auto& c : failures) {
        EXPECT_FALSE(f.ws.saveMerged(c.path));
        EXPECT_EQ(f.host.lastMessage(), "Fail to save file\n\"" + c.path + "\": " + c.reason);
    }
    const std::optional<std::string> first = f.ws.exportForApplication();
    const std::optional<std::string> second = f.ws.exportForApplication();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(std::filesystem::path(*first).filename(), "1_MergeImg.bmp");
    EXPECT_EQ(std::filesystem::path(*second).filename(), "2_MergeImg.bmp");
}

} // namespace
} // namespace tandemscan
