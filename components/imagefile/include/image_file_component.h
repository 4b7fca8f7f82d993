// The C++ binding of the image file component (ZedOROV.so, Tilex/RaduvOR.so), shared by both
// programs: ImageFileComponent loads the file and binds the ten entry points of the first list
// below (the component counts as missing unless all resolve) and those of the second where the
// file has them; ImageFileHandle owns one instance from NewRaduvOR to FreeRaduvOR.
#pragma once

#include "bound_component.h"
#include "raduvor.h"

#include <optional>
#include <utility>

namespace imagefile {

#define IMAGEFILE_ENTRY_POINTS(X)                                                                            \
    X(NewRaduvOR)                                                                                            \
    X(FreeRaduvOR)                                                                                           \
    X(GetImageSize)                                                                                          \
    X(ReadImage)                                                                                             \
    X(WriteImage)                                                                                            \
    X(GetNextImage)                                                                                          \
    X(GetNextImageSize)                                                                                      \
    X(CanGetNextImage)                                                                                       \
    X(SetProgressCallBackFn)                                                                                 \
    X(GetLastErrorMessage)

// Entry points a component may lack; the programs use them where it has them and keep to the ten
// otherwise.
#define IMAGEFILE_OPTIONAL_ENTRY_POINTS(X)                                                                   \
    X(RemovePartialFiles)                                                                                    \
    X(ReadImageRows)                                                                                         \
    X(ReadImageInto)                                                                                         \
    X(WriteImageRows)

COMPONENT_ENTRY_TABLE(ImageFileApi, IMAGEFILE_ENTRY_POINTS, IMAGEFILE_OPTIONAL_ENTRY_POINTS)

using ImageFileComponent = components::BoundComponent<ImageFileApi>;

// One instance of the component; the component must outlive it.
class ImageFileHandle {
  public:
    // A new instance, or nullopt when the component refuses one.
    static std::optional<ImageFileHandle> create(const ImageFileApi& api) {
        RaduvHandle handle = nullptr;
        if (api.NewRaduvOR(&handle) == 0 || handle == nullptr) return std::nullopt;
        return ImageFileHandle(api, handle);
    }
    ~ImageFileHandle() { release(); }
    ImageFileHandle(ImageFileHandle&& other) noexcept
        : api_(other.api_), handle_(std::exchange(other.handle_, nullptr)) {}
    ImageFileHandle& operator=(ImageFileHandle&& other) noexcept {
        if (this != &other) {
            release();
            api_ = other.api_;
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    ImageFileHandle(const ImageFileHandle&) = delete;
    ImageFileHandle& operator=(const ImageFileHandle&) = delete;

    const ImageFileApi& api() const { return *api_; }
    RaduvHandle get() const { return handle_; }

  private:
    ImageFileHandle(const ImageFileApi& api, RaduvHandle handle) : api_(&api), handle_(handle) {}
    void release() {
        if (handle_ != nullptr) api_->FreeRaduvOR(std::exchange(handle_, nullptr));
    }

    const ImageFileApi* api_;
    RaduvHandle handle_;
};

} // namespace imagefile
