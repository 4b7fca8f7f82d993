#include "recording_host.h"

namespace tandemscan::testing {

ImageRecord makeImage(int width, int height, int bitCount, std::int32_t pelsPerMeter, bool gray)
{
    HeaderBlock h{};
    h.header.size = 40;
    h.header.width = width;
    h.header.height = height;
    h.header.planes = 1;
    h.header.bitCount = static_cast<std::uint16_t>(bitCount);
    h.header.xPelsPerMeter = pelsPerMeter;
    h.header.yPelsPerMeter = pelsPerMeter;
    if (bitCount == 8) {
        for (int i = 0; i < 256; ++i) {
            const auto v = static_cast<std::uint8_t>(i);
            h.palette[static_cast<std::size_t>(i)] =
                gray ? PaletteEntry{v, v, v, 0} : PaletteEntry{v, static_cast<std::uint8_t>(255 - v), 40, 0};
        }
    } else if (bitCount == 1) {
        h.palette[0] = PaletteEntry{0, 0, 0, 0};
        h.palette[1] = PaletteEntry{255, 255, 255, 0};
    }
    h.header.sizeImage = PixelTools::imageDataSize(h.header);
    std::optional<ImageRecord> r = ImageRecord::allocate(h, h.header.sizeImage);
    const std::uint32_t stride = PixelTools::rowStride(width, h.header.bitCount);
    auto px = r->pixels();
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = px.data() + static_cast<std::size_t>(height - 1 - y) * stride;
        for (int x = 0; x < width; ++x) {
            if (bitCount == 24) {
                row[3 * x] = static_cast<std::uint8_t>(x % 256);
                row[3 * x + 1] = static_cast<std::uint8_t>(y % 256);
                row[3 * x + 2] = 7;
            } else if (bitCount == 8) {
                row[x] = static_cast<std::uint8_t>((x + y) % 256);
            } else if (bitCount == 1 && (x / 4) % 2 == 1) {
                row[x / 8] = static_cast<std::uint8_t>(row[x / 8] | (0x80 >> (x % 8)));
            }
        }
    }
    return std::move(*r);
}

} // namespace tandemscan::testing
