// The four information lines and the warning line that the open dialog's preview panel shows
// for the selected image file.
#pragma once

#include "engine/pane_geometry.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tandemscan {

struct PictureFacts {
    std::int32_t width = 0;
    std::int32_t height = 0;
    int bitsPerPixel = 0;
    bool grayPalette = false;
    std::int32_t xPelsPerMeter = 0;
    bool resolutionAssumed = false; // the file states none; xPelsPerMeter is the assumed one
};

// "" leaves a line empty.
struct PictureInfoLines {
    std::string size;
    std::string depth;
    std::string type;
    std::string resolution;
    std::string warning; // shown in red
};

using TranslateText = std::function<std::string(std::string_view)>;

// The lines in the user's language: each English template ("Image Size: %d * %d pixels") is
// translated first and its numbers put in afterwards, so translators see one key per line.
PictureInfoLines describePicture(const PictureFacts& facts, const TranslateText& translate = {});
// Puts the numbers into the "%d" and "%ld" places of a template, in order.
std::string fillNumbers(std::string_view pattern, std::initializer_list<long long> numbers);
// Dots per inch of a pixels-per-metre value, rounded to the nearest integer.
long dotsPerInch(std::int32_t pelsPerMeter);

// The box reduced to the image's proportions and centred in it: a wide image keeps the box's
// width, a tall one its height.
Rect fitIntoBox(int boxWidth, int boxHeight, int imageWidth, int imageHeight);

} // namespace tandemscan
