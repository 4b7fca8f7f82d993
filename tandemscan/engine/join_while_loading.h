// Joining two parts by a cut while they are still being decoded: the writer is handed each joined
// row as soon as the rows it is made of are final, so that decoding and encoding share the cores
// and the joined picture is never held whole.
#pragma once

#include "engine/composer.h"
#include "engine/image_file.h"

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>

namespace tandemscan {

// A part's pixel block as its decoder fills it on another thread, for a part checked beforehand
// with the header `expected`. The decoder calls begin(), then rowsDone() as rows become final,
// then finish() exactly once (also when it fails early).
class PartRows {
  public:
    explicit PartRows(const HeaderBlock& expected) : expected_(expected) {}

    // Decoder side. The pages a few megabytes ahead of the decoder are supplied in bulk as it
    // goes (not all at once: the block's size is only the header's claim).
    void begin(std::span<std::uint8_t> pixels);
    // Rows [0, fromTop) counted from the top are final.
    void rowsDone(std::int32_t fromTop);
    // The header as loaded, or null when the load failed.
    void finish(const HeaderBlock* loaded);

    // Reader side: wait until the rows [0, fromTop) from the top are final (or the load is over)
    // and give the pixel block; empty when the load failed.
    std::span<const std::uint8_t> waitForRows(std::int32_t fromTop);
    // Waits for the end: true when the load succeeded with the expected header.
    bool waitForEnd();
    const HeaderBlock& expected() const { return expected_; }

  private:
    void populateAhead(std::int32_t fromTop);

    const HeaderBlock expected_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::span<std::uint8_t> pixels_;
    std::int32_t rows_ = 0;
    bool begun_ = false, ended_ = false, failed_ = false;
    HeaderBlock loaded_{};
    std::size_t populatedFrom_ = 0; // the decoder's thread only
};

// Writes the join of the parts `left` and `right` by `cut` to `file` through `writer`, whose
// component must take rows; the parts' expected headers are 24-bit ones. Fails, with nothing written, when a
// part fails to load or loads with another header.
bool writeJoinWhileLoading(ImageFileInstance& writer, const std::filesystem::path& file, PartRows& left,
                           PartRows& right, const CutRecord& cut, std::string* why);

} // namespace tandemscan
