// C++ helpers for programs that use a scanner component: ScannerComponent loads RezuzID.so or
// Tilex/TwainTX.so with dlopen and binds its entry points by name (the component counts as
// missing unless every required one resolves); ScannerConnection holds one connection from
// NewTwain to FreeTwain and closes whatever is open, in order, when it goes.
#pragma once

#include "rezuzid.h"

#include <dlfcn.h>

#include <string>
#include <type_traits>
#include <utility>

namespace tsscan {

// The entry points both components offer.
#define TS_SCANNER_COMMON_ENTRY_POINTS(X)                                                          \
  X(NewTwain) X(FreeTwain) X(LoadSM) X(UnloadSM) X(OpenSM) X(CloseSM) X(OpenDS) X(CloseDS)        \
  X(EnableDS) X(DisableDS) X(DoMemXfer) X(GetFirstDriverName) X(GetNextDriverName)               \
  X(GetDefaultDriverName) X(GetCapImageType) X(GetResRange) X(GetScaleRange) X(GetMaxScanArea)   \
  X(SetCapImageType) X(SetCapXRes) X(SetCapYRes) X(SetCapXScale) X(SetCapYScale) X(SetScanSize)  \
  X(TwainFilter)
// The further entry points of RezuzID.so.
#define TS_SCANNER_TANDEMSCAN_ENTRY_POINTS(X)                                                      \
  X(CancelXfer) X(EndXfer) X(SetMemBandSize) X(DoMemBandXfer) X(GetAllDriverName)                \
  X(SetCapBrightness) X(SetCapContrast) X(SetCapThreshold) X(SetCapColorWizard)                  \
  X(SetCapDescreen) X(SetCapGamma) X(SetCapAutoDensity) X(SupportCAP) X(DoDisablePopupDlg)       \
  X(EnableCustomCap)
// Bound when present, never required.
#define TS_SCANNER_OPTIONAL_ENTRY_POINTS(X) X(GetXferProgress) X(SetXferNotify) X(GetTwainErrorMessage)

struct ScannerApi {
#define TS_SCANNER_FIELD(name) decltype(&::name) name = nullptr;
  TS_SCANNER_COMMON_ENTRY_POINTS(TS_SCANNER_FIELD)
  TS_SCANNER_TANDEMSCAN_ENTRY_POINTS(TS_SCANNER_FIELD)
  TS_SCANNER_OPTIONAL_ENTRY_POINTS(TS_SCANNER_FIELD)
#undef TS_SCANNER_FIELD
};

class ScannerComponent {
 public:
  enum class Kind { Tandemscan, Tilex };  // which entry points are required

  ScannerComponent() = default;
  ScannerComponent(const std::string& path, Kind kind) { load(path, kind); }
  ~ScannerComponent() { unload(); }
  ScannerComponent(ScannerComponent&& other) noexcept
      : module_(std::exchange(other.module_, nullptr)), api_(std::exchange(other.api_, {})),
        error_(std::move(other.error_)) {}
  ScannerComponent& operator=(ScannerComponent&& other) noexcept {
    if (this != &other) {
      unload();
      module_ = std::exchange(other.module_, nullptr);
      api_ = std::exchange(other.api_, {});
      error_ = std::move(other.error_);
    }
    return *this;
  }
  ScannerComponent(const ScannerComponent&) = delete;
  ScannerComponent& operator=(const ScannerComponent&) = delete;

  // Loads and binds; false (with error()) when the file cannot be loaded or lacks an entry point.
  bool load(const std::string& path, Kind kind) {
    unload();
    module_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module_ == nullptr) {
      const char* why = dlerror();
      error_ = why != nullptr ? why : "cannot load " + path;
      return false;
    }
    bool complete = true;
    const auto bind = [&](auto& slot, const char* name, bool required) {
      slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(module_, name));
      if (slot == nullptr && required && complete) {
        complete = false;
        error_ = path + " lacks the entry point " + name;
      }
    };
#define TS_SCANNER_BIND_REQUIRED(name) bind(api_.name, #name, true);
#define TS_SCANNER_BIND_FOR_KIND(name) bind(api_.name, #name, kind == Kind::Tandemscan);
#define TS_SCANNER_BIND_OPTIONAL(name) bind(api_.name, #name, false);
    TS_SCANNER_COMMON_ENTRY_POINTS(TS_SCANNER_BIND_REQUIRED)
    TS_SCANNER_TANDEMSCAN_ENTRY_POINTS(TS_SCANNER_BIND_FOR_KIND)
    TS_SCANNER_OPTIONAL_ENTRY_POINTS(TS_SCANNER_BIND_OPTIONAL)
#undef TS_SCANNER_BIND_REQUIRED
#undef TS_SCANNER_BIND_FOR_KIND
#undef TS_SCANNER_BIND_OPTIONAL
    if (!complete) unloadKeepingError();
    return complete;
  }

  void unload() {
    unloadKeepingError();
    error_.clear();
  }

  bool loaded() const { return module_ != nullptr; }
  const ScannerApi& api() const { return api_; }
  const std::string& error() const { return error_; }

 private:
  void unloadKeepingError() {
    if (module_ != nullptr) dlclose(module_);
    module_ = nullptr;
    api_ = {};
  }

  void* module_ = nullptr;
  ScannerApi api_;
  std::string error_;
};

// One connection: start() runs NewTwain, LoadSM and OpenSM and undoes them on failure; the
// destructor (or close()) runs DisableDS, CloseDS, CloseSM, UnloadSM and FreeTwain as needed.
// The component must outlive the connection.
class ScannerConnection {
 public:
  explicit ScannerConnection(const ScannerApi& api) : api_(&api) {}
  ~ScannerConnection() { close(); }
  ScannerConnection(const ScannerConnection&) = delete;
  ScannerConnection& operator=(const ScannerConnection&) = delete;

  bool start(TwainWindow window = 0) {
    close();
    window_ = window;
    if (api_->NewTwain == nullptr || !api_->NewTwain(&handle_)) return false;
    if (!api_->LoadSM(handle_)) {
      api_->FreeTwain(std::exchange(handle_, 0));
      return false;
    }
    if (!api_->OpenSM(handle_, window_)) {
      api_->UnloadSM(handle_);
      api_->FreeTwain(std::exchange(handle_, 0));
      return false;
    }
    return true;
  }

  void close() {
    if (handle_ == 0) return;
    api_->DisableDS(handle_, 0, window_);
    api_->CloseDS(handle_);
    api_->CloseSM(handle_, window_);
    api_->UnloadSM(handle_);
    api_->FreeTwain(std::exchange(handle_, 0));
  }

  TwainHandle handle() const { return handle_; }
  std::string lastError() const {
    return api_->GetTwainErrorMessage != nullptr ? api_->GetTwainErrorMessage(handle_) : "";
  }

 private:
  const ScannerApi* api_;
  TwainHandle handle_ = 0;
  TwainWindow window_ = 0;
};

}  // namespace tsscan
