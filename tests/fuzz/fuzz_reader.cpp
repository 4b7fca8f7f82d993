// libFuzzer target for one image reader, chosen at build time by FUZZ_FORMAT. Each input is read
// header first and then with its pixels, up to the readers' 4 GiB limit; a reader may refuse the
// input but must never crash, hang or touch memory it does not own.
#include "codecs.h"
#include "image_block.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

// Up to this size the pixels get a heap block of the exact size, so AddressSanitizer sees every
// byte past the end.
constexpr uint64_t kExactBlock = 16u << 20;
// Larger pictures are decoded into address space of the full size whose pages all share one
// small window of memory: a 4 GiB picture costs 16 MiB. The block ends just before a page that
// cannot be touched, so writing past its end still stops the run.
constexpr uint64_t kWindow = 16u << 20;

class CappedBlock {
  public:
    CappedBlock() {
        const uint64_t span = (imagefile::kMaxPixelBlock / kWindow + 1) * kWindow;
        const uint64_t guard = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
        void* reserved =
            ::mmap(nullptr, span + guard, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        const int window = ::memfd_create("fuzz-pixels", MFD_CLOEXEC);
        if (reserved == MAP_FAILED || window < 0 || ::ftruncate(window, kWindow) != 0) __builtin_trap();
        auto* base = static_cast<uint8_t*>(reserved);
        for (uint64_t at = 0; at < span; at += kWindow) {
            if (::mmap(base + at, kWindow, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_FIXED, window, 0) ==
                MAP_FAILED)
                __builtin_trap();
        }
        ::close(window);
        base_ = base;
        span_ = span;
        end_ = base + span;
    }
    // Drops the page table entries a read made: every replica of the window counts in the
    // resident size, so without this it grows with each input towards the whole 4 GiB, though
    // only the window's 16 MiB are memory.
    void release() const { ::madvise(base_, span_, MADV_DONTNEED); }
    // Aligned as a heap block would be, which leaves at most 15 unguarded bytes after the end.
    uint8_t* block(uint64_t bytes) const {
        return reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(end_ - bytes) & ~uintptr_t{15});
    }

  private:
    uint8_t* base_ = nullptr;
    uint64_t span_ = 0;
    uint8_t* end_ = nullptr;
};

void readOnce(const imagefile::InputFile& file, imagefile::HeaderBlock& block, uint8_t* pixels,
              imagefile::Progress& progress) {
    using namespace imagefile;
#if FUZZ_FORMAT == 1
    readBmp(file, block, pixels, progress);
#elif FUZZ_FORMAT == 2
    readJpeg(file, block, pixels, progress);
#elif FUZZ_FORMAT == 3
    readPng(file, block, pixels, progress);
#elif FUZZ_FORMAT == 4
    int pages = 0;
    readTiff(file, 0, block, pixels, progress, &pages);
#elif FUZZ_FORMAT == 5
    readPcx(file, block, pixels, progress);
#elif FUZZ_FORMAT == 6
    readTga(file, block, pixels, progress);
#else
#error "FUZZ_FORMAT names no reader"
#endif
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace imagefile;
    const InputFile file(data, size);
    HeaderBlock block{};
    Progress progress(nullptr, &block);
    try {
        readOnce(file, block, nullptr, progress);
        const uint64_t bytes = pixelBlockSize(block.header);
        if (bytes == 0) return 0;
        static const CappedBlock capped;
        std::vector<uint8_t> exact(bytes <= kExactBlock ? bytes : 0);
        uint8_t* pixels = bytes <= kExactBlock ? exact.data() : capped.block(bytes);
        HeaderBlock full{};
        Progress fullProgress(nullptr, &full);
        struct Release {
            const CappedBlock& block;
            bool used;
            ~Release() {
                if (used) block.release();
            }
        } release{capped, bytes > kExactBlock};
        readOnce(file, full, pixels, fullProgress);
        // The header read alone and the full read must agree on the picture's size.
        if (pixelBlockSize(full.header) != bytes) __builtin_trap();
    } catch (const ImageError&) {
    } catch (const std::bad_alloc&) {
    }
    return 0;
}
