#include "engine/join_while_loading.h"
#include "engine/merge_export.h"
#include "engine/pixel_tools.h"
#include "engine_fixture.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <thread>

namespace tandemscan {
namespace {

namespace fs = std::filesystem;
using test::Picture;
using test::TestImage;

// Reads a file the stand-in component wrote: header block, then pixels.
TestImage readBack(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    TestImage image;
    if (bytes.size() < sizeof(HeaderBlock)) return image;
    std::memcpy(&image.block, bytes.data(), sizeof(HeaderBlock));
    image.pixels.assign(bytes.begin() + sizeof(HeaderBlock), bytes.end());
    return image;
}

TestImage columns(const TestImage& image, std::int32_t from, std::int32_t to) {
    TestImage part = TestImage::make(to - from, image.height(), image.block.header.bitCount,
                                     image.block.header.xPelsPerMeter);
    part.block.palette = image.block.palette;
    for (std::int32_t y = 0; y < image.height(); ++y)
        for (std::int32_t x = from; x < to; ++x)
            part.set(x - from, y, image.get(x, y));
    return part;
}

TestImage scene(std::int32_t width, std::int32_t height, std::uint16_t bitCount) {
    TestImage image = TestImage::make(width, height, bitCount, 11811);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t v = static_cast<std::uint32_t>(x * 7 + y * 13 + (x * y) % 11);
            image.set(x, y, bitCount == 24 ? v * 2654435761u >> 8 : bitCount == 1 ? (v >> 2) & 1 : v & 0xFF);
        }
    return image;
}

// One side as a workspace holds it.
struct TestPart {
    std::unique_ptr<ImageStoreBlock> store;
    ImageRecord working;
    std::vector<EditEntry> edits;
    std::uint16_t rotations = 0;
    MergeSide merge() { return {*store, working, edits, rotations}; }
};

class MergeExportTest : public test::EngineFixture {
  protected:
    void SetUp() override {
        EngineFixture::SetUp();
        left.store = engine->createStoreBlock(Side::Left);
        right.store = engine->createStoreBlock(Side::Right);
    }
    void load(TestPart& side, const TestImage& image, const char* name) {
        ASSERT_TRUE(engine->loadOriginal(*side.store, writePart(name, image))) << engine->lastError();
        ASSERT_TRUE(engine->makeWorkingCopy(*side.store, side.working, &side == &right));
    }
    TestPart left, right;
};

TEST_F(MergeExportTest, HalvesOfOneImageJoinBackIntoIt) {
    struct Case {
        const char* what;
        std::uint16_t bitCount;
        MergePlacement placement;
    };
    MergePlacement explicitCut;
    explicitCut.originalCut = CutRecord{656, 156, 0, 0};
    MergePlacement automatic;
    automatic.autoMode = true;
    automatic.autoOverlap = 99.7; // keeps 600 left columns, the right part from its column 100
    const Case cases[] = {{"24 bits, given cut", 24, explicitCut},
                          {"24 bits, automatic", 24, automatic},
                          {"8 bits, given cut", 8, explicitCut},
                          {"1 bit, given cut", 1, explicitCut}};
    for (const Case& c : cases) {
        // Composed in "MergeImg.Tmp" as the window saves, and handed to the writer row by row.
        for (const bool streamRows : {false, true}) {
            const TestImage original = scene(1200, 500, c.bitCount);
            load(left, columns(original, 0, 700), "left.raw");
            load(right, columns(original, 500, 1200), "right.raw");
            const fs::path out = folder->path() / "joined.raw";
            MergeExport exporter(*engine);
            exporter.setStreamRows(streamRows);
            bool rowsStage = false, scratchDuringWrite = false;
            ASSERT_TRUE(exporter.saveMerged(left.merge(), right.merge(), c.placement, out, [&](MergeStage s) {
                rowsStage |= s == MergeStage::writeRows;
                if (s == MergeStage::write) scratchDuringWrite = fs::exists(folder->path() / "MergeImg.Tmp");
            })) << exporter.lastError();
            EXPECT_EQ(rowsStage, streamRows) << c.what;
            EXPECT_EQ(scratchDuringWrite, !streamRows) << c.what;
            const TestImage joined = readBack(out);
            EXPECT_EQ(joined.block.header.width, 1200) << c.what;
            EXPECT_EQ(joined.picture(), original.picture()) << c.what << (streamRows ? ", by rows" : "");
            EXPECT_FALSE(fs::exists(folder->path() / "MergeImg.Tmp")) << c.what;
        }
    }
}

// Written while both parts load on threads of their own, as the command line joins, the parts
// held whole or passed through rings of rows: the same picture; a part that fails, or loads other
// than it was checked, or a writer that fails, leaves no file and no decoder waiting.
TEST_F(MergeExportTest, JoinWhileLoadingGivesTheSameFileOrNone) {
    struct Case {
        const char* what;
        CutRecord cut;
        const char* rightName;
        std::int32_t checkedRightHeight; // 0: as loaded
        const char* outName;
        bool ok;
    };
    const Case cases[] = {
        {"level", {600, 100, 0, 0}, "right.raw", 0, "joined.raw", true},
        {"right part higher", {600, 100, 9, 9}, "right.raw", 0, "joined.raw", true},
        {"right part lower", {650, 150, -30, -30}, "right.raw", 0, "joined.raw", true},
        {"right part not read by rows", {600, 100, 0, 0}, "whole-right.raw", 0, "joined.raw", true},
        {"right part fails to load", {600, 100, 0, 0}, "broken-right.raw", 0, "joined.raw", false},
        {"right part loads taller than checked", {600, 100, 0, 0}, "right.raw", 499, "joined.raw", false},
        {"the output cannot be made", {600, 100, 0, 0}, "right.raw", 0, "missing/joined.raw", false},
    };
    const TestImage original = scene(1200, 500, 24);
    const fs::path leftFile = writePart("left.raw", columns(original, 0, 700));
    const fs::path goodRight = writePart("right.raw", columns(original, 500, 1200));
    for (const bool throughRings : {false, true})
        for (const Case& c : cases) {
            const std::string what = std::string(c.what) + (throughRings ? ", through rings" : ", whole");
            const fs::path rightFile = writePart(c.rightName, columns(original, 500, 1200));
            ImageEngine rightEngine(library, folder->path());
            HeaderBlock leftHeader, rightHeader;
            ASSERT_TRUE(engine->readHeader(leftFile, leftHeader));
            ASSERT_TRUE(rightEngine.readHeader(goodRight, rightHeader)); // as checked before a part breaks
            if (c.checkedRightHeight) rightHeader.header.height = c.checkedRightHeight;
            // The smallest rings, so that they wrap many times over the 500 rows.
            PartRows leftRows(leftHeader, throughRings, 1), rightRows(rightHeader, throughRings, 1);
            left.store->release();
            bool loaded[2] = {};
            auto load = [&](ImageEngine& e, ImageStoreBlock& block, const fs::path& file, PartRows& rows) {
                return throughRings ? e.loadPassingRows(block, file, rows)
                                    : e.loadOriginal(block, file, &rows);
            };
            std::thread leftLoader([&] { loaded[0] = load(*engine, *left.store, leftFile, leftRows); });
            std::thread rightLoader(
                [&] { loaded[1] = load(rightEngine, *right.store, rightFile, rightRows); });
            auto writer = library->newInstance();
            ASSERT_TRUE(writer && writer->canWriteRows());
            // The stand-in writes a "top" file's rows from the top down, as rings need.
            const fs::path out = folder->path() / ((throughRings ? "top-" : "") + std::string(c.outName));
            fs::remove(out);
            std::string why;
            const bool written = writeJoinWhileLoading(*writer, out, leftRows, rightRows, c.cut, &why);
            leftLoader.join();
            rightLoader.join();
            EXPECT_EQ(written, c.ok) << what << ": " << why;
            EXPECT_EQ(fs::exists(out), c.ok) << what;
            EXPECT_EQ(left.store->holdsImage(), !throughRings)
                << what << ": a part through a ring is never held";
            if (!c.ok) continue;
            // The reference: the same cut composed from the loaded parts.
            TestImage l = columns(original, 0, 700), r = columns(original, 500, 1200);
            HeaderBlock joined;
            ASSERT_TRUE(composeHeader(joined, l.block, r.block, c.cut));
            std::vector<std::uint8_t> pixels(joined.header.sizeImage);
            ASSERT_TRUE(composeImages(joined, pixels, l.block, l.pixels, r.block, r.pixels, c.cut));
            const TestImage back = readBack(out);
            EXPECT_EQ(std::memcmp(&back.block, &joined, sizeof joined), 0) << what;
            EXPECT_EQ(back.pixels, pixels) << what;
        }
}

TEST_F(MergeExportTest, SavingReplaysEditsInOrderAndConsumesThem) {
    const TestImage original = scene(900, 300, 24);
    load(left, original, "left.raw");
    load(right, original, "right.raw");
    engine->setScales(1.0, 1.0, 1.0);
    // Turned, then cropped in turned coordinates: the crop must see the turned picture.
    left.edits = {EditEntry{kEditHalfTurn, 0, 0, 0, 0, 0}, EditEntry{kEditCrop, 0, 0, 0, 400, 300}};
    right.rotations = 3;
    MergePlacement placement;
    placement.originalCut = CutRecord{400, 0, 0, 0};
    MergeExport exporter(*engine);
    std::vector<MergeStage> stages;
    ASSERT_TRUE(exporter.saveMerged(left.merge(), right.merge(), placement, folder->path() / "joined.raw",
                                    [&](MergeStage s) { stages.push_back(s); }));
    EXPECT_EQ(stages,
              (std::vector<MergeStage>{MergeStage::applyEdits, MergeStage::compose, MergeStage::write}));
    EXPECT_TRUE(left.edits.empty());
    EXPECT_EQ(right.rotations, 0);
    const TestImage joined = readBack(folder->path() / "joined.raw");
    ASSERT_EQ(joined.block.header.width, 1300);
    // Both parts are turned: the left part shows the original's right end, upside down.
    EXPECT_EQ(joined.get(0, 0), original.get(899, 299));
    EXPECT_EQ(joined.get(399, 299), original.get(500, 0));
    EXPECT_EQ(joined.get(400, 0), original.get(899, 299));
    EXPECT_EQ(joined.get(1299, 299), original.get(0, 0));

    // Saving again does not apply the edits a second time.
    ASSERT_TRUE(exporter.saveMerged(left.merge(), right.merge(), placement, folder->path() / "again.raw"));
    EXPECT_EQ(readBack(folder->path() / "again.raw").picture(), joined.picture());
}

TEST_F(MergeExportTest, EightBitColourPartsAreJoinedInTwentyFourBits) {
    TestImage original = scene(800, 300, 8);
    original.block.palette[7] = {0, 0, 255, 0};
    load(left, columns(original, 0, 500), "left.raw");
    load(right, columns(original, 300, 800), "right.raw");
    MergePlacement placement;
    placement.originalCut = CutRecord{400, 100, 0, 0};
    MergeExport exporter(*engine);
    ASSERT_TRUE(exporter.saveMerged(left.merge(), right.merge(), placement, folder->path() / "joined.raw"));
    const TestImage joined = readBack(folder->path() / "joined.raw");
    EXPECT_EQ(joined.block.header.bitCount, 24);
    auto expanded = PixelTools::expandToTrueColor(original.block, original.pixels);
    ASSERT_TRUE(expanded);
    EXPECT_EQ(joined.picture(), test::pictureOf(*expanded));
    EXPECT_EQ(left.store->view().header().bitCount, 8) << "the store keeps its 8-bit original";
    EXPECT_FALSE(fs::exists(folder->path() / "MergeImgL.Tmp"));
}

TEST_F(MergeExportTest, PreviewFromTheWorkingCopies) {
    TestImage original = scene(500, 100, 8);
    original.block.palette[3] = {0, 200, 0, 0};
    original.block.header.xPelsPerMeter = 2362; // 60 dpi: the working copies are the originals
    load(left, columns(original, 0, 300), "left.raw");
    load(right, columns(original, 200, 500), "right.raw");
    MergePlacement placement;
    placement.autoMode = true;
    placement.autoOverlap = 49.7;
    MergeExport exporter(*engine);
    ImageRecord joined;
    ASSERT_TRUE(exporter.composePreview(left.merge(), right.merge(), placement, joined))
        << exporter.lastError();
    EXPECT_EQ(left.working.header().bitCount, 24) << "colour copies are expanded for good";
    EXPECT_EQ(right.working.header().bitCount, 24);
    ASSERT_FALSE(joined.empty());
    auto expanded = PixelTools::expandToTrueColor(original.block, original.pixels);
    EXPECT_EQ(test::pictureOf(joined), test::pictureOf(*expanded));
    EXPECT_EQ(joined.pixelKind(), StoreKind::heap);

    const fs::path file = folder->path() / "preview.raw";
    ASSERT_TRUE(exporter.composePreview(left.merge(), right.merge(), placement, joined, file));
    EXPECT_TRUE(joined.empty()) << "written previews are released";
    EXPECT_EQ(readBack(file).picture(), test::pictureOf(*expanded));
}

TEST_F(MergeExportTest, ExportsAreNumberedAndStay) {
    load(left, scene(100, 50, 24), "left.raw");
    load(right, scene(100, 50, 24), "right.raw");
    MergePlacement placement;
    placement.originalCut = CutRecord{100, 0, 0, 0};
    MergeExport exporter(*engine);
    const auto first = exporter.exportForApplication(left.merge(), right.merge(), placement);
    const auto second = exporter.exportForApplication(left.merge(), right.merge(), placement);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->filename(), "1_MergeImg.bmp");
    EXPECT_EQ(second->filename(), "2_MergeImg.bmp");
    EXPECT_EQ(first->parent_path(), folder->path());
    EXPECT_TRUE(fs::exists(*first));
    EXPECT_TRUE(fs::exists(*second));
}

TEST_F(MergeExportTest, FailuresSayWhyAndLeaveNoWorkingFile) {
    load(left, scene(700, 300, 24), "left.raw");
    load(right, scene(700, 300, 24), "right.raw");
    MergePlacement placement;
    placement.originalCut = CutRecord{700, 0, 0, 0};
    MergeExport exporter(*engine);
    EXPECT_FALSE(
        exporter.saveMerged(left.merge(), right.merge(), placement, folder->path() / "no" / "such.raw"));
    EXPECT_EQ(exporter.lastError(), "cannot create the file: No such file or directory");
    EXPECT_FALSE(fs::exists(folder->path() / "MergeImg.Tmp"));
    EXPECT_FALSE(exporter.saveMerged(left.merge(), right.merge(), placement, ""));

    TestPart empty;
    empty.store = engine->createStoreBlock(Side::Right);
    EXPECT_FALSE(exporter.saveMerged(left.merge(), empty.merge(), placement, folder->path() / "x.raw"));
    EXPECT_EQ(exporter.lastError(), "Both parts are needed");

    TestImage mono = scene(64, 300, 1);
    load(right, mono, "mono.raw");
    EXPECT_FALSE(exporter.saveMerged(left.merge(), right.merge(), placement, folder->path() / "x.raw"));
    EXPECT_NE(exporter.lastError().find("same depth"), std::string::npos);
}

TEST_F(MergeExportTest, SaveSingleWritesOnePartAfterItsEdits) {
    TestImage original = scene(40, 30, 8);
    original.block.palette[9] = {10, 20, 30, 0};
    load(left, original, "left.raw");
    left.rotations = 1;
    MergeExport exporter(*engine);
    const fs::path file = folder->path() / "single.raw";
    ASSERT_TRUE(exporter.saveSingle(left.merge(), file));
    EXPECT_EQ(left.rotations, 0);
    const TestImage written = readBack(file);
    EXPECT_EQ(written.block.header.bitCount, 24);
    EXPECT_EQ(written.block.header.sizeImage, PixelTools::imageDataSize(written.block.header));
    auto expanded = PixelTools::expandToTrueColor(original.block, original.pixels);
    const Picture upright = test::pictureOf(*expanded);
    EXPECT_EQ(written.get(0, 0), upright[29][39]);
    EXPECT_EQ(written.get(39, 29), upright[0][0]);
}

} // namespace
} // namespace tandemscan
