// The engine's binding of the image file component (ZedOROV.so), loaded with dlopen from the
// program folder. All ten entry points must resolve, or the component counts as missing; the
// optional row reader and writer are used where the component has them.
#pragma once

#include "engine/image_record.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

namespace tandemscan {

inline constexpr const char* kImageFileComponent = "ZedOROV.so";

class ImageFileLibrary;

// One instance of the component (NewRaduvOR ... FreeRaduvOR). Keeps its library loaded.
class ImageFileInstance {
  public:
    ImageFileInstance(ImageFileInstance&&) noexcept;
    ImageFileInstance& operator=(ImageFileInstance&&) noexcept;
    ~ImageFileInstance();

    // Pixel block bytes of the image in the file; 0 when it cannot be read.
    std::uint32_t imageSize(const std::filesystem::path& file);
    // Fills the header block and, when `pixels` is not null, the pixel block (which must hold
    // imageSize() bytes).
    bool readImage(const std::filesystem::path& file, HeaderBlock& header, std::uint8_t* pixels);
    // Header block only. For an 8-bit BMP the palette is then taken from the file itself, read
    // from where the file's own info header ends (3-byte entries after a 12-byte core header).
    bool readHeader(const std::filesystem::path& file, HeaderBlock& header);
    // Writes in the format the extension names.
    bool writeImage(const std::filesystem::path& file, const HeaderBlock& header, const std::uint8_t* pixels);
    // Whether the component can take the rows one at a time (an optional entry point).
    bool canWriteRows() const;
    // Row y counted from the bottom, valid until the next call; null ends the write as failed.
    using RowSource = const void* (*)(void* context, std::int32_t row);
    // Writes like writeImage, asking `rows` for each row once; false also when !canWriteRows().
    bool writeImageRows(const std::filesystem::path& file, const HeaderBlock& header, RowSource rows,
                        void* context);
    // Whether the component can report rows as it reads them (an optional entry point).
    bool canReadRows() const;
    // readImage with both blocks that calls rowsDone(context, n) as rows [0, n) from the top
    // become final; false also when !canReadRows().
    using RowsDone = void (*)(void* context, std::int32_t rows);
    bool readImageRows(const std::filesystem::path& file, HeaderBlock& header, std::uint8_t* pixels,
                       RowsDone rowsDone, void* context);
    // Reads with each row placed by rowAt(context, y), y from the top, so that the picture need
    // not be held whole (see ReadImageInto); notByRows when the component or the file's format
    // cannot, before anything was asked.
    enum class ReadInto { read, failed, notByRows };
    using RowTarget = void* (*)(void* context, std::int32_t row);
    ReadInto readImageInto(const std::filesystem::path& file, HeaderBlock& header, RowTarget rowAt,
                           RowsDone rowsDone, void* context);
    // Why the last call failed, in the component's words ("" when it gave none).
    std::string lastErrorMessage() const;

  private:
    friend class ImageFileLibrary;
    struct Handle; // the component's own instance, freed before the library can go
    ImageFileInstance(std::shared_ptr<const ImageFileLibrary> library, std::unique_ptr<Handle> handle);

    std::shared_ptr<const ImageFileLibrary> library_;
    std::unique_ptr<Handle> handle_;
};

// The loaded component. Shared by its instances; unloaded when the last one goes.
class ImageFileLibrary : public std::enable_shared_from_this<ImageFileLibrary> {
  public:
    // Loads `name` from `programDir`. On failure `why` says so in the program's words
    // ("ZedOROV.so not found!"), followed by the loader's reason on a second line.
    static std::shared_ptr<ImageFileLibrary> load(const std::filesystem::path& programDir, std::string* why,
                                                  const char* name = kImageFileComponent);
    ~ImageFileLibrary();
    ImageFileLibrary(const ImageFileLibrary&) = delete;
    // Removes the hidden temporaries of outputs being written, through the component loaded last;
    // nothing before a load. Safe in a signal handler.
    static void removePartialOutputs() noexcept;
    ImageFileLibrary& operator=(const ImageFileLibrary&) = delete;

    // A new instance, or nullopt when the component refuses one.
    std::optional<ImageFileInstance> newInstance() const;

    struct Component; // the loaded module and its entry points
    class Key {
        friend class ImageFileLibrary;
        Key() = default;
    };
    // Only load() can make the key.
    ImageFileLibrary(Key, std::unique_ptr<Component> component);

  private:
    std::unique_ptr<Component> component_;
};

// Replaces the palette in `header` by the one stored in the BMP file `file` (8-bit images only).
// False, with `header` untouched, when the file cannot give one.
bool rereadBmpPalette(const std::filesystem::path& file, HeaderBlock& header);

} // namespace tandemscan
