#include "scanner_link.h"

#include <array>
#include <cstring>
#include <dlfcn.h>
#include <memory>

namespace tandemscan {

// The component's entry points in the order they are bound; the link calls only some of them
// today, but a component missing any is not the one this program was built for.
struct ScannerLink::Entries {
    decltype(&::NewTwain) newTwain;
    decltype(&::FreeTwain) freeTwain;
    decltype(&::LoadSM) loadSM;
    decltype(&::UnloadSM) unloadSM;
    decltype(&::OpenSM) openSM;
    decltype(&::CloseSM) closeSM;
    decltype(&::GetAllDriverName) getAllDriverName;
};

namespace {

constexpr std::array<const char*, 40> entryNames = {
    "NewTwain",
    "FreeTwain",
    "LoadSM",
    "UnloadSM",
    "OpenSM",
    "CloseSM",
    "OpenDS",
    "CloseDS",
    "EnableDS",
    "DisableDS",
    "CancelXfer",
    "EndXfer",
    "DoMemXfer",
    "SetMemBandSize",
    "DoMemBandXfer",
    "GetAllDriverName",
    "GetFirstDriverName",
    "GetNextDriverName",
    "GetDefaultDriverName",
    "GetCapImageType",
    "GetResRange",
    "GetScaleRange",
    "GetMaxScanArea",
    "SetCapImageType",
    "SetCapXRes",
    "SetCapYRes",
    "SetCapXScale",
    "SetCapYScale",
    "SetScanSize",
    "SetCapBrightness",
    "SetCapContrast",
    "SetCapThreshold",
    "SetCapColorWizard",
    "SetCapDescreen",
    "SetCapGamma",
    "SetCapAutoDensity",
    "SupportCAP",
    "TwainFilter",
    "DoDisablePopupDlg",
    "EnableCustomCap",
};

template <typename T> T bind(void* module, const char* name) {
    return reinterpret_cast<T>(::dlsym(module, name));
}

} // namespace

ScannerLink::ScannerLink() = default;

ScannerLink::~ScannerLink() {
    close();
}

bool ScannerLink::start(const std::filesystem::path& componentPath, std::uintptr_t window) {
    close();
    window_ = window;
    module_ = ::dlopen(componentPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module_) {
        const char* error = ::dlerror();
        why_ = error ? error : "cannot load " + componentPath.string();
        return false;
    }
    for (const char* name : entryNames) {
        if (!::dlsym(module_, name)) {
            why_ = std::string("the scanner component has no ") + name;
            unload();
            return false;
        }
    }
    entries_ = std::make_unique<Entries>(Entries{
        bind<decltype(Entries::newTwain)>(module_, "NewTwain"),
        bind<decltype(Entries::freeTwain)>(module_, "FreeTwain"),
        bind<decltype(Entries::loadSM)>(module_, "LoadSM"),
        bind<decltype(Entries::unloadSM)>(module_, "UnloadSM"),
        bind<decltype(Entries::openSM)>(module_, "OpenSM"),
        bind<decltype(Entries::closeSM)>(module_, "CloseSM"),
        bind<decltype(Entries::getAllDriverName)>(module_, "GetAllDriverName"),
    });
    if (!entries_->newTwain(&handle_) || handle_ == 0) {
        why_ = "the scanner component made no connection";
        handle_ = 0;
        unload();
        return false;
    }
    if (!entries_->loadSM(handle_)) {
        why_ = "the scanner source manager could not be loaded";
        unload();
        return false;
    }
    managerLoaded_ = true;
    if (!entries_->openSM(handle_, window_)) {
        why_ = "the scanner source manager could not be opened";
        unload();
        return false;
    }
    managerOpen_ = true;
    why_.clear();
    return true;
}

DriverEnumeration ScannerLink::enumerate(int driverCount) {
    DriverEnumeration result;
    if (!managerOpen_) return result;
    char names[TWAIN_MAX_DRIVERS][TWAIN_NAME_SIZE];
    for (int i = 0; i < driverCount; ++i) {
        std::memset(names, 0, sizeof names);
        char work[TWAIN_WORK_SIZE] = {};
        if (entries_->getAllDriverName(handle_, names, work) == 1) {
            result.available = true;
            break;
        }
    }
    if (!result.available) {
        entries_->closeSM(handle_, window_);
        managerOpen_ = false;
        entries_->unloadSM(handle_);
        managerLoaded_ = false;
        return result;
    }
    for (std::size_t i = 0; i < result.table.size(); ++i) {
        // The component's slots are fixed-size; never read past one even without a terminator.
        result.table[i] = std::string(names[i], ::strnlen(names[i], TWAIN_NAME_SIZE - 1));
    }
    return result;
}

void ScannerLink::unload() {
    if (entries_ && handle_ != 0) {
        if (managerOpen_) entries_->closeSM(handle_, window_);
        if (managerLoaded_) entries_->unloadSM(handle_);
        entries_->freeTwain(handle_);
    }
    handle_ = 0;
    managerOpen_ = false;
    managerLoaded_ = false;
    entries_.reset();
    if (module_) ::dlclose(module_);
    module_ = nullptr;
}

void ScannerLink::close() {
    unload();
}

} // namespace tandemscan
