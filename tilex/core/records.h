// The best-times file: 64 blocks of 170 bytes, one per board size from 3 x 3 to 10 x 10, each
// five 34-byte entries (place, rows, cols, a 14-byte name, seconds, picture size, date), best first.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tilex {

struct RecordEntry {
    std::string name;
    uint32_t time = 0;
    uint16_t width = 0;
    uint16_t height = 0;
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t day = 0;
    bool operator==(const RecordEntry&) const = default;
};

using RecordTable = std::array<RecordEntry, 5>;

constexpr size_t recordEntryBytes = 34;
constexpr size_t recordBlockBytes = 5 * recordEntryBytes;
constexpr size_t recordsFileBytes = 64 * recordBlockBytes;
constexpr size_t recordNameBytes = 14;
// Offered in the name dialog and written by Clear.
constexpr const char* defaultPlayerName = "Puzzler";

size_t recordBlockOffset(int rows, int cols);

// Nullopt when the file cannot be opened or does not have the size of a records file.
std::optional<RecordTable> readRecordTable(const std::string& path, int rows, int cols);
// Whether the file is there, of the right size, and can be opened for writing.
bool recordsWritable(const std::string& path);

// What became of a finished game's time, for the finish and the messages after it.
enum class RecordOutcome {
    Placed,       // among the best five
    NotPlaced,    // slower than the fifth
    FileMissing,  // no records file: nothing can be kept
    FileDamaged,  // a file of the wrong size or that cannot be read
    FileReadOnly, // the table can be read but not written
};
struct RecordResult {
    RecordOutcome outcome = RecordOutcome::FileMissing;
    int place = 5; // 0..4 when placed
};
RecordResult recordResult(const std::string& path, int rows, int cols, uint32_t time);

// The first place whose time is slower than `time` (an equal time stays ahead); 5 when none.
int placeFor(const RecordTable& table, uint32_t time);
// Moves the entries from `place` down by one (the fifth falls out) and puts `entry` there.
void insertRecord(RecordTable& table, int place, RecordEntry entry);
// Writes entries place..5 back into the board's block; place, rows and cols bytes stay as they are.
bool writeRecordEntries(const std::string& path, int rows, int cols, const RecordTable& table, int place);

// The five entries that Clear puts into a block.
RecordTable clearedTable();
// Writes the cleared entries (with place, rows and cols) into the board's block.
bool clearRecordBlock(const std::string& path, int rows, int cols);
// A whole records file with every block cleared: what the program ships.
std::vector<uint8_t> clearedRecordsFile();

// The name as stored: at most 14 bytes, cut only between whole UTF-8 characters.
std::string fitName(const std::string& name);

} // namespace tilex
