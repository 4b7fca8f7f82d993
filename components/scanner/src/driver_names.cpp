#include "driver_names.h"

#include <algorithm>

namespace scanner {

namespace {

// Cuts at most to maxLength bytes, backing off over UTF-8 continuation bytes, and drops the
// spaces the cut leaves at the end.
std::string cutTo(std::string text, std::size_t maxLength) {
    if (text.size() > maxLength) {
        std::size_t end = maxLength;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
        text.resize(end);
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text;
}

std::string baseName(const DeviceIdentity& device) {
    std::string name = "Lumiview";
    for (const std::string* part : {&device.vendor, &device.model}) {
        if (!part->empty()) name += " " + *part;
    }
    if (device.vendor.empty() && device.model.empty()) name += " " + device.saneName;
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return name;
}

} // namespace

std::vector<std::string> offeredNames(std::span<const DeviceIdentity> devices, std::size_t maxLength) {
    std::vector<std::string> names;
    names.reserve(devices.size());
    for (const DeviceIdentity& device : devices) {
        const std::string base = baseName(device);
        std::string name = cutTo(base, maxLength);
        for (int n = 2; std::find(names.begin(), names.end(), name) != names.end(); ++n) {
            const std::string suffix = " #" + std::to_string(n);
            name = cutTo(base, maxLength > suffix.size() ? maxLength - suffix.size() : 0) + suffix;
        }
        names.push_back(std::move(name));
    }
    return names;
}

} // namespace scanner
