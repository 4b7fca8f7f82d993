#include "component.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <iterator>
#include <png.h>
#include <random>
#include <stdexcept>
#include <unistd.h>

namespace imagefile::test {

Component Component::load(const std::string& path) {
    Component c;
    auto binding = std::make_shared<ImageFileComponent>();
    if (!binding->load(path)) {
        if (binding->lacksEntry()) c.binding = std::move(binding); // loadable, but incomplete
        return c;
    }
    c.api = binding->api();
    c.binding = std::move(binding);
    return c;
}

const Component& Component::main() {
    static const Component component = load(std::string(TS_PROGRAM_DIR) + "/ZedOROV.so");
    if (!component.api.ReadImage)
        throw std::runtime_error("ZedOROV.so cannot be loaded: " + std::string(dlerror() ? dlerror() : ""));
    return component;
}

uint32_t Image::rgb(int x, int y) const {
    const uint8_t* row = pixels.data() + static_cast<size_t>(height() - 1 - y) * stride();
    switch (bits()) {
    case 24:
        return (uint32_t{row[3 * x + 2]} << 16) | (row[3 * x + 1] << 8) | row[3 * x];
    case 16: {
        const unsigned v = row[2 * x] | (row[2 * x + 1] << 8);
        return (uint32_t{expand5((v >> 10) & 31)} << 16) | (expand5((v >> 5) & 31) << 8) | expand5(v & 31);
    }
    default: {
        const PaletteEntry& e = block.palette[index(x, y)];
        return (uint32_t{e.red} << 16) | (e.green << 8) | e.blue;
    }
    }
}

unsigned Image::index(int x, int y) const {
    const uint8_t* row = pixels.data() + static_cast<size_t>(height() - 1 - y) * stride();
    switch (bits()) {
    case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
    case 4:
        return (x & 1) ? row[x >> 1] & 15 : row[x >> 1] >> 4;
    default:
        return row[x];
    }
}

Image makeImage(int width, int height, int bits, bool grey, int32_t pelsPerMeter) {
    Image image;
    BitmapHeader& h = image.block.header;
    h.width = width;
    h.height = height;
    h.bitCount = static_cast<uint16_t>(bits);
    h.xPelsPerMeter = pelsPerMeter;
    h.yPelsPerMeter = pelsPerMeter;
    h.sizeImage = static_cast<uint32_t>(pixelBlockSize(h));
    image.pixels.assign(h.sizeImage, 0);
    if (bits <= 8) {
        const unsigned count = 1u << bits;
        h.clrUsed = count;
        for (unsigned i = 0; i < count; ++i) {
            if (grey) {
                const auto v = static_cast<uint8_t>(i * 255 / (count - 1));
                image.block.palette[i] = {v, v, v, 0};
            } else {
                image.block.palette[i] = {static_cast<uint8_t>(i * 7 + 3), static_cast<uint8_t>(255 - i),
                                          static_cast<uint8_t>(i * 29 + 100), 0};
            }
        }
    }
    std::mt19937 random(static_cast<unsigned>(width * 131 + height * 7 + bits));
    const uint64_t stride = image.stride();
    for (int y = 0; y < height; ++y) {
        uint8_t* row = image.pixels.data() + static_cast<size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            const unsigned r = random();
            switch (bits) {
            case 1:
                row[x >> 3] |= static_cast<uint8_t>((r & 1) << (7 - (x & 7)));
                break;
            case 4:
                row[x >> 1] |= static_cast<uint8_t>((x & 1) ? (r & 15) : (r & 15) << 4);
                break;
            case 8:
                row[x] = static_cast<uint8_t>(r);
                break;
            case 16:
                row[2 * x] = static_cast<uint8_t>(r);
                row[2 * x + 1] = static_cast<uint8_t>((r >> 8) & 0x7F);
                break;
            case 24:
                row[3 * x] = static_cast<uint8_t>(r);
                row[3 * x + 1] = static_cast<uint8_t>(r >> 8);
                row[3 * x + 2] = static_cast<uint8_t>(r >> 16);
                break;
            }
        }
    }
    return image;
}

bool readFile(const std::string& path, Image& image, std::string* error) {
    const Component& c = Component::main();
    RaduvHandle h = nullptr;
    if (!c.api.NewRaduvOR(&h)) return false;
    bool ok = false;
    const uint32_t size = c.api.GetImageSize(h, path.c_str());
    if (size > 0) {
        image.pixels.assign(size, 0xCD);
        ok = c.api.ReadImage(h, path.c_str(), &image.block, image.pixels.data()) != 0;
    }
    if (!ok && error) *error = c.api.GetLastErrorMessage(h);
    c.api.FreeRaduvOR(h);
    return ok;
}

bool writeFile(const std::string& path, const Image& image, std::string* error) {
    const Component& c = Component::main();
    RaduvHandle h = nullptr;
    if (!c.api.NewRaduvOR(&h)) return false;
    const bool ok = c.api.WriteImage(h, path.c_str(), &image.block, image.pixels.data()) != 0;
    if (!ok && error) *error = c.api.GetLastErrorMessage(h);
    c.api.FreeRaduvOR(h);
    return ok;
}

namespace {

struct RowFeed {
    const Image* image;
    int failAtRow;
    int asked = 0;
    std::vector<uint8_t> row; // a copy, so that a writer reading past the row it was given is caught

    static const void* next(void* context, int32_t y) {
        auto& feed = *static_cast<RowFeed*>(context);
        ++feed.asked;
        if (y < 0 || y >= feed.image->height() || (feed.failAtRow >= 0 && y >= feed.failAtRow))
            return nullptr;
        const uint8_t* src = feed.image->pixels.data() + static_cast<size_t>(y) * feed.image->stride();
        feed.row.assign(src, src + feed.image->stride());
        return feed.row.data();
    }
};

} // namespace

bool writeFileByRows(const std::string& path, const Image& image, std::string* error, int failAtRow,
                     int* asked) {
    const Component& c = Component::main();
    RaduvHandle h = nullptr;
    if (!c.api.WriteImageRows || !c.api.NewRaduvOR(&h)) return false;
    RowFeed feed{&image, failAtRow, 0, {}};
    const bool ok = c.api.WriteImageRows(h, path.c_str(), &image.block, &RowFeed::next, &feed) != 0;
    if (!ok && error) *error = c.api.GetLastErrorMessage(h);
    if (asked) *asked = feed.asked;
    c.api.FreeRaduvOR(h);
    return ok;
}

bool decodePngReference(const std::string& path, int& width, int& height, std::vector<uint32_t>& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) return false;
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    rgb.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = (uint32_t{buffer[3 * i]} << 16) | (buffer[3 * i + 1] << 8) | buffer[3 * i + 2];
    return true;
}

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void putFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "imagefile-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a scratch folder");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
}

std::vector<std::string> ScratchFolder::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string corpusDir() {
    return std::string(TS_CORPUS_DIR) + "/bmpsuite";
}

} // namespace imagefile::test
