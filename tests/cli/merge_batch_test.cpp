// tandemscan-merge --batch as built, with the real image file component, on real files.
#include "cli/batch_report.h"
#include "engine/image_file.h"
#include "engine/pixel_tools.h"
#include "engine/working_files.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tandemscan {
namespace {

namespace fs = std::filesystem;

const std::string kSamples = std::string(TS_SOURCE_DIR) + "/samples/";
const std::string kProgram = std::string(TS_PROGRAM_DIR) + "/tandemscan-merge";

class MergeBatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder = PrivateFolder::create(temporaryRoot(), "merge-batch-test-");
        ASSERT_TRUE(folder);
        fs::create_directories(tmp());
        fs::create_directories(in());
        std::string why;
        library = ImageFileLibrary::load(TS_PROGRAM_DIR, &why);
        ASSERT_TRUE(library) << why;
        instance = library->newInstance();
        ASSERT_TRUE(instance);
    }

    fs::path in() const { return folder->path() / "in"; }
    fs::path out() const { return folder->path() / "out"; }
    fs::path tmp() const { return folder->path() / "tmp"; }
    std::string q(const fs::path& p) const { return "'" + p.string() + "'"; }
    std::string batch() const { return "--batch " + q(in()) + " -o " + q(out()); }
    // The sample pair of a two-pass scan, which joins by content.
    void addPair(const std::string& name) {
        fs::copy_file(kSamples + "scan-left.jpg", in() / (name + "-left.jpg"));
        fs::copy_file(kSamples + "scan-right.jpg", in() / (name + "-right.jpg"));
    }

    struct Result {
        int status;
        std::string out, err;
    };
    Result run(const std::string& args) {
        return runShell("TMPDIR=" + q(tmp()) + " " + q(kProgram) + " " + args);
    }
    Result runShell(const std::string& command) {
        const fs::path outFile = folder->path() / "stdout.txt", errFile = folder->path() / "stderr.txt";
        const int raw = std::system(("(" + command + ") >" + q(outFile) + " 2>" + q(errFile)).c_str());
        EXPECT_TRUE(fs::is_empty(tmp())) << "working folders left behind";
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(outFile), slurp(errFile)};
    }
    static std::string slurp(const fs::path& file) {
        std::ifstream stream(file);
        return {std::istreambuf_iterator<char>(stream), {}};
    }
    // The report, name by name, each status in the order written.
    std::map<std::string, std::vector<PairResult>> report() const {
        std::map<std::string, std::vector<PairResult>> byName;
        std::ifstream stream(out() / kReportFileName);
        for (std::string line; std::getline(stream, line);) {
            const auto result = parseReportLine(line);
            EXPECT_TRUE(result) << line;
            if (result) byName[result->name].push_back(*result);
        }
        return byName;
    }
    // A joined sample is whole: it decodes to the full sheet.
    void expectCompleteSheet(const fs::path& file) {
        HeaderBlock header{};
        const std::uint32_t size = instance->imageSize(file);
        ASSERT_NE(size, 0u) << file;
        std::vector<std::uint8_t> pixels(size);
        ASSERT_TRUE(instance->readImage(file, header, pixels.data())) << file;
        EXPECT_EQ(header.header.width, 2355) << file;
        EXPECT_EQ(header.header.height, 1797) << file;
    }
    void expectNoHiddenFiles() {
        for (const auto& entry : fs::directory_iterator(out()))
            if (entry.path().filename() != kPairLockFileName) {
                EXPECT_NE(entry.path().filename().string()[0], '.') << "a partial output: " << entry.path();
            }
    }

    std::optional<PrivateFolder> folder;
    std::shared_ptr<ImageFileLibrary> library;
    std::optional<ImageFileInstance> instance;
};

TEST_F(MergeBatchTest, ReportSummaryAndSkipOfFinishedPairs) {
    addPair("sheet2");
    addPair("sheet10");
    // Blank paper has nothing to align by; a truncated part and a lone part cannot be joined.
    HeaderBlock white{};
    white.header = ImageHeader{40, 600, 400, 1, 24, 0, 0, 5906, 5906, 0, 0};
    white.header.sizeImage = PixelTools::imageDataSize(white.header);
    const std::vector<std::uint8_t> pixels(white.header.sizeImage, 255);
    ASSERT_TRUE(instance->writeImage(in() / "blank-left.png", white, pixels.data()));
    ASSERT_TRUE(instance->writeImage(in() / "blank-right.png", white, pixels.data()));
    fs::copy_file(kSamples + "scan-left.jpg", in() / "cut_L.jpg");
    fs::copy_file(kSamples + "scan-right.jpg", in() / "cut_R.jpg");
    fs::resize_file(in() / "cut_R.jpg", 4000);
    fs::copy_file(kSamples + "scan-left.jpg", in() / "lone-left.jpg");

    const Result first = run(batch() + " --jobs 2");
    EXPECT_EQ(first.status, 4) << first.err;
    EXPECT_TRUE(first.out.empty());
    auto lines = report();
    ASSERT_EQ(lines.size(), 5u);
    const PairResult& joined = lines["sheet10"].at(0);
    EXPECT_EQ(joined.status, PairStatus::joined);
    EXPECT_EQ(joined.left, (in() / "sheet10-left.jpg").string());
    EXPECT_EQ(joined.right, (in() / "sheet10-right.jpg").string());
    EXPECT_EQ(joined.output, (out() / "sheet10.jpg").string());
    EXPECT_EQ(joined.placement,
              R"({"flipped": true, "angle_deg": 0.7000, "dx": 1094.76, "dy": -42.62, "confidence": 0.93})");
    EXPECT_GT(joined.seconds, 0);
    EXPECT_EQ(lines["blank"].at(0).status, PairStatus::refused);
    EXPECT_FALSE(lines["blank"].at(0).reason.empty());
    EXPECT_EQ(lines["cut"].at(0).status, PairStatus::failed);
    EXPECT_EQ(lines["cut"].at(0).reason.rfind((in() / "cut_R.jpg").string() + ": ", 0), 0u)
        << lines["cut"][0].reason;
    EXPECT_EQ(lines["lone"].at(0).reason, "the right part is missing");
    for (const char* name : {"sheet2", "sheet10"})
        expectCompleteSheet(out() / (std::string(name) + ".jpg"));
    for (const char* name : {"blank.png", "cut.jpg", "lone.jpg"})
        EXPECT_FALSE(fs::exists(out() / name));
    // The summary counts and names what was not joined; plain lines, no bar, off a terminal.
    EXPECT_NE(first.err.find("5 pairs: 2 joined, 0 already done, 1 refused, 2 failed"), std::string::npos)
        << first.err;
    for (const char* line : {"\ntandemscan-merge: blank: refused: ", "\ntandemscan-merge: cut: failed: ",
                             "\ntandemscan-merge: lone: failed: the right part is missing\n"})
        EXPECT_NE(first.err.find(line), std::string::npos) << line;
    EXPECT_EQ(first.err.find('\r'), std::string::npos);

    // Again: the joined pairs are skipped, the others tried again.
    const auto written = fs::last_write_time(out() / "sheet2.jpg");
    const Result second = run(batch());
    EXPECT_EQ(second.status, 4);
    EXPECT_NE(second.err.find("5 pairs: 0 joined, 2 already done, 1 refused, 2 failed"), std::string::npos)
        << second.err;
    EXPECT_EQ(fs::last_write_time(out() / "sheet2.jpg"), written);
    lines = report();
    EXPECT_EQ(lines["sheet2"].size(), 1u);
    EXPECT_EQ(lines["blank"].size(), 2u);

    // A part scanned again makes its pair due; without the others every pair joins.
    for (const char* name : {"blank-left.png", "blank-right.png", "cut_L.jpg", "cut_R.jpg", "lone-left.jpg"})
        fs::remove(in() / name);
    fs::last_write_time(in() / "sheet2-right.jpg", written + std::chrono::seconds(1));
    const Result third = run(batch() + " --jobs 1");
    EXPECT_EQ(third.status, 0) << third.err;
    EXPECT_NE(third.err.find("2 pairs: 1 joined, 1 already done, 0 refused, 0 failed"), std::string::npos)
        << third.err;
    EXPECT_EQ(report()["sheet2"].size(), 2u);
    expectCompleteSheet(out() / "sheet2.jpg");
}

TEST_F(MergeBatchTest, ExitStatuses) {
    addPair("a");
    fs::create_directories(folder->path() / "file");
    std::ofstream(folder->path() / "plain") << "x";
    struct Case {
        std::string args;
        int status;
        std::string message; // the start of standard error
    };
    const Case cases[] = {
        {"--batch " + q(in()), 1, "tandemscan-merge: give the folder of the parts with --batch"},
        {batch() + " --jobs two", 1, "tandemscan-merge: --jobs takes"},
        {"--batch " + q(in()) + " -o " + q(in()), 1,
         "tandemscan-merge: give a folder for the joined images other"},
        {"--batch " + q(folder->path() / "none") + " -o " + q(out()), 2,
         "tandemscan-merge: " + (folder->path() / "none").string() + ": "},
        {"--batch " + q(folder->path() / "file") + " -o " + q(out()), 2,
         "tandemscan-merge: " + (folder->path() / "file").string() + ": holds no pairs"},
        {batch() + " --only b", 2, "tandemscan-merge: " + in().string() + ": no pair named b"},
        {"--batch " + q(in()) + " -o " + q(folder->path() / "plain" / "out"), 3,
         "tandemscan-merge: " + (folder->path() / "plain" / "out").string() + ": "},
        {batch() + " --list", 0, ""},
        {batch() + " --only a --format png", 0, "tandemscan-merge: a: joined in "},
        {batch() + " --only a --format png", 0, "tandemscan-merge: a: already done\n"},
        {batch() + " --align auto", 0, "tandemscan-merge: [1/1] a: joined in "},
    };
    for (const Case& c : cases) {
        const Result r = run(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
        EXPECT_EQ(r.err.substr(0, c.message.size()), c.message) << c.args;
    }
    EXPECT_EQ(run(batch() + " --list").out, "a\n");
    EXPECT_TRUE(fs::exists(out() / "a.png"));
}

// Runs a batch in the background and ends it with `signal` once `pairs` report lines are written.
// Returns once the batch and every job of it have ended: the test takes the jobs over when the
// batch dies (child subreaper), so a job still removing its files cannot race what follows.
int interrupt(const std::string& command, const fs::path& reportFile, std::size_t pairs, int signal) {
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    FILE* child = popen(("echo $$; " + command + " 2>/dev/null").c_str(), "r");
    if (!child) return -1;
    int pid = 0;
    if (std::fscanf(child, "%d", &pid) != 1) return -1;
    for (int i = 0; i < 30000; ++i) {
        std::ifstream stream(reportFile);
        const auto lines = std::count(std::istreambuf_iterator<char>(stream), {}, '\n');
        if (static_cast<std::size_t>(lines) >= pairs) break;
        usleep(1000);
    }
    kill(pid, signal);
    const int status = pclose(child);
    while (::waitpid(-1, nullptr, 0) > 0 || errno == EINTR) {
    }
    return status;
}

TEST_F(MergeBatchTest, AnInterruptedBatchIsContinuedByTheSameCommand) {
    for (int i = 1; i <= 8; ++i)
        addPair("p" + std::to_string(i));
    const std::string command = "TMPDIR=" + q(tmp()) + " exec " + q(kProgram) + " " + batch() + " --jobs 2";
    // Ctrl+C: the running pairs are abandoned, the summary says so, the status tells the signal.
    const int stopped = interrupt(command, out() / kReportFileName, 2, SIGINT);
    EXPECT_TRUE(WIFEXITED(stopped) && WEXITSTATUS(stopped) == 130) << stopped;
    EXPECT_TRUE(fs::is_empty(tmp())) << "the jobs removed their working files";
    // Killed outright: the jobs end with it, each taking its unfinished output away.
    const int killed = interrupt(command, out() / kReportFileName, 4, SIGKILL);
    EXPECT_TRUE(WIFSIGNALED(killed) && WTERMSIG(killed) == SIGKILL) << killed;
    // The batch's own working folder is left, for the next run to clear; it is made to look old,
    // as the next run follows at once: no job of the killed batch may still be joining by then.
    for (const auto& entry : fs::directory_iterator(tmp()))
        fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::minutes(5));
    expectNoHiddenFiles();
    std::size_t done = 0;
    for (const auto& entry : fs::directory_iterator(out()))
        if (entry.path().extension() == ".jpg") {
            expectCompleteSheet(entry.path());
            ++done;
        }
    EXPECT_LT(done, 8u) << "interrupted before the end";

    const Result rest = run(batch() + " --jobs 2");
    EXPECT_EQ(rest.status, 0) << rest.err;
    expectNoHiddenFiles();
    const auto lines = report();
    EXPECT_EQ(lines.size(), 8u);
    for (const auto& [name, results] : lines) {
        EXPECT_EQ(results.size(), 1u) << name << " joined more than once";
        expectCompleteSheet(out() / (name + ".jpg"));
    }
}

TEST_F(MergeBatchTest, GnuParallelJoinsOnePairATask) {
    if (std::system("command -v parallel >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "GNU parallel is not installed (Debian package 'parallel'; scripts/install-deps)";
    for (const char* name : {"a", "b", "c"})
        addPair(name);
    const Result r =
        runShell(q(kProgram) + " " + batch() + " --list | TMPDIR=" + q(tmp()) + " parallel --will-cite -j2 " +
                 q(kProgram) + " " + batch() + " --only {} && echo done >&2");
    ASSERT_EQ(r.err.substr(r.err.size() - 5), "done\n") << r.err;
    const auto lines = report();
    EXPECT_EQ(lines.size(), 3u);
    for (const auto& [name, results] : lines) {
        ASSERT_EQ(results.size(), 1u) << name;
        EXPECT_EQ(results[0].status, PairStatus::joined) << name;
        expectCompleteSheet(out() / (name + ".jpg"));
    }
    // Each task's report line on standard output too, for parallel's own collecting.
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 3);
}

} // namespace
} // namespace tandemscan
