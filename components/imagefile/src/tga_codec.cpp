// TGA reading and writing. Written files are uncompressed and bottom-up like the record: 1, 4 and
// 8-bit palette images as 8-bit colour-mapped, grey ramps as 8-bit grey, 16 bits as 5-5-5 and
// 24 bits as they are. Reading also takes run-length files, top-down and right-to-left rows.
#include "byte_order.h"
#include "codecs.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace imagefile {
namespace {

constexpr size_t kHeaderSize = 18;
constexpr char kFooterSignature[] = "TRUEVISION-XFILE.";

} // namespace

void readTga(const InputFile& file, HeaderBlock& block, uint8_t* pixels, Progress& progress) {
    uint8_t head[kHeaderSize];
    if (file.readAt(0, head, sizeof head) != sizeof head) fail("The TGA file is truncated.");
    const unsigned idLength = head[0], mapType = head[1], type = head[2];
    const unsigned mapFirst = le16(head + 3), mapLength = le16(head + 5), mapEntryBits = head[7];
    const int64_t width = le16(head + 12), height = le16(head + 14);
    const unsigned depth = head[16], descriptor = head[17];
    const bool encoded = type >= 9;
    const unsigned kind = encoded ? type - 8 : type; // 1 colour-mapped, 2 true colour, 3 grey
    if (mapType > 1 || kind < 1 || kind > 3) fail("The file is not a TGA image that can be read.");
    if (width == 0 || height == 0) fail("The TGA file gives an empty picture size.");
    int bits = 0;
    if (kind == 1 && depth == 8 && mapType == 1)
        bits = 8;
    else if (kind == 2 && (depth == 15 || depth == 16))
        bits = 16;
    else if (kind == 2 && (depth == 24 || depth == 32))
        bits = 24;
    else if (kind == 3 && (depth == 8 || depth == 16))
        bits = 8;
    else
        fail("TGA files of type " + std::to_string(type) + " with " + std::to_string(depth) +
             " bits per pixel are not supported.");
    setImageGeometry(block, width, height, bits);

    const unsigned mapEntryBytes = (mapEntryBits + 7) / 8;
    const uint64_t mapOffset = kHeaderSize + idLength;
    const uint64_t mapBytes = mapType == 1 ? uint64_t{mapLength} * mapEntryBytes : 0;
    if (kind == 1) {
        if (mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 && mapEntryBits != 32)
            fail("The TGA file's colour map has entries of an unknown size.");
        std::vector<uint8_t> map(static_cast<size_t>(mapBytes));
        file.readExact(mapOffset, map.data(), map.size());
        for (unsigned i = 0; i < mapLength && mapFirst + i < 256; ++i) {
            const uint8_t* e = map.data() + size_t{i} * mapEntryBytes;
            PaletteEntry& p = block.palette[mapFirst + i];
            if (mapEntryBytes == 2) {
                const unsigned v = le16(e);
                p = {expand5(v & 31), expand5((v >> 5) & 31), expand5((v >> 10) & 31), 0};
            } else {
                p = {e[0], e[1], e[2], 0};
            }
        }
        block.header.clrUsed = std::clamp(mapFirst + mapLength, 1u, 256u);
    } else if (kind == 3) {
        setGreyPalette(block, 8);
    }
    // The pixel data must be able to hold the picture: all of it when uncompressed, and at most
    // 128 pixels a packet of two bytes or more when run-length encoded.
    const uint64_t pixelCount = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
    const uint64_t dataStart = mapOffset + mapBytes;
    const uint64_t dataBytes = file.size() > dataStart ? file.size() - dataStart : 0;
    if (encoded ? pixelCount > dataBytes * 64 : pixelCount * ((depth + 7) / 8) > dataBytes)
        fail("The TGA file is truncated: it is too short for its picture size.");
    if (!pixels) return;

    const unsigned pixelBytes = (depth + 7) / 8;
    const uint64_t stride = rowStride(width, bits);
    const auto w = static_cast<size_t>(width);
    const auto rows = static_cast<uint64_t>(height);
    const bool topDown = descriptor & 0x20, rightToLeft = descriptor & 0x10;
    const uint64_t dataOffset = mapOffset + mapBytes;
    const size_t fileRowBytes = w * pixelBytes;

    // Uncompressed rows that are already in the record's form go straight into place.
    if (!encoded && !rightToLeft && pixelBytes * 8 == static_cast<unsigned>(bits) && depth != 15) {
        std::vector<iovec> parts(static_cast<size_t>(rows));
        for (uint64_t y = 0; y < rows; ++y)
            parts[y] = {pixels + (topDown ? rows - 1 - y : y) * stride, fileRowBytes};
        file.readScattered(dataOffset, parts.data(), parts.size());
        for (uint64_t y = 0; y < rows; ++y) {
            uint8_t* row = pixels + y * stride;
            std::memset(row + fileRowBytes, 0, stride - fileRowBytes);
            if (bits == 16)
                for (size_t x = 0; x < w; ++x)
                    row[2 * x + 1] &= 0x7F; // the top bit is an attribute, not colour
        }
        progress.finish();
        return;
    }

    const uint64_t available = file.size() > dataOffset ? file.size() - dataOffset : 0;
    std::vector<uint8_t> data(
        static_cast<size_t>(encoded ? available : std::min<uint64_t>(available, fileRowBytes * rows)));
    file.readExact(dataOffset, data.data(), data.size());
    if (!encoded && data.size() < fileRowBytes * rows) fail("The TGA file is truncated.");
    size_t position = 0;
    unsigned runLeft = 0;
    bool repeating = false;
    const uint8_t* repeated = nullptr;
    auto nextPixel = [&]() -> const uint8_t* {
        if (!encoded) {
            const uint8_t* p = data.data() + position;
            position += pixelBytes;
            return p;
        }
        if (runLeft == 0) {
            if (position >= data.size()) fail("The TGA file is truncated.");
            const uint8_t packet = data[position++];
            runLeft = (packet & 0x7F) + 1u;
            repeating = packet & 0x80;
            if (repeating) {
                if (position + pixelBytes > data.size()) fail("The TGA file is truncated.");
                repeated = data.data() + position;
                position += pixelBytes;
            }
        }
        --runLeft;
        if (repeating) return repeated;
        if (position + pixelBytes > data.size()) fail("The TGA file is truncated.");
        const uint8_t* p = data.data() + position;
        position += pixelBytes;
        return p;
    };
    for (uint64_t y = 0; y < rows; ++y) {
        uint8_t* row = pixels + (topDown ? rows - 1 - y : y) * stride;
        std::memset(row, 0, stride);
        for (size_t i = 0; i < w; ++i) {
            const uint8_t* p = nextPixel();
            const size_t x = rightToLeft ? w - 1 - i : i;
            if (bits == 8) {
                row[x] = p[0];
            } else if (bits == 16) {
                row[2 * x] = p[0];
                row[2 * x + 1] = p[1] & 0x7F;
            } else {
                row[3 * x] = p[0];
                row[3 * x + 1] = p[1];
                row[3 * x + 2] = p[2];
            }
        }
        progress.update(static_cast<int64_t>(y + 1));
    }
}

void writeTga(const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out, Progress& progress) {
    const BitmapHeader& h = block.header;
    if (h.width > 65535 || h.height > 65535)
        fail("The image is too large for a TGA file (at most 65535 pixels wide and high).");
    const auto width = static_cast<size_t>(h.width);
    const uint64_t stride = rowStride(h.width, h.bitCount);
    const bool grey = h.bitCount == 8 && isIdentityGreyRamp(block);
    const bool mapped = h.bitCount <= 8 && !grey;
    const unsigned entries = mapped ? paletteCount(h) : 0;

    uint8_t head[kHeaderSize] = {};
    head[1] = mapped ? 1 : 0;
    head[2] = mapped ? 1 : grey ? 3 : 2;
    putLe16(head + 5, entries);
    head[7] = mapped ? 24 : 0;
    putLe16(head + 12, static_cast<uint32_t>(h.width));
    putLe16(head + 14, static_cast<uint32_t>(h.height));
    head[16] = static_cast<uint8_t>(h.bitCount <= 8 ? 8 : h.bitCount);
    head[17] = 0; // bottom-up, no attribute bits

    BufferedWriter writer(out);
    writer.append(head, sizeof head);
    for (unsigned i = 0; i < entries; ++i) {
        const uint8_t e[3] = {block.palette[i].blue, block.palette[i].green, block.palette[i].red};
        writer.append(e, 3);
    }
    if (h.bitCount >= 8 && rows.block()) {
        // Rows are the record's rows without their padding.
        writer.flush();
        const size_t rowBytes = width * (h.bitCount / 8);
        const uint64_t rowsPerBatch = 1024;
        std::vector<iovec> parts;
        for (uint64_t first = 0; first < static_cast<uint64_t>(h.height); first += rowsPerBatch) {
            const uint64_t count = std::min<uint64_t>(rowsPerBatch, static_cast<uint64_t>(h.height) - first);
            parts.resize(count);
            for (uint64_t i = 0; i < count; ++i)
                parts[i] = {const_cast<uint8_t*>(rows.block() + (first + i) * stride), rowBytes};
            out.writeScattered(parts.data(), parts.size());
            progress.update(static_cast<int64_t>(first + count));
        }
    } else if (h.bitCount >= 8) {
        const size_t rowBytes = width * (h.bitCount / 8);
        for (int32_t y = 0; y < h.height; ++y) {
            writer.append(rows.at(static_cast<uint64_t>(y)), rowBytes);
            progress.update(y + 1);
        }
    } else {
        std::vector<uint8_t> indices(width);
        for (int32_t y = 0; y < h.height; ++y) {
            rowToIndices(rows.at(static_cast<uint64_t>(y)), h.width, h.bitCount, indices.data());
            writer.append(indices.data(), indices.size());
            progress.update(y + 1);
        }
    }
    uint8_t footer[26] = {};
    std::memcpy(footer + 8, kFooterSignature, sizeof kFooterSignature);
    writer.append(footer, sizeof footer);
    writer.flush();
}

} // namespace imagefile
