// The holder of one full-resolution original. Small originals live on the heap; large ones in a
// shared mapping of the side's backing file, so that hundreds of megabytes of scan data stay out
// of the process heap; anonymous memory is the fall-back when the file cannot be mapped.
#pragma once

#include "engine/image_record.h"
#include "engine/working_files.h"

#include <cstddef>
#include <filesystem>

namespace tandemscan {

// Largest pixel block kept on the heap; anything larger goes to the backing file.
inline constexpr std::size_t kLargestHeapPixelBlock = 540000;
inline constexpr const char* kLeftBackingFile = "ImgdataL.DAT";
inline constexpr const char* kRightBackingFile = "ImgdataR.DAT";

class ImageStoreBlock {
  public:
    // Opens (or creates) the backing file at once; it is deleted when the block goes away. With an
    // empty path there is no backing file: large images take anonymous memory (huge pages), whose
    // pages cost a fraction of a file mapping's, for a caller that only reads its parts.
    explicit ImageStoreBlock(std::filesystem::path backingPath);
    ImageStoreBlock(const ImageStoreBlock&) = delete;
    ImageStoreBlock& operator=(const ImageStoreBlock&) = delete;
    ~ImageStoreBlock();

    StoreKind kind() const { return kind_; }
    const std::filesystem::path& path() const { return path_; }
    bool backingFileOpen() const { return file_.valid(); }
    bool holdsImage() const { return !view_.empty(); }
    // The original as a single-block record (header block, pixels from byte 1064); empty when
    // the block holds nothing.
    ImageRecord& view() { return view_; }
    const ImageRecord& view() const { return view_; }

    // Releases the current image and provides room for a header block and `pixelBytes` pixel
    // bytes, placed by size, zero-filled; a file mapping of exactly that size is kept as it is
    // (header block zeroed), for callers that write every pixel byte. `prefault` supplies every
    // page at once. False when no memory could be had.
    bool reserve(std::size_t pixelBytes, bool prefault = false);
    // Makes room for a replacement image while the current one stays readable; the result is
    // passed to replace(). Large replacements go to a file beside the backing file.
    struct Replacement {
        ImageRecord record;
        FileHandle file;
    };
    std::optional<Replacement> prepareReplacement(std::size_t pixelBytes);
    // Drops the current image and keeps `replacement` in its place.
    void replace(Replacement replacement);
    // Releases the current image.
    void release();
    // Releases the current image and gives its backing file's pages back to the system at once
    // (a caller that is done with the original need not wait for that at the end).
    void discard();

    // Exchanges everything two blocks hold, backing files included.
    void swap(ImageStoreBlock& other) noexcept;

  private:
    std::filesystem::path path_;
    FileHandle file_;
    StoreKind kind_ = StoreKind::heap;
    ImageRecord view_;
};

} // namespace tandemscan
