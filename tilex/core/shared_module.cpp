#include "shared_module.h"

#include <dlfcn.h>

namespace tilex {

void* openModule(const std::string& path, std::string* problem) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr && problem != nullptr) {
        const char* error = dlerror();
        *problem = error != nullptr ? error : "cannot be loaded";
    }
    return module;
}

void closeModule(void* module) {
    if (module != nullptr) dlclose(module);
}

void* findSymbol(void* module, const char* name) {
    return module != nullptr ? dlsym(module, name) : nullptr;
}

} // namespace tilex
