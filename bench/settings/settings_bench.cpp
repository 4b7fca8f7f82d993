// The send-to list of 4096 programs read from a generated 17 MB tsApinfo.dat, whose bulk is a
// section before the list: every key looked up in the whole file, against the list's section
// gathered once and then looked up. Loading the file is timed alone, as both ways share it.
// The save writes the list back key by key, against the list in one pass. After the runs a table
// gives the ratios (above 1: the one-pass way is faster).
#include "ini_file.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace {

constexpr int kPrograms = 4096;
constexpr std::size_t kFileBytes = 17u << 20;

const std::filesystem::path& dataFile() {
    static const std::filesystem::path path = [] {
        const auto file = std::filesystem::temp_directory_path() /
                          ("settings-bench-" + std::to_string(::getpid()) + ".dat");
        std::ofstream out(file, std::ios::binary);
        out << "[first run]\r\nflag=1\r\n[history]\r\n";
        std::size_t written = 0;
        const std::size_t listBytes = kPrograms * 40;
        for (int n = 0; written + listBytes < kFileBytes; ++n) {
            const std::string line =
                "Entry" + std::to_string(n) + "=/home/user/pictures/scan-" + std::to_string(n) + ".jpg\r\n";
            out << line;
            written += line.size();
        }
        out << "[current app]\r\nAppCount=" << kPrograms << "\r\n";
        for (int n = 1; n <= kPrograms; ++n)
            out << "ExePathName" << n << "=/usr/bin/program-" << n << "\r\n";
        return file;
    }();
    return path;
}

const tandemscan::IniFile& loaded() {
    static const tandemscan::IniFile ini = [] {
        tandemscan::IniFile file(dataFile());
        file.load();
        return file;
    }();
    return ini;
}

void BM_Load(benchmark::State& state) {
    for (auto _ : state) {
        tandemscan::IniFile ini(dataFile());
        benchmark::DoNotOptimize(ini.load());
    }
}

void BM_EachKeyInWholeFile(benchmark::State& state) {
    const auto& ini = loaded();
    for (auto _ : state) {
        std::size_t total = 0;
        const long long count = ini.readInt("current app", "AppCount");
        for (long long n = 1; n <= count; ++n)
            total += ini.readString("current app", "ExePathName" + std::to_string(n)).size();
        benchmark::DoNotOptimize(total);
    }
}

void BM_SectionReadOnce(benchmark::State& state) {
    const auto& ini = loaded();
    for (auto _ : state) {
        std::size_t total = 0;
        const tandemscan::IniSection apps = ini.section("current app");
        const long long count = apps.readInt("AppCount");
        for (long long n = 1; n <= count; ++n)
            total += apps.readString("ExePathName" + std::to_string(n)).size();
        benchmark::DoNotOptimize(total);
    }
}

// The dialog's save: the whole list written back, key by key or in one pass.
std::vector<std::pair<std::string, std::string>> listEntries() {
    std::vector<std::pair<std::string, std::string>> entries{{"AppCount", std::to_string(kPrograms)}};
    for (int n = 1; n <= kPrograms; ++n)
        entries.emplace_back("ExePathName" + std::to_string(n),
                             "/usr/local/bin/program-" + std::to_string(n));
    return entries;
}

void BM_WriteEachKey(benchmark::State& state) {
    const auto entries = listEntries();
    for (auto _ : state) {
        state.PauseTiming();
        tandemscan::IniFile ini = loaded();
        state.ResumeTiming();
        for (const auto& [key, value] : entries)
            ini.writeString("current app", key, value);
        benchmark::DoNotOptimize(ini);
    }
}

void BM_WriteListOnce(benchmark::State& state) {
    const auto entries = listEntries();
    for (auto _ : state) {
        state.PauseTiming();
        tandemscan::IniFile ini = loaded();
        state.ResumeTiming();
        benchmark::DoNotOptimize(ini.writeStrings("current app", entries));
    }
}

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteEachKey)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WriteListOnce)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_EachKeyInWholeFile)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_SectionReadOnce)->Unit(benchmark::kMillisecond)->Iterations(5);

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs)
            seconds_[run.benchmark_name()] = run.GetAdjustedRealTime() / 1000.0;
        ConsoleReporter::ReportRuns(runs);
    }
    void printRatios() const {
        const auto time = [&](const char* prefix) {
            for (const auto& [name, seconds] : seconds_)
                if (name.rfind(prefix, 0) == 0) return seconds;
            return 0.0;
        };
        const double load = time("BM_Load");
        const double perKey = time("BM_EachKeyInWholeFile");
        const double once = time("BM_SectionReadOnce");
        if (once <= 0) return;
        std::printf("\n%-34s %10s %10s %8s\n", "4096 programs, 17 MB file", "per key s", "once s", "ratio");
        std::printf("%-34s %10.3f %10.3f %8.1f\n", "lookups", perKey, once, perKey / once);
        std::printf("%-34s %10.3f %10.3f %8.1f\n", "load + lookups (the dialog's fill)", load + perKey,
                    load + once, (load + perKey) / (load + once));
        const double writeEach = time("BM_WriteEachKey");
        const double writeOnce = time("BM_WriteListOnce");
        if (writeOnce > 0)
            std::printf("%-34s %10.3f %10.3f %8.1f\n", "writes (the dialog's save)", writeEach, writeOnce,
                        writeEach / writeOnce);
    }

  private:
    std::map<std::string, double> seconds_;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printRatios();
    std::error_code ignored;
    std::filesystem::remove(dataFile(), ignored);
    return 0;
}
