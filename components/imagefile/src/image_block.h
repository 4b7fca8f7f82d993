// The in-memory image exchanged across the component boundary: a 1064-byte header block (a
// 40-byte bitmap info header and 256 palette slots) and a pixel block of bottom-up rows, each
// padded to a multiple of 4 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace imagefile {

struct BitmapHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapHeader) == 40);

struct PaletteEntry {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};
static_assert(sizeof(PaletteEntry) == 4);

struct HeaderBlock {
    BitmapHeader header;
    std::array<PaletteEntry, 256> palette{};
};
static_assert(sizeof(HeaderBlock) == 1064);

// Failure with a message for the user; caught at the C boundary.
class ImageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& message);

// Bytes of one padded row; 0 for a depth the record does not hold.
uint64_t rowStride(int64_t width, int bitCount);
// Bytes of the pixel block, or 0 when the depth is not one of 1, 4, 8, 16, 24.
uint64_t pixelBlockSize(const BitmapHeader& header);

// The largest pixel block the boundary can report (GetImageSize returns 32 bits).
constexpr uint64_t kMaxPixelBlock = 0xFFFFFFFFull;

// Fills a header for a bottom-up image of the given depth and refuses sizes the boundary cannot
// carry. Palette entries and clrUsed are left to the caller.
void setImageGeometry(HeaderBlock& block, int64_t width, int64_t height, int bitCount);

// Palette entries 0..count-1 form the ramp i -> (i, i, i) scaled over the depth's range.
void setGreyPalette(HeaderBlock& block, int bitCount);
// Number of palette entries the record uses (clrUsed, or 2^bitCount when 0), capped at 256.
unsigned paletteCount(const BitmapHeader& header);
// True when the palette is the identity grey ramp of an 8-bit image (entry i = (i, i, i)).
bool isIdentityGreyRamp(const HeaderBlock& block);
// True when every used entry has blue = green = red.
bool isGreyPalette(const HeaderBlock& block);

// Expands a 5-bit channel value to 8 bits by bit replication (0 -> 0, 31 -> 255).
constexpr uint8_t expand5(unsigned v) {
    return static_cast<uint8_t>((v << 3) | (v >> 2));
}

// Converts one row of the record (any depth) into blue, green, red triples.
void rowToBgr(const HeaderBlock& block, const uint8_t* row, int width, uint8_t* bgr);
// Converts one row of the record (1, 4 or 8 bits) into one palette index per byte.
void rowToIndices(const uint8_t* row, int width, int bitCount, uint8_t* indices);

// Resolution conversions: dots per inch <-> pixels per metre, rounded as the suite does.
int32_t dpiToPelsPerMeter(double dpi);
double pelsPerMeterToDpi(int32_t pelsPerMeter);
int32_t dotsPerCmToPelsPerMeter(double dotsPerCm);

// The rows a writer encodes: a pixel block, or the caller's function that hands out one row at a
// time (so that a joined picture can be encoded without ever being held whole).
class PixelRows {
  public:
    // Row `row` counted from the bottom, as the pixel block stores them; null when it cannot be had.
    // The row stays valid until the next call.
    using Source = const void* (*)(void* context, int32_t row);
    PixelRows(const uint8_t* pixels, uint64_t stride) : pixels_(pixels), stride_(stride) {}
    PixelRows(Source source, void* context) : source_(source), context_(context) {}

    const uint8_t* at(uint64_t row) const {
        if (pixels_) return pixels_ + row * stride_;
        const void* got = source_(context_, static_cast<int32_t>(row));
        if (!got) fail("The image's rows could not be had.");
        return static_cast<const uint8_t*>(got);
    }
    // The whole pixel block, or null when the rows come one at a time.
    const uint8_t* block() const { return pixels_; }

  private:
    const uint8_t* pixels_ = nullptr;
    uint64_t stride_ = 0;
    Source source_ = nullptr;
    void* context_ = nullptr;
};

// Reports progress in rows of the image being read or written to the caller's callback, about
// a hundred times at most.
class Progress {
  public:
    using Callback = void (*)(int done, int total);
    Progress(Callback callback, const HeaderBlock* block) : callback_(callback), block_(block) {}
    void update(int64_t done) {
        if (!callback_) return;
        const int64_t total = block_->header.height > 0 ? block_->header.height : 1;
        const int step = static_cast<int>(done * 100 / total);
        if (step != lastStep_) {
            lastStep_ = step;
            callback_(static_cast<int>(done), static_cast<int>(total));
        }
    }
    void finish() { update(block_->header.height); }

    // Rows counted from the top that are final in the pixel block, for a caller that reads them
    // while the rest is decoded. Readers that fill rows in another order leave it to the end.
    using RowsDone = void (*)(void* context, int32_t rows);
    void watchRows(RowsDone rowsDone, void* context) {
        rowsDone_ = rowsDone;
        rowsContext_ = context;
    }
    void rowsFromTopDone(int64_t rows) {
        if (rowsDone_) rowsDone_(rowsContext_, static_cast<int32_t>(rows));
    }

  private:
    Callback callback_;
    const HeaderBlock* block_;
    int lastStep_ = -1;
    RowsDone rowsDone_ = nullptr;
    void* rowsContext_ = nullptr;
};

} // namespace imagefile
