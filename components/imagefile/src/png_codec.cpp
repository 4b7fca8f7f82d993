// PNG reading and writing through libpng. As with libjpeg, every step that may end in a libpng
// error sets its jump point first and the failure becomes an ImageError outside.
#include "codecs.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>
#include <vector>

namespace imagefile {
namespace {

// Ancillary chunks (text, profiles) larger than this are refused rather than inflated.
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;

struct Messages {
    char text[200] = "";
};

void onPngError(png_structp png, png_const_charp message) {
    auto* messages = static_cast<Messages*>(png_get_error_ptr(png));
    std::snprintf(messages->text, sizeof messages->text, "%s", message);
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) {}

void readFromFile(png_structp png, png_bytep out, size_t length) {
    auto* reader = static_cast<BufferedReader*>(png_get_io_ptr(png));
    size_t got = 0;
    bool failed = false;
    try {
        got = reader->read(out, length);
    } catch (const ImageError&) {
        failed = true;
    }
    if (failed) png_error(png, "the file cannot be read");
    if (got != length) png_error(png, "the file is truncated");
}

void reportRow(png_structp png, png_uint_32 row, int) {
    auto* progress = static_cast<Progress*>(png_get_mem_ptr(png));
    if (progress) progress->update(row);
}

// How a PNG's rows become the record's rows: as libpng gives them, or converted one by one.
// Interlaced files fill every row in several passes, so they always take the direct form (2-bit
// indices as bytes, 5-5-5 as 24 bits) rather than need a second copy of the whole picture.
enum class RowForm { Direct, TwoBitAsBytes, TwoBitIndices, Rgb555 };

class PngReader {
  public:
    PngReader(const InputFile& file, Progress* progress) : reader_(file) {
        png_ = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &messages_, onPngError, onPngWarning, progress,
                                        nullptr, nullptr);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~PngReader() { png_destroy_read_struct(&png_, &info_, nullptr); }
    PngReader(const PngReader&) = delete;
    PngReader& operator=(const PngReader&) = delete;

    bool readInfo() {
        if (!png_ || !info_) return false;
        if (setjmp(png_jmpbuf(png_))) return false;
        png_set_read_fn(png_, &reader_, readFromFile);
        png_set_chunk_malloc_max(png_, kMaxChunkBytes);
        png_set_user_limits(png_, 0x7FFFFFFF, 0x7FFFFFFF);
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
        // Mutated chunks must reach the decoder instead of stopping at their checksums.
        png_set_crc_action(png_, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
#ifdef PNG_IGNORE_ADLER32
        png_set_option(png_, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
#endif
        png_read_info(png_, info_);
        return true;
    }

    // Sets up libpng's transformations for the row form and the record's depth.
    bool prepare(int colorType, int bitDepth, RowForm form) {
        if (setjmp(png_jmpbuf(png_))) return false;
        if (bitDepth == 16) png_set_strip_16(png_);
        if (colorType & PNG_COLOR_MASK_ALPHA) png_set_strip_alpha(png_);
        if (colorType & PNG_COLOR_MASK_COLOR && colorType != PNG_COLOR_TYPE_PALETTE) png_set_bgr(png_);
        if (form == RowForm::TwoBitIndices || form == RowForm::TwoBitAsBytes) png_set_packing(png_);
        png_set_interlace_handling(png_);
        png_set_read_status_fn(png_, reportRow);
        png_read_update_info(png_, info_);
        return true;
    }

    bool readRows(png_bytepp rows) {
        if (setjmp(png_jmpbuf(png_))) return false;
        png_read_image(png_, rows);
        return true;
    }

    bool readRow(png_bytep row) {
        if (setjmp(png_jmpbuf(png_))) return false;
        png_read_row(png_, row, nullptr);
        return true;
    }

    png_structp png() const {
        return png_;
    }
    png_infop info() const {
        return info_;
    }
    const char* message() const {
        return messages_.text[0] ? messages_.text : "the file is damaged";
    }

  private:
    BufferedReader reader_;
    Messages messages_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

} // namespace

void readPng(const InputFile& file, HeaderBlock& block, uint8_t* pixels, Progress& progress) {
    PngReader reader(file, &progress);
    if (!reader.readInfo()) fail(std::string("The PNG file cannot be read: ") + reader.message() + ".");
    png_structp png = reader.png();
    png_infop info = reader.info();
    const png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    const bool interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;

    int bits = 24;
    RowForm form = RowForm::Direct;
    if (colorType == PNG_COLOR_TYPE_PALETTE || colorType == PNG_COLOR_TYPE_GRAY) {
        bits = bitDepth == 1 ? 1 : bitDepth <= 4 ? 4 : 8;
        if (bitDepth == 2) {
            form = interlaced ? RowForm::TwoBitAsBytes : RowForm::TwoBitIndices;
            bits = interlaced ? 8 : 4;
        }
    } else if (colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        bits = 8;
    } else if (colorType == PNG_COLOR_TYPE_RGB && bitDepth == 8) {
        // Written from a 5-5-5 image: the significant-bits chunk says so, and it reads back as one.
        png_color_8p significant = nullptr;
        if (!interlaced && png_get_sBIT(png, info, &significant) && significant->red == 5 &&
            significant->green == 5 && significant->blue == 5) {
            bits = 16;
            form = RowForm::Rgb555;
        }
    }
    setImageGeometry(block, width, height, bits);
    // Deflate packs at most 1032 bytes into one, so a file this short cannot hold the picture.
    const uint64_t rawBytes = (uint64_t{width} * png_get_channels(png, info) * bitDepth + 15) / 8 * height;
    if (rawBytes / 1032 > file.size())
        fail("The PNG file is truncated: it is too short for its picture size.");
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp palette = nullptr;
        int count = 0;
        if (!png_get_PLTE(png, info, &palette, &count) || count <= 0) fail("The PNG file has no palette.");
        count = std::min(count, 1 << bitDepth);
        for (int i = 0; i < count; ++i)
            block.palette[i] = {palette[i].blue, palette[i].green, palette[i].red, 0};
        block.header.clrUsed = static_cast<uint32_t>(count);
    } else if (bits <= 8) {
        const unsigned levels = 1u << std::min(bitDepth, 8);
        for (unsigned i = 0; i < levels; ++i) {
            const auto v = static_cast<uint8_t>(i * 255 / (levels - 1));
            block.palette[i] = {v, v, v, 0};
        }
        block.header.clrUsed = levels;
    }
    png_uint_32 xPels = 0, yPels = 0;
    int unit = 0;
    if (png_get_pHYs(png, info, &xPels, &yPels, &unit) && unit == PNG_RESOLUTION_METER) {
        block.header.xPelsPerMeter = static_cast<int32_t>(std::min<png_uint_32>(xPels, INT32_MAX));
        block.header.yPelsPerMeter = static_cast<int32_t>(std::min<png_uint_32>(yPels, INT32_MAX));
    }
    if (!pixels) return;

    if (!reader.prepare(colorType, bitDepth, form))
        fail(std::string("The PNG file cannot be read: ") + reader.message() + ".");
    const uint64_t stride = rowStride(width, bits);
    std::memset(pixels, 0, stride * height);
    if (form == RowForm::Direct || form == RowForm::TwoBitAsBytes) {
        std::vector<png_bytep> rows(height);
        for (png_uint_32 y = 0; y < height; ++y)
            rows[y] = pixels + (height - 1 - y) * stride;
        if (!reader.readRows(rows.data()))
            fail(std::string("The PNG file cannot be read: ") + reader.message() + ".");
        // The bits after a row's last pixel are whatever the writer left there.
        const unsigned spare = (8 - width * static_cast<unsigned>(bits) % 8) % 8;
        if (spare)
            for (png_uint_32 y = 0; y < height; ++y)
                rows[y][(uint64_t{width} * bits + 7) / 8 - 1] &= static_cast<uint8_t>(0xFF << spare);
    } else {
        std::vector<uint8_t> source(png_get_rowbytes(png, info));
        for (png_uint_32 y = 0; y < height; ++y) {
            if (!reader.readRow(source.data()))
                fail(std::string("The PNG file cannot be read: ") + reader.message() + ".");
            uint8_t* dst = pixels + (height - 1 - y) * stride;
            const uint8_t* src = source.data();
            if (form == RowForm::TwoBitIndices) {
                for (png_uint_32 x = 0; x < width; ++x)
                    dst[x >> 1] |= static_cast<uint8_t>((x & 1) ? src[x] & 3 : (src[x] & 3) << 4);
            } else {
                for (png_uint_32 x = 0; x < width; ++x, src += 3) {
                    const unsigned v = (src[0] >> 3) | ((src[1] >> 3) << 5) | ((src[2] >> 3) << 10);
                    dst[2 * x] = static_cast<uint8_t>(v);
                    dst[2 * x + 1] = static_cast<uint8_t>(v >> 8);
                }
            }
        }
    }
    progress.finish();
}

namespace {

class PngWriter {
  public:
    PngWriter() {
        png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, &messages_, onPngError, onPngWarning);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~PngWriter() { png_destroy_write_struct(&png_, &info_); }
    PngWriter(const PngWriter&) = delete;
    PngWriter& operator=(const PngWriter&) = delete;

    // `rowAt(y)` gives row y counted from the top, ready for the library.
    template <typename RowAt>
    bool write(FILE* stream, const HeaderBlock& block, int colorType, int bitDepth, RowAt&& rowAt) {
        if (!png_ || !info_) return false;
        if (setjmp(png_jmpbuf(png_))) return false;
        const BitmapHeader& h = block.header;
        png_init_io(png_, stream);
        png_set_IHDR(png_, info_, static_cast<png_uint_32>(h.width), static_cast<png_uint_32>(h.height),
                     bitDepth, colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_color palette[256];
        if (colorType == PNG_COLOR_TYPE_PALETTE) {
            const unsigned count = paletteCount(h);
            for (unsigned i = 0; i < count; ++i)
                palette[i] = {block.palette[i].red, block.palette[i].green, block.palette[i].blue};
            png_set_PLTE(png_, info_, palette, static_cast<int>(count));
        }
        png_color_8 significant{5, 5, 5, 0, 0};
        if (h.bitCount == 16) png_set_sBIT(png_, info_, &significant);
        if (h.xPelsPerMeter > 0) {
            const int32_t yPels = h.yPelsPerMeter > 0 ? h.yPelsPerMeter : h.xPelsPerMeter;
            png_set_pHYs(png_, info_, static_cast<png_uint_32>(h.xPelsPerMeter),
                         static_cast<png_uint_32>(yPels), PNG_RESOLUTION_METER);
        }
        // Level 3 with the Sub filter on every row: a scanned sheet compresses to about the size of
        // the library defaults (level 6, filter chosen row by row) in a quarter of the time; the
        // adaptive choice and the lazy matching of the higher levels cost far more than they save.
        // Palette and packed grey rows keep the library's unfiltered default, which suits them.
        png_set_compression_level(png_, 3);
        if (bitDepth == 8 && colorType != PNG_COLOR_TYPE_PALETTE)
            png_set_filter(png_, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
        png_write_info(png_, info_);
        if (colorType == PNG_COLOR_TYPE_RGB && h.bitCount == 24) png_set_bgr(png_);
        for (png_uint_32 y = 0; y < static_cast<png_uint_32>(h.height); ++y)
            png_write_row(png_, rowAt(y));
        png_write_end(png_, info_);
        return true;
    }
    const char* message() const { return messages_.text[0] ? messages_.text : "the PNG library failed"; }

  private:
    Messages messages_;
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

// True when the palette is the full grey ramp of its depth, which PNG stores as plain grey.
bool isFullGreyRamp(const HeaderBlock& block) {
    const unsigned levels = 1u << block.header.bitCount;
    if (paletteCount(block.header) != levels) return false;
    for (unsigned i = 0; i < levels; ++i) {
        const auto v = static_cast<uint8_t>(i * 255 / (levels - 1));
        if (block.palette[i] != PaletteEntry{v, v, v, 0}) return false;
    }
    return true;
}

} // namespace

void writePng(const HeaderBlock& block, const PixelRows& pixelRows, AtomicOutputFile& out,
              Progress& progress) {
    const BitmapHeader& h = block.header;
    const auto height = static_cast<size_t>(h.height);
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    if (h.bitCount <= 8) {
        colorType = isFullGreyRamp(block) ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE;
        bitDepth = h.bitCount;
    }
    // 5-5-5 is widened to 8 bits per channel, marked as 5 significant bits so it reads back as 16.
    std::vector<uint8_t> expanded(h.bitCount == 16 ? static_cast<size_t>(h.width) * 3 : 0);
    auto rowAt = [&](png_uint_32 y) -> png_const_bytep {
        const uint8_t* src = pixelRows.at(height - 1 - y);
        if (h.bitCount != 16) return src;
        rowToBgr(block, src, h.width, expanded.data());
        for (int32_t x = 0; x < h.width; ++x)
            std::swap(expanded[3 * size_t(x)], expanded[3 * size_t(x) + 2]);
        return expanded.data();
    };
    FILE* stream = out.openStream();
    PngWriter writer;
    if (!writer.write(stream, block, colorType, bitDepth, rowAt)) {
        out.discardStream();
        fail(std::string("The PNG file cannot be written: ") + writer.message() + ".");
    }
    out.closeStream(stream);
    progress.finish();
}

} // namespace imagefile
