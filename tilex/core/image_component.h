// The image file component (RaduvOR.so), loaded by path; it counts as missing unless all ten
// entry points resolve.
#pragma once

#include "image_file_component.h"
#include "picture.h"

#include <memory>
#include <optional>
#include <string>

namespace tilex {

class ImageComponent {
  public:
    static std::unique_ptr<ImageComponent> load(const std::string& path, std::string* problem = nullptr);
    ImageComponent(const ImageComponent&) = delete;
    ImageComponent& operator=(const ImageComponent&) = delete;

    // Size, allocate, read, with a fresh instance for each read. Nullopt on any failure, and for a
    // picture whose pixel block does not cover what its header says.
    std::optional<Picture> read(const std::string& file) const;
    // The format follows the file name's extension.
    bool write(const std::string& file, const Picture& picture) const;

  private:
    explicit ImageComponent(imagefile::ImageFileComponent binding) : binding_(std::move(binding)) {}
    imagefile::ImageFileComponent binding_;
};

} // namespace tilex
