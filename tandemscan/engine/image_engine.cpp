#include "engine/image_engine.h"

#include "engine/join_while_loading.h"
#include "engine/part_files.h"
#include "engine/pixel_tools.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tandemscan {

namespace fs = std::filesystem;

ImageEngine::ImageEngine(std::shared_ptr<ImageFileLibrary> library, fs::path workingDir)
    : workingDir_(std::move(workingDir)) {
    if (library) component_ = library->newInstance();
}

ImageEngine::~ImageEngine() = default;

bool ImageEngine::fail(std::string why) {
    lastError_ = std::move(why);
    return false;
}

void ImageEngine::setScales(double workScale, double viewScale, double fitScale) {
    workScale_ = workScale;
    viewScale_ = viewScale;
    fitScale_ = fitScale;
}

double ImageEngine::setZoom(std::uint16_t percent) {
    const double previous = fitScale_ / viewScale_;
    if (percent == 0) return previous;
    viewScale_ = fitScale_ / (static_cast<float>(percent) / 100.0f);
    return previous;
}

void ImageEngine::setPaneFactor(std::uint16_t percent) {
    paneFactor_ = percent / 100.0;
}

fs::path ImageEngine::backingPath(Side side) const {
    return workingDir_ / (side == Side::Left ? kLeftBackingFile : kRightBackingFile);
}

std::unique_ptr<ImageStoreBlock> ImageEngine::createStoreBlock(Side side) const {
    return std::make_unique<ImageStoreBlock>(backingPath(side));
}

bool ImageEngine::readHeader(const fs::path& fileName, HeaderBlock& header) {
    header = HeaderBlock{};
    if (!component_) return fail("No image file component");
    if (!component_->readHeader(fileName, header)) {
        const std::string why = component_->lastErrorMessage();
        return fail(why.empty() ? "Cannot read " + fileName.string() : why);
    }
    settleResolution(fileName, header);
    return true;
}

void ImageEngine::settleResolution(const fs::path& fileName, HeaderBlock& header) const {
    if (statedPelsPerMeter_ > 0) {
        header.header.xPelsPerMeter = header.header.yPelsPerMeter = statedPelsPerMeter_;
        return;
    }
    assumeUnstatedResolution(fileName, header);
}

bool ImageEngine::loadOriginal(ImageStoreBlock& block, const fs::path& fileName, PartRows* rows) {
    // A reader on another thread hears of the end whatever way the load goes.
    struct EndReport {
        PartRows* rows;
        const HeaderBlock* loaded = nullptr;
        ~EndReport() {
            if (rows) rows->finish(loaded);
        }
    } end{rows};
    if (!component_) return fail("No image file component");
    if (fileName.empty()) return fail("No file name");
    const std::uint32_t size = component_->imageSize(fileName);
    if (size == 0) {
        const std::string why = component_->lastErrorMessage();
        block.release();
        return fail(why.empty() ? "Cannot read " + fileName.string() : why);
    }
    // Not prefaulted: the size is only the header's claim, and a damaged file may fail at its
    // first rows; the pages come as the decoder writes them.
    if (!block.reserve(size)) return fail("Not enough memory");
    ImageRecord& view = block.view();
    bool read = false;
    if (rows != nullptr) {
        rows->begin(view.pixels());
        auto rowsDone = [](void* context, std::int32_t n) { static_cast<PartRows*>(context)->rowsDone(n); };
        read = component_->canReadRows()
                   ? component_->readImageRows(fileName, view.headerBlock(), view.pixels().data(), rowsDone,
                                               rows)
                   : component_->readImage(fileName, view.headerBlock(), view.pixels().data());
    } else {
        read = component_->readImage(fileName, view.headerBlock(), view.pixels().data());
    }
    // Rows handed out stay mapped after a failure until the caller, who knows when the reader
    // has stopped, releases the block.
    if (!read) {
        const std::string why = component_->lastErrorMessage();
        if (rows == nullptr) block.release();
        return fail(why.empty() ? "Cannot read " + fileName.string() : why);
    }
    // Never trust a header that describes more pixels than were read.
    if (PixelTools::imageDataSize(view.header()) > size || view.header().width < 1 ||
        view.header().height < 1) {
        if (rows == nullptr) block.release();
        return fail("The image in " + fileName.string() + " is damaged");
    }
    settleResolution(fileName, view.headerBlock());
    end.loaded = &view.headerBlock();
    return true;
}

bool ImageEngine::loadPassingRows(ImageStoreBlock& block, const fs::path& fileName, PartRows& rows) {
    if (!component_ || !rows.throughRing()) return loadOriginal(block, fileName, &rows);
    struct Reading {
        PartRows& rows;
        HeaderBlock header{};
        bool checked = false;
    } reading{rows};
    // The rows must have the geometry the reader was given: the file may have changed since.
    auto place = [](void* context, std::int32_t row) -> void* {
        auto& r = *static_cast<Reading*>(context);
        if (!r.checked) {
            const ImageHeader& given = r.header.header;
            const ImageHeader& expected = r.rows.expected().header;
            if (given.width != expected.width || given.height != expected.height ||
                given.bitCount != expected.bitCount)
                return nullptr;
            r.checked = true;
        }
        return r.rows.rowPlace(row);
    };
    auto rowsDone = [](void* context, std::int32_t n) { static_cast<Reading*>(context)->rows.rowsDone(n); };
    const auto read = component_->readImageInto(fileName, reading.header, place, rowsDone, &reading);
    if (read == ImageFileInstance::ReadInto::notByRows) return loadOriginal(block, fileName, &rows);
    if (read == ImageFileInstance::ReadInto::failed || !reading.checked) {
        rows.finish(nullptr);
        const std::string why = component_->lastErrorMessage();
        return fail(why.empty() ? "Cannot read " + fileName.string() : why);
    }
    settleResolution(fileName, reading.header);
    rows.finish(&reading.header);
    return true;
}

bool ImageEngine::makeWorkingCopy(const ImageStoreBlock& block, ImageRecord& working, bool reuseScale) {
    if (!block.holdsImage()) return false;
    working.reset();
    const ImageRecord& original = block.view();
    const ImageHeader& h = original.header();
    const std::int32_t width = h.width, height = h.height;

    std::int32_t newWidth = width, newHeight = height;
    bool plainCopy = false;
    if (!reuseScale) {
        workScaleFixed_ = true;
        const float dpi = static_cast<float>(h.xPelsPerMeter) / kPelsPerMeterPerDpi;
        // Without a resolution there is nothing to reduce to; the copy is the original.
        // In 64 bits: a legal 1-bit part may be 40,000,000 pixels wide.
        const std::int32_t w60 = dpi > 0 ? roundHalfUp(std::int64_t{width} * 60 / dpi) : width;
        const std::int32_t h60 = dpi > 0 ? roundHalfUp(std::int64_t{height} * 60 / dpi) : height;
        if ((width <= w60 && height <= h60) || w60 < 1 || h60 < 1) {
            workScale_ = 1.0;
            plainCopy = true;
        } else {
            const double rx = double(width) / w60, ry = double(height) / h60;
            if (rx >= ry) {
                newWidth = w60;
                newHeight = roundHalfUp(height / rx);
                workScale_ = rx;
            } else {
                newWidth = roundHalfUp(width / ry);
                newHeight = h60;
                workScale_ = ry;
            }
        }
    } else {
        newWidth = roundHalfUp(width / workScale_);
        newHeight = roundHalfUp(height / workScale_);
    }
    newWidth = std::max(newWidth, 1);
    newHeight = std::max(newHeight, 1);

    if (plainCopy) {
        const std::uint32_t size = PixelTools::imageDataSize(h);
        auto copy = ImageRecord::allocate(original.headerBlock(), size);
        if (!copy) return fail("Not enough memory");
        std::memcpy(copy->pixels().data(), original.pixels().data(), size);
        copy->header().sizeImage = size;
        working = std::move(*copy);
        return true;
    }
    const std::uint32_t size = PixelTools::imageDataSizeFor(&h, newWidth, newHeight);
    auto copy = ImageRecord::allocate(original.headerBlock(), size);
    if (!copy) return fail("Not enough memory");
    if (!PixelTools::resampleImage(original.headerBlock(), original.pixels(), newWidth, newHeight,
                                   copy->headerBlock(), copy->pixels()))
        return fail("Image type not supported!");
    copy->header().sizeImage = size;
    working = std::move(*copy);
    return true;
}

ScreenSize ImageEngine::shownSize(const ImageRecord& working) const {
    if (working.empty()) return {};
    return {roundHalfUp(working.header().width / viewScale_),
            roundHalfUp(working.header().height / viewScale_)};
}

ScreenSize ImageEngine::fitToPane(const ImageRecord& working, bool reuseScale) {
    if (working.empty()) return {};
    if (!reuseScale) {
        viewScaleFixed_ = true;
        const std::int32_t paneWidth = roundHalfUp(kPaneBaseWidth * paneFactor_);
        const std::int32_t paneHeight = roundHalfUp(kPaneBaseHeight * paneFactor_);
        const std::int32_t width = working.header().width, height = working.header().height;
        if (paneWidth < 1 || paneHeight < 1) {
            viewScale_ = fitScale_ = 1.0;
        } else {
            // A copy that fits is shown 1:1 in panes of the base size; larger panes (a larger or
            // maximised window) enlarge it with them, so the parts keep filling the panes.
            const double fit = std::max(double(width) / paneWidth, double(height) / paneHeight);
            viewScale_ = fitScale_ = std::max(fit, std::min(1.0, 1.0 / paneFactor_));
        }
    }
    return shownSize(working);
}

void ImageEngine::anchorPart(Side side, PaneGeometry& pane, const ImageRecord& working,
                             const PartView& view) const {
    const ScreenSize shown = shownSize(working);
    pane.shownWidth = shown.width;
    pane.shownHeight = shown.height;
    pane.viewOrigin.y = view.offsetY;
    if (side == Side::Right) {
        pane.viewOrigin.x = view.offsetX;
    } else {
        pane.viewOrigin.x = shown.width - pane.paneWidth + view.offsetX;
        pane.paneOrigin = {0, 0};
    }
}

void ImageEngine::attachPart(Side side, PaneGeometry& pane, const ImageRecord& working,
                             const PartView& view) const {
    const ScreenSize shown = shownSize(working);
    pane.shownWidth = shown.width;
    pane.shownHeight = shown.height;
    pane.viewOrigin = {view.offsetX, view.offsetY};
    if (side == Side::Left) {
        if (pane.viewOrigin.x == 0) pane.viewOrigin.x = shown.width - pane.paneWidth;
        pane.paneOrigin = {0, 0};
    }
}

bool ImageEngine::cropOriginal(ImageStoreBlock& block, const EditEntry& entry) {
    if (!block.holdsImage()) return false;
    const ImageRecord& original = block.view();
    auto scaled = [&](std::int32_t v) { return static_cast<std::int32_t>(v * workScale_ + 0.5); };
    const std::int32_t left = scaled(entry.left), top = scaled(entry.top);
    const std::int32_t right = scaled(entry.right), bottom = scaled(entry.bottom);
    const std::uint32_t size = PixelTools::cropImage(original.headerBlock(), original.pixels(), left, top,
                                                     right, bottom, nullptr, {});
    auto replacement = block.prepareReplacement(size);
    if (!replacement) return fail("Not enough memory");
    ImageRecord& record = replacement->record;
    if (PixelTools::cropImage(original.headerBlock(), original.pixels(), left, top, right, bottom,
                              &record.headerBlock(), record.pixels()) == 0)
        return fail("Image type not supported!");
    block.replace(std::move(*replacement));
    return true;
}

bool ImageEngine::rotateOriginal(ImageStoreBlock& block, const EditEntry& entry) {
    const double degrees = frameTurnDegrees(entry.angle);
    if (degrees == 0.0) return true;
    return rotateOriginalDegrees(block, degrees);
}

bool ImageEngine::rotateOriginalDegrees(ImageStoreBlock& block, double degrees) {
    if (!block.holdsImage()) return false;
    const ImageRecord& original = block.view();
    const ImageHeader& h = original.header();
    // Quarter turns need exactly the turned image; other angles the frame rotatedSize gives.
    const bool quarter = std::fmod(degrees, 90.0) == 0.0;
    const bool swaps = quarter && static_cast<int>(degrees / 90) % 2 != 0;
    const std::uint32_t size =
        quarter ? PixelTools::imageDataSizeFor(&h, swaps ? h.height : h.width, swaps ? h.width : h.height)
                : PixelTools::rotatedSize(h, degrees);
    if (size == 0) return fail("Image type not supported!");
    auto replacement = block.prepareReplacement(size);
    if (!replacement) return fail("Not enough memory");
    ImageRecord& record = replacement->record;
    if (!PixelTools::rotateImage(record.headerBlock(), record.pixels(), degrees, original.headerBlock(),
                                 original.pixels(), PixelTools::rasterType(original.headerBlock())))
        return fail("Image type not supported!");
    record.header().size = 40;
    record.header().sizeImage = size;
    block.replace(std::move(*replacement));
    return true;
}

void ImageEngine::swapPartViews(PartView& left, PartView& right) {
    const std::int32_t leftY = left.offsetY, rightY = right.offsetY;
    left = PartView{};
    right = PartView{};
    left.offsetY = rightY;
    right.offsetY = leftY;
}

} // namespace tandemscan
