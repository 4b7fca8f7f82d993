#include "engine/image_store.h"

#include <cstdio>
#include <unistd.h>
#include <utility>

namespace tandemscan {

namespace fs = std::filesystem;

namespace {

fs::path replacementPath(const fs::path& backing) {
    return fs::path(backing) += ".new";
}

} // namespace

ImageStoreBlock::ImageStoreBlock(fs::path backingPath) : path_(std::move(backingPath)) {
    if (!path_.empty()) file_ = openWorkingFile(path_);
}

ImageStoreBlock::~ImageStoreBlock() {
    view_.reset();
    file_.close();
    if (!path_.empty()) ::unlink(path_.c_str());
}

void ImageStoreBlock::release() {
    view_.reset();
    kind_ = StoreKind::heap;
}

void ImageStoreBlock::discard() {
    release();
    // Truncating drops the file's pages now; should it fail, they go with the block.
    if (file_.valid()) static_cast<void>(ftruncate(file_.get(), 0) == 0);
}

bool ImageStoreBlock::reserve(std::size_t pixelBytes, bool prefault) {
    const std::size_t total = kHeaderBlockSize + pixelBytes;
    // A mapping of the same size is kept: its pages are already there, and a reader writes every
    // pixel byte, row padding included. Only the header block starts from zero again.
    if (kind_ == StoreKind::fileMapped && view_.singleBlock().size() == total) {
        view_.headerBlock() = HeaderBlock{};
        return true;
    }
    release();
    std::optional<MemoryBlock> block;
    if (pixelBytes > kLargestHeapPixelBlock) {
        // A backing file closed by an earlier edit or failed mapping is opened again, so that a
        // later large part also stays out of memory.
        if (!file_.valid() && !path_.empty()) file_ = openWorkingFile(path_);
        if (file_.valid()) block = MemoryBlock::mapFile(file_.get(), total, prefault);
        if (!block) {
            file_.close();
            if (!path_.empty()) ::unlink(path_.c_str());
            block = MemoryBlock::virtualMemory(total, prefault);
        }
    } else {
        block = MemoryBlock::onHeap(total);
    }
    if (!block) return false;
    kind_ = block->kind();
    view_ = std::move(*ImageRecord::fromSingleBlock(std::move(*block)));
    return true;
}

std::optional<ImageStoreBlock::Replacement> ImageStoreBlock::prepareReplacement(std::size_t pixelBytes) {
    const std::size_t total = kHeaderBlockSize + pixelBytes;
    Replacement replacement;
    std::optional<MemoryBlock> block;
    if (pixelBytes > kLargestHeapPixelBlock && path_.empty()) {
        block = MemoryBlock::virtualMemory(total);
    } else if (pixelBytes > kLargestHeapPixelBlock) {
        const fs::path spare = replacementPath(path_);
        ::unlink(spare.c_str());
        replacement.file = openWorkingFile(spare);
        if (replacement.file.valid()) block = MemoryBlock::mapFile(replacement.file.get(), total);
        if (!block) {
            replacement.file.close();
            ::unlink(spare.c_str());
            block = MemoryBlock::virtualMemory(total);
        }
    } else {
        block = MemoryBlock::onHeap(total);
    }
    if (!block) return std::nullopt;
    replacement.record = std::move(*ImageRecord::fromSingleBlock(std::move(*block)));
    return replacement;
}

void ImageStoreBlock::replace(Replacement replacement) {
    view_ = std::move(replacement.record);
    kind_ = view_.pixelKind();
    if (replacement.file.valid()) {
        // The spare file becomes the backing file under the block's own name.
        std::rename(replacementPath(path_).c_str(), path_.c_str());
        file_ = std::move(replacement.file);
    } else if (kind_ != StoreKind::fileMapped) {
        file_.close();
        if (!path_.empty()) ::unlink(path_.c_str());
    }
}

void ImageStoreBlock::swap(ImageStoreBlock& other) noexcept {
    std::swap(path_, other.path_);
    std::swap(file_, other.file_);
    std::swap(kind_, other.kind_);
    view_.swap(other.view_);
}

} // namespace tandemscan
