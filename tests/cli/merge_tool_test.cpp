#include "cli/merge_tool.h"
#include "engine/content_placement.h"
#include "engine_fixture.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace tandemscan {
namespace {

namespace fs = std::filesystem;
using test::TestImage;

TEST(MergeArguments, ValidCommandLines) {
    struct Case {
        std::vector<std::string> args;
        bool automatic;
        std::int32_t paper;
        std::optional<CutRecord> cut;
        bool quiet;
    };
    const Case cases[] = {
        {{"l.jpg", "r.jpg", "-o", "out.bmp", "--auto"}, true, 4200, std::nullopt, false},
        {{"--auto", "--paper-width", "2970", "l.jpg", "r.jpg", "--output=out.bmp", "-q"},
         true,
         2970,
         std::nullopt,
         true},
        {{"l.jpg", "r.jpg", "-o", "out.bmp", "--cut", "1200,30,-4,+5"},
         false,
         4200,
         CutRecord{1200, 30, -4, 5},
         false},
        {{"l.jpg", "--cut=0,0,0,0", "r.jpg", "--quiet", "-o", "o.tif"},
         false,
         4200,
         CutRecord{0, 0, 0, 0},
         true},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto options = parseMergeArguments(c.args, error);
        ASSERT_TRUE(options) << error;
        EXPECT_EQ(options->automatic, c.automatic);
        EXPECT_EQ(options->paperWidthTenths, c.paper);
        EXPECT_EQ(options->cut, c.cut);
        EXPECT_EQ(options->quiet, c.quiet);
        EXPECT_EQ(options->left, "l.jpg");
        EXPECT_EQ(options->right, "r.jpg");
    }
}

TEST(MergeArguments, PartsAfterDoubleDash) {
    std::string error;
    const auto options = parseMergeArguments({"-o", "out.bmp", "--auto", "--", "-l.jpg", "--cut"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->left, "-l.jpg");
    EXPECT_EQ(options->right, "--cut");
    EXPECT_FALSE(parseMergeArguments({"-o", "o", "--auto", "--", "l", "r", "x"}, error));
    EXPECT_EQ(error, "too many parts: give exactly two");
}

TEST(MergeArguments, PrintableText) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain name.jpg", "plain name.jpg"},
        {"two\nlines.jpg", "two\\nlines.jpg"},
        {"tab\there", "tab\\there"},
        {"\x1b[2Jclear.jpg", "\\x1b[2Jclear.jpg"},
        {std::string("nul\0.jpg", 8), "nul\\x00.jpg"},
        {"del\x7f.jpg", "del\\x7f.jpg"},
        {"gr\xc3\xbcn.jpg", "gr\xc3\xbcn.jpg"}, // UTF-8 stays as it is
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(printable(text), expected);
}

TEST(MergeArguments, UsageErrorsSayWhatIsWrong) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{}, "give the left and the right part"},
        {{"l", "r", "x", "-o", "o", "--auto"}, "too many parts: give exactly two"},
        {{"l", "r", "--auto"}, "give the output file with -o"},
        {{"l", "r", "-o"}, "-o needs a value"},
        {{"l", "r", "-o", "o"}, "give exactly one of --auto, --cut and --align content"},
        {{"l", "r", "-o", "o", "--auto", "--cut", "1,2,3,4"},
         "give exactly one of --auto, --cut and --align content"},
        {{"l", "r", "-o", "o", "--auto", "--align", "content"},
         "give exactly one of --auto, --cut and --align content"},
        {{"l", "r", "--align", "content"}, "give the output file with -o"},
        {{"l", "r", "-o", "o", "--align", "edges"}, "--align takes 'content', not 'edges'"},
        {{"l", "r", "-o", "o", "--align=content", "--seam", "soft"},
         "--seam takes 'cut' or 'feather', not 'soft'"},
        {{"l", "r", "-o", "o", "--auto", "--print-placement"}, "--print-placement goes with --align content"},
        {{"l", "r", "-o", "o", "--auto", "--seam", "cut"}, "--seam goes with --align content"},
        {{"l", "r", "-o", "o", "--cut", "1,2,3"},
         "--cut takes four whole numbers separated by commas, not '1,2,3'"},
        {{"l", "r", "-o", "o", "--auto", "--dpi", "0"}, "--dpi takes dots per inch from 1 to 65535, not '0'"},
        {{"l", "r", "-o", "o", "--auto", "--dpi=72.5"},
         "--dpi takes dots per inch from 1 to 65535, not '72.5'"},
        {{"l", "r", "-o", "o", "--cut", "1,2,3,4,"},
         "--cut takes four whole numbers separated by commas, not '1,2,3,4,'"},
        {{"l", "r", "-o", "o", "--cut", "1,x,3,4"},
         "--cut takes four whole numbers separated by commas, not '1,x,3,4'"},
        {{"l", "r", "-o", "o", "--auto", "--paper-width", "2300"},
         "--paper-width takes tenths of a millimetre above 2300 and below 4220, not '2300'"},
        {{"l", "r", "-o", "o", "--auto", "--paper-width", "4220"},
         "--paper-width takes tenths of a millimetre above 2300 and below 4220, not '4220'"},
        {{"l", "r", "-o", "o", "--cut", "1,2,3,4", "--paper-width", "3000"},
         "--paper-width goes with --auto"},
        {{"l", "r", "-o", "o", "--auto", "--fast"}, "unknown option '--fast'"},
        {{"l", "r", "-o", "a", "-o", "b", "--auto"}, "the output is given twice"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parseMergeArguments(c.args, error));
        EXPECT_EQ(error, c.error);
    }
    std::string error;
    const auto help = parseMergeArguments({"l", "--help"}, error);
    ASSERT_TRUE(help);
    EXPECT_TRUE(help->help);
}

TEST(MergeArguments, ContentAlignment) {
    struct Case {
        std::vector<std::string> args;
        bool print;
        SeamMode seam;
        const char* output;
    };
    const Case cases[] = {
        {{"l", "r", "--align", "content", "--print-placement"}, true, SeamMode::feather, ""},
        {{"l", "r", "-o", "o.png", "--align=content", "--seam=cut"}, false, SeamMode::cut, "o.png"},
        {{"--seam", "feather", "l", "--align", "content", "r", "-o", "o.png"},
         false,
         SeamMode::feather,
         "o.png"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto options = parseMergeArguments(c.args, error);
        ASSERT_TRUE(options) << error;
        EXPECT_TRUE(options->contentAlign);
        EXPECT_EQ(options->printPlacement, c.print);
        EXPECT_EQ(options->seam, c.seam);
        EXPECT_EQ(options->output, c.output);
    }
}

TEST(PlacementJson, MapAndRefusal) {
    const ContentPlacement map{true, -0.97, 1180.1, -46.7, 0.93};
    EXPECT_EQ(placementJson(&map, ""),
              R"({"flipped": true, "angle_deg": -0.9700, "dx": 1180.10, "dy": -46.70, "confidence": 0.93})");
    const ContentPlacement straight{false, 0.0004, 3, -0.001, 1};
    EXPECT_EQ(placementJson(&straight, "ignored"),
              R"({"flipped": false, "angle_deg": 0.0004, "dx": 3.00, "dy": 0.00, "confidence": 1.00})");
    // The reason stays one valid JSON string whatever it holds.
    EXPECT_EQ(placementJson(nullptr, "the overlap is blank paper"),
              R"({"unalignable": true, "reason": "the overlap is blank paper"})");
    EXPECT_EQ(placementJson(nullptr, "a \"b\"\\c\nd"), R"({"unalignable": true, "reason": "a \"b\"\\c d"})");
}

class MergeToolTest : public test::EngineFixture {
  protected:
    struct Result {
        int status;
        std::string out;
        std::string err;
    };
    Result run(const std::vector<std::string>& args, const char* component = "FakeImageFile.so") {
        auto work = PrivateFolder::create(folder->path(), "work-");
        std::ostringstream out, err;
        MergeEnvironment env;
        env.programDir = TS_FAKE_COMPONENT_DIR;
        env.workingDir = work->path();
        env.out = &out;
        env.err = &err;
        env.componentName = component;
        const int status = runMerge(args, env);
        // Nothing is left behind in the working folder.
        EXPECT_TRUE(fs::is_empty(work->path()));
        return {status, out.str(), err.str()};
    }
    std::string part(const std::string& name, std::int32_t width, std::uint16_t bitCount,
                     std::int32_t pelsPerMeter) {
        TestImage image = TestImage::make(width, 20, bitCount, pelsPerMeter);
        for (std::int32_t x = 0; x < width; ++x)
            image.set(x, 3, bitCount == 24 ? 0x102030u * (x % 5) : x % 2);
        return writePart(name, image).string();
    }
    std::string out(const std::string& name) { return (folder->path() / name).string(); }
};

TEST_F(MergeToolTest, ExitStatusAndOneLineMessages) {
    const std::string a4 = part("a4.raw", 1240, 24, 5906);
    const std::string a4b = part("a4b.raw", 1250, 24, 5906);
    const std::string narrow = part("narrow.raw", 1000, 24, 5906);
    const std::string gray = part("gray.raw", 1240, 8, 5906);
    const std::string four = part("four.raw", 1240, 4, 5906);
    const std::string sharp = part("sharp.raw", 1240, 24, 5926);
    const std::string close = part("close.raw", 1240, 24, 5925);
    const std::string noDpi = part("nodpi.raw", 1240, 24, 0);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{a4, a4b, "-o", out("a.raw"), "--auto"}, 0, ""},
        {{a4, close, "-o", out("b.raw"), "--cut", "1240,0,0,0"}, 0, ""},
        {{a4, four, "-o", out("c.raw"), "--auto"},
         2,
         "tandemscan-merge: " + four + ": Image type not supported!\n"},
        {{noDpi, a4, "-o", out("c.raw"), "--auto"},
         2,
         "tandemscan-merge: " + noDpi +
             ": Image type not supported! (the file states no resolution; give it with "
             "--dpi N)\n"},
        {{noDpi, a4, "-o", out("d.raw"), "--auto", "--dpi", "150"}, 0, ""},
        // A stated resolution that differs gives way too; the width rule then judges at 300 dpi.
        {{a4, sharp, "-o", out("c.raw"), "--auto", "--dpi", "300"},
         2,
         "tandemscan-merge: --auto needs each part between A4 and Letter width (2480 to 2550 pixels at 300 "
         "dpi); "
         "the parts are 1240 and 1240 pixels wide\n"},
        {{a4, sharp, "-o", out("c.raw"), "--auto"},
         2,
         "tandemscan-merge: " + sharp + ": Resolution is different from the previous image!\n"},
        {{a4, gray, "-o", out("c.raw"), "--auto"},
         2,
         "tandemscan-merge: " + gray + ": Image type is different from the previous image!\n"},
        {{a4, narrow, "-o", out("c.raw"), "--auto"},
         2,
         "tandemscan-merge: --auto needs each part between A4 and Letter width (1240 to 1275 pixels at 150 "
         "dpi); "
         "the parts are 1240 and 1000 pixels wide\n"},
        {{a4, out("missing.raw"), "-o", out("c.raw"), "--auto"},
         2,
         "tandemscan-merge: " + out("missing.raw") + ": damaged test image\n"},
        {{a4, out("mis\nsing.raw"), "-o", out("c.raw"), "--auto"},
         2,
         "tandemscan-merge: " + out("mis\\nsing.raw") + ": damaged test image\n"},
        {{a4, a4, "-o", out("c.raw"), "--cut", "0,1240,0,0"},
         2,
         "tandemscan-merge: The cut places the parts so that they do not meet\n"},
        {{a4, a4, "-o", out("no/such/dir.raw"), "--auto"},
         3,
         "tandemscan-merge: " + out("no/such/dir.raw") +
             ": cannot create the file: No such file or directory\n"},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.err, c.err);
    }
    EXPECT_TRUE(fs::exists(out("a.raw")));
    std::ifstream joined(out("d.raw"), std::ios::binary);
    HeaderBlock header{};
    joined.read(reinterpret_cast<char*>(&header), sizeof header);
    EXPECT_EQ(header.header.xPelsPerMeter, 5906) << "the stated 150 dpi";
    EXPECT_FALSE(fs::exists(out("c.raw")));
}

TEST_F(MergeToolTest, RefusedPlacementWritesNothing) {
    // Blank paper on both sides: nothing to align by.
    const std::string blank = writePart("blank.raw", TestImage::make(400, 300, 8, 11811)).string();
    const Result printed =
        run({blank, blank, "-o", out("j.raw"), "--align", "content", "--print-placement", "-q"});
    EXPECT_EQ(printed.status, 2);
    EXPECT_EQ(printed.out.rfind(R"({"unalignable": true, "reason": ")", 0), 0u) << printed.out;
    EXPECT_EQ(printed.out.back(), '\n');
    EXPECT_EQ(printed.out.find('\n'), printed.out.size() - 1) << "one line";
    EXPECT_TRUE(printed.err.empty());
    const Result silent = run({blank, blank, "-o", out("j.raw"), "--align", "content", "-q"});
    EXPECT_EQ(silent.status, 2);
    EXPECT_TRUE(silent.out.empty());
    EXPECT_EQ(silent.err.rfind("tandemscan-merge: ", 0), 0u);
    EXPECT_FALSE(fs::exists(out("j.raw")));
}

TEST_F(MergeToolTest, HelpUsageAndMissingComponent) {
    const Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, mergeUsage());
    EXPECT_TRUE(help.err.empty());

    // --version answers even among other arguments, and only on standard output.
    const Result version = run({"a.jpg", "--version", "b.jpg"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("tandemscan-merge ", 0), 0u);
    EXPECT_EQ(version.out.back(), '\n');
    EXPECT_TRUE(version.err.empty());

    const Result usage = run({"only-one.jpg"});
    EXPECT_EQ(usage.status, 1);
    EXPECT_EQ(usage.err, std::string("tandemscan-merge: give the left and the right part\n") + mergeUsage());

    const std::string a4 = part("a4.raw", 1240, 24, 5906);
    const Result missing = run({a4, a4, "-o", out("x.raw"), "--auto"}, "NoSuchComponent.so");
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err, std::string("tandemscan-merge: NoSuchComponent.so not found! (looked in ") +
                               TS_FAKE_COMPONENT_DIR + ")\n");
}

TEST_F(MergeToolTest, GivenCutJoinsExactly) {
    TestImage left = TestImage::make(30, 4, 8, 2362);
    TestImage right = TestImage::make(20, 6, 8, 2362);
    for (std::int32_t x = 0; x < 30; ++x)
        left.set(x, 0, 100 + x);
    for (std::int32_t x = 0; x < 20; ++x)
        right.set(x, 5, 200 + x);
    const auto l = writePart("l.raw", left).string(), r = writePart("r.raw", right).string();
    ASSERT_EQ(run({l, r, "-o", out("joined.raw"), "--cut", "25,5,1,-1", "--quiet"}).status, 0);
    std::ifstream in(out("joined.raw"), std::ios::binary);
    HeaderBlock header{};
    in.read(reinterpret_cast<char*>(&header), sizeof header);
    EXPECT_EQ(header.header.width, 40);
    EXPECT_EQ(header.header.height, 6); // the right part reaches one row higher and one lower
    std::vector<std::uint8_t> pixels(header.header.sizeImage);
    in.read(reinterpret_cast<char*>(pixels.data()), static_cast<std::streamsize>(pixels.size()));
    EXPECT_EQ(test::pixelAt(header, pixels, 0, 1), 100u);
    EXPECT_EQ(test::pixelAt(header, pixels, 24, 1), 124u);
    EXPECT_EQ(test::pixelAt(header, pixels, 25, 5), 205u);
    EXPECT_EQ(test::pixelAt(header, pixels, 39, 5), 219u);
    EXPECT_EQ(test::pixelAt(header, pixels, 0, 0), 255u) << "white where the left part does not reach";
}

} // namespace
} // namespace tandemscan
