#include "codecs.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace imagefile {

FileFormat formatFromExtension(const std::string& fileName) {
    const auto slash = fileName.rfind('/');
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return FileFormat::Unknown;
    std::string ext = fileName.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    if (ext == "bmp") return FileFormat::Bmp;
    if (ext == "jpg" || ext == "jpeg") return FileFormat::Jpeg;
    if (ext == "png") return FileFormat::Png;
    if (ext == "tif" || ext == "tiff") return FileFormat::Tiff;
    if (ext == "pcx") return FileFormat::Pcx;
    if (ext == "tga") return FileFormat::Tga;
    return FileFormat::Unknown;
}

FileFormat detectFormat(const InputFile& file) {
    uint8_t head[8] = {};
    const size_t got = file.readAt(0, head, sizeof head);
    if (got >= 2 && head[0] == 'B' && head[1] == 'M') return FileFormat::Bmp;
    if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return FileFormat::Jpeg;
    if (got >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) return FileFormat::Png;
    if (got >= 4 && (std::memcmp(head, "II*\0", 4) == 0 || std::memcmp(head, "MM\0*", 4) == 0 ||
                     std::memcmp(head, "II+\0", 4) == 0 || std::memcmp(head, "MM\0+", 4) == 0))
        return FileFormat::Tiff;
    // TGA has no signature, so a .tga name decides before the weak PCX test.
    if (formatFromExtension(file.path()) == FileFormat::Tga) return FileFormat::Tga;
    // PCX: manufacturer 10, a known version, run-length encoding 0 or 1.
    if (got >= 3 && head[0] == 0x0A && (head[1] <= 5 && head[1] != 1) && head[2] <= 1) return FileFormat::Pcx;
    return FileFormat::Unknown;
}

void writeFormat(FileFormat format, const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out,
                 Progress& progress) {
    switch (format) {
    case FileFormat::Bmp:
        return writeBmp(block, rows, out, progress);
    case FileFormat::Jpeg:
        return writeJpeg(block, rows, out, progress);
    case FileFormat::Png:
        return writePng(block, rows, out, progress);
    case FileFormat::Tiff:
        return writeTiff(block, rows, out, progress);
    case FileFormat::Pcx:
        return writePcx(block, rows, out, progress);
    case FileFormat::Tga:
        return writeTga(block, rows, out, progress);
    case FileFormat::Unknown:
        break;
    }
    fail("No image format was chosen.");
}

} // namespace imagefile
