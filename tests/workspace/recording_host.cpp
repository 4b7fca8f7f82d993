#include "recording_host.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace tandemscan::testing {

ImageRecord makeImage(int width, int height, int bitCount, std::int32_t pelsPerMeter, bool gray) {
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

TestEngine::TestEngine() {
    folder_ = PrivateFolder::create(temporaryRoot(), "workspace-test-");
    std::string why;
    auto library = ImageFileLibrary::load(TS_FAKE_COMPONENT_DIR, &why, "FakeImageFile.so");
    engine_ = std::make_unique<ImageEngine>(library, folder_->path());
}

std::string TestEngine::write(const std::string& name, const ImageRecord& image) const {
    const std::filesystem::path path = folder_->path() / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&image.headerBlock()), sizeof(HeaderBlock));
    const std::uint32_t size = PixelTools::imageDataSize(image.header());
    out.write(reinterpret_cast<const char*>(image.pixels().data()), size);
    return path.string();
}

ImageRecord readImageFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (bytes.size() < sizeof(HeaderBlock)) return {};
    HeaderBlock h{};
    std::memcpy(&h, bytes.data(), sizeof h);
    std::optional<ImageRecord> r = ImageRecord::allocate(h, bytes.size() - sizeof h);
    std::memcpy(r->pixels().data(), bytes.data() + sizeof h, bytes.size() - sizeof h);
    return std::move(*r);
}

} // namespace tandemscan::testing
