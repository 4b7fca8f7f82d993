#include "records.h"

#include "board.h"
#include "byte_order.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace tilex {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool validSize(int rows, int cols) {
    return rows >= Board::minSide && rows <= Board::maxSide && cols >= Board::minSide &&
           cols <= Board::maxSide;
}

bool rightSize(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return !error && size == recordsFileBytes;
}

// The 28 bytes after place, rows and cols.
void putEntryBody(std::vector<uint8_t>& out, size_t at, const RecordEntry& e) {
    const std::string name = fitName(e.name);
    for (size_t i = 0; i < recordNameBytes; ++i)
        out[at + i] = i < name.size() ? static_cast<uint8_t>(name[i]) : 0;
    putLe32(out, at + 14, e.time);
    putLe16(out, at + 18, e.width);
    putLe16(out, at + 20, e.height);
    putLe16(out, at + 22, e.year);
    putLe16(out, at + 24, e.month);
    putLe16(out, at + 26, e.day);
}

void putBlock(std::vector<uint8_t>& out, size_t at, int rows, int cols, const RecordTable& table) {
    for (size_t i = 0; i < table.size(); ++i) {
        const size_t entry = at + i * recordEntryBytes;
        putLe16(out, entry, static_cast<uint16_t>(i + 1));
        putLe16(out, entry + 2, static_cast<uint16_t>(rows));
        putLe16(out, entry + 4, static_cast<uint16_t>(cols));
        putEntryBody(out, entry + 6, table[i]);
    }
}

} // namespace

size_t recordBlockOffset(int rows, int cols) {
    return static_cast<size_t>(rows * 8 + cols - 27) * recordBlockBytes;
}

std::string fitName(const std::string& name) {
    if (name.size() <= recordNameBytes) return name;
    size_t cut = recordNameBytes;
    // Step back over continuation bytes so no character is split.
    while (cut > 0 && (static_cast<uint8_t>(name[cut]) & 0xC0) == 0x80)
        --cut;
    return name.substr(0, cut);
}

std::optional<RecordTable> readRecordTable(const std::string& path, int rows, int cols) {
    if (!validSize(rows, cols) || !rightSize(path)) return std::nullopt;
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) return std::nullopt;
    std::vector<uint8_t> block(recordBlockBytes);
    if (std::fseek(file.get(), static_cast<long>(recordBlockOffset(rows, cols)), SEEK_SET) != 0 ||
        std::fread(block.data(), 1, block.size(), file.get()) != block.size())
        return std::nullopt;
    RecordTable table;
    for (size_t i = 0; i < table.size(); ++i) {
        const size_t at = i * recordEntryBytes + 6;
        const char* name = reinterpret_cast<const char*>(block.data() + at);
        size_t length = 0;
        while (length < recordNameBytes && name[length] != 0)
            ++length;
        RecordEntry& e = table[i];
        e.name.assign(name, length);
        e.time = getLe32(block, at + 14);
        e.width = getLe16(block, at + 18);
        e.height = getLe16(block, at + 20);
        e.year = getLe16(block, at + 22);
        e.month = getLe16(block, at + 24);
        e.day = getLe16(block, at + 26);
    }
    return table;
}

bool recordsWritable(const std::string& path) {
    if (!rightSize(path)) return false;
    File file(std::fopen(path.c_str(), "r+b"));
    return file != nullptr;
}

RecordResult recordResult(const std::string& path, int rows, int cols, uint32_t time) {
    const std::optional<RecordTable> table = readRecordTable(path, rows, cols);
    if (!table) {
        std::error_code error;
        const bool missing = !std::filesystem::exists(path, error) && !error;
        return {missing ? RecordOutcome::FileMissing : RecordOutcome::FileDamaged, 5};
    }
    const int place = placeFor(*table, time);
    if (place >= static_cast<int>(table->size())) return {RecordOutcome::NotPlaced, place};
    if (!recordsWritable(path)) return {RecordOutcome::FileReadOnly, 5};
    return {RecordOutcome::Placed, place};
}

int placeFor(const RecordTable& table, uint32_t time) {
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].time > time) return static_cast<int>(i);
    return static_cast<int>(table.size());
}

void insertRecord(RecordTable& table, int place, RecordEntry entry) {
    if (place < 0 || place >= static_cast<int>(table.size())) return;
    for (int i = static_cast<int>(table.size()) - 1; i > place; --i)
        table[static_cast<size_t>(i)] = table[static_cast<size_t>(i - 1)];
    entry.name = fitName(entry.name);
    table[static_cast<size_t>(place)] = std::move(entry);
}

bool writeRecordEntries(const std::string& path, int rows, int cols, const RecordTable& table, int place) {
    if (!validSize(rows, cols) || place < 0 || place >= static_cast<int>(table.size()) || !rightSize(path))
        return false;
    File file(std::fopen(path.c_str(), "r+b"));
    if (!file) return false;
    std::vector<uint8_t> body(recordEntryBytes - 6);
    for (size_t i = static_cast<size_t>(place); i < table.size(); ++i) {
        const long at = static_cast<long>(recordBlockOffset(rows, cols) + i * recordEntryBytes + 6);
        putEntryBody(body, 0, table[i]);
        if (std::fseek(file.get(), at, SEEK_SET) != 0 ||
            std::fwrite(body.data(), 1, body.size(), file.get()) != body.size())
            return false;
    }
    return std::fflush(file.get()) == 0;
}

RecordTable clearedTable() {
    RecordTable table;
    for (size_t i = 0; i < table.size(); ++i)
        table[i] =
            RecordEntry{defaultPlayerName, static_cast<uint32_t>(10400 + 100 * i), 600, 600, 2002, 9, 9};
    return table;
}

bool clearRecordBlock(const std::string& path, int rows, int cols) {
    if (!validSize(rows, cols) || !rightSize(path)) return false;
    File file(std::fopen(path.c_str(), "r+b"));
    if (!file) return false;
    std::vector<uint8_t> block(recordBlockBytes);
    putBlock(block, 0, rows, cols, clearedTable());
    return std::fseek(file.get(), static_cast<long>(recordBlockOffset(rows, cols)), SEEK_SET) == 0 &&
           std::fwrite(block.data(), 1, block.size(), file.get()) == block.size() &&
           std::fflush(file.get()) == 0;
}

std::vector<uint8_t> clearedRecordsFile() {
    std::vector<uint8_t> file(recordsFileBytes, 0);
    const RecordTable table = clearedTable();
    for (int rows = Board::minSide; rows <= Board::maxSide; ++rows)
        for (int cols = Board::minSide; cols <= Board::maxSide; ++cols)
            putBlock(file, recordBlockOffset(rows, cols), rows, cols, table);
    return file;
}

} // namespace tilex
