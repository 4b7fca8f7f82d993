#include "engine/join_while_loading.h"

#include "engine/memory_block.h"
#include "engine/pixel_tools.h"

#include <algorithm>
#include <cstring>

namespace tandemscan {

void PartRows::begin(std::span<std::uint8_t> pixels) {
    {
        std::lock_guard lock(mutex_);
        pixels_ = pixels;
        begun_ = true;
        populatedFrom_ = pixels.size();
    }
    changed_.notify_all();
    populateAhead(0);
}

void PartRows::populateAhead(std::int32_t fromTop) {
    constexpr std::size_t kLead = 2u << 20, kStep = 8u << 20;
    const std::size_t stride = PixelTools::rowStride(expected_.header.width, expected_.header.bitCount);
    const auto height = static_cast<std::size_t>(std::max(expected_.header.height, 0));
    // Rows from the top are stored last: the decoder has written the block from `low` on.
    const std::size_t low = fromTop >= 0 && static_cast<std::size_t>(fromTop) < height
                                ? (height - static_cast<std::size_t>(fromTop)) * stride
                                : 0;
    if (populatedFrom_ == 0 || low > populatedFrom_ + kLead) return;
    const std::size_t from = populatedFrom_ > kStep ? populatedFrom_ - kStep : 0;
    populateForWriting(pixels_.data() + from, populatedFrom_ - from);
    populatedFrom_ = from;
}

void PartRows::rowsDone(std::int32_t fromTop) {
    populateAhead(fromTop);
    {
        std::lock_guard lock(mutex_);
        if (fromTop <= rows_) return;
        rows_ = fromTop;
    }
    changed_.notify_all();
}

void PartRows::finish(const HeaderBlock* loaded) {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        failed_ = loaded == nullptr;
        if (loaded) loaded_ = *loaded;
    }
    changed_.notify_all();
}

std::span<const std::uint8_t> PartRows::waitForRows(std::int32_t fromTop) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ended_ || (begun_ && rows_ >= fromTop); });
    if (failed_) return {};
    return pixels_;
}

bool PartRows::waitForEnd() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ended_; });
    return !failed_ && std::memcmp(&loaded_.header, &expected_.header, sizeof expected_.header) == 0;
}

namespace {

struct Feed {
    PartRows* left;
    PartRows* right;
    JoinedRows rows;
    std::int32_t asked = 0;
    std::int32_t height = 0;

    // The rows a part must have final from its top before its bottom-up row `row` can be read.
    static std::int32_t needed(std::int64_t row, const HeaderBlock& part) {
        return row < 0 ? 0 : static_cast<std::int32_t>(part.header.height - row);
    }

    const void* row(std::int32_t r) {
        const RowSources s = rows.sources(r);
        if (left->waitForRows(needed(s.left, left->expected())).empty() ||
            right->waitForRows(needed(s.right, right->expected())).empty())
            return nullptr;
        // The file is complete with the last row: only parts that loaded as they were checked
        // may let it be committed.
        if (++asked == height && (!left->waitForEnd() || !right->waitForEnd())) return nullptr;
        return rows.row(r);
    }
};

} // namespace

bool writeJoinWhileLoading(ImageFileInstance& writer, const std::filesystem::path& file, PartRows& left,
                           PartRows& right, const CutRecord& cut, std::string* why) {
    const HeaderBlock& leftHeader = left.expected();
    const HeaderBlock& rightHeader = right.expected();
    auto failed = [&](const std::string& text) {
        if (why) *why = text;
        return false;
    };
    if (leftHeader.header.bitCount != 24 || rightHeader.header.bitCount != 24)
        return failed("Only 24-bit parts are joined while they load");
    // The blocks as reserved: they must hold what the checked headers describe.
    const auto leftPixels = left.waitForRows(0);
    const auto rightPixels = right.waitForRows(0);
    if (leftPixels.empty() || rightPixels.empty()) return failed("A part could not be loaded");
    if (leftPixels.size() < PixelTools::imageDataSize(leftHeader.header) ||
        rightPixels.size() < PixelTools::imageDataSize(rightHeader.header))
        return failed("A part changed while it was loaded");
    Feed feed{&left, &right, {}, 0, 0};
    HeaderBlock joined;
    HeaderBlock rightCopy = rightHeader; // a 24-bit part's palette is never changed
    // The rows are read only once the waits say they are final; the span is taken now.
    if (!feed.rows.prepare(joined, leftHeader, leftPixels, rightCopy,
                           {const_cast<std::uint8_t*>(rightPixels.data()), rightPixels.size()}, cut, why))
        return false;
    feed.height = joined.header.height;
    auto rowAt = [](void* context, std::int32_t r) -> const void* {
        return static_cast<Feed*>(context)->row(r);
    };
    if (!writer.writeImageRows(file, joined, rowAt, &feed)) {
        const std::string text = writer.lastErrorMessage();
        return failed(text.empty() ? "Fail to save file" : text);
    }
    return true;
}

} // namespace tandemscan
