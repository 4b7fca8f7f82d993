// Helpers that many operation families share: strides, colour tables, the selection mask, the
// per-channel driver and the tone-table row loops.
#include "operations.h"
#include "rasterkit_internal.h"

#include <algorithm>
#include <cmath>

namespace rasterkit {

std::ptrdiff_t rowStride(int bitCount, int width, int planes) noexcept {
    const auto w = static_cast<std::ptrdiff_t>(width);
    switch (bitCount) {
    case 1:
        return (w + 31) / 32 * 4;
    case 2:
        return (w + 15) / 16 * 4;
    case 4:
        return (w + 7) / 8 * 4;
    case 8:
        return (w + 3) & ~std::ptrdiff_t{3};
    case 16:
        return (2 * w + 3) & ~std::ptrdiff_t{3};
    case 24:
        return planes == 1 ? (3 * w + 3) & ~std::ptrdiff_t{3} : (w + 3) & ~std::ptrdiff_t{3};
    default:
        return 0;
    }
}

std::ptrdiff_t srcStride(const ImageInfo& info) noexcept {
    return rowStride(info.nSrcBitCount, info.nSrcWidth, info.nSrcPlanes);
}

std::ptrdiff_t dstStride(const ImageInfo& info) noexcept {
    return rowStride(info.nDstBitCount, info.nDstWidth, info.nDstPlanes);
}

std::size_t srcBytes(const ImageInfo& info) noexcept {
    const int planes = info.nSrcBitCount == 24 && info.nSrcPlanes == 3 ? 3 : 1;
    return static_cast<std::size_t>(srcStride(info)) * static_cast<std::size_t>(info.nSrcHeight) *
           static_cast<std::size_t>(planes);
}

std::size_t dstBytes(const ImageInfo& info) noexcept {
    const int planes = info.nDstBitCount == 24 && info.nDstPlanes == 3 ? 3 : 1;
    return static_cast<std::size_t>(dstStride(info)) * static_cast<std::size_t>(info.nDstHeight) *
           static_cast<std::size_t>(planes);
}

Planes planesOf(const ImageInfo& info) noexcept {
    Planes p{};
    p.srcStride = srcStride(info);
    p.dstStride = dstStride(info);
    const int bits = info.nSrcBitCount;
    if (bits == 24 && info.nSrcPlanes == 3) {
        p.count = 3;
        p.bytesPerPixel = 1;
        for (int j = 0; j < 3; ++j) {
            p.src[j] = planeRow(info.lpSrcData, p.srcStride, info.nSrcHeight, j, 0);
            p.dst[j] = planeRow(info.lpDstData, p.dstStride, info.nDstHeight, j, 0);
        }
        return p;
    }
    p.count = 1;
    p.bytesPerPixel = bits >= 8 ? bits / 8 : 0;
    p.src[0] = static_cast<const std::uint8_t*>(info.lpSrcData);
    p.dst[0] = static_cast<std::uint8_t*>(info.lpDstData);
    return p;
}

int paletteCount(const ImageInfo& info) noexcept {
    if (info.nColors > 0) return std::min(info.nColors, kPaletteEntries);
    if (info.nSrcBitCount >= 1 && info.nSrcBitCount <= 8) return 1 << info.nSrcBitCount;
    return kPaletteEntries;
}

bool isGreyPalette(const std::uint8_t* palette, int count) noexcept {
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* e = palette + 4 * i;
        if (e[0] != e[1] || e[1] != e[2]) return false;
    }
    return true;
}

void copyPalette(const ImageInfo& info) noexcept {
    if (info.lpSrcPalette != nullptr && info.lpDstPalette != nullptr &&
        info.lpSrcPalette != info.lpDstPalette) {
        std::memcpy(info.lpDstPalette, info.lpSrcPalette, kPaletteBytes);
    }
}

void mapPalette(const ImageInfo& info, int count, const std::uint8_t table[256]) noexcept {
    const std::uint8_t* src = srcPalette(info);
    std::uint8_t* dst = dstPalette(info);
    for (int i = 0; i < count; ++i) {
        for (int c = 0; c < 3; ++c)
            dst[4 * i + c] = table[src[4 * i + c]];
    }
}

void copyPixels(const ImageInfo& info) noexcept {
    std::memcpy(info.lpDstData, info.lpSrcData, std::min(srcBytes(info), dstBytes(info)));
}

void describeSameAsSource(ImageInfo& info, bool copyType) noexcept {
    info.wFlagA = 1;
    info.wFlagB = 0;
    if (copyType) info.nDstType = info.nSrcType;
    info.nDstBitCount = info.nSrcBitCount;
    info.nDstWidth = info.nSrcWidth;
    info.nDstHeight = info.nSrcHeight;
    info.nDstPlanes = info.nSrcPlanes;
    info.nDstChannels = info.nSrcChannels;
}

int describeSame(ImageInfo& info) {
    describeSameAsSource(info, true);
    return kSucceed;
}

int describeTone(ImageInfo& info) {
    describeSameAsSource(info, false);
    info.nDstType = info.nSrcBitCount == 1 ? RK_TYPE_1BIT : info.nSrcType;
    return kSucceed;
}

// ---- Tone tables ----------------------------------------------------------------------------

int mapPixels8(const ImageInfo& info, const ByteTable& table, bool rowCallbacks) {
    const std::ptrdiff_t stride = srcStride(info);
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    Selection selection(info, width);
    for (int y = 0; y < height; ++y) {
        if (rowCallbacks && canceled(info)) return kCancel;
        const std::uint8_t* in = rowAt(info.lpSrcData, stride, y);
        std::uint8_t* out = rowAt(info.lpDstData, stride, y);
        const std::uint8_t* selected = selection.row(y);
        std::memcpy(out + width, in + width, static_cast<std::size_t>(stride - width));
        if (selected == nullptr) {
            lookupBytes(in, out, static_cast<std::size_t>(width), table);
        } else {
            for (int x = 0; x < width; ++x)
                out[x] = selected[x] ? table[in[x]] : in[x];
        }
        if (rowCallbacks) progress(info, y + 1, height);
    }
    return kSucceed;
}

int mapPixels24(const ImageInfo& info, const ByteTable (&tables)[3], bool rowCallbacks) {
    const std::ptrdiff_t stride = srcStride(info);
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const bool planar = info.nSrcPlanes == 3;
    // One table for all three bytes (brightness, contrast and gamma): the whole row in one pass.
    const bool sameTables = std::memcmp(tables[0], tables[1], sizeof(ByteTable)) == 0 &&
                            std::memcmp(tables[1], tables[2], sizeof(ByteTable)) == 0;
    const std::ptrdiff_t used = planar ? width : 3 * static_cast<std::ptrdiff_t>(width);
    Selection selection(info, width);
    for (int y = 0; y < height; ++y) {
        if (rowCallbacks && canceled(info)) return kCancel;
        const std::uint8_t* selected = selection.row(y);
        if (planar) {
            for (int c = 0; c < 3; ++c) {
                const std::uint8_t* in = planeRow(info.lpSrcData, stride, height, c, y);
                std::uint8_t* out = planeRow(info.lpDstData, stride, height, c, y);
                const ByteTable& table = tables[c];
                std::memcpy(out + used, in + used, static_cast<std::size_t>(stride - used));
                if (selected == nullptr) {
                    lookupBytes(in, out, static_cast<std::size_t>(width), table);
                    continue;
                }
                for (int x = 0; x < width; ++x)
                    out[x] = selected[x] ? table[in[x]] : in[x];
            }
        } else {
            const std::uint8_t* in = rowAt(info.lpSrcData, stride, y);
            std::uint8_t* out = rowAt(info.lpDstData, stride, y);
            std::memcpy(out + used, in + used, static_cast<std::size_t>(stride - used));
            if (selected == nullptr) {
                if (sameTables) {
                    lookupBytes(in, out, static_cast<std::size_t>(used), tables[0]);
                } else {
                    lookupPixels(in, out, static_cast<std::size_t>(width), tables);
                }
                if (rowCallbacks) progress(info, y + 1, height);
                continue;
            }
            const ByteTable& t0 = tables[0];
            const ByteTable& t1 = tables[1];
            const ByteTable& t2 = tables[2];
            for (int x = 0; x < width; ++x) {
                const std::ptrdiff_t i = 3 * static_cast<std::ptrdiff_t>(x);
                if (selected[x]) {
                    out[i] = t0[in[i]];
                    out[i + 1] = t1[in[i + 1]];
                    out[i + 2] = t2[in[i + 2]];
                } else {
                    out[i] = in[i];
                    out[i + 1] = in[i + 1];
                    out[i + 2] = in[i + 2];
                }
            }
        }
        if (rowCallbacks) progress(info, y + 1, height);
    }
    return kSucceed;
}

// ---- Selection ------------------------------------------------------------------------------

Selection::Selection(const ImageInfo& info, int width) : width_(width), hasMask_(info.lpMask != nullptr) {
    for (const MaskTile* tile = info.lpMask; tile != nullptr; tile = tile->lpNext) {
        if (tile->nWidth > 0 && tile->nHeight > 0) tiles_.push_back(tile);
    }
    if (hasMask_) row_.resize(static_cast<std::size_t>(std::max(width, 0)));
}

const std::uint8_t* Selection::row(int y) {
    if (!hasMask_) return nullptr;
    if (y == cachedRow_) return row_.data();
    std::fill(row_.begin(), row_.end(), std::uint8_t{0});
    // Later tiles first, so that the first tile containing a pixel has the last word.
    for (auto it = tiles_.rbegin(); it != tiles_.rend(); ++it) {
        const MaskTile* tile = *it;
        if (y < tile->nTop || y >= tile->nTop + tile->nHeight) continue;
        const int left = std::max(tile->nLeft, 0);
        const int right = std::min(tile->nLeft + tile->nWidth, width_);
        const std::uint8_t* bits =
            tile->lpBits + static_cast<std::ptrdiff_t>(y - tile->nTop) * tile->nWidth - tile->nLeft;
        for (int x = left; x < right; ++x)
            row_[static_cast<std::size_t>(x)] = bits[x] == 255;
    }
    cachedRow_ = y;
    return row_.data();
}

bool Selection::selected(int x, int y) const noexcept {
    if (!hasMask_) return true;
    for (const MaskTile* tile : tiles_) {
        if (x >= tile->nLeft && x < tile->nLeft + tile->nWidth && y >= tile->nTop &&
            y < tile->nTop + tile->nHeight) {
            return tile->lpBits[static_cast<std::ptrdiff_t>(y - tile->nTop) * tile->nWidth +
                                (x - tile->nLeft)] == 255;
        }
    }
    return false;
}

// ---- Per-channel driver ---------------------------------------------------------------------

void channelProgress(const ImageInfo& info, int channel, int row) {
    if (info.nSrcType == RK_TYPE_GREY) {
        progress(info, row + 1, info.nSrcHeight);
    } else {
        const int channels = std::max(info.nSrcPlanes, info.nSrcChannels);
        progress(info, row + channel * info.nSrcHeight + 1, info.nSrcHeight * channels);
    }
}

int runPerChannel(ImageInfo& info, ChannelWorker worker) {
    if (info.nSrcBitCount == 8) return worker(info, 0);
    ImageInfo channelInfo = info;
    const std::ptrdiff_t planeStride = rowStride(8, info.nSrcWidth);
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    int result = kSucceed;
    if (info.nSrcPlanes == 3) {
        for (int j = 0; j < 3; ++j) {
            channelInfo.lpSrcData = planeRow(info.lpSrcData, planeStride, height, j, 0);
            channelInfo.lpDstData = planeRow(info.lpDstData, planeStride, info.nDstHeight, j, 0);
            result = worker(channelInfo, j);
            // A cancelled (or failed) channel ends the operation: running on and reporting the
            // last channel's success would ignore the user's request to stop.
            if (result != kSucceed) break;
        }
        return result;
    }
    std::vector<std::uint8_t> srcPlane(static_cast<std::size_t>(planeStride) *
                                       static_cast<std::size_t>(height));
    std::vector<std::uint8_t> dstPlane(static_cast<std::size_t>(planeStride) *
                                       static_cast<std::size_t>(info.nDstHeight));
    const std::ptrdiff_t pixelStride = srcStride(info);
    const std::ptrdiff_t outStride = dstStride(info);
    channelInfo.lpSrcData = srcPlane.data();
    channelInfo.lpDstData = dstPlane.data();
    for (int j = 0; j < 3; ++j) {
        for (int y = 0; y < height; ++y) {
            const std::uint8_t* in = rowAt(info.lpSrcData, pixelStride, y);
            std::uint8_t* plane = rowAt(srcPlane.data(), planeStride, y);
            for (int x = 0; x < width; ++x)
                plane[x] = in[3 * x + j];
        }
        result = worker(channelInfo, j);
        for (int y = 0; y < info.nDstHeight; ++y) {
            const std::uint8_t* plane = rowAt(dstPlane.data(), planeStride, y);
            std::uint8_t* out = rowAt(info.lpDstData, outStride, y);
            for (int x = 0; x < info.nDstWidth; ++x)
                out[3 * x + j] = plane[x];
        }
        if (result != kSucceed) break;
    }
    return result;
}

} // namespace rasterkit
