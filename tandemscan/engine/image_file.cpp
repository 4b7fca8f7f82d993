#include "engine/image_file.h"

#include "raduvor.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <utility>

namespace tandemscan {

namespace fs = std::filesystem;

struct ImageFileLibrary::Entries {
    decltype(&NewRaduvOR) newInstance;
    decltype(&FreeRaduvOR) freeInstance;
    decltype(&GetImageSize) imageSize;
    decltype(&ReadImage) readImage;
    decltype(&WriteImage) writeImage;
    decltype(&GetNextImage) nextImage;
    decltype(&GetNextImageSize) nextImageSize;
    decltype(&CanGetNextImage) canGetNextImage;
    decltype(&SetProgressCallBackFn) setProgress;
    decltype(&GetLastErrorMessage) lastError;
};

namespace {

template <typename F> bool bind(void* module, const char* name, F& entry) {
    entry = reinterpret_cast<F>(dlsym(module, name));
    return entry != nullptr;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::uint32_t readLe32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

} // namespace

ImageFileLibrary::ImageFileLibrary(Key, void* module, std::unique_ptr<Entries> entries)
    : module_(module), entries_(std::move(entries)) {}

ImageFileLibrary::~ImageFileLibrary() {
    if (module_ != nullptr) dlclose(module_);
}

std::shared_ptr<ImageFileLibrary> ImageFileLibrary::load(const fs::path& programDir, std::string* why,
                                                         const char* name) {
    const fs::path file = programDir / name;
    void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto entries = std::make_unique<Entries>();
    std::string reason;
    if (module == nullptr) {
        const char* error = dlerror();
        reason = error ? error : file.string();
    } else {
        Entries& e = *entries;
        const bool complete = bind(module, "NewRaduvOR", e.newInstance) && bind(module, "FreeRaduvOR", e.freeInstance) &&
                              bind(module, "GetImageSize", e.imageSize) && bind(module, "ReadImage", e.readImage) &&
                              bind(module, "WriteImage", e.writeImage) && bind(module, "GetNextImage", e.nextImage) &&
                              bind(module, "GetNextImageSize", e.nextImageSize) &&
                              bind(module, "CanGetNextImage", e.canGetNextImage) &&
                              bind(module, "SetProgressCallBackFn", e.setProgress) &&
                              bind(module, "GetLastErrorMessage", e.lastError);
        if (!complete) {
            reason = file.string() + " lacks an entry point of the image file interface";
            dlclose(module);
            module = nullptr;
        }
    }
    if (module == nullptr) {
        if (why != nullptr) *why = std::string(name) + " not found!\n" + reason;
        return nullptr;
    }
    return std::make_shared<ImageFileLibrary>(Key{}, module, std::move(entries));
}

std::optional<ImageFileInstance> ImageFileLibrary::newInstance() const {
    RaduvHandle handle = nullptr;
    if (entries_->newInstance(&handle) == 0 || handle == nullptr) return std::nullopt;
    return ImageFileInstance(shared_from_this(), handle);
}

ImageFileInstance::ImageFileInstance(std::shared_ptr<const ImageFileLibrary> library, void* handle)
    : library_(std::move(library)), handle_(handle) {}

ImageFileInstance::ImageFileInstance(ImageFileInstance&& other) noexcept
    : library_(std::move(other.library_)), handle_(std::exchange(other.handle_, nullptr)) {}

ImageFileInstance& ImageFileInstance::operator=(ImageFileInstance&& other) noexcept {
    if (this != &other) {
        if (handle_ != nullptr) library_->entries_->freeInstance(handle_);
        library_ = std::move(other.library_);
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

ImageFileInstance::~ImageFileInstance() {
    if (handle_ != nullptr) library_->entries_->freeInstance(handle_);
}

std::uint32_t ImageFileInstance::imageSize(const fs::path& file) {
    return library_->entries_->imageSize(handle_, file.c_str());
}

bool ImageFileInstance::readImage(const fs::path& file, HeaderBlock& header, std::uint8_t* pixels) {
    return library_->entries_->readImage(handle_, file.c_str(), &header, pixels) != 0;
}

bool ImageFileInstance::readHeader(const fs::path& file, HeaderBlock& header) {
    if (!readImage(file, header, nullptr)) return false;
    const std::string name = lowerCase(file.filename().string());
    if (header.header.bitCount == 8 && name.find(".bmp") != std::string::npos &&
        name.find(".jpg") == std::string::npos)
        rereadBmpPalette(file, header);
    return true;
}

bool ImageFileInstance::writeImage(const fs::path& file, const HeaderBlock& header, const std::uint8_t* pixels) {
    return library_->entries_->writeImage(handle_, file.c_str(), &header, pixels) != 0;
}

std::string ImageFileInstance::lastErrorMessage() const {
    const char* text = library_->entries_->lastError(handle_);
    return text ? text : "";
}

bool rereadBmpPalette(const fs::path& file, HeaderBlock& header) {
    if (header.header.bitCount != 8) return false;
    std::ifstream in(file, std::ios::binary);
    std::array<unsigned char, 18> start{};
    if (!in.read(reinterpret_cast<char*>(start.data()), start.size()) || start[0] != 'B' || start[1] != 'M')
        return false;
    // The palette follows the file header (14 bytes) and the info header, whatever its size.
    const std::uint32_t infoSize = readLe32(start.data() + 14);
    if (infoSize < 12 || infoSize > 1024) return false;
    const std::size_t entrySize = infoSize == 12 ? 3 : 4;
    std::uint32_t count = header.header.clrUsed == 0 ? 256 : header.header.clrUsed;
    count = std::min<std::uint32_t>(count, 256);
    std::array<unsigned char, 256 * 4> raw{};
    in.seekg(14 + infoSize);
    if (!in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(count * entrySize))) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char* e = raw.data() + i * entrySize;
        header.palette[i] = {e[0], e[1], e[2], 0};
    }
    return true;
}

} // namespace tandemscan
