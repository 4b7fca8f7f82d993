#include "mutilang.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

namespace {

QApplication& app() {
    static int argc = 1;
    static char name[] = "mutilang_test";
    static char* argv[] = {name, nullptr};
    static QApplication instance(argc, argv);
    return instance;
}

class MutiLangTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app();
        ASSERT_TRUE(dir.isValid());
        path = (dir.path() + "/ZidureTS.msg").toStdString();
        std::ofstream(path) << "[Strings]\n"
                               "Error=Fehler\n"
                               "Color=Farbe\n"
                               "Gray=Graustufen\n"
                               "Select data source=Datenquelle wählen\n"
                               "[Sample]\n"
                               "Sample window=Beispielfenster\n"
                               "&Input=&Einlesen\n"
                               "Options=Optionen\n"
                               "Line one=Zeile eins\n"
                               "[Menu]\n"
                               "&Undo=&Rückgängig\n"
                               "Zoom=Vergrößern\n"
                               "100%=100 %\n";
        lang.PowerOn(path.c_str());
    }
    QTemporaryDir dir;
    std::string path;
    CMutiLang lang;
};

TEST_F(MutiLangTest, Trans2LocalCutsAndTerminates) {
    struct Case {
        const char* source;
        int size;
        const char* expected;
    };
    const Case cases[] = {
        {"Error", 260, "Fehler"},
        {"Error", 7, "Fehler"},
        {"Error", 4, "Feh"},
        {"Error", 1, ""},
        {"Unknown", 260, "Unknown"},
        {"Gray", 260, "Graustufen"},
        {"Select data source", 260, "Datenquelle wählen"},
        {"Select data source", 15, "Datenquelle w"}, // never half of "ä"
        {"Select data source", 16, "Datenquelle w\xC3\xA4"},
    };
    for (const auto& c : cases) {
        char buffer[300];
        std::memset(buffer, 'x', sizeof buffer);
        lang.trans2local(c.source, buffer, c.size);
        EXPECT_STREQ(buffer, c.expected) << c.source << " in " << c.size;
    }
    char same[260] = "Color";
    lang.trans2local(same, same, sizeof same); // the usual call: one buffer for both
    EXPECT_STREQ(same, "Farbe");
    char untouched[4] = "abc";
    lang.trans2local("Error", untouched, 0);
    EXPECT_STREQ(untouched, "abc");
}

TEST_F(MutiLangTest, TranslatesDialogKeepingChoices) {
    QDialog dialog;
    dialog.setObjectName("Sample");
    dialog.setWindowTitle("Sample window");
    auto* layout = new QVBoxLayout(&dialog);
    auto* group = new QGroupBox("Options");
    auto* inner = new QVBoxLayout(group);
    auto* button = new QPushButton("&Input");
    button->setToolTip("Select data source");
    inner->addWidget(button);
    auto* label = new QLabel("Line one\nLine two");
    inner->addWidget(label);
    layout->addWidget(group);
    auto* combo = new QComboBox;
    combo->addItem("Gray", 8);
    combo->addItem("Color", 24);
    combo->addItem("Line-art", 1);
    combo->setCurrentIndex(1);
    layout->addWidget(combo);
    auto* child = new QDialog(&dialog); // a window of its own: translated when it opens
    auto* childButton = new QPushButton("&Input", child);

    EXPECT_EQ(lang.InitMultiLangDlg(&dialog), 1);
    EXPECT_EQ(dialog.windowTitle(), "Beispielfenster");
    EXPECT_EQ(group->title(), "Optionen");
    EXPECT_EQ(button->text(), "&Einlesen");
    EXPECT_EQ(button->toolTip(), QString::fromUtf8("Datenquelle wählen"));
    EXPECT_EQ(label->text(), "Zeile eins\nLine two");
    EXPECT_EQ(combo->itemText(0), "Graustufen");
    EXPECT_EQ(combo->itemText(1), "Farbe");
    EXPECT_EQ(combo->itemText(2), "Line-art");
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(combo->itemData(1).toInt(), 24);
    EXPECT_EQ(childButton->text(), "&Input");
    EXPECT_EQ(lang.InitMultiLangDlg(nullptr), 0);
}

TEST_F(MutiLangTest, TranslatesMenusAndSubmenus) {
    QMenu menu;
    auto* undo = menu.addAction("&Undo");
    menu.addSeparator();
    auto* zoom = menu.addMenu("Zoom");
    auto* level = zoom->addAction("100%");
    auto* other = menu.addAction("Other");
    EXPECT_EQ(lang.menutrans(&menu, nullptr), 1);
    EXPECT_EQ(undo->text(), QString::fromUtf8("&Rückgängig"));
    EXPECT_EQ(zoom->title(), QString::fromUtf8("Vergrößern"));
    EXPECT_EQ(level->text(), "100 %");
    EXPECT_EQ(other->text(), "Other");
}

TEST_F(MutiLangTest, PowerOffAndMissingFileLeaveEnglish) {
    EXPECT_TRUE(lang.hasTranslations());
    EXPECT_EQ(lang.translate("Error"), "Fehler");
    EXPECT_EQ(lang.translate("&Input", "Sample"), "&Einlesen");
    lang.PowerOff();
    EXPECT_FALSE(lang.hasTranslations());
    EXPECT_EQ(lang.translate("Error"), "Error");
    CMutiLang missing;
    missing.PowerOn((dir.path() + "/none.msg").toUtf8().constData());
    char buffer[260];
    missing.trans2local("Error", buffer, sizeof buffer);
    EXPECT_STREQ(buffer, "Error");
    missing.PowerOn(nullptr);
    EXPECT_FALSE(missing.hasTranslations());
}

} // namespace
