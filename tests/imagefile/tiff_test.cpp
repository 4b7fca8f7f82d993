// TIFF files from other writers (made here with libtiff): the kinds read natively, the kinds
// read through libtiff's RGBA interface, resolution units and multi-page files.
#include "component.h"

#include <functional>
#include <gtest/gtest.h>
#include <tiffio.h>

namespace imagefile::test {
namespace {

constexpr uint32_t kWidth = 5, kHeight = 3;

struct TiffKind {
    const char* name;
    uint16_t photometric, bitsPerSample, samples;
    bool tiled = false, separate = false, bottomUp = false;
    int bits; // record depth it reads as
    // Sample s of pixel (x, y); and the colour the record must show there.
    std::function<uint32_t(uint32_t x, uint32_t y, uint32_t s)> sample;
    std::function<uint32_t(uint32_t x, uint32_t y)> rgb;
    std::vector<uint16_t> colourMap = {}; // red, green, blue thirds
};

uint32_t grey(uint32_t v) {
    return v << 16 | v << 8 | v;
}

// Packs samples of `bits` bits most significant first.
std::vector<uint8_t> packRow(const TiffKind& k, uint32_t y, uint16_t firstSample, uint16_t samples) {
    std::vector<uint8_t> row((kWidth * samples * k.bitsPerSample + 7) / 8);
    uint32_t bit = 0;
    for (uint32_t x = 0; x < kWidth; ++x)
        for (uint16_t s = firstSample; s < firstSample + samples; ++s) {
            const uint32_t v = k.sample(x, y, s);
            if (k.bitsPerSample == 16) {
                reinterpret_cast<uint16_t*>(row.data())[bit / 16] = static_cast<uint16_t>(v);
            } else {
                for (int b = k.bitsPerSample - 1; b >= 0; --b)
                    if (v >> b & 1)
                        row[(bit + k.bitsPerSample - 1 - b) / 8] |=
                            static_cast<uint8_t>(0x80 >> ((bit + k.bitsPerSample - 1 - b) % 8));
            }
            bit += k.bitsPerSample;
        }
    return row;
}

void writeTiff(const std::string& path, const TiffKind& k, float xRes, uint16_t unit) {
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, k.bitsPerSample);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, k.samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, k.photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, k.separate ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, k.bottomUp ? ORIENTATION_BOTLEFT : ORIENTATION_TOPLEFT);
    if (k.samples == 4) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (xRes > 0) {
        TIFFSetField(t, TIFFTAG_XRESOLUTION, xRes);
        TIFFSetField(t, TIFFTAG_YRESOLUTION, xRes);
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, unit);
    }
    if (!k.colourMap.empty()) {
        const size_t n = k.colourMap.size() / 3;
        TIFFSetField(t, TIFFTAG_COLORMAP, k.colourMap.data(), k.colourMap.data() + n,
                     k.colourMap.data() + 2 * n);
    }
    if (k.tiled) {
        TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
        TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
        const tmsize_t tileBytes = TIFFTileSize(t);
        std::vector<uint8_t> tile(static_cast<size_t>(tileBytes));
        const size_t pixelBytes = k.samples * k.bitsPerSample / 8u;
        for (uint32_t y = 0; y < kHeight; ++y) {
            const std::vector<uint8_t> row = packRow(k, k.bottomUp ? kHeight - 1 - y : y, 0, k.samples);
            std::copy(row.begin(), row.end(), tile.begin() + static_cast<ptrdiff_t>(y * 16 * pixelBytes));
        }
        TIFFWriteTile(t, tile.data(), 0, 0, 0, 0);
    } else {
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 2);
        const uint16_t planes = k.separate ? k.samples : 1;
        for (uint16_t p = 0; p < planes; ++p)
            for (uint32_t y = 0; y < kHeight; ++y) {
                const uint32_t picture = k.bottomUp ? kHeight - 1 - y : y;
                std::vector<uint8_t> row =
                    k.separate ? packRow(k, picture, p, 1) : packRow(k, picture, 0, k.samples);
                TIFFWriteScanline(t, row.data(), y, p);
            }
    }
    TIFFClose(t);
}

class ForeignTiff : public testing::TestWithParam<TiffKind> {};

TEST_P(ForeignTiff, ReadsWithTheRightColours) {
    const TiffKind& k = GetParam();
    ScratchFolder folder;
    const std::string path = folder.file("foreign.tif");
    writeTiff(path, k, 0, RESUNIT_NONE);
    Image image;
    std::string error;
    ASSERT_TRUE(readFile(path, image, &error)) << error;
    EXPECT_EQ(image.bits(), k.bits);
    ASSERT_EQ(image.width(), static_cast<int>(kWidth));
    ASSERT_EQ(image.height(), static_cast<int>(kHeight));
    for (uint32_t y = 0; y < kHeight; ++y)
        for (uint32_t x = 0; x < kWidth; ++x)
            EXPECT_EQ(image.rgb(static_cast<int>(x), static_cast<int>(y)), k.rgb(x, y))
                << std::hex << x << "," << y;
}

std::vector<uint16_t> colourMap(unsigned entries, bool eightBit) {
    std::vector<uint16_t> map(3 * entries);
    for (unsigned i = 0; i < entries; ++i) {
        const unsigned scale = eightBit ? 1 : 257;
        map[i] = static_cast<uint16_t>((i * 16 % 256) * scale);
        map[entries + i] = static_cast<uint16_t>((255 - i) * scale);
        map[2 * entries + i] = static_cast<uint16_t>((i * 3 % 256) * scale);
    }
    return map;
}

uint32_t mapColour(unsigned i) {
    return (i * 16 % 256) << 16 | (255 - i) << 8 | (i * 3 % 256);
}

auto ramp = [](uint32_t x, uint32_t y, uint32_t) { return x * 40 + y * 30; };

INSTANTIATE_TEST_SUITE_P(
    Kinds, ForeignTiff,
    testing::Values(
        TiffKind{"WhiteIsZero8", PHOTOMETRIC_MINISWHITE, 8, 1, false, false, false, 8, ramp,
                 [](uint32_t x, uint32_t y) { return grey(255 - (x * 40 + y * 30)); }},
        TiffKind{"Grey16", PHOTOMETRIC_MINISBLACK, 16, 1, false, false, false, 8,
                 [](uint32_t x, uint32_t y, uint32_t) { return (x * 40 + y * 30) * 256 + 0x7F; },
                 [](uint32_t x, uint32_t y) { return grey(x * 40 + y * 30); }},
        TiffKind{"Grey2", PHOTOMETRIC_MINISBLACK, 2, 1, false, false, false, 4,
                 [](uint32_t x, uint32_t y, uint32_t) { return (x + y) % 4; },
                 [](uint32_t x, uint32_t y) { return grey((x + y) % 4 * 85); }},
        TiffKind{"BilevelWhiteIsZero", PHOTOMETRIC_MINISWHITE, 1, 1, false, false, false, 1,
                 [](uint32_t x, uint32_t y, uint32_t) { return (x + y) % 2; },
                 [](uint32_t x, uint32_t y) { return (x + y) % 2 ? 0u : 0xFFFFFFu; }},
        TiffKind{"Palette4", PHOTOMETRIC_PALETTE, 4, 1, false, false, false, 4,
                 [](uint32_t x, uint32_t y, uint32_t) { return (x * 3 + y) % 16; },
                 [](uint32_t x, uint32_t y) { return mapColour((x * 3 + y) % 16); }, colourMap(16, false)},
        TiffKind{"Palette8WithEightBitMap", PHOTOMETRIC_PALETTE, 8, 1, false, false, false, 8,
                 [](uint32_t x, uint32_t y, uint32_t) { return x * 50 + y; },
                 [](uint32_t x, uint32_t y) { return mapColour(x * 50 + y); }, colourMap(256, true)},
        TiffKind{"RgbWithAlpha", PHOTOMETRIC_RGB, 8, 4, false, false, false, 24,
                 [](uint32_t x, uint32_t y, uint32_t s) { return s == 3 ? 255u : x * 40 + y * 10 + s * 3; },
                 [](uint32_t x, uint32_t y) {
                     uint32_t v = x * 40 + y * 10;
                     return v << 16 | (v + 3) << 8 | (v + 6);
                 }},
        TiffKind{"RgbTiled", PHOTOMETRIC_RGB, 8, 3, true, false, false, 24,
                 [](uint32_t x, uint32_t y, uint32_t s) { return x * 40 + y * 10 + s * 3; },
                 [](uint32_t x, uint32_t y) {
                     uint32_t v = x * 40 + y * 10;
                     return v << 16 | (v + 3) << 8 | (v + 6);
                 }},
        TiffKind{"RgbSeparatePlanes", PHOTOMETRIC_RGB, 8, 3, false, true, false, 24,
                 [](uint32_t x, uint32_t y, uint32_t s) { return x * 40 + y * 10 + s * 3; },
                 [](uint32_t x, uint32_t y) {
                     uint32_t v = x * 40 + y * 10;
                     return v << 16 | (v + 3) << 8 | (v + 6);
                 }},
        TiffKind{"Rgb16", PHOTOMETRIC_RGB, 16, 3, false, false, false, 24,
                 [](uint32_t x, uint32_t y, uint32_t s) { return (x * 40 + y * 10 + s * 3) * 257; },
                 [](uint32_t x, uint32_t y) {
                     uint32_t v = x * 40 + y * 10;
                     return v << 16 | (v + 3) << 8 | (v + 6);
                 }},
        TiffKind{"GreyBottomUp", PHOTOMETRIC_MINISBLACK, 8, 1, false, false, true, 8, ramp,
                 [](uint32_t x, uint32_t y) { return grey(x * 40 + y * 30); }}),
    [](const testing::TestParamInfo<TiffKind>& info) { return info.param.name; });

struct UnitCase {
    float resolution;
    uint16_t unit;
    int32_t pels;
};

TEST(ForeignTiff, ResolutionUnits) {
    const TiffKind k{"", PHOTOMETRIC_MINISBLACK, 8, 1, false, false, false, 8, ramp, nullptr};
    for (const UnitCase& c :
         {UnitCase{300, RESUNIT_INCH, 11811}, UnitCase{118.11f, RESUNIT_CENTIMETER, 11811},
          UnitCase{72, RESUNIT_NONE, 0}, UnitCase{0, RESUNIT_INCH, 0}}) {
        ScratchFolder folder;
        writeTiff(folder.file("r.tif"), k, c.resolution, c.unit);
        Image image;
        ASSERT_TRUE(readFile(folder.file("r.tif"), image));
        EXPECT_EQ(image.block.header.xPelsPerMeter, c.pels) << c.resolution;
    }
}

TEST(ForeignTiff, DamagedTileFails) {
    ScratchFolder folder;
    const std::string path = folder.file("tiles.tif");
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 32u);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 32u);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    TIFFSetField(t, TIFFTAG_TILEWIDTH, 16);
    TIFFSetField(t, TIFFTAG_TILELENGTH, 16);
    std::vector<uint8_t> tile(16 * 16 * 3);
    for (size_t i = 0; i < tile.size(); ++i)
        tile[i] = static_cast<uint8_t>(i * 7);
    for (uint32_t y = 0; y < 32; y += 16)
        for (uint32_t x = 0; x < 32; x += 16)
            TIFFWriteTile(t, tile.data(), x, y, 0, 0);
    TIFFClose(t);
    t = TIFFOpen(path.c_str(), "r");
    uint64_t* offsets = nullptr;
    ASSERT_TRUE(TIFFGetField(t, TIFFTAG_TILEOFFSETS, &offsets));
    const uint64_t third = offsets[2];
    TIFFClose(t);
    std::vector<uint8_t> bytes = fileBytes(path);
    std::fill(bytes.begin() + static_cast<ptrdiff_t>(third),
              bytes.begin() + static_cast<ptrdiff_t>(third) + 40, 0xFF);
    putFileBytes(path, bytes);
    Image image;
    std::string error;
    EXPECT_FALSE(readFile(path, image, &error));
    EXPECT_NE(error.find("TIFF"), std::string::npos) << error;
}

TEST(MultiPageTiff, PagesFollowOneAnother) {
    ScratchFolder folder;
    const std::string path = folder.file("pages.tif");
    TIFF* t = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(t, nullptr);
    const uint32_t widths[3] = {4, 9, 2};
    for (int page = 0; page < 3; ++page) {
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, widths[page]);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, 2u);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        std::vector<uint8_t> row(widths[page], static_cast<uint8_t>(10 * (page + 1)));
        for (uint32_t y = 0; y < 2; ++y)
            TIFFWriteScanline(t, row.data(), y, 0);
        TIFFWriteDirectory(t);
    }
    TIFFClose(t);

    const Component& c = Component::main();
    RaduvHandle h = nullptr;
    ASSERT_TRUE(c.api.NewRaduvOR(&h));
    HeaderBlock block{};
    std::vector<uint8_t> pixels(64);
    ASSERT_EQ(c.api.GetImageSize(h, path.c_str()), 8u);
    ASSERT_EQ(c.api.ReadImage(h, path.c_str(), &block, pixels.data()), 1);
    EXPECT_EQ(pixels[0], 10);
    for (int page = 1; page < 3; ++page) {
        ASSERT_EQ(c.api.CanGetNextImage(h), 1) << page;
        const uint32_t size = c.api.GetNextImageSize(h);
        EXPECT_EQ(size, rowStride(widths[page], 8) * 2);
        ASSERT_EQ(c.api.GetNextImage(h, &block, nullptr), 1); // a header look does not move on
        EXPECT_EQ(block.header.width, static_cast<int32_t>(widths[page]));
        ASSERT_EQ(c.api.GetNextImage(h, &block, pixels.data()), 1);
        EXPECT_EQ(pixels[0], 10 * (page + 1));
    }
    EXPECT_EQ(c.api.CanGetNextImage(h), 0);
    EXPECT_EQ(c.api.GetNextImage(h, &block, pixels.data()), 0);
    c.api.FreeRaduvOR(h);
}

} // namespace
} // namespace imagefile::test
