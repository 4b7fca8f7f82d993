// A stand-in for the image file component in engine tests. Its "files" hold exactly a header block
// followed by the pixel block, so a test can write any record and have the engine read it back.
// A file whose name contains "broken" reports a size but fails the read.
#include "raduvor.h"

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
