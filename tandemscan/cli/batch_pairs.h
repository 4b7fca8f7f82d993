// Which files of a batch folder belong together: the pairing rules of tandemscan-merge --batch.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tandemscan {

// A pair of parts in the input folder; `name` names the output (NAME.EXT) and the pair in the
// report, in --list and in --only.
struct BatchPair {
    std::string name;
    std::string left; // file names inside the input folder; empty when missing
    std::string right;
    std::string problem; // set when the pair cannot be joined (a part missing or given twice)
};

// How the files pair up. Each pattern pair matches a file's name without its extension; the one
// '*' stands for NAME and the rest matches regardless of letter case.
struct PairingRule {
    bool consecutive = false; // files 1+2, 3+4, ... in name order instead
    std::vector<std::pair<std::string, std::string>> patterns{{"*-left", "*-right"}, {"*_L", "*_R"}};
};

struct PairList {
    std::vector<BatchPair> pairs;       // sorted by name
    std::vector<std::string> unmatched; // image files that fit no pattern
};

// The extensions (lower case, with the dot) of the formats tandemscan-merge reads and writes.
const std::vector<std::string>& imageExtensions();
// True when `fileName` ends in one of them, in any letter case.
bool hasImageExtension(std::string_view fileName);

// Parses --pattern LEFT,RIGHT: two patterns with one '*' each. Empty `error` on success.
std::pair<std::string, std::string> parsePairPattern(const std::string& text, std::string& error);

// Pairs the file names of one folder. Hidden files and files of other formats take no part.
PairList pairFiles(std::vector<std::string> fileNames, const PairingRule& rule);

// Name order with runs of digits compared by value, so that scan9 comes before scan10.
bool namesInOrder(std::string_view a, std::string_view b);

} // namespace tandemscan
