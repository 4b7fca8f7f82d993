// Every parameter range declared in rasterkit.h, at its bounds and one step outside them, through
// ImageEntry: both bounds are accepted, and a value outside is refused with the declared code,
// acts as the nearer bound (clamped), as the value a whole range further in (wraps), or is
// accepted as it is (not checked).
#include "rasterkit_harness.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <type_traits>

using namespace rktest;

namespace {

LightingParam lightingScene() {
    LightingParam p{};
    p.bumpStrength = 50;
    p.shininess = 8;
    p.ambientRed = p.ambientGreen = p.ambientBlue = 0.4f;
    p.lightCount = 2;
    p.lights[0] = {RK_LIGHT_SPOT, 5, 4, 10, 0, 0, -1, 1, 1, 1, 20};
    p.lights[1] = {RK_LIGHT_POINT, 2, 2, 5, 0, 0, 0, 0.5f, 0.5f, 0.5f, 0};
    return p;
}

// One block of each operation, set where each ranged field changes the picture.
struct Blocks {
    BrightnessContrastGammaParam bcg{20, 30, 1.5};
    HueSaturationLightnessParam hsl{40, 30, 10, 0};
    ResizeParam resize{5, 1};
    ChangeModeParam mode{RK_MODE_TARGET_BLACK_WHITE, RK_MODE_METHOD_ORDERED, 128};
    TextParam text{nullptr, "Ag", "DejaVu Sans", -12, 0, 0, 0, 0xffffff, 0};
    BlurParam blur{5};
    SharpenParam sharpen{5, 0};
    EmbossParam emboss{2, 5, 1.5};
    MosaicParam mosaic{2, 3};
    RainParam rain{5, 20, 2, 60, 0xffffff};
    NoiseParam noise{30, RK_NOISE_UNIFORM};
    BlocksParam blocks{2};
    LightingParam lighting = lightingScene();
    PinchParam pinch{40};
    DiffuseParam diffuse{3, RK_DIFFUSE_NORMAL};
};

// Sets one field of one block to the value and gives the block as lpParam.
using Setter = void* (*)(Blocks&, double);

template <auto Block, auto Field> void* field(Blocks& blocks, double value) {
    auto& block = blocks.*Block;
    block.*Field = static_cast<std::remove_reference_t<decltype(block.*Field)>>(value);
    return &block;
}

void* snowDensity(Blocks&, double value) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(value));
}

void* spotSpread(Blocks& blocks, double value) {
    blocks.lighting.lights[0].spread = static_cast<float>(value);
    return &blocks.lighting;
}

enum class Outside { clamped, wraps, unchecked, refused };

constexpr double kOpen = std::numeric_limits<double>::quiet_NaN(); // a bound that is not declared

struct RangedField {
    const char* name;
    int op;
    int bits; // of the source
    double min;
    double max;
    Outside outside;
    int belowCode; // refused: the codes of min - 1 and max + 1
    int aboveCode;
    Setter set;
};

using enum Outside;
constexpr int kOk = RK_RESULT_SUCCEED;
constexpr int kNo = RK_RESULT_NOT_SUPPORTED;

const RangedField kFields[] = {
    // clang-format off
    {"BCG brightness", RK_OP_BRIGHTNESS_CONTRAST_GAMMA, 24, RK_BCG_BRIGHTNESS_MIN, RK_BCG_BRIGHTNESS_MAX, clamped, kOk, kOk, field<&Blocks::bcg, &BrightnessContrastGammaParam::brightness>},
    {"BCG contrast", RK_OP_BRIGHTNESS_CONTRAST_GAMMA, 24, RK_BCG_CONTRAST_MIN, RK_BCG_CONTRAST_MAX, clamped, kOk, kOk, field<&Blocks::bcg, &BrightnessContrastGammaParam::contrast>},
    {"BCG gamma", RK_OP_BRIGHTNESS_CONTRAST_GAMMA, 24, RK_BCG_GAMMA_MIN, RK_BCG_GAMMA_MAX, unchecked, kOk, kOk, field<&Blocks::bcg, &BrightnessContrastGammaParam::gamma>},
    {"HSL hue", RK_OP_HUE_SATURATION_LIGHTNESS, 24, RK_HSL_HUE_MIN, RK_HSL_HUE_MAX, wraps, kOk, kOk, field<&Blocks::hsl, &HueSaturationLightnessParam::hue>},
    {"HSL saturation", RK_OP_HUE_SATURATION_LIGHTNESS, 24, RK_HSL_SATURATION_MIN, RK_HSL_SATURATION_MAX, clamped, kOk, kOk, field<&Blocks::hsl, &HueSaturationLightnessParam::saturation>},
    {"HSL lightness", RK_OP_HUE_SATURATION_LIGHTNESS, 24, RK_HSL_LIGHTNESS_MIN, RK_HSL_LIGHTNESS_MAX, clamped, kOk, kOk, field<&Blocks::hsl, &HueSaturationLightnessParam::lightness>},
    {"Resize width", RK_OP_RESIZE, 8, RK_RESIZE_WIDTH_MIN, RK_RESIZE_WIDTH_MAX, refused, RK_RESULT_TOO_SMALL, kNo, field<&Blocks::resize, &ResizeParam::width>},
    {"Resize height", RK_OP_RESIZE, 8, RK_RESIZE_HEIGHT_MIN, RK_RESIZE_HEIGHT_MAX, refused, RK_RESULT_TOO_SMALL, kNo, field<&Blocks::resize, &ResizeParam::height>},
    {"ChangeMode method", RK_OP_CHANGE_MODE, 8, RK_MODE_METHOD_MIN, RK_MODE_METHOD_MAX, refused, kNo, kNo, field<&Blocks::mode, &ChangeModeParam::method>},
    {"Text layout", RK_OP_TEXT, 24, RK_TEXT_LAYOUT_MIN, RK_TEXT_LAYOUT_MAX, refused, kNo, kNo, field<&Blocks::text, &TextParam::layout>},
    {"Blur level", RK_OP_BLUR, 24, RK_BLUR_LEVEL_MIN, RK_BLUR_LEVEL_MAX, clamped, kOk, kOk, field<&Blocks::blur, &BlurParam::level>},
    {"Sharpen level", RK_OP_SHARPEN, 24, RK_SHARPEN_LEVEL_MIN, RK_SHARPEN_LEVEL_MAX, clamped, kOk, kOk, field<&Blocks::sharpen, &SharpenParam::level>},
    {"Emboss direction", RK_OP_EMBOSS, 24, RK_EMBOSS_DIRECTION_MIN, RK_EMBOSS_DIRECTION_MAX, clamped, kOk, kOk, field<&Blocks::emboss, &EmbossParam::direction>},
    {"Emboss size", RK_OP_EMBOSS, 24, RK_EMBOSS_SIZE_MIN, RK_EMBOSS_SIZE_MAX, clamped, kOk, kOk, field<&Blocks::emboss, &EmbossParam::size>},
    {"Mosaic cell width", RK_OP_MOSAIC, 24, RK_MOSAIC_CELL_WIDTH_MIN, kOpen, clamped, kOk, kOk, field<&Blocks::mosaic, &MosaicParam::cellWidth>},
    {"Mosaic cell height", RK_OP_MOSAIC, 24, RK_MOSAIC_CELL_HEIGHT_MIN, kOpen, clamped, kOk, kOk, field<&Blocks::mosaic, &MosaicParam::cellHeight>},
    {"Rain density", RK_OP_RAIN, 24, RK_RAIN_DENSITY_MIN, kOpen, clamped, kOk, kOk, field<&Blocks::rain, &RainParam::density>},
    {"Rain length", RK_OP_RAIN, 24, RK_RAIN_LENGTH_MIN, kOpen, clamped, kOk, kOk, field<&Blocks::rain, &RainParam::length>},
    {"Rain thickness", RK_OP_RAIN, 24, RK_RAIN_THICKNESS_MIN, kOpen, clamped, kOk, kOk, field<&Blocks::rain, &RainParam::thickness>},
    {"Rain opacity", RK_OP_RAIN, 24, RK_RAIN_OPACITY_MIN, RK_RAIN_OPACITY_MAX, clamped, kOk, kOk, field<&Blocks::rain, &RainParam::opacity>},
    {"Snow density", RK_OP_SNOW, 24, RK_SNOW_DENSITY_MIN, RK_SNOW_DENSITY_MAX, clamped, kOk, kOk, snowDensity},
    {"Noise amount", RK_OP_NOISE, 24, RK_NOISE_AMOUNT_MIN, RK_NOISE_AMOUNT_MAX, clamped, kOk, kOk, field<&Blocks::noise, &NoiseParam::amount>},
    {"Blocks passes", RK_OP_BLOCKS, 24, RK_BLOCKS_PASSES_MIN, RK_BLOCKS_PASSES_MAX, clamped, kOk, kOk, field<&Blocks::blocks, &BlocksParam::passes>},
    {"Lighting bump strength", RK_OP_LIGHTING_EFFECT, 24, RK_LIGHTING_BUMP_STRENGTH_MIN, RK_LIGHTING_BUMP_STRENGTH_MAX, clamped, kOk, kOk, field<&Blocks::lighting, &LightingParam::bumpStrength>},
    {"Lighting shininess", RK_OP_LIGHTING_EFFECT, 24, RK_LIGHTING_SHININESS_MIN, kOpen, clamped, kOk, kOk, field<&Blocks::lighting, &LightingParam::shininess>},
    {"Lighting light count", RK_OP_LIGHTING_EFFECT, 24, RK_LIGHTING_LIGHT_COUNT_MIN, RK_LIGHTING_LIGHT_COUNT_MAX, clamped, kOk, kOk, field<&Blocks::lighting, &LightingParam::lightCount>},
    {"Light spread", RK_OP_LIGHTING_EFFECT, 24, RK_LIGHT_SPREAD_MIN, RK_LIGHT_SPREAD_MAX, clamped, kOk, kOk, spotSpread},
    {"Pinch amount", RK_OP_PINCH, 24, RK_PINCH_AMOUNT_MIN, RK_PINCH_AMOUNT_MAX, clamped, kOk, kOk, field<&Blocks::pinch, &PinchParam::amount>},
    {"Diffuse distance", RK_OP_DIFFUSE, 24, RK_DIFFUSE_DISTANCE_MIN, RK_DIFFUSE_DISTANCE_MAX, clamped, kOk, kOk, field<&Blocks::diffuse, &DiffuseParam::distance>},
    // clang-format on
};

// What a call gives back: the first code that is not success, and what the run pass wrote.
struct Picture {
    int code = kOk;
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> palette;
    std::vector<std::uint8_t> mask; // Text: the coverage it hands back
    bool operator==(const Picture&) const = default;
};

Picture runAt(const RangedField& f, double value) {
    Blocks blocks;
    void* param = f.set(blocks, value);
    Bitmap src = makeBitmap(f.bits, 11, 9);
    fillPattern(src, 5);
    RunOptions options;
    // Text hands its coverage back in a mask tile and the extra buffer, both of its own size.
    MaskTile tile{};
    std::vector<std::uint8_t> coverage;
    std::vector<std::uint8_t> extra;
    if (f.op == RK_OP_TEXT) {
        ImageInfo info = makeInfo(src, param);
        char message[128] = {};
        if (ImageEntry(f.op, &info, message) == kOk) {
            coverage.assign(static_cast<std::size_t>(info.nDstWidth) * info.nDstHeight, 0);
            extra = coverage;
        }
        tile.lpBits = coverage.data();
        options.mask = &tile;
        options.extra = extra.data();
    }
    std::srand(7); // the effects that draw from the process generator draw the same
    const Outcome out = runOperation(f.op, src, param, options);
    Picture picture;
    picture.code = out.query != kOk ? out.query : out.run;
    if (picture.code == kOk) {
        picture.pixels = out.dst.pixels;
        picture.palette = out.dst.palette;
        picture.mask = coverage;
    }
    return picture;
}

// Value `outside` gives the picture of `inside`. Rain and Noise seed from the clock's second, so
// the comparison is trusted only when two pictures of `inside` around it agree.
void expectSamePicture(const RangedField& f, double outside, double inside) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        const Picture before = runAt(f, inside);
        const Picture atOutside = runAt(f, outside);
        const Picture after = runAt(f, inside);
        if (before != after) continue;
        EXPECT_EQ(before.code, kOk);
        EXPECT_TRUE(atOutside == before) << outside << " should act as " << inside;
        return;
    }
    ADD_FAILURE() << "the picture of " << inside << " does not repeat";
}

TEST(ParameterRanges, BoundsAcceptedAndOutsideAsDeclared) {
    for (const RangedField& f : kFields) {
        SCOPED_TRACE(f.name);
        const double span = f.max - f.min;
        for (const double bound : {f.min, f.max}) {
            if (std::isnan(bound)) continue;
            EXPECT_EQ(runAt(f, bound).code, kOk) << "at " << bound;
        }
        const double below = f.min - 1;
        const double above = f.max + 1;
        switch (f.outside) {
        case refused:
            EXPECT_EQ(runAt(f, below).code, f.belowCode) << "at " << below;
            EXPECT_EQ(runAt(f, above).code, f.aboveCode) << "at " << above;
            break;
        case clamped:
            expectSamePicture(f, below, f.min);
            if (!std::isnan(f.max)) expectSamePicture(f, above, f.max);
            break;
        case wraps:
            expectSamePicture(f, below, below + span);
            expectSamePicture(f, above, above - span);
            break;
        case unchecked:
            EXPECT_EQ(runAt(f, below).code, kOk) << "at " << below;
            EXPECT_EQ(runAt(f, above).code, kOk) << "at " << above;
            break;
        }
    }
}

} // namespace
