// Writes small pictures of every depth in every format as the fuzz targets' starting corpus.
#include "codecs.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    using namespace imagefile;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    const char* extensions[] = {"bmp", "jpg", "png", "tif", "pcx", "tga"};
    const int depths[] = {1, 4, 8, 16, 24};
    for (const char* ext : extensions) {
        std::filesystem::create_directories(root / ext);
        for (int bits : depths) {
            for (int width : {3, 17}) {
                HeaderBlock block{};
                setImageGeometry(block, width, 5, bits);
                block.header.xPelsPerMeter = block.header.yPelsPerMeter = 11811;
                if (bits <= 8) {
                    if (width == 3) setGreyPalette(block, bits);
                    for (unsigned i = 0; width != 3 && i < (1u << bits); ++i)
                        block.palette[i] = {static_cast<uint8_t>(i * 7), static_cast<uint8_t>(255 - i),
                                            static_cast<uint8_t>(i * 3), 0};
                    block.header.clrUsed = 1u << bits;
                }
                std::string pixels(pixelBlockSize(block.header), '\0');
                for (size_t i = 0; i < pixels.size(); ++i)
                    pixels[i] = static_cast<char>(i * 37 % 251);
                const std::string name =
                    (root / ext / (std::to_string(bits) + "-" + std::to_string(width) + "." + ext)).string();
                try {
                    Progress progress(nullptr, &block);
                    AtomicOutputFile out(name);
                    const auto* data = reinterpret_cast<const uint8_t*>(pixels.data());
                    writeFormat(formatFromExtension(name), block, PixelRows(data, rowStride(width, bits)),
                                out, progress);
                    out.commit();
                } catch (const ImageError& e) {
                    std::fprintf(stderr, "%s: %s\n", name.c_str(), e.what());
                    return 1;
                }
            }
        }
    }
    return 0;
}
