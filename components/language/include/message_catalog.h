// The translations of one message file: a section per window or purpose, each key an English
// line and its value the translated line. A line without an entry stays as it is.
#ifndef TS_MESSAGE_CATALOG_H
#define TS_MESSAGE_CATALOG_H

#include "ini_file.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace tandemscan {

class MessageCatalog {
  public:
    // Texts that belong to no single window: string-table texts, messages, list entries, tips.
    static constexpr std::string_view commonSection = "Strings";

    // False when the file cannot be read; the catalog then translates nothing.
    bool load(const std::filesystem::path& path);
    void loadText(std::string_view text);
    void clear();
    bool empty() const { return empty_; }

    // Translates each "\n"-separated line on its own, first in section, then in the common
    // section. Blanks around a line are kept around its translation, so "Image Size : " can be
    // keyed as "Image Size :" and still keep its spacing.
    std::string translate(std::string_view text, std::string_view section = commonSection) const;

  private:
    std::string translateLine(std::string_view line, std::string_view section) const;

    IniFile file_;
    bool empty_ = true;
};

} // namespace tandemscan

#endif
