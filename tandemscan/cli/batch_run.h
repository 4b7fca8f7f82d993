// tandemscan-merge --batch: joins every pair of a folder, several at a time, each in a process
// of its own; --list and --only hand single pairs to other schedulers.
#pragma once

#include "cli/merge_tool.h"

#include <string>
#include <vector>

namespace tandemscan {

// A batch ended by a signal returns 128 plus its number (130 for Ctrl+C).
inline constexpr int exitInterruptedBase = 128;

// Runs a --batch command line; returns the exit status.
int runBatch(const std::vector<std::string>& args, const MergeEnvironment& env);

} // namespace tandemscan
