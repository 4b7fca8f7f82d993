// Where the workspace keeps the full-resolution originals of its two parts. The application uses
// the engine's store blocks behind the image file component; tests use images held in memory.
#pragma once

#include "engine/image_record.h"

#include <optional>
#include <string>

namespace tandemscan {

class PartStore {
public:
    virtual ~PartStore() = default;
    // The header block of an image file without its pixels; nullopt when it cannot be read.
    virtual std::optional<HeaderBlock> readHeader(const std::string& path) = 0;
    // Reads the whole file into the side's store, replacing what it held. False when it fails;
    // the reason has then been told to the user.
    virtual bool loadOriginal(int side, const std::string& path) = 0;
    // The side's original, or null while the store holds none.
    virtual ImageRecord* original(int side) = 0;
    virtual void swapOriginals() = 0;
    // Releases the backing files; called when the workspace goes away.
    virtual void release() {}
};

} // namespace tandemscan
