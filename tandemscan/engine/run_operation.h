// The program's side of Rasterkit's two-pass ImageEntry call: describe a source image, let the
// library size the result, run it, and hand back a single-allocation record.
#pragma once

#include "engine/image_record.h"
#include "engine/memory_block.h"

#include <cstdint>
#include <span>
#include <string>

namespace tandemscan {

// A failure as the user is to see it: text and caption ("" = the default caption).
struct OperationFailure {
    std::string text;
    std::string caption;
};

// The Rasterkit image type of a record: 1 bit 1, 4 bits 3, 8 bits grey 4, 8 bits colour 5,
// 16 bits 8, 24 bits 6; 0 for anything else.
int rasterkitImageType(const HeaderBlock& header);

// Keeps the library's result between calls, so a preview does not allocate anew each time it
// can reuse the last block.
class OperationRunner {
  public:
    // Runs operation `index` with `params` on the source and writes header block and pixels into
    // `destBlock` (1064 bytes + the result's pixels; it may be the source's own single block).
    // False with `failure` filled when the library refuses or memory runs out.
    bool run(int index, void* params, const HeaderBlock& srcHeader, std::span<const std::uint8_t> srcPixels,
             std::span<std::uint8_t> destBlock, OperationFailure& failure);

    // The result's pixel byte count of the last successful run.
    std::size_t lastResultSize() const { return lastSize_; }

  private:
    MemoryBlock result_;
    std::size_t lastSize_ = 0;
};

} // namespace tandemscan
