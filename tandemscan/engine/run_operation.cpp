#include "engine/run_operation.h"

#include "engine/pixel_tools.h"
#include "rasterkit.h"

#include <cstring>

namespace tandemscan {

namespace {

int neverCanceled() {
    return 0;
}
void noProgress(int, int) {}

constexpr const char* kUnsupported = "This image format isn't supported !";

// Result blocks above this size come from anonymous mappings, not the heap.
constexpr std::size_t kHeapLimit = 540000;

std::size_t destinationStride(const ImageInfo& info, bool& supported) {
    supported = true;
    const std::size_t width = static_cast<std::size_t>(info.nDstWidth);
    switch (info.nDstType) {
    case 0:
    case 1:
        return (width + 31) / 32 * 4;
    case 3:
        return ((width + 1) / 2 + 3) / 4 * 4;
    case 4:
    case 5:
        return (width + 3) / 4 * 4;
    case 6:
        return (width * static_cast<std::size_t>(info.nDstChannels) + 3) / 4 * 4;
    case 8:
        return (2 * width + 2) / 4 * 4;
    default:
        supported = false;
        return 0;
    }
}

} // namespace

int rasterkitImageType(const HeaderBlock& header) {
    switch (header.header.bitCount) {
    case 1:
        return RK_TYPE_1BIT;
    case 4:
        return RK_TYPE_4BIT;
    case 8:
        return PixelTools::isGrayPalette(header) ? RK_TYPE_GREY : RK_TYPE_COLOR8;
    case 16:
        return RK_TYPE_16BIT;
    case 24:
        return RK_TYPE_RGB24;
    default:
        return 0;
    }
}

bool OperationRunner::run(int index, void* params, const HeaderBlock& srcHeader,
                          std::span<const std::uint8_t> srcPixels, std::span<std::uint8_t> destBlock,
                          OperationFailure& failure) {
    const ImageHeader& h = srcHeader.header;
    const int type = rasterkitImageType(srcHeader);
    if (type == 0 || h.width <= 0 || h.height <= 0 || srcPixels.size() < PixelTools::imageDataSize(h)) {
        failure = {kUnsupported, ""};
        return false;
    }

    ImageInfo info{};
    info.dwSize = sizeof(ImageInfo);
    info.dwMode = RK_MODE_QUERY;
    info.lpfnIsCanceled = neverCanceled;
    info.lpfnProgress = noProgress;
    info.nSrcType = type;
    info.nSrcBitCount = h.bitCount;
    info.nSrcWidth = h.width;
    info.nSrcHeight = h.height;
    info.nSrcPlanes = 1;
    info.nSrcChannels = 3;
    info.lpSrcPalette = const_cast<PaletteEntry*>(srcHeader.palette.data());
    info.lpSrcData = const_cast<std::uint8_t*>(srcPixels.data());
    info.nDstType = type;
    info.nDstBitCount = h.bitCount;
    info.nDstWidth = h.width;
    info.nDstHeight = h.height;
    info.nDstPlanes = 1;
    info.nDstChannels = 3;
    info.nColors =
        h.clrUsed != 0 ? static_cast<int32_t>(h.clrUsed) : (h.bitCount == 24 ? 0 : 1 << h.bitCount);
    info.lpParam = params;

    char message[128] = {};
    if (ImageEntry(index, &info, message) != RK_RESULT_SUCCEED) {
        failure = {message, ""};
        return false;
    }

    info.dwMode = RK_MODE_RUN;
    bool supported = false;
    const std::size_t stride = destinationStride(info, supported);
    if (!supported) {
        failure = {kUnsupported, "ERROR"};
        return false;
    }
    const std::size_t size =
        stride * static_cast<std::size_t>(info.nDstHeight) * static_cast<std::size_t>(info.nDstPlanes);
    if (size == 0 || destBlock.size() < kHeaderBlockSize + size) {
        failure = {"out of memory", "ERROR"};
        return false;
    }
    // The last result's block is reused when it is large enough: a live preview runs this on
    // every change of a value.
    if (result_.size() < kHeaderBlockSize + size) {
        result_.reset();
        auto block = kHeaderBlockSize + size <= kHeapLimit
                         ? MemoryBlock::onHeap(kHeaderBlockSize + size)
                         : MemoryBlock::virtualMemory(kHeaderBlockSize + size);
        if (!block) {
            failure = {"out of memory", "ERROR"};
            return false;
        }
        result_ = std::move(*block);
    }
    std::uint8_t* result = result_.data();
    std::memset(result, 0, kHeaderBlockSize);
    auto* palette = reinterpret_cast<PaletteEntry*>(result + sizeof(ImageHeader));
    if (info.nDstType == RK_TYPE_GREY || info.nDstType == RK_TYPE_COLOR8) {
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            palette[i] = {v, v, v, 0};
        }
    }
    info.lpDstPalette = palette;
    info.lpDstData = result + kHeaderBlockSize;
    if (ImageEntry(index, &info, message) != RK_RESULT_SUCCEED) {
        failure = {message, ""};
        return false;
    }

    ImageHeader dest{};
    dest.size = 40;
    dest.width = info.nDstWidth;
    dest.height = info.nDstHeight;
    dest.planes = 1;
    dest.bitCount = static_cast<std::uint16_t>(info.nDstBitCount);
    dest.compression = 0;
    dest.sizeImage = static_cast<std::uint32_t>(size);
    dest.xPelsPerMeter = h.xPelsPerMeter;
    dest.yPelsPerMeter = h.yPelsPerMeter;
    std::memcpy(destBlock.data(), &dest, sizeof dest);
    std::memcpy(destBlock.data() + sizeof dest, palette, 1024);
    std::memcpy(destBlock.data() + kHeaderBlockSize, result + kHeaderBlockSize, size);
    lastSize_ = size;
    return true;
}

} // namespace tandemscan
