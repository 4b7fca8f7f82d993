// Byte-level checks of written files, PCX and TGA files from other writers, and progress reports.
#include "byte_order.h"
#include "component.h"

#include <gtest/gtest.h>
#include <tiffio.h>

namespace imagefile::test {
namespace {

TEST(WrittenBytes, BmpHeaderAndRows) {
    ScratchFolder folder;
    Image image = makeImage(2, 2, 24, false, 2835);
    const std::vector<uint8_t> bytes =
        (writeFile(folder.file("a.bmp"), image), fileBytes(folder.file("a.bmp")));
    ASSERT_EQ(bytes.size(), 54u + 16);
    const std::vector<uint8_t> head(bytes.begin(), bytes.begin() + 54);
    const std::vector<uint8_t> expected = {
        'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,   // file header
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, // size, width, height, planes,
                                                          // bits
        0, 0, 0, 0, 16, 0, 0, 0, 0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(head, expected);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 54, bytes.end()), image.pixels);
}

// Another writer's rubbish in row padding, after the last pixel and in the top bit of 5-5-5
// pixels does not reach the record.
TEST(ForeignBmp, PaddingAndSpareBitsComeOutZero) {
    ScratchFolder folder;
    for (int bits : {1, 4, 8, 16, 24}) {
        const Image image = makeImage(3, 4, bits);
        const std::string path = folder.file("p.bmp");
        ASSERT_TRUE(writeFile(path, image));
        std::vector<uint8_t> bytes = fileBytes(path);
        const size_t offset = le32(bytes.data() + 10);
        const size_t used = (3 * static_cast<size_t>(bits) + 7) / 8;
        for (size_t y = 0; y < 4; ++y) {
            uint8_t* row = bytes.data() + offset + y * image.stride();
            if (bits < 8) row[used - 1] |= static_cast<uint8_t>(0xFF >> (3 * bits % 8));
            if (bits == 16) row[1] |= 0x80;
            std::fill(row + used, row + image.stride(), 0xEE);
        }
        putFileBytes(path, bytes);
        Image back;
        ASSERT_TRUE(readFile(path, back));
        EXPECT_EQ(back.pixels, image.pixels) << bits;
    }
}

TEST(WrittenBytes, PcxBlackAndWhiteWithWhiteFirst) {
    ScratchFolder folder;
    Image image = makeImage(8, 1, 1, true, 23622);
    std::swap(image.block.palette[0], image.block.palette[1]); // entry 0 white
    image.pixels[0] = 0x0F;                                    // left half white, right half black
    ASSERT_TRUE(writeFile(folder.file("m.pcx"), image));
    const std::vector<uint8_t> bytes = fileBytes(folder.file("m.pcx"));
    ASSERT_EQ(bytes.size(), 128u + 3);
    EXPECT_EQ(le16(bytes.data() + 12), 600); // dots per inch
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 16, bytes.begin() + 22),
              (std::vector<uint8_t>{0, 0, 0, 255, 255, 255}));
    EXPECT_EQ(bytes[65], 1);               // one plane
    EXPECT_EQ(le16(bytes.data() + 66), 2); // bytes per line, even
    // The row is stored with 1 = white: 0xF0, then the padding byte as a run of one.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 128, bytes.end()),
              (std::vector<uint8_t>{0xC1, 0xF0, 0x00}));
}

TEST(WrittenBytes, TiffBilevelPhotometricFollowsPalette) {
    ScratchFolder folder;
    for (bool whiteFirst : {false, true}) {
        Image image = makeImage(9, 3, 1, true);
        if (whiteFirst) std::swap(image.block.palette[0], image.block.palette[1]);
        ASSERT_TRUE(writeFile(folder.file("m.tif"), image));
        TIFF* t = TIFFOpen(folder.file("m.tif").c_str(), "r");
        ASSERT_NE(t, nullptr);
        uint16_t photometric = 99, compression = 0;
        TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
        TIFFGetField(t, TIFFTAG_COMPRESSION, &compression);
        TIFFClose(t);
        EXPECT_EQ(photometric, whiteFirst ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
        EXPECT_EQ(compression, COMPRESSION_CCITTFAX4);
    }
}

// A foreign file and the colours (0xRRGGBB, rows from the top) it must read as.
struct Foreign {
    const char* name;
    const char* extension;
    std::vector<uint8_t> bytes;
    int width, height, bits;
    std::vector<uint32_t> rgb;
};

class ForeignFile : public testing::TestWithParam<Foreign> {};

TEST_P(ForeignFile, ReadsTheRightColours) {
    const Foreign& c = GetParam();
    ScratchFolder folder;
    const std::string path = folder.file(std::string("f.") + c.extension);
    putFileBytes(path, c.bytes);
    Image image;
    std::string error;
    ASSERT_TRUE(readFile(path, image, &error)) << error;
    EXPECT_EQ(image.bits(), c.bits);
    ASSERT_EQ(image.width(), c.width);
    ASSERT_EQ(image.height(), c.height);
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            EXPECT_EQ(image.rgb(x, y), c.rgb[static_cast<size_t>(y * c.width + x)])
                << std::hex << x << "," << y;
}

std::vector<uint8_t> tgaHeader(uint8_t mapType, uint8_t type, uint16_t mapFirst, uint16_t mapLength,
                               uint8_t mapBits, uint16_t width, uint16_t height, uint8_t depth,
                               uint8_t descriptor) {
    std::vector<uint8_t> h(18);
    h[1] = mapType;
    h[2] = type;
    putLe16(h.data() + 3, mapFirst);
    putLe16(h.data() + 5, mapLength);
    h[7] = mapBits;
    putLe16(h.data() + 12, width);
    putLe16(h.data() + 14, height);
    h[16] = depth;
    h[17] = descriptor;
    return h;
}

std::vector<uint8_t> joined(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<uint8_t> pcxHeader(uint8_t encoding, uint8_t bitsPerPlane, uint16_t width, uint16_t height,
                               uint8_t planes, uint16_t bytesPerLine, std::vector<uint8_t> palette = {}) {
    std::vector<uint8_t> h(128);
    h[0] = 10;
    h[1] = 5;
    h[2] = encoding;
    h[3] = bitsPerPlane;
    putLe16(h.data() + 8, width - 1u);
    putLe16(h.data() + 10, height - 1u);
    std::copy(palette.begin(), palette.end(), h.begin() + 16);
    h[65] = planes;
    putLe16(h.data() + 66, bytesPerLine);
    return h;
}

INSTANTIATE_TEST_SUITE_P(
    Files, ForeignFile,
    testing::Values(
        // Run-length true colour, top-down: a run of two red pixels, then a raw packet of four.
        Foreign{"TgaRleTopDown",
                "tga",
                joined(tgaHeader(0, 10, 0, 0, 0, 3, 2, 24, 0x20),
                       {0x81, 0, 0, 255, 0x03, 255, 0, 0, 0, 255, 0, 1, 2, 3, 9, 9, 9}),
                3,
                2,
                24,
                {0xFF0000, 0xFF0000, 0x0000FF, 0x00FF00, 0x030201, 0x090909}},
        // 32 bits with alpha, right to left, bottom-up.
        Foreign{"TgaRightToLeft32",
                "tga",
                joined(tgaHeader(0, 2, 0, 0, 0, 2, 1, 32, 0x18), {10, 20, 30, 0, 40, 50, 60, 255}),
                2,
                1,
                24,
                {0x3C3228, 0x1E140A}},
        // Run-length colour-mapped with 16-bit map entries starting at index 2.
        Foreign{"TgaMapped16",
                "tga",
                joined(tgaHeader(1, 9, 2, 2, 16, 3, 1, 8, 0), {0x00, 0x7C, 0x1F, 0x00, 0x81, 3, 0x00, 2}),
                3,
                1,
                8,
                {0x0000FF, 0x0000FF, 0xFF0000}},
        // Grey, top-down.
        Foreign{"TgaGreyTopDown",
                "tga",
                joined(tgaHeader(0, 3, 0, 0, 0, 2, 2, 8, 0x20), {0, 50, 100, 255}),
                2,
                2,
                8,
                {0x000000, 0x323232, 0x646464, 0xFFFFFF}},
        // 16 bits with the attribute bit set: the colour is the low 15 bits.
        Foreign{"TgaAttributeBit",
                "tga",
                joined(tgaHeader(0, 2, 0, 0, 0, 1, 1, 16, 0x01), {0x1F, 0x80}),
                1,
                1,
                16,
                {0x0000FF}},
        // 8 bits without the trailing palette: grey.
        Foreign{"Pcx8NoPalette",
                "pcx",
                joined(pcxHeader(1, 8, 3, 1, 1, 4), {0xC3, 0x40, 0x00}),
                3,
                1,
                8,
                {0x404040, 0x404040, 0x404040}},
        // One plane of 4 bits with the header palette.
        Foreign{"Pcx4Packed",
                "pcx",
                joined(pcxHeader(1, 4, 3, 1, 1, 2, {0, 0, 0, 255, 0, 0, 0, 255, 0}), {0x12, 0x00}),
                3,
                1,
                4,
                {0xFF0000, 0x00FF00, 0x000000}},
        // One bit with an empty header palette means black and white.
        Foreign{"Pcx1EmptyPalette",
                "pcx",
                joined(pcxHeader(1, 1, 4, 1, 1, 2), {0xA0, 0x00}),
                4,
                1,
                1,
                {0xFFFFFF, 0x000000, 0xFFFFFF, 0x000000}},
        // Uncompressed three planes; a byte of 0xC5 is a pixel value here, not a run.
        Foreign{"PcxRawRgb",
                "pcx",
                joined(pcxHeader(0, 8, 2, 1, 3, 2), {0xC5, 1, 2, 3, 4, 5}),
                2,
                1,
                24,
                {0xC50204, 0x010305}},
        // A run that carries on from one line into the next.
        Foreign{"PcxRunAcrossLines",
                "pcx",
                joined(pcxHeader(1, 8, 2, 2, 1, 2), {0xC4, 7}),
                2,
                2,
                8,
                {0x070707, 0x070707, 0x070707, 0x070707}}),
    [](const testing::TestParamInfo<Foreign>& info) { return info.param.name; });

std::vector<std::pair<int, int>> reports;
void record(int done, int total) {
    reports.emplace_back(done, total);
}

TEST(Progress, ReportsRowsUpToTheEnd) {
    ScratchFolder folder;
    const Image image = makeImage(40, 300, 24);
    for (const char* name : {"p.bmp", "p.jpg", "p.png", "p.tif", "p.pcx", "p.tga"}) {
        const Component& c = Component::main();
        RaduvHandle h = nullptr;
        ASSERT_TRUE(c.api.NewRaduvOR(&h));
        c.api.SetProgressCallBackFn(h, record);
        for (int pass = 0; pass < 2; ++pass) {
            reports.clear();
            Image back = image;
            const int ok =
                pass == 0 ? c.api.WriteImage(h, folder.file(name).c_str(), &image.block, image.pixels.data())
                          : c.api.ReadImage(h, folder.file(name).c_str(), &back.block, back.pixels.data());
            ASSERT_EQ(ok, 1) << name << " " << c.api.GetLastErrorMessage(h);
            ASSERT_FALSE(reports.empty()) << name << " pass " << pass;
            for (size_t i = 1; i < reports.size(); ++i)
                EXPECT_LT(reports[i - 1].first, reports[i].first) << name;
            EXPECT_LE(reports.size(), 101u) << name;
            EXPECT_EQ(reports.back(), std::make_pair(300, 300)) << name << " pass " << pass;
        }
        c.api.FreeRaduvOR(h);
    }
}

TEST(Component, PuzzleCopyLoadsWithAllEntryPoints) {
    const Component tilex = Component::load(std::string(TS_PROGRAM_DIR) + "/Tilex/RaduvOR.so");
    ASSERT_NE(tilex.binding, nullptr);
    EXPECT_NE(tilex.api.GetLastErrorMessage, nullptr);
    RaduvHandle h = nullptr;
    ASSERT_EQ(tilex.api.NewRaduvOR(&h), 1);
    EXPECT_STREQ(tilex.api.GetLastErrorMessage(h), "");
    tilex.api.FreeRaduvOR(h);
}

} // namespace
} // namespace imagefile::test
