// The C++ binding of the scanner components, shared by both programs and the tests:
// ScannerComponent loads RezuzID.so or Tilex/TwainTX.so and binds its entry points by name from
// the one list below (the component counts as missing unless every one its program needs
// resolves); ScannerConnection holds one connection from NewTwain to FreeTwain, undoes a
// half-made one and closes the source manager and the connection, in order, when it goes.
#pragma once

#include "module_handle.h"
#include "rezuzid.h"

#include <string>
#include <utility>

namespace tsscan {

// Every entry point, in the order they are checked, with who needs it: Both programs,
// Tandemscan only (TwainTX.so does not offer it), or Neither (bound when present).
// clang-format off
#define TS_SCANNER_ENTRY_POINTS(X)                                                                 \
    X(NewTwain, Both) X(FreeTwain, Both) X(LoadSM, Both) X(UnloadSM, Both) X(OpenSM, Both)       \
    X(CloseSM, Both) X(OpenDS, Both) X(CloseDS, Both) X(EnableDS, Both) X(DisableDS, Both)       \
    X(CancelXfer, Tandemscan) X(EndXfer, Tandemscan) X(DoMemXfer, Both)                           \
    X(SetMemBandSize, Tandemscan) X(DoMemBandXfer, Tandemscan) X(GetAllDriverName, Tandemscan)    \
    X(GetFirstDriverName, Both) X(GetNextDriverName, Both) X(GetDefaultDriverName, Both)          \
    X(GetCapImageType, Both) X(GetResRange, Both) X(GetScaleRange, Both) X(GetMaxScanArea, Both)  \
    X(SetCapImageType, Both) X(SetCapXRes, Both) X(SetCapYRes, Both) X(SetCapXScale, Both)        \
    X(SetCapYScale, Both) X(SetScanSize, Both) X(SetCapBrightness, Tandemscan)                    \
    X(SetCapContrast, Tandemscan) X(SetCapThreshold, Tandemscan) X(SetCapColorWizard, Tandemscan) \
    X(SetCapDescreen, Tandemscan) X(SetCapGamma, Tandemscan) X(SetCapAutoDensity, Tandemscan)     \
    X(SupportCAP, Tandemscan) X(TwainFilter, Both) X(DoDisablePopupDlg, Tandemscan)               \
    X(EnableCustomCap, Tandemscan) X(GetXferProgress, Neither) X(SetXferNotify, Neither)          \
    X(GetTwainErrorMessage, Neither)
// clang-format on

struct ScannerApi {
#define TS_SCANNER_FIELD(name, need) decltype(&::name) name = nullptr;
    TS_SCANNER_ENTRY_POINTS(TS_SCANNER_FIELD)
#undef TS_SCANNER_FIELD
};

class ScannerComponent {
  public:
    enum class Kind { Tandemscan, Tilex }; // which entry points are required

    ScannerComponent() = default;
    ScannerComponent(const std::string& path, Kind kind) { load(path, kind); }
    ScannerComponent(ScannerComponent&& other) noexcept
        : module_(std::move(other.module_)), api_(std::exchange(other.api_, {})),
          error_(std::move(other.error_)), missingEntry_(std::exchange(other.missingEntry_, nullptr)) {}
    ScannerComponent& operator=(ScannerComponent&& other) noexcept {
        if (this != &other) {
            module_ = std::move(other.module_);
            api_ = std::exchange(other.api_, {});
            error_ = std::move(other.error_);
            missingEntry_ = std::exchange(other.missingEntry_, nullptr);
        }
        return *this;
    }
    ScannerComponent(const ScannerComponent&) = delete;
    ScannerComponent& operator=(const ScannerComponent&) = delete;

    // Loads and binds; false (with error()) when the file cannot be loaded or lacks an entry point
    // (then also missingEntry(), the first one in the list's order).
    bool load(const std::string& path, Kind kind) {
        unload();
        module_ = components::ModuleHandle::open(path, &error_, "cannot load " + path);
        if (!module_) return false;
        const auto bind = [&](auto& slot, const char* name, bool required) {
            if (!module_.bind(name, slot) && required && missingEntry_ == nullptr) missingEntry_ = name;
        };
        [[maybe_unused]] constexpr bool Both = true, Neither = false;
        const bool Tandemscan = kind == Kind::Tandemscan;
#define TS_SCANNER_BIND(name, need) bind(api_.name, #name, need);
        TS_SCANNER_ENTRY_POINTS(TS_SCANNER_BIND)
#undef TS_SCANNER_BIND
        if (missingEntry_ == nullptr) return true;
        error_ = path + " lacks the entry point " + missingEntry_;
        module_.reset();
        api_ = {};
        return false;
    }

    void unload() {
        module_.reset();
        api_ = {};
        error_.clear();
        missingEntry_ = nullptr;
    }

    bool loaded() const {
        return static_cast<bool>(module_);
    }
    const ScannerApi& api() const {
        return api_;
    }
    const std::string& error() const {
        return error_;
    }
    // The first required entry point the last load() did not find; null when none was missing.
    const char* missingEntry() const {
        return missingEntry_;
    }

  private:
    components::ModuleHandle module_;
    ScannerApi api_;
    std::string error_;
    const char* missingEntry_ = nullptr;
};

// One connection: start() runs NewTwain, LoadSM and OpenSM and undoes what it did when a step
// fails; closeManager() runs CloseSM and UnloadSM as far as they are due, close() (and the
// destructor) also FreeTwain. A source opened on the connection is the caller's to close first.
// The component must outlive the connection.
class ScannerConnection {
  public:
    // The step that failed in the last start().
    enum class Step { None, NewTwain, LoadSM, OpenSM };

    ScannerConnection() = default;
    explicit ScannerConnection(const ScannerApi& api) : api_(&api) {}
    ~ScannerConnection() { close(); }
    ScannerConnection(const ScannerConnection&) = delete;
    ScannerConnection& operator=(const ScannerConnection&) = delete;

    // False without touching an open connection.
    bool start(TwainWindow window = 0) {
        if (handle_ != 0 || api_ == nullptr) return false;
        window_ = window;
        failed_ = Step::NewTwain;
        TwainHandle handle = 0;
        if (!api_->NewTwain(&handle) || handle == 0) return false;
        handle_ = handle;
        failed_ = Step::LoadSM;
        if (!api_->LoadSM(handle_)) {
            close();
            return false;
        }
        managerLoaded_ = true;
        failed_ = Step::OpenSM;
        if (!api_->OpenSM(handle_, window_)) {
            close();
            return false;
        }
        managerOpen_ = true;
        failed_ = Step::None;
        return true;
    }
    bool start(const ScannerApi& api, TwainWindow window) {
        if (handle_ != 0) return false;
        api_ = &api;
        return start(window);
    }

    void closeManager() { closeManager(window_); }
    void closeManager(TwainWindow window) {
        if (handle_ == 0) return;
        if (managerOpen_) api_->CloseSM(handle_, window);
        if (managerLoaded_) api_->UnloadSM(handle_);
        managerOpen_ = managerLoaded_ = false;
    }
    void close() { close(window_); }
    void close(TwainWindow window) {
        if (handle_ == 0) return;
        closeManager(window);
        api_->FreeTwain(std::exchange(handle_, 0));
    }

    bool connected() const { return handle_ != 0; }
    bool managerOpen() const { return managerOpen_; }
    Step failedStep() const { return failed_; }
    TwainHandle handle() const { return handle_; }
    TwainWindow window() const { return window_; }
    std::string lastError() const {
        return api_ != nullptr && api_->GetTwainErrorMessage != nullptr ? api_->GetTwainErrorMessage(handle_)
                                                                        : "";
    }

  private:
    const ScannerApi* api_ = nullptr;
    TwainHandle handle_ = 0;
    TwainWindow window_ = 0;
    bool managerLoaded_ = false;
    bool managerOpen_ = false;
    Step failed_ = Step::None;
};

} // namespace tsscan
