// What a batch shows while it runs: one progress bar on a terminal, a plain line a pair
// otherwise, and the summary at the end.
#pragma once

#include "cli/batch_report.h"

#include <chrono>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace tandemscan {

// "NAME: joined in 2.41 s (confidence 0.93)", "NAME: refused: REASON", "NAME: failed: REASON".
std::string pairLine(const PairResult& result);

// "about 1 min 20 s left" for a number of seconds.
std::string timeLeftText(double seconds);

class BatchProgress {
  public:
    BatchProgress(std::ostream& err, bool bar, bool lines, std::size_t pairs);
    ~BatchProgress();
    BatchProgress(const BatchProgress&) = delete;
    BatchProgress& operator=(const BatchProgress&) = delete;

    void pairSkipped() { ++skipped_; }
    // After the pairs already done are counted, with the number left to join.
    void started(std::size_t toJoin);
    void pairDone(const PairResult& result);
    void pairAbandoned() { ++abandoned_; }
    void redraw(std::size_t running);
    void summary(const std::string& report, bool interrupted);
    bool allJoined() const { return notJoined_.empty() && abandoned_ == 0; }

  private:
    void clearBar();

    std::ostream& err_;
    bool bar_, lines_;
    std::size_t pairs_;
    std::size_t skipped_ = 0, joined_ = 0, abandoned_ = 0, toJoin_ = 0, finished_ = 0;
    bool started_ = false;
    std::vector<PairResult> notJoined_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
    bool barShown_ = false;
};

} // namespace tandemscan
