// JPEG files from other writers: resolution from JFIF or Exif, grey, CMYK and YCCK.
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>

// jpeglib.h needs FILE and size_t declared first.
#include "component.h"

#include <jpeglib.h>

namespace imagefile::test {
namespace {

struct JpegRecipe {
    J_COLOR_SPACE input = JCS_RGB;
    J_COLOR_SPACE stored = JCS_UNKNOWN; // JCS_UNKNOWN: libjpeg's default for the input
    bool jfif = true;
    uint8_t densityUnit = 0;
    uint16_t xDensity = 1, yDensity = 1;
    std::vector<uint8_t> exif; // APP1 payload, written when not empty
    bool progressive = false;
    uint8_t sample[4] = {0, 0, 0, 0}; // the value of every pixel
};

// Writes a flat 16 x 8 picture.
void writeJpeg(const std::string& path, const JpegRecipe& recipe) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = 16;
    cinfo.image_height = 8;
    cinfo.in_color_space = recipe.input;
    cinfo.input_components = recipe.input == JCS_GRAYSCALE ? 1 : recipe.input == JCS_CMYK ? 4 : 3;
    jpeg_set_defaults(&cinfo);
    if (recipe.stored != JCS_UNKNOWN) jpeg_set_colorspace(&cinfo, recipe.stored);
    if (recipe.progressive) jpeg_simple_progression(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    cinfo.write_JFIF_header = recipe.jfif ? TRUE : FALSE;
    cinfo.density_unit = recipe.densityUnit;
    cinfo.X_density = recipe.xDensity;
    cinfo.Y_density = recipe.yDensity;
    jpeg_start_compress(&cinfo, TRUE);
    if (!recipe.exif.empty())
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, recipe.exif.data(),
                          static_cast<unsigned>(recipe.exif.size()));
    std::vector<uint8_t> row(16 * static_cast<size_t>(cinfo.input_components));
    for (size_t i = 0; i < row.size(); ++i)
        row[i] = recipe.sample[i % cinfo.input_components];
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&cinfo, &r, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
}

// An Exif block whose first directory holds XResolution, YResolution and ResolutionUnit.
std::vector<uint8_t> exifBlock(bool bigEndian, uint32_t xNum, uint32_t xDen, uint32_t yNum, uint32_t yDen,
                               std::optional<uint16_t> unit) {
    std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
    const size_t base = b.size();
    auto u16 = [&](uint32_t v) {
        if (bigEndian)
            b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)});
        else
            b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)});
    };
    auto u32 = [&](uint32_t v) {
        if (bigEndian) {
            u16(v >> 16);
            u16(v & 0xFFFF);
        } else {
            u16(v & 0xFFFF);
            u16(v >> 16);
        }
    };
    b.insert(b.end(),
             bigEndian ? std::initializer_list<uint8_t>{'M', 'M'} : std::initializer_list<uint8_t>{'I', 'I'});
    u16(42);
    u32(8);
    const uint16_t entries = unit ? 3 : 2;
    u16(entries);
    const uint32_t values = 8 + 2 + entries * 12 + 4;
    u16(0x011A);
    u16(5);
    u32(1);
    u32(values);
    u16(0x011B);
    u16(5);
    u32(1);
    u32(values + 8);
    if (unit) {
        u16(0x0128);
        u16(3);
        u32(1);
        u16(*unit);
        u16(0);
    }
    u32(0);
    EXPECT_EQ(b.size() - base, values);
    u32(xNum);
    u32(xDen);
    u32(yNum);
    u32(yDen);
    return b;
}

struct ResolutionCase {
    const char* name;
    JpegRecipe recipe;
    int32_t xPels, yPels;
};

class JpegResolution : public testing::TestWithParam<ResolutionCase> {};

TEST_P(JpegResolution, BecomesPixelsPerMetre) {
    const ResolutionCase& c = GetParam();
    ScratchFolder folder;
    const std::string path = folder.file("r.jpg");
    writeJpeg(path, c.recipe);
    Image image;
    std::string error;
    ASSERT_TRUE(readFile(path, image, &error)) << error;
    EXPECT_EQ(image.block.header.xPelsPerMeter, c.xPels);
    EXPECT_EQ(image.block.header.yPelsPerMeter, c.yPels);
}

JpegRecipe jfif(uint8_t unit, uint16_t x, uint16_t y) {
    JpegRecipe s;
    s.densityUnit = unit;
    s.xDensity = x;
    s.yDensity = y;
    return s;
}

JpegRecipe exifOnly(std::vector<uint8_t> exif, bool withJfif = false) {
    JpegRecipe s;
    s.jfif = withJfif;
    s.exif = std::move(exif);
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JpegResolution,
    testing::Values(
        ResolutionCase{"Dpi300", jfif(1, 300, 300), 11811, 11811},
        ResolutionCase{"Dpi600By300", jfif(1, 600, 300), 23622, 11811},
        ResolutionCase{"Dpi72", jfif(1, 72, 72), 2835, 2835},
        ResolutionCase{"DotsPerCm118", jfif(2, 118, 118), 11800, 11800},
        ResolutionCase{"AspectOnly", jfif(0, 1, 1), 0, 0}, ResolutionCase{"NoMarkers", exifOnly({}), 0, 0},
        ResolutionCase{"ExifInchLittleEndian", exifOnly(exifBlock(false, 200, 1, 200, 1, 2)), 7874, 7874},
        ResolutionCase{"ExifInchBigEndian", exifOnly(exifBlock(true, 400, 1, 300, 1, 2)), 15748, 11811},
        ResolutionCase{"ExifUnitDefaultsToInch", exifOnly(exifBlock(false, 300, 1, 300, 1, std::nullopt)),
                       11811, 11811},
        ResolutionCase{"ExifCentimetre", exifOnly(exifBlock(false, 1181, 10, 1181, 10, 3)), 11810, 11810},
        ResolutionCase{"ExifNoUnit", exifOnly(exifBlock(false, 300, 1, 300, 1, 1)), 0, 0},
        ResolutionCase{"ExifZeroDenominator", exifOnly(exifBlock(false, 300, 0, 300, 0, 2)), 0, 0},
        ResolutionCase{"JfifAspectThenExif", exifOnly(exifBlock(false, 150, 1, 150, 1, 2), true), 5906, 5906},
        ResolutionCase{"JfifDensityBeatsExif",
                       [] {
                           JpegRecipe s = jfif(1, 96, 96);
                           s.exif = exifBlock(false, 300, 1, 300, 1, 2);
                           return s;
                       }(),
                       3780, 3780},
        ResolutionCase{"JfifZeroDensityThenExif",
                       [] {
                           JpegRecipe s = jfif(1, 0, 0);
                           s.exif = exifBlock(false, 300, 1, 300, 1, 2);
                           return s;
                       }(),
                       11811, 11811},
        ResolutionCase{"ExifCutShort", exifOnly({'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 200, 0, 0, 0}), 0,
                       0}),
    [](const testing::TestParamInfo<ResolutionCase>& info) { return info.param.name; });

struct ColourCase {
    const char* name;
    JpegRecipe recipe;
    int bits;
    uint32_t rgb; // every pixel, within JPEG's rounding
};

class JpegColour : public testing::TestWithParam<ColourCase> {};

TEST_P(JpegColour, ReadsAsRecordDepth) {
    const ColourCase& c = GetParam();
    ScratchFolder folder;
    const std::string path = folder.file("c.jpg");
    writeJpeg(path, c.recipe);
    Image image;
    std::string error;
    ASSERT_TRUE(readFile(path, image, &error)) << error;
    ASSERT_EQ(image.bits(), c.bits);
    if (c.bits == 8) {
        EXPECT_TRUE(isIdentityGreyRamp(image.block));
    }
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            for (int shift : {0, 8, 16})
                ASSERT_LE(std::abs(int((image.rgb(x, y) >> shift) & 255) - int((c.rgb >> shift) & 255)), 2)
                    << std::hex << image.rgb(x, y) << " at " << std::dec << x << "," << y;
}

JpegRecipe colour(J_COLOR_SPACE input, J_COLOR_SPACE stored, std::initializer_list<uint8_t> sample,
                  bool progressive = false) {
    JpegRecipe s;
    s.input = input;
    s.stored = stored;
    s.progressive = progressive;
    s.jfif = stored == JCS_UNKNOWN; // a JFIF marker would declare YCbCr
    std::copy(sample.begin(), sample.end(), s.sample);
    return s;
}

// libjpeg marks CMYK files with an Adobe marker, and Adobe files hold the ink inverted: stored
// (255, 0, 0, 255) is no cyan, full magenta, full yellow, no black -- red.
INSTANTIATE_TEST_SUITE_P(
    Cases, JpegColour,
    testing::Values(
        ColourCase{"Grey", colour(JCS_GRAYSCALE, JCS_UNKNOWN, {77}), 8, 0x4D4D4D},
        ColourCase{"Rgb", colour(JCS_RGB, JCS_UNKNOWN, {200, 100, 50}), 24, 0xC86432},
        ColourCase{"RgbProgressive", colour(JCS_RGB, JCS_UNKNOWN, {10, 20, 250}, true), 24, 0x0A14FA},
        ColourCase{"RgbStoredAsRgb", colour(JCS_RGB, JCS_RGB, {1, 128, 254}), 24, 0x0180FE},
        ColourCase{"CmykRed", colour(JCS_CMYK, JCS_CMYK, {255, 0, 0, 255}), 24, 0xFF0000},
        ColourCase{"CmykHalfBlack", colour(JCS_CMYK, JCS_CMYK, {255, 255, 255, 128}), 24, 0x808080},
        ColourCase{"YcckBlue", colour(JCS_CMYK, JCS_YCCK, {0, 0, 255, 255}), 24, 0x0000FF}),
    [](const testing::TestParamInfo<ColourCase>& info) { return info.param.name; });

TEST(JpegWrite, DensityUnitChosenToKeepTheResolution) {
    ScratchFolder folder;
    for (int32_t pels : {23622, 11811, 2835, 10000, 12345, 100}) {
        Image image = makeImage(8, 8, 24, false, pels);
        const std::string path = folder.file("d.jpg");
        ASSERT_TRUE(writeFile(path, image));
        Image back;
        ASSERT_TRUE(readFile(path, back));
        // Whole dots per inch or per centimetre keep it exactly; 12345 is neither and comes back
        // from the nearest whole dots per inch (314 dpi).
        EXPECT_EQ(back.block.header.xPelsPerMeter, pels == 12345 ? 12362 : pels) << pels;
    }
}

TEST(JpegWrite, GreyPaletteGivesGreyFile) {
    ScratchFolder folder;
    Image image = makeImage(8, 8, 8, true);
    image.block.palette[5] = {40, 40, 40, 0}; // still grey, no longer the identity ramp
    for (int y = 0; y < 8; ++y)
        std::memset(image.pixels.data() + y * image.stride(), 5, 8);
    ASSERT_TRUE(writeFile(folder.file("g.jpg"), image));
    Image back;
    ASSERT_TRUE(readFile(folder.file("g.jpg"), back));
    EXPECT_EQ(back.bits(), 8);
    EXPECT_NEAR(back.index(3, 3), 40, 1);
}

} // namespace
} // namespace imagefile::test
