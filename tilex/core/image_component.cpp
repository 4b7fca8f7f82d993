#include "image_component.h"

#include "module_handle.h"
#include "raduvor.h"
#include "regular_file.h"

namespace tilex {

struct ImageComponent::Api {
    decltype(&NewRaduvOR) create = nullptr;
    decltype(&FreeRaduvOR) release = nullptr;
    decltype(&GetImageSize) imageSize = nullptr;
    decltype(&ReadImage) readImage = nullptr;
    decltype(&WriteImage) writeImage = nullptr;
};

ImageComponent::ImageComponent(components::ModuleHandle module, std::unique_ptr<Api> api)
    : module_(std::move(module)), api_(std::move(api)) {}

ImageComponent::~ImageComponent() = default;

std::unique_ptr<ImageComponent> ImageComponent::load(const std::string& path, std::string* problem) {
    auto module = components::ModuleHandle::open(path, problem);
    if (!module) return nullptr;
    auto api = std::make_unique<Api>();
    const bool complete =
        module.bind("NewRaduvOR", api->create) && module.bind("FreeRaduvOR", api->release) &&
        module.bind("GetImageSize", api->imageSize) && module.bind("ReadImage", api->readImage) &&
        module.bind("WriteImage", api->writeImage) && module.symbol("GetNextImage") &&
        module.symbol("GetNextImageSize") && module.symbol("CanGetNextImage") &&
        module.symbol("SetProgressCallBackFn") && module.symbol("GetLastErrorMessage");
    if (!complete) {
        if (problem) *problem = "the component lacks an entry point";
        return nullptr;
    }
    return std::unique_ptr<ImageComponent>(new ImageComponent(std::move(module), std::move(api)));
}

std::optional<Picture> ImageComponent::read(const std::string& file) const {
    // The component opens the path itself and would wait forever on a FIFO.
    if (!isRegularFile(file)) return std::nullopt;
    RaduvHandle handle = nullptr;
    if (!api_->create(&handle) || handle == nullptr) return std::nullopt;
    std::optional<Picture> result;
    const uint32_t size = api_->imageSize(handle, file.c_str());
    if (size != 0) {
        Picture picture;
        picture.pixels.assign(size, 0);
        if (api_->readImage(handle, file.c_str(), picture.header.data(), picture.pixels.data()) &&
            picture.usable())
            result = std::move(picture);
    }
    api_->release(handle);
    return result;
}

bool ImageComponent::write(const std::string& file, const Picture& picture) const {
    if (!isWritableTarget(file)) return false;
    RaduvHandle handle = nullptr;
    if (!api_->create(&handle) || handle == nullptr) return false;
    const bool written =
        api_->writeImage(handle, file.c_str(), picture.header.data(), picture.pixels.data()) != 0;
    api_->release(handle);
    return written;
}

} // namespace tilex
