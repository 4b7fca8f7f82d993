#include "ini_file.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

namespace tandemscan {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// "[name]" with optional blanks around; returns the trimmed name.
std::optional<std::string_view> sectionName(std::string_view line) {
    line = trimBlanks(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trimBlanks(line.substr(1, close - 1));
}

bool isComment(std::string_view line) {
    line = trimBlanks(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

// The text after the first '=', blanks trimmed and one pair of surrounding quotes removed.
std::string_view entryValue(std::string_view line) {
    auto text = trimBlanks(line.substr(line.find('=') + 1));
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') && text.back() == text.front()) {
        text = text.substr(1, text.size() - 2);
    }
    return text;
}

// A decimal integer with optional sign; trailing text after the digits is ignored, as
// hand-edited files often carry comments.
long long parseInt(const std::optional<std::string>& found, long long fallback) {
    if (!found || found->empty()) return fallback;
    const char* first = found->data();
    const char* last = first + found->size();
    if (*first == '+') ++first;
    long long result = 0;
    const auto [end, error] = std::from_chars(first, last, result);
    if (error != std::errc() || end == first) return fallback;
    return result;
}

std::string lowerKey(std::string_view key) {
    std::string lowered(trimBlanks(key));
    for (char& c : lowered)
        c = lowerAscii(c);
    return lowered;
}

bool fitsOneLine(std::string_view text) {
    return text.find('\n') == std::string_view::npos && text.find('\r') == std::string_view::npos;
}

} // namespace

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

bool IniFile::load() {
    lines_.clear();
    std::ifstream in(path_, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    loadText(buffer.str());
    return true;
}

void IniFile::loadText(std::string_view text) {
    lines_.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines_.push_back({std::string(line)});
        start = end + 1;
    }
}

std::optional<IniFile::SectionSpan> IniFile::findSection(std::string_view section) const {
    const auto wanted = trimBlanks(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = sectionName(lines_[i].raw);
        if (!name || !equalsNoCase(*name, wanted)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !sectionName(lines_[end].raw))
            ++end;
        return SectionSpan{i, i + 1, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniFile::findKey(const SectionSpan& span, std::string_view key) const {
    const auto wanted = trimBlanks(key);
    for (std::size_t i = span.begin; i < span.end; ++i) {
        const std::string_view line = lines_[i].raw;
        if (isComment(line)) continue;
        const auto eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        if (equalsNoCase(trimBlanks(line.substr(0, eq)), wanted)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const auto span = findSection(section);
    if (!span) return std::nullopt;
    const auto index = findKey(*span, key);
    if (!index) return std::nullopt;
    return std::string(entryValue(lines_[*index].raw));
}

std::string IniFile::readString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
    auto found = value(section, key);
    return found ? std::move(*found) : std::string(fallback);
}

long long IniFile::readInt(std::string_view section, std::string_view key, long long fallback) const {
    return parseInt(value(section, key), fallback);
}

IniSection IniFile::section(std::string_view name) const {
    IniSection found;
    const auto span = findSection(name);
    if (!span) return found;
    for (std::size_t i = span->begin; i < span->end; ++i) {
        const std::string_view line = lines_[i].raw;
        const auto eq = line.find('=');
        if (isComment(line) || eq == std::string_view::npos) continue;
        found.values_.try_emplace(lowerKey(line.substr(0, eq)), entryValue(line));
    }
    return found;
}

std::optional<std::string> IniSection::value(std::string_view key) const {
    const auto found = values_.find(lowerKey(key));
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

std::string IniSection::readString(std::string_view key, std::string_view fallback) const {
    auto found = value(key);
    return found ? std::move(*found) : std::string(fallback);
}

long long IniSection::readInt(std::string_view key, long long fallback) const {
    return parseInt(value(key), fallback);
}

namespace {

bool writableSection(std::string_view section) {
    const auto text = trimBlanks(section);
    return !text.empty() && fitsOneLine(section) && text.find(']') == std::string_view::npos;
}

bool writableEntry(std::string_view key, std::string_view value) {
    const auto text = trimBlanks(key);
    return !text.empty() && fitsOneLine(key) && fitsOneLine(value) &&
           text.find('=') == std::string_view::npos && text.front() != '[' && text.front() != ';' &&
           text.front() != '#';
}

std::string entryLine(std::string_view key, std::string_view value) {
    std::string line;
    line.append(trimBlanks(key)).append("=").append(value);
    return line;
}

} // namespace

std::size_t IniFile::appendPoint(const SectionSpan& span) const {
    // After the section's last non-blank line, so a blank line before the next section stays.
    std::size_t insertAt = span.end;
    while (insertAt > span.begin && trimBlanks(lines_[insertAt - 1].raw).empty())
        --insertAt;
    return insertAt;
}

bool IniFile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    if (!writableSection(section) || !writableEntry(key, value)) return false;
    const auto sectionText = trimBlanks(section);
    std::string line = entryLine(key, value);
    const auto span = findSection(sectionText);
    if (!span) {
        lines_.push_back({"[" + std::string(sectionText) + "]"});
        lines_.push_back({std::move(line)});
        return true;
    }
    if (const auto index = findKey(*span, key)) {
        lines_[*index].raw = std::move(line);
        return true;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(appendPoint(*span)), {std::move(line)});
    return true;
}

bool IniFile::writeStrings(std::string_view section,
                           const std::vector<std::pair<std::string, std::string>>& entries) {
    if (!writableSection(section)) return entries.empty();
    const auto sectionText = trimBlanks(section);
    const auto span = findSection(sectionText);
    // Each key's first line in the section, then the lines to add at its end, in call order.
    std::unordered_map<std::string, std::size_t> existing;
    for (std::size_t i = span ? span->begin : 0; span && i < span->end; ++i) {
        const std::string_view line = lines_[i].raw;
        const auto eq = line.find('=');
        if (!isComment(line) && eq != std::string_view::npos)
            existing.try_emplace(lowerKey(line.substr(0, eq)), i);
    }
    std::unordered_map<std::string, std::size_t> added;
    std::vector<Line> additions;
    bool all = true;
    for (const auto& [key, value] : entries) {
        if (!writableEntry(key, value)) {
            all = false;
            continue;
        }
        const std::string name = lowerKey(key);
        if (const auto found = existing.find(name); found != existing.end()) {
            lines_[found->second].raw = entryLine(key, value);
        } else if (const auto again = added.find(name); again != added.end()) {
            additions[again->second].raw = entryLine(key, value);
        } else {
            added.emplace(name, additions.size());
            additions.push_back({entryLine(key, value)});
        }
    }
    if (span) {
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(appendPoint(*span)), additions.begin(),
                      additions.end());
    } else if (!additions.empty()) {
        lines_.push_back({"[" + std::string(sectionText) + "]"});
        lines_.insert(lines_.end(), additions.begin(), additions.end());
    }
    return all;
}

bool IniFile::writeInt(std::string_view section, std::string_view key, long long value) {
    return writeString(section, key, std::to_string(value));
}

bool IniFile::removeKey(std::string_view section, std::string_view key) {
    bool removed = false;
    while (const auto span = findSection(section)) {
        const auto index = findKey(*span, key);
        if (!index) break;
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*index));
        removed = true;
    }
    return removed;
}

std::vector<std::string> IniFile::sections() const {
    std::vector<std::string> names;
    for (const auto& line : lines_) {
        if (const auto name = sectionName(line.raw)) names.emplace_back(*name);
    }
    return names;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> names;
    const auto span = findSection(section);
    if (!span) return names;
    for (std::size_t i = span->begin; i < span->end; ++i) {
        const std::string_view line = lines_[i].raw;
        const auto eq = line.find('=');
        if (isComment(line) || eq == std::string_view::npos) continue;
        names.emplace_back(trimBlanks(line.substr(0, eq)));
    }
    return names;
}

std::string IniFile::text() const {
    std::string out;
    for (const auto& line : lines_)
        out.append(line.raw).append("\n");
    return out;
}

bool IniFile::save() const {
    std::error_code error;
    const auto status = std::filesystem::status(path_, error);
    if (!error && std::filesystem::exists(status)) {
        std::filesystem::permissions(path_, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, error);
    }
    const std::string content = text();
    auto temporary = path_;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (out) {
            out << content;
            out.close();
            if (out && ::rename(temporary.c_str(), path_.c_str()) == 0) return true;
        }
        std::filesystem::remove(temporary, error);
    }
    // The folder may refuse new files while the file itself is writable: write in place.
    std::ofstream out(path_, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << content;
    out.close();
    return static_cast<bool>(out);
}

} // namespace tandemscan
