// BMP reading: core (OS/2), info, OS/2 2.x, V4 and V5 headers; 1, 2, 4, 8, 16, 24 and 32 bits;
// uncompressed, RLE8, RLE4, bit fields, and JPEG or PNG payloads. Rows the record can take as
// they stand are read straight from the file into the pixel block.
#include "byte_order.h"
#include "codecs.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

namespace imagefile {
namespace {

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kJpeg = 4,
    kPng = 5,
    kAlphaBitFields = 6
};

struct BmpLayout {
    uint64_t dataOffset = 0;
    int64_t width = 0;
    int64_t height = 0;
    bool topDown = false;
    int bitCount = 0;
    uint32_t compression = kRgb;
    uint32_t sizeImage = 0;
    uint32_t masks[3] = {0, 0, 0}; // red, green, blue
    int outputBits = 0;
};

std::string countText(uint64_t n) {
    return std::to_string(n);
}

// Where the pixel bits of one channel sit in a pixel and how they become 8 bits.
struct Channel {
    unsigned shift = 0;
    unsigned span = 0; // bits from the lowest to the highest set bit of the mask
    uint32_t mask = 0;
    uint8_t lut[256] = {};

    explicit Channel(uint32_t m) : mask(m) {
        if (m == 0) return;
        shift = static_cast<unsigned>(std::countr_zero(m));
        span = 32 - static_cast<unsigned>(std::countl_zero(m)) - shift;
        const unsigned bits = std::min(span, 8u);
        // Bit replication: a full field becomes 255, an empty one 0, like the usual decoders.
        for (unsigned v = 0; v < (1u << bits); ++v) {
            unsigned out = 0;
            int filled = 0;
            while (filled < 8) {
                const int gap = 8 - filled - static_cast<int>(bits);
                out |= gap >= 0 ? v << gap : v >> -gap;
                filled += static_cast<int>(bits);
            }
            lut[v] = static_cast<uint8_t>(out);
        }
    }
    uint8_t operator()(uint32_t pixel) const {
        if (mask == 0) return 0;
        uint32_t v = (pixel & mask) >> shift;
        if (span > 8) v >>= span - 8;
        return lut[v];
    }
};

// Bytes the rows of an uncompressed image take in the file; the last row may lack its padding.
uint64_t storedBytes(const BmpLayout& layout) {
    const uint64_t bits = static_cast<uint64_t>(layout.width) * layout.bitCount;
    return (bits + 31) / 32 * 4 * static_cast<uint64_t>(layout.height - 1) + (bits + 7) / 8;
}

BmpLayout parseHeaders(const InputFile& file, HeaderBlock& block, std::vector<uint8_t>& palette) {
    uint8_t head[14 + 124 + 16] = {};
    const size_t got = file.readAt(0, head, sizeof head);
    if (got < 2 || head[0] != 'B' || head[1] != 'M') fail("The file is not a BMP image.");
    if (got < 18) fail("The BMP file is truncated.");
    BmpLayout layout;
    layout.dataOffset = le32(head + 10);
    const uint32_t headerSize = le32(head + 14);
    const bool core = headerSize == 12;
    const bool os2v2 =
        headerSize >= 16 && headerSize <= 64 && headerSize != 40 && headerSize != 52 && headerSize != 56;
    if (!core && !(headerSize >= 16 && headerSize <= 64) && headerSize != 108 && headerSize != 124)
        fail("The BMP file has a header of unknown size (" + countText(headerSize) + " bytes).");
    if (got < 14 + headerSize) fail("The BMP file is truncated.");
    const uint8_t* info = head + 14;

    uint32_t clrUsed = 0;
    int32_t xPels = 0;
    int32_t yPels = 0;
    if (core) {
        layout.width = le16(info + 4);
        layout.height = le16(info + 6);
        layout.bitCount = le16(info + 10);
    } else {
        layout.width = static_cast<int32_t>(le32(info + 4));
        layout.height = static_cast<int32_t>(le32(info + 8));
        layout.bitCount = le16(info + 14);
        if (headerSize >= 20) layout.compression = le32(info + 16);
        if (headerSize >= 24) layout.sizeImage = le32(info + 20);
        if (headerSize >= 28) xPels = static_cast<int32_t>(le32(info + 24));
        if (headerSize >= 32) yPels = static_cast<int32_t>(le32(info + 28));
        if (headerSize >= 36) clrUsed = le32(info + 32);
    }
    uint64_t paletteOffset = 14 + headerSize;
    if (headerSize >= 52) {
        for (int i = 0; i < 3; ++i)
            layout.masks[i] = le32(info + 40 + 4 * i);
    } else if (headerSize == 40 &&
               (layout.compression == kBitFields || layout.compression == kAlphaBitFields)) {
        const unsigned maskBytes = layout.compression == kBitFields ? 12 : 16;
        if (got < 14 + 40 + maskBytes) fail("The BMP file is truncated.");
        for (int i = 0; i < 3; ++i)
            layout.masks[i] = le32(info + 40 + 4 * i);
        paletteOffset += maskBytes;
    }
    if (os2v2 && layout.compression == kBitFields) fail("Huffman-compressed BMP files are not supported.");
    if (os2v2 && layout.compression == kJpeg)
        fail("BMP files with 24-bit run-length compression are not supported.");

    if (layout.width <= 0) fail("The BMP file gives a width of " + std::to_string(layout.width) + " pixels.");
    if (layout.height == 0) fail("The BMP file gives a height of 0 pixels.");
    if (layout.height < 0) {
        layout.topDown = true;
        layout.height = -layout.height;
    }

    switch (layout.compression) {
    case kRgb:
        switch (layout.bitCount) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
            layout.outputBits = layout.bitCount;
            break;
        case 2:
            layout.outputBits = 4;
            break;
        case 32:
            layout.outputBits = 24;
            break;
        default:
            fail("BMP files with " + std::to_string(layout.bitCount) + " bits per pixel are not supported.");
        }
        if (layout.bitCount == 32) {
            layout.masks[0] = 0xFF0000;
            layout.masks[1] = 0x00FF00;
            layout.masks[2] = 0x0000FF;
        } else if (layout.bitCount == 16) {
            layout.masks[0] = 0x7C00;
            layout.masks[1] = 0x03E0;
            layout.masks[2] = 0x001F;
        }
        break;
    case kRle8:
    case kRle4:
        if (layout.bitCount != (layout.compression == kRle8 ? 8 : 4))
            fail("The BMP file's run-length compression does not match its bit depth.");
        if (layout.topDown) fail("The BMP file is compressed but stored top-down, which is not allowed.");
        layout.outputBits = layout.bitCount;
        break;
    case kBitFields:
    case kAlphaBitFields:
        if (layout.bitCount != 16 && layout.bitCount != 32)
            fail("The BMP file has bit fields with " + std::to_string(layout.bitCount) + " bits per pixel.");
        if (layout.masks[0] == 0 && layout.masks[1] == 0 && layout.masks[2] == 0) {
            const bool wide = layout.bitCount == 32;
            layout.masks[0] = wide ? 0xFF0000 : 0x7C00;
            layout.masks[1] = wide ? 0x00FF00 : 0x03E0;
            layout.masks[2] = wide ? 0x0000FF : 0x001F;
        }
        if (layout.bitCount == 16 && (layout.masks[0] | layout.masks[1] | layout.masks[2]) > 0xFFFF)
            fail("The BMP file has bit fields outside its 16-bit pixels.");
        layout.outputBits = 24; // bit-field images arrive as 24 bits, whatever their fields
        break;
    case kJpeg:
    case kPng:
        if (layout.topDown) fail("The BMP file holds compressed data but is stored top-down.");
        break;
    default:
        fail("The BMP file uses an unknown compression (" + countText(layout.compression) + ").");
    }

    block.header.xPelsPerMeter = std::max(xPels, 0);
    block.header.yPelsPerMeter = std::max(yPels, 0);
    if (layout.compression == kJpeg || layout.compression == kPng) return layout;
    setImageGeometry(block, layout.width, layout.height, layout.outputBits);

    if (layout.bitCount <= 8) {
        const unsigned full = 1u << layout.bitCount;
        if (clrUsed > 256)
            fail("The BMP file claims " + countText(clrUsed) + " palette entries; at most 256 are possible.");
        const unsigned entries = std::min(clrUsed == 0 ? full : clrUsed, full);
        const unsigned entrySize = core ? 3 : 4;
        palette.resize(size_t{entries} * entrySize);
        if (file.readAt(paletteOffset, palette.data(), palette.size()) != palette.size())
            fail("The BMP file is truncated inside its palette.");
        for (unsigned i = 0; i < entries; ++i) {
            const uint8_t* e = palette.data() + size_t{i} * entrySize;
            block.palette[i] = {e[0], e[1], e[2], 0};
        }
        block.header.clrUsed = entries;
        if (layout.dataOffset < paletteOffset + palette.size() && layout.dataOffset < 14 + headerSize)
            layout.dataOffset = paletteOffset + palette.size();
    }
    if (layout.dataOffset >= file.size()) fail("The BMP file is truncated before its pixels.");
    // Uncompressed pixels must all be in the file; saying so now spares the caller allocating
    // room for a picture that is not there.
    if (layout.compression != kRle8 && layout.compression != kRle4 &&
        file.size() - layout.dataOffset < storedBytes(layout))
        fail("The BMP file is truncated: some pixel rows are missing.");
    return layout;
}

// Writers leave what they like in row padding, in the bits after a row's last pixel and in the
// unused top bit of 5-5-5 pixels; the record has zeros there.
void cleanRows(const BmpLayout& layout, uint8_t* pixels) {
    const uint64_t stride = rowStride(layout.width, layout.bitCount);
    const uint64_t usedBits = static_cast<uint64_t>(layout.width) * layout.bitCount;
    const uint64_t rowBytes = (usedBits + 7) / 8;
    const auto spare = static_cast<unsigned>(rowBytes * 8 - usedBits);
    const auto height = static_cast<uint64_t>(layout.height);
    if (layout.bitCount == 16) {
        for (uint64_t y = 0; y < height; ++y) {
            uint8_t* row = pixels + y * stride;
            for (uint64_t x = 0; x < static_cast<uint64_t>(layout.width); ++x)
                row[2 * x + 1] &= 0x7F;
        }
    }
    if (rowBytes == stride && spare == 0) return;
    for (uint64_t y = 0; y < height; ++y) {
        uint8_t* row = pixels + y * stride;
        if (spare) row[rowBytes - 1] &= static_cast<uint8_t>(0xFF << spare);
        std::memset(row + rowBytes, 0, stride - rowBytes);
    }
}

// Rows stored exactly as the record keeps them: read straight into place.
void readDirect(const InputFile& file, const BmpLayout& layout, uint8_t* pixels, Progress& progress) {
    const uint64_t stride = rowStride(layout.width, layout.bitCount);
    const uint64_t rowBytes = (static_cast<uint64_t>(layout.width) * layout.bitCount + 7) / 8;
    const auto height = static_cast<uint64_t>(layout.height);
    const uint64_t available = file.size() - layout.dataOffset;
    if (available < stride * (height - 1) + rowBytes)
        fail("The BMP file is truncated: some pixel rows are missing.");
    // The last row in the file may lack its padding.
    const bool lastRowShort = available < stride * height;
    // Large reads: each read call costs, and progress needs only a few dozen steps.
    const uint64_t chunkRows = std::max<uint64_t>(1, (uint64_t{32} << 20) / stride);
    std::vector<iovec> parts;
    for (uint64_t first = 0; first < height; first += chunkRows) {
        uint64_t count = std::min(chunkRows, height - first);
        const bool holdsLast = first + count == height;
        if (holdsLast && lastRowShort) --count;
        const uint64_t offset = layout.dataOffset + first * stride;
        if (!layout.topDown) {
            file.readExact(offset, pixels + first * stride, count * stride);
        } else if (count > 0) {
            parts.resize(count);
            for (uint64_t i = 0; i < count; ++i)
                parts[i] = {pixels + (height - 1 - first - i) * stride, stride};
            file.readScattered(offset, parts.data(), parts.size());
        }
        if (holdsLast && lastRowShort) {
            uint8_t* row = pixels + (layout.topDown ? 0 : (height - 1) * stride);
            std::memset(row, 0, stride);
            file.readExact(layout.dataOffset + (height - 1) * stride, row, rowBytes);
        }
        progress.update(static_cast<int>(first + count));
    }
    cleanRows(layout, pixels);
}

// Rows that need converting: 2-bit indices, bit fields, 32-bit pixels.
void readConverted(const InputFile& file, const BmpLayout& layout, uint8_t* pixels, Progress& progress) {
    const uint64_t srcStride = (static_cast<uint64_t>(layout.width) * layout.bitCount + 31) / 32 * 4;
    const uint64_t rowBytes = (static_cast<uint64_t>(layout.width) * layout.bitCount + 7) / 8;
    const uint64_t dstStride = rowStride(layout.width, layout.outputBits);
    const auto height = static_cast<uint64_t>(layout.height);
    const auto width = static_cast<size_t>(layout.width);
    const uint64_t available = file.size() - layout.dataOffset;
    if (available < srcStride * (height - 1) + rowBytes)
        fail("The BMP file is truncated: some pixel rows are missing.");

    const Channel red(layout.masks[0]), green(layout.masks[1]), blue(layout.masks[2]);
    const bool plain32 = layout.bitCount == 32 && layout.masks[0] == 0xFF0000 && layout.masks[1] == 0xFF00 &&
                         layout.masks[2] == 0xFF;
    std::vector<uint8_t> lut16;
    if (layout.bitCount == 16) {
        lut16.resize(65536 * 3);
        for (uint32_t v = 0; v < 65536; ++v) {
            lut16[3 * v] = blue(v);
            lut16[3 * v + 1] = green(v);
            lut16[3 * v + 2] = red(v);
        }
    }
    const uint64_t chunkRows = std::max<uint64_t>(1, (uint64_t{1} << 20) / srcStride);
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min(chunkRows, height) * srcStride));
    for (uint64_t first = 0; first < height; first += chunkRows) {
        const uint64_t count = std::min(chunkRows, height - first);
        const size_t got =
            file.readAt(layout.dataOffset + first * srcStride, buffer.data(), count * srcStride);
        std::memset(buffer.data() + got, 0, buffer.size() - got);
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t y = first + i;
            const uint8_t* src = buffer.data() + i * srcStride;
            uint8_t* dst = pixels + (layout.topDown ? height - 1 - y : y) * dstStride;
            std::memset(dst, 0, dstStride);
            if (layout.bitCount == 2) {
                for (size_t x = 0; x < width; ++x) {
                    const unsigned index = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
                    dst[x >> 1] |= static_cast<uint8_t>((x & 1) ? index : index << 4);
                }
            } else if (layout.bitCount == 16) {
                for (size_t x = 0; x < width; ++x)
                    std::memcpy(dst + 3 * x, &lut16[3 * le16(src + 2 * x)], 3);
            } else if (plain32) {
                for (size_t x = 0; x < width; ++x)
                    std::memcpy(dst + 3 * x, src + 4 * x, 3);
            } else {
                for (size_t x = 0; x < width; ++x) {
                    const uint32_t v = le32(src + 4 * x);
                    dst[3 * x] = blue(v);
                    dst[3 * x + 1] = green(v);
                    dst[3 * x + 2] = red(v);
                }
            }
        }
        progress.update(static_cast<int>(first + count));
    }
}

void readRunLength(const InputFile& file, const BmpLayout& layout, uint8_t* pixels, Progress& progress) {
    const uint64_t stride = rowStride(layout.width, layout.bitCount);
    const auto width = static_cast<uint64_t>(layout.width);
    const auto height = static_cast<uint64_t>(layout.height);
    const bool four = layout.compression == kRle4;
    std::memset(pixels, 0, stride * height);
    const uint64_t length = file.size() - layout.dataOffset;
    std::vector<uint8_t> data(static_cast<size_t>(length));
    file.readExact(layout.dataOffset, data.data(), data.size());

    auto put = [&](uint64_t x, uint64_t y, unsigned index) {
        uint8_t* row = pixels + y * stride;
        if (!four) {
            row[x] = static_cast<uint8_t>(index);
        } else {
            uint8_t& b = row[x >> 1];
            b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | index)
                        : static_cast<uint8_t>((b & 0x0F) | (index << 4));
        }
    };
    const char* overrun = "The BMP file's compressed pixels run past the edge of the image.";
    uint64_t x = 0, y = 0;
    size_t p = 0;
    while (true) {
        if (y >= height) break; // every row is done; whatever follows does not matter
        if (p + 2 > data.size()) fail("The BMP file's compressed pixels end early: the file is truncated.");
        const unsigned count = data[p], value = data[p + 1];
        p += 2;
        if (count > 0) {
            if (x + count > width) fail(overrun);
            for (unsigned i = 0; i < count; ++i, ++x)
                put(x, y, four ? ((i & 1) ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
            progress.update(static_cast<int>(y));
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // move right and up
            if (p + 2 > data.size())
                fail("The BMP file's compressed pixels end early: the file is truncated.");
            x += data[p];
            y += data[p + 1];
            p += 2;
            if (x > width || (y >= height && !(y == height && x == 0))) fail(overrun);
        } else { // a literal run of `value` pixels, padded to a 2-byte boundary
            const unsigned bytes = four ? (value + 1) / 2 : value;
            if (p + bytes > data.size())
                fail("The BMP file's compressed pixels end early: the file is truncated.");
            if (x + value > width) fail(overrun);
            for (unsigned i = 0; i < value; ++i, ++x)
                put(x, y, four ? ((i & 1) ? data[p + i / 2] & 15 : data[p + i / 2] >> 4) : data[p + i]);
            p += (bytes + 1) & ~1u;
        }
    }
    progress.finish();
}

void readEmbedded(const InputFile& file, const BmpLayout& layout, HeaderBlock& block, uint8_t* pixels,
                  Progress& progress) {
    if (layout.dataOffset >= file.size()) fail("The BMP file is truncated before its pixels.");
    uint64_t length = file.size() - layout.dataOffset;
    if (layout.sizeImage != 0 && layout.sizeImage < length) length = layout.sizeImage;
    std::vector<uint8_t> payload(static_cast<size_t>(length));
    file.readExact(layout.dataOffset, payload.data(), payload.size());
    const InputFile inner(payload.data(), payload.size());
    const int32_t xPels = block.header.xPelsPerMeter, yPels = block.header.yPelsPerMeter;
    if (layout.compression == kJpeg) {
        if (detectFormat(inner) != FileFormat::Jpeg) fail("The BMP file's JPEG data is damaged.");
        readJpeg(inner, block, pixels, progress);
    } else {
        if (detectFormat(inner) != FileFormat::Png) fail("The BMP file's PNG data is damaged.");
        readPng(inner, block, pixels, progress);
    }
    if (xPels > 0) {
        block.header.xPelsPerMeter = xPels;
        block.header.yPelsPerMeter = yPels;
    }
}

} // namespace

void readBmp(const InputFile& file, HeaderBlock& block, uint8_t* pixels, Progress& progress) {
    std::vector<uint8_t> palette;
    const BmpLayout layout = parseHeaders(file, block, palette);
    if (layout.compression == kJpeg || layout.compression == kPng) {
        readEmbedded(file, layout, block, pixels, progress);
        return;
    }
    if (!pixels) return;
    if (layout.compression == kRle8 || layout.compression == kRle4) {
        readRunLength(file, layout, pixels, progress);
    } else if (layout.bitCount == layout.outputBits) {
        readDirect(file, layout, pixels, progress);
    } else {
        readConverted(file, layout, pixels, progress);
    }
}

} // namespace imagefile
