// tandemscan-merge: joins two parts of a two-pass scan at full resolution, for scripts and batches.
#pragma once

#include "engine/composer.h"
#include "engine/seam_join.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tandemscan {

// A refusal of --align content shares the status of an input error: nothing is written. A batch
// with pairs refused or failed ends with exitNotAllJoined.
enum MergeExit : int {
    exitSuccess = 0,
    exitUsage = 1,
    exitInput = 2,
    exitWrite = 3,
    exitUnalignable = 2,
    exitNotAllJoined = 4
};

struct MergeOptions {
    std::filesystem::path left;
    std::filesystem::path right;
    std::filesystem::path output;
    bool automatic = false;
    std::int32_t paperWidthTenths = 4200;
    std::optional<CutRecord> cut;
    bool contentAlign = false;   // --align content
    bool printPlacement = false; // the map as one JSON line on stdout
    SeamMode seam = SeamMode::feather;
    int dpi = 0; // above 0: the resolution both parts are taken to have
    bool quiet = false;
    bool help = false;
    bool version = false;
};

// Parses the command line (without the program name). nullopt with `error` set on a usage error.
std::optional<MergeOptions> parseMergeArguments(const std::vector<std::string>& args, std::string& error);

// `text` with control characters written as \n, \t or \xHH, so that a file name holding a
// newline or a terminal escape keeps a message on one line and the terminal as it was.
std::string printable(const std::string& text);

struct ContentPlacement;
// The --print-placement line (without its newline): the map, or the refusal with its reason.
std::string placementJson(const ContentPlacement* map, const std::string& reason);

// The --help text.
const char* mergeUsage();

// What a join found, for the batch report.
struct MergeOutcome {
    std::string placement; // the placement as a JSON object; empty when none was found
    bool refused = false;  // --align content found no placement it trusts
};

// Where the tool finds its parts and keeps its working files, and where it reports.
struct MergeEnvironment {
    std::filesystem::path programDir;    // holds the image file component
    std::filesystem::path workingDir;    // private, owned by the caller
    std::ostream* out = nullptr;         // --help
    std::ostream* err = nullptr;         // errors and the progress line
    bool showProgress = false;           // stderr is a terminal
    const char* componentName = nullptr; // the image file component; null for the usual one
    std::filesystem::path programFile;   // this program, which a batch runs for each pair
    MergeOutcome* outcome = nullptr;     // filled in when set
    std::function<void()> beforeWrite;   // called as the output starts being written
};

// Runs the tool; returns the exit status.
int runMerge(const std::vector<std::string>& args, const MergeEnvironment& env);

// Names of the working files the engine may leave in its working folder while it runs.
const std::vector<std::string>& mergeWorkingFileNames();

} // namespace tandemscan
