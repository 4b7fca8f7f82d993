// The rule a part must pass to join the part already loaded: for files (window and command line)
// and for a scan request against the part in the other side.
#include "engine/part_check.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

enum Palette { Gray, Colour };

HeaderBlock part(std::uint16_t bits, std::int32_t xPelsPerMeter, std::uint32_t clrUsed = 0,
                 Palette palette = Gray) {
    HeaderBlock block{};
    block.header = ImageHeader{40, 100, 50, 1, bits, 0, 0, xPelsPerMeter, 11811, clrUsed, 0};
    for (std::size_t i = 0; i < block.palette.size(); ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        block.palette[i] = palette == Gray ? PaletteEntry{v, v, v, 0} : PaletteEntry{v, 0, 255, 0};
    }
    return block;
}

constexpr std::int32_t ppm300 = 11811;

TEST(PartCheck, SecondPartAgainstTheFirst) {
    const struct {
        const char* name;
        HeaderBlock first;
        HeaderBlock second;
        PartCheck expected;
        std::uint32_t referenceKind;
        bool referenceGray;
    } cases[] = {
        {"19 above", part(24, ppm300), part(24, 11830), PartCheck::Accepted, 24, false},
        {"20 above", part(24, ppm300), part(24, 11831), PartCheck::ResolutionDiffers, 24, false},
        {"19 below", part(24, ppm300), part(24, 11792), PartCheck::Accepted, 24, false},
        {"20 below", part(24, ppm300), part(24, 11791), PartCheck::ResolutionDiffers, 24, false},
        {"type before resolution", part(24, ppm300), part(1, 5906), PartCheck::TypeDiffers, 24, false},
        {"gray then palette colour", part(8, ppm300), part(8, ppm300, 0, Colour), PartCheck::TypeDiffers, 8,
         true},
        {"palette colour then gray", part(8, ppm300, 0, Colour), part(8, ppm300), PartCheck::TypeDiffers, 8,
         false},
        {"kind by count", part(8, ppm300, 256, Colour), part(8, ppm300, 16, Colour), PartCheck::TypeDiffers,
         256, false},
        {"palette colour then colour", part(8, ppm300, 256, Colour), part(24, ppm300), PartCheck::TypeDiffers,
         256, false},
        {"colour then palette colour", part(24, ppm300), part(8, ppm300, 256, Colour), PartCheck::TypeDiffers,
         24, false},
        {"line art then colour", part(1, ppm300), part(24, ppm300), PartCheck::TypeDiffers, 1, false},
        {"four bits", part(24, ppm300), part(4, ppm300, 16), PartCheck::NotSupported, 24, false},
        {"no resolution", part(24, ppm300), part(24, 0), PartCheck::NotSupported, 24, false},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(checkPart(c.first, nullptr), PartCheck::Accepted) << c.name;
        const PartReference reference = partReferenceOf(c.first);
        EXPECT_EQ(reference.colourKind, c.referenceKind) << c.name;
        EXPECT_EQ(reference.gray, c.referenceGray) << c.name;
        EXPECT_EQ(reference.xPelsPerMeter, c.first.header.xPelsPerMeter) << c.name;
        EXPECT_EQ(reference.yPelsPerMeter, 11811) << c.name;
        EXPECT_EQ(checkPart(c.second, &reference), c.expected) << c.name;
    }
    // Alone, a part is judged by its depth and stated resolution only.
    EXPECT_EQ(checkPart(part(24, 1), nullptr), PartCheck::Accepted);
    EXPECT_EQ(checkPart(part(16, ppm300), nullptr), PartCheck::NotSupported);
    EXPECT_EQ(checkPart(part(8, 0), nullptr), PartCheck::NotSupported);
}

TEST(PartCheck, ScanRequestAgainstThePartLoaded) {
    // The reference as the workspace hands it over: palette colour counts as kind 24.
    const PartReference colour{false, 24, ppm300, ppm300};
    const PartReference gray{true, 256, ppm300, ppm300};
    const PartReference twoGrays{true, 2, ppm300, ppm300};
    const PartReference lineArt{false, 1, ppm300, ppm300};
    const struct {
        const char* name;
        PartReference existing;
        std::uint32_t bits;
        bool gray;
        std::int32_t xPelsPerMeter;
        PartCheck expected;
    } cases[] = {
        {"colour", colour, 24, false, ppm300, PartCheck::Accepted},
        {"19 apart", colour, 24, false, 11830, PartCheck::Accepted},
        {"20 apart", colour, 24, false, 11831, PartCheck::ResolutionDiffers},
        {"20 below", colour, 24, false, 11791, PartCheck::ResolutionDiffers},
        {"gray onto colour", colour, 8, true, ppm300, PartCheck::TypeDiffers},
        {"gray onto gray by count", gray, 8, true, ppm300, PartCheck::Accepted},
        {"line art onto gray", gray, 1, false, ppm300, PartCheck::TypeDiffers},
        {"line art onto line art", lineArt, 1, false, ppm300, PartCheck::Accepted},
        {"same depth, other gray flag", twoGrays, 1, false, ppm300, PartCheck::NotSupported},
        {"depth before resolution", colour, 8, true, 5906, PartCheck::TypeDiffers},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkScanRequest(c.bits, c.gray, c.xPelsPerMeter, c.existing), c.expected) << c.name;
}

} // namespace
} // namespace tandemscan
