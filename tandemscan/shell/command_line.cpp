#include "command_line.h"

namespace tandemscan {

namespace {

struct Option {
    const char* name;
    std::string CommandLine::*target;
};

constexpr Option valueOptions[] = {
    {"--left", &CommandLine::left},
    {"--right", &CommandLine::right},
    {"--language", &CommandLine::language},
    {"--screenshot", &CommandLine::screenshot},
};

} // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size() && line.error.empty(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            line.help = true;
            continue;
        }
        if (arg == "--version" || arg == "-v") {
            line.version = true;
            continue;
        }
        bool known = false;
        for (const auto& option : valueOptions) {
            const std::string name = option.name;
            std::string value;
            if (arg == name) {
                if (i + 1 >= args.size()) {
                    line.error = name + " needs a value";
                    break;
                }
                value = args[++i];
            } else if (arg.rfind(name + "=", 0) == 0) {
                value = arg.substr(name.size() + 1);
            } else {
                continue;
            }
            known = true;
            if (value.empty()) {
                line.error = name + " needs a value";
            } else if (!(line.*option.target).empty()) {
                line.error = name + " is given twice";
            } else {
                line.*option.target = value;
            }
            break;
        }
        if (!known && line.error.empty()) line.error = "unknown option " + arg;
    }
    for (const auto& file : files) {
        if (!line.error.empty()) break;
        if (line.left.empty()) {
            line.left = file;
        } else if (line.right.empty()) {
            line.right = file;
        } else {
            line.error = "too many files: " + file;
        }
    }
    return line;
}

std::string usageText(const std::string& programName) {
    return "Usage: " + programName +
           " [--left FILE] [--right FILE] [FILE [FILE]]\n"
           "Joins a sheet scanned in two passes.\n\n"
           "  --left FILE       load FILE as the left part at start\n"
           "  --right FILE      load FILE as the right part at start\n"
           "  FILE              a left part, then a right part (BMP or JPEG)\n"
           "  --language CODE   show the texts of translations/CODE/ZidureTS.msg\n"
           "  --screenshot PNG  write a picture of the window to PNG and end\n"
           "  -h, --help        show this summary and end\n"
           "  -v, --version     show the version and end\n";
}

} // namespace tandemscan
