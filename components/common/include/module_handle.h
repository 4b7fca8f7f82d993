// An owning handle on a component loaded with dlopen, and typed binding of its entry points.
// Every program reaches its components through this one owner, so a component is closed exactly
// once and no caller keeps the loader's raw handle.
#pragma once

#include <dlfcn.h>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace components {

class ModuleHandle {
  public:
    ModuleHandle() = default;

    // Loads `path` with every symbol resolved now and none shared with later loads. Empty on
    // failure; `problem` then gets the loader's reason, or `whenSilent` when it gave none.
    static ModuleHandle open(const std::string& path, std::string* problem = nullptr,
                             std::string_view whenSilent = "cannot be loaded") {
        ModuleHandle handle;
        handle.module_.reset(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
        if (!handle && problem != nullptr) {
            const char* error = dlerror();
            *problem = error != nullptr ? std::string(error) : std::string(whenSilent);
        }
        return handle;
    }

    explicit operator bool() const { return module_ != nullptr; }
    void reset() { module_.reset(); }

    // The entry point `name`, or null when the component lacks it (or none is loaded).
    void* symbol(const char* name) const { return module_ ? dlsym(module_.get(), name) : nullptr; }
    template <typename Function> bool bind(const char* name, Function& out) const {
        out = reinterpret_cast<Function>(symbol(name));
        return out != nullptr;
    }

  private:
    struct Closer {
        void operator()(void* module) const { dlclose(module); }
    };
    std::unique_ptr<void, Closer> module_;
};

} // namespace components
