// Write-then-read round trips for every format, depth and a set of awkward widths.
#include "component.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace imagefile::test {
namespace {

enum class Kind { Mono, MonoWhiteFirst, Palette4, Grey4, Grey8, Palette8, Rgb16, Rgb24 };

struct KindInfo {
    Kind kind;
    const char* name;
    int bits;
};

constexpr KindInfo kKinds[] = {
    {Kind::Mono, "mono", 1},     {Kind::MonoWhiteFirst, "monowhite", 1},
    {Kind::Palette4, "pal4", 4}, {Kind::Grey4, "grey4", 4},
    {Kind::Grey8, "grey8", 8},   {Kind::Palette8, "pal8", 8},
    {Kind::Rgb16, "rgb16", 16},  {Kind::Rgb24, "rgb24", 24},
};

Image makeKind(Kind kind, int width, int height, int32_t pels) {
    switch (kind) {
    case Kind::Mono:
        return makeImage(width, height, 1, true, pels);
    case Kind::MonoWhiteFirst: {
        Image image = makeImage(width, height, 1, true, pels);
        std::swap(image.block.palette[0], image.block.palette[1]);
        return image;
    }
    case Kind::Palette4:
        return makeImage(width, height, 4, false, pels);
    case Kind::Grey4:
        return makeImage(width, height, 4, true, pels);
    case Kind::Grey8:
        return makeImage(width, height, 8, true, pels);
    case Kind::Palette8:
        return makeImage(width, height, 8, false, pels);
    case Kind::Rgb16:
        return makeImage(width, height, 16, false, pels);
    case Kind::Rgb24:
        return makeImage(width, height, 24, false, pels);
    }
    return {};
}

struct FormatInfo {
    const char* extension;
    bool lossless;
    bool keepsResolution;
    // Depth each kind reads back as.
    int depth(Kind kind) const;
};

int FormatInfo::depth(Kind kind) const {
    const std::string ext = extension;
    const int bits = kKinds[static_cast<int>(kind)].bits;
    if (ext == "bmp") return bits;
    if (ext == "jpg")
        return (kind == Kind::Mono || kind == Kind::MonoWhiteFirst || kind == Kind::Grey4 ||
                kind == Kind::Grey8)
                   ? 8
                   : 24;
    if (ext == "png") return bits;
    if (ext == "tga") return bits < 8 ? 8 : bits;
    return bits == 16 ? 24 : bits; // tif, pcx
}

const FormatInfo kFormats[] = {
    {"bmp", true, true}, {"jpg", false, true}, {"png", true, true},
    {"tif", true, true}, {"pcx", true, true},  {"tga", true, false},
};

struct RoundTrip {
    FormatInfo format;
    KindInfo kind;
    int width;
};

std::vector<RoundTrip> allRoundTrips() {
    std::vector<RoundTrip> cases;
    for (const FormatInfo& f : kFormats)
        for (const KindInfo& k : kKinds)
            for (int width : {1, 3, 7, 8, 33})
                cases.push_back({f, k, width});
    return cases;
}

class WriteThenRead : public testing::TestWithParam<RoundTrip> {};

TEST_P(WriteThenRead, GivesThePictureBack) {
    const RoundTrip& c = GetParam();
    ScratchFolder folder;
    const int height = 5;
    const int32_t pels = 23622; // 600 dots per inch
    Image original = makeKind(c.kind.kind, c.width, height, pels);
    if (!c.format.lossless) {
        // JPEG is lossy: a flat picture must come back within rounding.
        for (int y = 0; y < height; ++y) {
            uint8_t* row = original.pixels.data() + y * original.stride();
            std::memset(row,
                        original.bits() == 24  ? 0x5A
                        : original.bits() == 1 ? 0xFF
                                               : 0x11,
                        (static_cast<size_t>(c.width) * original.bits() + 7) / 8);
            if (original.bits() == 1 && c.width % 8)
                row[c.width / 8] &= static_cast<uint8_t>(0xFF00 >> (c.width % 8));
            if (original.bits() == 4 && c.width % 2) row[c.width / 2] &= 0xF0;
        }
    }
    const std::string path = folder.file(std::string("picture.") + c.format.extension);
    std::string error;
    ASSERT_TRUE(writeFile(path, original, &error)) << error;
    Image back;
    ASSERT_TRUE(readFile(path, back, &error)) << error;
    EXPECT_EQ(back.width(), c.width);
    EXPECT_EQ(back.height(), height);
    EXPECT_EQ(back.bits(), c.format.depth(c.kind.kind));
    EXPECT_EQ(back.block.header.size, 40u);
    EXPECT_EQ(back.block.header.planes, 1);
    EXPECT_EQ(back.block.header.compression, 0u);
    EXPECT_EQ(back.block.header.sizeImage, back.pixels.size());
    EXPECT_EQ(back.block.header.xPelsPerMeter, c.format.keepsResolution ? pels : 0);
    if (c.format.keepsResolution) {
        EXPECT_EQ(back.block.header.yPelsPerMeter, pels);
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            const uint32_t want = original.rgb(x, y), got = back.rgb(x, y);
            if (c.format.lossless) {
                ASSERT_EQ(got, want) << "pixel " << x << "," << y;
            } else {
                for (int shift : {0, 8, 16})
                    ASSERT_LE(std::abs(static_cast<int>((got >> shift) & 255) -
                                       static_cast<int>((want >> shift) & 255)),
                              3)
                        << "pixel " << x << "," << y << std::hex << " " << got << " " << want;
            }
        }
    }
    if (c.format.lossless && back.bits() == original.bits()) {
        Image expected = original;
        if (std::string(c.format.extension) == "pcx" && c.kind.kind == Kind::MonoWhiteFirst) {
            // PCX keeps black and white the usual way round: palette black, white and the bits inverted.
            std::swap(expected.block.palette[0], expected.block.palette[1]);
            for (int y = 0; y < height; ++y) {
                uint8_t* row = expected.pixels.data() + y * expected.stride();
                for (int i = 0; i < (c.width + 7) / 8; ++i)
                    row[i] = static_cast<uint8_t>(~row[i]);
                if (c.width % 8) row[c.width / 8] &= static_cast<uint8_t>(0xFF00 >> (c.width % 8));
            }
        }
        // Depth kept: the very same bytes, padding included, and the same palette.
        EXPECT_EQ(back.pixels, expected.pixels);
        for (unsigned i = 0; i < paletteCount(expected.block.header); ++i)
            EXPECT_EQ(back.block.palette[i], expected.block.palette[i]) << "entry " << i;
    }
    // Rows handed out one at a time give the very same file, each row asked for once; a source that
    // fails halfway fails the write and leaves nothing behind.
    const std::string byRows = folder.file(std::string("rows.") + c.format.extension);
    int asked = 0;
    ASSERT_TRUE(writeFileByRows(byRows, original, &error, -1, &asked)) << error;
    EXPECT_EQ(asked, height);
    std::ifstream a(path, std::ios::binary), b(byRows, std::ios::binary);
    EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(a), {}, std::istreambuf_iterator<char>(b), {}));
    std::filesystem::remove(byRows);
    EXPECT_FALSE(writeFileByRows(byRows, original, &error, height / 2));
    EXPECT_FALSE(error.empty());
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(folder.entries(), std::vector<std::string>{std::string("picture.") + c.format.extension});
}

INSTANTIATE_TEST_SUITE_P(AllFormats, WriteThenRead, testing::ValuesIn(allRoundTrips()),
                         [](const testing::TestParamInfo<RoundTrip>& info) {
                             return std::string(info.param.format.extension) + "_" + info.param.kind.name +
                                    "_w" + std::to_string(info.param.width);
                         });

// Rows reported final while a file is read are final: a copy taken of each row when it is reported
// equals the row at the end. JPEG reports as it decodes, the others only the height at the end.
TEST(ReadImageRows, RowsReportedAreFinal) {
    struct Case {
        const char* extension;
        int bits;
        bool fromTopAsDecoded;
    };
    const Case cases[] = {{"jpg", 24, true}, {"jpg", 8, true}, {"bmp", 24, false}, {"png", 24, false}};
    const Component& c = Component::main();
    ASSERT_NE(c.api.ReadImageRows, nullptr);
    for (const Case& k : cases) {
        ScratchFolder folder;
        const std::string path = folder.file(std::string("p.") + k.extension);
        const Image original = makeImage(45, 70, k.bits, k.bits == 8);
        ASSERT_TRUE(writeFile(path, original));
        struct Watch {
            std::vector<uint8_t>* pixels;
            uint64_t stride;
            int32_t height;
            std::vector<uint8_t> copies;
            std::vector<int32_t> reports;
        };
        RaduvHandle h = nullptr;
        ASSERT_TRUE(c.api.NewRaduvOR(&h));
        Image back;
        back.pixels.assign(c.api.GetImageSize(h, path.c_str()), 0xCD);
        const uint64_t stride = rowStride(45, k.bits);
        Watch watch{&back.pixels, stride, 70, std::vector<uint8_t>(back.pixels.size(), 0xEE), {}};
        auto rowsDone = [](void* context, int32_t rows) {
            auto& w = *static_cast<Watch*>(context);
            const int32_t from = w.reports.empty() ? 0 : w.reports.back();
            for (int32_t top = from; top < rows; ++top) {
                const uint64_t at = static_cast<uint64_t>(w.height - 1 - top) * w.stride;
                std::copy_n(w.pixels->begin() + static_cast<std::ptrdiff_t>(at), w.stride,
                            w.copies.begin() + static_cast<std::ptrdiff_t>(at));
            }
            w.reports.push_back(rows);
        };
        ASSERT_TRUE(c.api.ReadImageRows(h, path.c_str(), &back.block, back.pixels.data(), rowsDone, &watch))
            << c.api.GetLastErrorMessage(h);
        c.api.FreeRaduvOR(h);
        EXPECT_EQ(back.block.header.height, 70) << k.extension;
        EXPECT_TRUE(std::is_sorted(watch.reports.begin(), watch.reports.end())) << k.extension;
        ASSERT_FALSE(watch.reports.empty());
        EXPECT_EQ(watch.reports.back(), 70) << k.extension;
        EXPECT_EQ(watch.reports.size() > 2, k.fromTopAsDecoded) << k.extension;
        EXPECT_EQ(watch.copies, back.pixels) << k.extension << " " << k.bits;
    }
}

// Rows placed by the caller: the same pixels as a whole read, each row asked for once, in order,
// never more than 16 beyond those reported final, the header known before the first; a file not
// decoded from the top is refused before any row, and a missing place fails the read.
TEST(ReadImageInto, RowsGoWhereTheyArePlaced) {
    struct Case {
        const char* extension;
        int bits;
        int placesUntil; // the first row given no place
        int result;
    };
    const Case cases[] = {
        {"jpg", 24, 70, 1}, {"jpg", 8, 70, 1}, {"jpg", 24, 33, 0}, {"bmp", 24, 70, -1}, {"png", 24, 70, -1}};
    const Component& c = Component::main();
    ASSERT_NE(c.api.ReadImageInto, nullptr);
    for (const Case& k : cases) {
        ScratchFolder folder;
        const std::string path = folder.file(std::string("p.") + k.extension);
        const Image original = makeImage(45, 70, k.bits, k.bits == 8);
        ASSERT_TRUE(writeFile(path, original));
        Image whole;
        ASSERT_TRUE(readFile(path, whole));
        struct Rows {
            const Case& k;
            HeaderBlock* header;
            uint64_t stride;
            std::vector<std::vector<uint8_t>> rows;
            int32_t reported = 0;
            bool inOrder = true, headerFirst = true, withinLead = true;
        } rows{k, nullptr, whole.stride(), {}, 0};
        HeaderBlock header{};
        rows.header = &header;
        auto place = [](void* context, int32_t row) -> void* {
            auto& r = *static_cast<Rows*>(context);
            r.inOrder = r.inOrder && row == static_cast<int32_t>(r.rows.size());
            r.headerFirst = r.headerFirst && r.header->header.height == 70;
            r.withinLead = r.withinLead && row < r.reported + 16;
            if (row >= r.k.placesUntil) return nullptr;
            return r.rows.emplace_back(r.stride, 0xCD).data();
        };
        auto rowsDone = [](void* context, int32_t n) { static_cast<Rows*>(context)->reported = n; };
        RaduvHandle h = nullptr;
        ASSERT_TRUE(c.api.NewRaduvOR(&h));
        const int result = c.api.ReadImageInto(h, path.c_str(), &header, place, rowsDone, &rows);
        c.api.FreeRaduvOR(h);
        EXPECT_EQ(result, k.result) << k.extension << " " << k.bits << " until " << k.placesUntil;
        if (result != 1) {
            EXPECT_EQ(rows.rows.size(), result < 0 ? 0u : static_cast<std::size_t>(k.placesUntil))
                << k.extension;
            continue;
        }
        EXPECT_TRUE(rows.inOrder) << k.bits;
        EXPECT_TRUE(rows.headerFirst) << k.bits;
        EXPECT_TRUE(rows.withinLead) << k.bits;
        EXPECT_EQ(std::memcmp(&header, &whole.block, sizeof header), 0) << k.bits;
        ASSERT_EQ(rows.rows.size(), 70u);
        for (int32_t top = 0; top < 70; ++top)
            EXPECT_TRUE(
                std::equal(rows.rows[top].begin(), rows.rows[top].end(),
                           whole.pixels.begin() + static_cast<std::ptrdiff_t>((69 - top) * whole.stride())))
                << k.bits << " row " << top;
    }
}

} // namespace
} // namespace imagefile::test
