// The save dialog's list of formats: built from a "|"-separated list of names such as
// "BMP file (*.bmp)|TIFF File (*.tif)", and the rule that keeps a typed file name's extension
// in step with the chosen format.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tandemscan {

inline constexpr std::size_t maxSaveFormats = 20;

// The formats a picture can be saved in, by its bits per pixel. A colour picture joined from
// parts whose working copies had 8 bits is offered no TIFF.
inline constexpr std::string_view kLineArtFormats = "BMP file (*.bmp)|TIFF File (*.tif)|PCX File (*.pcx)";
inline constexpr std::string_view kGrayFormats =
    "BMP file (*.bmp)|PCX File (*.pcx)|TGA File (*.tga)|PNG File (*.png)|TIFF File (*.tif)";
inline constexpr std::string_view kColourFormats =
    "BMP file (*.bmp)|TIFF File (*.tif)|PCX File (*.pcx)|TGA File (*.tga)|PNG File (*.png)";
inline constexpr std::string_view kColourFromEightBitFormats =
    "BMP file (*.bmp)|PCX File (*.pcx)|TGA File (*.tga)|PNG File (*.png)";
std::string_view saveFormatList(int bitsPerPixel, bool fromEightBit = false);

struct SaveFormat {
    std::string name;      // "PNG File (*.png)"
    std::string pattern;   // "*.png"
    std::string extension; // ".png"
};

class SaveFormats {
  public:
    // At most 20 names are taken; a name without "(...)" gets an empty pattern.
    explicit SaveFormats(std::string_view list);

    const std::vector<SaveFormat>& formats() const { return formats_; }
    // One Qt name filter per format, "Name (*.ext)".
    std::vector<std::string> nameFilters() const;
    // The extension without its dot of the format with this name ("png"); empty when there is
    // no such format or it names no extension.
    std::string suffixFor(std::string_view name) const;

    // The name the dialog starts with: the given one, or "*" and the first extension.
    std::string initialName(std::string_view name) const;
    // 1-based index of the first format whose extension the name ends with; 1 when none does.
    int indexForName(std::string_view name) const;
    // The name after the user chose format index (1-based): an empty name becomes "*" and the
    // extension, a name without "." gets it appended, otherwise everything from the last "."
    // is replaced. Folders in the name are left alone.
    std::string nameForFormat(std::string_view name, int index) const;

  private:
    std::vector<SaveFormat> formats_;
};

} // namespace tandemscan
