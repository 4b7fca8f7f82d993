#include "engine/join_while_loading.h"

#include "engine/memory_block.h"
#include "engine/pixel_tools.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <new>

namespace tandemscan {

PartRows::PartRows(const HeaderBlock& expected, bool throughRing, std::int32_t ringRows)
    : expected_(expected), throughRing_(throughRing), ringRows_(std::max(ringRows, std::int32_t{32})),
      stride_(PixelTools::rowStride(expected.header.width, expected.header.bitCount)),
      height_(std::max(expected.header.height, 0)) {}

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
    const auto height = static_cast<std::size_t>(height_);
    // Rows from the top are stored last: the decoder has written the block from `low` on.
    const std::size_t low = fromTop >= 0 && static_cast<std::size_t>(fromTop) < height
                                ? (height - static_cast<std::size_t>(fromTop)) * stride_
                                : 0;
    if (populatedFrom_ == 0 || low > populatedFrom_ + kLead) return;
    const std::size_t from = populatedFrom_ > kStep ? populatedFrom_ - kStep : 0;
    populateForWriting(pixels_.data() + from, populatedFrom_ - from);
    populatedFrom_ = from;
}

std::uint8_t* PartRows::rowPlace(std::int32_t fromTop) {
    if (!throughRing_ || fromTop < 0 || fromTop >= height_) return nullptr;
    if (!ring_) {
        try {
            ringStorage_.resize(static_cast<std::size_t>(ringRows_) * stride_);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
        std::lock_guard lock(mutex_);
        pixels_ = ringStorage_;
        ring_ = begun_ = true;
        changed_.notify_all();
    }
    std::unique_lock lock(mutex_);
    if (fromTop - letGoBelow_ >= ringRows_) {
        // Full: wait until half of it is free again, so that the threads do not take turns row by row.
        placeWanted_ = fromTop;
        changed_.wait(lock, [&] { return fromTop - letGoBelow_ < ringRows_ / 2; });
        placeWanted_ = -1;
    }
    return pixels_.data() + static_cast<std::size_t>(fromTop % ringRows_) * stride_;
}

void PartRows::rowsDone(std::int32_t fromTop) {
    if (!ring_) populateAhead(fromTop);
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (fromTop <= rows_) return;
        rows_ = fromTop;
        wake = rowWanted_ >= 0 && rowWanted_ < rows_;
    }
    if (wake) changed_.notify_all();
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

void PartRows::letGo(std::int64_t belowRow) {
    if (belowRow <= letGoBelow_) return;
    letGoBelow_ = belowRow;
    if (placeWanted_ >= 0 && placeWanted_ - letGoBelow_ < ringRows_ / 2) changed_.notify_all();
}

const std::uint8_t* PartRows::waitForRow(std::int32_t fromTop) {
    if (fromTop < 0 || fromTop >= height_) return nullptr;
    std::unique_lock lock(mutex_);
    if (throughRing_) {
        // Rows overwritten in the ring cannot be had again.
        if (fromTop < letGoBelow_) return nullptr;
        letGo(fromTop);
    }
    if (!(ended_ || (begun_ && rows_ > fromTop))) {
        rowWanted_ = fromTop;
        changed_.wait(lock, [&] { return ended_ || (begun_ && rows_ > fromTop); });
        rowWanted_ = -1;
    }
    if (failed_ || rows_ <= fromTop) return nullptr;
    if (ring_) return pixels_.data() + static_cast<std::size_t>(fromTop % ringRows_) * stride_;
    // A block must hold what the checked header describes.
    const std::size_t offset = static_cast<std::size_t>(height_ - 1 - fromTop) * stride_;
    return pixels_.size() >= static_cast<std::size_t>(height_) * stride_ ? pixels_.data() + offset : nullptr;
}

void PartRows::letGoAll() {
    std::lock_guard lock(mutex_);
    letGo(std::numeric_limits<std::int32_t>::max());
    changed_.notify_all();
}

bool PartRows::waitForEnd() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return ended_; });
    return !failed_ && std::memcmp(&loaded_.header, &expected_.header, sizeof expected_.header) == 0;
}

bool writtenFromTheTop(const std::filesystem::path& file) {
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".jpg" || extension == ".jpeg";
}

namespace {

struct Feed {
    PartRows* left;
    PartRows* right;
    JoinedRows rows;
    std::vector<std::uint8_t> row;
    std::int32_t asked = 0;
    std::int32_t height = 0;

    // The part's row counted from the top for its bottom-up row `row`; null where none is named.
    static bool take(PartRows& part, std::int64_t row, const std::uint8_t*& at) {
        at = row < 0 ? nullptr
                     : part.waitForRow(static_cast<std::int32_t>(part.expected().header.height - 1 - row));
        return row < 0 || at != nullptr;
    }

    const void* next(std::int32_t r) {
        const RowSources s = rows.sources(r);
        const std::uint8_t *l = nullptr, *rr = nullptr;
        if (!take(*left, s.left, l) || !take(*right, s.right, rr)) return nullptr;
        rows.compose(l, rr, row.data());
        // The file is complete with the last row: only parts that loaded as they were checked
        // may let it be committed.
        if (++asked == height) {
            left->letGoAll();
            right->letGoAll();
            if (!left->waitForEnd() || !right->waitForEnd()) return nullptr;
        }
        return row.data();
    }
};

} // namespace

bool writeJoinWhileLoading(ImageFileInstance& writer, const std::filesystem::path& file, PartRows& left,
                           PartRows& right, const CutRecord& cut, std::string* why) {
    // However the write ends, the decoders must not wait for a reader that has stopped.
    struct LetGo {
        PartRows& left;
        PartRows& right;
        ~LetGo() {
            left.letGoAll();
            right.letGoAll();
        }
    } letGo{left, right};
    auto failed = [&](const std::string& text) {
        if (why) *why = text;
        return false;
    };
    if (left.expected().header.bitCount != 24 || right.expected().header.bitCount != 24)
        return failed("Only 24-bit parts are joined while they load");
    Feed feed{&left, &right, {}, {}, 0, 0};
    HeaderBlock joined;
    if (!feed.rows.prepareGeometry(joined, left.expected(), right.expected(), cut, why)) return false;
    feed.row.resize(feed.rows.stride());
    feed.height = joined.header.height;
    auto rowAt = [](void* context, std::int32_t r) -> const void* {
        return static_cast<Feed*>(context)->next(r);
    };
    if (!writer.writeImageRows(file, joined, rowAt, &feed)) {
        const std::string text = writer.lastErrorMessage();
        return failed(text.empty() ? "Fail to save file" : text);
    }
    return true;
}

} // namespace tandemscan
