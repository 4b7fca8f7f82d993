// The per-workspace engine: the image file component instance, the two scale factors that tie the
// full-resolution originals to their working copies (workScale) and the working copies to the
// screen (viewScale), loading originals, deriving working copies, and applying recorded edits.
#pragma once

#include "engine/image_file.h"
#include "engine/image_record.h"
#include "engine/image_store.h"
#include "engine/pane_geometry.h"
#include "engine/side.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace tandemscan {

inline constexpr int kWorkingDpi = 60;
inline constexpr int kPaneBaseWidth = 255;
inline constexpr int kPaneBaseHeight = 351;

class PartRows;

class ImageEngine {
  public:
    // `library` may be null: then nothing can be loaded or written. Working files (backing files,
    // save buffers, exports) go to `workingDir`, which the caller keeps private.
    ImageEngine(std::shared_ptr<ImageFileLibrary> library, std::filesystem::path workingDir);
    ~ImageEngine();
    ImageEngine(const ImageEngine&) = delete;
    ImageEngine& operator=(const ImageEngine&) = delete;

    bool hasComponent() const { return component_.has_value(); }
    ImageFileInstance* component() { return component_ ? &*component_ : nullptr; }
    const std::filesystem::path& workingDir() const { return workingDir_; }

    double workScale() const { return workScale_; }
    double viewScale() const { return viewScale_; }
    double fitScale() const { return fitScale_; }
    double paneFactor() const { return paneFactor_; }
    bool workScaleFixed() const { return workScaleFixed_; }
    bool viewScaleFixed() const { return viewScaleFixed_; }
    // Overrides for callers that restore a saved state, and for tests.
    void setScales(double workScale, double viewScale, double fitScale);

    // Zoom menu percentage (100 ... 800): viewScale = fitScale / (percent / 100). Returns the zoom
    // factor in force before (fitScale / previous viewScale).
    double setZoom(std::uint16_t percent);
    // Pane size relative to the 255 x 351 base, as a percentage.
    void setPaneFactor(std::uint16_t percent);

    // Backing file of a side's store block: "ImgdataL.DAT" (left) or "ImgdataR.DAT".
    std::filesystem::path backingPath(Side side) const;
    std::unique_ptr<ImageStoreBlock> createStoreBlock(Side side) const;

    // Reads the file through the component into the block: heap up to 540000 pixel bytes, above
    // that a mapping of the backing file. False (block released) when the file cannot be read.
    // With `rows`, another thread may read the rows as they become final (see PartRows); a
    // failed load then leaves the block to the caller to release once that thread has stopped.
    bool loadOriginal(ImageStoreBlock& block, const std::filesystem::path& fileName,
                      PartRows* rows = nullptr);
    // Loads the file for the reader of `rows` only: where the component decodes it from the top,
    // its rows pass through the ring of `rows` and `block` stays empty; otherwise as
    // loadOriginal(block, fileName, &rows).
    bool loadPassingRows(ImageStoreBlock& block, const std::filesystem::path& fileName, PartRows& rows);
    // Header block only, with the palette of an 8-bit BMP read from the file itself.
    bool readHeader(const std::filesystem::path& fileName, HeaderBlock& header);
    // Both give a JPEG that states no resolution 72 dpi, and every part the resolution set here
    // when it is above 0 (for parts that carry none or a wrong one).
    void setStatedResolution(std::int32_t pelsPerMeter) { statedPelsPerMeter_ = pelsPerMeter; }
    // The working copy of the block's original at about 60 dpi (apart layout, heap). With
    // reuseScale the workScale in force is kept, so that both parts share one scale.
    bool makeWorkingCopy(const ImageStoreBlock& block, ImageRecord& working, bool reuseScale);
    // Fixes viewScale so that the working copy fits the pane (unless reuseScale) and returns the
    // size of the screen bitmap that shows it.
    ScreenSize fitToPane(const ImageRecord& working, bool reuseScale);
    // The displayed size of a working copy at the current viewScale.
    ScreenSize shownSize(const ImageRecord& working) const;
    // Recomputes shownWidth/Height and viewOrigin of a side from its offsets; the left part is
    // anchored with its right edge at the seam.
    void anchorPart(Side side, PaneGeometry& pane, const ImageRecord& working, const PartView& view) const;
    // The same after a new screen bitmap was drawn; a left offset of 0 is measured from the seam,
    // any other left offset is taken as the origin itself.
    void attachPart(Side side, PaneGeometry& pane, const ImageRecord& working, const PartView& view) const;

    // Apply a recorded edit to an original: the crop rectangle scaled by workScale; the turn by
    // the entry's angle (frameTurnDegrees). False (original unchanged) when memory runs out.
    bool cropOriginal(ImageStoreBlock& block, const EditEntry& entry);
    bool rotateOriginal(ImageStoreBlock& block, const EditEntry& entry);
    // Turns an original by degrees (clockwise for positive values).
    bool rotateOriginalDegrees(ImageStoreBlock& block, double degrees);

    static void swapStoreBlocks(ImageStoreBlock& left, ImageStoreBlock& right) { left.swap(right); }
    static void swapWorkingCopies(ImageRecord& left, ImageRecord& right) { left.swap(right); }
    // Both views reset to zero, except that their offsetY values are exchanged.
    static void swapPartViews(PartView& left, PartView& right);

    // Why the last failing call failed, in words for the user.
    const std::string& lastError() const { return lastError_; }

  private:
    bool fail(std::string why);
    void settleResolution(const std::filesystem::path& fileName, HeaderBlock& header) const;

    std::optional<ImageFileInstance> component_;
    std::filesystem::path workingDir_;
    std::int32_t statedPelsPerMeter_ = 0;
    bool workScaleFixed_ = false;
    double workScale_ = 1.0;
    bool viewScaleFixed_ = false;
    double viewScale_ = 1.0;
    double fitScale_ = 1.0;
    double paneFactor_ = 1.0;
    std::string lastError_;
};

// Add 0.5 and truncate: how sizes and scales are rounded.
inline std::int32_t roundHalfUp(double value) {
    return static_cast<std::int32_t>(value + 0.5);
}

} // namespace tandemscan
