// The ImageEntry frame: the operation table, record checks, result codes and messages.
#include "operations.h"
#include "rasterkit_internal.h"

#include <array>
#include <cstddef>
#include <iterator>
#include <new>

// The record layouts are part of the boundary; a change of any offset breaks every caller.
static_assert(sizeof(void*) == 8, "the boundary layouts below are those of a 64-bit build");
static_assert(offsetof(ImageInfo, dwSize) == 0);
static_assert(offsetof(ImageInfo, wFlagA) == 4);
static_assert(offsetof(ImageInfo, wFlagB) == 6);
static_assert(offsetof(ImageInfo, dwMode) == 8);
static_assert(offsetof(ImageInfo, lpfnIsCanceled) == 16);
static_assert(offsetof(ImageInfo, lpfnProgress) == 24);
static_assert(offsetof(ImageInfo, nSrcType) == 32);
static_assert(offsetof(ImageInfo, nSrcBitCount) == 36);
static_assert(offsetof(ImageInfo, nSrcWidth) == 40);
static_assert(offsetof(ImageInfo, nSrcHeight) == 44);
static_assert(offsetof(ImageInfo, nSrcPlanes) == 48);
static_assert(offsetof(ImageInfo, nSrcChannels) == 52);
static_assert(offsetof(ImageInfo, lpSrcPalette) == 56);
static_assert(offsetof(ImageInfo, lpSrcData) == 64);
static_assert(offsetof(ImageInfo, nDstType) == 72);
static_assert(offsetof(ImageInfo, nDstBitCount) == 76);
static_assert(offsetof(ImageInfo, nDstWidth) == 80);
static_assert(offsetof(ImageInfo, nDstHeight) == 84);
static_assert(offsetof(ImageInfo, nDstPlanes) == 88);
static_assert(offsetof(ImageInfo, nDstChannels) == 92);
static_assert(offsetof(ImageInfo, lpDstPalette) == 96);
static_assert(offsetof(ImageInfo, lpDstData) == 104);
static_assert(offsetof(ImageInfo, nColors) == 112);
static_assert(offsetof(ImageInfo, lpParam) == 120);
static_assert(offsetof(ImageInfo, lpMask) == 128);
static_assert(offsetof(ImageInfo, lpExtra) == 136);
static_assert(sizeof(ImageInfo) == 144);

static_assert(offsetof(MaskTile, dwSize) == 0);
static_assert(offsetof(MaskTile, lpNext) == 8);
static_assert(offsetof(MaskTile, lpBits) == 16);
static_assert(offsetof(MaskTile, nLeft) == 24);
static_assert(offsetof(MaskTile, nTop) == 28);
static_assert(offsetof(MaskTile, nWidth) == 32);
static_assert(offsetof(MaskTile, nHeight) == 36);
static_assert(sizeof(MaskTile) == 40);

static_assert(offsetof(BrightnessContrastGammaParam, brightness) == 0);
static_assert(offsetof(BrightnessContrastGammaParam, contrast) == 4);
static_assert(offsetof(BrightnessContrastGammaParam, gamma) == 8);
static_assert(sizeof(BrightnessContrastGammaParam) == 16);
static_assert(offsetof(HueSaturationLightnessParam, hue) == 0);
static_assert(offsetof(HueSaturationLightnessParam, saturation) == 8);
static_assert(offsetof(HueSaturationLightnessParam, lightness) == 16);
static_assert(offsetof(HueSaturationLightnessParam, colorize) == 24);
static_assert(offsetof(ColorAdjustParam, red) == 0);
static_assert(offsetof(ColorAdjustParam, green) == 2);
static_assert(offsetof(ColorAdjustParam, blue) == 4);
static_assert(sizeof(ColorAdjustParam) == 6);
static_assert(offsetof(ColorBalanceParam, blackPoint) == 0);
static_assert(offsetof(ColorBalanceParam, midtone) == 6);
static_assert(offsetof(ColorBalanceParam, whitePoint) == 12);
static_assert(sizeof(ColorBalanceParam) == 18);
static_assert(offsetof(RotateParam, angle) == 0);
static_assert(offsetof(RotateParam, red) == 4);
static_assert(offsetof(RotateParam, green) == 5);
static_assert(offsetof(RotateParam, blue) == 6);
static_assert(offsetof(SlopeParam, angle) == 0);
static_assert(offsetof(ResizeParam, width) == 0);
static_assert(offsetof(ResizeParam, height) == 4);
static_assert(offsetof(ChangeModeParam, target) == 0);
static_assert(offsetof(ChangeModeParam, method) == 4);
static_assert(offsetof(ChangeModeParam, threshold) == 8);
static_assert(sizeof(ChangeModeParam) == 12);
static_assert(offsetof(TextParam, context) == 0);
static_assert(offsetof(TextParam, text) == 8);
static_assert(offsetof(TextParam, face) == 16);
static_assert(offsetof(TextParam, height) == 24);
static_assert(offsetof(TextParam, bold) == 28);
static_assert(offsetof(TextParam, italic) == 32);
static_assert(offsetof(TextParam, underline) == 36);
static_assert(offsetof(TextParam, color) == 40);
static_assert(offsetof(TextParam, layout) == 44);
static_assert(sizeof(TextParam) == 48);

namespace rasterkit {
namespace {

// Source layouts, as an operation's table row accepts them.
enum SourceFormat : unsigned {
    kBits1 = 1u << 0,
    kBits2 = 1u << 1,
    kBits4 = 1u << 2,
    kGrey8 = 1u << 3,    // 8 bits, RK_TYPE_GREY
    kIndexed8 = 1u << 4, // 8 bits, RK_TYPE_COLOR8
    kBits16 = 1u << 5,
    kInterleaved24 = 1u << 6,
    kPlanar24 = 1u << 7,
};
constexpr unsigned kNoSource = 0; // the operation makes its image from the parameters alone
constexpr unsigned kRgb24 = kInterleaved24 | kPlanar24;
constexpr unsigned kLevels = kGrey8 | kRgb24; // samples that are levels, not indices
constexpr unsigned kBytes = kGrey8 | kIndexed8 | kRgb24;
constexpr unsigned kAnyFormat = kBits1 | kBits2 | kBits4 | kBytes | kBits16;

// What the operation does with lpParam.
enum class Parameter {
    none,       // ignored
    block,      // points to a block of parameterSize bytes; null is refused
    mustBeNull, // there is no block, and a block given is refused
    value       // lpParam itself carries the value
};

// When a source of a format the row does not accept is refused. Operations grew up with three
// orders; each keeps its own, since callers see the difference in the result of the query pass
// and in the destination fields it writes.
enum class FormatCheck {
    query,          // the query pass refuses, before describing anything
    queryDescribed, // the query pass refuses after describing the destination as the source
    run             // the query pass describes any format, the run pass refuses
};

struct OperationEntry {
    int index;
    const char* name;
    Operation describe;        // the query pass
    Operation run;             // the run pass
    Parameter parameter;       // with block: also the refusal of a missing block
    std::size_t parameterSize; // bytes of the block read (0: none)
    unsigned formats;          // SourceFormat bits, or kNoSource
    FormatCheck formatCheck;   // also when a missing block is refused (query or queryDescribed)
    bool reportsDone;          // the run pass ends with progress (1, 1), whatever its result
};

using enum Parameter;
using enum FormatCheck;

// Indexed by the operation's number. The refusal of a missing block follows formatCheck: the
// query pass refuses it before describing, or after describing for queryDescribed rows.
constexpr OperationEntry kOperations[] = {
    // clang-format off
    {RK_OP_BLUR, "Blur", describeSame, runBlur, block, sizeof(BlurParam), kLevels, query, false},
    {RK_OP_GAUSSIAN_BLUR, "GaussianBlur", describeGaussianBlur, runGaussianBlur, block, sizeof(GaussianBlurParam), kLevels, queryDescribed, false},
    {RK_OP_SHARPEN, "Sharpen", describeSame, runSharpen, block, sizeof(SharpenParam), kLevels, query, false},
    {RK_OP_BRIGHTNESS_CONTRAST_GAMMA, "BrightnessContrastGamma", describeTone, runBrightnessContrastGamma, block, sizeof(BrightnessContrastGammaParam), kAnyFormat & ~kBits16, run, true},
    {RK_OP_HUE_SATURATION_LIGHTNESS, "HueSaturationLightness", describeSame, runHueSaturationLightness, block, offsetof(HueSaturationLightnessParam, colorize) + 1, kAnyFormat, query, true},
    {RK_OP_EMBOSS, "Emboss", describeSame, runEmboss, block, sizeof(EmbossParam), kLevels, queryDescribed, false},
    {RK_OP_MOSAIC, "Mosaic", describeSame, runMosaic, block, sizeof(MosaicParam), kLevels, query, false},
    {RK_OP_MIRROR_HORIZONTAL, "MirrorHorizontal", describeSame, runMirrorHorizontal, none, 0, kAnyFormat, query, false},
    {RK_OP_FLIP_VERTICAL, "FlipVertical", describeSame, runFlipVertical, none, 0, kAnyFormat, query, false},
    {RK_OP_ROTATE, "Rotate", describeRotate, runRotate, block, sizeof(RotateParam), kBits1 | kBytes, run, false},
    {RK_OP_SLOPE_HORIZONTAL, "SlopeHorizontal", describeSlopeHorizontal, runSlopeHorizontal, block, sizeof(SlopeParam), kBytes, run, false},
    {RK_OP_SLOPE_VERTICAL, "SlopeVertical", describeSlopeVertical, runSlopeVertical, block, sizeof(SlopeParam), kBytes, run, false},
    {RK_OP_RESIZE, "Resize", describeResize, runResize, block, sizeof(ResizeParam), kBits1 | kBytes, run, false},
    {RK_OP_SPHERIZE_HORIZONTAL, "SpherizeHorizontal", describeSame, runSpherizeHorizontal, block, sizeof(DistortAngleParam), kBytes, queryDescribed, false},
    {RK_OP_SPHERIZE_VERTICAL, "SpherizeVertical", describeSame, runSpherizeVertical, block, sizeof(DistortAngleParam), kBytes, queryDescribed, false},
    {RK_OP_SPHERIZE, "Spherize", describeSame, runSpherize, block, sizeof(DistortAngleParam), kBytes, queryDescribed, false},
    {RK_OP_TWIRL, "Twirl", describeSame, runTwirl, block, sizeof(DistortAngleParam), kBytes, queryDescribed, false},
    {RK_OP_RAIN, "Rain", describeSame, runRain, block, sizeof(RainParam), kLevels, queryDescribed, false},
    {RK_OP_SNOW, "Snow", describeSame, runSnow, value, 0, kLevels, queryDescribed, false},
    {RK_OP_NOISE, "Noise", describeSame, runNoise, block, sizeof(NoiseParam), kBytes, queryDescribed, false},
    {RK_OP_CLOUDS, "Clouds", describeSame, runClouds, block, sizeof(CloudsParam), kLevels, queryDescribed, false},
    {RK_OP_WIND, "Wind", describeSame, runWind, block, sizeof(WindParam), kLevels, query, false},
    {RK_OP_BLOCKS, "Blocks", describeSame, runBlocks, block, sizeof(BlocksParam), kLevels, query, false},
    {RK_OP_CUSTOM_FILTER, "CustomFilter", describeSame, runCustomFilter, block, sizeof(CustomFilterParam), kLevels, query, false},
    {RK_OP_TEXT, "Text", describeText, runText, block, sizeof(TextParam), kNoSource, query, false},
    {RK_OP_CHANGE_MODE, "ChangeMode", describeChangeMode, runChangeMode, block, sizeof(ChangeModeParam), kBytes, query, false},
    {RK_OP_INVERT, "Invert", describeSame, runInvert, none, 0, kBits1 | kBits4 | kBytes, run, true},
    {RK_OP_LIGHTING_EFFECT, "LightingEffect", describeSame, runLightingEffect, block, sizeof(LightingParam), kRgb24, queryDescribed, false},
    {RK_OP_WAVE, "Wave", describeSame, runWave, block, sizeof(WaveParam), kBytes, queryDescribed, false},
    {RK_OP_PINCH, "Pinch", describeSame, runPinch, block, sizeof(PinchParam), kLevels, queryDescribed, false},
    {RK_OP_FRAGMENT, "Fragment", describeSame, runFragment, mustBeNull, 0, kLevels, query, false},
    {RK_OP_FIND_EDGES, "FindEdges", describeSame, runFindEdges, none, 0, kLevels, queryDescribed, false},
    {RK_OP_DIFFUSE, "Diffuse", describeSame, runDiffuse, block, sizeof(DiffuseParam), kLevels, query, false},
    {RK_OP_COLOR_ADJUST, "ColorAdjust", describeSame, runColorAdjust, block, sizeof(ColorAdjustParam), kGrey8 | kIndexed8 | kInterleaved24, run, true},
    {RK_OP_COLOR_BALANCE, "ColorBalance", describeTone, runColorBalance, block, sizeof(ColorBalanceParam), kRgb24, run, true},
    // clang-format on
};
static_assert(std::size(kOperations) == RK_OPERATION_COUNT);

constexpr bool indexedByNumber() {
    for (std::size_t i = 0; i < std::size(kOperations); ++i) {
        if (kOperations[i].index != static_cast<int>(i)) return false;
    }
    return true;
}
static_assert(indexedByNumber(), "every row sits at its operation's number");

// Per thread, so that callers on different threads cannot garble each other's messages.
thread_local int lastResult = kSucceed;
thread_local char messageBuffer[256];

// Text n + 1 belongs to the result with its top bit cleared equal to n.
constexpr std::array<const char*, 6> kMessages = {
    "Succeed!",           "Cancel!",         "Not support operate!", "Image too small!",
    "Alloc memory fail!", "Exception happen"};

// A longer list is treated as corrupt (a cycle, most likely).
constexpr int kMaxMaskTiles = 1 << 16;

const char* messageFor(int result) {
    const auto index = static_cast<unsigned>(result) & 0x7fffffffu;
    return index < kMessages.size() ? kMessages[index] : kMessages[RK_RESULT_EXCEPTION & 0xff];
}

bool knownBitCount(int bitCount) {
    return bitCount == 1 || bitCount == 2 || bitCount == 4 || bitCount == 8 || bitCount == 16 ||
           bitCount == 24;
}

// Operations dispatch on either, so the two must agree. Two-bit images have no type of their
// own; they travel as 1-bit or 4-bit indexed images.
bool typeFitsBitCount(int type, int bitCount) {
    switch (bitCount) {
    case 1:
        return type == RK_TYPE_BLACK_WHITE || type == RK_TYPE_1BIT;
    case 2:
        return type == RK_TYPE_1BIT || type == RK_TYPE_4BIT;
    case 4:
        return type == RK_TYPE_4BIT;
    case 8:
        return type == RK_TYPE_GREY || type == RK_TYPE_COLOR8;
    case 16:
        return type == RK_TYPE_16BIT;
    default:
        return type == RK_TYPE_RGB24;
    }
}

// One image description (source or destination) that an operation can walk safely.
int checkDescription(int type, int bitCount, int width, int height, int planes, int channels) {
    if (!knownBitCount(bitCount) || !typeFitsBitCount(type, bitCount)) return kNotSupported;
    if (width < 1 || height < 1) return kTooSmall;
    if (width > kMaxDimension || height > kMaxDimension) return kNotSupported;
    if (planes != 1 && planes != 3) return kNotSupported;
    if (bitCount == 24) {
        if (!((planes == 1 && channels == 3) || (planes == 3 && channels == 1))) return kNotSupported;
    } else if (planes != 1) {
        return kNotSupported;
    }
    return kSucceed;
}

int checkSource(const ImageInfo& info) {
    return checkDescription(info.nSrcType, info.nSrcBitCount, info.nSrcWidth, info.nSrcHeight,
                            info.nSrcPlanes, info.nSrcChannels);
}

// The format of a source that checkSource let through.
SourceFormat formatOf(const ImageInfo& info) {
    switch (info.nSrcBitCount) {
    case 1:
        return kBits1;
    case 2:
        return kBits2;
    case 4:
        return kBits4;
    case 8:
        return info.nSrcType == RK_TYPE_GREY ? kGrey8 : kIndexed8;
    case 16:
        return kBits16;
    default:
        return info.nSrcPlanes == 3 ? kPlanar24 : kInterleaved24;
    }
}

bool acceptsSource(const OperationEntry& entry, const ImageInfo& info) {
    return entry.formats == kNoSource || (entry.formats & formatOf(info)) != 0;
}

bool parameterFits(const OperationEntry& entry, const ImageInfo& info) {
    switch (entry.parameter) {
    case block:
        return info.lpParam != nullptr;
    case mustBeNull:
        return info.lpParam == nullptr;
    default:
        return true;
    }
}

int checkMask(const ImageInfo& info) {
    int count = 0;
    for (const MaskTile* tile = info.lpMask; tile != nullptr; tile = tile->lpNext) {
        if (++count > kMaxMaskTiles) return kNotSupported;
        if (tile->dwSize != sizeof(MaskTile)) return kNotSupported;
        if (tile->nWidth < 0 || tile->nHeight < 0 || tile->nLeft < 0 || tile->nTop < 0) {
            return kNotSupported;
        }
        if (static_cast<std::int64_t>(tile->nLeft) + tile->nWidth > info.nSrcWidth ||
            static_cast<std::int64_t>(tile->nTop) + tile->nHeight > info.nSrcHeight) {
            return kNotSupported;
        }
        if (tile->nWidth > 0 && tile->nHeight > 0 && tile->lpBits == nullptr) return kNotSupported;
    }
    return kSucceed;
}

// The query pass of a record whose source is checked.
int queryPass(const OperationEntry& entry, ImageInfo& info) {
    const bool formatRefused = entry.formatCheck != run && !acceptsSource(entry, info);
    if (!parameterFits(entry, info) || formatRefused) {
        if (entry.formatCheck == queryDescribed) describeSameAsSource(info, true);
        return kNotSupported;
    }
    return entry.describe(info);
}

// The run pass may only write what the query pass described, so the destination fields are
// checked against a fresh query of the same record.
int checkDestination(const OperationEntry& entry, const ImageInfo& info) {
    ImageInfo probe = info;
    probe.dwMode = RK_MODE_QUERY;
    const int queried = queryPass(entry, probe);
    if (queried != kSucceed) return queried;
    if (probe.nDstBitCount != info.nDstBitCount || probe.nDstWidth != info.nDstWidth ||
        probe.nDstHeight != info.nDstHeight || probe.nDstPlanes != info.nDstPlanes) {
        return kNotSupported;
    }
    const int described = checkDescription(info.nDstType, info.nDstBitCount, info.nDstWidth, info.nDstHeight,
                                           info.nDstPlanes, info.nDstChannels);
    if (described != kSucceed) return described;
    if (info.lpDstData == nullptr) return kNotSupported;
    if (info.nDstBitCount <= 8 && info.lpDstPalette == nullptr) return kNotSupported;
    return kSucceed;
}

int runPass(const OperationEntry& entry, ImageInfo& info) {
    const int result = acceptsSource(entry, info) ? entry.run(info) : kNotSupported;
    if (entry.reportsDone) progress(info, 1, 1);
    return result;
}

int runChecked(int index, ImageInfo* info) {
    if (info == nullptr || info->dwSize != sizeof(ImageInfo)) return kNotSupported;
    if (info->dwMode != RK_MODE_QUERY && info->dwMode != RK_MODE_RUN) return kNotSupported;
    if (info->lpfnIsCanceled == nullptr || info->lpfnProgress == nullptr) return kNotSupported;
    if (index < 0 || index >= RK_OPERATION_COUNT) return kNotSupported;
    const OperationEntry& entry = kOperations[static_cast<std::size_t>(index)];

    const bool needsSource = entry.formats != kNoSource;
    if (needsSource) {
        if (const int r = checkSource(*info); r != kSucceed) return r;
    }
    if (info->dwMode == RK_MODE_QUERY) return queryPass(entry, *info);
    if (needsSource) {
        if (info->lpSrcData == nullptr) return kNotSupported;
        if (info->nSrcBitCount <= 8 && info->lpSrcPalette == nullptr) return kNotSupported;
        if (info->nColors < 0 || info->nColors > kPaletteEntries) return kNotSupported;
        if (const int r = checkMask(*info); r != kSucceed) return r;
    }
    if (const int r = checkDestination(entry, *info); r != kSucceed) return r;
    return runPass(entry, *info);
}

} // namespace
} // namespace rasterkit

extern "C" RASTERKIT_API int ImageEntry(int nIndex, ImageInfo* lpinfo, char* lpszMessage) {
    using namespace rasterkit;
    int result;
    try {
        result = runChecked(nIndex, lpinfo);
    } catch (const std::bad_alloc&) {
        result = kNoMemory;
    } catch (...) {
        result = kException;
    }
    lastResult = result;
    const char* text = messageFor(result);
    std::strncpy(messageBuffer, text, sizeof messageBuffer - 1);
    messageBuffer[sizeof messageBuffer - 1] = '\0';
    if (lpszMessage != nullptr) std::strcpy(lpszMessage, messageBuffer);
    return lastResult;
}
