// The report of tandemscan-merge --batch: one JSON line a pair, appended as each pair ends, so
// that an interrupted batch keeps what it did and jobs on several machines share one file.
#pragma once

#include "engine/working_files.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tandemscan {

inline constexpr const char* kReportFileName = "tandemscan-report.jsonl";
inline constexpr const char* kPairLockFileName = ".tandemscan-batch.lock";

enum class PairStatus { joined, refused, failed };

struct PairResult {
    PairStatus status = PairStatus::failed;
    std::string name;
    std::string left, right; // the parts' paths; empty when missing
    std::string output;      // empty unless joined
    std::string placement;   // the placement found, a JSON object; empty when none
    std::string reason;      // why it was refused or failed
    double seconds = 0;
};

const char* statusName(PairStatus status);

// `text` as a JSON string, quotes included.
std::string jsonQuoted(std::string_view text);

// The report line of a result, without its newline; parseReportLine reads one back.
std::string reportLine(const PairResult& result);
std::optional<PairResult> parseReportLine(std::string_view line);

// Appends `line` and a newline in one write, under a lock, to the report file. False with `why`.
bool appendReportLine(const std::filesystem::path& report, const std::string& line, std::string& why);

// A claim on one pair of the output folder, for as long as it lives: two runs over the same
// folder (a batch continued while its killed jobs still end, overlapping tasks of a scheduler)
// join a pair one after the other, so the second finds it done. One byte of one lock file a
// pair, so that no lock file is ever removed while another run waits on it.
class PairLock {
  public:
    // Waits for the pair `name`; nullopt with `why` when the lock file cannot be had.
    static std::optional<PairLock> acquire(const std::filesystem::path& outputDir, std::string_view name,
                                           std::string& why);

  private:
    explicit PairLock(FileHandle file) : file_(std::move(file)) {}
    FileHandle file_; // closing it drops the lock
};

// True when `output` exists and was written after both parts were last changed.
bool isUpToDate(const std::filesystem::path& output, const std::filesystem::path& left,
                const std::filesystem::path& right);

} // namespace tandemscan
