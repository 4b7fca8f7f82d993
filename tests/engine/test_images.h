// Small images built in memory for the engine tests, addressed in picture terms (row 0 at the top).
#pragma once

#include "engine/image_record.h"

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace tandemscan::test {

struct TestImage {
    HeaderBlock block{};
    std::vector<std::uint8_t> pixels;

    // A zeroed image; 1, 4 and 8-bit images get a grey ramp palette of 2^bitCount entries.
    static TestImage make(std::int32_t width, std::int32_t height, std::uint16_t bitCount,
                          std::int32_t pelsPerMeter = 2362);
    // Rows given top-down; values are palette indexes, 5-5-5 words or 0xRRGGBB.
    static TestImage fromRows(std::uint16_t bitCount,
                              std::initializer_list<std::initializer_list<std::uint32_t>> rows);

    std::int32_t width() const { return block.header.width; }
    std::int32_t height() const { return block.header.height; }
    std::uint32_t stride() const;
    std::uint32_t get(std::int32_t x, std::int32_t y) const;
    void set(std::int32_t x, std::int32_t y, std::uint32_t value);
    // All pixels, rows top-down.
    std::vector<std::vector<std::uint32_t>> picture() const;
    // The stored bytes of one row counted from the bottom, padding included.
    std::vector<std::uint8_t> storedRow(std::int32_t row) const;
};

// Reads the same addressing from any header block and pixel span.
std::uint32_t pixelAt(const HeaderBlock& block, std::span<const std::uint8_t> pixels, std::int32_t x,
                      std::int32_t y);
std::vector<std::vector<std::uint32_t>> pictureOf(const HeaderBlock& block,
                                                  std::span<const std::uint8_t> pixels);
std::vector<std::vector<std::uint32_t>> pictureOf(const ImageRecord& record);

using Picture = std::vector<std::vector<std::uint32_t>>;

} // namespace tandemscan::test
