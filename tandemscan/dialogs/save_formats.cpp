#include "save_formats.h"

#include <algorithm>
#include <cctype>

namespace tandemscan {

namespace {

bool endsWithNoCase(std::string_view text, std::string_view tail) {
    if (tail.empty() || text.size() < tail.size()) return false;
    return std::equal(tail.rbegin(), tail.rend(), text.rbegin(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

} // namespace

std::string_view saveFormatList(int bitsPerPixel, bool fromEightBit) {
    switch (bitsPerPixel) {
    case 1:
        return kLineArtFormats;
    case 8:
        return kGrayFormats;
    default:
        return fromEightBit ? kColourFromEightBitFormats : kColourFormats;
    }
}

SaveFormats::SaveFormats(std::string_view list) {
    std::size_t start = 0;
    while (start <= list.size() && formats_.size() < maxSaveFormats) {
        auto end = list.find('|', start);
        if (end == std::string_view::npos) end = list.size();
        const auto name = list.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        SaveFormat format{std::string(name), {}, {}};
        const auto open = name.find('(');
        const auto close = name.find(')', open == std::string_view::npos ? 0 : open);
        if (open != std::string_view::npos && close != std::string_view::npos) {
            format.pattern = std::string(name.substr(open + 1, close - open - 1));
            format.extension = format.pattern.starts_with('*') ? format.pattern.substr(1) : format.pattern;
        }
        formats_.push_back(std::move(format));
    }
}

std::vector<std::string> SaveFormats::nameFilters() const {
    std::vector<std::string> filters;
    for (const auto& f : formats_)
        filters.push_back(f.name);
    return filters;
}

std::string SaveFormats::suffixFor(std::string_view name) const {
    for (const auto& f : formats_)
        if (f.name == name && f.extension.starts_with('.')) return f.extension.substr(1);
    return {};
}

std::string SaveFormats::initialName(std::string_view name) const {
    if (!name.empty()) return std::string(name);
    return formats_.empty() ? std::string("*") : "*" + formats_.front().extension;
}

int SaveFormats::indexForName(std::string_view name) const {
    for (std::size_t i = 0; i < formats_.size(); ++i) {
        if (endsWithNoCase(name, formats_[i].extension)) return static_cast<int>(i) + 1;
    }
    return 1;
}

std::string SaveFormats::nameForFormat(std::string_view name, int index) const {
    if (index < 1 || index > static_cast<int>(formats_.size())) return std::string(name);
    const auto& extension = formats_[static_cast<std::size_t>(index - 1)].extension;
    if (name.empty()) return "*" + extension;
    const auto slash = name.find_last_of('/');
    const auto base = slash == std::string_view::npos ? 0 : slash + 1;
    const auto dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot < base) return std::string(name) + extension;
    return std::string(name.substr(0, dot)) + extension;
}

} // namespace tandemscan
