// Loading a part and merging two parts, side by side with a bare libjpeg-turbo decode and with
// vips and ImageMagick, and the memory a full-resolution merge takes.
//
// On these virtual machines the first write to a fresh 4 KiB page costs about 10 microseconds, so
// the fault-in variants of BM_FreshPages show what a buffer costs before any pixel is written.
#include "bench_images.h"
#include "engine/image_engine.h"
#include "engine/working_files.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tandemscan::bench {
namespace {

namespace fs = std::filesystem;

constexpr int kA4Width600 = 4961; // 210 mm at 600 dpi, rounded up to pass the A4 width rule
constexpr int kA4Height600 = 7016;
constexpr int kA4Width300 = 2480;
constexpr int kA4Height300 = 3508;

// The parts, made once per run in a private folder that goes away with the run.
struct BenchData {
    PrivateFolder folder;
    fs::path left600, right600, left300, right300;

    static BenchData& get() {
        static BenchData data = make();
        return data;
    }
    fs::path path(const std::string& name) const { return folder.path() / name; }

  private:
    static BenchData make() {
        auto folder = PrivateFolder::create(temporaryRoot(), "engine-bench-");
        BenchData data{std::move(*folder), {}, {}, {}, {}};
        data.left600 = data.path("left600.jpg");
        data.right600 = data.path("right600.jpg");
        data.left300 = data.path("left300.jpg");
        data.right300 = data.path("right300.jpg");
        writeJpegPart(data.left600, kA4Width600, kA4Height600, 600, 1);
        writeJpegPart(data.right600, kA4Width600, kA4Height600, 600, 2);
        writeJpegPart(data.left300, kA4Width300, kA4Height300, 300, 3);
        writeJpegPart(data.right300, kA4Width300, kA4Height300, 300, 4);
        return data;
    }
};

std::vector<std::uint8_t> slurp(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::shared_ptr<ImageFileLibrary> component() {
    static std::shared_ptr<ImageFileLibrary> library = ImageFileLibrary::load(TS_PROGRAM_DIR, nullptr);
    return library;
}

// libjpeg-turbo alone, reading the file and decoding into an already-touched buffer.
void BM_BareDecode600(benchmark::State& state) {
    const BenchData& data = BenchData::get();
    std::vector<std::uint8_t> pixels;
    int width = 0, height = 0;
    decodeJpegBare(slurp(data.left600), pixels, width, height);
    for (auto _ : state) {
        decodeJpegBare(slurp(data.left600), pixels, width, height);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetLabel(std::to_string(width) + "x" + std::to_string(height));
}
BENCHMARK(BM_BareDecode600)->Unit(benchmark::kMillisecond)->MinTime(2);

// What loading a part costs the program: decode through the component into the side's store
// block (a mapping of its backing file), then the 60 dpi working copy. The block is reused, as
// the workspace reuses its two blocks.
void BM_LoadPart600(benchmark::State& state) {
    const BenchData& data = BenchData::get();
    ImageEngine engine(component(), data.folder.path());
    auto block = engine.createStoreBlock(Side::Left);
    ImageRecord working;
    for (auto _ : state) {
        if (!engine.loadOriginal(*block, data.left600) || !engine.makeWorkingCopy(*block, working, false))
            state.SkipWithError(engine.lastError().c_str());
    }
    state.SetLabel(std::string(block->kind() == StoreKind::fileMapped ? "file-mapped" : "other") +
                   ", working " + std::to_string(working.header().width) + "x" +
                   std::to_string(working.header().height));
}
BENCHMARK(BM_LoadPart600)->Unit(benchmark::kMillisecond)->MinTime(2);

// The same with a new store block each time: every page of the original is fresh.
void BM_LoadPart600FreshBlock(benchmark::State& state) {
    const BenchData& data = BenchData::get();
    ImageEngine engine(component(), data.folder.path());
    ImageRecord working;
    for (auto _ : state) {
        auto block = engine.createStoreBlock(Side::Left);
        if (!engine.loadOriginal(*block, data.left600) || !engine.makeWorkingCopy(*block, working, false))
            state.SkipWithError(engine.lastError().c_str());
    }
}
BENCHMARK(BM_LoadPart600FreshBlock)->Unit(benchmark::kMillisecond)->MinTime(2);

// The cost of a fresh 104 MB buffer (an A4 page at 600 dpi in 24 bits) by how it is faulted in.
void BM_FreshPages(benchmark::State& state) {
    const std::size_t bytes = std::size_t{14884} * kA4Height600;
    const BenchData& data = BenchData::get();
    const char* labels[] = {"anonymous, page by page", "anonymous, populated", "anonymous, huge pages",
                            "file, page by page",      "file, populated",      "heap (calloc), page by page"};
    const int variant = static_cast<int>(state.range(0));
    for (auto _ : state) {
        std::optional<WorkingFile> file;
        std::optional<MemoryBlock> block;
        std::vector<std::uint8_t> heap;
        switch (variant) {
        case 0:
            block = MemoryBlock::virtualMemory(bytes, false);
            break;
        case 1: {
            void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE,
                           -1, 0);
            benchmark::DoNotOptimize(p);
            munmap(p, bytes);
            continue;
        }
        case 2:
            block = MemoryBlock::virtualMemory(bytes, true);
            break;
        case 3:
        case 4:
            file = WorkingFile::create(data.path("pages.tmp"));
            block = MemoryBlock::mapFile(file->fd(), bytes, variant == 4);
            break;
        default:
            block = MemoryBlock::onHeap(bytes);
            break;
        }
        if (variant == 0 || variant == 3 || variant == 5)
            for (std::size_t at = 0; at < bytes; at += 4096)
                block->data()[at] = 1;
        benchmark::DoNotOptimize(block->data());
    }
    state.SetLabel(labels[variant]);
    // Seconds per page of the whole run, printed with its SI prefix (u for microseconds).
    state.counters["per_4k_page"] =
        benchmark::Counter(static_cast<double>(bytes / 4096) * static_cast<double>(state.iterations()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_FreshPages)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->Iterations(5);

struct Child {
    pid_t pid = -1;
    int status = -1;
};

Child spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Child child;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&child.pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// Waits for the child; adds the processor time it used (user and system) to `cpuSeconds`.
int wait(Child& child, double& cpuSeconds) {
    rusage usage{};
    if (child.pid > 0) wait4(child.pid, &child.status, 0, &usage);
    cpuSeconds += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                  double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return child.pid > 0 && WIFEXITED(child.status) ? WEXITSTATUS(child.status) : -1;
}

// Resident memory of a child, sampled from outside every millisecond: the anonymous part (heap
// and private mappings) at its peak, whole (so it bounds the rise above any baseline), and the
// file-backed part, where the originals and the joined image live.
long statusKilobytes(pid_t pid, const char* field) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    return -1;
}

// One run of a program: wall and processor time, peak anonymous resident memory (sampled) and
// peak resident set (the kernel's own count).
struct ToolRun {
    bool ok = false;
    double wallMs = 0, cpuMs = 0, anonPeakMB = 0, rssPeakMB = 0;
};

ToolRun measure(const std::vector<std::string>& args) {
    ToolRun run;
    const auto start = std::chrono::steady_clock::now();
    Child child = spawn(args);
    if (child.pid <= 0) return run;
    long peakAnon = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = wait4(child.pid, &child.status, WNOHANG, &usage);
        if (done != 0) break;
        peakAnon = std::max(peakAnon, statusKilobytes(child.pid, "RssAnon:"));
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    run.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.cpuMs = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    run.anonPeakMB = double(peakAnon) / 1024;
    run.rssPeakMB = double(usage.ru_maxrss) / 1024;
    run.ok = WIFEXITED(child.status) && WEXITSTATUS(child.status) == 0;
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Two A4 JPEG parts joined into one JPEG by us (--auto), by vips arrayjoin and by ImageMagick's
// +append, all at quality 90 (the quality our image file component writes). The three run in
// turn within each round, the order rotating from round to round, so that the load of the shared
// machine falls on all of them alike; the counters are medians over the rounds and the ratios
// of our medians to the peers'. ImageMagick is left out at 600 dpi: Debian's policy (256 MiB of
// memory, 1 GiB of disk cache) refuses a join of two 35-megapixel parts.
void mergeSideBySide(benchmark::State& state, int dpi, int rounds) {
    const BenchData& d = BenchData::get();
    const fs::path& left = dpi == 600 ? d.left600 : d.left300;
    const fs::path& right = dpi == 600 ? d.right600 : d.right300;
    const std::string tag = std::to_string(dpi);
    const std::vector<std::vector<std::string>> tools = {
        {std::string(TS_PROGRAM_DIR) + "/tandemscan-merge", left, right, "-o", d.path("ts" + tag + ".jpg"),
         "--auto", "--quiet"},
        {"/usr/bin/vips", "arrayjoin", left.string() + " " + right.string(),
         d.path("vips" + tag + ".jpg").string() + "[Q=90]", "--across", "2"},
        {"/usr/bin/convert", left, right, "+append", "-quality", "90", d.path("im" + tag + ".jpg")}};
    const char* names[] = {"ts", "vips", "im"};
    const int count = dpi == 600 ? 2 : 3;
    for (const auto& tool : tools)
        if (access(tool[0].c_str(), X_OK) != 0) {
            state.SkipWithError((tool[0] + " is missing: run scripts/install-bench-deps").c_str());
            return;
        }
    std::vector<ToolRun> runs[3];
    for (auto _ : state) {
        for (int round = 0; round < rounds; ++round)
            for (int k = 0; k < count; ++k) {
                const int tool = (round + k) % count;
                runs[tool].push_back(measure(tools[static_cast<std::size_t>(tool)]));
                if (!runs[tool].back().ok) state.SkipWithError((tools[tool][0] + " failed").c_str());
            }
    }
    double wall[3] = {0, 0, 0};
    for (int tool = 0; tool < count; ++tool) {
        auto field = [&](double ToolRun::*member) {
            std::vector<double> values;
            for (const ToolRun& run : runs[tool])
                values.push_back(run.*member);
            return median(values);
        };
        wall[tool] = field(&ToolRun::wallMs);
        state.counters[std::string(names[tool]) + "_ms"] = wall[tool];
        state.counters[std::string(names[tool]) + "_cpu_ms"] = field(&ToolRun::cpuMs);
        state.counters[std::string(names[tool]) + "_anon_MB"] = field(&ToolRun::anonPeakMB);
        state.counters[std::string(names[tool]) + "_rss_MB"] = field(&ToolRun::rssPeakMB);
    }
    state.counters["ts/vips"] = wall[1] > 0 ? wall[0] / wall[1] : 0;
    if (count == 3) state.counters["ts/im"] = wall[0] / wall[2];
    state.SetLabel(std::to_string(rounds) + " rounds, medians");
}
void BM_Merge300_SideBySide(benchmark::State& state) {
    mergeSideBySide(state, 300, 7);
}
void BM_Merge600_SideBySide(benchmark::State& state) {
    mergeSideBySide(state, 600, 5);
}
BENCHMARK(BM_Merge300_SideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_Merge600_SideBySide)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The same for a join by picture content: the person's sample pair brought to 600 dpi (four
// times the samples' 150 dpi, by ImageMagick), so that the placement is found and the right part
// is resampled into the joined image. Compare with the --auto join above.
void BM_ContentJoin600_PeakMemory(benchmark::State& state) {
    const BenchData& d = BenchData::get();
    const std::filesystem::path left = d.path("scan-left600.jpg"), right = d.path("scan-right600.jpg");
    for (const auto& [from, to] : {std::pair{"scan-left.jpg", left}, std::pair{"scan-right.jpg", right}}) {
        if (std::filesystem::exists(to)) continue;
        double cpu = 0;
        Child up =
            spawn({"/usr/bin/convert", std::string(TS_SOURCE_DIR) + "/samples/" + from, "-filter", "Catrom",
                   "-resize", "400%", "-density", "600", "-units", "PixelsPerInch", "-quality", "90", to});
        if (wait(up, cpu) != 0) {
            state.SkipWithError("convert is missing or failed: run scripts/install-bench-deps");
            return;
        }
    }
    long peakAnon = 0, peakFile = 0;
    for (auto _ : state) {
        Child child = spawn({std::string(TS_PROGRAM_DIR) + "/tandemscan-merge", left, right, "-o",
                             d.path("content600.jpg"), "--align", "content", "--quiet"});
        int status = 0;
        while (waitpid(child.pid, &status, WNOHANG) == 0) {
            peakAnon = std::max(peakAnon, statusKilobytes(child.pid, "RssAnon:"));
            peakFile = std::max(peakFile, statusKilobytes(child.pid, "RssFile:"));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("tandemscan-merge failed");
    }
    state.counters["anon_peak_MB"] = double(peakAnon) / 1024;
    state.counters["file_peak_MB"] = double(peakFile) / 1024;
}
BENCHMARK(BM_ContentJoin600_PeakMemory)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace
} // namespace tandemscan::bench

BENCHMARK_MAIN();
