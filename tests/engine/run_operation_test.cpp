#include "engine/image_adjustment.h"
#include "engine/pixel_tools.h"
#include "engine/run_operation.h"
#include "rasterkit.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

using namespace tandemscan;

namespace {

// A single-allocation record of the given depth with a recognisable pixel pattern.
std::vector<std::uint8_t> makeBlock(int width, int height, int bitCount, bool grey = true) {
    HeaderBlock header{};
    header.header = {40, width, height, 1, static_cast<std::uint16_t>(bitCount), 0, 0, 3937, 3937, 0, 0};
    const std::size_t size = PixelTools::imageDataSize(header.header);
    std::vector<std::uint8_t> block(kHeaderBlockSize + size);
    if (bitCount <= 8) {
        const int colours = 1 << bitCount;
        for (int i = 0; i < colours; ++i) {
            const auto v = static_cast<std::uint8_t>(i * 255 / (colours - 1));
            header.palette[i] =
                grey ? PaletteEntry{v, v, v, 0} : PaletteEntry{v, 0, static_cast<std::uint8_t>(255 - v), 0};
        }
    }
    std::memcpy(block.data(), &header, kHeaderBlockSize);
    for (std::size_t i = 0; i < size; ++i)
        block[kHeaderBlockSize + i] = static_cast<std::uint8_t>(i * 7 + 3);
    return block;
}

const HeaderBlock& headerOf(const std::vector<std::uint8_t>& block) {
    return *reinterpret_cast<const HeaderBlock*>(block.data());
}

std::span<const std::uint8_t> pixelsOf(const std::vector<std::uint8_t>& block) {
    return std::span<const std::uint8_t>(block).subspan(kHeaderBlockSize);
}

} // namespace

TEST(RunOperation, ImageTypesFromTheHeader) {
    struct Case {
        int bitCount;
        bool grey;
        int type;
    } cases[] = {{1, true, RK_TYPE_1BIT},
                 {4, true, RK_TYPE_4BIT},
                 {8, true, RK_TYPE_GREY},
                 {8, false, RK_TYPE_COLOR8},
                 {16, true, RK_TYPE_16BIT},
                 {24, true, RK_TYPE_RGB24},
                 {32, true, 0}};
    for (const auto& c : cases) {
        const auto block = makeBlock(5, 2, c.bitCount, c.grey);
        EXPECT_EQ(rasterkitImageType(headerOf(block)), c.type) << c.bitCount;
    }
}

TEST(RunOperation, InvertTwiceGivesBackEveryByteInPlace) {
    for (int bitCount : {8, 24}) {
        auto block = makeBlock(7, 3, bitCount);
        const auto original = block;
        OperationRunner runner;
        OperationFailure failure;
        for (int pass = 0; pass < 2; ++pass) {
            // Source and destination are the same single block, as the preview does it.
            const HeaderBlock header = headerOf(block);
            ASSERT_TRUE(runner.run(RK_OP_INVERT, nullptr, header, pixelsOf(block), block, failure))
                << failure.text;
            if (pass == 0 && bitCount == 24) {
                EXPECT_EQ(block[kHeaderBlockSize],
                          static_cast<std::uint8_t>(255 - original[kHeaderBlockSize]));
            }
        }
        // Pixels, size, width and resolution come back; the padding may have been cleared.
        const auto& h = headerOf(block).header;
        EXPECT_EQ(h.width, 7);
        EXPECT_EQ(h.xPelsPerMeter, 3937);
        EXPECT_EQ(h.sizeImage, PixelTools::imageDataSize(h));
        const std::size_t stride = PixelTools::imageDataSize(h) / 3;
        const std::size_t used = static_cast<std::size_t>(7 * bitCount / 8);
        for (int y = 0; y < 3; ++y)
            for (std::size_t x = 0; x < used; ++x) {
                const std::size_t at = kHeaderBlockSize + y * stride + x;
                ASSERT_EQ(block[at], original[at]) << bitCount << " " << y << " " << x;
            }
    }
}

TEST(RunOperation, RefusalsComeBackAsMessages) {
    OperationRunner runner;
    OperationFailure failure;
    auto wide = makeBlock(4, 4, 32);
    EXPECT_FALSE(runner.run(RK_OP_INVERT, nullptr, headerOf(wide), pixelsOf(wide), wide, failure));
    EXPECT_EQ(failure.text, "This image format isn't supported !");

    // A destination too small for the result is refused before anything is written.
    auto source = makeBlock(8, 8, 24);
    std::vector<std::uint8_t> small(kHeaderBlockSize + 10, 0xAB);
    EXPECT_FALSE(runner.run(RK_OP_INVERT, nullptr, headerOf(source), pixelsOf(source), small, failure));
    EXPECT_EQ(small[0], 0xAB);

    // An operation index outside the table is the library's refusal, with its message.
    EXPECT_FALSE(runner.run(99, nullptr, headerOf(source), pixelsOf(source), source, failure));
    EXPECT_FALSE(failure.text.empty());
}

TEST(ImageAdjustmentTest, SliderArithmetic) {
    struct Case {
        int x, left, right, value;
    } cases[] = {
        {17, 10, 279, -127}, // the leftmost hit position, hit.left + 7
        {279, 10, 279, 127}, // 128 at the far right, clamped
        {0, 10, 279, -127},  // left of the track
        {144, 10, 279, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AdjustmentSliders::valueAt(c.x, c.left, c.right), c.value) << c.x;
    EXPECT_EQ(AdjustmentSliders::saturationFrom(127), 100);
    EXPECT_EQ(AdjustmentSliders::saturationFrom(-127), -100);
    EXPECT_EQ(AdjustmentSliders::thumbX(20, 254, -127, -127, 127), 22);
    EXPECT_EQ(AdjustmentSliders::thumbX(20, 254, 127, -127, 127), 272);
    EXPECT_EQ(AdjustmentSliders::thumbX(20, 204, 0, -100, 100), 122);
}

TEST(ImageAdjustmentTest, PercentagesTruncateTowardZero) {
    struct Case {
        int value, percent;
    } cases[] = {{127, 100}, {-127, -100}, {1, 0}, {-2, -1}, {64, 50}};
    for (const auto& c : cases) {
        EXPECT_EQ(toneParams({c.value, 0, 0}).brightness, c.percent) << c.value;
        EXPECT_EQ(toneParams({0, c.value, 0}).contrast, c.percent) << c.value;
    }
    const auto hsl = hslParams({0, 0, -40});
    EXPECT_EQ(hsl.saturation, -40.0);
    EXPECT_EQ(hsl.hue, 0.0);
    EXPECT_EQ(hsl.lightness, 0.0);
    EXPECT_EQ(hsl.colorize, 0);
}

namespace {

ImageRecord recordFrom(const std::vector<std::uint8_t>& block) {
    auto record = ImageRecord::allocate(headerOf(block), block.size() - kHeaderBlockSize);
    std::memcpy(record->pixels().data(), block.data() + kHeaderBlockSize, block.size() - kHeaderBlockSize);
    return std::move(*record);
}

} // namespace

TEST(ImageAdjustmentTest, PreviewLeavesTheWorkingCopyAndOkAppliesToTheOriginal) {
    // The working copy and the original are the same picture here, so OK must make them equal.
    auto original = makeBlock(9, 5, 24);
    ImageRecord working = recordFrom(original);
    const std::vector<std::uint8_t> before(working.pixels().begin(), working.pixels().end());
    OperationRunner runner;
    OperationFailure failure;
    ImageAdjustment adjustment(working, runner);
    EXPECT_FALSE(adjustment.grey());
    ASSERT_TRUE(adjustment.preview({0, 0, 60}, failure)) << failure.text;
    ASSERT_TRUE(adjustment.preview({0, 0, -80}, failure)) << failure.text;
    EXPECT_TRUE(std::equal(before.begin(), before.end(), working.pixels().begin()));
    const auto adjusted = adjustment.adjustedPixels();
    EXPECT_FALSE(std::equal(before.begin(), before.end(), adjusted.begin()));

    // Only saturation changed: operation 4 alone runs on the original and gives the preview's pixels.
    ASSERT_TRUE(adjustment.commitToOriginal(original, failure)) << failure.text;
    EXPECT_TRUE(std::equal(adjusted.begin(), adjusted.end(), original.begin() + kHeaderBlockSize));
    adjustment.commitToWorkingCopy(working);
    EXPECT_TRUE(std::equal(adjusted.begin(), adjusted.end(), working.pixels().begin()));
}

TEST(ImageAdjustmentTest, GreyImagesTakeToneOnly) {
    auto original = makeBlock(6, 4, 8, true);
    ImageRecord working = recordFrom(original);
    OperationRunner runner;
    OperationFailure failure;
    ImageAdjustment adjustment(working, runner);
    EXPECT_TRUE(adjustment.grey());
    ASSERT_TRUE(adjustment.preview({127, 0, 0}, failure)) << failure.text;
    // Brightness +100 % on grey pixels: every used pixel is at least as bright as before.
    const auto adjusted = adjustment.adjustedPixels();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_GE(adjusted[y * 8 + x], working.pixels()[y * 8 + x]);
    ASSERT_TRUE(adjustment.commitToOriginal(original, failure));
    EXPECT_TRUE(std::equal(adjusted.begin(), adjusted.end(), original.begin() + kHeaderBlockSize));
}

TEST(ImageAdjustmentTest, NeutralValuesLeaveTheOriginalUntouched) {
    auto original = makeBlock(9, 5, 24);
    const auto copy = original;
    ImageRecord working = recordFrom(original);
    OperationRunner runner;
    OperationFailure failure;
    ImageAdjustment adjustment(working, runner);
    ASSERT_TRUE(adjustment.preview({40, 0, 0}, failure));
    ASSERT_TRUE(adjustment.preview({0, 0, 0}, failure)); // Reset
    ASSERT_TRUE(adjustment.commitToOriginal(original, failure));
    EXPECT_EQ(original, copy);
}
