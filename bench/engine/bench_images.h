// Synthetic scanned parts for the benchmarks, written as JPEG files.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace tandemscan::bench {

// Writes a photo-like part of `width` x `height` pixels at `dpi` as a JPEG of quality 90.
// `seed` varies the picture so that left and right parts differ.
bool writeJpegPart(const std::filesystem::path& file, int width, int height, int dpi, int seed);

// Decodes a JPEG with libjpeg-turbo alone into `pixels` (rows bottom-up, blue-green-red, stride
// padded to 4 bytes), the same layout the image file component produces.
bool decodeJpegBare(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& pixels, int& width,
                    int& height);

} // namespace tandemscan::bench
