// Sectioned "key=value" text files (.cfg, .ini, .msg): read, change and write them without
// disturbing lines the program does not touch. Section and key names match without regard to
// case and surrounding blanks, as users edit these files by hand.
#ifndef TS_INI_FILE_H
#define TS_INI_FILE_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tandemscan {

// The keys and values of one section, gathered in one pass over the file: for readers that look
// up many keys of a large file. Lookups answer exactly as IniFile's own do.
class IniSection {
  public:
    std::optional<std::string> value(std::string_view key) const;
    std::string readString(std::string_view key, std::string_view fallback = {}) const;
    long long readInt(std::string_view key, long long fallback = 0) const;

  private:
    friend class IniFile;
    // Key with ASCII letters lowered and blanks trimmed -> value; the first entry of a key wins.
    std::unordered_map<std::string, std::string> values_;
};

class IniFile {
  public:
    IniFile() = default;
    explicit IniFile(std::filesystem::path path) : path_(std::move(path)) {}

    // Reads the file at path(); false (and an empty file) when it cannot be read.
    bool load();
    // Parses text as the file's content; used for data that does not come from disk.
    void loadText(std::string_view text);

    const std::filesystem::path& path() const { return path_; }
    void setPath(std::filesystem::path path) { path_ = std::move(path); }

    // The value of the first matching key, blanks trimmed and one pair of surrounding quotes
    // removed; nullopt when the section or key is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback = {}) const;
    // A decimal integer with optional sign; fallback when missing, not a number or out of range.
    long long readInt(std::string_view section, std::string_view key, long long fallback = 0) const;
    // The first matching section's keys at once; empty when the section is missing.
    IniSection section(std::string_view name) const;

    // Replaces the key's line in place, or adds it at the end of its section, or adds the
    // section at the end of the file. False when section or key cannot be written as one line.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    bool writeInt(std::string_view section, std::string_view key, long long value);
    // Writes many keys of one section in one pass over the file, with the lines that writeString
    // for each entry in turn would give; for writers of long lists. False when an entry was
    // skipped as writeString would refuse it.
    bool writeStrings(std::string_view section,
                      const std::vector<std::pair<std::string, std::string>>& entries);
    // Removes every line of the key; true when one was there.
    bool removeKey(std::string_view section, std::string_view key);

    std::vector<std::string> sections() const;
    std::vector<std::string> keys(std::string_view section) const;

    std::string text() const;
    // Writes text() to path(). A read-only file is made writable for its owner first; the new
    // content replaces the old in one step so a failed write leaves the old file whole.
    bool save() const;

  private:
    struct Line {
        std::string raw;
    };
    // Index range [begin, end) of the lines that belong to a section's body.
    struct SectionSpan {
        std::size_t header;
        std::size_t begin;
        std::size_t end;
    };
    std::optional<SectionSpan> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(const SectionSpan& span, std::string_view key) const;
    // Where a new key of the section goes.
    std::size_t appendPoint(const SectionSpan& span) const;

    std::filesystem::path path_;
    std::vector<Line> lines_;
};

// Trims blanks (space, tab, CR, LF) from both ends.
std::string_view trimBlanks(std::string_view text);
// Compares ASCII letters without regard to case.
bool equalsNoCase(std::string_view a, std::string_view b);

} // namespace tandemscan

#endif
