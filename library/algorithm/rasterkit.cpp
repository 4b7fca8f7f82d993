// The ImageEntry frame: record checks, the operation table, result codes and messages.
#include "rasterkit_internal.h"

#include <array>
#include <cstddef>
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

// Filled by the registrars of the family files while the library loads; constant-initialised,
// so it is all null before the first registrar runs.
constinit std::array<Operation, RK_OPERATION_COUNT> operationTable{};

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

// The run pass may only write what the query pass described, so the destination fields are
// checked against a fresh query of the same record.
int checkDestination(Operation operation, const ImageInfo& info) {
    ImageInfo probe = info;
    probe.dwMode = RK_MODE_QUERY;
    const int queried = operation(probe);
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

int runChecked(int index, ImageInfo* info) {
    if (info == nullptr || info->dwSize != sizeof(ImageInfo)) return kNotSupported;
    if (info->dwMode != RK_MODE_QUERY && info->dwMode != RK_MODE_RUN) return kNotSupported;
    if (info->lpfnIsCanceled == nullptr || info->lpfnProgress == nullptr) return kNotSupported;
    if (index < 0 || index >= RK_OPERATION_COUNT) return kNotSupported;
    const Operation operation = operationTable[static_cast<std::size_t>(index)];
    if (operation == nullptr) return kNotSupported;

    const bool needsSource = index != RK_OP_TEXT;
    if (needsSource) {
        if (const int r = checkSource(*info); r != kSucceed) return r;
    }
    if (info->dwMode == RK_MODE_RUN) {
        if (needsSource) {
            if (info->lpSrcData == nullptr) return kNotSupported;
            if (info->nSrcBitCount <= 8 && info->lpSrcPalette == nullptr) return kNotSupported;
            if (info->nColors < 0 || info->nColors > kPaletteEntries) return kNotSupported;
            if (const int r = checkMask(*info); r != kSucceed) return r;
        }
        if (const int r = checkDestination(operation, *info); r != kSucceed) return r;
    }
    return operation(*info);
}

} // namespace

OperationRegistrar::OperationRegistrar(int index, Operation operation) noexcept {
    if (index >= 0 && index < RK_OPERATION_COUNT) {
        operationTable[static_cast<std::size_t>(index)] = operation;
    }
}

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
