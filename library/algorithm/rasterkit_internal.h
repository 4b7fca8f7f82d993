// Shared by the ImageEntry frame and the operation families; never installed.
//
// An operation's passes return their result code; the frame stores it, looks up the message and
// catches exceptions (std::bad_alloc becomes "Alloc memory fail!"). Before a pass runs, the frame
// has validated the record: in the run pass the source (except for Text) and the destination are
// well-formed, non-null, and the destination description equals what the query pass reports, so
// an operation may write exactly dstStride(info) x nDstHeight x nDstPlanes bytes. Indexed images
// (8 bits or fewer) come with 256-entry colour tables, mask tiles lie inside the source image.
// operations.h says what else the operation table lets the frame check.
#ifndef RASTERKIT_INTERNAL_H
#define RASTERKIT_INTERNAL_H

#include "rasterkit.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace rasterkit {

// One pass of an operation.
using Operation = int (*)(ImageInfo& info);

constexpr int kSucceed = RK_RESULT_SUCCEED;
constexpr int kCancel = RK_RESULT_CANCEL;
constexpr int kNotSupported = RK_RESULT_NOT_SUPPORTED;
constexpr int kTooSmall = RK_RESULT_TOO_SMALL;
constexpr int kNoMemory = RK_RESULT_NO_MEMORY;
constexpr int kException = RK_RESULT_EXCEPTION;

constexpr int kPaletteEntries = 256;
constexpr std::size_t kPaletteBytes = 4 * kPaletteEntries;

// ---- Sizes and rows -------------------------------------------------------------------------

// Bytes of one row (of one plane) for a bit count and width; 0 for a bit count no layout knows.
// 24 bits in three planes use the 8-bit stride per plane.
std::ptrdiff_t rowStride(int bitCount, int width, int planes = 1) noexcept;
std::ptrdiff_t srcStride(const ImageInfo& info) noexcept;
std::ptrdiff_t dstStride(const ImageInfo& info) noexcept;
// stride x height x planes (planar 24 bits: three planes of height rows each).
std::size_t srcBytes(const ImageInfo& info) noexcept;
std::size_t dstBytes(const ImageInfo& info) noexcept;

inline std::uint8_t* rowAt(void* data, std::ptrdiff_t stride, std::ptrdiff_t row) noexcept {
    return static_cast<std::uint8_t*>(data) + stride * row;
}
inline const std::uint8_t* rowAt(const void* data, std::ptrdiff_t stride, std::ptrdiff_t row) noexcept {
    return static_cast<const std::uint8_t*>(data) + stride * row;
}
inline std::uint8_t* srcRow(const ImageInfo& info, std::ptrdiff_t row) noexcept {
    return rowAt(info.lpSrcData, srcStride(info), row);
}
inline std::uint8_t* dstRow(const ImageInfo& info, std::ptrdiff_t row) noexcept {
    return rowAt(info.lpDstData, dstStride(info), row);
}
// Row `row` of plane `plane` of a planar 24-bit buffer.
inline std::uint8_t* planeRow(void* data, std::ptrdiff_t stride, int height, int plane,
                              std::ptrdiff_t row) noexcept {
    return rowAt(data, stride, static_cast<std::ptrdiff_t>(plane) * height + row);
}

// Largest width or height the frame lets through; every row offset, pixel count and sum of sizes
// then fits the integer types the operations use.
constexpr int kMaxDimension = RK_MAX_DIMENSION;

// The planes of a source and destination of the same pixel format: one plane for packed,
// 8-bit, 16-bit and interleaved 24-bit images, three 8-bit planes for planar 24-bit images.
struct Planes {
    int count;
    int bytesPerPixel; // 0 for 1, 2 and 4 bits per pixel
    std::ptrdiff_t srcStride;
    std::ptrdiff_t dstStride;
    const std::uint8_t* src[3];
    std::uint8_t* dst[3];

    const std::uint8_t* srcRow(int plane, int row) const noexcept { return src[plane] + srcStride * row; }
    std::uint8_t* dstRow(int plane, int row) const noexcept { return dst[plane] + dstStride * row; }
};
Planes planesOf(const ImageInfo& info) noexcept;

inline bool isPlanar24(const ImageInfo& info) noexcept {
    return info.nSrcBitCount == 24 && info.nSrcPlanes == 3;
}

// Writes the `width` pixels of `in` to `out` in reverse order (mirrored row, half turn); the
// ranges must not overlap.
void reversePixels(const std::uint8_t* in, std::uint8_t* out, int width, int bytesPerPixel) noexcept;

// ---- Colour tables --------------------------------------------------------------------------

inline std::uint8_t* srcPalette(const ImageInfo& info) noexcept {
    return static_cast<std::uint8_t*>(info.lpSrcPalette);
}
inline std::uint8_t* dstPalette(const ImageInfo& info) noexcept {
    return static_cast<std::uint8_t*>(info.lpDstPalette);
}
// nColors, or 2^bitCount when 0, never more than the 256 entries a table holds.
int paletteCount(const ImageInfo& info) noexcept;
// True when the first `count` entries have blue = green = red.
bool isGreyPalette(const std::uint8_t* palette, int count) noexcept;
// Operations that move pixels of indexed images carry the colour table along.
void copyPalette(const ImageInfo& info) noexcept;
// Maps the blue, green and red bytes of the first `count` source entries through `table` into
// the destination table; reserved bytes are left as they are.
void mapPalette(const ImageInfo& info, int count, const std::uint8_t table[256]) noexcept;
// Copies the source pixel block (stride x height x planes of the source) to the destination.
void copyPixels(const ImageInfo& info) noexcept;

// ---- Tone tables ----------------------------------------------------------------------------

using ByteTable = std::uint8_t[256];

// Maps every selected pixel of an 8-bit image through `table`, or of a 24-bit image (one or three
// planes) through one table per pixel byte (blue, green, red); unselected pixels are copied.
// With `rowCallbacks`, polls for cancellation before each row and reports (row + 1, height)
// after it. Returns kSucceed or kCancel.
int mapPixels8(const ImageInfo& info, const ByteTable& table, bool rowCallbacks);
int mapPixels24(const ImageInfo& info, const ByteTable (&tables)[3], bool rowCallbacks);

// out[i] = table[in[i]] for n bytes; and for `pixels` interleaved pixels of three bytes, byte k
// of each pixel through tables[k]. The ranges must not overlap.
void lookupBytes(const std::uint8_t* in, std::uint8_t* out, std::size_t n, const ByteTable& table);
void lookupPixels(const std::uint8_t* in, std::uint8_t* out, std::size_t pixels,
                  const ByteTable (&tables)[3]);

// A double turned into a byte: truncated and clamped (NaN gives 0).
inline std::uint8_t truncToByte(double value) noexcept {
    if (!(value >= 0.0)) return 0;
    if (value >= 255.0) return 255;
    return static_cast<std::uint8_t>(value);
}

// ---- Query pass -----------------------------------------------------------------------------

// Writes the flags and a destination description equal to the source's (type too when asked).
void describeSameAsSource(ImageInfo& info, bool copyType) noexcept;

// ---- Callbacks ------------------------------------------------------------------------------

inline bool canceled(const ImageInfo& info) {
    return info.lpfnIsCanceled() != 0;
}
inline void progress(const ImageInfo& info, int done, int total) {
    info.lpfnProgress(done, total);
}

// ---- Selection mask -------------------------------------------------------------------------

// The mask resolved row by row: row(y) gives one byte per pixel (1 selected, 0 not), or null
// when there is no mask and every pixel is selected.
class Selection {
  public:
    Selection(const ImageInfo& info, int width);
    bool active() const noexcept { return !tiles_.empty() || hasMask_; }
    const std::uint8_t* row(int y);
    bool selected(int x, int y) const noexcept;

  private:
    std::vector<const MaskTile*> tiles_; // in list order
    std::vector<std::uint8_t> row_;
    int width_;
    int cachedRow_ = -1;
    bool hasMask_;
};

// ---- Per-channel driver ---------------------------------------------------------------------

// A worker sees an 8-bit single-channel image (stride (width + 3) & ~3) in lpSrcData/lpDstData
// and reports progress with channelProgress.
using ChannelWorker = int (*)(ImageInfo& info, int channel);

// Runs the worker on each channel of a grey or 24-bit image (the run pass).
int runPerChannel(ImageInfo& info, ChannelWorker worker);
// Progress in the driver's convention: the channels together run once from 1 to 3 x height.
void channelProgress(const ImageInfo& info, int channel, int row);

// ---- Sampling -------------------------------------------------------------------------------

inline std::uint8_t clampByte(int value) noexcept {
    return static_cast<std::uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
}
inline int clampInt(int value, int low, int high) noexcept {
    return value < low ? low : (value > high ? high : value);
}

constexpr double kPi = 3.14159; // the angle conversion of every geometric parameter
inline double toRadians(double degrees) noexcept {
    return degrees * kPi / 180.0;
}

// Bilinear position inside a w x h image: neighbours (x0, y0) and (x1, y1) and the fractions,
// the position clamped to 0..w - 1.00001 and 0..h - 1.00001.
struct BilinearPoint {
    int x0;
    int y0;
    int x1;
    int y1;
    double fx;
    double fy;
};
inline BilinearPoint bilinearPoint(double sx, double sy, int width, int height) noexcept {
    const double xMax = width > 1 ? width - 1.00001 : 0.0;
    const double yMax = height > 1 ? height - 1.00001 : 0.0;
    sx = sx < 0.0 ? 0.0 : (sx > xMax ? xMax : sx);
    sy = sy < 0.0 ? 0.0 : (sy > yMax ? yMax : sy);
    BilinearPoint p;
    p.x0 = static_cast<int>(sx);
    p.y0 = static_cast<int>(sy);
    // A one-pixel-wide (or high) image has no second neighbour; its weight is then zero anyway.
    p.x1 = p.x0 + 1 < width ? p.x0 + 1 : p.x0;
    p.y1 = p.y0 + 1 < height ? p.y0 + 1 : p.y0;
    p.fx = sx - p.x0;
    p.fy = sy - p.y0;
    return p;
}

// Reads a pixel of a 1-bit row (most significant bit first) and writes one.
inline int getBit(const std::uint8_t* row, int x) noexcept {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}
inline void setBit(std::uint8_t* row, int x, int bit) noexcept {
    const auto mask = static_cast<std::uint8_t>(0x80u >> (x & 7));
    row[x >> 3] = static_cast<std::uint8_t>(bit ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask));
}

// The same for 1, 2 or 4 bits per pixel (leftmost pixel in the most significant bits).
inline int getPacked(const std::uint8_t* row, int x, int bits) noexcept {
    const int perByte = 8 / bits;
    const int shift = 8 - bits * (x % perByte + 1);
    return (row[x / perByte] >> shift) & ((1 << bits) - 1);
}
inline void setPacked(std::uint8_t* row, int x, int bits, int value) noexcept {
    const int perByte = 8 / bits;
    const int shift = 8 - bits * (x % perByte + 1);
    const int mask = ((1 << bits) - 1) << shift;
    std::uint8_t& byte = row[x / perByte];
    byte = static_cast<std::uint8_t>((byte & ~mask) | ((value << shift) & mask));
}

} // namespace rasterkit

#endif // RASTERKIT_INTERNAL_H
