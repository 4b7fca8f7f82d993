// Building the joined picture on demand: the preview from the working copies, and the saves and
// exports at full resolution from the originals (after replaying the recorded edits on them).
#pragma once

#include "engine/composer.h"
#include "engine/content_placement.h"
#include "engine/image_engine.h"
#include "engine/seam_join.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tandemscan {

inline constexpr const char* kMergeTemporaryFile = "MergeImg.Tmp";
inline constexpr const char* kExportFileSuffix = "_MergeImg.bmp";

// EditEntry kinds understood by the replay: a crop (with its frame angle) and a half turn.
inline constexpr std::uint8_t kEditHalfTurn = 4;
inline constexpr std::uint8_t kEditCrop = 6;

// One side as the workspace holds it.
struct MergeSide {
    ImageStoreBlock& original;
    // The reduced copy; a preview may replace an 8-bit colour copy by its 24-bit expansion.
    ImageRecord& workingCopy;
    // Edits of the working copy not yet applied to the original, oldest first. A save applies and
    // empties them. Half turns recorded here keep their order relative to the crops.
    std::vector<EditEntry>& pendingEdits;
    // Half turns of the working copy not recorded in pendingEdits; an odd count turns the original
    // after the entries. A save resets it to 0.
    std::uint16_t& rotations;
};

// Where the cut comes from.
struct MergePlacement {
    bool autoMode = false;
    double autoOverlap = 0; // original pixels, with autoMode
    SeamPane leftPane;      // otherwise: the panes, in screen pixels
    SeamPane rightPane;
    // A cut for the originals given directly (scripts); takes precedence over the above for
    // full-resolution saves.
    std::optional<CutRecord> originalCut;
    // The map found from picture content, in original pixels of the parts as they stand after
    // their pending edits. While set it replaces all of the above: the right part is turned and
    // resampled onto the left one and joined with `seam`. The preview applies it to the working
    // copies, scaled by workScale.
    std::optional<ContentPlacement> content;
    SeamMode seam = SeamMode::feather;
};

// writeRows stands for compose and write together: the joined rows go to the writer as they are
// composed, so the originals are read until the save returns.
enum class MergeStage { applyEdits, compose, write, writeRows };

class MergeExport {
  public:
    explicit MergeExport(ImageEngine& engine) : engine_(engine) {}

    // The joined picture of the working copies into `joined` (heap). With a file name it is
    // written and `joined` released again.
    bool composePreview(MergeSide left, MergeSide right, const MergePlacement& placement, ImageRecord& joined,
                        const std::filesystem::path& fileName = {});
    // The joined picture at full resolution, composed into a mapping of the working file
    // "MergeImg.Tmp" and written to `fileName`. `stage` hears each step as it starts; from
    // MergeStage::write on, the originals are no longer read. With streamRows set, a join by cut
    // is handed to the writer row by row instead, where the component can take rows (no
    // "MergeImg.Tmp", no second copy); the window keeps the mapped file.
    bool saveMerged(MergeSide left, MergeSide right, const MergePlacement& placement,
                    const std::filesystem::path& fileName, const std::function<void(MergeStage)>& stage = {});
    // One part at full resolution, after its pending edits.
    bool saveSingle(MergeSide side, const std::filesystem::path& fileName);
    // Saves the joined picture as "<n>_MergeImg.bmp" in the working folder (n counts from 1 for
    // this object) and returns the path.
    std::optional<std::filesystem::path> exportForApplication(MergeSide left, MergeSide right,
                                                              const MergePlacement& placement);
    // Writes one record through the image file component in the format the extension names.
    bool writeImageFile(const HeaderBlock& header, const std::uint8_t* pixels,
                        const std::filesystem::path& fileName);
    // Applies a side's pending edits and half turns to its original and clears them.
    bool applyPendingEdits(MergeSide side);

    // The cut record for the working copies / for the originals.
    CutRecord previewCut(const MergeSide& left, const MergePlacement& placement) const;
    CutRecord originalCut(const MergeSide& left, const MergePlacement& placement) const;
    // The same from the left original's header alone.
    CutRecord originalCut(const ImageHeader& left, const MergePlacement& placement) const;

    void setStreamRows(bool stream) { streamRows_ = stream; }

    // Why the last failing call failed.
    const std::string& lastError() const { return lastError_; }
    unsigned exportCount() const { return exportCounter_; }

  private:
    bool fail(std::string why);

    ImageEngine& engine_;
    unsigned exportCounter_ = 0;
    bool streamRows_ = false;
    std::string lastError_;
};

} // namespace tandemscan
