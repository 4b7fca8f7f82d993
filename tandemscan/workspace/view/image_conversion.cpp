#include "workspace/view/image_conversion.h"

#include "engine/pixel_tools.h"

#include <algorithm>
#include <cstring>

namespace tandemscan {

QImage toQImage(const ImageRecord& record) {
    if (record.empty()) return {};
    return toQImage(record.headerBlock(), record.pixels());
}

QImage toQImage(const HeaderBlock& block, std::span<const std::uint8_t> pixelBytes) {
    const ImageHeader& h = block.header;
    QImage::Format format = QImage::Format_Invalid;
    switch (h.bitCount) {
    case 1:
        format = QImage::Format_Mono;
        break;
    case 8:
        format = QImage::Format_Indexed8;
        break;
    case 24:
        format = QImage::Format_BGR888;
        break;
    default:
        return {};
    }
    const std::uint32_t stride = PixelTools::rowStride(h.width, h.bitCount);
    if (h.width <= 0 || h.height <= 0 || static_cast<std::size_t>(stride) * h.height > pixelBytes.size())
        return {};
    // Rows are stored bottom-up: read them in reverse into a top-down image.
    QImage image(h.width, h.height, format);
    if (image.isNull()) return {};
    const std::uint8_t* pixels = pixelBytes.data();
    const std::size_t copyBytes =
        std::min<std::size_t>(stride, static_cast<std::size_t>(image.bytesPerLine()));
    for (int y = 0; y < h.height; ++y)
        std::memcpy(image.scanLine(y), pixels + static_cast<std::size_t>(h.height - 1 - y) * stride,
                    copyBytes);
    if (h.bitCount != 24) {
        const int entries = static_cast<int>(PixelTools::usedPaletteEntries(h));
        QList<QRgb> table;
        table.reserve(entries);
        for (int i = 0; i < entries; ++i) {
            const PaletteEntry& e = block.palette[static_cast<std::size_t>(i)];
            table.push_back(qRgb(e.red, e.green, e.blue));
        }
        image.setColorTable(table);
    }
    return image;
}

} // namespace tandemscan
