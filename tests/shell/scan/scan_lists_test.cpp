#include "scan/scan_lists.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

using Names = std::vector<std::string>;

DriverEnumeration drivers(std::initializer_list<const char*> names) {
    DriverEnumeration result{true, {}};
    std::size_t i = 0;
    for (const char* name : names)
        result.table[i++] = name;
    return result;
}

StoredChoices laterRun(const std::string& driver, int imageType = 2, int resIndex = 1, int resValue = 0) {
    return {false, driver, imageType, resIndex, resValue};
}

TEST(ScanLists, NoDriverOffersFileOnly) {
    ScanLists lists;
    ScanSettings scan;
    lists.fill(laterRun("Lumiview A", 0, 3), DriverEnumeration{}, scan);
    EXPECT_EQ(lists.source.entries, (Names{"File", "No driver available"}));
    EXPECT_EQ(lists.source.current, 0);
    EXPECT_EQ(lists.colour.entries, (Names{"Line-art", "Gray", "Color"}));
    EXPECT_EQ(lists.colour.current, 2);
    EXPECT_EQ(lists.resolution.entries,
              (Names{"75 dpi", "100 dpi", "150 dpi", "300 dpi", "400 dpi", "600 dpi", "Custom..."}));
    EXPECT_EQ(lists.resolution.current, 1);
    EXPECT_EQ(lists.descreen.entries, (Names{"No descreen"}));
    EXPECT_FALSE(lists.colour.enabled);
    EXPECT_FALSE(lists.resolution.enabled);
    EXPECT_FALSE(lists.descreen.enabled);
    EXPECT_TRUE(lists.source.enabled);
    EXPECT_EQ(scan.source, DataSource::File);
    EXPECT_EQ(scan.imageType, ColourType::Colour);
    EXPECT_EQ(scan.resolution, 100);
    EXPECT_FALSE(scan.scannerAvailable);
    // Choosing the "No driver available" entry leaves nothing to input from.
    EXPECT_FALSE(lists.chooseSource(1, scan));
    EXPECT_EQ(scan.source, DataSource::Scanner);
    EXPECT_TRUE(lists.chooseSource(0, scan));
    EXPECT_EQ(scan.source, DataSource::File);
}

TEST(ScanLists, FirstRunChoosesFirstQualifyingDriver) {
    struct Case {
        DriverEnumeration found;
        Names sources;
        int current;
        int driverIndex;
        DataSource source;
    };
    const Case cases[] = {
        {drivers({"Lumiview One", "WIA Lumiview", "Lumiview Two"}),
         {"File", "Lumiview One", "Lumiview Two"},
         1,
         0,
         DataSource::Scanner},
        {drivers({"Other scanner", "Lumiview Two"}), {"File", "Lumiview Two"}, 1, 1, DataSource::Scanner},
        {drivers({"Lumiview One", "", "Lumiview Late"}), {"File", "Lumiview One"}, 1, 0, DataSource::Scanner},
        {drivers({"Other scanner"}), {"File"}, 0, 0, DataSource::File},
        {drivers({"lumiview lower"}), {"File"}, 0, 0, DataSource::File},
    };
    for (const auto& c : cases) {
        ScanLists lists;
        ScanSettings scan;
        lists.fill(StoredChoices{}, c.found, scan);
        EXPECT_EQ(lists.source.entries, c.sources);
        EXPECT_EQ(lists.source.current, c.current);
        EXPECT_EQ(scan.driverIndex, c.driverIndex);
        EXPECT_EQ(scan.source, c.source);
        EXPECT_EQ(lists.colour.enabled, c.source == DataSource::Scanner);
        EXPECT_EQ(lists.descreen.entries, (Names{"No descreen", "Newspaper - 85lpi", "Magazine - 175lpi",
                                                 "Art magazine - 200lpi", "Custom..."}));
        EXPECT_EQ(lists.colour.current, 2);
        EXPECT_EQ(scan.resolution, 100);
        EXPECT_EQ(scan.defaultDriver, c.found.table[0]);
    }
}

TEST(ScanLists, LaterRunRestoresStoredDriver) {
    struct Case {
        const char* stored;
        int current;
        DataSource source;
        int driverIndex;
    };
    const Case cases[] = {
        {"Lumiview Two", 2, DataSource::Scanner, 2}, {"Lumiview One", 1, DataSource::Scanner, 0},
        {"Lumiview Gone", 0, DataSource::File, 0},   {"", 0, DataSource::File, 0},
        {"WIA Lumiview", 0, DataSource::File, 0},
    };
    for (const auto& c : cases) {
        ScanLists lists;
        ScanSettings scan;
        lists.fill(laterRun(c.stored), drivers({"Lumiview One", "WIA Lumiview", "Lumiview Two"}), scan);
        EXPECT_EQ(lists.source.current, c.current) << c.stored;
        EXPECT_EQ(scan.source, c.source) << c.stored;
        EXPECT_EQ(scan.driverIndex, c.driverIndex) << c.stored;
        EXPECT_EQ(lists.resolution.enabled, c.source == DataSource::Scanner) << c.stored;
    }
}

TEST(ScanLists, LaterRunRestoresTypeAndResolution) {
    struct Case {
        int imageType, resIndex, resValue;
        int colourCurrent, resCurrent, dpi;
        std::size_t resEntries;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0, 75, 7},     {1, 3, 0, 1, 3, 300, 7},   {2, 5, 0, 2, 5, 600, 7},
        {9, 2, 0, 2, 2, 150, 7},    {2, 7, 450, 2, 7, 450, 8}, {2, 7, 1200, 2, 7, 1200, 8},
        {2, 7, 1300, 2, 1, 100, 7}, {2, 7, 0, 2, 1, 100, 7},   {2, 6, 0, 2, 1, 100, 7},
        {2, 8, 300, 2, 1, 100, 7},  {2, -1, 0, 2, 1, 100, 7},
    };
    for (const auto& c : cases) {
        ScanLists lists;
        ScanSettings scan;
        lists.fill(laterRun("Lumiview One", c.imageType, c.resIndex, c.resValue), drivers({"Lumiview One"}),
                   scan);
        SCOPED_TRACE(std::to_string(c.imageType) + " " + std::to_string(c.resIndex) + " " +
                     std::to_string(c.resValue));
        EXPECT_EQ(lists.colour.current, c.colourCurrent);
        EXPECT_EQ(static_cast<int>(scan.imageType), c.colourCurrent);
        EXPECT_EQ(lists.resolution.current, c.resCurrent);
        EXPECT_EQ(scan.resolutionIndex, c.resCurrent);
        EXPECT_EQ(scan.resolution, c.dpi);
        EXPECT_EQ(lists.resolution.entries.size(), c.resEntries);
        if (c.resEntries == 8) {
            EXPECT_EQ(lists.resolution.entries[7], std::to_string(c.dpi) + " dpi");
        }
    }
}

TEST(ScanLists, CustomResolutionReplacesEarlierOne) {
    ScanLists lists;
    ScanSettings scan;
    lists.fill(laterRun("Lumiview One"), drivers({"Lumiview One"}), scan);
    lists.chooseResolution(3, scan, {});
    EXPECT_EQ(scan.resolution, 300);
    lists.chooseResolution(6, scan, [] { return 300; });
    lists.chooseResolution(6, scan, [] { return 500; });
    EXPECT_EQ(lists.resolution.entries.size(), 8u);
    EXPECT_EQ(lists.resolution.entries[7], "500 dpi");
    EXPECT_EQ(lists.resolution.current, 7);
    EXPECT_EQ(scan.resolutionIndex, 7);
    EXPECT_EQ(scan.resolution, 500);

    lists.chooseResolution(4, scan, {});
    EXPECT_EQ(scan.resolution, 400);
    lists.chooseResolution(7, scan, {}); // the custom entry keeps the value it shows
    EXPECT_EQ(scan.resolution, 400);
    EXPECT_EQ(lists.lastResolutionIndex(), 7);

    struct Cancel {
        std::optional<int> answer;
    };
    for (const auto& cancel : {Cancel{std::nullopt}, Cancel{74}, Cancel{1201}}) {
        lists.chooseResolution(2, scan, {});
        lists.chooseResolution(6, scan, [&] { return cancel.answer; });
        EXPECT_EQ(lists.resolution.current, 2);
        EXPECT_EQ(scan.resolutionIndex, 2);
        EXPECT_EQ(scan.resolution, 150);
    }
    lists.chooseResolution(42, scan, {});
    EXPECT_EQ(lists.resolution.current, 2);
}

TEST(ScanLists, DescreenFollowsTheSamePattern) {
    ScanLists lists;
    ScanSettings scan;
    lists.fill(StoredChoices{}, drivers({"Lumiview One"}), scan);
    struct Step {
        int pick;
        std::optional<int> answer;
        int current, lpi;
    };
    const Step steps[] = {
        {1, {}, 1, 85},           {2, {}, 2, 175}, {3, {}, 3, 200}, {4, 120, 5, 120}, {4, 60, 5, 60},
        {4, std::nullopt, 5, 60}, {0, {}, 0, 0},   {4, 49, 0, 0},   {4, 201, 0, 0},
    };
    for (const auto& s : steps) {
        lists.chooseDescreen(s.pick, scan, [&] { return s.answer; });
        EXPECT_EQ(lists.descreen.current, s.current) << s.pick;
        EXPECT_EQ(scan.descreen, s.lpi) << s.pick;
    }
    EXPECT_EQ(lists.descreen.entries.size(), 6u);
    EXPECT_EQ(lists.descreen.entries[5], "60 lpi");
}

TEST(ScanLists, TableValues) {
    const int dpi[] = {75, 100, 150, 300, 400, 600, 0, 0, 0};
    for (int i = -1; i < 8; ++i)
        EXPECT_EQ(resolutionForIndex(i), i < 0 ? 0 : dpi[i]) << i;
    const int lpi[] = {0, 85, 175, 200, 0, 0};
    for (int i = -1; i < 6; ++i)
        EXPECT_EQ(descreenForIndex(i), i < 0 ? 0 : lpi[i]) << i;
}

} // namespace
} // namespace tandemscan
