// Joining two parts: the left part up to a cut column, then the right part from a start column,
// the right part shifted by whole rows, white where neither part reaches.
#pragma once

#include "engine/image_record.h"
#include "engine/pane_geometry.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tandemscan {

struct CutRecord {
    std::int32_t leftKeep = 0;    // columns taken from the left part, from its left edge
    std::int32_t rightStart = 0;  // first column of the right part that is used
    std::int32_t topDelta = 0;    // rows the right part's top edge lies above the left's
    std::int32_t bottomDelta = 0; // rows the right part's bottom edge lies above the left's
    friend bool operator==(const CutRecord&, const CutRecord&) = default;
};

// Header pass: fills `out` for joining `left` and `right` by `cut` (leftKeep and rightStart are
// first clamped into the parts' widths). False, with `why`, when the depths differ or are not
// 1, 8 or 24 bits, or when the cut leaves nothing to join.
bool composeHeader(HeaderBlock& out, const HeaderBlock& left, const HeaderBlock& right, const CutRecord& cut,
                   std::string* why = nullptr);

// Pixel pass into `outPixels`, which must hold the size the header pass gives. For 1-bit parts
// with differing palettes the right part is brought to the left palette first: its palette is
// replaced and its pixels inverted, so the picture it shows is unchanged. Rows of a part that a
// cut would place outside it are never read.
bool composeImages(HeaderBlock& out, std::span<std::uint8_t> outPixels, const HeaderBlock& left,
                   std::span<const std::uint8_t> leftPixels, HeaderBlock& right,
                   std::span<std::uint8_t> rightPixels, const CutRecord& cut, std::string* why = nullptr);

// Which source rows make a joined row, counted from the bottom: -1 where a part does not
// contribute.
struct RowSources {
    std::int64_t left;
    std::int64_t right;
};

// The same join one row at a time, for a writer that encodes rows as it is handed them, so that
// the joined picture is never held whole.
class JoinedRows {
  public:
    // The header pass and the checks of composeImages (which also brings a 1-bit right part to
    // the left palette). The parts must outlive the object.
    bool prepare(HeaderBlock& out, const HeaderBlock& left, std::span<const std::uint8_t> leftPixels,
                 HeaderBlock& right, std::span<std::uint8_t> rightPixels, const CutRecord& cut,
                 std::string* why = nullptr);
    // Row r of the joined picture, counted from the bottom as the pixel block stores it; valid
    // until the next call. Null outside the picture.
    const std::uint8_t* row(std::int64_t r);
    // The header pass and the geometry alone, for rows handed to compose() one by one; not for
    // 1-bit parts (their palettes are brought together over the whole right block).
    bool prepareGeometry(HeaderBlock& out, const HeaderBlock& left, const HeaderBlock& right,
                         const CutRecord& cut, std::string* why = nullptr);
    // Row r into `out`, which holds one padded row.
    void compose(std::int64_t r, std::uint8_t* out) const;
    // A joined row from the part rows sources() names for it (null where it names none).
    void compose(const std::uint8_t* leftRow, const std::uint8_t* rightRow, std::uint8_t* out) const;
    std::uint32_t stride() const { return outStride_; }
    // The parts' rows (bottom-up) that row r is made of; -1 where a part does not contribute.
    RowSources sources(std::int64_t r) const;

  private:
    void setGeometry(const HeaderBlock& out, const ImageHeader& left, const ImageHeader& right,
                     const CutRecord& cut);

    CutRecord cut_;
    std::uint16_t bitCount_ = 0;
    std::uint32_t outStride_ = 0, leftStride_ = 0, rightStride_ = 0;
    std::int64_t leftHeight_ = 0, rightHeight_ = 0, outHeight_ = 0, rightColumns_ = 0;
    const std::uint8_t* left_ = nullptr;
    const std::uint8_t* right_ = nullptr;
    std::uint8_t fill_ = 0xFF;
    std::vector<std::uint8_t> buffer_;
};

// The cut record only with leftKeep and rightStart within the parts' widths.
CutRecord clampCut(const CutRecord& cut, const ImageHeader& left, const ImageHeader& right);

// What the workspace's two panes show, in screen pixels, for the cut from manual placement.
struct SeamPane {
    Rect paneRect;
    Point paneOrigin; // screen position of the displayed part's origin
    Point viewOrigin; // the displayed part's scroll offset
    std::int32_t shownHeight = 0;
};

// The cut from the pane geometry, scaled from screen pixels to the target images by `scale`
// (viewScale for working copies, workScale x viewScale for originals). For 1-bit parts both
// columns are lowered to multiples of 8.
CutRecord cutFromPanes(const SeamPane& left, const SeamPane& right, double scale, bool monochrome);

// The cut in automatic mode for a left part `leftWidth` pixels wide: `scale` is 1 for originals
// and workScale for working copies. For 1-bit parts leftKeep is lowered to a multiple of 8 and
// rightStart by the same number of columns.
CutRecord cutFromOverlap(double autoOverlap, double scale, std::int32_t leftWidth, bool monochrome);

} // namespace tandemscan
