// The program's command line: Tandemscan [--left FILE] [--right FILE] [FILE [FILE]]
// plus --help and --version. Plain file arguments (as a file manager passes them) fill the
// left side first, then the right.
#pragma once

#include <string>
#include <vector>

namespace tandemscan {

struct CommandLine {
    std::string left;
    std::string right;
    std::string language;   // a translation folder name below translations/, e.g. "de"
    std::string screenshot; // write a picture of the window there and end
    bool help = false;
    bool version = false;
    std::string error; // why the arguments were refused; "" when they were not
};

// args are the arguments without the program name.
CommandLine parseCommandLine(const std::vector<std::string>& args);
std::string usageText(const std::string& programName);

} // namespace tandemscan
