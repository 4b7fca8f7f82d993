// The component's C boundary. Each instance remembers why its last call failed and, after a TIFF
// read, which page comes next. No exception leaves this file.
#include "raduvor.h"

#include "codecs.h"

#include <cstring>
#include <new>
#include <string>

#define RADUV_EXPORT extern "C" __attribute__((visibility("default")))

namespace imagefile {
namespace {

struct Instance {
    std::string lastError;
    Progress::Callback progress = nullptr;
    // The TIFF file read last and the page GetNextImage reads.
    std::string pagedFile;
    int nextPage = 0;
    int pageCount = 0;
};

// Reads one image (page `page` of a TIFF) into `block` and, when given, `pixels`; `rowsDone`
// hears of the rows final from the top as the reader gets them.
void readFile(Instance& self, const std::string& path, int page, HeaderBlock& block, uint8_t* pixels,
              Progress::RowsDone rowsDone = nullptr, void* rowsContext = nullptr) {
    const InputFile file(path);
    if (file.size() == 0) fail("The file \"" + path + "\" is empty.");
    Progress progress(self.progress, &block);
    progress.watchRows(rowsDone, rowsContext);
    const FileFormat format = detectFormat(file);
    if (format != FileFormat::Tiff) self.pageCount = 0;
    switch (format) {
    case FileFormat::Bmp:
        return readBmp(file, block, pixels, progress);
    case FileFormat::Jpeg:
        return readJpeg(file, block, pixels, progress);
    case FileFormat::Png:
        return readPng(file, block, pixels, progress);
    case FileFormat::Tiff: {
        int pages = 0;
        readTiff(file, page, block, pixels, progress, &pages);
        self.pagedFile = path;
        self.pageCount = pages;
        self.nextPage = page + 1;
        return;
    }
    case FileFormat::Pcx:
        return readPcx(file, block, pixels, progress);
    case FileFormat::Tga:
        return readTga(file, block, pixels, progress);
    case FileFormat::Unknown:
        break;
    }
    fail("\"" + path + "\" is not an image file that can be read (BMP, JPEG, PNG, TIFF, PCX or TGA).");
}

template <typename Body>
auto guarded(RaduvHandle handle, Body&& body) -> decltype(body(std::declval<Instance&>())) {
    using Result = decltype(body(std::declval<Instance&>()));
    if (!handle) return Result{};
    auto& self = *static_cast<Instance*>(handle);
    self.lastError.clear();
    try {
        return body(self);
    } catch (const ImageError& e) {
        self.lastError = e.what();
    } catch (const std::bad_alloc&) {
        self.lastError = "There is not enough memory for this image.";
    } catch (const std::exception& e) {
        self.lastError = std::string("Unexpected failure: ") + e.what();
    } catch (...) {
        self.lastError = "Unexpected failure.";
    }
    return Result{};
}

std::string requireName(const char* fileName) {
    if (!fileName || !*fileName) fail("No file name was given.");
    return fileName;
}

void writeFile(Instance& self, const std::string& path, const HeaderBlock& block, const PixelRows& rows) {
    checkWritable(block);
    const FileFormat format = formatFromExtension(path);
    if (format == FileFormat::Unknown)
        fail("\"" + path +
             "\" has no known image file extension (.bmp, .jpg, .jpeg, .tif, .tiff, .png, .pcx or .tga).");
    Progress progress(self.progress, &block);
    AtomicOutputFile out(path);
    writeFormat(format, block, rows, out, progress);
    out.commit();
}

} // namespace
} // namespace imagefile

using imagefile::HeaderBlock;
using imagefile::Instance;

RADUV_EXPORT int NewRaduvOR(RaduvHandle* out) {
    if (!out) return 0;
    *out = new (std::nothrow) Instance();
    return *out ? 1 : 0;
}

RADUV_EXPORT void FreeRaduvOR(RaduvHandle h) {
    delete static_cast<Instance*>(h);
}

RADUV_EXPORT uint32_t GetImageSize(RaduvHandle h, const char* fileName) {
    return imagefile::guarded(h, [&](Instance& self) -> uint32_t {
        HeaderBlock block{};
        imagefile::readFile(self, imagefile::requireName(fileName), 0, block, nullptr);
        return static_cast<uint32_t>(imagefile::pixelBlockSize(block.header));
    });
}

RADUV_EXPORT int ReadImage(RaduvHandle h, const char* fileName, void* headerBlock, void* pixelBlock) {
    return imagefile::guarded(h, [&](Instance& self) -> int {
        if (!headerBlock) imagefile::fail("No header block was given.");
        HeaderBlock block{};
        imagefile::readFile(self, imagefile::requireName(fileName), 0, block,
                            static_cast<uint8_t*>(pixelBlock));
        std::memcpy(headerBlock, &block, sizeof block);
        return 1;
    });
}

RADUV_EXPORT int ReadImageRows(RaduvHandle h, const char* fileName, void* headerBlock, void* pixelBlock,
                               RaduvRowsDone rowsDone, void* context) {
    return imagefile::guarded(h, [&](Instance& self) -> int {
        if (!headerBlock || !pixelBlock || !rowsDone) imagefile::fail("No image blocks were given.");
        HeaderBlock block{};
        imagefile::readFile(self, imagefile::requireName(fileName), 0, block,
                            static_cast<uint8_t*>(pixelBlock), rowsDone, context);
        std::memcpy(headerBlock, &block, sizeof block);
        rowsDone(context, block.header.height);
        return 1;
    });
}

RADUV_EXPORT int ReadImageInto(RaduvHandle h, const char* fileName, void* headerBlock, RaduvRowTarget rowAt,
                               RaduvRowsDone rowsDone, void* context) {
    return imagefile::guarded(h, [&](Instance& self) -> int {
        if (!headerBlock || !rowAt || !rowsDone) imagefile::fail("No header block or row places were given.");
        const std::string path = imagefile::requireName(fileName);
        const imagefile::InputFile file(path);
        if (file.size() == 0) imagefile::fail("The file \"" + path + "\" is empty.");
        // Only JPEG decodes from the top; the others fill their blocks in other orders.
        if (imagefile::detectFormat(file) != imagefile::FileFormat::Jpeg) {
            self.lastError = "The file is not read row by row.";
            return -1;
        }
        self.pageCount = 0;
        HeaderBlock block{};
        imagefile::Progress progress(self.progress, &block);
        progress.watchRows(rowsDone, context);
        bool headerGiven = false;
        const imagefile::RowTarget target = [&](int32_t fromTop) {
            if (!headerGiven) {
                std::memcpy(headerBlock, &block, sizeof block);
                headerGiven = true;
            }
            return static_cast<uint8_t*>(rowAt(context, fromTop));
        };
        imagefile::readJpegInto(file, block, target, progress);
        std::memcpy(headerBlock, &block, sizeof block);
        rowsDone(context, block.header.height);
        return 1;
    });
}

RADUV_EXPORT int WriteImage(RaduvHandle h, const char* fileName, const void* headerBlock,
                            const void* pixelBlock) {
    return imagefile::guarded(h, [&](Instance& self) -> int {
        if (!headerBlock || !pixelBlock) imagefile::fail("No image was given to save.");
        HeaderBlock block;
        std::memcpy(&block, headerBlock, sizeof block);
        imagefile::writeFile(
            self, imagefile::requireName(fileName), block,
            imagefile::PixelRows(static_cast<const uint8_t*>(pixelBlock),
                                 imagefile::rowStride(block.header.width, block.header.bitCount)));
        return 1;
    });
}

RADUV_EXPORT int WriteImageRows(RaduvHandle h, const char* fileName, const void* headerBlock,
                                RaduvRowSource rows, void* context) {
    return imagefile::guarded(h, [&](Instance& self) -> int {
        if (!headerBlock || !rows) imagefile::fail("No image was given to save.");
        HeaderBlock block;
        std::memcpy(&block, headerBlock, sizeof block);
        imagefile::writeFile(self, imagefile::requireName(fileName), block,
                             imagefile::PixelRows(rows, context));
        return 1;
    });
}

RADUV_EXPORT int GetNextImage(RaduvHandle h, void* headerBlock, void* pixelBlock) {
    return imagefile::guarded(h, [&](Instance& self) -> int {
        if (!headerBlock) imagefile::fail("No header block was given.");
        if (self.nextPage >= self.pageCount) imagefile::fail("There is no further page.");
        HeaderBlock block{};
        const int page = self.nextPage;
        imagefile::readFile(self, self.pagedFile, page, block, static_cast<uint8_t*>(pixelBlock));
        if (!pixelBlock) self.nextPage = page; // a header-only look does not move on
        std::memcpy(headerBlock, &block, sizeof block);
        return 1;
    });
}

RADUV_EXPORT uint32_t GetNextImageSize(RaduvHandle h) {
    return imagefile::guarded(h, [&](Instance& self) -> uint32_t {
        if (self.nextPage >= self.pageCount) imagefile::fail("There is no further page.");
        HeaderBlock block{};
        const int page = self.nextPage;
        imagefile::readFile(self, self.pagedFile, page, block, nullptr);
        self.nextPage = page;
        return static_cast<uint32_t>(imagefile::pixelBlockSize(block.header));
    });
}

RADUV_EXPORT int CanGetNextImage(RaduvHandle h) {
    return imagefile::guarded(h,
                              [&](Instance& self) -> int { return self.nextPage < self.pageCount ? 1 : 0; });
}

RADUV_EXPORT void SetProgressCallBackFn(RaduvHandle h, void (*fn)(int done, int total)) {
    if (h) static_cast<Instance*>(h)->progress = fn;
}

RADUV_EXPORT const char* GetLastErrorMessage(RaduvHandle h) {
    return h ? static_cast<Instance*>(h)->lastError.c_str() : "No instance was given.";
}

RADUV_EXPORT void RemovePartialFiles(void) {
    imagefile::PartialNames::removeAll();
}
