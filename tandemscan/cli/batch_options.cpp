#include "cli/batch_options.h"

#include "cli/merge_tool.h"

#include <algorithm>
#include <charconv>
#include <sched.h>

namespace tandemscan {

bool isBatchCommand(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") return false;
        if (arg == "--batch" || arg.starts_with("--batch=")) return true;
    }
    return false;
}

int availableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    return 1;
}

std::optional<BatchOptions> parseBatchArguments(const std::vector<std::string>& args, std::string& error) {
    BatchOptions options;
    std::string align = "content";
    bool seamGiven = false, paperGiven = false, patternGiven = false;
    std::vector<std::string> join;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (arg.starts_with("--") && arg.find('=') != std::string::npos) {
            inlineValue = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < args.size()) return args[++i];
            error = arg + " needs a value";
            return std::nullopt;
        };
        auto take = [&](std::string& into) {
            const auto v = value();
            if (v) into = *v;
            return v.has_value();
        };
        std::string v;
        if (arg == "--batch") {
            if (!take(v)) return std::nullopt;
            options.inputDir = v;
        } else if (arg == "-o" || arg == "--output") {
            if (!take(v)) return std::nullopt;
            options.outputDir = v;
        } else if (arg == "--align") {
            if (!take(v)) return std::nullopt;
            if (v != "content" && v != "auto") {
                error = "--align takes 'content' or 'auto', not '" + v + "'";
                return std::nullopt;
            }
            align = v;
        } else if (arg == "--auto") {
            align = "auto";
        } else if (arg == "--seam" || arg == "--dpi" || arg == "--paper-width") {
            // Checked by the join of the first pair's arguments below.
            if (!take(v)) return std::nullopt;
            join.insert(join.end(), {arg, v});
            seamGiven = seamGiven || arg == "--seam";
            paperGiven = paperGiven || arg == "--paper-width";
        } else if (arg == "--jobs" || arg == "-j") {
            if (!take(v)) return std::nullopt;
            const auto r = std::from_chars(v.data(), v.data() + v.size(), options.jobs);
            if (r.ec != std::errc{} || r.ptr != v.data() + v.size() || options.jobs < 1 ||
                options.jobs > 1024) {
                error = "--jobs takes a number of pairs from 1 to 1024, not '" + v + "'";
                return std::nullopt;
            }
        } else if (arg == "--pairs") {
            if (!take(v)) return std::nullopt;
            if (v != "consecutive") {
                error = "--pairs takes 'consecutive', not '" + v + "'";
                return std::nullopt;
            }
            options.rule.consecutive = true;
            options.pairArguments.insert(options.pairArguments.end(), {"--pairs", v});
        } else if (arg == "--pattern") {
            if (!take(v)) return std::nullopt;
            if (!patternGiven) options.rule.patterns.clear();
            patternGiven = true;
            options.rule.patterns.push_back(parsePairPattern(v, error));
            if (!error.empty()) return std::nullopt;
            options.pairArguments.insert(options.pairArguments.end(), {"--pattern", v});
        } else if (arg == "--format") {
            if (!take(v)) return std::nullopt;
            std::string extension = v.starts_with('.') ? v : "." + v;
            std::transform(extension.begin(), extension.end(), extension.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            const auto& known = imageExtensions();
            if (std::find(known.begin(), known.end(), extension) == known.end()) {
                error = "--format takes one of bmp jpg jpeg tif tiff png pcx tga, not '" + v + "'";
                return std::nullopt;
            }
            options.format = extension;
            options.pairArguments.insert(options.pairArguments.end(), {"--format", v});
        } else if (arg == "--list") {
            options.list = true;
        } else if (arg == "--only") {
            if (!take(v)) return std::nullopt;
            options.only = v;
        } else if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--cut" || arg == "--print-placement") {
            error = arg + " goes with two parts, not with --batch";
            return std::nullopt;
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        } else {
            error = "--batch takes a folder, not parts: '" + arg + "'";
            return std::nullopt;
        }
    }
    if (options.inputDir.empty() || options.outputDir.empty()) {
        error = "give the folder of the parts with --batch and the folder of the joined images with -o";
        return std::nullopt;
    }
    if (options.rule.consecutive && patternGiven) {
        error = "--pattern goes with pairs by name, not with --pairs consecutive";
        return std::nullopt;
    }
    if (options.list && options.only) {
        error = "give --list or --only, not both";
        return std::nullopt;
    }
    if (seamGiven && align != "content") {
        error = "--seam goes with --align content";
        return std::nullopt;
    }
    if (paperGiven && align != "auto") {
        error = "--paper-width goes with --align auto";
        return std::nullopt;
    }
    options.joinArguments =
        align == "auto" ? std::vector<std::string>{"--auto"} : std::vector<std::string>{"--align", "content"};
    options.joinArguments.insert(options.joinArguments.end(), join.begin(), join.end());
    // The values are the single join's to check, with the same words.
    std::vector<std::string> single = options.joinArguments;
    single.insert(single.end(), {"-o", "joined.png", "--", "left.png", "right.png"});
    if (!parseMergeArguments(single, error)) return std::nullopt;
    options.pairArguments.insert(options.pairArguments.end(), options.joinArguments.begin(),
                                 options.joinArguments.end());
    return options;
}

} // namespace tandemscan
