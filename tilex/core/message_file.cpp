#include "message_file.h"

#include <fstream>
#include <sstream>

namespace tilex {

namespace {

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

std::string entryKey(std::string_view section, std::string_view key) {
    return lower(trim(section)) + '\n' + lower(trim(key));
}

MessageFile& programFile() {
    static MessageFile file;
    return file;
}

} // namespace

std::string cutUtf8(std::string text, size_t bytes) {
    if (text.size() <= bytes) return text;
    size_t cut = bytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    text.resize(cut);
    return text;
}

MessageFile MessageFile::parse(std::string_view text) {
    MessageFile file;
    std::string section;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = trim(text.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.front() == '[') {
            const auto close = line.find(']');
            section =
                std::string(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string_view::npos || section.empty()) continue;
        std::string_view value = trim(line.substr(equals + 1));
        // A quoted value keeps its leading and trailing blanks.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        file.entries_.emplace(entryKey(section, line.substr(0, equals)),
                              cutUtf8(std::string(value), maxText));
    }
    return file;
}

MessageFile MessageFile::load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

std::optional<std::string> MessageFile::lookup(std::string_view section, std::string_view key) const {
    if (key.size() > maxText) return std::nullopt;
    const auto found = entries_.find(entryKey(section, key));
    if (found == entries_.end()) return std::nullopt;
    return found->second;
}

std::string MessageFile::translate(std::string_view text, std::string_view section) const {
    std::string out;
    size_t start = 0;
    while (true) {
        const size_t end = text.find('\n', start);
        const std::string_view line =
            text.substr(start, end == std::string_view::npos ? text.npos : end - start);
        const auto value = line.empty() ? std::nullopt : lookup(section, line);
        out += value && !value->empty() ? std::string_view(*value) : line;
        if (end == std::string_view::npos) break;
        out += '\n';
        start = end + 1;
    }
    // Only a translation is held to the length limit: English texts of the program pass as written.
    return out == text ? out : cutUtf8(std::move(out), maxText);
}

void setMessageFilePath(const std::string& path) {
    programFile() = MessageFile::load(path);
}

std::string translateText(std::string_view text, std::string_view section) {
    return programFile().translate(text, section);
}

} // namespace tilex
