// The interface translation file (Tilex.msg): ini text with one section per window or purpose
// and one key per English line whose value is the translated line.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tilex {

class MessageFile {
  public:
    // Longest key, value or whole translated text, in bytes.
    static constexpr size_t maxText = 255;

    // A missing or unreadable file is an empty table: every text stays English.
    static MessageFile load(const std::string& path);
    static MessageFile parse(std::string_view text);

    // The value of a key; sections and keys match without regard to ASCII case.
    std::optional<std::string> lookup(std::string_view section, std::string_view key) const;
    // Each line translated on its own; lines without a (non-empty) entry stay as written.
    std::string translate(std::string_view text, std::string_view section) const;

    bool empty() const { return entries_.empty(); }

  private:
    std::map<std::string, std::string> entries_; // "section\nkey" in lower case -> value
};

// The program's translation, set once when the main window starts.
void setMessageFilePath(const std::string& path);
std::string translateText(std::string_view text, std::string_view section);

// Cut to at most `bytes` bytes without splitting a UTF-8 character.
std::string cutUtf8(std::string text, size_t bytes);

} // namespace tilex
