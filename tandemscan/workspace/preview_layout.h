// Where the full-screen preview draws the joined image, and the information line above it.
#pragma once

#include "engine/image_record.h"
#include "workspace/geometry.h"

#include <string>

namespace tandemscan {

// The joined image of w x h drawn on a screen of sw x sh: unscaled when it fits, otherwise shrunk
// to the screen keeping its proportions; centred either way.
Rect previewPlacement(int w, int h, int sw, int sh);

struct PreviewFacts {
    int width = 0; // full-resolution pixels
    int height = 0;
    int dpiX = 0;
    int dpiY = 0;
};
// The joined preview's size at full resolution (preview size times workScale, rounded) and its
// resolution in dots per inch.
PreviewFacts previewFacts(const ImageHeader& joined, double workScale);

// The texts of the information line; each is translated before use.
struct PreviewTexts {
    std::string imageSize = "Image Size : ";
    std::string times = " * ";
    std::string pixel = " pixel";
    std::string resolution = "     Resolution : ";
    std::string dpi = " dpi ";
};
std::string previewInformation(const PreviewFacts& facts, const PreviewTexts& texts);

} // namespace tandemscan
