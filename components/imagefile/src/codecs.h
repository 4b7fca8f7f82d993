// The readers and writers of each file format. A reader fills the header block and, when
// `pixels` is not null, decodes the picture into it (pixelBlockSize(block.header) bytes, rows
// bottom-up). A writer takes a header block already checked by checkWritable(). All of them
// report failure by throwing ImageError. A writer asks for each row once, in any order.
#pragma once

#include "file_access.h"
#include "image_block.h"

#include <functional>
#include <string>

namespace imagefile {

enum class FileFormat { Unknown, Bmp, Jpeg, Png, Tiff, Pcx, Tga };

// The format the file name's extension names (case-insensitive).
FileFormat formatFromExtension(const std::string& fileName);
// The format the file's first bytes show; TGA, which has no signature, only by extension.
FileFormat detectFormat(const InputFile& file);

void readBmp(const InputFile& file, HeaderBlock& block, uint8_t* pixels, Progress& progress);
void readJpeg(const InputFile& file, HeaderBlock& block, uint8_t* pixels, Progress& progress);
// Where a reader that fills rows from the top puts row y counted from the top (a padded row of
// the header's geometry, which is filled before the first call); null stops the read.
using RowTarget = std::function<uint8_t*(int32_t fromTop)>;
// readJpeg into rows placed by `rowAt`, asked from the top in order, at most 16 ahead of the
// rows reported final.
void readJpegInto(const InputFile& file, HeaderBlock& block, const RowTarget& rowAt, Progress& progress);
void readPng(const InputFile& file, HeaderBlock& block, uint8_t* pixels, Progress& progress);
// Reads page `page` (from 0) of a TIFF file and tells how many pages the file has.
void readTiff(const InputFile& file, int page, HeaderBlock& block, uint8_t* pixels, Progress& progress,
              int* pageCount);
void readPcx(const InputFile& file, HeaderBlock& block, uint8_t* pixels, Progress& progress);
void readTga(const InputFile& file, HeaderBlock& block, uint8_t* pixels, Progress& progress);

// Refuses a header block that is not a bottom-up uncompressed image of depth 1, 4, 8, 16 or 24.
void checkWritable(const HeaderBlock& block);

void writeBmp(const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out, Progress& progress);
void writeJpeg(const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out, Progress& progress);
void writePng(const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out, Progress& progress);
void writeTiff(const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out, Progress& progress);
void writePcx(const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out, Progress& progress);
void writeTga(const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out, Progress& progress);
// The writer of `format` (not Unknown).
void writeFormat(FileFormat format, const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out,
                 Progress& progress);

} // namespace imagefile
