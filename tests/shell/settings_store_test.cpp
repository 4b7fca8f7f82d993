#include "settings_store.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using testing::readFile;
using testing::TempDir;
using testing::writeFile;

constexpr const char* laterRunFile =
    "[first run]\nFlag=0\n"
    "[data source]\nDataSource=1\n"
    "[scanner driver]\nDriverCount=3\nDriverName=Lumiview test frontend\nDriverSource=2\n"
    "[image type]\nImgType=1\n"
    "[resolution]\nImgResIndex=7\nImgResValue=450\n"
    "[main window]\nLeft=10\nTop=20\nRight=610\nBottom=560\nMinWidth=575\nMinHeight=513\n"
    "[float window]\nLeft=-4\nTop=30\n"
    "[move explain]\nExplain=1\n";

ScanSettings sampleScan(int resolutionIndex, int resolution) {
    ScanSettings scan;
    scan.source = DataSource::Scanner;
    scan.imageType = ColourType::Gray;
    scan.driverTable[0] = "Lumiview A";
    scan.driverTable[1] = "Lumiview B";
    scan.driverIndex = 1;
    scan.resolutionIndex = resolutionIndex;
    scan.resolution = resolution;
    return scan;
}

TEST(SettingsStore, MissingFileIsFirstRun) {
    TempDir dir;
    SettingsStore store(dir.path / settingsFileName);
    EXPECT_FALSE(store.load());
    EXPECT_TRUE(store.firstRun());
    EXPECT_EQ(store.driverCount(), 1);
    EXPECT_EQ(store.driverIndex(), 0);
    EXPECT_EQ(store.windowRect(), Rect{});
    EXPECT_EQ(store.moveExplain(), 0);
    EXPECT_EQ(store.resolutionIndex(), 0);
    EXPECT_EQ(store.driverName(), "");
}

TEST(SettingsStore, LaterRunReadsEverything) {
    TempDir dir;
    writeFile(dir.path / settingsFileName, laterRunFile);
    SettingsStore store(dir.path / settingsFileName);
    ASSERT_TRUE(store.load());
    EXPECT_FALSE(store.firstRun());
    EXPECT_EQ(store.dataSource(), 1);
    EXPECT_EQ(store.driverCount(), 3);
    EXPECT_EQ(store.driverName(), "Lumiview test frontend");
    EXPECT_EQ(store.driverIndex(), 2);
    EXPECT_EQ(store.imageType(), 1);
    EXPECT_EQ(store.resolutionIndex(), 7);
    EXPECT_EQ(store.resolutionValue(), 450);
    EXPECT_EQ(store.windowRect(), (Rect{10, 20, 610, 560}));
    EXPECT_EQ(store.minimumSize(), (ScreenSize{575, 513}));
    EXPECT_EQ(store.palettePosition(), (Point{-4, 30}));
    EXPECT_EQ(store.moveExplain(), 1);
}

TEST(SettingsStore, FirstRunFlagIgnoresAllButDriverKeys) {
    TempDir dir;
    std::string text = laterRunFile;
    text.replace(text.find("Flag=0"), 6, "Flag=1");
    writeFile(dir.path / settingsFileName, text);
    SettingsStore store(dir.path / settingsFileName);
    ASSERT_TRUE(store.load());
    EXPECT_TRUE(store.firstRun());
    EXPECT_EQ(store.driverCount(), 3);
    EXPECT_EQ(store.driverName(), "Lumiview test frontend");
    EXPECT_EQ(store.windowRect(), Rect{});
    EXPECT_EQ(store.palettePosition(), (Point{0, 0}));
    EXPECT_EQ(store.moveExplain(), 0);
    EXPECT_EQ(store.imageType(), 0);
    EXPECT_EQ(store.resolutionIndex(), 0);
    EXPECT_EQ(store.resolutionValue(), 0);
}

TEST(SettingsStore, OddValuesReadSafely) {
    TempDir dir;
    struct Case {
        const char* file;
        int driverCount;
        int resolutionIndex;
        int resolutionValue;
        std::size_t nameLength;
    };
    const std::string longName(300, 'x');
    const std::string withLongName = "[first run]\nFlag=0\n[scanner driver]\nDriverName=" + longName + "\n";
    const std::string withAccentAtTheCut =
        "[first run]\nFlag=0\n[scanner driver]\nDriverName=" + std::string(259, 'x') + "\xc3\xa9x\n";
    const Case cases[] = {
        {"[first run]\nFlag=0\n[scanner driver]\nDriverCount=0\n", 0, 0, 0, 0},
        {"[first run]\nFlag=0\n[resolution]\nImgResIndex=3\nImgResValue=450\n", 0, 3, 0,
         0}, // value only for 7
        {"[first run]\nFlag=0\n[resolution]\nImgResIndex=7\nImgResValue=1300\n", 0, 7, 1300, 0},
        {"[first run]\nFlag=0\n[resolution]\nImgResIndex=99999999999\n", 0, 0, 0, 0},
        {"[first run]\nFlag=0\n[resolution]\nImgResIndex=seven\n", 0, 0, 0, 0},
        {withLongName.c_str(), 0, 0, 0, 260},
        {withAccentAtTheCut.c_str(), 0, 0, 0, 259}, // "é" is two bytes, 259 and 260
        {"[first run]\nFlag=0\n[scanner driver]\nDriverCount=2147483647\n", 8, 0, 0, 0},
        {"[first run]\nFlag=0\n[scanner driver]\nDriverCount=-5\n", 0, 0, 0, 0},
        {"", 0, 0, 0, 0}, // an empty file is not a first run
    };
    for (const auto& c : cases) {
        writeFile(dir.path / settingsFileName, c.file);
        SettingsStore store(dir.path / settingsFileName);
        ASSERT_TRUE(store.load());
        EXPECT_FALSE(store.firstRun()) << c.file;
        EXPECT_EQ(store.driverCount(), c.driverCount) << c.file;
        EXPECT_EQ(store.resolutionIndex(), c.resolutionIndex) << c.file;
        EXPECT_EQ(store.resolutionValue(), c.resolutionValue) << c.file;
        EXPECT_EQ(store.driverName().size(), c.nameLength) << c.file;
    }
}

TEST(SettingsStore, WritesKeysInFixedOrder) {
    TempDir dir;
    SettingsStore store(dir.path / settingsFileName);
    ASSERT_TRUE(store.save(sampleScan(3, 300), {12, 34, 587, 547}, {575, 513}, {-7, 40}, 1));
    EXPECT_EQ(readFile(store.path()),
              "[first run]\nFlag=0\n"
              "[data source]\nDataSource=1\n"
              "[scanner driver]\nDriverCount=1\nDriverName=Lumiview B\nDriverSource=1\n"
              "[image type]\nImgType=1\n"
              "[resolution]\nImgResIndex=3\n"
              "[main window]\nLeft=12\nTop=34\nRight=587\nBottom=547\nMinWidth=575\nMinHeight=513\n"
              "[float window]\nLeft=0\nTop=40\n"
              "[move explain]\nExplain=1\n");
}

TEST(SettingsStore, CustomResolutionValueComesAndGoes) {
    TempDir dir;
    SettingsStore store(dir.path / settingsFileName);
    ASSERT_TRUE(store.save(sampleScan(7, 450), {}, {}, {}, 0));
    EXPECT_NE(readFile(store.path()).find("[resolution]\nImgResIndex=7\nImgResValue=450\n"),
              std::string::npos);
    ASSERT_TRUE(store.save(sampleScan(2, 150), {}, {}, {}, 0));
    EXPECT_NE(readFile(store.path()).find("[resolution]\nImgResIndex=2\n[main window]"), std::string::npos);
}

TEST(SettingsStore, SaveThenLoadRoundTrips) {
    TempDir dir;
    SettingsStore store(dir.path / settingsFileName);
    ASSERT_TRUE(store.save(sampleScan(7, 1200), {-8, 5, 700, 620}, {575, 513}, {90, 12}, 1));
    SettingsStore again(dir.path / settingsFileName);
    ASSERT_TRUE(again.load());
    EXPECT_FALSE(again.firstRun());
    EXPECT_EQ(again.windowRect(), (Rect{-8, 5, 700, 620}));
    EXPECT_EQ(again.palettePosition(), (Point{90, 12}));
    EXPECT_EQ(again.driverName(), "Lumiview B");
    EXPECT_EQ(again.driverIndex(), 1);
    EXPECT_EQ(again.driverCount(), 1);
    EXPECT_EQ(again.imageType(), 1);
    EXPECT_EQ(again.resolutionIndex(), 7);
    EXPECT_EQ(again.resolutionValue(), 1200);
    EXPECT_EQ(again.moveExplain(), 1);
    EXPECT_EQ(again.dataSource(), 1);
}

TEST(SettingsStore, ReadOnlyFileIsMadeWritableAndKeepsForeignKeys) {
    TempDir dir;
    const auto file = dir.path / settingsFileName;
    writeFile(file, "; mine\n[first run]\nFlag=1\n[extra]\nKeep=yes\n");
    std::filesystem::permissions(file, std::filesystem::perms::owner_read,
                                 std::filesystem::perm_options::replace);
    SettingsStore store(file);
    store.load();
    ASSERT_TRUE(store.save(ScanSettings{}, {}, {}, {}, 0));
    const auto text = readFile(file);
    EXPECT_EQ(text.rfind("; mine\n[first run]\nFlag=0\n[extra]\nKeep=yes\n[data source]\n", 0), 0u) << text;
}

} // namespace
} // namespace tandemscan
