#include "scanner_link.h"

#include <algorithm>

namespace tilex {

ScannerLink::ScannerLink(tsscan::ScannerComponent component) : component_(std::move(component)) {}

ScannerLink::~ScannerLink() {
    close(connection_.window());
}

std::unique_ptr<ScannerLink> ScannerLink::load(const std::string& path, std::string* problem) {
    tsscan::ScannerComponent component;
    if (!component.load(path, tsscan::ScannerComponent::Kind::Tilex)) {
        if (problem)
            *problem = component.missingEntry() ? "the component lacks an entry point" : component.error();
        return nullptr;
    }
    return std::unique_ptr<ScannerLink>(new ScannerLink(std::move(component)));
}

bool ScannerLink::openManager(TwainWindow window) {
    return connection_.start(api(), window);
}

std::vector<std::string> ScannerLink::sourceNames() {
    std::vector<std::string> names;
    if (!connection_.managerOpen()) return names;
    const TwainHandle handle = connection_.handle();
    char name[TWAIN_TILEX_NAME_SIZE + 1] = {};
    if (!api().GetFirstDriverName(handle, name, TWAIN_TILEX_NAME_SIZE)) return names;
    names.emplace_back(name);
    while (names.size() < TWAIN_MAX_DRIVERS) {
        std::fill(std::begin(name), std::end(name), '\0');
        if (!api().GetNextDriverName(handle, name, TWAIN_TILEX_NAME_SIZE)) break;
        names.emplace_back(name);
    }
    return names;
}

bool ScannerLink::enableSource(const std::string& name, TwainWindow window) {
    if (!connection_.managerOpen()) return false;
    const TwainHandle handle = connection_.handle();
    if (!api().OpenDS(handle, name.c_str())) {
        connection_.close(window);
        return false;
    }
    sourceOpen_ = true;
    if (!api().EnableDS(handle, 1, window)) {
        api().CloseDS(handle);
        sourceOpen_ = false;
        connection_.close(window);
        return false;
    }
    sourceEnabled_ = true;
    return true;
}

uint16_t ScannerLink::filter(const TwainMessage& message) {
    return sourceEnabled_ ? api().TwainFilter(connection_.handle(), &message) : 0;
}

std::optional<Picture> ScannerLink::transfer() {
    if (!sourceEnabled_) return std::nullopt;
    const TwainHandle handle = connection_.handle();
    Picture picture;
    TwainXferResult result{};
    if (!api().DoMemXfer(handle, picture.header.data(), nullptr, &result) || result.byteCount == 0)
        return std::nullopt;
    picture.pixels.assign(result.byteCount, 0);
    if (!api().DoMemXfer(handle, picture.header.data(), picture.pixels.data(), &result) || !picture.usable())
        return std::nullopt;
    return picture;
}

void ScannerLink::setNotify(void (*notify)(void*), void* context) {
    if (api().SetXferNotify != nullptr && connection_.connected())
        api().SetXferNotify(connection_.handle(), notify, context);
}

void ScannerLink::close(TwainWindow window) {
    if (!connection_.connected()) return;
    if (sourceEnabled_) api().DisableDS(connection_.handle(), 1, window);
    if (sourceOpen_) api().CloseDS(connection_.handle());
    sourceEnabled_ = sourceOpen_ = false;
    connection_.close(window);
}

} // namespace tilex
