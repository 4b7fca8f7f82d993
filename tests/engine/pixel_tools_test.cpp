#include "engine/pixel_tools.h"
#include "test_images.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tandemscan {
namespace {

using test::Picture;
using test::TestImage;

ImageHeader headerOf(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                     std::uint16_t planes = 1) {
    ImageHeader h{};
    h.size = 40;
    h.width = width;
    h.height = height;
    h.planes = planes;
    h.bitCount = bitCount;
    return h;
}

TEST(RowStride, PaddedToFourBytesPerDepth) {
    struct Case {
        std::int32_t width;
        std::uint16_t bitCount;
        std::uint32_t stride;
    };
    const Case cases[] = {
        {1, 1, 4},   {32, 1, 4}, {33, 1, 8},  {1, 4, 4},  {8, 4, 4},  {9, 4, 8},   {1, 8, 4},   {4, 8, 4},
        {5, 8, 8},   {1, 16, 4}, {3, 16, 8},  {2, 16, 4}, {1, 24, 4}, {3, 24, 12}, {5, 24, 16}, {1, 32, 4},
        {3, 32, 12}, {1, 48, 8}, {2, 48, 12}, {7, 2, 0},  {7, 12, 0}, {0, 8, 0},   {-4, 24, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PixelTools::rowStride(c.width, c.bitCount), c.stride) << c.width << " px at " << c.bitCount;
}

TEST(ImageDataSize, CoversTheStoredDepthsOnly) {
    struct Case {
        ImageHeader header;
        std::uint32_t size;
    };
    const Case cases[] = {
        {headerOf(3, 2, 24), 24},        {headerOf(3, 2, 24, 3), 0}, {headerOf(3, 2, 16), 16},
        {headerOf(33, 10, 1), 80},       {headerOf(3, 2, 32), 0},    {headerOf(3, 2, 48), 0},
        {headerOf(3, 0, 8), 0},          {headerOf(3, -2, 8), 0},    {headerOf(2480, 3508, 24), 7440 * 3508},
        {headerOf(70000, 70000, 24), 0}, // larger than 32 bits can say
    };
    for (const Case& c : cases)
        EXPECT_EQ(PixelTools::imageDataSize(c.header), c.size)
            << c.header.width << "x" << c.header.height << " at " << c.header.bitCount;
}

TEST(ImageDataSizeFor, OtherSizeWithTheSameDepth) {
    const ImageHeader h24 = headerOf(1, 1, 24), h32 = headerOf(1, 1, 32), h48 = headerOf(1, 1, 48);
    EXPECT_EQ(PixelTools::imageDataSizeFor(&h24, 3, 2), 24u);
    EXPECT_EQ(PixelTools::imageDataSizeFor(&h24, 3, -2), 24u);
    EXPECT_EQ(PixelTools::imageDataSizeFor(&h32, 3, 2), 24u);
    EXPECT_EQ(PixelTools::imageDataSizeFor(&h48, 3, 2), 40u);
    EXPECT_EQ(PixelTools::imageDataSizeFor(nullptr, 3, 2), 0u);
}

TEST(IsGrayPalette, LooksAtTheUsedEntriesOnly) {
    TestImage eight = TestImage::make(2, 2, 8);
    EXPECT_TRUE(PixelTools::isGrayPalette(eight.block));

    eight.block.palette[2] = {10, 20, 30, 0};
    EXPECT_FALSE(PixelTools::isGrayPalette(eight.block)) << "clrUsed 0 means all 256 entries";
    eight.block.header.clrUsed = 2;
    EXPECT_TRUE(PixelTools::isGrayPalette(eight.block)) << "entry 2 is not used";
    eight.block.header.clrUsed = 3;
    EXPECT_FALSE(PixelTools::isGrayPalette(eight.block));
    eight.block.palette[2] = {10, 10, 11, 0};
    EXPECT_FALSE(PixelTools::isGrayPalette(eight.block)) << "red differs";
    eight.block.header.clrUsed = 1000; // a hostile count reads no further than the palette
    eight.block.palette[2] = {9, 9, 9, 0};
    EXPECT_TRUE(PixelTools::isGrayPalette(eight.block));

    TestImage twentyFour = TestImage::make(2, 2, 24);
    EXPECT_FALSE(PixelTools::isGrayPalette(twentyFour.block));
    EXPECT_TRUE(PixelTools::isGrayPalette(twentyFour.block, PixelTools::DepthCheck::ignored));
    TestImage one = TestImage::make(2, 2, 1);
    EXPECT_FALSE(PixelTools::isGrayPalette(one.block));
}

TEST(RasterType, FromDepthAndPalette) {
    TestImage gray = TestImage::make(1, 1, 8);
    TestImage colour = TestImage::make(1, 1, 8);
    colour.block.palette[7] = {0, 0, 255, 0};
    EXPECT_EQ(PixelTools::rasterType(TestImage::make(1, 1, 1).block), RasterType::monochrome);
    EXPECT_EQ(PixelTools::rasterType(TestImage::make(1, 1, 4).block), RasterType::palette16);
    EXPECT_EQ(PixelTools::rasterType(gray.block), RasterType::gray);
    EXPECT_EQ(PixelTools::rasterType(colour.block), RasterType::palette256);
    EXPECT_EQ(PixelTools::rasterType(TestImage::make(1, 1, 24).block), RasterType::trueColor);
    EXPECT_EQ(PixelTools::rasterType(TestImage::make(1, 1, 16).block), RasterType::trueColor);
}

TEST(ExpandToTrueColor, CopiesPaletteColoursIntoEachPixel) {
    TestImage image = TestImage::fromRows(8, {{0, 1, 2}, {2, 2, 0}});
    image.block.palette[0] = {1, 2, 3, 0};
    image.block.palette[1] = {4, 5, 6, 0};
    image.block.palette[2] = {7, 8, 9, 0};
    image.block.header.xPelsPerMeter = 11811;
    image.block.header.yPelsPerMeter = 11812;
    image.block.header.clrUsed = 3;
    image.block.header.clrImportant = 3;

    auto expanded = PixelTools::expandToTrueColor(image.block, image.pixels);
    ASSERT_TRUE(expanded);
    const ImageHeader& h = expanded->header();
    EXPECT_EQ(h.size, 40u);
    EXPECT_EQ(h.width, 3);
    EXPECT_EQ(h.height, 2);
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bitCount, 24);
    EXPECT_EQ(h.sizeImage, 24u);
    EXPECT_EQ(h.xPelsPerMeter, 11811);
    EXPECT_EQ(h.yPelsPerMeter, 11812);
    EXPECT_EQ(h.clrUsed, 0u);
    EXPECT_EQ(h.clrImportant, 0u);
    EXPECT_EQ(expanded->palette()[0], (PaletteEntry{0, 0, 0, 0}));
    const Picture expected = {{0x030201, 0x060504, 0x090807}, {0x090807, 0x090807, 0x030201}};
    EXPECT_EQ(test::pictureOf(*expanded), expected);
    ASSERT_EQ(expanded->pixels().size(), 24u);
    EXPECT_EQ(expanded->pixels()[9], 0) << "row padding is zero";
}

TEST(ExpandToTrueColor, RefusesOtherDepthsAndShortBlocks) {
    for (std::uint16_t depth : {1, 4, 16, 24}) {
        TestImage image = TestImage::make(3, 2, depth);
        ImageRecord record = *ImageRecord::allocate(image.block, image.pixels.size());
        const std::uint8_t* before = record.pixels().data();
        EXPECT_FALSE(PixelTools::expandToTrueColor(record)) << depth;
        EXPECT_EQ(record.pixels().data(), before);
        EXPECT_EQ(record.header().bitCount, depth);
    }
    TestImage image = TestImage::make(3, 2, 8);
    EXPECT_FALSE(PixelTools::expandToTrueColor(image.block, std::span(image.pixels).first(4)));
    ImageRecord empty;
    EXPECT_FALSE(PixelTools::expandToTrueColor(empty));
}

TEST(ExpandToTrueColor, ReplacesARecord) {
    TestImage image = TestImage::fromRows(8, {{255, 0}});
    ImageRecord record = *ImageRecord::allocate(image.block, image.pixels.size(), RecordLayout::single);
    std::memcpy(record.pixels().data(), image.pixels.data(), image.pixels.size());
    ASSERT_TRUE(PixelTools::expandToTrueColor(record));
    EXPECT_EQ(record.header().bitCount, 24);
    EXPECT_EQ(test::pictureOf(record), (Picture{{0xFFFFFF, 0}}));
}

TEST(InvertMonochrome, FlipsPixelsAndClearsTheTail) {
    TestImage image = TestImage::fromRows(1, {{1, 0, 1}, {0, 0, 0}});
    image.pixels[0] |= 0x1F; // stray bits after the last pixel
    image.pixels[3] = 0xAA;  // and in the padding
    ASSERT_TRUE(PixelTools::invertMonochrome(image.block.header, image.pixels));
    EXPECT_EQ(image.storedRow(0), (std::vector<std::uint8_t>{0xE0, 0, 0, 0}));
    EXPECT_EQ(image.storedRow(1), (std::vector<std::uint8_t>{0x40, 0, 0, 0}));
}

TEST(InvertMonochrome, TwiceGivesBackTheOriginal) {
    for (std::int32_t width : {1, 7, 8, 9, 33}) {
        TestImage image = TestImage::make(width, 3, 1);
        for (std::int32_t y = 0; y < 3; ++y)
            for (std::int32_t x = 0; x < width; ++x)
                image.set(x, y, (x * 7 + y * 3) % 5 < 2);
        const std::vector<std::uint8_t> original = image.pixels;
        ASSERT_TRUE(PixelTools::invertMonochrome(image.block.header, image.pixels));
        EXPECT_NE(image.pixels, original);
        ASSERT_TRUE(PixelTools::invertMonochrome(image.block.header, image.pixels));
        EXPECT_EQ(image.pixels, original) << width;
    }
}

TEST(InvertMonochrome, LeavesOtherDepthsAndShortBlocksAlone) {
    TestImage eight = TestImage::fromRows(8, {{1, 2}});
    const auto before = eight.pixels;
    EXPECT_FALSE(PixelTools::invertMonochrome(eight.block.header, eight.pixels));
    EXPECT_EQ(eight.pixels, before);
    TestImage one = TestImage::make(40, 2, 1);
    EXPECT_FALSE(PixelTools::invertMonochrome(one.block.header, std::span(one.pixels).first(8)));
}

TEST(NearestWhiteIndex, SmallestDistanceLowestIndexOnTies) {
    TestImage image = TestImage::make(1, 1, 8);
    image.block.header.clrUsed = 4;
    image.block.palette[0] = {0, 0, 0, 0};
    image.block.palette[1] = {250, 255, 255, 0};
    image.block.palette[2] = {255, 250, 255, 0};
    image.block.palette[3] = {255, 255, 254, 0};
    EXPECT_EQ(PixelTools::nearestWhiteIndex(image.block), 3);
    image.block.palette[3] = {0, 0, 0, 0};
    EXPECT_EQ(PixelTools::nearestWhiteIndex(image.block), 1);
    image.block.header.clrUsed = 1;
    EXPECT_EQ(PixelTools::nearestWhiteIndex(image.block), 0);
}

TEST(ImageRecord, SingleBlockKeepsPixelsAtByte1064) {
    TestImage image = TestImage::make(3, 2, 24);
    auto record = ImageRecord::allocate(image.block, 24, RecordLayout::single);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->layout(), RecordLayout::single);
    ASSERT_EQ(record->singleBlock().size(), 1064u + 24u);
    EXPECT_EQ(record->pixels().data(), record->singleBlock().data() + 1064);
    EXPECT_EQ(reinterpret_cast<std::uint8_t*>(&record->headerBlock()), record->singleBlock().data());
    EXPECT_EQ(record->header().width, 3);
    EXPECT_EQ(record->pixelKind(), StoreKind::heap);
}

TEST(ImageRecord, ApartBlocksCloneAndMove) {
    TestImage image = TestImage::fromRows(24, {{0x102030, 0x405060}});
    auto record = ImageRecord::allocate(image.block, image.pixels.size());
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->singleBlock().empty());
    std::memcpy(record->pixels().data(), image.pixels.data(), image.pixels.size());

    ImageRecord copy = record->clone(RecordLayout::single);
    EXPECT_EQ(test::pictureOf(copy), image.picture());
    ImageRecord moved = std::move(copy);
    EXPECT_TRUE(copy.empty());
    EXPECT_EQ(test::pictureOf(moved), image.picture());
    moved.reset();
    EXPECT_TRUE(moved.empty());
    EXPECT_TRUE(moved.pixels().empty());
}

TEST(ImageRecord, RejectsBlocksTooSmallForAHeader) {
    EXPECT_FALSE(ImageRecord::fromSingleBlock(*MemoryBlock::onHeap(1063)));
    EXPECT_FALSE(ImageRecord::fromSingleBlock(MemoryBlock{}));
    EXPECT_FALSE(ImageRecord::fromBlocks(*MemoryBlock::onHeap(40), *MemoryBlock::onHeap(8)));
    EXPECT_TRUE(ImageRecord::fromSingleBlock(*MemoryBlock::onHeap(1064)));
}

TEST(MemoryBlock, EveryKindStartsZeroAndReleases) {
    auto heap = MemoryBlock::onHeap(100);
    auto anonymous = MemoryBlock::virtualMemory(8u << 20, true);
    ASSERT_TRUE(heap && anonymous);
    EXPECT_EQ(heap->kind(), StoreKind::heap);
    EXPECT_EQ(anonymous->kind(), StoreKind::virtualMemory);
    EXPECT_EQ(anonymous->size(), 8u << 20);
    EXPECT_EQ(heap->bytes()[99], 0);
    EXPECT_EQ(anonymous->bytes()[(8u << 20) - 1], 0);
    anonymous->reset();
    EXPECT_TRUE(anonymous->empty());

    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        auto mapped = MemoryBlock::mapFile(fileno(file), 5000);
        ASSERT_TRUE(mapped);
        EXPECT_EQ(mapped->kind(), StoreKind::fileMapped);
        mapped->bytes()[4999] = 7;
        // Mapping again truncates: the old contents do not leak into a new image.
        auto again = MemoryBlock::mapFile(fileno(file), 5000);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->bytes()[4999], 0);
    }
    std::fclose(file);
    EXPECT_FALSE(MemoryBlock::mapFile(-1, 10));
}

int allocatorMissing(int, int, off_t, off_t) {
    errno = EOPNOTSUPP;
    return -1;
}
int diskFull(int, int, off_t, off_t) {
    errno = ENOSPC;
    return -1;
}

// The disk behind a shared mapping is claimed before the first write, by fallocate or, where the
// file system has none, by writing the blocks; a disk too small is a refusal, never a sparse file.
TEST(MemoryBlock, FileSpaceIsReservedOrRefused) {
    struct Case {
        const char* name;
        FileAllocator allocate;
        rlim_t fileSizeLimit; // what the "disk" holds; RLIM_INFINITY: all of it
        bool reserved;
    };
    constexpr std::size_t kBytes = 300000;
    const Case cases[] = {
        {"fallocate", nullptr, RLIM_INFINITY, true},
        {"no fallocate: blocks written", allocatorMissing, RLIM_INFINITY, true},
        {"no fallocate, disk too small", allocatorMissing, 100000, false},
        {"disk full", diskFull, RLIM_INFINITY, false},
    };
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        const int fd = fileno(file);
        ASSERT_EQ(ftruncate(fd, kBytes), 0);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limited = saved;
        limited.rlim_cur = c.fileSizeLimit;
        setrlimit(RLIMIT_FSIZE, &limited);
        const bool reserved = reserveFileSpace(fd, kBytes, c.allocate);
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(reserved, c.reserved);
        struct stat status {};
        ASSERT_EQ(fstat(fd, &status), 0);
        EXPECT_EQ(status.st_size, static_cast<off_t>(kBytes));
        if (c.reserved) {
            EXPECT_GE(static_cast<std::size_t>(status.st_blocks) * 512, kBytes);
        }
        std::fclose(file);
    }
    std::signal(SIGXFSZ, oldHandler);
}

} // namespace
} // namespace tandemscan
