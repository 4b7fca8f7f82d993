// BMP writing: the record is a BMP file without its file header, so every depth is kept and the
// pixel block goes out in one piece (or row by row as the rows are handed out).
#include "byte_order.h"
#include "codecs.h"

namespace imagefile {

void checkWritable(const HeaderBlock& block) {
    const BitmapHeader& h = block.header;
    if (h.width <= 0 || h.height <= 0)
        fail("The image has no pixels (width " + std::to_string(h.width) + ", height " +
             std::to_string(h.height) + ").");
    if (h.compression != 0) fail("Only uncompressed images can be saved.");
    switch (h.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
        break;
    default:
        fail("Images with " + std::to_string(h.bitCount) + " bits per pixel cannot be saved.");
    }
    if (pixelBlockSize(h) > kMaxPixelBlock) fail("The image is too large: its pixels take more than 4 GiB.");
}

void writeBmp(const HeaderBlock& block, const PixelRows& rows, AtomicOutputFile& out, Progress& progress) {
    const BitmapHeader& h = block.header;
    const uint64_t size = pixelBlockSize(h);
    const unsigned entries = paletteCount(h);
    const uint64_t offset = 14 + 40 + uint64_t{entries} * 4;
    if (offset + size > 0xFFFFFFFFull) fail("The image is too large for a BMP file (at most 4 GiB).");
    uint8_t head[54] = {};
    head[0] = 'B';
    head[1] = 'M';
    putLe32(head + 2, static_cast<uint32_t>(offset + size));
    putLe32(head + 10, static_cast<uint32_t>(offset));
    putLe32(head + 14, 40);
    putLe32(head + 18, static_cast<uint32_t>(h.width));
    putLe32(head + 22, static_cast<uint32_t>(h.height));
    putLe16(head + 26, 1);
    putLe16(head + 28, h.bitCount);
    putLe32(head + 34, static_cast<uint32_t>(size));
    putLe32(head + 38, static_cast<uint32_t>(std::max(h.xPelsPerMeter, 0)));
    putLe32(head + 42, static_cast<uint32_t>(std::max(h.yPelsPerMeter, 0)));
    putLe32(head + 46, entries);
    putLe32(head + 50, h.bitCount <= 8 ? std::min(h.clrImportant, entries) : 0);
    std::array<PaletteEntry, 256> palette{};
    for (unsigned i = 0; i < entries; ++i)
        palette[i] = {block.palette[i].blue, block.palette[i].green, block.palette[i].red, 0};
    if (rows.block()) {
        iovec parts[3] = {{head, sizeof head},
                          {palette.data(), size_t{entries} * 4},
                          {const_cast<uint8_t*>(rows.block()), size}};
        out.writeScattered(parts, 3);
        progress.finish();
        return;
    }
    BufferedWriter writer(out);
    writer.append(head, sizeof head);
    writer.append(reinterpret_cast<const uint8_t*>(palette.data()), size_t{entries} * 4);
    const uint64_t stride = rowStride(h.width, h.bitCount);
    for (int32_t y = 0; y < h.height; ++y) {
        writer.append(rows.at(static_cast<uint64_t>(y)), stride);
        progress.update(y + 1);
    }
    writer.flush();
}

} // namespace imagefile
