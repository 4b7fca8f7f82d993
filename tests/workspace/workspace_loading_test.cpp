// Loading parts and clearing sides: the checks against the part already loaded, the width rule
// for automatic merge, the state codes and the buttons that follow.
#include "recording_host.h"

#include <cstring>
#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using testing::makeImage;
using testing::ppm300;
using testing::ppm60;
using testing::WorkspaceFixture;

ImageRecord withResolution(ImageRecord image, std::int32_t ppm) {
    image.header().xPelsPerMeter = ppm;
    return image;
}

TEST(WorkspaceLoading, SecondPartMustMatchTheFirst) {
    // A refusal keeps its known first line and says on a second which file and why.
    const struct {
        const char* name;
        ImageRecord first;
        ImageRecord second;
        const char* message; // empty: accepted
        const char* reason;
    } cases[] = {
        {"resolution 19 apart", makeImage(300, 100, 24, ppm300), makeImage(300, 100, 24, 11830), "", ""},
        {"resolution 20 apart", makeImage(300, 100, 24, ppm300), makeImage(300, 100, 24, 11831),
         "Resolution is different from the previous image!",
         "301 dpi, while the part already loaded has 300 dpi"},
        {"resolution 19 below", makeImage(300, 100, 24, ppm300), makeImage(300, 100, 24, 11792), "", ""},
        {"gray then palette colour", makeImage(300, 100, 8, ppm300, true),
         makeImage(300, 100, 8, ppm300, false), "Image type is different from the previous image!",
         "index colour, while the part already loaded is gray"},
        {"gray then gray", makeImage(300, 100, 8, ppm300, true), makeImage(300, 100, 8, ppm300, true), "",
         ""},
        {"line art then colour", makeImage(300, 100, 1, ppm300), makeImage(300, 100, 24, ppm300),
         "Image type is different from the previous image!",
         "colour, while the part already loaded is line art"},
        {"colour then line art", makeImage(300, 100, 24, ppm300), makeImage(300, 100, 1, ppm300),
         "Image type is different from the previous image!",
         "line art, while the part already loaded is colour"},
        {"four bits", makeImage(300, 100, 24, ppm300), makeImage(300, 100, 4, ppm300),
         "Image type not supported!", "a 4-bit picture cannot be a part; parts have 1, 8 or 24 bits"},
        {"no resolution", makeImage(300, 100, 24, ppm300), withResolution(makeImage(300, 100, 24, ppm300), 0),
         "Image type not supported!", "the file states no resolution"},
    };
    for (const auto& c : cases) {
        WorkspaceFixture f;
        ASSERT_TRUE(f.load(Side::Left, c.first)) << c.name;
        const bool accepted = f.load(Side::Right, c.second);
        EXPECT_EQ(accepted, std::string(c.message).empty()) << c.name;
        EXPECT_EQ(f.ws.holdsPart(Side::Right), accepted) << c.name;
        if (!accepted) {
            ASSERT_EQ(f.host.messages.size(), 1u) << c.name;
            EXPECT_EQ(f.host.messages[0].caption, "Error");
            const std::string file = (f.files.folder() / "part1.img").string();
            EXPECT_EQ(f.host.messages[0].text, std::string(c.message) + "\n\"" + file + "\": " + c.reason)
                << c.name;
        }
    }
}

TEST(WorkspaceLoading, FirstPartAloneIsCheckedOnlyForItsType) {
    const struct {
        ImageRecord image;
        bool accepted;
    } cases[] = {
        {makeImage(50, 40, 1, ppm300), true},   {makeImage(50, 40, 8, ppm300, false), true},
        {makeImage(50, 40, 24, 1), true},       {makeImage(50, 40, 4, ppm300), false},
        {makeImage(50, 40, 16, ppm300), false},
    };
    for (const auto& c : cases) {
        WorkspaceFixture f;
        EXPECT_EQ(f.load(Side::Right, c.image), c.accepted) << c.image.header().bitCount;
    }
    WorkspaceFixture f;
    const std::string missing = (f.files.folder() / "missing.img").string();
    EXPECT_FALSE(f.ws.loadPart(missing, Side::Left));
    EXPECT_EQ(f.host.lastMessage(), "Image type not supported!\n\"" + missing + "\": damaged test image");
    EXPECT_FALSE(f.ws.loadPart("", Side::Left));
    EXPECT_EQ(f.host.messages.size(), 1u); // an empty name is not even tried
}

TEST(WorkspaceLoading, RefusedFileLeavesTheSideAsItWas) {
    WorkspaceFixture f;
    ASSERT_TRUE(f.load(Side::Left, 200, 100, 24, ppm60));
    ASSERT_TRUE(f.load(Side::Right, 180, 90, 24, ppm60));
    const std::string path = f.ws.side(Side::Right).sourcePath;
    const unsigned renders = f.ws.side(Side::Right).renderCount;
    EXPECT_FALSE(f.load(Side::Right, makeImage(100, 100, 8, ppm60), "gray.img"));
    EXPECT_TRUE(f.ws.holdsPart(Side::Right));
    EXPECT_EQ(f.ws.side(Side::Right).sourcePath, path);
    EXPECT_EQ(f.ws.side(Side::Right).renderCount, renders);
    EXPECT_EQ(f.ws.side(Side::Right).workingCopy.header().width, 180);
}

TEST(WorkspaceLoading, PartReferenceComesFromTheFirstPartAndClearsWithTheWorkspace) {
    WorkspaceFixture f;
    ASSERT_TRUE(f.load(Side::Left, makeImage(120, 100, 8, 11811, true)));
    EXPECT_EQ(f.ws.copyPartReference(), (PartReference{true, 8, 11811, 11811}));
    ASSERT_TRUE(f.load(Side::Right, makeImage(120, 100, 8, 11820, true)));
    EXPECT_EQ(f.ws.copyPartReference().xPelsPerMeter, 11811); // the second part does not replace it
    f.ws.clearSide(Side::Left);
    EXPECT_EQ(f.ws.copyPartReference().xPelsPerMeter, 11811);
    f.ws.clearSide(Side::Right);
    EXPECT_EQ(f.ws.copyPartReference(), PartReference{});
}

TEST(WorkspaceLoading, PaletteColourCountsAsTrueColourForTheScanner) {
    const struct {
        ImageRecord image;
        PartReference reference;
    } cases[] = {
        {makeImage(60, 40, 8, ppm300, false), {false, 24, ppm300, ppm300}},
        {makeImage(60, 40, 8, ppm300, true), {true, 8, ppm300, ppm300}},
        {makeImage(60, 40, 1, ppm300), {false, 1, ppm300, ppm300}},
        {makeImage(60, 40, 24, ppm300), {false, 24, ppm300, ppm300}},
    };
    for (const auto& c : cases) {
        WorkspaceFixture f;
        ASSERT_TRUE(f.load(Side::Left, c.image));
        EXPECT_EQ(f.ws.copyPartReference(), c.reference) << c.image.header().bitCount;
        // A second palette colour part still matches the first.
        EXPECT_TRUE(f.load(Side::Right, c.image));
    }
}

TEST(WorkspaceLoading, WithoutTheImageFileComponentNothingHappens) {
    testing::RecordingHost host;
    const std::optional<PrivateFolder> folder = PrivateFolder::create(temporaryRoot(), "workspace-test-");
    ImageEngine engine(nullptr, folder->path());
    MergeWorkspace ws(host, engine);
    EXPECT_FALSE(ws.loadPart("/nonexistent/part.bmp", Side::Left));
    EXPECT_TRUE(host.messages.empty());
    EXPECT_FALSE(ws.isModified(false));
    EXPECT_TRUE(ws.originalBlock(Side::Left).empty());
}

TEST(WorkspaceLoading, OriginalIsOneBlockForTheAdjustmentDialog) {
    WorkspaceFixture f;
    ASSERT_TRUE(f.load(Side::Left, 100, 80));
    const std::span<std::uint8_t> block = f.ws.originalBlock(Side::Left);
    ASSERT_EQ(block.size(), 1064u + PixelTools::rowStride(100, 24) * 80);
    ImageHeader h{};
    std::memcpy(&h, block.data(), sizeof h);
    EXPECT_EQ(h.width, 100);
    EXPECT_EQ(h.height, 80);
    EXPECT_EQ(&f.ws.workingCopyForAdjustment(Side::Left), &f.ws.side(Side::Left).workingCopy);
}

TEST(WorkspaceLoading, StateCodesAndButtonsFollowTheParts) {
    WorkspaceFixture f;
    f.host.clear();
    ASSERT_TRUE(f.load(Side::Left, 2480, 40, 24, ppm300));
    EXPECT_EQ(f.host.states, (std::vector<std::pair<int, int>>{{512, 0}}));
    EXPECT_TRUE(f.host.clearEnabled[0]);
    EXPECT_FALSE(f.host.outputEnabled);
    f.host.clear();
    ASSERT_TRUE(f.load(Side::Right, 2480, 40, 24, ppm300));
    EXPECT_EQ(f.host.states, (std::vector<std::pair<int, int>>{{768, 0}, {1024, 1}}));
    EXPECT_TRUE(f.host.outputEnabled);
    EXPECT_TRUE(f.host.clearEnabled[1]);
    f.host.clear();
    ASSERT_TRUE(f.load(Side::Right, 2479, 40, 24, ppm300));
    EXPECT_EQ(f.host.states, (std::vector<std::pair<int, int>>{{768, 0}, {1024, 0}}));

    // With one part locked the palette hears 80 and automatic merge is not offered.
    f.ws.toggleLock(Side::Left);
    f.host.clear();
    ASSERT_TRUE(f.load(Side::Right, 2480, 40, 24, ppm300));
    EXPECT_EQ(f.host.states, (std::vector<std::pair<int, int>>{{80, 1}, {1024, 0}}));
}

TEST(WorkspaceLoading, ClearingTellsWhatIsLeft) {
    const struct {
        bool otherHolds;
        bool otherLocked;
        int code;
    } cases[] = {{false, false, 256}, {true, false, 512}, {true, true, 256}};
    for (const auto& c : cases) {
        WorkspaceFixture f;
        ASSERT_TRUE(f.load(Side::Right, 200, 100));
        if (c.otherHolds) {
            ASSERT_TRUE(f.load(Side::Left, 200, 100));
        }
        if (c.otherLocked) f.ws.toggleLock(Side::Left);
        f.ws.selectTool(ToolMode::Zoom, true);
        f.ws.zoomTo(3);
        f.host.clear();
        f.ws.clearSide(Side::Right);
        ASSERT_FALSE(f.host.states.empty());
        EXPECT_EQ(f.host.states.back().first, c.code);
        EXPECT_FALSE(f.ws.holdsPart(Side::Right));
        EXPECT_FALSE(f.host.outputEnabled);
        EXPECT_FALSE(f.host.clearEnabled[1]);
        // Emptying the workspace goes back to 100 % with no tool; otherwise the zoom stays.
        EXPECT_EQ(f.ws.zoomIndex(), c.otherHolds ? 3 : 0);
        EXPECT_EQ(f.ws.modeFlags().zoom, c.otherHolds);
    }
}

TEST(WorkspaceLoading, ZoomResetsOnlyWhenTheWorkspaceWasEmpty) {
    WorkspaceFixture f;
    ASSERT_TRUE(f.load(Side::Left, 200, 100));
    f.ws.zoomTo(4);
    ASSERT_TRUE(f.load(Side::Right, 200, 100));
    EXPECT_EQ(f.ws.zoomIndex(), 4);
    EXPECT_EQ(f.ws.side(Side::Right).geometry.shownWidth, 400); // both parts at 200 %
    f.ws.clearSide(Side::Left);
    f.ws.clearSide(Side::Right);
    ASSERT_TRUE(f.load(Side::Right, 200, 100));
    EXPECT_EQ(f.ws.zoomIndex(), 0);
    EXPECT_EQ(f.ws.side(Side::Right).geometry.shownWidth, 200);
}

TEST(WorkspaceLoading, WorkingCopyDepthAndEightBitFlag) {
    const struct {
        ImageRecord image;
        int workingBits;
        bool eightBit;
    } cases[] = {
        {makeImage(100, 80, 8, ppm60, true), 8, true},
        {makeImage(100, 80, 8, ppm60, false), 24, true}, // palette colour is shown as true colour
        {makeImage(100, 80, 24, ppm60), 24, false},
        {makeImage(100, 80, 1, ppm60), 1, false},
    };
    for (const auto& c : cases) {
        WorkspaceFixture f;
        ASSERT_TRUE(f.load(Side::Left, c.image));
        EXPECT_EQ(f.ws.workingBitsPerPixel(), c.workingBits);
        EXPECT_EQ(f.ws.loadedEightBit(), c.eightBit);
    }
}

TEST(WorkspaceLoading, WorkingCopyIsReducedToSixtyDpiAndFitsThePane) {
    WorkspaceFixture f;
    ASSERT_TRUE(f.load(Side::Left, 2480, 3508, 8, ppm300)); // A4 at 300 dpi
    const ImageHeader& w = f.ws.side(Side::Left).workingCopy.header();
    EXPECT_EQ(w.width, 496);
    EXPECT_EQ(w.height, 702);
    EXPECT_NEAR(f.ws.engine().workScale(), 5.0, 0.01);
    EXPECT_NEAR(f.ws.engine().viewScale(), 2.0, 0.001); // 702 / 351
    EXPECT_EQ(f.ws.side(Side::Left).geometry.shownHeight, 351);
    EXPECT_EQ(f.ws.side(Side::Left).geometry.shownWidth, 248);
}

} // namespace
} // namespace tandemscan
