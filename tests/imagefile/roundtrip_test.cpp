// Write-then-read round trips for every format, depth and a set of awkward widths.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "component.h"

namespace imagefile::test {
namespace {

enum class Kind { Mono, MonoWhiteFirst, Palette4, Grey4, Grey8, Palette8, Rgb16, Rgb24 };

struct KindInfo {
  Kind kind;
  const char* name;
  int bits;
};

constexpr KindInfo kKinds[] = {
    {Kind::Mono, "mono", 1},         {Kind::MonoWhiteFirst, "monowhite", 1}, {Kind::Palette4, "pal4", 4},
    {Kind::Grey4, "grey4", 4},       {Kind::Grey8, "grey8", 8},              {Kind::Palette8, "pal8", 8},
    {Kind::Rgb16, "rgb16", 16},      {Kind::Rgb24, "rgb24", 24},
};

Image makeKind(Kind kind, int width, int height, int32_t pels) {
  switch (kind) {
    case Kind::Mono: return makeImage(width, height, 1, true, pels);
    case Kind::MonoWhiteFirst: {
      Image image = makeImage(width, height, 1, true, pels);
      std::swap(image.block.palette[0], image.block.palette[1]);
      return image;
    }
    case Kind::Palette4: return makeImage(width, height, 4, false, pels);
    case Kind::Grey4: return makeImage(width, height, 4, true, pels);
    case Kind::Grey8: return makeImage(width, height, 8, true, pels);
    case Kind::Palette8: return makeImage(width, height, 8, false, pels);
    case Kind::Rgb16: return makeImage(width, height, 16, false, pels);
    case Kind::Rgb24: return makeImage(width, height, 24, false, pels);
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
  if (ext == "jpg") return (kind == Kind::Mono || kind == Kind::MonoWhiteFirst || kind == Kind::Grey4 || kind == Kind::Grey8) ? 8 : 24;
  if (ext == "png") return bits;
  if (ext == "tga") return bits < 8 ? 8 : bits;
  return bits == 16 ? 24 : bits;  // tif, pcx
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
      for (int width : {1, 3, 7, 8, 33}) cases.push_back({f, k, width});
  return cases;
}

class WriteThenRead : public testing::TestWithParam<RoundTrip> {};

TEST_P(WriteThenRead, GivesThePictureBack) {
  const RoundTrip& c = GetParam();
  ScratchFolder folder;
  const int height = 5;
  const int32_t pels = 23622;  // 600 dots per inch
  Image original = makeKind(c.kind.kind, c.width, height, pels);
  if (!c.format.lossless) {
    // JPEG is lossy: a flat picture must come back within rounding.
    for (int y = 0; y < height; ++y) {
      uint8_t* row = original.pixels.data() + y * original.stride();
      std::memset(row, original.bits() == 24 ? 0x5A : original.bits() == 1 ? 0xFF : 0x11,
                  (static_cast<size_t>(c.width) * original.bits() + 7) / 8);
      if (original.bits() == 1 && c.width % 8) row[c.width / 8] &= static_cast<uint8_t>(0xFF00 >> (c.width % 8));
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
          ASSERT_LE(std::abs(static_cast<int>((got >> shift) & 255) - static_cast<int>((want >> shift) & 255)), 3)
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
        for (int i = 0; i < (c.width + 7) / 8; ++i) row[i] = static_cast<uint8_t>(~row[i]);
        if (c.width % 8) row[c.width / 8] &= static_cast<uint8_t>(0xFF00 >> (c.width % 8));
      }
    }
    // Depth kept: the very same bytes, padding included, and the same palette.
    EXPECT_EQ(back.pixels, expected.pixels);
    for (unsigned i = 0; i < paletteCount(expected.block.header); ++i)
      EXPECT_EQ(back.block.palette[i], expected.block.palette[i]) << "entry " << i;
  }
  // Nothing but the file itself is left in the folder.
  EXPECT_EQ(folder.entries(), std::vector<std::string>{std::string("picture.") + c.format.extension});
}

INSTANTIATE_TEST_SUITE_P(AllFormats, WriteThenRead, testing::ValuesIn(allRoundTrips()),
                         [](const testing::TestParamInfo<RoundTrip>& info) {
                           return std::string(info.param.format.extension) + "_" + info.param.kind.name + "_w" +
                                  std::to_string(info.param.width);
                         });

}  // namespace
}  // namespace imagefile::test
