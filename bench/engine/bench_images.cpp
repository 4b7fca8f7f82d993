#include "bench_images.h"

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

namespace tandemscan::bench {

bool writeJpegPart(const std::filesystem::path& file, int width, int height, int dpi, int seed) {
    std::FILE* out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE);
    cinfo.density_unit = 1;
    cinfo.X_density = cinfo.Y_density = static_cast<UINT16>(dpi);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<std::uint8_t> row(std::size_t(width) * 3);
    std::uint32_t noise = 12345u + static_cast<std::uint32_t>(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const double u = double(x) / width, v = double(y) / height;
            const int grain = static_cast<int>(noise >> 28) - 8;
            const double wave = 0.5 + 0.5 * std::sin(23 * u + 7 * v + seed) * std::cos(17 * v - 5 * u);
            // Text-like strokes over a smooth picture, as on a scanned page.
            const bool stroke = ((x / 3 + y / 40) % 17 == 0) && (y % 40 < 28);
            for (int k = 0; k < 3; ++k) {
                int value = static_cast<int>(60 + 180 * wave * (0.6 + 0.4 * std::sin(3 * u + k))) + grain;
                if (stroke) value = 20;
                row[std::size_t(x) * 3 + k] = static_cast<std::uint8_t>(value < 0     ? 0
                                                                        : value > 255 ? 255
                                                                                      : value);
            }
        }
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&cinfo, &pointer, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(out) == 0;
}

bool decodeJpegBare(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& pixels, int& width,
                    int& height) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&cinfo);
    width = static_cast<int>(cinfo.output_width);
    height = static_cast<int>(cinfo.output_height);
    const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t{3};
    if (pixels.size() < stride * height) pixels.resize(stride * height);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[16];
        for (int k = 0; k < 16; ++k) {
            const std::size_t y = cinfo.output_scanline + k;
            rows[k] = pixels.data() +
                      stride * (std::size_t(height) - 1 - (y < std::size_t(height) ? y : height - 1));
        }
        jpeg_read_scanlines(&cinfo, rows, 16);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

} // namespace tandemscan::bench
