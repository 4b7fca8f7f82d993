// JPEG reading and writing through libjpeg-turbo. libjpeg reports errors by calling back, so each
// step that calls into it sets a jump point first and turns a jump into an ImageError outside.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include "byte_order.h"
#include "codecs.h"

#include <jerror.h>
#include <jpeglib.h>

namespace imagefile {
namespace {

// More scans than any real progressive file has; hostile files use thousands to burn time.
constexpr int kMaxScans = 500;
// Working memory libjpeg may take (progressive coefficient buffers grow with the image).
constexpr long kMaxDecoderMemory = 1L << 30;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Warnings that mean damaged data end the read; a silently grey-filled picture is no success.
void onMessage(j_common_ptr cinfo, int level) {
    if (level >= 0) return;
    switch (cinfo->err->msg_code) {
    case JWRN_EXTRANEOUS_DATA:
    case JWRN_ADOBE_XFORM:
    case JWRN_JFIF_MAJOR:
    case JWRN_BOGUS_ICC:
        break;
    default:
        onError(cinfo);
    }
    cinfo->err->num_warnings++;
}

void silentOutput(j_common_ptr) {}

void limitScans(j_common_ptr cinfo) {
    if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) {
        cinfo->err->msg_code = JERR_BAD_PROGRESSION;
        std::strcpy(reinterpret_cast<ErrorManager*>(cinfo->err)->message,
                    "The JPEG file has too many scans.");
        std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
    }
}

// Feeds libjpeg from the file in 64 KiB pieces.
struct FileSource {
    jpeg_source_mgr base;
    const InputFile* file;
    uint64_t offset;
    std::vector<uint8_t>* buffer;
};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    size_t got = 0;
    bool readFailed = false;
    try {
        got = src->file->readAt(src->offset, src->buffer->data(), src->buffer->size());
    } catch (const ImageError&) {
        readFailed = true;
    }
    if (readFailed) ERREXIT(cinfo, JERR_FILE_READ);
    if (got == 0) {
        WARNMS(cinfo, JWRN_JPEG_EOF); // ends the read: the file is truncated
        static const JOCTET endOfImage[2] = {0xFF, JPEG_EOI};
        src->base.next_input_byte = endOfImage;
        src->base.bytes_in_buffer = 2;
        return TRUE;
    }
    src->offset += got;
    src->base.next_input_byte = src->buffer->data();
    src->base.bytes_in_buffer = got;
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    auto* src = reinterpret_cast<FileSource*>(cinfo->src);
    auto n = static_cast<size_t>(count);
    if (n <= src->base.bytes_in_buffer) {
        src->base.next_input_byte += n;
        src->base.bytes_in_buffer -= n;
        return;
    }
    n -= src->base.bytes_in_buffer;
    src->offset += n;
    src->base.bytes_in_buffer = 0;
}

// Resolution from the Exif block's first directory: XResolution, YResolution, ResolutionUnit.
void exifResolution(const uint8_t* data, size_t size, int32_t* xPels, int32_t* yPels) {
    if (size < 14 || std::memcmp(data, "Exif\0\0", 6) != 0) return;
    const uint8_t* tiff = data + 6;
    const size_t length = size - 6;
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return;
    auto u16 = [&](size_t at) -> uint32_t { return little ? le16(tiff + at) : be16(tiff + at); };
    auto u32 = [&](size_t at) -> uint32_t { return little ? le32(tiff + at) : be32(tiff + at); };
    const uint32_t ifd = u32(4);
    if (ifd > length || length - ifd < 2) return;
    const uint32_t entries = u16(ifd);
    double x = 0, y = 0;
    uint32_t unit = 2;
    for (uint32_t i = 0; i < entries; ++i) {
        const size_t at = ifd + 2 + size_t{i} * 12;
        if (at + 12 > length) break;
        const uint32_t tag = u16(at), type = u16(at + 2);
        if (tag == 0x0128 && type == 3) unit = u16(at + 8);
        if ((tag == 0x011A || tag == 0x011B) && type == 5) {
            const uint32_t where = u32(at + 8);
            if (where > length || length - where < 8) continue;
            const uint32_t num = u32(where), den = u32(where + 4);
            if (den == 0) continue;
            (tag == 0x011A ? x : y) = static_cast<double>(num) / den;
        }
    }
    if (unit == 2) {
        *xPels = dpiToPelsPerMeter(x);
        *yPels = dpiToPelsPerMeter(y);
    } else if (unit == 3) {
        *xPels = dotsPerCmToPelsPerMeter(x);
        *yPels = dotsPerCmToPelsPerMeter(y);
    }
}

class Decoder {
  public:
    explicit Decoder(const InputFile& file) : file_(file), buffer_(file.memory() ? 0 : 64 * 1024) {
        cinfo_.err = jpeg_std_error(&err_.base);
        err_.base.error_exit = onError;
        err_.base.emit_message = onMessage;
        err_.base.output_message = silentOutput;
        err_.message[0] = 0;
        progressMonitor_.progress_monitor = limitScans;
    }
    ~Decoder() { jpeg_destroy_decompress(&cinfo_); }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    bool readHeader() {
        if (setjmp(err_.jump)) return false;
        jpeg_create_decompress(&cinfo_);
        cinfo_.progress = &progressMonitor_;
        cinfo_.mem->max_memory_to_use = kMaxDecoderMemory;
        if (file_.memory()) {
            jpeg_mem_src(&cinfo_, file_.memory(), static_cast<unsigned long>(file_.size()));
        } else {
            source_.base.init_source = initSource;
            source_.base.fill_input_buffer = fillInput;
            source_.base.skip_input_data = skipInput;
            source_.base.resync_to_restart = jpeg_resync_to_restart;
            source_.base.term_source = termSource;
            source_.base.bytes_in_buffer = 0;
            source_.base.next_input_byte = nullptr;
            source_.file = &file_;
            source_.offset = 0;
            source_.buffer = &buffer_;
            cinfo_.src = &source_.base;
        }
        jpeg_save_markers(&cinfo_, JPEG_APP0 + 1, 0xFFFF);
        jpeg_read_header(&cinfo_, TRUE);
        return true;
    }

    // Decodes every row straight to where `rowAt(y)` (y from the top) places it; CMYK goes
    // through one row. False also when rowAt gives no place.
    template <typename RowAt>
    bool decode(RowAt&& rowAt, uint64_t stride, bool cmyk, uint8_t* cmykRow, Progress* progress) {
        if (setjmp(err_.jump)) return false;
        jpeg_start_decompress(&cinfo_);
        const JDIMENSION height = cinfo_.output_height;
        const size_t rowBytes = size_t{cinfo_.output_width} * cinfo_.output_components;
        const size_t pad = cmyk ? stride - size_t{cinfo_.output_width} * 3 : stride - rowBytes;
        // One row group per call is what the library gives at most; each row's place is asked
        // for once, and kept when the library returns fewer rows than asked for.
        const JDIMENSION group = cmyk ? 1 : std::clamp<JDIMENSION>(cinfo_.rec_outbuf_height, 1, 16);
        uint8_t* places[16];
        JDIMENSION placed = 0; // places held for the rows from output_scanline on
        while (cinfo_.output_scanline < height) {
            const JDIMENSION first = cinfo_.output_scanline;
            const JDIMENSION want = std::min(group, height - first);
            for (; placed < want; ++placed) {
                places[placed] = rowAt(static_cast<int32_t>(first + placed));
                if (places[placed] == nullptr) {
                    std::strcpy(err_.message, "Its rows were not taken.");
                    return false;
                }
            }
            JSAMPROW rows[16];
            for (JDIMENSION i = 0; i < want; ++i)
                rows[i] = cmyk ? cmykRow : places[i];
            const JDIMENSION got = jpeg_read_scanlines(&cinfo_, rows, want);
            for (JDIMENSION i = 0; i < got; ++i) {
                uint8_t* dst = places[i];
                if (cmyk) convertCmyk(cmykRow, dst, cinfo_.output_width, cinfo_.saw_Adobe_marker);
                if (pad) std::memset(dst + stride - pad, 0, pad);
            }
            std::copy(places + got, places + placed, places);
            placed -= got;
            progress->update(static_cast<int>(cinfo_.output_scanline));
            progress->rowsFromTopDone(cinfo_.output_scanline);
        }
        jpeg_abort_decompress(&cinfo_);
        return true;
    }

    jpeg_decompress_struct& info() { return cinfo_; }
    const char* message() const { return err_.message[0] ? err_.message : "The JPEG file is damaged."; }

  private:
    // Adobe writers store CMYK inverted (0 = full ink); others store it plainly.
    static void convertCmyk(const uint8_t* src, uint8_t* dst, JDIMENSION width, bool inverted) {
        for (JDIMENSION x = 0; x < width; ++x, src += 4, dst += 3) {
            unsigned c = src[0], m = src[1], y = src[2], k = src[3];
            if (!inverted) {
                c = 255 - c;
                m = 255 - m;
                y = 255 - y;
                k = 255 - k;
            }
            dst[0] = static_cast<uint8_t>((y * k + 127) / 255);
            dst[1] = static_cast<uint8_t>((m * k + 127) / 255);
            dst[2] = static_cast<uint8_t>((c * k + 127) / 255);
        }
    }

    const InputFile& file_;
    jpeg_decompress_struct cinfo_{};
    ErrorManager err_{};
    jpeg_progress_mgr progressMonitor_{};
    FileSource source_{};
    std::vector<uint8_t> buffer_;
};

} // namespace

namespace {

// The header block from the frame header and the density; then, unless `rowAt` is null, the
// rows to where it places them.
void readJpegRows(const InputFile& file, HeaderBlock& block, const RowTarget* rowAt, Progress& progress) {
    Decoder decoder(file);
    if (!decoder.readHeader()) fail(std::string("The JPEG file cannot be read: ") + decoder.message());
    jpeg_decompress_struct& info = decoder.info();
    const bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
    setImageGeometry(block, info.image_width, info.image_height, grey ? 8 : 24);
    // Every 8 x 8 block of every component costs at least one bit of Huffman-coded data (its DC
    // code), so a file this short cannot hold the picture its frame header claims. Arithmetic
    // coding can go far below that; for it only a much weaker bound holds.
    uint64_t blocks = 0;
    for (int c = 0; c < info.num_components; ++c)
        blocks += uint64_t{info.comp_info[c].width_in_blocks} * info.comp_info[c].height_in_blocks;
    const uint64_t leastBytes = info.arith_code ? blocks / 4096 : blocks / 8;
    if (leastBytes > file.size()) fail("The JPEG file is truncated: it is too short for its picture size.");
    if (grey) setGreyPalette(block, 8);

    int32_t xPels = 0, yPels = 0;
    if (info.saw_JFIF_marker && info.density_unit == 1) {
        xPels = dpiToPelsPerMeter(info.X_density);
        yPels = dpiToPelsPerMeter(info.Y_density);
    } else if (info.saw_JFIF_marker && info.density_unit == 2) {
        xPels = dotsPerCmToPelsPerMeter(info.X_density);
        yPels = dotsPerCmToPelsPerMeter(info.Y_density);
    }
    if (xPels == 0) { // no density, or one of 0: the Exif resolution, if any
        for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
            if (m->marker == JPEG_APP0 + 1) {
                exifResolution(m->data, m->data_length, &xPels, &yPels);
                if (xPels > 0) break;
            }
        }
    }
    block.header.xPelsPerMeter = xPels;
    block.header.yPelsPerMeter = yPels > 0 ? yPels : xPels;
    if (!rowAt) return;

    std::vector<uint8_t> cmykRow(cmyk ? size_t{info.image_width} * 4 : 0);
    if (!decoder.decode(*rowAt, rowStride(info.image_width, grey ? 8 : 24), cmyk, cmykRow.data(), &progress))
        fail(std::string("The JPEG file cannot be read: ") + decoder.message());
}

} // namespace

void readJpeg(const InputFile& file, HeaderBlock& block, uint8_t* pixels, Progress& progress) {
    if (!pixels) return readJpegRows(file, block, nullptr, progress);
    // Bottom-up: row y from the top is stored height - 1 - y rows into the block.
    const RowTarget intoBlock = [&](int32_t fromTop) {
        const auto height = static_cast<uint64_t>(block.header.height);
        return pixels + (height - 1 - static_cast<uint64_t>(fromTop)) *
                            rowStride(block.header.width, block.header.bitCount);
    };
    readJpegRows(file, block, &intoBlock, progress);
}

void readJpegInto(const InputFile& file, HeaderBlock& block, const RowTarget& rowAt, Progress& progress) {
    readJpegRows(file, block, &rowAt, progress);
}

namespace {

class Encoder {
  public:
    Encoder() {
        cinfo_.err = jpeg_std_error(&err_.base);
        err_.base.error_exit = onError;
        err_.base.output_message = silentOutput;
    }
    ~Encoder() { jpeg_destroy_compress(&cinfo_); }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // `rowAt(y)` gives row y counted from the top, ready in the input colour space.
    template <typename RowAt>
    bool encode(FILE* stream, const BitmapHeader& h, bool grey, RowAt&& rowAt, Progress* progress) {
        if (setjmp(err_.jump)) return false;
        jpeg_create_compress(&cinfo_);
        jpeg_stdio_dest(&cinfo_, stream);
        cinfo_.image_width = static_cast<JDIMENSION>(h.width);
        cinfo_.image_height = static_cast<JDIMENSION>(h.height);
        cinfo_.input_components = grey ? 1 : 3;
        cinfo_.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
        jpeg_set_defaults(&cinfo_);
        jpeg_set_quality(&cinfo_, 90, TRUE);
        setDensity(h);
        jpeg_start_compress(&cinfo_, TRUE);
        while (cinfo_.next_scanline < cinfo_.image_height) {
            JSAMPROW row = rowAt(cinfo_.next_scanline);
            jpeg_write_scanlines(&cinfo_, &row, 1);
            progress->update(static_cast<int>(cinfo_.next_scanline));
        }
        jpeg_finish_compress(&cinfo_);
        return true;
    }

    const char* message() const { return err_.message[0] ? err_.message : "the JPEG library failed"; }

  private:
    // Dots per inch when that gives the resolution back exactly, else dots per centimetre when
    // that does, else the nearest dots per inch.
    void setDensity(const BitmapHeader& h) {
        cinfo_.write_JFIF_header = TRUE;
        if (h.xPelsPerMeter <= 0) {
            cinfo_.density_unit = 0;
            cinfo_.X_density = cinfo_.Y_density = 1;
            return;
        }
        const int32_t yPels = h.yPelsPerMeter > 0 ? h.yPelsPerMeter : h.xPelsPerMeter;
        auto dpi = [](int32_t pels) {
            const double v = pelsPerMeterToDpi(pels) + 0.5;
            return static_cast<UINT16>(std::clamp(v, 1.0, 65535.0));
        };
        const bool dpiExact = dpiToPelsPerMeter(dpi(h.xPelsPerMeter)) == h.xPelsPerMeter &&
                              dpiToPelsPerMeter(dpi(yPels)) == yPels;
        if (!dpiExact && h.xPelsPerMeter % 100 == 0 && yPels % 100 == 0 && h.xPelsPerMeter / 100 <= 65535 &&
            yPels / 100 <= 65535) {
            cinfo_.density_unit = 2;
            cinfo_.X_density = static_cast<UINT16>(h.xPelsPerMeter / 100);
            cinfo_.Y_density = static_cast<UINT16>(yPels / 100);
            return;
        }
        cinfo_.density_unit = 1;
        cinfo_.X_density = dpi(h.xPelsPerMeter);
        cinfo_.Y_density = dpi(yPels);
    }

    jpeg_compress_struct cinfo_{};
    ErrorManager err_{};
};

} // namespace

void writeJpeg(const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out, Progress& progress) {
    const BitmapHeader& h = block.header;
    if (h.width > JPEG_MAX_DIMENSION || h.height > JPEG_MAX_DIMENSION)
        fail("The image is too large for a JPEG file (at most " + std::to_string(JPEG_MAX_DIMENSION) +
             " pixels wide and high).");
    const auto height = static_cast<uint64_t>(h.height);
    const bool grey = h.bitCount <= 8 && isGreyPalette(block);
    const bool direct = h.bitCount == 24 || (grey && isIdentityGreyRamp(block));
    std::vector<uint8_t> row(direct ? 0 : static_cast<size_t>(h.width) * 3);
    std::vector<uint8_t> indices(grey && !direct ? static_cast<size_t>(h.width) : 0);
    auto rowAt = [&](JDIMENSION y) -> JSAMPROW {
        const uint8_t* src = rows.at(height - 1 - y);
        if (direct) return const_cast<JSAMPROW>(src);
        if (grey) {
            rowToIndices(src, h.width, h.bitCount, indices.data());
            for (int32_t x = 0; x < h.width; ++x)
                row[static_cast<size_t>(x)] = block.palette[indices[static_cast<size_t>(x)]].blue;
        } else {
            rowToBgr(block, src, h.width, row.data());
        }
        return row.data();
    };
    FILE* stream = out.openStream();
    Encoder encoder;
    const bool ok = encoder.encode(stream, h, grey, rowAt, &progress);
    if (!ok) {
        out.discardStream();
        fail(std::string("The JPEG file cannot be written: ") + encoder.message());
    }
    out.closeStream(stream);
}

} // namespace imagefile
