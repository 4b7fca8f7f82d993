// dlopen'ed components: an owning handle and typed symbol binding.
#pragma once

#include <memory>
#include <string>

namespace tilex {

void* openModule(const std::string& path, std::string* problem);
void closeModule(void* module);
void* findSymbol(void* module, const char* name);

struct ModuleCloser {
    void operator()(void* module) const { closeModule(module); }
};
using ModuleHandle = std::unique_ptr<void, ModuleCloser>;

inline bool hasSymbol(void* module, const char* name) {
    return findSymbol(module, name) != nullptr;
}

template <typename Function> bool bindSymbol(void* module, const char* name, Function& out) {
    out = reinterpret_cast<Function>(findSymbol(module, name));
    return out != nullptr;
}

} // namespace tilex
