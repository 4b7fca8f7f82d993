#include "message_catalog.h"

namespace tandemscan {

bool MessageCatalog::load(const std::filesystem::path& path) {
    file_.setPath(path);
    const bool ok = file_.load();
    empty_ = !ok || file_.sections().empty();
    return ok;
}

void MessageCatalog::loadText(std::string_view text) {
    file_.loadText(text);
    empty_ = file_.sections().empty();
}

void MessageCatalog::clear() {
    file_.loadText({});
    empty_ = true;
}

std::string MessageCatalog::translateLine(std::string_view line, std::string_view section) const {
    const auto key = trimBlanks(line);
    if (key.empty()) return std::string(line);
    auto found = file_.value(section, key);
    if ((!found || found->empty()) && section != commonSection) found = file_.value(commonSection, key);
    if (!found || found->empty()) return std::string(line);
    const auto lead = static_cast<std::size_t>(key.data() - line.data());
    const auto trail = line.size() - lead - key.size();
    std::string result(line.substr(0, lead));
    result.append(*found).append(line.substr(line.size() - trail));
    return result;
}

std::string MessageCatalog::translate(std::string_view text, std::string_view section) const {
    if (empty_) return std::string(text);
    std::string result;
    std::size_t start = 0;
    while (true) {
        const auto end = text.find('\n', start);
        result +=
            translateLine(text.substr(start, end == std::string_view::npos ? end : end - start), section);
        if (end == std::string_view::npos) break;
        result += '\n';
        start = end + 1;
    }
    return result;
}

} // namespace tandemscan
