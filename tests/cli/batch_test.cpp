// The batch's rules that need no process: pairing, its command line, its report lines.
#include "cli/batch_options.h"
#include "cli/batch_pairs.h"
#include "cli/batch_report.h"

#include <gtest/gtest.h>

namespace tandemscan {
namespace {

// "name=left+right" for a pair, "name!problem" for one that cannot be joined.
std::string describe(const PairList& list) {
    std::string text;
    for (const BatchPair& p : list.pairs)
        text += p.name + (p.problem.empty() ? "=" + p.left + "+" + p.right : "!" + p.problem) + " ";
    for (const std::string& file : list.unmatched)
        text += "?" + file + " ";
    return text;
}

TEST(BatchPairs, EveryPairingRule) {
    PairingRule byName;
    PairingRule consecutive;
    consecutive.consecutive = true;
    PairingRule frontBack;
    std::string error;
    frontBack.patterns = {parsePairPattern("scan-*-a,scan-*-b", error)};
    PairingRule starAlone;
    starAlone.patterns = {parsePairPattern("*,*-b", error)};
    struct Case {
        const PairingRule& rule;
        std::vector<std::string> files;
        std::string pairs;
    };
    const Case cases[] = {
        // Both default rules, any letter case in the fixed part, mixed extensions, name order
        // with numbers by value; hidden files, other formats and our report take no part.
        {byName,
         {"p10-left.jpg", "p9-Right.TIF", "p9-LEFT.jpg", "p10-right.jpg", "x_L.png", "x_R.bmp",
          ".p1-left.jpg", "notes.txt", "tandemscan-report.jsonl", "cover.jpg"},
         "p9=p9-LEFT.jpg+p9-Right.TIF p10=p10-left.jpg+p10-right.jpg x=x_L.png+x_R.bmp ?cover.jpg "},
        // A part missing or given twice; NAME must not be empty.
        {byName,
         {"a-left.jpg", "b-right.jpg", "c-left.jpg", "c-left.tif", "c-right.jpg", "-left.jpg"},
         "a!the right part is missing b!the left part is missing "
         "c!two left parts: c-left.jpg and c-left.tif ?-left.jpg "},
        // Scan order: numbers by value, leading zeros first, an odd file out.
        {consecutive,
         {"s10.jpg", "s9.jpg", "s1.jpg", "s01.jpg", "s2.jpg", "notes.txt"},
         "s1=s1.jpg+s01.jpg s2=s2.jpg+s9.jpg s10!no partner: the last of an odd number of files "},
        {frontBack,
         {"scan-7-a.png", "scan-7-B.png", "scan-8-a.png", "7-a.png"},
         "7=scan-7-a.png+scan-7-B.png 8!the right part is missing ?7-a.png "},
        // The more specific pattern wins.
        {starAlone, {"x.jpg", "x-b.jpg"}, "x=x.jpg+x-b.jpg "},
    };
    for (const Case& c : cases)
        EXPECT_EQ(describe(pairFiles(c.files, c.rule)), c.pairs);
}

TEST(BatchArguments, UsageErrorsAndWhatAPairIsJoinedWith) {
    struct Case {
        std::vector<std::string> args;
        std::string error;     // empty: valid
        std::string forwarded; // the job's options, when valid
    };
    const Case cases[] = {
        {{"--batch", "in", "-o", "out"}, "", "--align content"},
        {{"--batch=in", "--output=out", "--align", "auto", "--paper-width", "2970", "-j", "3", "--format",
          "PNG"},
         "",
         "--format PNG --auto --paper-width 2970"},
        {{"--batch", "in", "-o", "out", "--pairs", "consecutive", "--seam", "cut", "--dpi", "300"},
         "",
         "--pairs consecutive --align content --seam cut --dpi 300"},
        {{"--batch", "in"},
         "give the folder of the parts with --batch and the folder of the joined images with -o",
         ""},
        {{"--batch", "in", "-o", "out", "--jobs", "0"},
         "--jobs takes a number of pairs from 1 to 1024, not '0'",
         ""},
        {{"--batch", "in", "-o", "out", "--pattern", "*-a"}, "--pattern takes two name patterns", ""},
        {{"--batch", "in", "-o", "out", "--pattern", "**,*b"}, "--pattern takes two name patterns", ""},
        {{"--batch", "in", "-o", "out", "--pattern", "*-A,*-a"},
         "--pattern needs two different patterns",
         ""},
        {{"--batch", "in", "-o", "out", "--pairs", "consecutive", "--pattern", "*a,*b"},
         "--pattern goes with",
         ""},
        {{"--batch", "in", "-o", "out", "--format", "gif"}, "--format takes one of", ""},
        {{"--batch", "in", "-o", "out", "--cut", "1,2,3,4"},
         "--cut goes with two parts, not with --batch",
         ""},
        {{"--batch", "in", "-o", "out", "l.jpg"}, "--batch takes a folder, not parts: 'l.jpg'", ""},
        {{"--batch", "in", "-o", "out", "--list", "--only", "a"}, "give --list or --only, not both", ""},
        {{"--batch", "in", "-o", "out", "--align", "auto", "--seam", "cut"},
         "--seam goes with --align content",
         ""},
        // The single join checks the values it is handed.
        {{"--batch", "in", "-o", "out", "--dpi", "0"}, "--dpi takes dots per inch", ""},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto options = parseBatchArguments(c.args, error);
        EXPECT_EQ(options.has_value(), c.error.empty()) << c.args[2];
        EXPECT_EQ(error.substr(0, c.error.size()), c.error);
        if (!options) continue;
        std::string forwarded;
        for (const std::string& arg : options->pairArguments)
            forwarded += (forwarded.empty() ? "" : " ") + arg;
        EXPECT_EQ(forwarded, c.forwarded);
    }
}

TEST(BatchReport, LinesReadBackAsWritten) {
    PairResult joined;
    joined.status = PairStatus::joined;
    joined.name = "sheet 7";
    joined.left = "in/sheet 7-left.jpg";
    joined.right = "in/sheet 7-right.jpg";
    joined.output = "out/sheet 7.jpg";
    joined.placement =
        R"({"flipped": true, "angle_deg": 0.7000, "dx": 1094.76, "dy": -42.62, "confidence": 0.93})";
    joined.seconds = 2.414;
    EXPECT_EQ(
        reportLine(joined),
        R"({"status": "joined", "name": "sheet 7", "left": "in/sheet 7-left.jpg", "right": "in/sheet 7-right.jpg", )"
        R"("output": "out/sheet 7.jpg", "placement": {"flipped": true, "angle_deg": 0.7000, "dx": 1094.76, )"
        R"("dy": -42.62, "confidence": 0.93}, "reason": null, "seconds": 2.41})");

    PairResult refused;
    refused.status = PairStatus::refused;
    refused.name = "a \"b\"\\c\n\x1b[31m \"reason\": \"x";
    refused.left = "l";
    refused.reason = "the overlap is blank paper";
    refused.seconds = -0.001;
    const std::string line = reportLine(refused);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    EXPECT_NE(line.find(R"("name": "a \"b\"\\c\n\u001b[31m \"reason\": \"x")"), std::string::npos) << line;
    EXPECT_NE(line.find(R"("right": null, "output": null, "placement": null)"), std::string::npos) << line;
    EXPECT_NE(line.find(R"("seconds": 0.00})"), std::string::npos) << "no negative zero: " << line;

    for (const PairResult& result : {joined, refused}) {
        const auto back = parseReportLine(reportLine(result));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->status, result.status);
        EXPECT_EQ(back->name, result.name);
        EXPECT_EQ(back->left, result.left);
        EXPECT_EQ(back->right, result.right);
        EXPECT_EQ(back->output, result.output);
        EXPECT_EQ(back->placement, result.placement);
        EXPECT_EQ(back->reason, result.reason) << "the name's quoted key is not taken for the field";
    }
    EXPECT_FALSE(parseReportLine(R"({"status": "lost", "name": "a", "seconds": 1})"));
    EXPECT_FALSE(parseReportLine("tandemscan-merge: not a report line"));
}

} // namespace
} // namespace tandemscan
