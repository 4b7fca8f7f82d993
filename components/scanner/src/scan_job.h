// One scan on its own thread: starts the device, reads every frame, and leaves the picture as a
// header block and bottom-up padded rows. The caller's thread only watches the counters and,
// once finished() is true, takes the outcome.
#pragma once

#include "image_rows.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <sane/sane.h>
#include <string>
#include <thread>
#include <vector>

namespace scanner {

struct ScanRequest {
    SANE_Handle handle = nullptr;
    ImageType type = ImageType::Color;
    uint8_t threshold = 128;
    double xDotsPerInch = 0; // stated in the header
    double yDotsPerInch = 0;
};

struct ScanOutcome {
    bool ok = false;
    bool endedByDevice = false; // the device cancelled the scan by itself
    std::string error;
    std::array<uint8_t, kHeaderBlockSize> header{};
    std::vector<uint8_t> pixels; // rows bottom-up, each padded to 4 bytes
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t stride = 0;
};

// The largest pixel block handed over: its size must fit the 32-bit byte count of a transfer.
constexpr std::size_t kMaxImageBytes = 0x7FFFFFFF;

class ScanJob {
  public:
    // Starts the worker at once. onFinished runs on the worker thread after finished() is true.
    ScanJob(ScanRequest request, std::function<void()> onFinished);
    ~ScanJob();
    ScanJob(const ScanJob&) = delete;
    ScanJob& operator=(const ScanJob&) = delete;

    // Asks the worker to stop before its next read and waits for it. True when it was still
    // running, in which case the outcome says the scan was cancelled.
    bool cancel();
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    uint32_t rowsRead() const { return rowsRead_.load(std::memory_order_relaxed); }
    uint32_t rowsExpected() const { return rowsExpected_.load(std::memory_order_relaxed); }
    // Only once finished().
    ScanOutcome& outcome() { return outcome_; }

  private:
    void run();
    bool readFrames();
    bool fail(std::string why);

    ScanRequest request_;
    std::function<void()> onFinished_;
    ScanOutcome outcome_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> finished_{false};
    std::atomic<uint32_t> rowsRead_{0};
    std::atomic<uint32_t> rowsExpected_{0};
    std::thread thread_;
};

} // namespace scanner
