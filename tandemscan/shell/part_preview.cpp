#include "part_preview.h"

#include "engine/image_file.h"
#include "engine/image_record.h"
#include "engine/part_files.h"
#include "engine/pixel_tools.h"
#include "workspace/view/image_conversion.h"

namespace tandemscan {

namespace {

// Enough for a crisp thumbnail; a full-size copy of a 600 dpi scan would only cost memory.
constexpr int thumbnailEdge = 400;

} // namespace

PictureReader makePartPreviewReader(std::shared_ptr<ImageFileLibrary> component) {
    return [component](const QString& path, bool withPixels) -> std::optional<PreviewPicture> {
        if (!component) return std::nullopt;
        auto instance = component->newInstance();
        if (!instance) return std::nullopt;
        const std::filesystem::path file = path.toStdString();
        HeaderBlock header{};
        if (!instance->readHeader(file, header)) return std::nullopt;
        const bool assumed = assumeUnstatedResolution(file, header);
        PreviewPicture picture;
        picture.facts = {header.header.width,         std::abs(header.header.height),
                         header.header.bitCount,      PixelTools::isGrayPalette(header),
                         header.header.xPelsPerMeter, assumed};
        // Compressed pixel layouts cannot be drawn from the block as it is.
        if (!withPixels || header.header.compression >= 3) return picture;
        const std::uint32_t bytes = instance->imageSize(file);
        if (bytes == 0) return picture;
        auto record = ImageRecord::allocate(header, bytes);
        if (!record || !instance->readImage(file, record->headerBlock(), record->pixels().data()))
            return picture;
        QImage image = toQImage(*record);
        if (image.width() > thumbnailEdge || image.height() > thumbnailEdge) {
            image = image.scaled(thumbnailEdge, thumbnailEdge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        picture.image = image;
        return picture;
    };
}

} // namespace tandemscan
