#include "cli/batch_progress.h"

#include "cli/merge_tool.h"

#include <cmath>
#include <iomanip>
#include <ostream>
#include <sstream>

namespace tandemscan {

namespace {

constexpr const char* kProgram = "tandemscan-merge";

std::string confidenceOf(const std::string& placement) {
    const std::string key = "\"confidence\": ";
    const std::size_t at = placement.find(key);
    if (at == std::string::npos) return {};
    const std::size_t end = placement.find_first_of(",}", at);
    return placement.substr(at + key.size(), end - at - key.size());
}

} // namespace

std::string pairLine(const PairResult& result) {
    std::ostringstream line;
    line << printable(result.name) << ": " << statusName(result.status);
    if (result.status != PairStatus::joined) {
        line << ": " << printable(result.reason);
        return line.str();
    }
    line << " in " << std::fixed << std::setprecision(2) << result.seconds << " s";
    if (const std::string confidence = confidenceOf(result.placement); !confidence.empty())
        line << " (confidence " << confidence << ")";
    return line.str();
}

std::string timeLeftText(double seconds) {
    const long whole = std::lround(std::max(seconds, 1.0));
    std::ostringstream text;
    text << "about ";
    if (whole >= 3600)
        text << whole / 3600 << " h " << (whole % 3600) / 60 << " min";
    else if (whole >= 60)
        text << whole / 60 << " min " << whole % 60 << " s";
    else
        text << whole << " s";
    text << " left";
    return text.str();
}

BatchProgress::BatchProgress(std::ostream& err, bool bar, bool lines, std::size_t pairs)
    : err_(err), bar_(bar), lines_(lines), pairs_(pairs) {}

BatchProgress::~BatchProgress() {
    clearBar();
}

void BatchProgress::clearBar() {
    if (barShown_) err_ << "\r\033[K" << std::flush;
    barShown_ = false;
}

void BatchProgress::started(std::size_t toJoin) {
    toJoin_ = toJoin;
    started_ = true;
    start_ = std::chrono::steady_clock::now();
    if (lines_ && skipped_ > 0)
        err_ << kProgram << ": " << skipped_ << " of " << pairs_ << " pairs are already done\n";
}

void BatchProgress::pairDone(const PairResult& result) {
    if (result.status == PairStatus::joined)
        ++joined_;
    else
        notJoined_.push_back(result);
    if (started_) ++finished_;
    const std::size_t done = skipped_ + joined_ + notJoined_.size();
    // On a terminal only what went wrong gets a line of its own, above the bar.
    if (lines_ || (bar_ && result.status != PairStatus::joined)) {
        clearBar();
        err_ << kProgram << ": [" << done << "/" << pairs_ << "] " << pairLine(result) << "\n";
    }
    lastDraw_ = {};
}

void BatchProgress::redraw(std::size_t running) {
    if (!bar_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastDraw_ < std::chrono::milliseconds(200)) return;
    lastDraw_ = now;
    const std::size_t failed = notJoined_.size();
    const std::size_t done = skipped_ + joined_ + failed;
    constexpr std::size_t kWidth = 24;
    const std::size_t filled = pairs_ ? done * kWidth / pairs_ : kWidth;
    std::ostringstream line;
    line << "\r\033[K" << kProgram << ": [" << std::string(filled, '#') << std::string(kWidth - filled, '.')
         << "] " << done << "/" << pairs_ << " done";
    if (failed) line << ", " << failed << " not joined";
    if (running) line << ", " << running << " running";
    if (finished_ > 0 && finished_ < toJoin_) {
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        line << ", "
             << timeLeftText(elapsed / static_cast<double>(finished_) *
                             static_cast<double>(toJoin_ - finished_));
    }
    err_ << line.str() << std::flush;
    barShown_ = true;
}

void BatchProgress::summary(const std::string& report, bool interrupted) {
    clearBar();
    std::size_t refused = 0;
    for (const PairResult& r : notJoined_)
        refused += r.status == PairStatus::refused;
    err_ << kProgram << ": " << (interrupted ? "interrupted: " : "") << pairs_ << " pairs: " << joined_
         << " joined, " << skipped_ << " already done, " << refused << " refused, "
         << notJoined_.size() - refused << " failed";
    if (abandoned_ || interrupted)
        err_ << ", " << pairs_ - skipped_ - joined_ - notJoined_.size() << " not done";
    err_ << "; report in " << printable(report) << "\n";
    for (const PairResult& r : notJoined_)
        err_ << kProgram << ": " << pairLine(r) << "\n";
    if (interrupted) err_ << kProgram << ": the same command continues the batch\n";
    err_ << std::flush;
}

} // namespace tandemscan
