#include "picture_info.h"

#include <algorithm>
#include <cmath>

namespace tandemscan {

namespace {
constexpr const char* notSupported = "This image is not supported!";
}

long dotsPerInch(std::int32_t pelsPerMeter) {
    return std::lround(pelsPerMeter / 39.37);
}

std::string fillNumbers(std::string_view pattern, std::initializer_list<long long> numbers) {
    std::string out;
    auto next = numbers.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && next != numbers.end()) {
            if (pattern.substr(i, 2) == "%d") {
                out += std::to_string(*next++);
                i += 1;
                continue;
            }
            if (pattern.substr(i, 3) == "%ld") {
                out += std::to_string(*next++);
                i += 2;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

PictureInfoLines describePicture(const PictureFacts& f, const TranslateText& translate) {
    const auto tr = [&](std::string_view text) { return translate ? translate(text) : std::string(text); };
    PictureInfoLines lines;
    lines.size = fillNumbers(tr("Image Size: %d * %d pixels"), {f.width, f.height});
    switch (f.bitsPerPixel) {
    case 1:
        lines.depth = tr("Color depth: 1 bit");
        lines.type = tr("Image Type: line-art");
        break;
    case 4:
        lines.depth = tr("Color depth: 4 bits");
        lines.type = tr("Image Type: index color");
        lines.warning = tr(notSupported);
        break;
    case 8:
        lines.depth = tr("Color depth: 8 bits");
        lines.type = tr(f.grayPalette ? "Image Type: gray" : "Image Type: index color");
        break;
    case 16:
        lines.depth = tr("Color depth: 16 bits");
        lines.type = tr("Image Type: index color");
        lines.warning = tr(notSupported);
        break;
    case 24:
        lines.depth = tr("Color depth: 24 bits");
        lines.type = tr("Image Type: color");
        break;
    default:
        break;
    }
    if (f.xPelsPerMeter == 0) {
        lines.resolution = tr("Resolution: Unknown");
        lines.warning = tr(notSupported);
    } else {
        lines.resolution = fillNumbers(
            tr(f.resolutionAssumed ? "Resolution: %ld DPI (not stated in the file)" : "Resolution: %ld DPI"),
            {dotsPerInch(f.xPelsPerMeter)});
    }
    return lines;
}

Rect fitIntoBox(int boxWidth, int boxHeight, int imageWidth, int imageHeight) {
    if (boxWidth <= 0 || boxHeight <= 0 || imageWidth <= 0 || imageHeight <= 0) return {};
    // Compare the proportions without division: image w/h against box w/h.
    const long long wide = static_cast<long long>(imageWidth) * boxHeight;
    const long long tall = static_cast<long long>(imageHeight) * boxWidth;
    if (wide >= tall) {
        const int height =
            std::max(1, static_cast<int>(static_cast<long long>(boxWidth) * imageHeight / imageWidth));
        return Rect::at(0, (boxHeight - height) / 2, boxWidth, height);
    }
    const int width =
        std::max(1, static_cast<int>(static_cast<long long>(boxHeight) * imageWidth / imageHeight));
    return Rect::at((boxWidth - width) / 2, 0, width, boxHeight);
}

} // namespace tandemscan
