#include "engine/merge_export.h"

#include "engine/pixel_tools.h"
#include "engine/working_files.h"

#include <string>

namespace tandemscan {

namespace fs = std::filesystem;

namespace {

// Pixel memory for a full-resolution intermediate: a mapping of a working file, so that it does
// not weigh on the heap; anonymous memory when the file cannot be had.
struct MappedScratch {
    std::optional<WorkingFile> file;
    MemoryBlock block;

    bool open(const fs::path& path, std::size_t bytes, bool prefault) {
        file = WorkingFile::create(path);
        std::optional<MemoryBlock> mapped;
        if (file) mapped = MemoryBlock::mapFile(file->fd(), bytes, prefault);
        if (!mapped) {
            file.reset();
            mapped = MemoryBlock::virtualMemory(bytes, prefault);
        }
        if (!mapped) return false;
        block = std::move(*mapped);
        return true;
    }
};

// A side's original as the composer sees it: the stored record, or its 24-bit expansion.
struct ComposeInput {
    HeaderBlock* header = nullptr;
    std::span<std::uint8_t> pixels;
    HeaderBlock expandedHeader{};
    MappedScratch expanded;

    bool expandFrom(ImageRecord& record, const fs::path& scratchPath) {
        const ImageHeader& h = record.header();
        const std::uint64_t bytes =
            std::uint64_t{PixelTools::rowStride(h.width, 24)} * static_cast<std::uint32_t>(h.height);
        if (!expanded.open(scratchPath, bytes, true)) return false;
        if (!PixelTools::expandToTrueColor(record.headerBlock(), record.pixels(), expandedHeader,
                                           expanded.block.bytes()))
            return false;
        header = &expandedHeader;
        pixels = expanded.block.bytes();
        return true;
    }
    void useAsIs(ImageRecord& record) {
        header = &record.headerBlock();
        pixels = record.pixels();
    }
};

bool eightBitColour(const ImageRecord& record) {
    return !record.empty() && record.header().bitCount == 8 &&
           !PixelTools::isGrayPalette(record.headerBlock());
}

// The two ways of joining behind one header pass and one pixel pass: the cut record, or the map
// from picture content (already in the pixels of the images joined) with its seam.
struct JoinPlan {
    CutRecord cut;
    std::optional<ContentPlacement> content;
    SeamOptions seam;

    bool header(HeaderBlock& out, const HeaderBlock& left, const HeaderBlock& right, std::string* why) const {
        if (content) return seamJoinHeader(out, left, right, *content, why);
        return composeHeader(out, left, right, cut, why);
    }
    bool pixels(HeaderBlock& out, std::span<std::uint8_t> outPixels, const HeaderBlock& left,
                std::span<const std::uint8_t> leftPixels, HeaderBlock& right,
                std::span<std::uint8_t> rightPixels, std::string* why) const {
        if (content)
            return seamJoinImages(out, outPixels, left, leftPixels, right, rightPixels, *content, seam, why);
        return composeImages(out, outPixels, left, leftPixels, right, rightPixels, cut, why);
    }
};

} // namespace

bool MergeExport::fail(std::string why) {
    lastError_ = std::move(why);
    return false;
}

CutRecord MergeExport::previewCut(const MergeSide& left, const MergePlacement& placement) const {
    const ImageHeader& h = left.workingCopy.header();
    const bool mono = h.bitCount == 1;
    if (placement.autoMode) return cutFromOverlap(placement.autoOverlap, engine_.workScale(), h.width, mono);
    return cutFromPanes(placement.leftPane, placement.rightPane, engine_.viewScale(), mono);
}

CutRecord MergeExport::originalCut(const MergeSide& left, const MergePlacement& placement) const {
    return originalCut(left.original.view().header(), placement);
}

CutRecord MergeExport::originalCut(const ImageHeader& h, const MergePlacement& placement) const {
    if (placement.originalCut) return *placement.originalCut;
    const bool mono = h.bitCount == 1;
    if (placement.autoMode) return cutFromOverlap(placement.autoOverlap, 1.0, h.width, mono);
    return cutFromPanes(placement.leftPane, placement.rightPane, engine_.workScale() * engine_.viewScale(),
                        mono);
}

bool MergeExport::composePreview(MergeSide left, MergeSide right, const MergePlacement& placement,
                                 ImageRecord& joined, const fs::path& fileName) {
    joined.reset();
    if (left.workingCopy.empty() || right.workingCopy.empty()) return fail("Both parts are needed");
    JoinPlan plan;
    if (placement.content) {
        plan.content = scaleContentPlacement(*placement.content, engine_.workScale());
        plan.seam = {placement.seam, featherWidthFor(left.workingCopy.header(), engine_.workScale())};
    } else {
        plan.cut = previewCut(left, placement);
    }
    // Palette colour indexes of two parts cannot be mixed; the copies become 24-bit for good.
    if (eightBitColour(left.workingCopy) || eightBitColour(right.workingCopy)) {
        if (left.workingCopy.header().bitCount == 8 && !PixelTools::expandToTrueColor(left.workingCopy))
            return fail("Not enough memory");
        if (right.workingCopy.header().bitCount == 8 && !PixelTools::expandToTrueColor(right.workingCopy))
            return fail("Not enough memory");
    }
    HeaderBlock header;
    std::string why;
    if (!plan.header(header, left.workingCopy.headerBlock(), right.workingCopy.headerBlock(), &why))
        return fail(why);
    auto record = ImageRecord::allocate(header, header.header.sizeImage);
    if (!record) return fail("Not enough memory");
    if (!plan.pixels(record->headerBlock(), record->pixels(), left.workingCopy.headerBlock(),
                     left.workingCopy.pixels(), right.workingCopy.headerBlock(), right.workingCopy.pixels(),
                     &why))
        return fail(why);
    if (fileName.empty()) {
        joined = std::move(*record);
        return true;
    }
    return writeImageFile(record->headerBlock(), record->pixels().data(), fileName);
}

bool MergeExport::applyPendingEdits(MergeSide side) {
    auto& edits = side.pendingEdits;
    while (!edits.empty()) {
        const EditEntry entry = edits.front();
        const bool done = entry.kind == kEditHalfTurn ? engine_.rotateOriginalDegrees(side.original, 180)
                                                      : engine_.rotateOriginal(side.original, entry) &&
                                                            engine_.cropOriginal(side.original, entry);
        if (!done) return fail(engine_.lastError());
        edits.erase(edits.begin());
    }
    if (side.rotations % 2 != 0 && !engine_.rotateOriginalDegrees(side.original, 180))
        return fail(engine_.lastError());
    side.rotations = 0;
    return true;
}

bool MergeExport::saveMerged(MergeSide left, MergeSide right, const MergePlacement& placement,
                             const fs::path& fileName, const std::function<void(MergeStage)>& stage) {
    auto announce = [&](MergeStage s) {
        if (stage) stage(s);
    };
    if (fileName.empty()) return fail("No file name");
    if (!left.original.holdsImage() || !right.original.holdsImage()) return fail("Both parts are needed");
    announce(MergeStage::applyEdits);
    if (!applyPendingEdits(left) || !applyPendingEdits(right)) return false;

    announce(MergeStage::compose);
    JoinPlan plan;
    if (placement.content) {
        plan.content = placement.content;
        plan.seam = {placement.seam, featherWidthFor(left.original.view().header())};
    } else {
        plan.cut = originalCut(left, placement);
    }
    ImageRecord& leftOriginal = left.original.view();
    ImageRecord& rightOriginal = right.original.view();
    ComposeInput leftInput, rightInput;
    // 8-bit colour originals are joined as 24-bit copies; the store blocks keep their images.
    if (eightBitColour(leftOriginal) || eightBitColour(rightOriginal)) {
        const fs::path dir = engine_.workingDir();
        if ((leftOriginal.header().bitCount == 8 &&
             !leftInput.expandFrom(leftOriginal, dir / "MergeImgL.Tmp")) ||
            (rightOriginal.header().bitCount == 8 &&
             !rightInput.expandFrom(rightOriginal, dir / "MergeImgR.Tmp")))
            return fail("Not enough memory");
    }
    if (leftInput.header == nullptr) leftInput.useAsIs(leftOriginal);
    if (rightInput.header == nullptr) rightInput.useAsIs(rightOriginal);

    HeaderBlock joined;
    std::string why;
    ImageFileInstance* component = engine_.component();
    if (streamRows_ && !plan.content && component != nullptr && component->canWriteRows()) {
        JoinedRows rows;
        if (!rows.prepare(joined, *leftInput.header, leftInput.pixels, *rightInput.header, rightInput.pixels,
                          plan.cut, &why))
            return fail(why);
        announce(MergeStage::writeRows);
        auto rowAt = [](void* context, std::int32_t r) -> const void* {
            return static_cast<JoinedRows*>(context)->row(r);
        };
        if (!component->writeImageRows(fileName, joined, rowAt, &rows)) {
            const std::string text = component->lastErrorMessage();
            return fail(text.empty() ? "Fail to save file" : text);
        }
        return true;
    }
    if (!plan.header(joined, *leftInput.header, *rightInput.header, &why)) return fail(why);
    MappedScratch output;
    // Not prefaulted: the composer's two threads fault the pages in as they write them.
    if (!output.open(engine_.workingDir() / kMergeTemporaryFile, joined.header.sizeImage, false))
        return fail("Not enough memory");
    if (!plan.pixels(joined, output.block.bytes(), *leftInput.header, leftInput.pixels, *rightInput.header,
                     rightInput.pixels, &why))
        return fail(why);
    announce(MergeStage::write);
    return writeImageFile(joined, output.block.data(), fileName);
}

bool MergeExport::saveSingle(MergeSide side, const fs::path& fileName) {
    if (fileName.empty()) return fail("No file name");
    if (!side.original.holdsImage()) return fail("The side holds no part");
    if (!applyPendingEdits(side)) return false;
    ImageRecord& original = side.original.view();
    ComposeInput input;
    if (eightBitColour(original)) {
        const fs::path scratch = engine_.workingDir() / (side.original.path().filename().string() + ".Tmp");
        if (!input.expandFrom(original, scratch)) return fail("Not enough memory");
    } else {
        input.useAsIs(original);
    }
    HeaderBlock header = *input.header;
    header.header.size = 40;
    header.header.sizeImage = PixelTools::imageDataSize(header.header);
    return writeImageFile(header, input.pixels.data(), fileName);
}

std::optional<fs::path> MergeExport::exportForApplication(MergeSide left, MergeSide right,
                                                          const MergePlacement& placement) {
    ++exportCounter_;
    const fs::path path = engine_.workingDir() / (std::to_string(exportCounter_) + kExportFileSuffix);
    if (!saveMerged(left, right, placement, path)) return std::nullopt;
    return path;
}

bool MergeExport::writeImageFile(const HeaderBlock& header, const std::uint8_t* pixels,
                                 const fs::path& fileName) {
    ImageFileInstance* component = engine_.component();
    if (component == nullptr) return fail("No image file component");
    if (!component->writeImage(fileName, header, pixels)) {
        const std::string why = component->lastErrorMessage();
        return fail(why.empty() ? "Fail to save file" : why);
    }
    return true;
}

} // namespace tandemscan
