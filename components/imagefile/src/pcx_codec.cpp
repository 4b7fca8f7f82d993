// PCX reading and writing. Written files are version 5, run-length encoded: 1 bit in one plane,
// 4 bits in four bit planes with the header palette, 8 bits with the 256-colour palette at the
// end, and 16 or 24 bits as three 8-bit planes (red, green, blue).
#include "byte_order.h"
#include "codecs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace imagefile {
namespace {

constexpr size_t kHeaderSize = 128;
constexpr size_t kTrailingPalette = 769; // marker 12 and 256 x 3 bytes

// Run-length decoding that carries runs across line ends, as some writers produce them.
class RunDecoder {
  public:
    RunDecoder(const uint8_t* data, size_t size, bool encoded)
        : data_(data), size_(size), encoded_(encoded) {}
    void next(uint8_t* out, size_t length) {
        size_t done = 0;
        while (done < length) {
            if (repeat_ == 0) {
                if (position_ >= size_) fail("The PCX file is truncated.");
                const uint8_t byte = data_[position_++];
                if (encoded_ && byte >= 0xC0) {
                    if (position_ >= size_) fail("The PCX file is truncated.");
                    repeat_ = byte & 0x3F;
                    value_ = data_[position_++];
                    continue;
                }
                out[done++] = byte;
                continue;
            }
            const size_t n = std::min<size_t>(repeat_, length - done);
            std::memset(out + done, value_, n);
            done += n;
            repeat_ -= static_cast<unsigned>(n);
        }
    }

  private:
    const uint8_t* data_;
    size_t size_;
    bool encoded_;
    size_t position_ = 0;
    unsigned repeat_ = 0;
    uint8_t value_ = 0;
};

uint16_t dpiField(int32_t pels) {
    return static_cast<uint16_t>(std::clamp(std::floor(pelsPerMeterToDpi(pels) + 0.5), 0.0, 65535.0));
}

} // namespace

void readPcx(const InputFile& file, HeaderBlock& block, uint8_t* pixels, Progress& progress) {
    uint8_t head[kHeaderSize];
    if (file.readAt(0, head, sizeof head) != sizeof head) fail("The PCX file is truncated.");
    if (head[0] != 0x0A || head[2] > 1) fail("The file is not a PCX image.");
    const unsigned bitsPerPlane = head[3], planes = head[65];
    const int64_t width = int64_t{le16(head + 8)} - le16(head + 4) + 1;
    const int64_t height = int64_t{le16(head + 10)} - le16(head + 6) + 1;
    const unsigned bytesPerLine = le16(head + 66);
    if (width <= 0 || height <= 0) fail("The PCX file gives an empty picture size.");
    int bits = 0;
    if (bitsPerPlane == 1 && planes >= 1 && planes <= 4)
        bits = planes == 1 ? 1 : 4;
    else if ((bitsPerPlane == 2 || bitsPerPlane == 4) && planes == 1)
        bits = 4;
    else if (bitsPerPlane == 8 && planes == 1)
        bits = 8;
    else if (bitsPerPlane == 8 && (planes == 3 || planes == 4))
        bits = 24;
    else
        fail("PCX files with " + std::to_string(planes) + " planes of " + std::to_string(bitsPerPlane) +
             " bits are not supported.");
    if (uint64_t{bytesPerLine} * 8 < static_cast<uint64_t>(width) * bitsPerPlane)
        fail("The PCX file's line length is too short for its width.");
    setImageGeometry(block, width, height, bits);
    block.header.xPelsPerMeter = dpiToPelsPerMeter(le16(head + 12));
    block.header.yPelsPerMeter = dpiToPelsPerMeter(le16(head + 14));

    uint64_t dataEnd = file.size();
    if (bits == 8) {
        uint8_t tail[kTrailingPalette];
        if (file.size() >= kHeaderSize + kTrailingPalette &&
            file.readAt(file.size() - kTrailingPalette, tail, sizeof tail) == sizeof tail && tail[0] == 12) {
            for (int i = 0; i < 256; ++i)
                block.palette[i] = {tail[1 + 3 * i + 2], tail[1 + 3 * i + 1], tail[1 + 3 * i], 0};
            dataEnd -= kTrailingPalette;
        } else {
            setGreyPalette(block, 8);
        }
        block.header.clrUsed = 256;
    } else if (bits <= 4) {
        const unsigned levels = bits == 1 ? 2 : 16;
        bool empty = true;
        for (unsigned i = 0; i < levels; ++i) {
            block.palette[i] = {head[16 + 3 * i + 2], head[16 + 3 * i + 1], head[16 + 3 * i], 0};
            empty = empty && block.palette[i] == PaletteEntry{};
        }
        // Writers that leave the header palette empty mean black and white.
        if (empty && bits == 1) block.palette[1] = {255, 255, 255, 0};
        block.header.clrUsed = levels;
    }
    // Two bytes of run-length data give at most 63 bytes of picture.
    const uint64_t dataSize = dataEnd > kHeaderSize ? dataEnd - kHeaderSize : 0;
    const uint64_t pictureBytes = uint64_t{bytesPerLine} * planes * static_cast<uint64_t>(height);
    if (head[2] == 1 ? pictureBytes > dataSize * 32 : pictureBytes > dataSize)
        fail("The PCX file is truncated: it is too short for its picture size.");
    if (!pixels) return;

    std::vector<uint8_t> data(static_cast<size_t>(dataSize));
    file.readExact(kHeaderSize, data.data(), data.size());
    RunDecoder decoder(data.data(), data.size(), head[2] == 1);
    const uint64_t stride = rowStride(width, bits);
    std::vector<uint8_t> line(size_t{bytesPerLine} * planes);
    const auto w = static_cast<size_t>(width);
    for (int64_t y = 0; y < height; ++y) {
        decoder.next(line.data(), line.size());
        uint8_t* dst = pixels + static_cast<uint64_t>(height - 1 - y) * stride;
        std::memset(dst, 0, stride);
        if (bits == 24) {
            for (size_t x = 0; x < w; ++x) {
                dst[3 * x] = line[2 * bytesPerLine + x];
                dst[3 * x + 1] = line[bytesPerLine + x];
                dst[3 * x + 2] = line[x];
            }
        } else if (bitsPerPlane == 1 && planes > 1) {
            for (size_t x = 0; x < w; ++x) {
                unsigned index = 0;
                for (unsigned p = 0; p < planes; ++p)
                    index |= ((line[p * bytesPerLine + (x >> 3)] >> (7 - (x & 7))) & 1u) << p;
                dst[x >> 1] |= static_cast<uint8_t>((x & 1) ? index : index << 4);
            }
        } else if (bitsPerPlane == 2) {
            for (size_t x = 0; x < w; ++x) {
                const unsigned index = (line[x >> 2] >> (6 - 2 * (x & 3))) & 3;
                dst[x >> 1] |= static_cast<uint8_t>((x & 1) ? index : index << 4);
            }
        } else {
            const size_t used = (w * bits + 7) / 8;
            std::memcpy(dst, line.data(), used);
            if (bits == 1 && w % 8) dst[used - 1] &= static_cast<uint8_t>(0xFF00 >> (w % 8));
            if (bits == 4 && w % 2) dst[used - 1] &= 0xF0;
        }
        progress.update(y + 1);
    }
}

namespace {

void encodeLine(const uint8_t* line, size_t length, BufferedWriter& out) {
    size_t i = 0;
    while (i < length) {
        const uint8_t value = line[i];
        size_t run = 1;
        while (i + run < length && run < 63 && line[i + run] == value)
            ++run;
        if (run > 1 || value >= 0xC0) out.put(static_cast<uint8_t>(0xC0 | run));
        out.put(value);
        i += run;
    }
}

} // namespace

void writePcx(const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out, Progress& progress) {
    const BitmapHeader& h = block.header;
    if (h.width > 65535 || h.height > 65535)
        fail("The image is too large for a PCX file (at most 65535 pixels wide and high).");
    const auto width = static_cast<size_t>(h.width);
    const PaletteEntry black{0, 0, 0, 0}, white{255, 255, 255, 0};
    // Black and white is stored the usual way (0 black, 1 white) whatever order the record has.
    const bool invertMono =
        h.bitCount == 1 && paletteCount(h) == 2 && block.palette[0] == white && block.palette[1] == black;

    unsigned planes = 1, bitsPerPlane = 8;
    size_t bytesPerLine = width;
    if (h.bitCount == 1) {
        bitsPerPlane = 1;
        bytesPerLine = (width + 7) / 8;
    } else if (h.bitCount == 4) {
        bitsPerPlane = 1;
        planes = 4;
        bytesPerLine = (width + 7) / 8;
    } else if (h.bitCount >= 16) {
        planes = 3;
    }
    bytesPerLine += bytesPerLine & 1; // lines hold an even number of bytes

    uint8_t head[kHeaderSize] = {};
    head[0] = 0x0A;
    head[1] = 5;
    head[2] = 1;
    head[3] = static_cast<uint8_t>(bitsPerPlane);
    putLe16(head + 8, static_cast<uint32_t>(h.width - 1));
    putLe16(head + 10, static_cast<uint32_t>(h.height - 1));
    putLe16(head + 12, dpiField(h.xPelsPerMeter));
    putLe16(head + 14, dpiField(h.yPelsPerMeter > 0 ? h.yPelsPerMeter : h.xPelsPerMeter));
    if (h.bitCount <= 4) {
        const unsigned count = h.bitCount == 1 ? 2 : 16;
        for (unsigned i = 0; i < count; ++i) {
            const PaletteEntry& e = invertMono ? (i == 0 ? black : white) : block.palette[i];
            head[16 + 3 * i] = e.red;
            head[16 + 3 * i + 1] = e.green;
            head[16 + 3 * i + 2] = e.blue;
        }
    }
    head[65] = static_cast<uint8_t>(planes);
    putLe16(head + 66, static_cast<uint32_t>(bytesPerLine));
    putLe16(head + 68, h.bitCount <= 8 && isGreyPalette(block) ? 2 : 1);

    BufferedWriter writer(out);
    writer.append(head, sizeof head);
    std::vector<uint8_t> line(bytesPerLine * planes);
    std::vector<uint8_t> bgr(h.bitCount == 16 ? width * 3 : 0);
    for (int32_t y = 0; y < h.height; ++y) {
        const uint8_t* src = rows.at(static_cast<uint64_t>(h.height - 1 - y));
        std::fill(line.begin(), line.end(), 0);
        if (h.bitCount == 1 || h.bitCount == 8) {
            std::memcpy(line.data(), src, (width * h.bitCount + 7) / 8);
            if (invertMono) {
                for (size_t i = 0; i < (width + 7) / 8; ++i)
                    line[i] = static_cast<uint8_t>(~line[i]);
                if (width % 8) line[width / 8] &= static_cast<uint8_t>(0xFF00 >> (width % 8));
            }
        } else if (h.bitCount == 4) {
            for (size_t x = 0; x < width; ++x) {
                const unsigned index = (x & 1) ? src[x >> 1] & 15 : src[x >> 1] >> 4;
                for (unsigned p = 0; p < 4; ++p)
                    if (index & (1u << p))
                        line[p * bytesPerLine + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
            }
        } else {
            const uint8_t* rgb = src;
            if (h.bitCount == 16) {
                rowToBgr(block, src, h.width, bgr.data());
                rgb = bgr.data();
            }
            for (size_t x = 0; x < width; ++x) {
                line[x] = rgb[3 * x + 2];
                line[bytesPerLine + x] = rgb[3 * x + 1];
                line[2 * bytesPerLine + x] = rgb[3 * x];
            }
        }
        for (unsigned p = 0; p < planes; ++p)
            encodeLine(line.data() + p * bytesPerLine, bytesPerLine, writer);
        progress.update(y + 1);
    }
    if (h.bitCount == 8) {
        uint8_t palette[kTrailingPalette] = {12};
        for (unsigned i = 0; i < paletteCount(h); ++i) {
            palette[1 + 3 * i] = block.palette[i].red;
            palette[1 + 3 * i + 1] = block.palette[i].green;
            palette[1 + 3 * i + 2] = block.palette[i].blue;
        }
        writer.append(palette, sizeof palette);
    }
    writer.flush();
}

} // namespace imagefile
