#include "scan_job.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace scanner {

namespace {

std::optional<FrameKind> frameKind(SANE_Frame format) {
    switch (format) {
    case SANE_FRAME_GRAY:
        return FrameKind::Gray;
    case SANE_FRAME_RGB:
        return FrameKind::Rgb;
    case SANE_FRAME_RED:
        return FrameKind::Red;
    case SANE_FRAME_GREEN:
        return FrameKind::Green;
    case SANE_FRAME_BLUE:
        return FrameKind::Blue;
    }
    return std::nullopt;
}

bool singleChannel(FrameKind kind) {
    return kind == FrameKind::Red || kind == FrameKind::Green || kind == FrameKind::Blue;
}

constexpr SANE_Int kChunkBytes = 64 * 1024;

} // namespace

ScanJob::ScanJob(ScanRequest request, std::function<void()> onFinished)
    : request_(request), onFinished_(std::move(onFinished)) {
    thread_ = std::thread([this] { run(); });
}

ScanJob::~ScanJob() {
    cancel();
}

bool ScanJob::cancel() {
    const bool wasRunning = !finished();
    stop_.store(true, std::memory_order_release);
    if (thread_.joinable()) thread_.join();
    return wasRunning;
}

bool ScanJob::fail(std::string why) {
    outcome_.ok = false;
    outcome_.error = std::move(why);
    outcome_.pixels.clear();
    outcome_.pixels.shrink_to_fit();
    return false;
}

void ScanJob::run() {
    if (readFrames()) {
        flipRows(outcome_.pixels, outcome_.stride);
        writeHeaderBlock(outcome_.header, outcome_.width, outcome_.height, request_.type,
                         request_.xDotsPerInch, request_.yDotsPerInch);
        outcome_.ok = true;
    }
    // SANE wants sane_cancel after every image, finished or not, before the next sane_start.
    sane_cancel(request_.handle);
    finished_.store(true, std::memory_order_release);
    if (onFinished_) onFinished_();
}

bool ScanJob::readFrames() {
    const SANE_Handle h = request_.handle;
    std::vector<uint8_t> chunk(kChunkBytes);
    std::vector<uint8_t> line;
    std::vector<uint8_t>& pixels = outcome_.pixels;
    for (int frame = 0;; ++frame) {
        if (stop_.load(std::memory_order_acquire)) return fail("The scan was cancelled.");
        const SANE_Status started = sane_start(h);
        if (started != SANE_STATUS_GOOD) {
            outcome_.endedByDevice = started == SANE_STATUS_CANCELLED;
            return fail(std::string("The scanner could not start: ") + sane_strstatus(started) + ".");
        }
        SANE_Parameters p{};
        if (sane_get_parameters(h, &p) != SANE_STATUS_GOOD) {
            return fail("The scanner did not describe its image.");
        }
        const std::optional<FrameKind> kind = frameKind(p.format);
        if (!kind || p.pixels_per_line <= 0 || p.bytes_per_line <= 0) {
            return fail("The scanner sends an image layout that cannot be read.");
        }
        const auto width = static_cast<uint32_t>(p.pixels_per_line);
        if (frame == 0) {
            outcome_.width = width;
            outcome_.stride = rowStride(width, bitCountFor(request_.type));
            if (p.lines > 0) {
                const uint32_t passes = singleChannel(*kind) ? 3 : 1;
                rowsExpected_.store(static_cast<uint32_t>(p.lines) * passes, std::memory_order_relaxed);
                if (std::size_t{outcome_.stride} * static_cast<uint32_t>(p.lines) > kMaxImageBytes) {
                    return fail("The scan is too large; choose a lower resolution or a smaller area.");
                }
                pixels.reserve(std::size_t{outcome_.stride} * static_cast<uint32_t>(p.lines));
            }
        } else if (width != outcome_.width) {
            return fail("The scanner's colour passes differ in width.");
        }
        const std::optional<RowConverter> converter =
            RowConverter::make(request_.type, LineFormat{*kind, p.depth, width}, request_.threshold);
        if (!converter) {
            return fail("The scanner sends " + std::to_string(p.depth) +
                        "-bit samples in a form that cannot be read.");
        }
        const auto lineBytes = static_cast<std::size_t>(p.bytes_per_line);
        line.assign(lineBytes, 0);
        std::size_t filled = 0;
        uint32_t lineIndex = 0;
        for (;;) {
            if (stop_.load(std::memory_order_acquire)) return fail("The scan was cancelled.");
            SANE_Int length = 0;
            const SANE_Status status = sane_read(h, chunk.data(), kChunkBytes, &length);
            if (status == SANE_STATUS_EOF) break;
            if (status != SANE_STATUS_GOOD) {
                outcome_.endedByDevice = status == SANE_STATUS_CANCELLED;
                return fail(std::string("The scanner stopped: ") + sane_strstatus(status) + ".");
            }
            for (std::size_t used = 0; used < static_cast<std::size_t>(length);) {
                const std::size_t n = std::min(lineBytes - filled, static_cast<std::size_t>(length) - used);
                std::memcpy(line.data() + filled, chunk.data() + used, n);
                filled += n;
                used += n;
                if (filled < lineBytes) break;
                filled = 0;
                if (frame == 0) {
                    if (pixels.size() + outcome_.stride > kMaxImageBytes) {
                        return fail("The scan is too large; choose a lower resolution or a smaller area.");
                    }
                    pixels.resize(pixels.size() + outcome_.stride, 0);
                    converter->convert(line.data(), pixels.data() + pixels.size() - outcome_.stride);
                } else if (lineIndex < outcome_.height) {
                    converter->convert(line.data(), pixels.data() + std::size_t{lineIndex} * outcome_.stride);
                }
                ++lineIndex;
                if (frame == 0) outcome_.height = lineIndex;
                rowsRead_.fetch_add(1, std::memory_order_relaxed);
            }
        }
        if (outcome_.height == 0) return fail("The scanner delivered no image.");
        if (p.last_frame) return true;
    }
}

} // namespace scanner
