// A component loaded with dlopen together with its table of entry points. Each component's
// binding lists its entry points once (an X-macro) and gives them to
// COMPONENT_ENTRY_TABLE, which makes the table struct and the one function that binds it; the
// component then counts as missing unless every entry resolves.
#pragma once

#include "module_handle.h"

#include <string>
#include <string_view>
#include <utility>

// Declares `struct Table` with one typed pointer per entry of `LIST` and
// `bindEntryPoints(module, table)`, false when any entry is missing.
#define COMPONENT_ENTRY_FIELD(name) decltype(&::name) name = nullptr;
#define COMPONENT_ENTRY_BIND(name) complete = module.bind(#name, table.name) && complete;
#define COMPONENT_ENTRY_TABLE(Table, LIST)                                                                   \
    struct Table {                                                                                           \
        LIST(COMPONENT_ENTRY_FIELD)                                                                          \
    };                                                                                                       \
    inline bool bindEntryPoints(const components::ModuleHandle& module, Table& table) {                      \
        bool complete = true;                                                                                \
        LIST(COMPONENT_ENTRY_BIND)                                                                           \
        return complete;                                                                                     \
    }

namespace components {

template <typename Table> class BoundComponent {
  public:
    BoundComponent() = default;
    BoundComponent(BoundComponent&& other) noexcept
        : module_(std::move(other.module_)), api_(std::exchange(other.api_, {})),
          lacksEntry_(std::exchange(other.lacksEntry_, false)) {}
    BoundComponent& operator=(BoundComponent&& other) noexcept {
        if (this != &other) {
            module_ = std::move(other.module_);
            api_ = std::exchange(other.api_, {});
            lacksEntry_ = std::exchange(other.lacksEntry_, false);
        }
        return *this;
    }
    BoundComponent(const BoundComponent&) = delete;
    BoundComponent& operator=(const BoundComponent&) = delete;

    // Loads and binds. False when the file cannot be loaded (`problem` gets the loader's reason,
    // or `whenSilent`) or lacks an entry point (lacksEntry(); `problem` is left alone).
    bool load(const std::string& path, std::string* problem = nullptr,
              std::string_view whenSilent = "cannot be loaded") {
        api_ = {};
        lacksEntry_ = false;
        module_ = ModuleHandle::open(path, problem, whenSilent);
        if (!module_) return false;
        lacksEntry_ = !bindEntryPoints(module_, api_);
        if (!lacksEntry_) return true;
        module_.reset();
        api_ = {};
        return false;
    }

    bool loaded() const { return static_cast<bool>(module_); }
    // For entry points outside the table that a caller may do without.
    const ModuleHandle& module() const { return module_; }
    bool lacksEntry() const { return lacksEntry_; }
    const Table& api() const { return api_; }

  private:
    ModuleHandle module_;
    Table api_;
    bool lacksEntry_ = false;
};

} // namespace components
