// The command line of tandemscan-merge --batch.
#pragma once

#include "cli/batch_pairs.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tandemscan {

struct BatchOptions {
    std::filesystem::path inputDir;
    std::filesystem::path outputDir;
    PairingRule rule;
    std::string format; // the output's extension (".png"); empty: the left part's own
    int jobs = 0;       // 0: one a core
    bool list = false;
    std::optional<std::string> only;
    bool quiet = false;
    // What each pair is joined with, as tandemscan-merge's own options (--align content ...).
    std::vector<std::string> joinArguments;
    // The options that shape the pairs and their outputs, for a job that joins one of them.
    std::vector<std::string> pairArguments;
};

// True when the command line asks for a batch.
bool isBatchCommand(const std::vector<std::string>& args);

// Parses a --batch command line. nullopt with `error` set on a usage error.
std::optional<BatchOptions> parseBatchArguments(const std::vector<std::string>& args, std::string& error);

// The number of cores this process may run on.
int availableCores();

} // namespace tandemscan
