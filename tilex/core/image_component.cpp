#include "image_component.h"

#include "regular_file.h"

namespace tilex {

std::unique_ptr<ImageComponent> ImageComponent::load(const std::string& path, std::string* problem) {
    imagefile::ImageFileComponent binding;
    if (!binding.load(path, problem)) {
        if (binding.lacksEntry() && problem) *problem = "the component lacks an entry point";
        return nullptr;
    }
    return std::unique_ptr<ImageComponent>(new ImageComponent(std::move(binding)));
}

std::optional<Picture> ImageComponent::read(const std::string& file) const {
    // The component opens the path itself and would wait forever on a FIFO.
    if (!isRegularFile(file)) return std::nullopt;
    const auto instance = imagefile::ImageFileHandle::create(binding_.api());
    if (!instance) return std::nullopt;
    const uint32_t size = binding_.api().GetImageSize(instance->get(), file.c_str());
    if (size == 0) return std::nullopt;
    Picture picture;
    picture.pixels.assign(size, 0);
    if (!binding_.api().ReadImage(instance->get(), file.c_str(), picture.header.data(),
                                  picture.pixels.data()) ||
        !picture.usable())
        return std::nullopt;
    return picture;
}

bool ImageComponent::write(const std::string& file, const Picture& picture) const {
    if (!isWritableTarget(file)) return false;
    const auto instance = imagefile::ImageFileHandle::create(binding_.api());
    if (!instance) return false;
    return binding_.api().WriteImage(instance->get(), file.c_str(), picture.header.data(),
                                     picture.pixels.data()) != 0;
}

} // namespace tilex
