// Files the player names (pictures, saved games, music) are read only when they are regular
// files: opening a FIFO waits for a writer and reading a device never ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tilex {

// Follows symbolic links, as opening the path would.
bool isRegularFile(const std::string& path);

// A path that names nothing yet, or a regular file: somewhere a file may be written without
// the write waiting for a reader or going to a device.
bool isWritableTarget(const std::string& path);

enum class FileReadProblem { None, Missing, NotRegular, Unreadable };

struct FileBytes {
    std::vector<uint8_t> bytes;
    FileReadProblem problem = FileReadProblem::None;
};

// At most maxBytes of the file. The open itself does not wait (O_NONBLOCK), so a FIFO is seen
// and refused before anything is read.
FileBytes readRegularFile(const std::string& path, size_t maxBytes);

} // namespace tilex
