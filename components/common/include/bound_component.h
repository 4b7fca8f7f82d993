// A component loaded with dlopen together with its table of entry points. Each component's
// binding lists its entry points once, in two X-macro lists, and gives them to
// COMPONENT_ENTRY_TABLE, which makes the table struct and the one function that binds it: the
// component counts as missing unless every required entry resolves; an optional one is bound
// when the component has it and stays null otherwise.
#pragma once

#include "module_handle.h"

#include <string>
#include <string_view>
#include <utility>

// Declares `struct Table` with one typed pointer per entry of `REQUIRED` and `OPTIONAL` and
// `bindEntryPoints(module, table)`, false when a required entry is missing.
#define COMPONENT_ENTRY_FIELD(name) decltype(&::name) name = nullptr;
#define COMPONENT_ENTRY_BIND(name) complete = module.bind(#name, table.name) && complete;
#define COMPONENT_OPTIONAL_ENTRY_BIND(name) module.bind(#name, table.name);
#define COMPONENT_ENTRY_TABLE(Table, REQUIRED, OPTIONAL)                                                     \
    struct Table {                                                                                           \
        REQUIRED(COMPONENT_ENTRY_FIELD)                                                                      \
        OPTIONAL(COMPONENT_ENTRY_FIELD)                                                                      \
    };                                                                                                       \
    inline bool bindEntryPoints(const components::ModuleHandle& module, Table& table) {                      \
        bool complete = true;                                                                                \
        REQUIRED(COMPONENT_ENTRY_BIND)                                                                       \
        OPTIONAL(COMPONENT_OPTIONAL_ENTRY_BIND)                                                              \
        return complete;                                                                                     \
    }
// The optional list of a component that has none.
#define COMPONENT_NO_ENTRIES(X)

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
    // or `whenSilent`) or lacks a required entry point (lacksEntry(); `problem` is left alone).
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
    bool lacksEntry() const { return lacksEntry_; }
    const Table& api() const { return api_; }

  private:
    ModuleHandle module_;
    Table api_;
    bool lacksEntry_ = false;
};

} // namespace components
