// Turning the lines a SANE device sends into bitmap rows: 1-bit line-art (palette 0 black,
// 1 white), 8-bit gray with a gray palette, or 24-bit blue-green-red, each row padded to 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace scanner {

enum class ImageType : int32_t { Lineart = 0, Gray = 1, Color = 2 };

constexpr std::size_t kHeaderBlockSize = 1064;
constexpr std::size_t kInfoHeaderSize = 40;

uint16_t bitCountFor(ImageType type);
// Bytes of one padded row of `width` pixels at 1, 8 or 24 bits per pixel.
uint32_t rowStride(uint32_t width, uint16_t bitCount);
// Pixels per metre for a resolution in dots per inch, rounded to the nearest integer.
int32_t pelsPerMeter(double dotsPerInch);

// Fills the 1064-byte block: the 40-byte info header (little-endian) and the palette, the
// unused palette slots zero.
void writeHeaderBlock(std::span<uint8_t, kHeaderBlockSize> block, uint32_t width, uint32_t height,
                      ImageType type, double xDotsPerInch, double yDotsPerInch);

// How one line of a SANE frame is laid out.
enum class FrameKind { Gray, Rgb, Red, Green, Blue };
struct LineFormat {
    FrameKind kind = FrameKind::Gray;
    int depth = 8;       // bits per sample: 1, 8 or 16 (16-bit samples in host order)
    uint32_t pixels = 0; // pixels per line
};

// Converts one line into one row of the target type. Single-channel frames (Red, Green, Blue of
// a three-pass device) write only their channel, so the caller keeps the row between passes.
class RowConverter {
  public:
    using Fn = void (*)(const uint8_t* line, uint8_t* row, uint32_t pixels, uint8_t threshold);

    // Empty when the frame cannot become the target (an unknown depth, or a single-channel frame
    // for a target other than colour). Line-art pixels whose gray value is at or above
    // `threshold` become white.
    static std::optional<RowConverter> make(ImageType target, LineFormat source, uint8_t threshold);

    // `line` holds at least the frame's bytes per line; `row` rowStride(...) bytes.
    void convert(const uint8_t* line, uint8_t* row) const { fn_(line, row, pixels_, threshold_); }

  private:
    RowConverter(Fn fn, uint32_t pixels, uint8_t threshold)
        : fn_(fn), pixels_(pixels), threshold_(threshold) {}
    Fn fn_;
    uint32_t pixels_;
    uint8_t threshold_;
};

// Reverses the order of `rows` rows of `stride` bytes in place: top-down becomes bottom-up.
void flipRows(std::span<uint8_t> pixels, uint32_t stride);

} // namespace scanner
