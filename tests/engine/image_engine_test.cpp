#include "engine/image_engine.h"
#include "engine/pixel_tools.h"
#include "engine_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <numbers>

namespace tandemscan {
namespace {

namespace fs = std::filesystem;
using test::Picture;
using test::TestImage;

class ImageEngineTest : public test::EngineFixture {};

TestImage numbered(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                   std::int32_t pelsPerMeter) {
    TestImage image = TestImage::make(width, height, bitCount, pelsPerMeter);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            image.set(x, y, static_cast<std::uint32_t>((x + 3 * y) & 0xFF));
    return image;
}

TEST_F(ImageEngineTest, HeapUpTo540000PixelBytesThenTheBackingFile) {
    // 600 x 300 at 24 bits is exactly 540000 pixel bytes; one byte more goes to the file.
    struct Case {
        std::size_t extra;
        StoreKind kind;
    };
    for (const Case c : {Case{0, StoreKind::heap}, Case{1, StoreKind::fileMapped}}) {
        auto block = engine->createStoreBlock(Side::Left);
        const TestImage image = numbered(600, 300, 24, 11811);
        ASSERT_TRUE(engine->loadOriginal(*block, writePart("part.raw", image, c.extra)));
        EXPECT_EQ(block->kind(), c.kind) << c.extra;
        EXPECT_EQ(block->view().layout(), RecordLayout::single);
        EXPECT_EQ(block->view().pixels().size(), 540000 + c.extra);
        EXPECT_EQ(test::pictureOf(block->view().headerBlock(), block->view().pixels()), image.picture());
        if (c.kind == StoreKind::fileMapped) {
            // The backing file is the single-block record itself: header block, then pixels.
            EXPECT_EQ(fs::file_size(block->path()), 1064 + 540001u);
            std::ifstream backing(block->path(), std::ios::binary);
            HeaderBlock stored{};
            backing.read(reinterpret_cast<char*>(&stored), sizeof stored);
            EXPECT_EQ(stored.header.width, 600);
        }
    }
}

TEST_F(ImageEngineTest, AMappingOfTheSameSizeIsReused) {
    auto block = engine->createStoreBlock(Side::Left);
    const TestImage first = numbered(700, 400, 24, 11811);
    TestImage second = numbered(700, 400, 24, 5906);
    second.set(5, 5, 0xABCDEF);
    ASSERT_TRUE(engine->loadOriginal(*block, writePart("first.raw", first)));
    const std::uint8_t* pages = block->view().pixels().data();
    ASSERT_TRUE(engine->loadOriginal(*block, writePart("second.raw", second)));
    EXPECT_EQ(block->view().pixels().data(), pages);
    EXPECT_EQ(block->view().header().xPelsPerMeter, 5906);
    EXPECT_EQ(test::pictureOf(block->view().headerBlock(), block->view().pixels()), second.picture());
    // Discarding gives the file's pages back at once; the block stays usable.
    block->discard();
    EXPECT_FALSE(block->holdsImage());
    EXPECT_EQ(fs::file_size(block->path()), 0u);
    // Another size takes a new mapping.
    const TestImage third = numbered(700, 401, 24, 11811);
    ASSERT_TRUE(engine->loadOriginal(*block, writePart("third.raw", third)));
    EXPECT_EQ(block->view().pixels().size(), 700u * 3 * 401);
    EXPECT_EQ(test::pictureOf(block->view().headerBlock(), block->view().pixels()), third.picture());
}

TEST_F(ImageEngineTest, BackingFilesAreNamedPerSideAndGoWithTheirBlock) {
    fs::path leftPath;
    {
        auto left = engine->createStoreBlock(Side::Left);
        auto right = engine->createStoreBlock(Side::Right);
        EXPECT_EQ(left->path().filename(), "ImgdataL.DAT");
        EXPECT_EQ(right->path().filename(), "ImgdataR.DAT");
        EXPECT_TRUE(left->backingFileOpen());
        leftPath = left->path();
        EXPECT_TRUE(fs::exists(leftPath));
        EXPECT_EQ(fs::status(leftPath).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);

        left->view(); // untouched blocks hold nothing
        EXPECT_FALSE(left->holdsImage());
        ImageEngine::swapStoreBlocks(*left, *right);
        EXPECT_EQ(left->path().filename(), "ImgdataR.DAT");
    }
    EXPECT_FALSE(fs::exists(leftPath));
}

TEST_F(ImageEngineTest, FailedLoadsReleaseTheBlockAndSayWhy) {
    auto block = engine->createStoreBlock(Side::Left);
    ASSERT_TRUE(engine->loadOriginal(*block, writePart("good.raw", numbered(8, 8, 8, 2362))));
    EXPECT_FALSE(engine->loadOriginal(*block, writePart("broken.raw", numbered(8, 8, 8, 2362))));
    EXPECT_FALSE(block->holdsImage());
    EXPECT_EQ(engine->lastError(), "damaged test image");

    EXPECT_FALSE(engine->loadOriginal(*block, folder->path() / "missing.raw"));
    EXPECT_EQ(engine->lastError(), "not a test image");
    EXPECT_FALSE(engine->loadOriginal(*block, ""));

    // A header that claims more pixels than the file holds is refused.
    TestImage liar = numbered(8, 8, 24, 2362);
    liar.block.header.height = 800;
    EXPECT_FALSE(engine->loadOriginal(*block, writePart("liar.raw", liar)));
    EXPECT_FALSE(block->holdsImage());

    ImageEngine bare(nullptr, folder->path());
    EXPECT_FALSE(bare.hasComponent());
    EXPECT_FALSE(bare.loadOriginal(*block, writePart("good.raw", numbered(8, 8, 8, 2362))));
}

// Width x 60 passes 32 bits for a legal 1-bit part 40,000,000 pixels wide; it is reduced like any.
TEST_F(ImageEngineTest, WorkingCopyOfAVeryWidePart) {
    auto block = engine->createStoreBlock(Side::Left);
    ASSERT_TRUE(engine->loadOriginal(*block, writePart("wide.raw", TestImage::make(40000000, 10, 1, 11811))));
    ImageRecord working;
    ASSERT_TRUE(engine->makeWorkingCopy(*block, working, false));
    EXPECT_NEAR(engine->workScale(), 5.0, 1e-3);
    EXPECT_NEAR(working.header().width, 8000000, 1000);
    EXPECT_EQ(working.header().height, 2);
}

TEST_F(ImageEngineTest, WorkingCopyAtSixtyDpi) {
    struct Case {
        const char* what;
        std::int32_t width, height, pelsPerMeter;
        std::int32_t workWidth, workHeight;
        double workScale;
    };
    const Case cases[] = {
        {"300 dpi A4", 2480, 3508, 11811, 496, 702, 5.0},
        {"60 dpi is kept", 123, 77, 2362, 123, 77, 1.0},
        {"below 60 dpi is kept", 50, 40, 1181, 50, 40, 1.0},
        {"taller than wide", 100, 600, 11811, 20, 120, 5.0},
        {"no resolution is kept", 90, 30, 0, 90, 30, 1.0},
    };
    for (const Case& c : cases) {
        auto block = engine->createStoreBlock(Side::Left);
        const TestImage image = numbered(c.width, c.height, 8, c.pelsPerMeter);
        ASSERT_TRUE(engine->loadOriginal(*block, writePart("part.raw", image))) << c.what;
        ImageRecord working;
        ASSERT_TRUE(engine->makeWorkingCopy(*block, working, false)) << c.what;
        EXPECT_EQ(working.header().width, c.workWidth) << c.what;
        EXPECT_EQ(working.header().height, c.workHeight) << c.what;
        EXPECT_DOUBLE_EQ(engine->workScale(), c.workScale) << c.what;
        EXPECT_EQ(working.header().sizeImage, PixelTools::imageDataSize(working.header())) << c.what;
        EXPECT_EQ(working.header().xPelsPerMeter, c.pelsPerMeter) << c.what;
        EXPECT_EQ(working.layout(), RecordLayout::apart);
        if (c.workScale == 1.0) {
            EXPECT_EQ(test::pictureOf(working), image.picture()) << c.what;
        }
    }
    EXPECT_TRUE(engine->workScaleFixed());
}

TEST_F(ImageEngineTest, ReusedScaleAppliesToTheNextPart) {
    auto left = engine->createStoreBlock(Side::Left);
    auto right = engine->createStoreBlock(Side::Right);
    ASSERT_TRUE(engine->loadOriginal(*left, writePart("left.raw", numbered(500, 100, 8, 11811))));
    ImageRecord working;
    ASSERT_TRUE(engine->makeWorkingCopy(*left, working, false));
    EXPECT_DOUBLE_EQ(engine->workScale(), 5.0);
    // 150 dpi would give a scale of 2.5 on its own; reused, it gets 5.
    ASSERT_TRUE(engine->loadOriginal(*right, writePart("right.raw", numbered(252, 98, 8, 5906))));
    ASSERT_TRUE(engine->makeWorkingCopy(*right, working, true));
    EXPECT_EQ(working.header().width, 50);
    EXPECT_EQ(working.header().height, 20);
    EXPECT_DOUBLE_EQ(engine->workScale(), 5.0);

    ImageRecord none;
    auto empty = engine->createStoreBlock(Side::Left);
    EXPECT_FALSE(engine->makeWorkingCopy(*empty, none, false));
}

ImageRecord workingOf(std::int32_t width, std::int32_t height) {
    TestImage image = TestImage::make(width, height, 8);
    return std::move(*ImageRecord::allocate(image.block, image.pixels.size()));
}

TEST_F(ImageEngineTest, FitToPaneAndScreenSize) {
    struct Case {
        std::int32_t width, height;
        std::uint16_t panePercent;
        double viewScale;
        ScreenSize shown;
    };
    const Case cases[] = {
        {255, 351, 100, 1.0, {255, 351}},
        {510, 351, 100, 2.0, {255, 176}},
        {510, 351, 200, 1.0, {510, 351}},
        {100, 702, 100, 2.0, {50, 351}},
        {256, 10, 100, 256.0 / 255, {255, 10}},
        // Larger panes enlarge a copy that fits, up to the panes' own factor.
        {255, 351, 200, 0.5, {510, 702}},
        {496, 20, 200, 496.0 / 510, {510, 21}},
        {100, 100, 150, 1 / 1.5, {150, 150}},
    };
    for (const Case& c : cases) {
        engine->setPaneFactor(c.panePercent);
        const ScreenSize shown = engine->fitToPane(workingOf(c.width, c.height), false);
        EXPECT_DOUBLE_EQ(engine->viewScale(), c.viewScale) << c.width << "x" << c.height;
        EXPECT_DOUBLE_EQ(engine->fitScale(), c.viewScale);
        EXPECT_EQ(shown, c.shown) << c.width << "x" << c.height;
    }
    // Reusing the scale keeps it, whatever the copy's size.
    engine->setPaneFactor(100);
    engine->fitToPane(workingOf(510, 351), false);
    EXPECT_EQ(engine->fitToPane(workingOf(100, 100), true), (ScreenSize{50, 50}));
    EXPECT_DOUBLE_EQ(engine->viewScale(), 2.0);
}

TEST_F(ImageEngineTest, ZoomReturnsThePreviousFactor) {
    engine->setPaneFactor(100);
    engine->fitToPane(workingOf(510, 351), false);
    ASSERT_DOUBLE_EQ(engine->fitScale(), 2.0);
    EXPECT_DOUBLE_EQ(engine->setZoom(200), 1.0);
    EXPECT_DOUBLE_EQ(engine->viewScale(), 1.0);
    EXPECT_DOUBLE_EQ(engine->setZoom(100), 2.0);
    EXPECT_DOUBLE_EQ(engine->viewScale(), 2.0);
    EXPECT_DOUBLE_EQ(engine->setZoom(800), 1.0);
    EXPECT_DOUBLE_EQ(engine->viewScale(), 0.25);
    EXPECT_DOUBLE_EQ(engine->setZoom(125), 8.0);
    EXPECT_DOUBLE_EQ(engine->viewScale(), 1.6);
}

TEST_F(ImageEngineTest, AnchorAndAttachAtTheSeam) {
    engine->setScales(1.0, 2.0, 2.0);
    const ImageRecord working = workingOf(500, 300); // shown 250 x 150
    struct Case {
        Side side;
        PartView view;
        bool attach;
        Point viewOrigin;
    };
    const Case cases[] = {
        {Side::Left, {false, 0, 0, 5, 0}, false, {0, 5}},
        {Side::Left, {false, 0, 0, 5, -7}, false, {-7, 5}},
        {Side::Right, {false, 0, 0, -3, 9}, false, {9, -3}},
        {Side::Left, {false, 0, 0, 0, 0}, true, {0, 0}},
        {Side::Left, {false, 0, 0, 0, -7}, true, {-7, 0}},
        {Side::Right, {false, 0, 0, 2, 4}, true, {4, 2}},
    };
    for (const Case& c : cases) {
        PaneGeometry pane;
        pane.paneWidth = 250;
        pane.paneHeight = 351;
        pane.paneOrigin = {99, 99};
        if (c.attach)
            engine->attachPart(c.side, pane, working, c.view);
        else
            engine->anchorPart(c.side, pane, working, c.view);
        EXPECT_EQ(pane.shownWidth, 250);
        EXPECT_EQ(pane.shownHeight, 150);
        EXPECT_EQ(pane.viewOrigin, c.viewOrigin)
            << sideCode(c.side) << " " << c.view.offsetX << " " << c.attach;
        const Point expectedOrigin = c.side == Side::Left ? Point{0, 0} : Point{99, 99};
        EXPECT_EQ(pane.paneOrigin, expectedOrigin);
    }
    // A pane narrower than the part: the left part's right edge sits at the seam.
    PaneGeometry narrow;
    narrow.paneWidth = 200;
    engine->anchorPart(Side::Left, narrow, working, PartView{});
    EXPECT_EQ(narrow.viewOrigin.x, 50);
}

TEST_F(ImageEngineTest, CropOriginalScalesTheRectangle) {
    auto block = engine->createStoreBlock(Side::Left);
    const TestImage image = numbered(10, 8, 8, 2362);
    ASSERT_TRUE(engine->loadOriginal(*block, writePart("part.raw", image)));
    engine->setScales(2.0, 1.0, 1.0);
    EditEntry entry;
    entry.left = 1;
    entry.top = 1;
    entry.right = 3;
    entry.bottom = 2;
    ASSERT_TRUE(engine->cropOriginal(*block, entry));
    Picture expected;
    for (std::int32_t y = 2; y < 4; ++y) {
        expected.emplace_back();
        for (std::int32_t x = 2; x < 6; ++x)
            expected.back().push_back(image.get(x, y));
    }
    EXPECT_EQ(test::pictureOf(block->view().headerBlock(), block->view().pixels()), expected);
    EXPECT_EQ(block->view().layout(), RecordLayout::single);
}

TEST_F(ImageEngineTest, RotateOriginalByTheRecordedAngle) {
    auto block = engine->createStoreBlock(Side::Left);
    const TestImage image = TestImage::fromRows(24, {{1, 2, 3}, {4, 5, 6}});
    TestImage stored = image;
    stored.block.header.xPelsPerMeter = 2362;
    ASSERT_TRUE(engine->loadOriginal(*block, writePart("part.raw", stored)));

    EditEntry tiny;
    tiny.angle = 0.00008; // 0.0046 degrees: upright to a hundredth
    ASSERT_TRUE(engine->rotateOriginal(*block, tiny));
    EXPECT_EQ(test::pictureOf(block->view().headerBlock(), block->view().pixels()), image.picture());

    EditEntry half;
    half.angle = std::numbers::pi;
    ASSERT_TRUE(engine->rotateOriginal(*block, half));
    EXPECT_EQ(test::pictureOf(block->view().headerBlock(), block->view().pixels()),
              (Picture{{6, 5, 4}, {3, 2, 1}}));
    EXPECT_EQ(block->view().header().sizeImage, 24u);
    EXPECT_EQ(block->view().header().size, 40u);

    ASSERT_TRUE(engine->rotateOriginalDegrees(*block, 90));
    EXPECT_EQ(test::pictureOf(block->view().headerBlock(), block->view().pixels()),
              (Picture{{3, 6}, {2, 5}, {1, 4}}));

    // A general angle takes the turned frame rotatedSize describes.
    EditEntry skew;
    skew.angle = 0.5; // 28.65 degrees
    ASSERT_TRUE(engine->rotateOriginal(*block, skew));
    const auto frame = PixelTools::rotatedDimensions(2, 3, 28.65);
    EXPECT_EQ(block->view().header().width, frame.width);
    EXPECT_EQ(block->view().header().height, frame.height);
}

// A full-resolution grey part with a dark, anti-aliased line 4 pixels thick through its centre,
// tilted counter-clockwise by `degrees` as a skewed scan is.
TestImage tiltedLine(std::int32_t width, std::int32_t height, double degrees) {
    TestImage image = TestImage::make(width, height, 8, 23622);
    const double a = degrees * std::numbers::pi / 180;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            // Distance from the line through the centre, picture rows counted downwards.
            const double d = (x - width / 2.0) * std::sin(a) + (y - height / 2.0) * std::cos(a);
            const double ink = std::clamp(2.5 - std::fabs(d), 0.0, 1.0);
            image.set(x, y, static_cast<std::uint32_t>(std::lround(255 - 200 * ink)));
        }
    return image;
}

// The line's tilt in degrees, counter-clockwise positive: a least-squares fit through the ink's
// centroid in each column of the middle 70 %.
double measuredTilt(const Picture& picture) {
    const std::size_t width = picture.front().size();
    double sx = 0, sy = 0, sxx = 0, sxy = 0, n = 0;
    for (std::size_t x = width * 15 / 100; x < width * 85 / 100; ++x) {
        double ink = 0, moment = 0;
        for (std::size_t y = 0; y < picture.size(); ++y) {
            const double v = 255.0 - picture[y][x];
            ink += v;
            moment += v * static_cast<double>(y);
        }
        if (ink <= 0) continue;
        const double cy = moment / ink;
        sx += static_cast<double>(x);
        sy += cy;
        sxx += static_cast<double>(x) * static_cast<double>(x);
        sxy += static_cast<double>(x) * cy;
        ++n;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return -std::atan(slope) * 180 / std::numbers::pi;
}

TEST_F(ImageEngineTest, AFramesAngleStraightensTheOriginalToAHundredthOfADegree) {
    // Typical scan skews, both ways; whole degrees would leave up to half a degree of tilt and
    // turns under a few degrees would be lost.
    for (const double degrees : {0.37, -0.37, 1.5, -2.63, 4.93, -4.93, 0.05}) {
        const TestImage part = tiltedLine(3000, 300, degrees);
        ASSERT_NEAR(measuredTilt(part.picture()), degrees, 0.002) << "the measure itself";
        auto block = engine->createStoreBlock(Side::Left);
        ASSERT_TRUE(engine->loadOriginal(*block, writePart("skewed.raw", part)));
        EditEntry frame;
        frame.angle = degrees * std::numbers::pi / 180;
        ASSERT_TRUE(engine->rotateOriginal(*block, frame));
        const Picture turned = test::pictureOf(block->view().headerBlock(), block->view().pixels());
        EXPECT_NEAR(measuredTilt(turned), 0.0, 0.005) << degrees << " degrees";
    }
}

TEST_F(ImageEngineTest, LargeEditedOriginalsStayInTheBackingFile) {
    auto block = engine->createStoreBlock(Side::Right);
    const TestImage image = numbered(700, 400, 24, 11811);
    ASSERT_TRUE(engine->loadOriginal(*block, writePart("part.raw", image)));
    ASSERT_EQ(block->kind(), StoreKind::fileMapped);
    ASSERT_TRUE(engine->rotateOriginalDegrees(*block, 180));
    EXPECT_EQ(block->kind(), StoreKind::fileMapped);
    EXPECT_EQ(fs::file_size(block->path()), 1064 + 700 * 3 * 400u);
    EXPECT_FALSE(fs::exists(fs::path(block->path()) += ".new"));
    EXPECT_EQ(test::pictureOf(block->view().headerBlock(), block->view().pixels())[0][0],
              image.get(699, 399));

    // A small crop of it moves to the heap and the backing file goes.
    EditEntry entry;
    entry.right = 10;
    entry.bottom = 10;
    engine->setScales(1.0, 1.0, 1.0);
    ASSERT_TRUE(engine->cropOriginal(*block, entry));
    EXPECT_EQ(block->kind(), StoreKind::heap);
    EXPECT_FALSE(fs::exists(block->path()));
    // The next large load opens the backing file again.
    ASSERT_TRUE(engine->loadOriginal(*block, writePart("part.raw", image)));
    EXPECT_EQ(block->kind(), StoreKind::fileMapped);
}

TEST_F(ImageEngineTest, WithoutABackingPathLargeOriginalsStayInMemory) {
    // A block for parts that are only read: no file in the working folder nor beside the program,
    // also when an edit replaces the original.
    ImageStoreBlock block{fs::path{}};
    EXPECT_FALSE(block.backingFileOpen());
    const TestImage image = numbered(700, 400, 24, 11811);
    ASSERT_TRUE(engine->loadOriginal(block, writePart("part.raw", image)));
    EXPECT_EQ(block.kind(), StoreKind::virtualMemory);
    EXPECT_EQ(test::pictureOf(block.view().headerBlock(), block.view().pixels()), image.picture());
    ASSERT_TRUE(engine->rotateOriginalDegrees(block, 180));
    EXPECT_EQ(block.kind(), StoreKind::virtualMemory);
    EXPECT_EQ(test::pictureOf(block.view().headerBlock(), block.view().pixels())[0][0], image.get(699, 399));
    EXPECT_FALSE(fs::exists(".new"));
    // The working folder holds the part written above and nothing else.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder->path()), fs::directory_iterator()), 1);
}

TEST(PartViews, SwapKeepsOnlyTheVerticalOffsetsCrossed) {
    PartView left{true, 1, 2, 30, -4};
    PartView right{false, 5, 6, -70, 8};
    ImageEngine::swapPartViews(left, right);
    EXPECT_EQ(left, (PartView{false, 0, 0, -70, 0}));
    EXPECT_EQ(right, (PartView{false, 0, 0, 30, 0}));
}

void writeBytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<unsigned char> bmpStart(std::uint32_t infoSize) {
    std::vector<unsigned char> bytes(14 + infoSize, 0);
    bytes[0] = 'B';
    bytes[1] = 'M';
    for (int k = 0; k < 4; ++k)
        bytes[14 + k] = static_cast<unsigned char>(infoSize >> (8 * k));
    return bytes;
}

TEST(BmpPalette, ReadFromWhereTheFilesOwnHeaderEnds) {
    auto folder = PrivateFolder::create(temporaryRoot(), "palette-test-");
    ASSERT_TRUE(folder);
    struct Case {
        std::uint32_t infoSize;
        std::size_t entrySize;
    };
    for (const Case c : {Case{12, 3}, Case{40, 4}, Case{108, 4}, Case{124, 4}}) {
        std::vector<unsigned char> bytes = bmpStart(c.infoSize);
        for (int i = 0; i < 256; ++i) {
            bytes.push_back(static_cast<unsigned char>(i));       // blue
            bytes.push_back(static_cast<unsigned char>(255 - i)); // green
            bytes.push_back(7);                                   // red
            if (c.entrySize == 4) bytes.push_back(0xEE);
        }
        const fs::path file = folder->path() / "part.bmp";
        writeBytes(file, bytes);
        HeaderBlock header{};
        header.header.bitCount = 8;
        ASSERT_TRUE(rereadBmpPalette(file, header)) << c.infoSize;
        EXPECT_EQ(header.palette[0], (PaletteEntry{0, 255, 7, 0})) << c.infoSize;
        EXPECT_EQ(header.palette[200], (PaletteEntry{200, 55, 7, 0})) << c.infoSize;
        EXPECT_EQ(header.palette[255], (PaletteEntry{255, 0, 7, 0})) << c.infoSize;
    }
}

TEST(BmpPalette, ClrUsedEntriesOnlyAndBadFilesLeaveThePalette) {
    auto folder = PrivateFolder::create(temporaryRoot(), "palette-test-");
    ASSERT_TRUE(folder);
    const fs::path file = folder->path() / "part.bmp";
    std::vector<unsigned char> bytes = bmpStart(40);
    for (unsigned char v : {1, 2, 3, 0, 4, 5, 6, 0})
        bytes.push_back(v);
    writeBytes(file, bytes);

    HeaderBlock header{};
    header.header.bitCount = 8;
    header.header.clrUsed = 2;
    header.palette[2] = {9, 9, 9, 0};
    ASSERT_TRUE(rereadBmpPalette(file, header));
    EXPECT_EQ(header.palette[1], (PaletteEntry{4, 5, 6, 0}));
    EXPECT_EQ(header.palette[2], (PaletteEntry{9, 9, 9, 0}));

    header.header.clrUsed = 0; // 256 entries, but the file ends after two
    HeaderBlock before = header;
    EXPECT_FALSE(rereadBmpPalette(file, header));
    EXPECT_EQ(std::memcmp(&before, &header, sizeof header), 0);

    std::vector<unsigned char> notBmp = bytes;
    notBmp[0] = 'X';
    writeBytes(file, notBmp);
    EXPECT_FALSE(rereadBmpPalette(file, header));
    std::vector<unsigned char> hugeHeader = bmpStart(40);
    hugeHeader[17] = 0x7F;
    writeBytes(file, hugeHeader);
    EXPECT_FALSE(rereadBmpPalette(file, header));
    header.header.bitCount = 24;
    EXPECT_FALSE(rereadBmpPalette(file, header));
    EXPECT_FALSE(rereadBmpPalette(folder->path() / "missing.bmp", header));
}

} // namespace
} // namespace tandemscan
