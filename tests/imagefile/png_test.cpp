// PNG files from other writers (made here with libpng): every colour type and the depths and
// interlacing that need converting.
#include "component.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <png.h>

namespace imagefile::test {
namespace {

constexpr uint32_t kWidth = 11, kHeight = 9;

struct PngKind {
    const char* name;
    int colorType, bitDepth;
    bool interlaced;
    bool significant5; // an sBIT chunk of 5, 5, 5
    int bits;          // record depth it reads as
    // The stored value of channel c at (x, y) (before packing), and the colour the record shows.
    uint32_t (*sample)(uint32_t x, uint32_t y, int c);
    uint32_t (*rgb)(uint32_t x, uint32_t y);
};

int channels(int colorType) {
    switch (colorType) {
    case PNG_COLOR_TYPE_RGB:
        return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
        return 4;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
        return 2;
    default:
        return 1;
    }
}

void writePng(const std::string& path, const PngKind& k) {
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, out);
    png_set_IHDR(png, info, kWidth, kHeight, k.bitDepth, k.colorType,
                 k.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}};
    if (k.colorType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 4);
    png_color_8 sig{5, 5, 5, 0, 0};
    if (k.significant5) png_set_sBIT(png, info, &sig);
    png_write_info(png, info);
    const int n = channels(k.colorType);
    const size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<std::vector<uint8_t>> rows(kHeight, std::vector<uint8_t>(rowBytes));
    for (uint32_t y = 0; y < kHeight; ++y) {
        uint32_t bit = 0;
        for (uint32_t x = 0; x < kWidth; ++x)
            for (int c = 0; c < n; ++c, bit += k.bitDepth) {
                const uint32_t v = k.sample(x, y, c);
                if (k.bitDepth == 16) {
                    rows[y][bit / 8] = static_cast<uint8_t>(v >> 8);
                    rows[y][bit / 8 + 1] = static_cast<uint8_t>(v);
                } else {
                    rows[y][bit / 8] |= static_cast<uint8_t>(v << (8 - k.bitDepth - bit % 8));
                }
            }
    }
    std::vector<png_bytep> pointers;
    for (auto& row : rows)
        pointers.push_back(row.data());
    png_write_image(png, pointers.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
}

class ForeignPng : public testing::TestWithParam<PngKind> {};

TEST_P(ForeignPng, ReadsWithTheRightColours) {
    const PngKind& k = GetParam();
    ScratchFolder folder;
    writePng(folder.file("f.png"), k);
    Image image;
    std::string error;
    ASSERT_TRUE(readFile(folder.file("f.png"), image, &error)) << error;
    EXPECT_EQ(image.bits(), k.bits);
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            ASSERT_EQ(image.rgb(static_cast<int>(x), static_cast<int>(y)), k.rgb(x, y))
                << std::hex << x << "," << y;
}

uint32_t twoBit(uint32_t x, uint32_t y, int) {
    return (x + 2 * y) % 4;
}
uint32_t greyOfTwoBit(uint32_t x, uint32_t y) {
    return (x + 2 * y) % 4 * 0x555555u;
}
uint32_t paletteOfTwoBit(uint32_t x, uint32_t y) {
    const uint32_t colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0x090807};
    return colours[(x + 2 * y) % 4];
}
uint32_t five(uint32_t x, uint32_t y, int c) {
    return expand5((x * 3 + y * 5 + static_cast<uint32_t>(c) * 7) % 32);
}
uint32_t fiveRgb(uint32_t x, uint32_t y) {
    return five(x, y, 0) << 16 | five(x, y, 1) << 8 | five(x, y, 2);
}
uint32_t base(uint32_t x, uint32_t y) {
    return (x * 20 + y * 7) % 250;
}
uint32_t wide(uint32_t x, uint32_t y, int c) {
    return c == 3 ? 0x1234 : (base(x, y) + static_cast<uint32_t>(c)) * 257;
}
uint32_t wideRgb(uint32_t x, uint32_t y) {
    return base(x, y) << 16 | (base(x, y) + 1) << 8 | (base(x, y) + 2);
}
uint32_t greyAlpha(uint32_t x, uint32_t y, int c) {
    return c == 1 ? 17 : x * 20 + y;
}
uint32_t greyAlphaRgb(uint32_t x, uint32_t y) {
    return (x * 20 + y) * 0x010101u;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ForeignPng,
    testing::Values(
        PngKind{"Grey2", PNG_COLOR_TYPE_GRAY, 2, false, false, 4, twoBit, greyOfTwoBit},
        PngKind{"Grey2Interlaced", PNG_COLOR_TYPE_GRAY, 2, true, false, 8, twoBit, greyOfTwoBit},
        PngKind{"Palette2", PNG_COLOR_TYPE_PALETTE, 2, false, false, 4, twoBit, paletteOfTwoBit},
        PngKind{"Palette2Interlaced", PNG_COLOR_TYPE_PALETTE, 2, true, false, 8, twoBit, paletteOfTwoBit},
        PngKind{"FiveBitRgb", PNG_COLOR_TYPE_RGB, 8, false, true, 16, five, fiveRgb},
        PngKind{"FiveBitRgbInterlaced", PNG_COLOR_TYPE_RGB, 8, true, true, 24, five, fiveRgb},
        PngKind{"Rgba16", PNG_COLOR_TYPE_RGB_ALPHA, 16, false, false, 24, wide, wideRgb},
        PngKind{"Rgb16Interlaced", PNG_COLOR_TYPE_RGB, 16, true, false, 24, wide, wideRgb},
        PngKind{"GreyAlpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8, false, false, 8, greyAlpha, greyAlphaRgb}),
    [](const testing::TestParamInfo<PngKind>& info) { return info.param.name; });

} // namespace
} // namespace imagefile::test
