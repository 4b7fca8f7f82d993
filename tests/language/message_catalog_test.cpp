#include "message_catalog.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* germanSample =
    "[Strings]\n"
    "Error=Fehler\n"
    "Image Size :=Bildgröße :\n"
    "Do you want to save file(s) before exiting?=Möchten Sie vor dem Beenden speichern?\n"
    "Empty=\n"
    "[MainWindow]\n"
    "&Input=&Einlesen\n"
    "Error=Fehlermeldung\n";

TEST(MessageCatalog, TranslatesLineByLine) {
    tandemscan::MessageCatalog catalog;
    catalog.loadText(germanSample);
    struct Case {
        const char* section;
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"Strings", "Error", "Fehler"},
        {"strings", "error", "Fehler"},               // keys match without regard to case
        {"Strings", "Image Size : ", "Bildgröße : "}, // blanks around a line are kept
        {"Strings", "  Error", "  Fehler"},
        {"Strings", "Error\nError", "Fehler\nFehler"}, // each line on its own
        {"Strings", "Error\n\nUnknown", "Fehler\n\nUnknown"},
        {"Strings", "Empty", "Empty"}, // an empty value leaves the line English
        {"Strings", "Unknown", "Unknown"},
        {"Strings", "", ""},
        {"Strings", "\n", "\n"},
        {"MainWindow", "&Input", "&Einlesen"},
        {"MainWindow", "Error", "Fehlermeldung"}, // the window's own entry comes first
        {"MainWindow", "Do you want to save file(s) before exiting?",
         "Möchten Sie vor dem Beenden speichern?"}, // then the common texts
        {"Strings", "&Input", "&Input"},            // but not the other way round
        {"NoSuch", "Error", "Fehler"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(catalog.translate(c.text, c.section), c.expected) << c.section << ": " << c.text;
    }
}

TEST(MessageCatalog, WithoutFileEverythingStaysEnglish) {
    tandemscan::MessageCatalog catalog;
    EXPECT_FALSE(catalog.load("/nonexistent/ZidureTS.msg"));
    EXPECT_TRUE(catalog.empty());
    EXPECT_EQ(catalog.translate("Error"), "Error");
    catalog.loadText(germanSample);
    EXPECT_FALSE(catalog.empty());
    catalog.clear();
    EXPECT_EQ(catalog.translate("Error"), "Error");
}

} // namespace
