// The in-memory image: a 1064-byte header block (bitmap info header and 256 palette slots) and a
// pixel block of rows stored bottom-up, each padded to 4 bytes.
#pragma once

#include "engine/memory_block.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tandemscan {

static_assert(std::endian::native == std::endian::little, "the header block is little-endian in memory");

// The bitmap info header, field for field.
struct ImageHeader {
    std::uint32_t size;
    std::int32_t width;
    std::int32_t height;
    std::uint16_t planes;
    std::uint16_t bitCount;
    std::uint32_t compression;
    std::uint32_t sizeImage;
    std::int32_t xPelsPerMeter;
    std::int32_t yPelsPerMeter;
    std::uint32_t clrUsed;
    std::uint32_t clrImportant;
};
static_assert(sizeof(ImageHeader) == 40);

struct PaletteEntry {
    std::uint8_t blue;
    std::uint8_t green;
    std::uint8_t red;
    std::uint8_t reserved;

    friend bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};
static_assert(sizeof(PaletteEntry) == 4);

// Header and the full 256-slot palette; unused slots are zero. Value-initialise it ({}) to get the
// zero-filled block every user starts from.
struct HeaderBlock {
    ImageHeader header;
    std::array<PaletteEntry, 256> palette;
};
static_assert(sizeof(HeaderBlock) == 1064);

inline constexpr std::size_t kHeaderBlockSize = sizeof(HeaderBlock);
// Pixels per metre for one dot per inch; kept in single precision as everywhere in the suite.
inline constexpr float kPelsPerMeterPerDpi = 39.37f;

// Whether the header block and the pixel block share one allocation (pixels at byte 1064) or not.
enum class RecordLayout { single, apart };

// Owns one image. Empty until it is given memory; moving hands the memory over.
class ImageRecord {
  public:
    ImageRecord() = default;
    ImageRecord(ImageRecord&& other) noexcept;
    ImageRecord& operator=(ImageRecord&& other) noexcept;
    ImageRecord(const ImageRecord&) = delete;
    ImageRecord& operator=(const ImageRecord&) = delete;
    ~ImageRecord() = default;

    // Heap storage for `header` and `pixelBytes` zero pixel bytes; the header block is copied in.
    static std::optional<ImageRecord> allocate(const HeaderBlock& header, std::size_t pixelBytes,
                                               RecordLayout layout = RecordLayout::apart);
    // Takes a block of at least 1064 bytes: header block at its start, pixels from byte 1064.
    static std::optional<ImageRecord> fromSingleBlock(MemoryBlock block);
    // Takes a 1064-byte (or larger) header block and a separate pixel block.
    static std::optional<ImageRecord> fromBlocks(MemoryBlock header, MemoryBlock pixels);
    // A deep copy on the heap in the given layout; empty when memory runs out or `this` is empty.
    ImageRecord clone(RecordLayout layout = RecordLayout::apart) const;

    bool empty() const { return header_ == nullptr; }
    explicit operator bool() const { return !empty(); }

    // The header accessors need a record that is not empty; pixels() of an empty one is empty.

    HeaderBlock& headerBlock() { return *header_; }
    const HeaderBlock& headerBlock() const { return *header_; }
    ImageHeader& header() { return header_->header; }
    const ImageHeader& header() const { return header_->header; }
    std::span<PaletteEntry, 256> palette() { return header_->palette; }
    std::span<const PaletteEntry, 256> palette() const { return header_->palette; }
    std::span<std::uint8_t> pixels() { return {pixels_, pixelBytes_}; }
    std::span<const std::uint8_t> pixels() const { return {pixels_, pixelBytes_}; }

    RecordLayout layout() const { return layout_; }
    // Where the pixel bytes live (for a single block, where the whole block lives).
    StoreKind pixelKind() const;
    // The bytes of the single allocation (header block and pixels); empty for the apart layout.
    std::span<std::uint8_t> singleBlock();

    void reset();
    void swap(ImageRecord& other) noexcept;

  private:
    MemoryBlock first_;  // the single block, or the header block when apart
    MemoryBlock second_; // the pixel block when apart
    HeaderBlock* header_ = nullptr;
    std::uint8_t* pixels_ = nullptr;
    std::size_t pixelBytes_ = 0;
    RecordLayout layout_ = RecordLayout::apart;
};

} // namespace tandemscan
