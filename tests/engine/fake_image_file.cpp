// A stand-in for the image file component in engine tests. Its "files" hold exactly a header block
// followed by the pixel block, so a test can write any record and have the engine read it back.
// A file whose name contains "broken" reports a size but fails the read.
#include "raduvor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <list>
#include <string>
#include <vector>

namespace {

struct Instance {
    std::string lastError;
};

constexpr long kHeaderBlock = 1064;
std::list<Instance> instances;

std::vector<unsigned char> slurp(const char* name) {
    std::vector<unsigned char> bytes;
    if (FILE* f = std::fopen(name, "rb")) {
        unsigned char buffer[65536];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(f);
    }
    return bytes;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) int NewRaduvOR(RaduvHandle* out) {
    *out = &instances.emplace_back();
    return 1;
}
__attribute__((visibility("default"))) void FreeRaduvOR(RaduvHandle h) {
    instances.remove_if([h](const Instance& i) { return &i == h; });
}

__attribute__((visibility("default"))) uint32_t GetImageSize(RaduvHandle h, const char* fileName) {
    const auto bytes = slurp(fileName);
    if (bytes.size() < kHeaderBlock) {
        static_cast<Instance*>(h)->lastError = "not a test image";
        return 0;
    }
    return static_cast<uint32_t>(bytes.size() - kHeaderBlock);
}

__attribute__((visibility("default"))) int ReadImage(RaduvHandle h, const char* fileName, void* header,
                                                     void* pixels) {
    const auto bytes = slurp(fileName);
    if (bytes.size() < kHeaderBlock || std::strstr(fileName, "broken") != nullptr) {
        static_cast<Instance*>(h)->lastError = "damaged test image";
        return 0;
    }
    std::memcpy(header, bytes.data(), kHeaderBlock);
    if (pixels != nullptr) std::memcpy(pixels, bytes.data() + kHeaderBlock, bytes.size() - kHeaderBlock);
    return 1;
}

// The same read, the rows copied from the top down a few at a time and reported as they come.
__attribute__((visibility("default"))) int ReadImageRows(RaduvHandle h, const char* fileName, void* header,
                                                         void* pixels, RaduvRowsDone rowsDone,
                                                         void* context) {
    const auto bytes = slurp(fileName);
    if (bytes.size() < kHeaderBlock || std::strstr(fileName, "broken") != nullptr) {
        static_cast<Instance*>(h)->lastError = "damaged test image";
        return 0;
    }
    int32_t height;
    std::memcpy(&height, bytes.data() + 8, 4);
    const std::size_t size = bytes.size() - kHeaderBlock;
    const std::size_t stride = height > 0 ? size / static_cast<std::size_t>(height) : 0;
    auto* out = static_cast<unsigned char*>(pixels);
    for (int32_t top = 0; top < height; ++top) {
        const std::size_t at = static_cast<std::size_t>(height - 1 - top) * stride;
        std::memcpy(out + at, bytes.data() + kHeaderBlock + at, stride);
        if (top % 7 == 6) rowsDone(context, top + 1);
    }
    std::memcpy(header, bytes.data(), kHeaderBlock);
    rowsDone(context, height);
    return 1;
}

// The same rows to where the caller places them, from the top, a few ahead of those reported. A
// "whole" file is not read this way; a "broken" one fails halfway down.
__attribute__((visibility("default"))) int ReadImageInto(RaduvHandle h, const char* fileName, void* header,
                                                         RaduvRowTarget rowAt, RaduvRowsDone rowsDone,
                                                         void* context) {
    if (std::strstr(fileName, "whole") != nullptr) return -1;
    const auto bytes = slurp(fileName);
    if (bytes.size() < kHeaderBlock) {
        static_cast<Instance*>(h)->lastError = "damaged test image";
        return 0;
    }
    std::memcpy(header, bytes.data(), kHeaderBlock);
    int32_t height;
    std::memcpy(&height, bytes.data() + 8, 4);
    const std::size_t stride =
        height > 0 ? (bytes.size() - kHeaderBlock) / static_cast<std::size_t>(height) : 0;
    const int32_t failAt = std::strstr(fileName, "broken") != nullptr ? height / 2 : height;
    for (int32_t top = 0; top < height; ++top) {
        void* place = top < failAt ? rowAt(context, top) : nullptr;
        if (place == nullptr) {
            static_cast<Instance*>(h)->lastError = "damaged test image";
            return 0;
        }
        std::memcpy(place, bytes.data() + kHeaderBlock + static_cast<std::size_t>(height - 1 - top) * stride,
                    stride);
        if (top % 7 == 6) rowsDone(context, top + 1);
    }
    rowsDone(context, height);
    return 1;
}

__attribute__((visibility("default"))) int WriteImage(RaduvHandle h, const char* fileName, const void* header,
                                                      const void* pixels) {
    const auto* info = static_cast<const unsigned char*>(header);
    uint32_t sizeImage;
    std::memcpy(&sizeImage, info + 20, 4);
    FILE* f = std::fopen(fileName, "wb");
    if (f == nullptr) {
        static_cast<Instance*>(h)->lastError = std::string("cannot create the file: ") + std::strerror(errno);
        return 0;
    }
    const bool written = std::fwrite(header, 1, kHeaderBlock, f) == static_cast<std::size_t>(kHeaderBlock) &&
                         std::fwrite(pixels, 1, sizeImage, f) == sizeImage;
    // A full disk shows at the latest when the buffer is flushed.
    if (std::fclose(f) != 0 || !written) {
        static_cast<Instance*>(h)->lastError = std::string("cannot write the file: ") + std::strerror(errno);
        return 0;
    }
    return 1;
}

// The same file from rows asked for bottom-up, one at a time (a "top-" file's from the top down).
__attribute__((visibility("default"))) int
WriteImageRows(RaduvHandle h, const char* fileName, const void* header, RaduvRowSource rows, void* context) {
    const auto* info = static_cast<const unsigned char*>(header);
    uint32_t sizeImage;
    int32_t height;
    std::memcpy(&sizeImage, info + 20, 4);
    std::memcpy(&height, info + 8, 4);
    const std::size_t stride = height > 0 ? sizeImage / static_cast<uint32_t>(height) : 0;
    FILE* f = std::fopen(fileName, "wb");
    if (f == nullptr) {
        static_cast<Instance*>(h)->lastError = std::string("cannot create the file: ") + std::strerror(errno);
        return 0;
    }
    bool written = std::fwrite(header, 1, kHeaderBlock, f) == static_cast<std::size_t>(kHeaderBlock);
    std::vector<unsigned char> pixels(written ? stride * static_cast<std::size_t>(std::max(height, 0)) : 0);
    const bool fromTop = std::strstr(fileName, "top-") != nullptr;
    for (int32_t i = 0; written && i < height; ++i) {
        const int32_t y = fromTop ? height - 1 - i : i;
        const void* row = rows(context, y);
        written = row != nullptr;
        if (written) std::memcpy(pixels.data() + static_cast<std::size_t>(y) * stride, row, stride);
    }
    written = written && std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
    if (std::fclose(f) != 0 || !written) {
        static_cast<Instance*>(h)->lastError = "cannot write the rows";
        std::remove(fileName);
        return 0;
    }
    return 1;
}

__attribute__((visibility("default"))) int GetNextImage(RaduvHandle, void*, void*) {
    return 0;
}
__attribute__((visibility("default"))) uint32_t GetNextImageSize(RaduvHandle) {
    return 0;
}
__attribute__((visibility("default"))) int CanGetNextImage(RaduvHandle) {
    return 0;
}
__attribute__((visibility("default"))) void SetProgressCallBackFn(RaduvHandle, void (*)(int, int)) {}
__attribute__((visibility("default"))) const char* GetLastErrorMessage(RaduvHandle h) {
    return static_cast<Instance*>(h)->lastError.c_str();
}
}
