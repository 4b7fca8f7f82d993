// Stateless pixel operations on image records: sizes and strides, the grey test, 8-to-24-bit
// expansion, monochrome inversion, resampling, rotation and cropping.
//
// Every operation takes its images as a header block and a span of pixel bytes, checks that the
// spans are large enough for what the headers describe, and refuses (false, 0 or nullopt) rather
// than reading or writing outside them.
#pragma once

#include "engine/image_record.h"

#include <cstdint>
#include <optional>
#include <span>

namespace tandemscan {

// Image types understood by the image algorithm library, as handed to the rotations.
enum class RasterType : int { monochrome = 1, palette16 = 3, gray = 4, palette256 = 5, trueColor = 6 };

class PixelTools {
  public:
    // Bytes per stored row: padded to 4 bytes; 0 for a depth without a layout or a width below 1.
    static std::uint32_t rowStride(std::int32_t width, std::uint16_t bitCount);
    // Pixel block size for depths 1, 4, 8, 16 and 24 (24 only with one plane); 0 otherwise,
    // for a height below 1, or when the size does not fit 32 bits.
    static std::uint32_t imageDataSize(const ImageHeader& header);
    // The same for another size with the header's depth, including 32 and 48 bits; |height| is
    // used. 0 without a header.
    static std::uint32_t imageDataSizeFor(const ImageHeader* header, std::int32_t width, std::int32_t height);

    enum class DepthCheck { required, ignored };
    // True when every used palette entry (clrUsed, or 256 when 0) has blue = green = red. With
    // DepthCheck::required the image must also be 8-bit.
    static bool isGrayPalette(const HeaderBlock& block, DepthCheck depth = DepthCheck::required);
    // The image type of the algorithm library for this image (any depth other than 1, 4 and 8 is
    // true colour).
    static RasterType rasterType(const HeaderBlock& block);

    // An 8-bit image as a 24-bit one on the heap (apart layout); nullopt for other depths, a
    // pixel block too small for the header, or no memory. The source is not touched.
    static std::optional<ImageRecord> expandToTrueColor(const HeaderBlock& header,
                                                        std::span<const std::uint8_t> pixels);
    // The same into memory the caller provides: `destPixels` must hold rowStride(width, 24) x
    // height bytes. `destHeader` must not be `header`.
    static bool expandToTrueColor(const HeaderBlock& header, std::span<const std::uint8_t> pixels,
                                  HeaderBlock& destHeader, std::span<std::uint8_t> destPixels);
    // Replaces an 8-bit record by its 24-bit expansion; false (record unchanged) otherwise.
    static bool expandToTrueColor(ImageRecord& record);
    // Inverts every pixel bit of a 1-bit image in place; the bits after each row's last pixel and
    // the row padding come out 0. Other depths: nothing happens (false).
    static bool invertMonochrome(const ImageHeader& header, std::span<std::uint8_t> pixels);

    // Shrinks or enlarges with smooth-step weights, rows first, then columns. `destPixels` must
    // hold imageDataSizeFor(src, newWidth, newHeight) bytes. `destHeader` may be `srcHeader`.
    static bool resampleImage(const HeaderBlock& srcHeader, std::span<const std::uint8_t> srcPixels,
                              std::int32_t newWidth, std::int32_t newHeight, HeaderBlock& destHeader,
                              std::span<std::uint8_t> destPixels);

    // Turns an image by any angle in degrees, clockwise for positive values as the picture is
    // seen; multiples of 90 go through rotateQuarter, other angles through a bilinear mapping
    // into a frame of rotatedSize bytes with white corners.
    static bool rotateImage(HeaderBlock& destHeader, std::span<std::uint8_t> destPixels, double degrees,
                            const HeaderBlock& srcHeader, std::span<const std::uint8_t> srcPixels,
                            RasterType srcType);
    // Quarter turns of 1, 8 and 24-bit images; other depths get the header only. Degrees are taken
    // modulo 360 and must then be a multiple of 90, otherwise nothing happens (false).
    static bool rotateQuarter(HeaderBlock& destHeader, std::span<std::uint8_t> destPixels, int degrees,
                              const HeaderBlock& srcHeader, std::span<const std::uint8_t> srcPixels,
                              RasterType srcType);
    struct Size {
        std::int32_t width;
        std::int32_t height;
    };
    // The frame a general rotation produces (3 pixels of margin included).
    static Size rotatedDimensions(std::int32_t width, std::int32_t height, double degrees);
    // The pixel block size to reserve before rotateImage: depths 1, 8 and 24 (one plane), else 0.
    static std::uint32_t rotatedSize(const ImageHeader& header, double degrees);

    // Cuts the rectangle (top-down picture coordinates, right and bottom exclusive, clamped to the
    // image). Without `destHeader` returns the cropped pixel block size; with it, crops and returns
    // 1, or 0 for an unsupported depth or a destination that is too small.
    static std::uint32_t cropImage(const HeaderBlock& srcHeader, std::span<const std::uint8_t> srcPixels,
                                   std::int32_t left, std::int32_t top, std::int32_t right,
                                   std::int32_t bottom, HeaderBlock* destHeader,
                                   std::span<std::uint8_t> destPixels);

    // The palette index nearest to white among the used entries (lowest index on a tie).
    static std::uint8_t nearestWhiteIndex(const HeaderBlock& block);
    // Number of palette entries in use: clrUsed, or 2^bitCount when it is 0 below 16 bits; at
    // most 256.
    static std::uint32_t usedPaletteEntries(const ImageHeader& header);
};

} // namespace tandemscan
