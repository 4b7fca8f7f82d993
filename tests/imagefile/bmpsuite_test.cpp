// The public BMP test suite: good files must read with the reference pixels, questionable files
// must read or fail with a message, bad files must never crash and must fail with a message
// unless a sensible reading exists.
#include "component.h"

#include <gtest/gtest.h>

namespace imagefile::test {
namespace {

struct GoodFile {
    const char* name;
    int bits; // depth of the record it reads into
};

class GoodBmp : public testing::TestWithParam<GoodFile> {};

TEST_P(GoodBmp, ReadsReferencePixels) {
    const GoodFile& c = GetParam();
    Image image;
    std::string error;
    ASSERT_TRUE(readFile(corpusDir() + "/g/" + c.name + ".bmp", image, &error)) << error;
    int width = 0, height = 0;
    std::vector<uint32_t> reference;
    ASSERT_TRUE(decodePngReference(corpusDir() + "/ref/" + c.name + ".png", width, height, reference));
    EXPECT_EQ(image.bits(), c.bits);
    ASSERT_EQ(image.width(), width);
    ASSERT_EQ(image.height(), height);
    int wrong = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (image.rgb(x, y) != reference[static_cast<size_t>(y) * width + x] && wrong++ < 5)
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << image.rgb(x, y)
                              << " instead of " << reference[static_cast<size_t>(y) * width + x];
    EXPECT_EQ(wrong, 0);
    // Row padding comes out zero.
    const uint64_t used = (static_cast<uint64_t>(width) * image.bits() + 7) / 8;
    for (int y = 0; y < height; ++y)
        for (uint64_t i = used; i < image.stride(); ++i)
            ASSERT_EQ(image.pixels[y * image.stride() + i], 0) << y;
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, GoodBmp,
    testing::Values(GoodFile{"pal1", 1}, GoodFile{"pal1bg", 1}, GoodFile{"pal1wb", 1}, GoodFile{"pal4", 4},
                    GoodFile{"pal4gs", 4}, GoodFile{"pal4rle", 4}, GoodFile{"pal8-0", 8}, GoodFile{"pal8", 8},
                    GoodFile{"pal8gs", 8}, GoodFile{"pal8nonsquare", 8}, GoodFile{"pal8os2", 8},
                    GoodFile{"pal8rle", 8}, GoodFile{"pal8topdown", 8}, GoodFile{"pal8v4", 8},
                    GoodFile{"pal8v5", 8}, GoodFile{"pal8w124", 8}, GoodFile{"pal8w125", 8},
                    GoodFile{"pal8w126", 8}, GoodFile{"rgb16-565", 24}, GoodFile{"rgb16-565pal", 24},
                    GoodFile{"rgb16", 16}, GoodFile{"rgb16bfdef", 24}, GoodFile{"rgb24", 24},
                    GoodFile{"rgb24pal", 24}, GoodFile{"rgb32", 24}, GoodFile{"rgb32bf", 24},
                    GoodFile{"rgb32bfdef", 24}),
    [](const testing::TestParamInfo<GoodFile>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == '-') ch = '_';
        return name;
    });

struct OddFile {
    const char* path;
    bool reads; // a sensible reading exists and is given
    int bits;   // depth when it reads
};

class OddBmp : public testing::TestWithParam<OddFile> {};

TEST_P(OddBmp, ReadsOrFailsWithMessage) {
    const OddFile& c = GetParam();
    const std::string path = corpusDir() + "/" + c.path;
    const Component& component = Component::main();
    RaduvHandle h = nullptr;
    ASSERT_TRUE(component.api.NewRaduvOR(&h));
    // Header-only read first, as the file-open panel does.
    HeaderBlock header{};
    const int headerRead = component.api.ReadImage(h, path.c_str(), &header, nullptr);
    if (!headerRead) {
        EXPECT_STRNE(component.api.GetLastErrorMessage(h), "");
    }
    const uint32_t size = component.api.GetImageSize(h, path.c_str());
    EXPECT_EQ(size != 0, headerRead != 0);
    if (size > 0) {
        std::vector<uint8_t> pixels(size);
        HeaderBlock block{};
        const int ok = component.api.ReadImage(h, path.c_str(), &block, pixels.data());
        EXPECT_EQ(ok != 0, c.reads) << component.api.GetLastErrorMessage(h);
        if (ok) {
            EXPECT_STREQ(component.api.GetLastErrorMessage(h), "");
            EXPECT_EQ(block.header.bitCount, c.bits);
            EXPECT_EQ(pixelBlockSize(block.header), size);
        } else {
            EXPECT_STRNE(component.api.GetLastErrorMessage(h), "");
        }
    } else {
        EXPECT_FALSE(c.reads) << component.api.GetLastErrorMessage(h);
        EXPECT_STRNE(component.api.GetLastErrorMessage(h), "");
    }
    component.api.FreeRaduvOR(h);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, OddBmp,
    testing::Values(OddFile{"q/pal1huffmsb.bmp", false, 0}, OddFile{"q/pal1p1.bmp", true, 1},
                    OddFile{"q/pal2.bmp", true, 4}, OddFile{"q/pal2color.bmp", true, 4},
                    OddFile{"q/pal4rlecut.bmp", true, 4}, OddFile{"q/pal4rletrns.bmp", true, 4},
                    OddFile{"q/pal8offs.bmp", true, 8}, OddFile{"q/pal8os2-hs.bmp", true, 8},
                    OddFile{"q/pal8os2-sz.bmp", true, 8}, OddFile{"q/pal8os2sp.bmp", true, 8},
                    OddFile{"q/pal8os2v2-16.bmp", true, 8}, OddFile{"q/pal8os2v2-40sz.bmp", true, 8},
                    OddFile{"q/pal8os2v2-sz.bmp", true, 8}, OddFile{"q/pal8os2v2.bmp", true, 8},
                    OddFile{"q/pal8oversizepal.bmp", false, 0}, OddFile{"q/pal8rlecut.bmp", true, 8},
                    OddFile{"q/pal8rletrns.bmp", true, 8}, OddFile{"q/rgb16-231.bmp", true, 24},
                    OddFile{"q/rgb16-3103.bmp", true, 24}, OddFile{"q/rgb16faketrns.bmp", true, 16},
                    OddFile{"q/rgb24jpeg.bmp", true, 24}, OddFile{"q/rgb24largepal.bmp", true, 24},
                    OddFile{"q/rgb24lprof.bmp", true, 24}, OddFile{"q/rgb24png.bmp", true, 24},
                    OddFile{"q/rgb24rle24.bmp", false, 0}, OddFile{"q/rgb32-111110.bmp", true, 24},
                    OddFile{"q/rgb32-7187.bmp", true, 24}, OddFile{"q/rgb32-xbgr.bmp", true, 24},
                    OddFile{"q/rgb32fakealpha.bmp", true, 24}, OddFile{"q/rgb32h52.bmp", true, 24},
                    OddFile{"q/rgba16-1924.bmp", true, 24}, OddFile{"q/rgba16-4444.bmp", true, 24},
                    OddFile{"q/rgba16-5551.bmp", true, 24}, OddFile{"q/rgba32-1.bmp", true, 24},
                    OddFile{"q/rgba32-1010102.bmp", true, 24}, OddFile{"q/rgba32-2.bmp", true, 24},
                    OddFile{"q/rgba32-61754.bmp", true, 24}, OddFile{"q/rgba32-81284.bmp", true, 24},
                    OddFile{"q/rgba32abf.bmp", true, 24}, OddFile{"q/rgba32h56.bmp", true, 24},
                    OddFile{"q/rgba64.bmp", false, 0}, OddFile{"b/badbitcount.bmp", false, 0},
                    OddFile{"b/badbitssize.bmp", true, 1}, OddFile{"b/baddens1.bmp", true, 1},
                    OddFile{"b/baddens2.bmp", true, 1}, OddFile{"b/badfilesize.bmp", true, 1},
                    OddFile{"b/badheadersize.bmp", false, 0}, OddFile{"b/badpalettesize.bmp", false, 0},
                    OddFile{"b/badplanes.bmp", true, 1}, OddFile{"b/badrle.bmp", false, 0},
                    OddFile{"b/badrle4.bmp", false, 0}, OddFile{"b/badrle4bis.bmp", false, 0},
                    OddFile{"b/badrle4ter.bmp", false, 0}, OddFile{"b/badrlebis.bmp", false, 0},
                    OddFile{"b/badrleter.bmp", false, 0}, OddFile{"b/badwidth.bmp", false, 0},
                    OddFile{"b/pal8badindex.bmp", true, 8}, OddFile{"b/reallybig.bmp", false, 0},
                    OddFile{"b/rgb16-880.bmp", true, 24}, OddFile{"b/rletopdown.bmp", false, 0},
                    OddFile{"b/shortfile.bmp", false, 0}),
    [](const testing::TestParamInfo<OddFile>& info) {
        std::string name = info.param.path;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

} // namespace
} // namespace imagefile::test
