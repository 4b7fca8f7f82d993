// TIFF reading and writing through libtiff. Errors and warnings go to handlers of this handle
// only, so nothing is printed and the message can be shown to the user. Grey, bilevel, palette
// and 8-bit RGB strips are read row by row into place; everything else libtiff knows (tiles,
// YCbCr, CMYK, separate planes, ...) comes through its RGBA interface as 24 bits.
#include "codecs.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <tiffio.h>
#include <unistd.h>
#include <vector>

namespace imagefile {
namespace {

constexpr tmsize_t kMaxSingleAllocation = tmsize_t{1} << 30;
constexpr uint32_t kMaxConvertedWidth = 1u << 20;

struct Messages {
    char text[240] = "";
};

int onTiffError(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* messages = static_cast<Messages*>(user);
    if (messages->text[0] == 0) std::vsnprintf(messages->text, sizeof messages->text, format, args);
    return 1;
}

int onTiffWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

// libtiff's client I/O over an InputFile.
struct ClientFile {
    const InputFile* file;
    uint64_t position = 0;
};

tmsize_t clientRead(thandle_t handle, void* buffer, tmsize_t size) {
    auto* client = static_cast<ClientFile*>(handle);
    if (size < 0) return -1;
    try {
        const size_t got = client->file->readAt(client->position, buffer, static_cast<size_t>(size));
        client->position += got;
        return static_cast<tmsize_t>(got);
    } catch (const ImageError&) {
        return -1;
    }
}

tmsize_t clientWrite(thandle_t, void*, tmsize_t) {
    return -1;
}

toff_t clientSeek(thandle_t handle, toff_t offset, int whence) {
    auto* client = static_cast<ClientFile*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR) base = client->position;
    if (whence == SEEK_END) base = client->file->size();
    client->position = base + offset;
    return client->position;
}

int clientClose(thandle_t) {
    return 0;
}
toff_t clientSize(thandle_t handle) {
    return static_cast<ClientFile*>(handle)->file->size();
}
// Only files held in memory are offered as a mapping.
int clientMap(thandle_t handle, void** base, toff_t* size) {
    const InputFile* file = static_cast<ClientFile*>(handle)->file;
    if (!file->memory()) return 0;
    *base = const_cast<uint8_t*>(file->memory());
    *size = file->size();
    return 1;
}
void clientUnmap(thandle_t, void*, toff_t) {}

class TiffHandle {
  public:
    TiffHandle() : options_(TIFFOpenOptionsAlloc()) {
        TIFFOpenOptionsSetErrorHandlerExtR(options_, onTiffError, &messages_);
        TIFFOpenOptionsSetWarningHandlerExtR(options_, onTiffWarning, &messages_);
        TIFFOpenOptionsSetMaxSingleMemAlloc(options_, kMaxSingleAllocation);
    }
    ~TiffHandle() {
        if (tiff_) TIFFClose(tiff_);
        TIFFOpenOptionsFree(options_);
    }
    TiffHandle(const TiffHandle&) = delete;
    TiffHandle& operator=(const TiffHandle&) = delete;

    void openForReading(const InputFile& file) {
        client_.file = &file;
        tiff_ = TIFFClientOpenExt(file.path().c_str(), file.memory() ? "r" : "rm", &client_, clientRead,
                                  clientWrite, clientSeek, clientClose, clientSize, clientMap, clientUnmap,
                                  options_);
        if (!tiff_) failWith("The TIFF file cannot be read");
    }
    void openForWriting(int fd, const std::string& name, bool big) {
        const int copy = ::dup(fd);
        if (copy < 0) fail("Cannot write \"" + name + "\".");
        tiff_ = TIFFFdOpenExt(copy, name.c_str(), big ? "w8" : "w", options_);
        if (!tiff_) {
            ::close(copy);
            failWith("The TIFF file cannot be written");
        }
    }
    // Closes the file and reports any error that closing (which writes the last directory) had.
    void close() {
        TIFF* tiff = tiff_;
        tiff_ = nullptr;
        TIFFClose(tiff);
        if (messages_.text[0]) failWith("The TIFF file cannot be written");
    }
    [[noreturn]] void failWith(const std::string& what) const {
        fail(what + (messages_.text[0] ? std::string(": ") + messages_.text : std::string()) + ".");
    }
    TIFF* get() const { return tiff_; }

  private:
    Messages messages_;
    TIFFOpenOptions* options_;
    ClientFile client_;
    TIFF* tiff_ = nullptr;
};

template <typename T> T field(TIFF* tiff, ttag_t tag, T fallback) {
    T value{};
    return TIFFGetFieldDefaulted(tiff, tag, &value) ? value : fallback;
}

// How the rows of the current directory reach the record.
enum class Path { Direct, TwoBit, Sixteen, Rgb, Rgba };

struct Layout {
    uint32_t width = 0, height = 0;
    uint16_t bitsPerSample = 1, samples = 1, photometric = PHOTOMETRIC_MINISBLACK,
             planar = PLANARCONFIG_CONTIG;
    bool bottomUp = false;
    int bits = 24;
    Path path = Path::Rgba;
};

// The fewest stored bytes that can decode to `raw` bytes in `rows` rows, by what each
// compression can pack into one byte at best; unknown ones are given a lot of room.
uint64_t leastStoredBytes(uint16_t compression, uint64_t raw, uint64_t rows, uint16_t samples) {
    switch (compression) {
    case COMPRESSION_NONE:
        return raw;
    case COMPRESSION_PACKBITS:
        return raw / 64; // 128 bytes from 2
    case COMPRESSION_LZW:
        return raw / 1400; // 12-bit codes, strings up to 4096
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
        return raw / 1032;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4:
        return rows / 8; // a bit per row at best
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG:
        return raw / (512u * std::max<uint16_t>(samples, 1)); // a bit per 8 x 8 block
    default:
        return raw / 65536;
    }
}

// A header may claim a picture of gigabytes in a file of a few hundred bytes; that is refused
// here, before anyone reserves memory for it. The strips' or tiles' byte counts (within the
// file) must be able to hold the picture.
void checkStoredBytes(TiffHandle& tiff, const Layout& l, uint16_t compression) {
    TIFF* t = tiff.get();
    const uint64_t fileSize = static_cast<uint64_t>(clientSize(TIFFClientdata(t)));
    const uint64_t raw = (uint64_t{l.width} * l.samples * l.bitsPerSample + 7) / 8 * l.height;
    const uint64_t least = leastStoredBytes(compression, raw, l.height, l.samples);
    if (least > fileSize) fail("The TIFF file is truncated: it is too short for its picture size.");
    uint64_t stored = 0;
    const uint32_t pieces = TIFFNumberOfStrips(t);
    for (uint32_t i = 0; i < pieces && stored < least; ++i)
        stored += TIFFGetStrileByteCount(t, i);
    if (std::min(stored, fileSize) < least)
        fail("The TIFF file is truncated: its strips are too short for its picture size.");
}

Layout describe(TiffHandle& tiff, HeaderBlock& block) {
    TIFF* t = tiff.get();
    Layout l;
    if (!TIFFGetField(t, TIFFTAG_IMAGEWIDTH, &l.width) || !TIFFGetField(t, TIFFTAG_IMAGELENGTH, &l.height))
        tiff.failWith("The TIFF file has no image size");
    l.bitsPerSample = field<uint16_t>(t, TIFFTAG_BITSPERSAMPLE, 1);
    l.samples = field<uint16_t>(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    l.planar = field<uint16_t>(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    uint16_t photometric = 0;
    if (!TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = l.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    l.photometric = photometric;
    l.bottomUp = field<uint16_t>(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) == ORIENTATION_BOTLEFT;
    uint16_t compression = field<uint16_t>(t, TIFFTAG_COMPRESSION, COMPRESSION_NONE);

    const bool stripped = !TIFFIsTiled(t) && (l.samples == 1 || l.planar == PLANARCONFIG_CONTIG) &&
                          compression != COMPRESSION_OJPEG;
    const bool single = l.samples == 1;
    const uint16_t bps = l.bitsPerSample;
    if (stripped && single &&
        (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE ||
         photometric == PHOTOMETRIC_PALETTE) &&
        (bps == 1 || bps == 2 || bps == 4 || bps == 8 || (bps == 16 && photometric != PHOTOMETRIC_PALETTE))) {
        l.bits = bps == 1 ? 1 : bps <= 4 ? 4 : 8;
        l.path = bps == 2 ? Path::TwoBit : bps == 16 ? Path::Sixteen : Path::Direct;
    } else if (stripped && photometric == PHOTOMETRIC_RGB && (l.samples == 3 || l.samples == 4) && bps == 8) {
        l.path = Path::Rgb;
    } else {
        char reason[1024] = "";
        if (!TIFFRGBAImageOK(t, reason))
            fail(std::string("The TIFF file's kind of image is not supported: ") + reason + ".");
        // That interface works on whole rows of 4-byte pixels; no real picture is wider than this.
        if (l.width > kMaxConvertedWidth) fail("The TIFF file's picture is too wide for its kind of image.");
    }
    setImageGeometry(block, l.width, l.height, l.bits);
    checkStoredBytes(tiff, l, compression);

    if (l.bits <= 8) {
        const unsigned levels = 1u << std::min<unsigned>(bps, 8);
        if (photometric == PHOTOMETRIC_PALETTE) {
            uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
            if (!TIFFGetField(t, TIFFTAG_COLORMAP, &red, &green, &blue))
                tiff.failWith("The TIFF file has no colour map");
            // Colour maps hold 16-bit values; a few writers put 8-bit ones there.
            bool eightBit = true;
            for (unsigned i = 0; i < levels; ++i)
                eightBit = eightBit && red[i] < 256 && green[i] < 256 && blue[i] < 256;
            const int shift = eightBit ? 0 : 8;
            for (unsigned i = 0; i < levels; ++i)
                block.palette[i] = {static_cast<uint8_t>(blue[i] >> shift),
                                    static_cast<uint8_t>(green[i] >> shift),
                                    static_cast<uint8_t>(red[i] >> shift), 0};
        } else {
            for (unsigned i = 0; i < levels; ++i) {
                auto v = static_cast<uint8_t>(i * 255 / (levels - 1));
                if (photometric == PHOTOMETRIC_MINISWHITE) v = static_cast<uint8_t>(255 - v);
                block.palette[i] = {v, v, v, 0};
            }
        }
        block.header.clrUsed = levels;
    }

    float xRes = 0, yRes = 0;
    const uint16_t unit = field<uint16_t>(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (TIFFGetField(t, TIFFTAG_XRESOLUTION, &xRes) && unit != RESUNIT_NONE) {
        if (!TIFFGetField(t, TIFFTAG_YRESOLUTION, &yRes)) yRes = xRes;
        const bool cm = unit == RESUNIT_CENTIMETER;
        block.header.xPelsPerMeter = cm ? dotsPerCmToPelsPerMeter(xRes) : dpiToPelsPerMeter(xRes);
        block.header.yPelsPerMeter = cm ? dotsPerCmToPelsPerMeter(yRes) : dpiToPelsPerMeter(yRes);
    }
    return l;
}

void readStrips(TiffHandle& tiff, const Layout& l, uint8_t* pixels, Progress& progress) {
    TIFF* t = tiff.get();
    const uint64_t stride = rowStride(l.width, l.bits);
    const tmsize_t scanline = TIFFScanlineSize(t);
    if (scanline <= 0) tiff.failWith("The TIFF file cannot be read");
    const bool inPlace = l.path == Path::Direct && static_cast<uint64_t>(scanline) <= stride;
    std::vector<uint8_t> row(inPlace ? 0 : static_cast<size_t>(scanline));
    for (uint32_t y = 0; y < l.height; ++y) {
        uint8_t* dst = pixels + (l.bottomUp ? y : l.height - 1 - y) * stride;
        uint8_t* src = inPlace ? dst : row.data();
        if (TIFFReadScanline(t, src, y, 0) < 0) tiff.failWith("The TIFF file cannot be read");
        switch (l.path) {
        case Path::Direct:
            if (!inPlace) std::memcpy(dst, src, stride);
            break;
        case Path::TwoBit:
            std::memset(dst, 0, stride);
            for (uint32_t x = 0; x < l.width; ++x) {
                const unsigned index = (src[x >> 2] >> (6 - 2 * (x & 3))) & 3;
                dst[x >> 1] |= static_cast<uint8_t>((x & 1) ? index : index << 4);
            }
            break;
        case Path::Sixteen:
            for (uint32_t x = 0; x < l.width; ++x)
                dst[x] = static_cast<uint8_t>(reinterpret_cast<uint16_t*>(src)[x] >> 8);
            break;
        case Path::Rgb:
            for (uint32_t x = 0; x < l.width; ++x) {
                const uint8_t* p = src + size_t{x} * l.samples;
                dst[3 * x] = p[2];
                dst[3 * x + 1] = p[1];
                dst[3 * x + 2] = p[0];
            }
            break;
        case Path::Rgba:
            break;
        }
        const uint64_t used = (uint64_t{l.width} * l.bits + 7) / 8;
        std::memset(dst + used, 0, stride - used);
        // Bits past the last pixel may be left as they were by some decoders (fax).
        const unsigned spare = static_cast<unsigned>(used * 8 - uint64_t{l.width} * l.bits);
        if (spare) dst[used - 1] &= static_cast<uint8_t>(0xFF << spare);
        progress.update(y + 1);
    }
}

void readRgba(TiffHandle& tiff, const Layout& l, uint8_t* pixels, Progress& progress) {
    char reason[1024] = "";
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageBegin(&image, tiff.get(), 1, reason)) // stop at the first damaged strip or tile
        fail(std::string("The TIFF file cannot be read: ") + reason + ".");
    struct End {
        TIFFRGBAImage* image;
        ~End() { TIFFRGBAImageEnd(image); }
    } end{&image};
    image.req_orientation = ORIENTATION_TOPLEFT;
    const uint64_t stride = rowStride(l.width, 24);
    const uint32_t chunk =
        std::max<uint32_t>(1, static_cast<uint32_t>((uint64_t{4} << 20) / (uint64_t{l.width} * 4)));
    std::vector<uint32_t> raster(size_t{l.width} * std::min(chunk, l.height));
    for (uint32_t first = 0; first < l.height; first += chunk) {
        const uint32_t count = std::min(chunk, l.height - first);
        image.row_offset = static_cast<int>(first);
        if (!TIFFRGBAImageGet(&image, raster.data(), l.width, count))
            tiff.failWith("The TIFF file cannot be read");
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t* dst = pixels + (l.height - 1 - first - i) * stride;
            const uint32_t* src = raster.data() + size_t{i} * l.width;
            for (uint32_t x = 0; x < l.width; ++x) {
                dst[3 * x] = static_cast<uint8_t>(TIFFGetB(src[x]));
                dst[3 * x + 1] = static_cast<uint8_t>(TIFFGetG(src[x]));
                dst[3 * x + 2] = static_cast<uint8_t>(TIFFGetR(src[x]));
            }
            std::memset(dst + size_t{l.width} * 3, 0, stride - size_t{l.width} * 3);
        }
        progress.update(first + count);
    }
}

} // namespace

void readTiff(const InputFile& file, int page, HeaderBlock& block, uint8_t* pixels, Progress& progress,
              int* pageCount) {
    TiffHandle tiff;
    tiff.openForReading(file);
    const tdir_t pages = TIFFNumberOfDirectories(tiff.get());
    *pageCount = static_cast<int>(pages);
    if (page < 0 || static_cast<tdir_t>(page) >= pages ||
        !TIFFSetDirectory(tiff.get(), static_cast<tdir_t>(page)))
        tiff.failWith("The TIFF file has no page " + std::to_string(page + 1));
    const Layout layout = describe(tiff, block);
    if (!pixels) return;
    if (layout.path != Path::Rgba) return readStrips(tiff, layout, pixels, progress);
    if (!TIFFIsTiled(tiff.get()) || file.memory()) return readRgba(tiff, layout, pixels, progress);
    // libtiff reads uncompressed tiles through its RGBA interface only from a mapped file, so
    // tiled files are read from a copy in memory.
    const std::vector<uint8_t> copy = file.readAll();
    const InputFile inMemory(copy.data(), copy.size());
    TiffHandle mapped;
    mapped.openForReading(inMemory);
    if (!TIFFSetDirectory(mapped.get(), static_cast<tdir_t>(page)))
        mapped.failWith("The TIFF file cannot be read");
    readRgba(mapped, layout, pixels, progress);
}

void writeTiff(const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out, Progress& progress) {
    const BitmapHeader& h = block.header;
    const uint64_t stride = rowStride(h.width, h.bitCount);
    const auto width = static_cast<uint32_t>(h.width), height = static_cast<uint32_t>(h.height);
    const unsigned count = paletteCount(h);
    const PaletteEntry black{0, 0, 0, 0}, white{255, 255, 255, 0};

    uint16_t photometric = PHOTOMETRIC_RGB, compression = COMPRESSION_LZW, samples = 3, bps = 8;
    bool paletteRows = h.bitCount <= 8;
    if (h.bitCount == 1 && count == 2 && block.palette[0] == black && block.palette[1] == white) {
        photometric = PHOTOMETRIC_MINISBLACK;
    } else if (h.bitCount == 1 && count == 2 && block.palette[0] == white && block.palette[1] == black) {
        photometric = PHOTOMETRIC_MINISWHITE;
    } else if (h.bitCount <= 8) {
        photometric = PHOTOMETRIC_PALETTE;
        const unsigned levels = 1u << h.bitCount;
        bool ramp = count == levels;
        for (unsigned i = 0; ramp && i < levels; ++i) {
            const auto v = static_cast<uint8_t>(i * 255 / (levels - 1));
            ramp = block.palette[i] == PaletteEntry{v, v, v, 0};
        }
        if (ramp) photometric = PHOTOMETRIC_MINISBLACK;
    }
    if (paletteRows) {
        samples = 1;
        bps = h.bitCount;
        if (h.bitCount == 1 && photometric != PHOTOMETRIC_PALETTE) compression = COMPRESSION_CCITTFAX4;
    }

    TiffHandle tiff;
    // Classic TIFF offsets end at 4 GiB; big pictures go into BigTIFF.
    tiff.openForWriting(out.descriptor(), "output", pixelBlockSize(h) > (uint64_t{2} << 30));
    TIFF* t = tiff.get();
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, bps);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, photometric);
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(t, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, compression);
    if (compression == COMPRESSION_LZW && bps == 8) TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(t, 0));
    if (h.xPelsPerMeter > 0) {
        const int32_t yPels = h.yPelsPerMeter > 0 ? h.yPelsPerMeter : h.xPelsPerMeter;
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(t, TIFFTAG_XRESOLUTION, static_cast<float>(pelsPerMeterToDpi(h.xPelsPerMeter)));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, static_cast<float>(pelsPerMeterToDpi(yPels)));
    }
    if (photometric == PHOTOMETRIC_PALETTE) {
        const unsigned levels = 1u << h.bitCount;
        std::vector<uint16_t> red(levels), green(levels), blue(levels);
        for (unsigned i = 0; i < levels; ++i) {
            red[i] = static_cast<uint16_t>(block.palette[i].red * 257);
            green[i] = static_cast<uint16_t>(block.palette[i].green * 257);
            blue[i] = static_cast<uint16_t>(block.palette[i].blue * 257);
        }
        TIFFSetField(t, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
    }
    // libtiff's encoders may change the row they are given, so each row goes through a copy.
    std::vector<uint8_t> row(std::max<size_t>(stride, size_t{width} * 3));
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* src = rows.at(height - 1 - y);
        if (paletteRows) {
            std::memcpy(row.data(), src, stride);
        } else {
            rowToBgr(block, src, h.width, row.data());
            for (uint32_t x = 0; x < width; ++x)
                std::swap(row[3 * x], row[3 * x + 2]);
        }
        if (TIFFWriteScanline(t, row.data(), y, 0) < 0) tiff.failWith("The TIFF file cannot be written");
        progress.update(y + 1);
    }
    tiff.close();
}

} // namespace imagefile
