#include "scan/scanner_link.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

namespace tandemscan {
namespace {

enum { CallNew, CallFree, CallLoad, CallUnload, CallOpen, CallClose, CallDrivers };

// Reads the fake component's call counters while the link holds it loaded.
int calls(int which) {
    void* module = ::dlopen(FAKE_REZUZID_PATH, RTLD_NOW | RTLD_NOLOAD);
    if (!module) return -1;
    auto counter = reinterpret_cast<int (*)(int)>(::dlsym(module, "FakeRezuzidCalls"));
    const int result = counter ? counter(which) : -1;
    ::dlclose(module);
    return result;
}

void resetCalls() {
    void* module = ::dlopen(FAKE_REZUZID_PATH, RTLD_NOW);
    ASSERT_NE(module, nullptr);
    reinterpret_cast<void (*)()>(::dlsym(module, "FakeRezuzidReset"))();
    ::dlclose(module);
}

class ScannerLinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::unsetenv("FAKE_REZUZID_DRIVERS");
        ::unsetenv("FAKE_REZUZID_FAIL");
        resetCalls();
    }
    void TearDown() override { SetUp(); }
};

TEST_F(ScannerLinkTest, ListsReportedDrivers) {
    ::setenv("FAKE_REZUZID_DRIVERS", "Lumiview Alpha;Other;Lumiview 0123456789012345678901234567", 1);
    ScannerLink link;
    ASSERT_TRUE(link.start(FAKE_REZUZID_PATH, 42)) << link.why();
    EXPECT_TRUE(link.connected());
    const auto found = link.enumerate(3);
    EXPECT_TRUE(found.available);
    EXPECT_EQ(found.table[0], "Lumiview Alpha");
    EXPECT_EQ(found.table[1], "Other");
    EXPECT_EQ(found.table[2], "Lumiview 012345678901234567890123"); // 33 characters at most
    EXPECT_EQ(found.table[3], "");
    EXPECT_EQ(calls(CallDrivers), 1); // the first answer of 1 ends the asking
    link.close();
    EXPECT_FALSE(link.loaded());
}

TEST_F(ScannerLinkTest, FailedEnumerationAsksDriverCountTimesAndCloses) {
    struct Case {
        int driverCount;
        int asked;
    };
    for (const Case c : {Case{3, 3}, Case{1, 1}, Case{0, 0}}) {
        resetCalls();
        ScannerLink link;
        ASSERT_TRUE(link.start(FAKE_REZUZID_PATH, 0));
        const auto found = link.enumerate(c.driverCount);
        EXPECT_FALSE(found.available);
        EXPECT_EQ(calls(CallDrivers), c.asked);
        EXPECT_EQ(calls(CallClose), 1);
        EXPECT_EQ(calls(CallUnload), 1);
        EXPECT_FALSE(link.enumerate(1).available); // nothing more goes to the closed manager
        EXPECT_EQ(calls(CallDrivers), c.asked);
        link.close();
        EXPECT_EQ(calls(CallFree), -1); // unloaded: the counters are gone with the module
    }
}

TEST_F(ScannerLinkTest, FailingStepsLeaveNoComponent) {
    struct Case {
        const char* failing;
        int frees;
        int unloads;
    };
    const Case cases[] = {{"new", 0, 0}, {"load", 1, 0}, {"open", 1, 1}};
    for (const auto& c : cases) {
        ::setenv("FAKE_REZUZID_FAIL", c.failing, 1);
        ScannerLink link;
        // Keep the module in memory so its counters can be read after the link lets it go.
        void* keep = ::dlopen(FAKE_REZUZID_PATH, RTLD_NOW);
        reinterpret_cast<void (*)()>(::dlsym(keep, "FakeRezuzidReset"))();
        EXPECT_FALSE(link.start(FAKE_REZUZID_PATH, 0)) << c.failing;
        EXPECT_FALSE(link.loaded());
        EXPECT_FALSE(link.why().empty());
        EXPECT_FALSE(link.enumerate(1).available);
        EXPECT_EQ(calls(CallFree), c.frees) << c.failing;
        EXPECT_EQ(calls(CallUnload), c.unloads) << c.failing;
        EXPECT_EQ(calls(CallDrivers), 0);
        ::dlclose(keep);
    }
}

TEST_F(ScannerLinkTest, RefusesWrongOrMissingComponent) {
    ScannerLink link;
    EXPECT_FALSE(link.start("/nonexistent/RezuzID.so", 0));
    EXPECT_FALSE(link.loaded());
    EXPECT_FALSE(link.start(FAKE_INCOMPLETE_PATH, 0));
    EXPECT_NE(link.why().find("TwainFilter"), std::string::npos);
    EXPECT_FALSE(link.loaded());
}

} // namespace
} // namespace tandemscan
