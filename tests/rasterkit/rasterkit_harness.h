// Drives ImageEntry the way a caller does: a query pass, a destination allocated from what the
// query described, a run pass. Every call also checks that the source stays untouched and that
// nothing is written past the destination buffer.
#ifndef RASTERKIT_HARNESS_H
#define RASTERKIT_HARNESS_H

#include "rasterkit.h"

#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

namespace rktest {

inline std::ptrdiff_t strideOf(int bits, int width, int planes) {
    switch (bits) {
    case 1:
        return (width + 31) / 32 * 4;
    case 2:
        return (width + 15) / 16 * 4;
    case 4:
        return (width + 7) / 8 * 4;
    case 8:
        return (width + 3) / 4 * 4;
    case 16:
        return (2 * width + 3) / 4 * 4;
    case 24:
        return planes == 3 ? (width + 3) / 4 * 4 : (3 * width + 3) / 4 * 4;
    default:
        return 0;
    }
}

// An image in the caller's layout, with a 256-entry colour table.
struct Bitmap {
    int type = RK_TYPE_RGB24;
    int bits = 24;
    int width = 0;
    int height = 0;
    int planes = 1;
    int channels = 3;
    std::vector<std::uint8_t> pixels;
    std::vector<std::uint8_t> palette = std::vector<std::uint8_t>(1024, 0);

    std::ptrdiff_t stride() const { return strideOf(bits, width, planes); }
    std::size_t bytes() const {
        return static_cast<std::size_t>(stride()) * static_cast<std::size_t>(height) *
               (planes == 3 ? 3u : 1u);
    }
    std::uint8_t* row(int y, int plane = 0) {
        return pixels.data() + stride() * (static_cast<std::ptrdiff_t>(plane) * height + y);
    }
    const std::uint8_t* row(int y, int plane = 0) const {
        return pixels.data() + stride() * (static_cast<std::ptrdiff_t>(plane) * height + y);
    }
    // Blue, green, red of an interleaved or planar 24-bit pixel.
    void setRgb(int x, int y, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
        if (planes == 3) {
            row(y, 0)[x] = blue;
            row(y, 1)[x] = green;
            row(y, 2)[x] = red;
        } else {
            row(y)[3 * x] = blue;
            row(y)[3 * x + 1] = green;
            row(y)[3 * x + 2] = red;
        }
    }
    std::uint8_t sample(int x, int y, int c) const { return planes == 3 ? row(y, c)[x] : row(y)[3 * x + c]; }
    int index(int x, int y) const {
        const std::uint8_t* r = row(y);
        switch (bits) {
        case 1:
            return (r[x / 8] >> (7 - x % 8)) & 1;
        case 2:
            return (r[x / 4] >> (6 - 2 * (x % 4))) & 3;
        case 4:
            return (r[x / 2] >> (x % 2 ? 0 : 4)) & 15;
        default:
            return r[x];
        }
    }
    void setIndex(int x, int y, int value) {
        std::uint8_t* r = row(y);
        switch (bits) {
        case 1: {
            const auto m = static_cast<std::uint8_t>(0x80 >> (x % 8));
            r[x / 8] = static_cast<std::uint8_t>(value ? r[x / 8] | m : r[x / 8] & ~m);
            break;
        }
        case 2: {
            const int shift = 6 - 2 * (x % 4);
            r[x / 4] = static_cast<std::uint8_t>((r[x / 4] & ~(3 << shift)) | (value << shift));
            break;
        }
        case 4: {
            const int shift = x % 2 ? 0 : 4;
            r[x / 2] = static_cast<std::uint8_t>((r[x / 2] & ~(15 << shift)) | (value << shift));
            break;
        }
        default:
            r[x] = static_cast<std::uint8_t>(value);
        }
    }
    void setEntry(int i, std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
        palette[4 * i] = blue;
        palette[4 * i + 1] = green;
        palette[4 * i + 2] = red;
    }
};

// A zero-filled image; indexed images get a grey ramp over their entries.
inline Bitmap makeBitmap(int bits, int width, int height, int type = -1, int planes = 1) {
    Bitmap b;
    b.bits = bits;
    b.width = width;
    b.height = height;
    b.planes = planes;
    b.channels = bits == 24 && planes == 1 ? 3 : 1;
    if (type >= 0) {
        b.type = type;
    } else {
        b.type = bits == 1    ? RK_TYPE_1BIT
                 : bits <= 4  ? RK_TYPE_4BIT
                 : bits == 8  ? RK_TYPE_GREY
                 : bits == 16 ? RK_TYPE_16BIT
                              : RK_TYPE_RGB24;
    }
    b.pixels.assign(b.bytes(), 0);
    if (bits <= 8) {
        const int n = 1 << bits;
        for (int i = 0; i < n; ++i) {
            const auto v = static_cast<std::uint8_t>(n == 1 ? 0 : i * 255 / (n - 1));
            b.setEntry(i, v, v, v);
        }
    }
    return b;
}

// Fills every sample of the image with a reproducible pattern.
inline void fillPattern(Bitmap& b, unsigned seed = 1) {
    unsigned s = seed * 2654435761u + 12345u;
    for (auto& p : b.pixels) {
        s = s * 1103515245u + 12345u;
        p = static_cast<std::uint8_t>(s >> 16);
    }
}

// Callback state (the library calls back on the caller's thread).
struct Callbacks {
    int cancelAtPoll = -1; // the poll (counted from 1) that answers "cancel"; -1: never
    int polls = 0;
    std::vector<std::pair<int, int>> progress;
};
inline thread_local Callbacks* activeCallbacks = nullptr;
inline int isCanceled() {
    Callbacks* c = activeCallbacks;
    if (c == nullptr) return 0;
    ++c->polls;
    return c->cancelAtPoll == c->polls ? 1 : 0;
}
inline void reportProgress(int done, int total) {
    if (activeCallbacks != nullptr) activeCallbacks->progress.emplace_back(done, total);
}

inline ImageInfo makeInfo(Bitmap& src, void* param = nullptr, MaskTile* mask = nullptr) {
    ImageInfo info{};
    info.dwSize = sizeof(ImageInfo);
    info.dwMode = RK_MODE_QUERY;
    info.lpfnIsCanceled = isCanceled;
    info.lpfnProgress = reportProgress;
    info.nSrcType = src.type;
    info.nSrcBitCount = src.bits;
    info.nSrcWidth = src.width;
    info.nSrcHeight = src.height;
    info.nSrcPlanes = src.planes;
    info.nSrcChannels = src.channels;
    info.lpSrcPalette = src.palette.data();
    info.lpSrcData = src.pixels.data();
    info.lpParam = param;
    info.lpMask = mask;
    return info;
}

constexpr std::uint8_t kUnwritten = 0xCD; // destination bytes before the run pass
constexpr std::size_t kGuard = 64;        // bytes watched past the destination

struct Outcome {
    int query = 0;
    int run = -1; // -1: the run pass was not made
    std::string message;
    Bitmap dst;
    Callbacks callbacks;
};

struct RunOptions {
    MaskTile* mask = nullptr;
    int nColors = 0;
    int cancelAtPoll = -1;
    void* extra = nullptr;
    // No source colour table, and none for a destination of more than 8 bits: legal for those.
    bool withoutTables = false;
};

// Query pass, destination allocated from it (pre-filled with kUnwritten), run pass.
inline Outcome runOperation(int index, Bitmap& src, void* param, const RunOptions& options = {}) {
    Outcome out;
    Callbacks callbacks;
    callbacks.cancelAtPoll = options.cancelAtPoll;
    activeCallbacks = &callbacks;
    const std::vector<std::uint8_t> srcBefore = src.pixels;
    const std::vector<std::uint8_t> paletteBefore = src.palette;

    ImageInfo info = makeInfo(src, param, options.mask);
    info.nColors = options.nColors;
    info.lpExtra = options.extra;
    if (options.withoutTables) info.lpSrcPalette = nullptr;
    char message[128] = {};
    out.query = ImageEntry(index, &info, message);
    out.message = message;
    if (out.query == RK_RESULT_SUCCEED) {
        EXPECT_EQ(info.wFlagA, 1);
        EXPECT_EQ(info.wFlagB, 0);
        Bitmap& dst = out.dst;
        dst.type = info.nDstType;
        dst.bits = info.nDstBitCount;
        dst.width = info.nDstWidth;
        dst.height = info.nDstHeight;
        dst.planes = info.nDstPlanes;
        dst.channels = info.nDstChannels;
        const std::size_t bytes = dst.bytes();
        std::vector<std::uint8_t> buffer(bytes + kGuard, kUnwritten);
        std::vector<std::uint8_t> paletteBuffer(1024 + kGuard, kUnwritten);
        info.lpDstData = buffer.data();
        info.lpDstPalette = options.withoutTables && dst.bits > 8 ? nullptr : paletteBuffer.data();
        info.dwMode = RK_MODE_RUN;
        callbacks.progress.clear();
        out.run = ImageEntry(index, &info, message);
        out.message = message;
        for (std::size_t i = bytes; i < buffer.size(); ++i) {
            if (buffer[i] != kUnwritten) {
                ADD_FAILURE() << "operation " << index << " wrote past the destination";
                break;
            }
        }
        for (std::size_t i = 1024; i < paletteBuffer.size(); ++i) {
            if (paletteBuffer[i] != kUnwritten) {
                ADD_FAILURE() << "operation " << index << " wrote past the destination colour table";
                break;
            }
        }
        dst.pixels.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(bytes));
        dst.palette.assign(paletteBuffer.begin(), paletteBuffer.begin() + 1024);
    }
    EXPECT_EQ(src.pixels, srcBefore) << "operation " << index << " wrote into its source";
    EXPECT_EQ(src.palette, paletteBefore) << "operation " << index << " changed the source table";
    activeCallbacks = nullptr;
    out.callbacks = std::move(callbacks);
    return out;
}

// A mask tile over a rectangle with every byte set to `value`.
struct Tile {
    MaskTile tile{};
    std::vector<std::uint8_t> bits;
    Tile(int left, int top, int width, int height, std::uint8_t value = 255)
        : bits(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), value) {
        tile.dwSize = sizeof(MaskTile);
        tile.lpBits = bits.data();
        tile.nLeft = left;
        tile.nTop = top;
        tile.nWidth = width;
        tile.nHeight = height;
    }
    Tile(const Tile&) = delete;
    Tile& operator=(const Tile&) = delete;
};

} // namespace rktest

#endif // RASTERKIT_HARNESS_H
