// libFuzzer target for one image reader, chosen at build time by FUZZ_FORMAT. Each input is read
// header first and then, when the picture is of a size worth decoding, with its pixels; a reader
// may refuse the input but must never crash, hang or touch memory it does not own.
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "codecs.h"

namespace {

// Pictures larger than this are legal but only cost time and memory when fuzzing.
constexpr uint64_t kMaxFuzzPixels = 16u << 20;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace imagefile;
  const InputFile file(data, size);
  HeaderBlock block{};
  Progress progress(nullptr, &block);
  try {
    readOnce(file, block, nullptr, progress);
    const uint64_t bytes = pixelBlockSize(block.header);
    if (bytes == 0 || bytes > kMaxFuzzPixels) return 0;
    std::vector<uint8_t> pixels(bytes);
    HeaderBlock full{};
    Progress fullProgress(nullptr, &full);
    readOnce(file, full, pixels.data(), fullProgress);
    // The header read alone and the full read must agree on the picture's size.
    if (pixelBlockSize(full.header) != bytes) __builtin_trap();
  } catch (const ImageError&) {
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
