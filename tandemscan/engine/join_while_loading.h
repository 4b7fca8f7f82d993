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
#include <vector>

namespace tandemscan {

// A part's rows as its decoder makes them on another thread, for a part checked beforehand with
// the header `expected`, either in the part's pixel block or, for a reader that takes the rows
// from the top down, `throughRing`, passed through a ring of `ringRows` rows (then the part is
// never held whole). The decoder fills a block (begin(), then rowsDone()) or asks rowPlace() for
// each row; it reports rowsDone() as rows become final and calls finish() exactly once (also
// when it fails early).
class PartRows {
  public:
    static constexpr std::int32_t kRingRows = 64;
    PartRows(const HeaderBlock& expected, bool throughRing, std::int32_t ringRows = kRingRows);
    bool throughRing() const { return throughRing_; }

    // Decoder side. Into a block: the pages a few megabytes ahead of the decoder are supplied in
    // bulk as it goes (not all at once: the block's size is only the header's claim).
    void begin(std::span<std::uint8_t> pixels);
    // Through the ring: where row `fromTop` goes, once the reader has let go of the row held there
    // before; null outside the expected picture (or without memory for the ring). Rows are asked
    // for in order, at most 16 beyond those reported final.
    std::uint8_t* rowPlace(std::int32_t fromTop);
    // Rows [0, fromTop) counted from the top are final.
    void rowsDone(std::int32_t fromTop);
    // The header as loaded, or null when the load failed.
    void finish(const HeaderBlock* loaded);

    // Reader side: row `fromTop` once it is final, valid until the next call; the rows above it
    // are let go. Rows are asked for in order (a row may be asked again). Null when the load
    // failed.
    const std::uint8_t* waitForRow(std::int32_t fromTop);
    // No row is wanted any more: a decoder into the ring runs on to the end without waiting.
    void letGoAll();
    // Waits for the end: true when the load succeeded with the expected header.
    bool waitForEnd();
    const HeaderBlock& expected() const { return expected_; }

  private:
    void populateAhead(std::int32_t fromTop);
    void letGo(std::int64_t belowRow); // with the lock held

    const HeaderBlock expected_;
    const bool throughRing_;
    const std::int32_t ringRows_;
    const std::size_t stride_;
    const std::int32_t height_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::span<std::uint8_t> pixels_; // the block, or the ring
    bool ring_ = false;
    std::int32_t rows_ = 0;
    std::int64_t letGoBelow_ = 0;   // the ring's rows above this one may be overwritten
    std::int32_t placeWanted_ = -1; // the row the decoder waits to place, if it waits
    std::int32_t rowWanted_ = -1;   // the row the reader waits for, if it waits
    bool begun_ = false, ended_ = false, failed_ = false;
    HeaderBlock loaded_{};
    std::vector<std::uint8_t> ringStorage_;
    std::size_t populatedFrom_ = 0; // the decoder's thread only
};

// Whether the writer asks for the rows of `file` from the top down (a JPEG file), so that the
// parts can pass through rings.
bool writtenFromTheTop(const std::filesystem::path& file);

// Writes the join of the parts `left` and `right` by `cut` to `file` through `writer`, whose
// component must take rows; the parts' expected headers are 24-bit ones. Fails, with nothing written, when a
// part fails to load or loads with another header.
bool writeJoinWhileLoading(ImageFileInstance& writer, const std::filesystem::path& file, PartRows& left,
                           PartRows& right, const CutRecord& cut, std::string* why);

} // namespace tandemscan
