#include "engine/image_record.h"

#include <cstring>
#include <utility>

namespace tandemscan {

ImageRecord::ImageRecord(ImageRecord&& other) noexcept {
    swap(other);
}

ImageRecord& ImageRecord::operator=(ImageRecord&& other) noexcept {
    if (this != &other) {
        reset();
        swap(other);
    }
    return *this;
}

void ImageRecord::swap(ImageRecord& other) noexcept {
    std::swap(first_, other.first_);
    std::swap(second_, other.second_);
    std::swap(header_, other.header_);
    std::swap(pixels_, other.pixels_);
    std::swap(pixelBytes_, other.pixelBytes_);
    std::swap(layout_, other.layout_);
}

void ImageRecord::reset() {
    first_.reset();
    second_.reset();
    header_ = nullptr;
    pixels_ = nullptr;
    pixelBytes_ = 0;
    layout_ = RecordLayout::apart;
}

StoreKind ImageRecord::pixelKind() const {
    return layout_ == RecordLayout::single ? first_.kind() : second_.kind();
}

std::span<std::uint8_t> ImageRecord::singleBlock() {
    if (layout_ != RecordLayout::single) return {};
    return first_.bytes();
}

std::optional<ImageRecord> ImageRecord::fromSingleBlock(MemoryBlock block) {
    if (block.empty() || block.size() < kHeaderBlockSize) return std::nullopt;
    ImageRecord record;
    record.header_ = reinterpret_cast<HeaderBlock*>(block.data());
    record.pixels_ = block.data() + kHeaderBlockSize;
    record.pixelBytes_ = block.size() - kHeaderBlockSize;
    record.layout_ = RecordLayout::single;
    record.first_ = std::move(block);
    return record;
}

std::optional<ImageRecord> ImageRecord::fromBlocks(MemoryBlock header, MemoryBlock pixels) {
    if (header.empty() || header.size() < kHeaderBlockSize || pixels.empty()) return std::nullopt;
    ImageRecord record;
    record.header_ = reinterpret_cast<HeaderBlock*>(header.data());
    record.pixels_ = pixels.data();
    record.pixelBytes_ = pixels.size();
    record.layout_ = RecordLayout::apart;
    record.first_ = std::move(header);
    record.second_ = std::move(pixels);
    return record;
}

std::optional<ImageRecord> ImageRecord::allocate(const HeaderBlock& header, std::size_t pixelBytes,
                                                 RecordLayout layout) {
    std::optional<ImageRecord> record;
    if (layout == RecordLayout::single) {
        if (pixelBytes > SIZE_MAX - kHeaderBlockSize) return std::nullopt;
        auto block = MemoryBlock::onHeap(kHeaderBlockSize + pixelBytes);
        if (!block) return std::nullopt;
        record = fromSingleBlock(std::move(*block));
    } else {
        auto headerBlock = MemoryBlock::onHeap(kHeaderBlockSize);
        auto pixelBlock = MemoryBlock::onHeap(pixelBytes);
        if (!headerBlock || !pixelBlock) return std::nullopt;
        record = fromBlocks(std::move(*headerBlock), std::move(*pixelBlock));
    }
    if (record) std::memcpy(&record->headerBlock(), &header, kHeaderBlockSize);
    return record;
}

ImageRecord ImageRecord::clone(RecordLayout layout) const {
    if (empty()) return {};
    auto copy = allocate(headerBlock(), pixelBytes_, layout);
    if (!copy) return {};
    if (pixelBytes_ != 0) std::memcpy(copy->pixels_, pixels_, pixelBytes_);
    return std::move(*copy);
}

} // namespace tandemscan
