// Which files can be loaded as parts, and what a part's file leaves unsaid: the extensions the
// Input dialog, the command line and dropped files accept, and the resolution assumed for a JPEG
// that states none.
#pragma once

#include "engine/image_record.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace tandemscan {

inline constexpr std::array<std::string_view, 6> kPartExtensions{".bmp", ".jpg", ".jpeg",
                                                                 ".png", ".tif", ".tiff"};

// Empty when the file's extension is one of kPartExtensions, in any case; otherwise the reason,
// naming the file, for the second line of the refusal.
std::string partExtensionRefusal(const std::filesystem::path& file);

// 72 dots per inch, the convention imaging programs follow for a picture without a resolution.
inline constexpr std::int32_t kAssumedPelsPerMeter = 2835;

// Gives a JPEG file's header that states no resolution (JFIF units 0 and no Exif resolution)
// 72 dpi and returns true; any other file or header is left as it is.
bool assumeUnstatedResolution(const std::filesystem::path& file, HeaderBlock& header);

// Whether the file's first bytes are those of a JPEG.
bool isJpegFile(const std::filesystem::path& file);

// A message box text: the first line as the user knows it and, when there is one, a second line
// with the file and the reason. `aboutFile` names the file unless the reason already does.
std::string withSecondLine(std::string_view firstLine, std::string_view reason);
std::string aboutFile(const std::filesystem::path& file, std::string_view reason);

} // namespace tandemscan
