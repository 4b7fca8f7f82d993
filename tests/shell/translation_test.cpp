#include "message_catalog.h"
#include "string_table.h"

#include <gtest/gtest.h>
#include <set>

namespace tandemscan {
namespace {

// Texts that read the same in German.
const std::set<std::string_view> sameInGerman = {
    "75 dpi", "100 dpi", "150 dpi", "300 dpi", "400 dpi", "600 dpi", " * ", " dpi ", "Zunt--Tandemscan"};

TEST(GermanTranslation, CoversTheWholeStringTable) {
    MessageCatalog german;
    ASSERT_TRUE(german.load(std::string(TS_SOURCE_DIR) + "/translations/de/ZidureTS.msg"));
    for (const auto& [id, english] : stringTable()) {
        if (sameInGerman.count(english)) continue;
        if (english.find('|') != std::string_view::npos) {
            // A format list: each name is translated on its own when the save dialog shows it.
            std::size_t start = 0;
            while (start < english.size()) {
                auto end = english.find('|', start);
                if (end == std::string_view::npos) end = english.size();
                const auto name = english.substr(start, end - start);
                EXPECT_NE(german.translate(name), name) << id << ": " << name;
                start = end + 1;
            }
            continue;
        }
        EXPECT_NE(german.translate(english), english) << id << ": " << english;
    }
}

// Failures the workspace reports in its own words, not from the string table.
TEST(GermanTranslation, CoversTheWorkspaceFailures) {
    MessageCatalog german;
    ASSERT_TRUE(german.load(std::string(TS_SOURCE_DIR) + "/translations/de/ZidureTS.msg"));
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"Fail to save file", "Die Datei konnte nicht gespeichert werden"},
        {"Not enough memory", "Nicht genügend Speicher"},
        {"Both parts are needed", "Beide Teile werden benötigt"},
        {"No file name", "Kein Dateiname"},
        {"No image file component", "Keine Bilddatei-Komponente"},
        {"The side holds no part", "Diese Seite enthält keinen Teil"},
        {"Cannot load file, file may be lost", "Die Datei kann nicht geladen werden, sie fehlt vielleicht"},
    };
    for (const auto& [english, expected] : cases)
        EXPECT_EQ(german.translate(english), expected) << english;
}

TEST(GermanTranslation, WindowTextsAndTemplatesKeepTheirShape) {
    MessageCatalog german;
    ASSERT_TRUE(german.load(std::string(TS_SOURCE_DIR) + "/translations/de/ZidureTS.msg"));
    struct Case {
        const char* section;
        const char* english;
        const char* expected;
    };
    const Case cases[] = {
        {"MainWindow", "&Input", "&Einlesen"},
        {"MainWindow", "S&ave as...", "Spei&chern..."},
        {"PicShowDlg", "Image Size: %d * %d pixels", "Bildgröße: %d × %d Pixel"},
        {"PicShowDlg", "Resolution: %ld DPI", "Auflösung: %ld dpi"},
        {"Strings", "Image Size : ", "Bildgröße : "},
        {"Strings", "     Resolution : ", "     Auflösung : "},
        {"Strings", "Do you want to save file(s) before exiting?", "Möchten Sie vor dem Beenden speichern?"},
        {"HelpWindow", "Tandemscan Help", "Tandemscan-Hilfe"},
        {"SendTo", "Add", "Hinzufügen"}, // dialogs without a section of their own use the common texts
    };
    for (const auto& c : cases)
        EXPECT_EQ(german.translate(c.english, c.section), c.expected) << c.english;
}

} // namespace
} // namespace tandemscan
