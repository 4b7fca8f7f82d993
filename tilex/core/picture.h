// The game's image record: a 1064-byte header block (the 40-byte bitmap info header and 256
// palette slots) and a pixel block of bottom-up rows padded to 4 bytes, as the image file
// component and the scanner deliver them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tilex {

constexpr size_t pictureHeaderBytes = 1064;

struct Picture {
    std::vector<uint8_t> header = std::vector<uint8_t>(pictureHeaderBytes, 0);
    std::vector<uint8_t> pixels;

    int width() const;
    int height() const;
    int bitCount() const;
    // Palette entries in use: clrUsed, or 2^bitCount below 16 bits when it is 0.
    int paletteSize() const;
    // Bytes per row for a supported depth (1, 4, 8, 16, 24, 32), else 0.
    static size_t rowStride(int width, int bitCount);
    // Whether the pixel block covers every row the header names, at a depth the game can show.
    bool usable() const;
};

} // namespace tilex
