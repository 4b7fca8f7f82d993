#include "engine/composer.h"

#include "engine/pixel_tools.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>

namespace tandemscan {

namespace {

constexpr std::uint32_t kParallelComposeBytes = 16u << 20;

bool fail(std::string* why, const char* text) {
    if (why) *why = text;
    return false;
}

// Output height by the first of the four placements that applies.
std::int64_t joinedHeight(const CutRecord& cut, std::int32_t leftHeight, std::int32_t rightHeight) {
    if (cut.topDelta >= 1 && cut.bottomDelta >= 1) return std::int64_t{leftHeight} + cut.topDelta;
    if (cut.topDelta < 0 && cut.bottomDelta < 0) return std::int64_t{leftHeight} - cut.bottomDelta;
    if (cut.topDelta <= 0 && cut.bottomDelta >= 0) return leftHeight;
    return rightHeight;
}

RowSources rowSources(std::int64_t r, const CutRecord& cut, std::int64_t leftHeight, std::int64_t rightHeight,
                      std::int64_t outHeight) {
    const std::int64_t bd = cut.bottomDelta;
    RowSources s{-1, -1};
    if (cut.topDelta < 0 && bd < 0) { // A: the right part reaches lower
        if (r < -bd) {
            s.right = r;
        } else if (r < rightHeight) {
            s.left = r + bd;
            s.right = r;
        } else {
            s.left = r + bd;
        }
    } else if (cut.topDelta <= 0 && bd >= 0) { // B: the right part lies within the left's rows
        if (r < bd) {
            s.left = r;
        } else if (r < std::min(rightHeight + bd, outHeight)) {
            s.left = r;
            s.right = r - bd;
        } else {
            s.left = r;
        }
    } else if (cut.topDelta >= 1 && bd >= 1) { // C: the right part reaches higher
        if (r < bd) {
            s.left = r;
        } else if (r < leftHeight) {
            s.left = r;
            s.right = r - bd;
        } else {
            s.right = r - bd;
        }
    } else { // D: the left part lies within the right's rows
        if (r < -bd) {
            s.right = r;
        } else if (r < std::min(leftHeight - bd, outHeight)) {
            s.left = r + bd;
            s.right = r;
        } else {
            s.right = r;
        }
    }
    // A cut outside the parts must not make us read outside them.
    if (s.left >= leftHeight || s.left < 0) s.left = -1;
    if (s.right >= rightHeight || s.right < 0) s.right = -1;
    return s;
}

inline bool bitAt(const std::uint8_t* row, std::int64_t x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// Copies `count` bits from bit `from` of `src` to bit `to` of `dest`, keeping the other bits.
void copyBits(std::uint8_t* dest, std::int64_t to, const std::uint8_t* src, std::int64_t from,
              std::int64_t count) {
    if (count <= 0) return;
    if ((to & 7) == 0) {
        // Whole destination bytes, eight source pixels at a time.
        const int shift = static_cast<int>(from & 7);
        const std::uint8_t* s = src + (from >> 3);
        std::uint8_t* d = dest + (to >> 3);
        const std::int64_t whole = count >> 3;
        const std::int64_t sourceBytes = ((from & 7) + count + 7) >> 3;
        if (shift == 0) {
            std::memcpy(d, s, static_cast<std::size_t>(whole));
        } else {
            for (std::int64_t k = 0; k < whole; ++k) {
                const std::uint8_t next = k + 1 < sourceBytes ? s[k + 1] : 0;
                d[k] = static_cast<std::uint8_t>((s[k] << shift) | (next >> (8 - shift)));
            }
        }
        to += whole * 8;
        from += whole * 8;
        count -= whole * 8;
    }
    for (std::int64_t k = 0; k < count; ++k) {
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> ((to + k) & 7));
        std::uint8_t& d = dest[(to + k) >> 3];
        d = bitAt(src, from + k) ? (d | mask) : (d & static_cast<std::uint8_t>(~mask));
    }
}

} // namespace

CutRecord clampCut(const CutRecord& cut, const ImageHeader& left, const ImageHeader& right) {
    CutRecord c = cut;
    c.leftKeep = std::clamp(c.leftKeep, 0, std::max(left.width, 0));
    c.rightStart = std::clamp(c.rightStart, 0, std::max(right.width, 0));
    return c;
}

bool composeHeader(HeaderBlock& out, const HeaderBlock& leftBlock, const HeaderBlock& rightBlock,
                   const CutRecord& requested, std::string* why) {
    const ImageHeader& left = leftBlock.header;
    const ImageHeader& right = rightBlock.header;
    out = HeaderBlock{};
    if (left.bitCount != right.bitCount || (left.bitCount != 1 && left.bitCount != 8 && left.bitCount != 24))
        return fail(why, "Both parts must have the same depth: 1, 8 or 24 bits");
    if (left.width < 1 || left.height < 1 || right.width < 1 || right.height < 1)
        return fail(why, "A part is empty");
    const CutRecord cut = clampCut(requested, left, right);
    const std::int64_t width = std::min<std::int64_t>(
        std::int64_t{cut.leftKeep} + (right.width - cut.rightStart), std::int64_t{left.width} + right.width);
    const std::int64_t height = joinedHeight(cut, left.height, right.height);
    if (width < 1 || height < 1 || height > std::int64_t{left.height} + right.height)
        return fail(why, "The cut places the parts so that they do not meet");
    const std::uint32_t stride = PixelTools::rowStride(static_cast<std::int32_t>(width), left.bitCount);
    const std::uint64_t size = std::uint64_t{stride} * static_cast<std::uint64_t>(height);
    if (stride == 0 || size > UINT32_MAX) return fail(why, "The joined image would be too large");

    ImageHeader& h = out.header;
    h.size = 40;
    h.width = static_cast<std::int32_t>(width);
    h.height = static_cast<std::int32_t>(height);
    h.planes = 1;
    h.bitCount = left.bitCount;
    h.sizeImage = static_cast<std::uint32_t>(size);
    h.clrUsed = left.clrUsed;
    h.xPelsPerMeter = left.xPelsPerMeter;
    h.yPelsPerMeter = left.yPelsPerMeter;
    if (left.bitCount != 24) out.palette = leftBlock.palette;
    return true;
}

void JoinedRows::setGeometry(const HeaderBlock& out, const ImageHeader& left, const ImageHeader& right,
                             const CutRecord& requested) {
    cut_ = clampCut(requested, left, right);
    bitCount_ = left.bitCount;
    outStride_ = PixelTools::rowStride(out.header.width, bitCount_);
    leftStride_ = PixelTools::rowStride(left.width, bitCount_);
    rightStride_ = PixelTools::rowStride(right.width, bitCount_);
    leftHeight_ = left.height;
    rightHeight_ = right.height;
    outHeight_ = out.header.height;
    rightColumns_ = std::max<std::int64_t>(out.header.width - cut_.leftKeep, 0);
    fill_ = 0xFF;
}

bool JoinedRows::prepareGeometry(HeaderBlock& out, const HeaderBlock& leftBlock,
                                 const HeaderBlock& rightBlock, const CutRecord& requested,
                                 std::string* why) {
    if (!composeHeader(out, leftBlock, rightBlock, requested, why)) return false;
    if (leftBlock.header.bitCount == 1) return fail(why, "1-bit parts are joined from whole blocks");
    setGeometry(out, leftBlock.header, rightBlock.header, requested);
    return true;
}

bool JoinedRows::prepare(HeaderBlock& out, const HeaderBlock& leftBlock,
                         std::span<const std::uint8_t> leftPixels, HeaderBlock& rightBlock,
                         std::span<std::uint8_t> rightPixels, const CutRecord& requested, std::string* why) {
    if (!composeHeader(out, leftBlock, rightBlock, requested, why)) return false;
    const ImageHeader& left = leftBlock.header;
    const ImageHeader& right = rightBlock.header;
    if (leftPixels.size() < PixelTools::imageDataSize(left) ||
        rightPixels.size() < PixelTools::imageDataSize(right))
        return fail(why, "A part's pixel block is shorter than its header says");
    setGeometry(out, left, right, requested);
    left_ = leftPixels.data();
    right_ = rightPixels.data();
    if (bitCount_ == 1) {
        // Both parts must index the same palette before their bits can be mixed.
        const bool differ = std::memcmp(&leftBlock.palette[0], &rightBlock.palette[0], 3) != 0 ||
                            std::memcmp(&leftBlock.palette[1], &rightBlock.palette[1], 3) != 0;
        if (differ) {
            rightBlock.palette = leftBlock.palette;
            PixelTools::invertMonochrome(right, rightPixels);
        }
        // Paper colour: index 1 when entry 0 is black, else index 0.
        fill_ = leftBlock.palette[0].red == 0 ? 0xFF : 0x00;
    }
    return true;
}

void JoinedRows::compose(std::int64_t r, std::uint8_t* o) const {
    const RowSources s = rowSources(r, cut_, leftHeight_, rightHeight_, outHeight_);
    compose(s.left >= 0 ? left_ + static_cast<std::size_t>(s.left) * leftStride_ : nullptr,
            s.right >= 0 ? right_ + static_cast<std::size_t>(s.right) * rightStride_ : nullptr, o);
}

void JoinedRows::compose(const std::uint8_t* l, const std::uint8_t* rr, std::uint8_t* o) const {
    if (bitCount_ == 1) {
        std::memset(o, fill_, outStride_);
        if (l) copyBits(o, 0, l, 0, cut_.leftKeep);
        if (rr) copyBits(o, cut_.leftKeep, rr, cut_.rightStart, rightColumns_);
        return;
    }
    // Each byte written once: left columns, right columns, white for what neither covers.
    const std::size_t bytesPerPixel = bitCount_ / 8;
    const std::size_t leftBytes = static_cast<std::size_t>(cut_.leftKeep) * bytesPerPixel;
    const std::size_t rightBytes = static_cast<std::size_t>(rightColumns_) * bytesPerPixel;
    if (l)
        std::memcpy(o, l, leftBytes);
    else
        std::memset(o, 0xFF, leftBytes);
    if (rr)
        std::memcpy(o + leftBytes, rr + static_cast<std::size_t>(cut_.rightStart) * bytesPerPixel,
                    rightBytes);
    else
        std::memset(o + leftBytes, 0xFF, rightBytes);
    std::memset(o + leftBytes + rightBytes, 0xFF, outStride_ - leftBytes - rightBytes);
}

RowSources JoinedRows::sources(std::int64_t r) const {
    return rowSources(r, cut_, leftHeight_, rightHeight_, outHeight_);
}

const std::uint8_t* JoinedRows::row(std::int64_t r) {
    if (r < 0 || r >= outHeight_) return nullptr;
    buffer_.resize(outStride_);
    compose(r, buffer_.data());
    return buffer_.data();
}

bool composeImages(HeaderBlock& out, std::span<std::uint8_t> outPixels, const HeaderBlock& leftBlock,
                   std::span<const std::uint8_t> leftPixels, HeaderBlock& rightBlock,
                   std::span<std::uint8_t> rightPixels, const CutRecord& requested, std::string* why) {
    // The output is checked before prepare(), which may bring the right part to the left palette.
    if (!composeHeader(out, leftBlock, rightBlock, requested, why)) return false;
    if (outPixels.size() < out.header.sizeImage) return fail(why, "The output block is too small");
    JoinedRows rows;
    if (!rows.prepare(out, leftBlock, leftPixels, rightBlock, rightPixels, requested, why)) return false;
    const std::int64_t outHeight = out.header.height;
    const std::uint32_t outStride = PixelTools::rowStride(out.header.width, out.header.bitCount);
    auto composeRows = [&](std::int64_t firstRow, std::int64_t endRow) {
        for (std::int64_t r = firstRow; r < endRow; ++r)
            rows.compose(r, outPixels.data() + static_cast<std::size_t>(r) * outStride);
    };
    // A full-resolution join is mostly first writes to fresh pages: two threads fault them in at
    // once. Rows are independent, so the halves need no coordination.
    std::thread upper;
    std::int64_t ownRows = outHeight;
    if (out.header.sizeImage >= kParallelComposeBytes && std::thread::hardware_concurrency() > 1) {
        try {
            upper = std::thread(composeRows, outHeight / 2, outHeight);
            ownRows = outHeight / 2;
        } catch (const std::system_error&) {
            // No second thread to be had: this one does all rows.
        }
    }
    composeRows(0, ownRows);
    if (upper.joinable()) upper.join();
    return true;
}

CutRecord cutFromPanes(const SeamPane& left, const SeamPane& right, double scale, bool monochrome) {
    const std::int64_t leftX = left.paneOrigin.x - left.viewOrigin.x;
    const std::int64_t cutX = left.paneRect.right;
    const std::int64_t rightX = right.paneOrigin.x - right.viewOrigin.x;
    const std::int64_t startX = right.paneRect.left;
    std::int64_t leftTop = left.paneOrigin.y - left.viewOrigin.y;
    std::int64_t rightTop = right.paneOrigin.y - right.viewOrigin.y;
    if (leftTop < rightTop && rightTop - leftTop > left.shownHeight) rightTop = leftTop + left.shownHeight;
    if (leftTop > rightTop && leftTop - rightTop > right.shownHeight) leftTop = rightTop + right.shownHeight;
    const std::int64_t leftBottom = leftTop + left.shownHeight;
    const std::int64_t rightBottom = rightTop + right.shownHeight;
    auto scaled = [scale](std::int64_t v) {
        return static_cast<std::int32_t>(std::round(static_cast<double>(v) * scale));
    };
    CutRecord cut{scaled(cutX - leftX), scaled(startX - rightX), scaled(leftTop - rightTop),
                  scaled(leftBottom - rightBottom)};
    if (monochrome) {
        cut.leftKeep -= cut.leftKeep % 8;
        cut.rightStart -= cut.rightStart % 8;
    }
    return cut;
}

CutRecord cutFromOverlap(double autoOverlap, double scale, std::int32_t leftWidth, bool monochrome) {
    CutRecord cut;
    cut.leftKeep = static_cast<std::int32_t>(std::round(leftWidth - autoOverlap / scale));
    cut.rightStart = static_cast<std::int32_t>(std::round(autoOverlap / scale + 0.5));
    if (monochrome) {
        const std::int32_t lowered = cut.leftKeep % 8;
        cut.leftKeep -= lowered;
        cut.rightStart -= lowered;
    }
    return cut;
}

} // namespace tandemscan
