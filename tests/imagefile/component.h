// Test access to the built component (loaded with dlopen like the programs load it) and helpers
// for making, comparing and decoding images.
#pragma once

#include "image_block.h"
#include "image_file_component.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace imagefile::test {

// A loaded component file, bound by the programs' own binding.
struct Component {
    std::shared_ptr<const ImageFileComponent> binding; // null when the file cannot be loaded
    ImageFileApi api{};                                // all null unless every required entry point resolved

    // ZedOROV.so from the program folder, loaded once for the whole test run.
    static const Component& main();
    // Loads a component file; every entry point is null when one of them is missing.
    static Component load(const std::string& path);
};

// An image in the record's layout: header block and bottom-up pixel block.
struct Image {
    HeaderBlock block{};
    std::vector<uint8_t> pixels;

    int width() const { return block.header.width; }
    int height() const { return block.header.height; }
    int bits() const { return block.header.bitCount; }
    uint64_t stride() const { return rowStride(width(), bits()); }
    // The colour of pixel (x, y), y counted from the top, as 0xRRGGBB.
    uint32_t rgb(int x, int y) const;
    // Palette index of pixel (x, y) (1, 4 or 8 bits), y counted from the top.
    unsigned index(int x, int y) const;
};

// A test picture of the given size and depth with a pattern that differs in every pixel's
// neighbourhood; palettes for 1, 4 and 8 bits are colourful unless `grey` is set.
Image makeImage(int width, int height, int bits, bool grey = false, int32_t pelsPerMeter = 0);

// One instance per call: reads a file; `error` gets the component's message on failure.
bool readFile(const std::string& path, Image& image, std::string* error = nullptr);
bool writeFile(const std::string& path, const Image& image, std::string* error = nullptr);
// The same through WriteImageRows, handing out copies of the rows one at a time; with
// `failAtRow` >= 0 the source gives none from that row on. `asked` counts the rows asked for.
bool writeFileByRows(const std::string& path, const Image& image, std::string* error = nullptr,
                     int failAtRow = -1, int* asked = nullptr);

// Decodes a PNG with libpng into 0xRRGGBB values, rows from the top.
bool decodePngReference(const std::string& path, int& width, int& height, std::vector<uint32_t>& rgb);

std::vector<uint8_t> fileBytes(const std::string& path);
void putFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A fresh folder below the system's temporary folder, removed at destruction.
class ScratchFolder {
  public:
    ScratchFolder();
    ~ScratchFolder();
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }
    // Names of the files in the folder.
    std::vector<std::string> entries() const;

  private:
    std::filesystem::path path_;
};

std::string corpusDir();

} // namespace imagefile::test
