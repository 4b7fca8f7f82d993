// Owned blocks of memory for image data: heap, anonymous mapping, or a shared mapping of a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <sys/types.h>

namespace tandemscan {

// Where a block's bytes live; the numbers are the store kinds of ImageStoreBlock.
enum class StoreKind : std::uint32_t { heap = 0, fileMapped = 1, virtualMemory = 2 };

// fallocate(2)'s signature; tests pass one that fails the way a file system without it does
// (null: fallocate itself).
using FileAllocator = int (*)(int fd, int mode, off_t offset, off_t length);

// Gives the first `bytes` of the open file `fd` real disk blocks, so that a later write through a
// shared mapping cannot hit a full disk (which ends the process with SIGBUS). Where the file
// system cannot allocate (ext2, some network and FUSE file systems), one zero byte is written
// into every block instead. False when the disk cannot hold them.
bool reserveFileSpace(int fd, std::size_t bytes, FileAllocator allocate = nullptr);

// Supplies the pages of [from, from + bytes) of a mapping at once, ready for writing (page
// boundaries are widened to); cheaper than one fault per page. Advice only: nothing fails.
void populateForWriting(std::uint8_t* from, std::size_t bytes);

// A move-only owner of zero-filled bytes, released the way they were obtained.
class MemoryBlock {
  public:
    MemoryBlock() = default;
    MemoryBlock(MemoryBlock&& other) noexcept;
    MemoryBlock& operator=(MemoryBlock&& other) noexcept;
    MemoryBlock(const MemoryBlock&) = delete;
    MemoryBlock& operator=(const MemoryBlock&) = delete;
    ~MemoryBlock();

    // Zero-filled heap memory; nullopt when it cannot be had.
    static std::optional<MemoryBlock> onHeap(std::size_t bytes);
    // Zero-filled anonymous mapping. `prefault` asks the kernel to supply all pages at once
    // (cheaper than one fault per page when every page is going to be written).
    static std::optional<MemoryBlock> virtualMemory(std::size_t bytes, bool prefault = false);
    // Resizes the open file `fd` to exactly `bytes` zero bytes and maps all of it read-write,
    // shared. The descriptor stays the caller's.
    static std::optional<MemoryBlock> mapFile(int fd, std::size_t bytes, bool prefault = false);

    std::span<std::uint8_t> bytes() { return {data_, size_}; }
    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    StoreKind kind() const { return kind_; }
    bool empty() const { return data_ == nullptr; }
    void reset();

  private:
    MemoryBlock(std::uint8_t* data, std::size_t size, StoreKind kind)
        : data_(data), size_(size), kind_(kind) {}

    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    StoreKind kind_ = StoreKind::heap;
};

} // namespace tandemscan
