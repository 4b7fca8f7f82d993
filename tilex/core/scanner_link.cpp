#include "scanner_link.h"

#include "shared_module.h"

namespace tilex {

// Every one of these must be present for the game to use the component.
// clang-format off
#define TILEX_SCANNER_ENTRY_POINTS(X)                                                                \
    X(NewTwain) X(FreeTwain) X(LoadSM) X(UnloadSM) X(OpenSM) X(CloseSM) X(OpenDS) X(CloseDS)         \
    X(EnableDS) X(DisableDS) X(DoMemXfer) X(GetFirstDriverName) X(GetNextDriverName)                 \
    X(GetDefaultDriverName) X(GetCapImageType) X(GetResRange) X(GetScaleRange) X(GetMaxScanArea)     \
    X(SetCapImageType) X(SetCapXRes) X(SetCapYRes) X(SetCapXScale) X(SetCapYScale) X(SetScanSize)    \
    X(TwainFilter)
// clang-format on

struct ScannerLink::Api {
#define TILEX_SCANNER_FIELD(name) decltype(&::name) name = nullptr;
    TILEX_SCANNER_ENTRY_POINTS(TILEX_SCANNER_FIELD)
#undef TILEX_SCANNER_FIELD
    decltype(&::SetXferNotify) SetXferNotify = nullptr; // optional
};

ScannerLink::ScannerLink(void* module, std::unique_ptr<Api> api) : module_(module), api_(std::move(api)) {}

ScannerLink::~ScannerLink() {
    close(window_);
    closeModule(module_);
}

std::unique_ptr<ScannerLink> ScannerLink::load(const std::string& path, std::string* problem) {
    ModuleHandle module(openModule(path, problem));
    if (!module) return nullptr;
    auto api = std::make_unique<Api>();
    bool complete = true;
#define TILEX_SCANNER_BIND(name) complete = bindSymbol(module.get(), #name, api->name) && complete;
    TILEX_SCANNER_ENTRY_POINTS(TILEX_SCANNER_BIND)
#undef TILEX_SCANNER_BIND
    if (!complete) {
        if (problem) *problem = "the component lacks an entry point";
        return nullptr;
    }
    bindSymbol(module.get(), "SetXferNotify", api->SetXferNotify);
    return std::unique_ptr<ScannerLink>(new ScannerLink(module.release(), std::move(api)));
}

bool ScannerLink::openManager(TwainWindow window) {
    if (handle_ != 0) return false;
    window_ = window;
    TwainHandle handle = 0;
    if (!api_->NewTwain(&handle) || handle == 0) return false;
    handle_ = handle;
    if (!api_->LoadSM(handle_)) {
        api_->FreeTwain(handle_);
        handle_ = 0;
        return false;
    }
    if (!api_->OpenSM(handle_, window)) {
        api_->UnloadSM(handle_);
        api_->FreeTwain(handle_);
        handle_ = 0;
        return false;
    }
    managerOpen_ = true;
    return true;
}

std::vector<std::string> ScannerLink::sourceNames() {
    std::vector<std::string> names;
    if (!managerOpen_) return names;
    char name[TWAIN_TILEX_NAME_SIZE + 1] = {};
    if (!api_->GetFirstDriverName(handle_, name, TWAIN_TILEX_NAME_SIZE)) return names;
    names.emplace_back(name);
    while (names.size() < TWAIN_MAX_DRIVERS) {
        std::fill(std::begin(name), std::end(name), '\0');
        if (!api_->GetNextDriverName(handle_, name, TWAIN_TILEX_NAME_SIZE)) break;
        names.emplace_back(name);
    }
    return names;
}

bool ScannerLink::enableSource(const std::string& name, TwainWindow window) {
    if (!managerOpen_) return false;
    if (!api_->OpenDS(handle_, name.c_str())) {
        closeManager(window);
        return false;
    }
    sourceOpen_ = true;
    if (!api_->EnableDS(handle_, 1, window)) {
        api_->CloseDS(handle_);
        sourceOpen_ = false;
        closeManager(window);
        return false;
    }
    sourceEnabled_ = true;
    return true;
}

uint16_t ScannerLink::filter(const TwainMessage& message) {
    return sourceEnabled_ ? api_->TwainFilter(handle_, &message) : 0;
}

std::optional<Picture> ScannerLink::transfer() {
    if (!sourceEnabled_) return std::nullopt;
    Picture picture;
    TwainXferResult result{};
    if (!api_->DoMemXfer(handle_, picture.header.data(), nullptr, &result) || result.byteCount == 0)
        return std::nullopt;
    picture.pixels.assign(result.byteCount, 0);
    if (!api_->DoMemXfer(handle_, picture.header.data(), picture.pixels.data(), &result) || !picture.usable())
        return std::nullopt;
    return picture;
}

void ScannerLink::setNotify(void (*notify)(void*), void* context) {
    if (api_->SetXferNotify != nullptr && handle_ != 0) api_->SetXferNotify(handle_, notify, context);
}

void ScannerLink::closeManager(TwainWindow window) {
    if (handle_ == 0) return;
    if (managerOpen_) api_->CloseSM(handle_, window);
    api_->UnloadSM(handle_);
    api_->FreeTwain(handle_);
    handle_ = 0;
    managerOpen_ = false;
}

void ScannerLink::close(TwainWindow window) {
    if (handle_ == 0) return;
    if (sourceEnabled_) api_->DisableDS(handle_, 1, window);
    if (sourceOpen_) api_->CloseDS(handle_);
    sourceEnabled_ = sourceOpen_ = false;
    closeManager(window);
}

} // namespace tilex
