#include "engine/memory_block.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace tandemscan {

namespace {

// Transparent huge pages cut the per-page fault cost of large anonymous buffers by a factor of
// about fifteen on our machines; the advice is harmless where the kernel ignores it.
constexpr std::size_t kHugePageWorthwhile = 4u << 20;

} // namespace

bool reserveFileSpace(int fd, std::size_t bytes, FileAllocator allocate) {
    if (bytes == 0) return true;
    const auto length = static_cast<off_t>(bytes);
    if (allocate == nullptr) allocate = ::fallocate;
    if (allocate(fd, 0, 0, length) == 0) return true;
    if (errno != EOPNOTSUPP) return false;
    struct stat status {};
    if (fstat(fd, &status) != 0) return false;
    const off_t block = status.st_blksize > 0 ? status.st_blksize : 4096;
    // The file is zero-filled already; writing a zero into each block only makes it real.
    const char zero = 0;
    for (off_t offset = 0; offset < length; offset += block) {
        if (pwrite(fd, &zero, 1, offset) != 1) return false;
    }
    return pwrite(fd, &zero, 1, length - 1) == 1;
}

void populateForWriting(std::uint8_t* from, std::size_t bytes) {
    if (bytes == 0) return;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(from) & ~(page - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(from) + bytes;
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}

MemoryBlock::MemoryBlock(MemoryBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)), kind_(other.kind_) {}

MemoryBlock& MemoryBlock::operator=(MemoryBlock&& other) noexcept {
    if (this != &other) {
        reset();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        kind_ = other.kind_;
    }
    return *this;
}

MemoryBlock::~MemoryBlock() {
    reset();
}

void MemoryBlock::reset() {
    if (data_ != nullptr) {
        if (kind_ == StoreKind::heap)
            std::free(data_);
        else
            munmap(data_, size_ == 0 ? 1 : size_);
    }
    data_ = nullptr;
    size_ = 0;
    kind_ = StoreKind::heap;
}

std::optional<MemoryBlock> MemoryBlock::onHeap(std::size_t bytes) {
    // calloc(0) may return null; one byte keeps "empty" meaning "nothing held".
    void* p = std::calloc(bytes == 0 ? 1 : bytes, 1);
    if (p == nullptr) return std::nullopt;
    return MemoryBlock(static_cast<std::uint8_t*>(p), bytes, StoreKind::heap);
}

std::optional<MemoryBlock> MemoryBlock::virtualMemory(std::size_t bytes, bool prefault) {
    const std::size_t length = bytes == 0 ? 1 : bytes;
    int flags = MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE;
    if (prefault && length < kHugePageWorthwhile) flags |= MAP_POPULATE;
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, flags, -1, 0);
    if (p == MAP_FAILED) return std::nullopt;
    if (length >= kHugePageWorthwhile) {
        madvise(p, length, MADV_HUGEPAGE);
        // Populate after the advice so that the kernel can hand out huge pages.
        if (prefault) madvise(p, length, MADV_POPULATE_WRITE);
    }
    return MemoryBlock(static_cast<std::uint8_t*>(p), bytes, StoreKind::virtualMemory);
}

std::optional<MemoryBlock> MemoryBlock::mapFile(int fd, std::size_t bytes, bool prefault) {
    if (fd < 0) return std::nullopt;
    // Truncating first drops whatever an earlier image left, so the mapping starts zero-filled.
    if (ftruncate(fd, 0) != 0 || ftruncate(fd, static_cast<off_t>(bytes)) != 0) return std::nullopt;
    // Reserve the disk space now: a write into a mapping whose file system has run full ends the
    // process with SIGBUS, while a refusal here lets the caller take anonymous memory instead.
    if (!reserveFileSpace(fd, bytes)) {
        ftruncate(fd, 0);
        return std::nullopt;
    }
    const std::size_t length = bytes == 0 ? 1 : bytes;
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (p == MAP_FAILED) return std::nullopt;
    if (prefault) madvise(p, length, MADV_POPULATE_WRITE);
    return MemoryBlock(static_cast<std::uint8_t*>(p), bytes, StoreKind::fileMapped);
}

} // namespace tandemscan
