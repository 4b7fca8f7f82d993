// libFuzzer target: ImageEntry with random records, sizes, parameter blocks and masks. Buffers
// are exactly as large as the record says, so AddressSanitizer catches any access past them.
#include "rasterkit.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::int32_t i32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = v << 8 | byte();
        return static_cast<std::int32_t>(v);
    }
    // Mostly small, now and then anything.
    int dimension() {
        const std::uint8_t pick = byte();
        if (pick < 8) return i32();
        return pick % 48;
    }
    void fill(std::uint8_t* out, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i)
            out[i] = byte();
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

int pollCount = 0;
int cancelAt = -1;
int isCanceled() {
    return ++pollCount == cancelAt ? 1 : 0;
}
void progress(int, int) {}

std::size_t bytesFor(int bits, int width, int height, int planes) {
    if (width <= 0 || height <= 0 || width > 4096 || height > 4096) return 0;
    std::size_t stride = 0;
    switch (bits) {
    case 1:
        stride = static_cast<std::size_t>(width + 31) / 32 * 4;
        break;
    case 2:
        stride = static_cast<std::size_t>(width + 15) / 16 * 4;
        break;
    case 4:
        stride = static_cast<std::size_t>(width + 7) / 8 * 4;
        break;
    case 8:
        stride = static_cast<std::size_t>(width + 3) / 4 * 4;
        break;
    case 16:
        stride = static_cast<std::size_t>(2 * width + 3) / 4 * 4;
        break;
    case 24:
        stride = planes == 3 ? static_cast<std::size_t>(width + 3) / 4 * 4
                             : static_cast<std::size_t>(3 * width + 3) / 4 * 4;
        break;
    default:
        return 0;
    }
    return stride * static_cast<std::size_t>(height) * (bits == 24 && planes == 3 ? 3 : 1);
}

const int kBits[] = {1, 2, 4, 8, 16, 24, 3, 0};
const int kTypes[] = {0, 1, 3, 4, 5, 6, 8, 2};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    const int index = in.byte() % 37 - 1; // -1 and 35 included
    ImageInfo info{};
    info.dwSize = sizeof(ImageInfo);
    info.dwMode = RK_MODE_QUERY;
    info.lpfnIsCanceled = isCanceled;
    info.lpfnProgress = progress;
    info.nSrcBitCount = kBits[in.byte() % 8];
    info.nSrcType = kTypes[in.byte() % 8];
    info.nSrcWidth = in.dimension();
    info.nSrcHeight = in.dimension();
    info.nSrcPlanes = in.byte() % 4 == 0 ? 3 : 1;
    info.nSrcChannels = in.byte() % 3 + 1;
    info.nColors = in.byte() % 4 == 0 ? in.i32() : in.byte();
    pollCount = 0;
    cancelAt = in.byte() % 16;

    const std::size_t srcSize = bytesFor(info.nSrcBitCount, info.nSrcWidth, info.nSrcHeight, info.nSrcPlanes);
    std::vector<std::uint8_t> src(srcSize);
    in.fill(src.data(), src.size());
    std::vector<std::uint8_t> srcPalette(1024);
    in.fill(srcPalette.data(), 64);
    info.lpSrcData = src.empty() ? nullptr : src.data();
    // A table is required only for indexed sources; deeper ones may come without any.
    info.lpSrcPalette = info.nSrcBitCount > 8 && in.byte() % 2 ? nullptr : srcPalette.data();

    // Parameter block: random bytes, with valid strings for Text and the value itself for Snow.
    alignas(8) std::uint8_t block[4096] = {};
    in.fill(block, 64);
    char text[32] = {};
    char face[32] = {};
    for (std::size_t i = 0; i + 1 < sizeof text; ++i)
        text[i] = static_cast<char>(in.byte() % 96 + 10);
    std::strcpy(face, in.byte() % 2 ? "DejaVu Sans" : "No Such Face");
    if (index == RK_OP_TEXT) {
        TextParam p{};
        std::memcpy(&p, block, sizeof p);
        p.context = nullptr;
        p.text = text;
        p.face = face;
        p.height = p.height % 200;
        std::memcpy(block, &p, sizeof p);
    }
    info.lpParam = block;
    if (index == RK_OP_SNOW) info.lpParam = reinterpret_cast<void*>(static_cast<std::intptr_t>(in.byte()));
    if (in.byte() % 8 == 0) info.lpParam = nullptr;

    // Up to two mask tiles with random rectangles.
    MaskTile tiles[2] = {};
    std::vector<std::uint8_t> tileBits[2];
    const int tileCount = in.byte() % 3;
    for (int t = 0; t < tileCount; ++t) {
        MaskTile& tile = tiles[t];
        tile.dwSize = in.byte() % 8 == 0 ? 28 : sizeof(MaskTile);
        tile.nLeft = in.dimension();
        tile.nTop = in.dimension();
        tile.nWidth = in.dimension();
        tile.nHeight = in.dimension();
        if (tile.nWidth > 0 && tile.nHeight > 0 && tile.nWidth <= 4096 && tile.nHeight <= 4096) {
            tileBits[t].resize(static_cast<std::size_t>(tile.nWidth) * tile.nHeight);
            for (auto& b : tileBits[t])
                b = in.byte() % 2 ? 255 : 0;
            tile.lpBits = tileBits[t].data();
        }
        tile.lpNext = t + 1 < tileCount ? &tiles[t + 1] : nullptr;
    }
    info.lpMask = tileCount > 0 ? &tiles[0] : nullptr;

    char message[32] = {};
    if (ImageEntry(index, &info, message) != RK_RESULT_SUCCEED) return 0;

    // Run pass with a destination exactly as large as the query described (or a spoiled one).
    if (in.byte() % 16 == 0) info.nDstWidth += in.byte() % 3 - 1;
    const std::size_t dstSize = bytesFor(info.nDstBitCount, info.nDstWidth, info.nDstHeight, info.nDstPlanes);
    std::vector<std::uint8_t> dst(dstSize);
    std::vector<std::uint8_t> dstPalette(1024);
    info.lpDstData = dst.empty() ? nullptr : dst.data();
    info.lpDstPalette = info.nDstBitCount > 8 && in.byte() % 2 ? nullptr : dstPalette.data();
    // Text writes a mask tile and a byte per pixel into lpExtra, both as large as the image.
    std::vector<std::uint8_t> textMask;
    std::vector<std::uint8_t> textExtra;
    MaskTile textTile{};
    if (index == RK_OP_TEXT && in.byte() % 8 != 0 && info.nDstWidth > 0 && info.nDstHeight > 0 &&
        info.nDstWidth <= 4096 && info.nDstHeight <= 4096) {
        textMask.resize(static_cast<std::size_t>(info.nDstWidth) * info.nDstHeight);
        textExtra.resize(textMask.size());
        textTile.lpBits = textMask.data();
        info.lpMask = &textTile;
        info.lpExtra = textExtra.data();
    }
    info.dwMode = RK_MODE_RUN;
    ImageEntry(index, &info, message);
    return 0;
}
