#include "engine/image_file.h"

#include "image_file_component.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <fstream>
#include <utility>

namespace tandemscan {

namespace fs = std::filesystem;

struct ImageFileLibrary::Component {
    imagefile::ImageFileComponent binding;
};

struct ImageFileInstance::Handle {
    explicit Handle(imagefile::ImageFileHandle owned) : instance(std::move(owned)) {}
    imagefile::ImageFileHandle instance;
    const imagefile::ImageFileApi& api() const { return instance.api(); }
};

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

// The loaded component's RemovePartialFiles, for signal handlers.
std::atomic<void (*)()> partialRemover{nullptr};

std::uint32_t readLe32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

} // namespace

ImageFileLibrary::ImageFileLibrary(Key, std::unique_ptr<Component> component)
    : component_(std::move(component)) {}

ImageFileLibrary::~ImageFileLibrary() {
    void (*mine)() = component_->binding.api().RemovePartialFiles;
    if (mine != nullptr) partialRemover.compare_exchange_strong(mine, nullptr);
}

void ImageFileLibrary::removePartialOutputs() noexcept {
    if (void (*remove)() = partialRemover.load()) remove();
}

std::shared_ptr<ImageFileLibrary> ImageFileLibrary::load(const fs::path& programDir, std::string* why,
                                                         const char* name) {
    const fs::path file = programDir / name;
    auto component = std::make_unique<Component>();
    std::string reason;
    if (!component->binding.load(file.string(), &reason, file.string())) {
        if (component->binding.lacksEntry())
            reason = file.string() + " lacks an entry point of the image file interface";
        if (why != nullptr) *why = std::string(name) + " not found!\n" + reason;
        return nullptr;
    }
    if (void (*remove)() = component->binding.api().RemovePartialFiles) partialRemover.store(remove);
    return std::make_shared<ImageFileLibrary>(Key{}, std::move(component));
}

std::optional<ImageFileInstance> ImageFileLibrary::newInstance() const {
    std::optional<imagefile::ImageFileHandle> instance =
        imagefile::ImageFileHandle::create(component_->binding.api());
    if (!instance) return std::nullopt;
    return ImageFileInstance(shared_from_this(),
                             std::make_unique<ImageFileInstance::Handle>(std::move(*instance)));
}

ImageFileInstance::ImageFileInstance(std::shared_ptr<const ImageFileLibrary> library,
                                     std::unique_ptr<Handle> handle)
    : library_(std::move(library)), handle_(std::move(handle)) {}

ImageFileInstance::ImageFileInstance(ImageFileInstance&& other) noexcept = default;

ImageFileInstance& ImageFileInstance::operator=(ImageFileInstance&& other) noexcept {
    if (this != &other) {
        // The old instance is freed while its library is still held.
        handle_ = std::move(other.handle_);
        library_ = std::move(other.library_);
    }
    return *this;
}

ImageFileInstance::~ImageFileInstance() {
    handle_.reset();
}

std::uint32_t ImageFileInstance::imageSize(const fs::path& file) {
    return handle_->api().GetImageSize(handle_->instance.get(), file.c_str());
}

bool ImageFileInstance::readImage(const fs::path& file, HeaderBlock& header, std::uint8_t* pixels) {
    return handle_->api().ReadImage(handle_->instance.get(), file.c_str(), &header, pixels) != 0;
}

bool ImageFileInstance::readHeader(const fs::path& file, HeaderBlock& header) {
    if (!readImage(file, header, nullptr)) return false;
    const std::string name = lowerCase(file.filename().string());
    if (header.header.bitCount == 8 && name.find(".bmp") != std::string::npos &&
        name.find(".jpg") == std::string::npos)
        rereadBmpPalette(file, header);
    return true;
}

bool ImageFileInstance::writeImage(const fs::path& file, const HeaderBlock& header,
                                   const std::uint8_t* pixels) {
    return handle_->api().WriteImage(handle_->instance.get(), file.c_str(), &header, pixels) != 0;
}

bool ImageFileInstance::canWriteRows() const {
    return handle_->api().WriteImageRows != nullptr;
}

bool ImageFileInstance::writeImageRows(const fs::path& file, const HeaderBlock& header, RowSource rows,
                                       void* context) {
    if (!canWriteRows()) return false;
    return handle_->api().WriteImageRows(handle_->instance.get(), file.c_str(), &header, rows, context) != 0;
}

bool ImageFileInstance::canReadRows() const {
    return handle_->api().ReadImageRows != nullptr;
}

bool ImageFileInstance::readImageRows(const fs::path& file, HeaderBlock& header, std::uint8_t* pixels,
                                      RowsDone rowsDone, void* context) {
    if (!canReadRows()) return false;
    return handle_->api().ReadImageRows(handle_->instance.get(), file.c_str(), &header, pixels, rowsDone,
                                        context) != 0;
}

ImageFileInstance::ReadInto ImageFileInstance::readImageInto(const fs::path& file, HeaderBlock& header,
                                                             RowTarget rowAt, RowsDone rowsDone,
                                                             void* context) {
    if (handle_->api().ReadImageInto == nullptr) return ReadInto::notByRows;
    const int result = handle_->api().ReadImageInto(handle_->instance.get(), file.c_str(), &header, rowAt,
                                                    rowsDone, context);
    return result < 0 ? ReadInto::notByRows : result == 0 ? ReadInto::failed : ReadInto::read;
}

std::string ImageFileInstance::lastErrorMessage() const {
    const char* text = handle_->api().GetLastErrorMessage(handle_->instance.get());
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
    if (!in.read(reinterpret_cast<char*>(raw.data()), static_cast<std::streamsize>(count * entrySize)))
        return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char* e = raw.data() + i * entrySize;
        header.palette[i] = {e[0], e[1], e[2], 0};
    }
    return true;
}

} // namespace tandemscan
