// The C++ binding of the image file component (ZedOROV.so, Tilex/RaduvOR.so), shared by both
// programs: ImageFileComponent loads the file and binds the ten entry points of the one list
// below (the component counts as missing unless all resolve); ImageFileHandle owns one instance
// from NewRaduvOR to FreeRaduvOR.
#pragma once

#include "module_handle.h"
#include "raduvor.h"

#include <optional>
#include <string>
#include <string_view>
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

struct ImageFileApi {
#define IMAGEFILE_FIELD(name) decltype(&::name) name = nullptr;
    IMAGEFILE_ENTRY_POINTS(IMAGEFILE_FIELD)
#undef IMAGEFILE_FIELD
};

class ImageFileComponent {
  public:
    ImageFileComponent() = default;
    ImageFileComponent(ImageFileComponent&& other) noexcept
        : module_(std::move(other.module_)), api_(std::exchange(other.api_, {})) {}
    ImageFileComponent& operator=(ImageFileComponent&& other) noexcept {
        if (this != &other) {
            module_ = std::move(other.module_);
            api_ = std::exchange(other.api_, {});
        }
        return *this;
    }
    ImageFileComponent(const ImageFileComponent&) = delete;
    ImageFileComponent& operator=(const ImageFileComponent&) = delete;

    // Loads and binds. False when the file cannot be loaded (`problem` gets the loader's reason,
    // or `whenSilent`) or lacks an entry point (lacksEntry(); `problem` is left alone).
    bool load(const std::string& path, std::string* problem = nullptr,
              std::string_view whenSilent = "cannot be loaded") {
        api_ = {};
        lacksEntry_ = false;
        module_ = components::ModuleHandle::open(path, problem, whenSilent);
        if (!module_) return false;
#define IMAGEFILE_BIND(name) lacksEntry_ = !module_.bind(#name, api_.name) || lacksEntry_;
        IMAGEFILE_ENTRY_POINTS(IMAGEFILE_BIND)
#undef IMAGEFILE_BIND
        if (!lacksEntry_) return true;
        module_.reset();
        api_ = {};
        return false;
    }

    bool loaded() const {
        return static_cast<bool>(module_);
    }
    bool lacksEntry() const {
        return lacksEntry_;
    }
    const ImageFileApi& api() const {
        return api_;
    }

  private:
    components::ModuleHandle module_;
    ImageFileApi api_;
    bool lacksEntry_ = false;
};

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
