#include "driver_names.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace scanner {
namespace {

struct NamesCase {
    const char* what;
    std::vector<DeviceIdentity> devices;
    std::size_t maxLength;
    std::vector<std::string> names;
};

TEST(DriverNames, OfferedNames) {
    const DeviceIdentity tester{"test:0", "Noname", "frontend-tester"};
    const std::vector<NamesCase> cases = {
        {"vendor and model", {{"epson2:libusb:001:004", "Epson", "GT-1500"}}, 33, {"Lumiview Epson GT-1500"}},
        {"no vendor", {{"x:1", "", "Flatbed"}}, 33, {"Lumiview Flatbed"}},
        {"neither: the SANE name", {{"net:host:x", "", ""}}, 33, {"Lumiview net:host:x"}},
        {"control characters", {{"a", "Ac\tme", "M\n1"}}, 33, {"Lumiview Ac me M 1"}},
        {"exactly the limit", {tester}, 31, {"Lumiview Noname frontend-tester"}},
        {"cut, trailing space dropped", {{"a", "Vendor", "Model With Long Name"}}, 16, {"Lumiview Vendor"}},
        // "é" is two bytes; a cut through it backs off to before it.
        {"no split UTF-8", {{"a", "Caf\xC3\xA9", ""}}, 13, {"Lumiview Caf"}},
        {"duplicates at 33",
         {tester, tester, tester},
         33,
         {"Lumiview Noname frontend-tester", "Lumiview Noname frontend-teste #2",
          "Lumiview Noname frontend-teste #3"}},
        {"duplicates at 31",
         {tester, tester},
         31,
         {"Lumiview Noname frontend-tester", "Lumiview Noname frontend-tes #2"}},
        {"a name already taken by a suffix",
         {{"a", "X", "#2"}, {"b", "X", ""}, {"c", "X", ""}},
         33,
         {"Lumiview X #2", "Lumiview X", "Lumiview X #3"}},
        {"none", {}, 33, {}},
    };
    for (const NamesCase& c : cases) {
        const std::vector<std::string> names = offeredNames(c.devices, c.maxLength);
        EXPECT_EQ(names, c.names) << c.what;
        for (const std::string& name : names) {
            EXPECT_LE(name.size(), c.maxLength) << c.what;
            EXPECT_EQ(name.rfind("Lumiview", 0), 0u) << c.what;
        }
    }
}

TEST(DriverNames, TenIdenticalDevicesStayUniqueWithinTheLimit) {
    const std::vector<DeviceIdentity> devices(10, DeviceIdentity{"test:0", "Noname", "frontend-tester"});
    for (std::size_t limit : {std::size_t{31}, std::size_t{33}}) {
        const std::vector<std::string> names = offeredNames(devices, limit);
        ASSERT_EQ(names.size(), 10u);
        EXPECT_EQ(names[9],
                  limit == 33 ? "Lumiview Noname frontend-test #10" : "Lumiview Noname frontend-te #10");
        for (std::size_t i = 0; i < names.size(); ++i) {
            EXPECT_LE(names[i].size(), limit);
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_NE(names[i], names[j]);
        }
    }
}

} // namespace
} // namespace scanner
