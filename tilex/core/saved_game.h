// The saved-game file (".sav"): rows, cols, empty slot, a 260-byte picture path, the piece in
// each slot and the seconds played, all integers 32-bit little-endian.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilex {

struct SavedGame {
    int32_t rows = 0;
    int32_t cols = 0;
    int32_t blank = -1;
    std::string picturePath;
    std::vector<int32_t> order;
    uint32_t elapsed = 0;
    bool operator==(const SavedGame&) const = default;
};

// Why a file was refused, for the message box; empty when it was taken.
struct SavedGameRead {
    std::optional<SavedGame> game;
    std::string problem;
};

constexpr size_t savedPathBytes = 260;
// The problem of a file that could not be opened at all.
constexpr std::string_view savedGameOpenProblem = "open";

size_t savedGameSize(int rows, int cols);
// Refuses (nullopt) a path that does not fit the 260 bytes with its terminating NUL.
std::optional<std::vector<uint8_t>> encodeSavedGame(const SavedGame& game);
// Checks everything before anything is used: sizes, the file length, the path's NUL, the order
// being a permutation, the empty slot holding the last piece, and time left on the clock.
SavedGameRead decodeSavedGame(const std::vector<uint8_t>& bytes);

bool writeSavedGame(const std::string& path, const SavedGame& game, std::string* problem);
SavedGameRead readSavedGame(const std::string& path);

} // namespace tilex
