#include "board.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <utility>

namespace tilex {

Board::Board() {
    resetOrder();
}

void Board::resetOrder() {
    perm_.resize(static_cast<size_t>(rows_ * cols_));
    std::iota(perm_.begin(), perm_.end(), 0);
    blank_ = -1;
}

void Board::forgetMoves() {
    history_.clear();
    position_ = 0;
}

void Board::setPicture(std::optional<PictureSize> size) {
    if (size && (size->width <= 0 || size->height <= 0)) size.reset();
    picture_ = size;
    layout();
}

bool Board::setLevel(int rows, int cols) {
    if (playing_ || rows < minSide || rows > maxSide || cols < minSide || cols > maxSide) return false;
    rows_ = rows;
    cols_ = cols;
    resetOrder();
    layout();
    return true;
}

int Board::sourcePieceWidth() const {
    return picture_ ? picture_->width / cols_ : 0;
}
int Board::sourcePieceHeight() const {
    return picture_ ? picture_->height / rows_ : 0;
}

PictureSize displaySize(PictureSize picture) {
    const int w = picture.width;
    const int h = picture.height;
    if (w <= 0 || h <= 0) return {};
    constexpr int areaWidth = Board::areaWidth;
    constexpr int areaHeight = Board::areaHeight;
    // 64-bit products: a picture may be as wide as int allows.
    const PictureSize fitWidth{areaWidth, static_cast<int>(int64_t{areaWidth} * h / w)};
    const PictureSize fitHeight{static_cast<int>(int64_t{areaHeight} * w / h), areaHeight};
    if (w <= areaWidth && h <= areaHeight) return picture;
    if (h <= areaHeight) return fitWidth;
    if (w <= areaWidth) return fitHeight;
    return int64_t{w} * areaHeight > int64_t{h} * areaWidth ? fitWidth : fitHeight;
}

bool pictureFitsLevel(PictureSize picture, int rows, int cols) {
    if (rows <= 0 || cols <= 0) return false;
    const PictureSize shown = displaySize(picture);
    return shown.width / cols > 0 && shown.height / rows > 0;
}

void Board::layout() {
    slots_.clear();
    if (!picture_) {
        displayWidth_ = displayHeight_ = pieceWidth_ = pieceHeight_ = 0;
        originX_ = areaLeft;
        originY_ = areaTop;
        return;
    }
    const int w = picture_->width;
    const int h = picture_->height;
    const PictureSize shown = displaySize(*picture_);
    displayWidth_ = shown.width;
    displayHeight_ = shown.height;
    originX_ = (areaWidth - displayWidth_) / 2 + areaLeft;
    originY_ = (areaHeight - displayHeight_) / 2 + areaTop;
    pieceWidth_ = displayWidth_ / cols_;
    pieceHeight_ = displayHeight_ / rows_;

    const int sourceWidth = w / cols_;
    const int sourceHeight = h / rows_;
    slots_.resize(perm_.size());
    for (size_t i = 0; i < perm_.size(); ++i) {
        const int p = perm_[i];
        const int slot = static_cast<int>(i);
        slots_[i] =
            SlotRecord{(p % cols_) * sourceWidth, (rows_ - p / cols_ - 1) * sourceHeight,
                       (slot % cols_) * pieceWidth_ + originX_, (slot / cols_) * pieceHeight_ + originY_, p};
    }
}

void Board::start(const std::function<unsigned()>& draw) {
    std::iota(perm_.begin(), perm_.end(), 0);
    blank_ = rows_ * cols_ - 1;
    for (int move = 0; move < shuffleMoves; ++move) {
        const int r = blank_ / cols_;
        const int c = blank_ % cols_;
        int next = -1;
        switch (draw() % 4) {
        case 0:
            if (r > 0) next = blank_ - cols_;
            break;
        case 1:
            if (r < rows_ - 1) next = blank_ + cols_;
            break;
        case 2:
            if (c > 0) next = blank_ - 1;
            break;
        default:
            if (c < cols_ - 1) next = blank_ + 1;
            break;
        }
        if (next < 0) continue;
        std::swap(perm_[static_cast<size_t>(blank_)], perm_[static_cast<size_t>(next)]);
        blank_ = next;
    }
    playing_ = true;
    elapsed_ = 0;
    forgetMoves();
    layout();
}

void Board::stop() {
    playing_ = false;
    elapsed_ = 0;
    forgetMoves();
    resetOrder();
    layout();
}

void Board::resume(int rows, int cols, int blank, const std::vector<int32_t>& order, uint32_t elapsed) {
    rows_ = rows;
    cols_ = cols;
    perm_ = order;
    blank_ = blank;
    elapsed_ = elapsed;
    playing_ = true;
    forgetMoves();
    layout();
}

std::vector<int32_t> Board::slotOrder() const {
    if (slots_.size() != perm_.size()) return perm_;
    std::vector<int32_t> order;
    order.reserve(slots_.size());
    for (const SlotRecord& s : slots_)
        order.push_back(s.piece);
    return order;
}

bool Board::inGapLine(int slot) const {
    if (blank_ < 0 || slot < 0 || slot >= rows_ * cols_ || slot == blank_) return false;
    return slot / cols_ == blank_ / cols_ || slot % cols_ == blank_ % cols_;
}

int Board::hitTest(int x, int y) const {
    if (!playing_ || blank_ < 0 || pieceWidth_ <= 0 || pieceHeight_ <= 0) return -1;
    if (x < originX_ || y < originY_) return -1;
    const int col = (x - originX_) / pieceWidth_;
    const int row = (y - originY_) / pieceHeight_;
    if (col >= cols_ || row >= rows_) return -1;
    const int slot = row * cols_ + col;
    return inGapLine(slot) ? slot : -1;
}

int Board::keyTarget(SlideDirection direction, bool wholeLine) const {
    if (!playing_ || blank_ < 0) return -1;
    const int r = blank_ / cols_;
    const int c = blank_ % cols_;
    // Pieces moving right come from the gap's left, and so on.
    switch (direction) {
    case SlideDirection::Right:
        return c == 0 ? -1 : r * cols_ + (wholeLine ? 0 : c - 1);
    case SlideDirection::Left:
        return c == cols_ - 1 ? -1 : r * cols_ + (wholeLine ? cols_ - 1 : c + 1);
    case SlideDirection::Down:
        return r == 0 ? -1 : (wholeLine ? 0 : r - 1) * cols_ + c;
    case SlideDirection::Up:
        break;
    }
    return r == rows_ - 1 ? -1 : (wholeLine ? rows_ - 1 : r + 1) * cols_ + c;
}

PixelRect Board::slotRect(int slot) const {
    const SlotRecord& s = slots_[static_cast<size_t>(slot)];
    return {s.destinationX, s.destinationY, s.destinationX + pieceWidth_, s.destinationY + pieceHeight_};
}

PixelRect Board::gridRect() const {
    return {originX_, originY_, originX_ + cols_ * pieceWidth_, originY_ + rows_ * pieceHeight_};
}

std::vector<PixelRect> Board::moveGapTo(int target) {
    const int step =
        target / cols_ == blank_ / cols_ ? (target > blank_ ? 1 : -1) : (target > blank_ ? cols_ : -cols_);
    auto area = [this](const SlotRecord& s) {
        return PixelRect{s.destinationX - 3, s.destinationY - 3, s.destinationX + pieceWidth_ + 6,
                         s.destinationY + pieceHeight_ + 6};
    };
    std::vector<PixelRect> dirty{area(slots_[static_cast<size_t>(blank_)])};
    // The gap walks to target; each piece on its way moves one slot back toward where it was.
    while (blank_ != target) {
        const int next = blank_ + step;
        SlotRecord& moved = slots_[static_cast<size_t>(next)];
        SlotRecord& empty = slots_[static_cast<size_t>(blank_)];
        std::swap(moved.sourceX, empty.sourceX);
        std::swap(moved.sourceY, empty.sourceY);
        std::swap(moved.piece, empty.piece);
        std::swap(perm_[static_cast<size_t>(next)], perm_[static_cast<size_t>(blank_)]);
        blank_ = next;
        dirty.push_back(area(moved));
    }
    std::reverse(dirty.begin(), dirty.end()); // the far end first, the old gap last
    return dirty;
}

std::vector<PixelRect> Board::slide(int target) {
    if (!playing_ || !inGapLine(target) || slots_.size() != perm_.size()) return {};
    history_.resize(position_);
    history_.push_back({blank_, target});
    ++position_;
    return moveGapTo(target);
}

std::vector<PixelRect> Board::undo() {
    if (!playing_ || !canUndo() || slots_.size() != perm_.size()) return {};
    return moveGapTo(history_[--position_].from);
}

std::vector<PixelRect> Board::redo() {
    if (!playing_ || !canRedo() || slots_.size() != perm_.size()) return {};
    return moveGapTo(history_[position_++].to);
}

bool Board::isSolved() const {
    const size_t last = static_cast<size_t>(rows_ * cols_ - 1);
    if (perm_.size() <= last) return false;
    for (size_t i = 0; i < last; ++i)
        if (perm_[i] != static_cast<int32_t>(i)) return false;
    return true;
}

TickResult Board::tick() {
    if (!playing_) return TickResult::Counted;
    ++elapsed_;
    return elapsed_ >= overtimeSeconds ? TickResult::Overtime : TickResult::Counted;
}

std::string clockText(uint32_t seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "0%u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

} // namespace tilex
