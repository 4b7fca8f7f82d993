// Saved games and the best-times file.
#include "board.h"
#include "byte_order.h"
#include "records.h"
#include "regular_file.h"
#include "saved_game.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tilex;

namespace {

SavedGame sampleGame() {
    return SavedGame{3, 4, 5, "/home/player/pictures/boat.jpg", {0, 1, 2, 3, 4, 11, 6, 7, 8, 9, 10, 5}, 754};
}

std::filesystem::path scratch(const std::string& name) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tilex-files-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir / name;
}

void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(SavedGameFile, RoundTripsThroughTheExactLayout) {
    const SavedGame game = sampleGame();
    const auto bytes = encodeSavedGame(game);
    ASSERT_TRUE(bytes);
    ASSERT_EQ(bytes->size(), 12u + 260 + 48 + 4);
    EXPECT_EQ(getLe32(*bytes, 0), 3u);
    EXPECT_EQ(getLe32(*bytes, 4), 4u);
    EXPECT_EQ(getLe32(*bytes, 8), 5u);
    EXPECT_EQ((*bytes)[12], '/');
    EXPECT_EQ((*bytes)[12 + game.picturePath.size()], 0);
    EXPECT_EQ((*bytes)[12 + 259], 0);
    EXPECT_EQ(getLe32(*bytes, 272 + 5 * 4), 11u);
    EXPECT_EQ(getLe32(*bytes, 272 + 48), 754u);

    const auto path = scratch("round.sav");
    std::string problem;
    ASSERT_TRUE(writeSavedGame(path.string(), game, &problem)) << problem;
    const SavedGameRead read = readSavedGame(path.string());
    ASSERT_TRUE(read.game) << read.problem;
    EXPECT_EQ(*read.game, game);
}

TEST(SavedGameFile, PathMustFitWithItsTerminator) {
    SavedGame game = sampleGame();
    game.picturePath = std::string(259, 'p');
    ASSERT_TRUE(encodeSavedGame(game));
    EXPECT_EQ(decodeSavedGame(*encodeSavedGame(game)).game->picturePath, game.picturePath);
    game.picturePath = std::string(260, 'p');
    EXPECT_FALSE(encodeSavedGame(game));
    std::string problem;
    EXPECT_FALSE(writeSavedGame(scratch("long.sav").string(), game, &problem));
    EXPECT_FALSE(std::filesystem::exists(scratch("long.sav")));
    EXPECT_FALSE(problem.empty());
}

TEST(SavedGameFile, RefusesEveryKindOfBadFile) {
    const std::vector<uint8_t> good = *encodeSavedGame(sampleGame());
    // Byte by byte with checked access: the compiler cannot see that `good` is long enough.
    auto with = [&](size_t at, uint32_t value) {
        std::vector<uint8_t> bytes = good;
        for (size_t i = 0; i < 4; ++i)
            bytes.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
        return bytes;
    };
    auto sized = [&](size_t size) {
        std::vector<uint8_t> bytes = good;
        bytes.resize(size, 0);
        return bytes;
    };
    std::vector<uint8_t> unterminated = good;
    std::vector<uint8_t> noPath = good;
    for (size_t at = 12; at < 272; ++at) {
        unterminated.at(at) = 'x';
        noPath.at(at) = 0;
    }
    const size_t order = 272;
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"shorter than the head", sized(100)},
        {"rows 2", with(0, 2)},
        {"rows 11", with(0, 11)},
        {"cols 0", with(4, 0)},
        {"negative cols", with(4, 0xFFFFFFFDu)},
        {"one byte short", sized(good.size() - 1)},
        {"one byte long", sized(good.size() + 1)},
        {"size of another board", with(0, 4)},
        {"path without terminator", unterminated},
        {"no path", noPath},
        {"piece twice", with(order + 4, 0)},
        {"piece beyond the board", with(order, 12)},
        {"negative piece", with(order, 0xFFFFFFFFu)},
        {"blank before the board", with(8, 0xFFFFFFFFu)},
        {"blank beyond the board", with(8, 12)},
        {"blank on another piece", with(8, 4)},
        {"time at the limit", with(order + 48, 14400)},
    };
    for (const Case& c : cases) {
        const SavedGameRead read = decodeSavedGame(c.bytes);
        EXPECT_FALSE(read.game) << c.what;
        EXPECT_FALSE(read.problem.empty()) << c.what;
    }
    EXPECT_TRUE(decodeSavedGame(with(order + 48, 14399)).game);
    EXPECT_EQ(readSavedGame(scratch("missing.sav").string()).problem, "open");
}

TEST(SavedGameFile, OnlyRegularFilesAreReadOrWritten) {
    // A FIFO without a writer would block an ordinary open; a device never ends.
    const auto fifo = scratch("fifo.sav");
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto regular = scratch("regular.sav");
    writeBytes(regular, *encodeSavedGame(sampleGame()));
    const auto folder = scratch("folder.sav");
    std::filesystem::create_directories(folder);
    struct Case {
        std::string path;
        bool regular;
        bool writable;
        const char* problem;
    };
    const Case cases[] = {
        {regular.string(), true, true, ""},
        {fifo.string(), false, false, "The file is not an ordinary file."},
        {"/dev/zero", false, false, "The file is not an ordinary file."},
        {folder.string(), false, false, "The file is not an ordinary file."},
        {scratch("absent.sav").string(), false, true, "open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(isRegularFile(c.path), c.regular);
        EXPECT_EQ(isWritableTarget(c.path), c.writable);
        const SavedGameRead read = readSavedGame(c.path);
        EXPECT_EQ(read.problem, c.problem);
        EXPECT_EQ(read.game.has_value(), c.regular);
    }
    std::string problem;
    EXPECT_FALSE(writeSavedGame(fifo.string(), sampleGame(), &problem));
    EXPECT_EQ(problem, "The file is not an ordinary file.");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

TEST(SavedGameFile, GamesSavedBeforeLoadPlayAndSaveTheSameBytes) {
    // A 3 x 3 game as earlier versions wrote it, laid out by hand: rows, cols, blank, the path
    // padded to 260 bytes, the pieces slot by slot, the seconds.
    std::vector<uint8_t> before(12 + 260 + 36 + 4, 0);
    auto put = [&](size_t at, uint32_t value) {
        for (size_t i = 0; i < 4; ++i)
            before.at(at + i) = static_cast<uint8_t>(value >> (8 * i));
    };
    put(0, 3);
    put(4, 3);
    put(8, 6);
    const std::string path = "/home/player/Bilder/Hafen.jpg";
    std::copy(path.begin(), path.end(), before.begin() + 12);
    const uint32_t order[] = {0, 1, 2, 3, 4, 5, 8, 6, 7};
    for (size_t i = 0; i < 9; ++i)
        put(272 + 4 * i, order[i]);
    put(308, 3725);

    const SavedGameRead read = decodeSavedGame(before);
    ASSERT_TRUE(read.game) << read.problem;
    Board board;
    board.setPicture(PictureSize{640, 480});
    board.resume(read.game->rows, read.game->cols, read.game->blank, read.game->order, read.game->elapsed);
    // Moves and their undoing leave no trace in what is saved: the order is all a file keeps.
    board.slide(8);
    board.undo();
    board.slide(7);
    board.undo();
    EXPECT_EQ(board.moveCount(), 0);
    const SavedGame again{board.rows(),           board.cols(),      board.blank(),
                          read.game->picturePath, board.slotOrder(), board.elapsed()};
    EXPECT_EQ(encodeSavedGame(again), before);
    board.redo();
    const SavedGame moved{board.rows(), board.cols(),      board.blank(),
                          path,         board.slotOrder(), board.elapsed()};
    const auto after = encodeSavedGame(moved);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->size(), before.size());
    EXPECT_EQ(getLe32(*after, 8), 7u);
    EXPECT_EQ(getLe32(*after, 272 + 6 * 4), 6u);
    EXPECT_EQ(getLe32(*after, 272 + 7 * 4), 8u);
}

TEST(RecordsFile, BlocksSitAtTheirOffsets) {
    const struct {
        int rows, cols;
        size_t offset;
    } cases[] = {{3, 3, 0}, {3, 4, 170}, {3, 10, 1190}, {4, 3, 1360}, {10, 3, 9520}, {10, 10, 10710}};
    for (const auto& c : cases)
        EXPECT_EQ(recordBlockOffset(c.rows, c.cols), c.offset);
    EXPECT_EQ(recordsFileBytes, 10880u);
}

TEST(RecordsFile, ShippedFileHoldsClearedEntriesEverywhere) {
    const std::vector<uint8_t> file = clearedRecordsFile();
    ASSERT_EQ(file.size(), recordsFileBytes);
    const size_t block = 9520; // 10 x 3
    for (size_t i = 0; i < 5; ++i) {
        const size_t at = block + i * 34;
        EXPECT_EQ(getLe16(file, at), i + 1);
        EXPECT_EQ(getLe16(file, at + 2), 10);
        EXPECT_EQ(getLe16(file, at + 4), 3);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(&file[at + 6])), defaultPlayerName);
        EXPECT_EQ(getLe32(file, at + 20), 10400 + 100 * i);
        EXPECT_EQ(getLe16(file, at + 24), 600);
        EXPECT_EQ(getLe16(file, at + 26), 600);
        EXPECT_EQ(getLe16(file, at + 28), 2002);
        EXPECT_EQ(getLe16(file, at + 30), 9);
        EXPECT_EQ(getLe16(file, at + 32), 9);
    }
    const auto path = scratch("cleared.ini");
    writeBytes(path, file);
    const auto table = readRecordTable(path.string(), 3, 3);
    ASSERT_TRUE(table);
    EXPECT_EQ(*table, clearedTable());
    EXPECT_EQ((*table)[0].name, defaultPlayerName);
}

TEST(RecordsFile, PlacesNewTimesBehindEqualOnes) {
    const RecordTable table = clearedTable(); // 10400, 10500, 10600, 10700, 10800
    const std::pair<uint32_t, int> cases[] = {{1, 0},     {10399, 0}, {10400, 1}, {10599, 2},
                                              {10600, 3}, {10799, 4}, {10800, 5}, {20000, 5}};
    for (const auto& [time, place] : cases)
        EXPECT_EQ(placeFor(table, time), place) << time;
}

TEST(RecordsFile, WritesPlacedEntriesAndKeepsTheRest) {
    const auto path = scratch("place.ini");
    writeBytes(path, clearedRecordsFile());
    RecordTable table = *readRecordTable(path.string(), 5, 7);
    const RecordEntry entry{"Fourteen-bytes", 10600, 1024, 768, 2026, 12, 7};
    const int place = placeFor(table, entry.time);
    ASSERT_EQ(place, 3);
    insertRecord(table, place, entry);
    EXPECT_EQ(table[3], entry);
    EXPECT_EQ(table[4].time, 10700u);
    ASSERT_TRUE(writeRecordEntries(path.string(), 5, 7, table, place));

    const auto reread = readRecordTable(path.string(), 5, 7);
    ASSERT_TRUE(reread);
    EXPECT_EQ(*reread, table);
    EXPECT_EQ((*reread)[3].name, "Fourteen-bytes"); // 14 bytes, no terminator in the file
    // Other blocks and the place, rows and cols bytes are untouched.
    std::vector<uint8_t> expected = clearedRecordsFile();
    const std::vector<uint8_t> bytes = readBytes(path);
    const size_t changed = recordBlockOffset(5, 7) + 3 * 34;
    for (size_t at = 0; at < bytes.size(); ++at) {
        const bool inBody = at >= changed && at < changed + 2 * 34 && (at - changed) % 34 >= 6;
        if (!inBody) {
            ASSERT_EQ(bytes[at], expected[at]) << at;
        }
    }
    ASSERT_TRUE(clearRecordBlock(path.string(), 5, 7));
    EXPECT_EQ(readBytes(path), expected);
}

TEST(RecordsFile, WrongSizeCountsAsMissing) {
    const auto path = scratch("short.ini");
    std::vector<uint8_t> file = clearedRecordsFile();
    file.pop_back();
    writeBytes(path, file);
    EXPECT_FALSE(readRecordTable(path.string(), 3, 3));
    EXPECT_FALSE(recordsWritable(path.string()));
    EXPECT_FALSE(clearRecordBlock(path.string(), 3, 3));
    EXPECT_EQ(readBytes(path).size(), recordsFileBytes - 1);
    EXPECT_FALSE(readRecordTable(scratch("none.ini").string(), 3, 3));
    EXPECT_FALSE(readRecordTable(scratch("cleared.ini").string(), 2, 3));
}

TEST(RecordsFile, NamesAreCutToFourteenBytesOnCharacterBounds) {
    const std::pair<std::string, std::string> cases[] = {
        {"Ann", "Ann"},
        {"ABCDEFGHIJKLMN", "ABCDEFGHIJKLMN"},
        {"ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMN"},
        {"\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84",
         "\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84\xC3\x84"},
        {"abcdefghijklm\xC3\x84", "abcdefghijklm"},
    };
    for (const auto& [name, stored] : cases)
        EXPECT_EQ(fitName(name), stored);
}
