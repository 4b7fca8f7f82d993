#include "picture_image.h"

namespace tilex {

namespace {

QList<QRgb> palette(const Picture& picture) {
    QList<QRgb> colours;
    const int count = picture.paletteSize();
    for (int i = 0; i < count; ++i) {
        const uint8_t* entry = picture.header.data() + 40 + 4 * i; // blue, green, red, unused
        colours.push_back(qRgb(entry[2], entry[1], entry[0]));
    }
    return colours;
}

} // namespace

QImage pictureToImage(const Picture& picture) {
    if (!picture.usable()) return {};
    const int width = picture.width();
    const int height = picture.height();
    const size_t stride = Picture::rowStride(width, picture.bitCount());
    // Qt has no 4-bit format: widen those rows to one index per byte.
    if (picture.bitCount() == 4) {
        QImage image(width, height, QImage::Format_Indexed8);
        image.setColorTable(palette(picture));
        for (int y = 0; y < height; ++y) {
            const uint8_t* source = picture.pixels.data() + stride * static_cast<size_t>(height - 1 - y);
            uchar* target = image.scanLine(y);
            for (int x = 0; x < width; ++x) {
                const uint8_t pair = source[x / 2];
                target[x] = x % 2 == 0 ? pair >> 4 : pair & 0x0F;
            }
        }
        return image;
    }
    QImage::Format format = QImage::Format_Invalid;
    switch (picture.bitCount()) {
    case 1:
        format = QImage::Format_Mono;
        break;
    case 8:
        format = QImage::Format_Indexed8;
        break;
    case 16:
        format = QImage::Format_RGB555;
        break;
    case 24:
        format = QImage::Format_BGR888;
        break;
    case 32:
        format = QImage::Format_RGB32;
        break;
    default:
        return {};
    }
    const QImage view(picture.pixels.data(), width, height, static_cast<qsizetype>(stride), format);
    QImage image = view.mirrored(false, true); // a deep copy in top-down order
    if (picture.bitCount() <= 8) {
        QList<QRgb> colours = palette(picture);
        // Indices past a short palette would read outside the table.
        while (colours.size() < (1 << picture.bitCount()))
            colours.push_back(qRgb(0, 0, 0));
        image.setColorTable(colours);
    }
    return image;
}

} // namespace tilex
