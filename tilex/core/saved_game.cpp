#include "saved_game.h"

#include "board.h"
#include "byte_order.h"
#include "regular_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace tilex {

namespace {
constexpr size_t headBytes = 12; // rows, cols, blank
}

size_t savedGameSize(int rows, int cols) {
    return headBytes + savedPathBytes + 4 * static_cast<size_t>(rows) * static_cast<size_t>(cols) + 4;
}

std::optional<std::vector<uint8_t>> encodeSavedGame(const SavedGame& game) {
    if (game.picturePath.size() >= savedPathBytes) return std::nullopt;
    if (game.rows <= 0 || game.cols <= 0 ||
        game.order.size() != static_cast<size_t>(game.rows) * static_cast<size_t>(game.cols))
        return std::nullopt;
    std::vector<uint8_t> bytes(savedGameSize(game.rows, game.cols), 0);
    putLe32(bytes, 0, static_cast<uint32_t>(game.rows));
    putLe32(bytes, 4, static_cast<uint32_t>(game.cols));
    putLe32(bytes, 8, static_cast<uint32_t>(game.blank));
    std::memcpy(bytes.data() + headBytes, game.picturePath.data(), game.picturePath.size());
    size_t at = headBytes + savedPathBytes;
    for (int32_t piece : game.order) {
        putLe32(bytes, at, static_cast<uint32_t>(piece));
        at += 4;
    }
    putLe32(bytes, at, game.elapsed);
    return bytes;
}

SavedGameRead decodeSavedGame(const std::vector<uint8_t>& bytes) {
    SavedGameRead result;
    if (bytes.size() < headBytes + savedPathBytes) {
        result.problem = "The file is too short for a saved game.";
        return result;
    }
    SavedGame game;
    game.rows = static_cast<int32_t>(getLe32(bytes, 0));
    game.cols = static_cast<int32_t>(getLe32(bytes, 4));
    game.blank = static_cast<int32_t>(getLe32(bytes, 8));
    if (game.rows < Board::minSide || game.rows > Board::maxSide || game.cols < Board::minSide ||
        game.cols > Board::maxSide) {
        result.problem = "The board size in the file is not between 3 and 10.";
        return result;
    }
    if (bytes.size() != savedGameSize(game.rows, game.cols)) {
        result.problem = "The file length does not match its board size.";
        return result;
    }
    const char* path = reinterpret_cast<const char*>(bytes.data() + headBytes);
    const char* end = static_cast<const char*>(std::memchr(path, 0, savedPathBytes));
    if (end == nullptr || end == path) {
        result.problem = "The picture path in the file is missing or not terminated.";
        return result;
    }
    game.picturePath.assign(path, end);
    const int count = game.rows * game.cols;
    size_t at = headBytes + savedPathBytes;
    game.order.resize(static_cast<size_t>(count));
    std::vector<bool> seen(static_cast<size_t>(count), false);
    for (int32_t& piece : game.order) {
        piece = static_cast<int32_t>(getLe32(bytes, at));
        at += 4;
        if (piece < 0 || piece >= count || seen[static_cast<size_t>(piece)]) {
            result.problem = "The pieces in the file are not each present once.";
            return result;
        }
        seen[static_cast<size_t>(piece)] = true;
    }
    if (game.blank < 0 || game.blank >= count || game.order[static_cast<size_t>(game.blank)] != count - 1) {
        result.problem = "The empty slot in the file is not where the last piece is.";
        return result;
    }
    game.elapsed = getLe32(bytes, at);
    if (game.elapsed >= Board::overtimeSeconds) {
        result.problem = "The time in the file is already over the limit.";
        return result;
    }
    result.game = std::move(game);
    return result;
}

bool writeSavedGame(const std::string& path, const SavedGame& game, std::string* problem) {
    const auto bytes = encodeSavedGame(game);
    if (!bytes) {
        if (problem) *problem = "The picture path is longer than a saved game can hold.";
        return false;
    }
    if (!isWritableTarget(path)) {
        if (problem) *problem = "The file is not an ordinary file.";
        return false;
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes->data()), static_cast<std::streamsize>(bytes->size()));
    out.close();
    if (!out) {
        if (problem) *problem = "The file could not be written.";
        return false;
    }
    return true;
}

SavedGameRead readSavedGame(const std::string& path) {
    // A real saved game is at most 12 + 260 + 400 + 4 bytes; read a little more to see a longer file.
    const FileBytes file = readRegularFile(path, savedGameSize(Board::maxSide, Board::maxSide) + 1);
    switch (file.problem) {
    case FileReadProblem::None:
        return decodeSavedGame(file.bytes);
    case FileReadProblem::NotRegular:
        return {std::nullopt, "The file is not an ordinary file."};
    case FileReadProblem::Missing:
    case FileReadProblem::Unreadable:
        break;
    }
    return {std::nullopt, std::string(savedGameOpenProblem)};
}

} // namespace tilex
