#include "cli/merge_tool.h"

#include "cli/batch_options.h"
#include "cli/batch_run.h"
#include "engine/content_placement.h"
#include "engine/image_engine.h"
#include "engine/join_while_loading.h"
#include "engine/merge_export.h"
#include "engine/part_check.h"
#include "engine/placement.h"
#include "engine/side_by_side.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <system_error>
#include <thread>

namespace tandemscan {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "tandemscan-merge";

bool parseInt(const std::string& text, std::int32_t& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc{} && result.ptr == end && begin != end;
}

std::optional<CutRecord> parseCut(const std::string& text) {
    std::vector<std::int32_t> values;
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        std::int32_t v;
        if (!parseInt(item, v)) return std::nullopt;
        values.push_back(v);
    }
    if (values.size() != 4 || text.back() == ',') return std::nullopt;
    return CutRecord{values[0], values[1], values[2], values[3]};
}

// One progress line on a terminal, rewritten in place.
class Progress {
  public:
    Progress(std::ostream* err, bool show) : err_(err), show_(show) {}
    ~Progress() { finish(); }
    void step(int number, const std::string& what) {
        if (!show_) return;
        *err_ << "\r\033[K" << kProgram << ": [" << number << "/4] " << what << "..." << std::flush;
        active_ = true;
    }
    // Ends the line so that a message or the prompt starts on a fresh one.
    void finish() {
        if (active_) *err_ << "\r\033[K" << std::flush;
        active_ = false;
    }

  private:
    std::ostream* err_;
    bool show_;
    bool active_ = false;
};

// The load checks' refusals, in the window's words; a missing resolution can be given here.
const char* refusalOf(const HeaderBlock& block, const PartReference* reference) {
    switch (checkPart(block, reference)) {
    case PartCheck::Accepted:
        return nullptr;
    case PartCheck::NotSupported:
        if (!partDepthSupported(block.header.bitCount)) return "Image type not supported!";
        return "Image type not supported! (the file states no resolution; give it with --dpi N)";
    case PartCheck::ResolutionDiffers:
        return "Resolution is different from the previous image!";
    case PartCheck::TypeDiffers:
        break;
    }
    return "Image type is different from the previous image!";
}

int dpiOf(std::int32_t xPelsPerMeter) {
    return static_cast<int>(xPelsPerMeter / kPelsPerMeterPerDpi + 0.5f);
}

} // namespace

const char* mergeUsage() {
    return "Usage: tandemscan-merge LEFT RIGHT -o OUT [--auto [--paper-width TENTHS_MM]]\n"
           "       tandemscan-merge LEFT RIGHT [-o OUT] --align content [--print-placement]\n"
           "                        [--seam cut|feather]\n"
           "                        [--cut LEFTKEEP,RIGHTSTART,TOPDELTA,BOTTOMDELTA] [--dpi N] [--quiet]\n"
           "       tandemscan-merge --batch IN_DIR -o OUT_DIR [--align content|auto] [--jobs N]\n"
           "                        [--pairs consecutive | --pattern LEFT,RIGHT] [--format EXT]\n"
           "                        [--list | --only NAME] [--seam ...] [--dpi N] [--quiet]\n"
           "\n"
           "Joins the left and the right part of a document scanned in two passes into one\n"
           "image at full resolution. The parts must agree in colour kind and resolution.\n"
           "\n"
           "  -o, --output OUT         the joined image; its extension names the format:\n"
           "                           .bmp .jpg .jpeg .tif .tiff .png .pcx .tga\n"
           "  --auto                   overlap the parts by as much as the original's width\n"
           "                           requires; each part must be between A4 and Letter wide\n"
           "  --paper-width TENTHS_MM  the original's width for --auto, in tenths of a\n"
           "                           millimetre, above 2300 and below 4220 (default 4200, A3)\n"
           "  --cut L,S,T,B            keep L columns of the left part, take the right part\n"
           "                           from its column S on, with its top edge T rows and its\n"
           "                           bottom edge B rows above the left part's\n"
           "  --dpi N                  take both parts to have N dots per inch, for parts that\n"
           "                           state none or a wrong one (a JPEG stating none is read\n"
           "                           as 72)\n"
           "  --align content          find the right part's placement from what both parts\n"
           "                           show: a half turn, a fine turn and a sub-pixel shift;\n"
           "                           the parts may have any width\n"
           "  --print-placement        print the placement found as one JSON line, or the\n"
           "                           reason it was refused; -o is then optional\n"
           "  --seam cut|feather       with --align content: a straight cut at the middle of\n"
           "                           the overlap, or a band of 4 mm with the brightness of\n"
           "                           the right part matched (default; 1-bit parts are cut)\n"
           "  -q, --quiet              no progress line\n"
           "  -h, --help               show this help\n"
           "  --version                show the version\n"
           "\n"
           "Give exactly one of --auto, --cut and --align content. 8-bit colour parts are\n"
           "joined in 24 bits.\n"
           "\n"
           "Batch: joins NAME-left.EXT with NAME-right.EXT (or NAME_L with NAME_R) of IN_DIR\n"
           "into OUT_DIR/NAME.EXT, by content unless --align auto, and appends a line a pair\n"
           "to OUT_DIR/tandemscan-report.jsonl. A pair whose output is newer than both parts\n"
           "is skipped, so the same command continues an interrupted batch.\n"
           "  --jobs N                 N pairs at a time (default: one a core)\n"
           "  --pairs consecutive      pair the files in name order: 1+2, 3+4, ...\n"
           "  --pattern LEFT,RIGHT     name patterns of the parts, '*' standing for NAME\n"
           "                           (default '*-left,*-right' and '*_L,*_R')\n"
           "  --format EXT             write the joined images as EXT (png, tif, ...)\n"
           "  --list                   print the names of the pairs, one a line\n"
           "  --only NAME              join that pair alone (for GNU parallel, job arrays)\n"
           "\n"
           "Exit status: 0 success, 1 usage error, 2 input error or placement refused\n"
           "(nothing is written), 3 write error; a batch: 4 when a pair was refused or\n"
           "failed, 128 + the signal's number when interrupted (130 for Ctrl+C).\n";
}

std::string printable(const std::string& text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            out += "\\x";
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

std::optional<MergeOptions> parseMergeArguments(const std::vector<std::string>& args, std::string& error) {
    MergeOptions options;
    std::vector<std::string> positional;
    bool paperWidthGiven = false;
    bool seamGiven = false;
    auto valueOf = [&](std::size_t& i, const std::string& name) -> std::optional<std::string> {
        if (i + 1 >= args.size()) {
            error = name + " needs a value";
            return std::nullopt;
        }
        return args[++i];
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--") { // what follows are parts, even a name that starts with '-'
            positional.insert(positional.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                              args.end());
            break;
        }
        std::string arg = args[i];
        std::optional<std::string> inlineValue;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            inlineValue = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
        }
        auto value = [&]() { return inlineValue ? inlineValue : valueOf(i, arg); };
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            return options;
        } else if (arg == "--version") {
            options.version = true;
            return options;
        } else if (arg == "-q" || arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--auto") {
            options.automatic = true;
        } else if (arg == "-o" || arg == "--output") {
            const auto v = value();
            if (!v) return std::nullopt;
            if (!options.output.empty()) {
                error = "the output is given twice";
                return std::nullopt;
            }
            options.output = *v;
        } else if (arg == "--paper-width") {
            const auto v = value();
            if (!v) return std::nullopt;
            if (!parseInt(*v, options.paperWidthTenths) || options.paperWidthTenths <= 2300 ||
                options.paperWidthTenths >= 4220) {
                error =
                    "--paper-width takes tenths of a millimetre above 2300 and below 4220, not '" + *v + "'";
                return std::nullopt;
            }
            paperWidthGiven = true;
        } else if (arg == "--dpi") {
            const auto v = value();
            if (!v) return std::nullopt;
            if (!parseInt(*v, options.dpi) || options.dpi < 1 || options.dpi > 65535) {
                error = "--dpi takes dots per inch from 1 to 65535, not '" + *v + "'";
                return std::nullopt;
            }
        } else if (arg == "--align") {
            const auto v = value();
            if (!v) return std::nullopt;
            if (*v != "content") {
                error = "--align takes 'content', not '" + *v + "'";
                return std::nullopt;
            }
            options.contentAlign = true;
        } else if (arg == "--print-placement") {
            options.printPlacement = true;
        } else if (arg == "--seam") {
            const auto v = value();
            if (!v) return std::nullopt;
            if (*v != "cut" && *v != "feather") {
                error = "--seam takes 'cut' or 'feather', not '" + *v + "'";
                return std::nullopt;
            }
            options.seam = *v == "cut" ? SeamMode::cut : SeamMode::feather;
            seamGiven = true;
        } else if (arg == "--cut") {
            const auto v = value();
            if (!v) return std::nullopt;
            options.cut = parseCut(*v);
            if (!options.cut) {
                error = "--cut takes four whole numbers separated by commas, not '" + *v + "'";
                return std::nullopt;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option '" + arg + "'";
            return std::nullopt;
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 2) {
        error =
            positional.size() < 2 ? "give the left and the right part" : "too many parts: give exactly two";
        return std::nullopt;
    }
    options.left = positional[0];
    options.right = positional[1];
    if (options.output.empty() && !options.printPlacement) {
        error = "give the output file with -o";
        return std::nullopt;
    }
    if (int(options.automatic) + int(options.cut.has_value()) + int(options.contentAlign) != 1) {
        error = "give exactly one of --auto, --cut and --align content";
        return std::nullopt;
    }
    if ((options.printPlacement || seamGiven) && !options.contentAlign) {
        error = std::string(options.printPlacement ? "--print-placement" : "--seam") +
                " goes with --align content";
        return std::nullopt;
    }
    if (paperWidthGiven && !options.automatic) {
        error = "--paper-width goes with --auto";
        return std::nullopt;
    }
    return options;
}

std::string placementJson(const ContentPlacement* map, const std::string& reason) {
    std::ostringstream line;
    if (!map) {
        line << "{\"unalignable\": true, \"reason\": \"";
        for (const char c : reason) {
            if (c == '"' || c == '\\')
                line << '\\' << c;
            else if (static_cast<unsigned char>(c) < 0x20)
                line << ' ';
            else
                line << c;
        }
        line << "\"}";
        return line.str();
    }
    // Rounded first, so that a tiny negative value does not print as -0.00.
    auto rounded = [](double v, double scale) { return std::round(v * scale) / scale + 0.0; };
    line.setf(std::ios::fixed);
    line << "{\"flipped\": " << (map->flipped ? "true" : "false")
         << ", \"angle_deg\": " << std::setprecision(4) << rounded(map->angleDeg, 1e4)
         << ", \"dx\": " << std::setprecision(2) << rounded(map->dx, 100)
         << ", \"dy\": " << rounded(map->dy, 100) << ", \"confidence\": " << rounded(map->confidence, 100)
         << "}";
    return line.str();
}

const std::vector<std::string>& mergeWorkingFileNames() {
    static const std::vector<std::string> names = {kLeftBackingFile,
                                                   kRightBackingFile,
                                                   std::string(kLeftBackingFile) + ".new",
                                                   std::string(kRightBackingFile) + ".new",
                                                   kMergeTemporaryFile,
                                                   "MergeImgL.Tmp",
                                                   "MergeImgR.Tmp"};
    return names;
}

int runMerge(const std::vector<std::string>& args, const MergeEnvironment& env) {
    if (isBatchCommand(args)) return runBatch(args, env);
    std::ostream& err = *env.err;
    std::string problem;
    const auto options = parseMergeArguments(args, problem);
    if (!options) {
        err << kProgram << ": " << problem << "\n" << mergeUsage();
        return exitUsage;
    }
    if (options->help) {
        *env.out << mergeUsage();
        return exitSuccess;
    }
    if (options->version) {
        *env.out << "tandemscan-merge " << TS_VERSION << "\n";
        return exitSuccess;
    }
    Progress progress(env.err, env.showProgress && !options->quiet);
    auto inputError = [&](const fs::path& file, const std::string& why) {
        progress.finish();
        err << kProgram << ": " << printable((file.empty() ? "" : file.string() + ": ") + why) << "\n";
        return exitInput;
    };

    std::string why;
    const char* component = env.componentName ? env.componentName : kImageFileComponent;
    auto library = ImageFileLibrary::load(env.programDir, &why, component);
    if (!library)
        return inputError({}, why.substr(0, why.find('\n')) + " (looked in " + env.programDir.string() + ")");
    ImageEngine engine(library, env.workingDir);
    if (!engine.hasComponent()) return inputError({}, std::string(component) + " gave no instance");
    const std::int32_t statedResolution =
        options->dpi > 0 ? static_cast<std::int32_t>(options->dpi * kPelsPerMeterPerDpi + 0.5f) : 0;
    engine.setStatedResolution(statedResolution);

    // Parts that are only compared, never joined, need no backing files: anonymous memory takes
    // their decoded pages at a fraction of a file mapping's cost.
    const bool onlyCompared = options->contentAlign && options->output.empty();
    auto storeBlock = [&](Side side) {
        return onlyCompared ? std::make_unique<ImageStoreBlock>(fs::path{}) : engine.createStoreBlock(side);
    };
    auto left = storeBlock(Side::Left);
    auto right = storeBlock(Side::Right);
    // Both headers and the placement are checked before any pixels are read, so that a refusal
    // comes at once.
    std::optional<PartReference> reference;
    SidePair<HeaderBlock> headers;
    const SidePair<const fs::path*> files{&options->left, &options->right};
    for (Side side : bothSides) {
        if (!engine.readHeader(*files[side], headers[side]))
            return inputError(*files[side], engine.lastError());
        if (const char* refusal = refusalOf(headers[side], reference ? &*reference : nullptr))
            return inputError(*files[side], refusal);
        if (!reference) reference = partReferenceOf(headers[side]);
    }
    MergePlacement placement;
    if (options->automatic) {
        const ImageHeader& l = headers[Side::Left].header;
        const ImageHeader& r = headers[Side::Right].header;
        if (!automaticMergeWidthRule(l, r)) {
            const WidthBounds bounds = automaticMergeBounds(l.xPelsPerMeter);
            std::ostringstream text;
            text << "--auto needs each part between A4 and Letter width (" << bounds.low << " to "
                 << bounds.high << " pixels at " << dpiOf(l.xPelsPerMeter) << " dpi); the parts are "
                 << l.width << " and " << r.width << " pixels wide";
            return inputError({}, text.str());
        }
        PaperWidth paper;
        const auto automatic =
            computeAutoPlacement(l, r, paper.refresh(options->paperWidthTenths), 1.0, 1.0, &why);
        if (!automatic) return inputError({}, why);
        placement.autoMode = true;
        placement.autoOverlap = automatic->autoOverlap;
        if (env.outcome) {
            std::ostringstream overlap;
            overlap << std::fixed << std::setprecision(2) << automatic->autoOverlap;
            env.outcome->placement = "{\"auto_overlap\": " + overlap.str() + "}";
        }
    } else if (options->cut) {
        placement.originalCut = options->cut;
    }
    ImageEngine rightEngine(library, env.workingDir);
    rightEngine.setStatedResolution(statedResolution);
    // A join by a cut of 24-bit parts is written while the parts are decoded, each on a thread of
    // its own, as far as the component can report rows read and take rows to write.
    std::optional<ImageFileInstance> writer;
    if (!options->contentAlign && headers[Side::Left].header.bitCount == 24 &&
        headers[Side::Right].header.bitCount == 24 && engine.component()->canReadRows())
        writer = library->newInstance();
    if (writer && writer->canWriteRows()) {
        const CutRecord cut = MergeExport(engine).originalCut(headers[Side::Left].header, placement);
        HeaderBlock joined;
        if (!composeHeader(joined, headers[Side::Left], headers[Side::Right], cut, &why))
            return inputError({}, why);
        progress.step(1, "Joining while loading the parts");
        if (env.beforeWrite) env.beforeWrite(); // before the threads start, so that they inherit it
        const bool throughRings = writtenFromTheTop(options->output);
        PartRows leftRows(headers[Side::Left], throughRings), rightRows(headers[Side::Right], throughRings);
        SidePair<bool> loaded{false, false};
        SidePair<std::thread> loaders;
        // The parts' rows pass through rings where the writer takes them and the component
        // decodes them from the top: then neither part is ever held whole.
        auto loadRight = [&] {
            loaded[Side::Right] = rightEngine.loadPassingRows(*right, options->right, rightRows);
        };
        auto loadLeft = [&] { loaded[Side::Left] = engine.loadPassingRows(*left, options->left, leftRows); };
        try {
            loaders[Side::Right] = std::thread(loadRight);
            loaders[Side::Left] = std::thread(loadLeft);
        } catch (const std::system_error&) {
            // Fewer threads than needed: whichever part did not start is loaded whole here first.
            if (!loaders[Side::Right].joinable())
                loaded[Side::Right] = rightEngine.loadOriginal(*right, options->right, &rightRows);
            if (!loaders[Side::Left].joinable())
                loaded[Side::Left] = engine.loadOriginal(*left, options->left, &leftRows);
        }
        progress.step(4, "Writing " + options->output.string());
        const bool written = writeJoinWhileLoading(*writer, options->output, leftRows, rightRows, cut, &why);
        for (std::thread& loader : loaders)
            if (loader.joinable()) loader.join();
        if (!loaded[Side::Left]) return inputError(options->left, engine.lastError());
        if (!loaded[Side::Right]) return inputError(options->right, rightEngine.lastError());
        progress.finish();
        if (!written) {
            err << kProgram << ": " << printable(options->output.string() + ": " + why) << "\n";
            return exitWrite;
        }
        return exitSuccess;
    }
    // The right part is decoded on a second thread with an instance of its own while this thread
    // decodes the left part.
    progress.step(1, "Loading the left and the right part");
    bool rightLoaded = false;
    auto loadRight = [&] { rightLoaded = rightEngine.loadOriginal(*right, options->right); };
    std::thread rightLoader;
    try {
        rightLoader = std::thread(loadRight);
    } catch (const std::system_error&) {
        // No second thread to be had: the right part follows the left one below.
    }
    const bool leftLoaded = engine.loadOriginal(*left, options->left);
    progress.step(2, "Loading the right part");
    if (rightLoader.joinable())
        rightLoader.join();
    else
        loadRight();
    if (!leftLoaded) return inputError(options->left, engine.lastError());
    if (!rightLoaded) return inputError(options->right, rightEngine.lastError());

    if (options->contentAlign) {
        progress.step(3, "Finding the placement");
        const ImageRecord& l = left->view();
        const ImageRecord& r = right->view();
        std::string refusal;
        const auto map =
            estimateContentPlacement({l.headerBlock(), l.pixels()}, {r.headerBlock(), r.pixels()}, &refusal);
        if (refusal.empty()) refusal = "the placement could not be found";
        progress.finish();
        if (env.outcome) {
            env.outcome->refused = !map;
            if (map) env.outcome->placement = placementJson(&*map, "");
        }
        if (options->printPlacement) *env.out << placementJson(map ? &*map : nullptr, refusal) << std::endl;
        if (!map || options->output.empty()) {
            // Nothing is joined: both originals' pages go back at once, one on a second thread.
            runSideBySide([&] { right->discard(); }, [&] { left->discard(); });
        }
        if (!map) {
            if (!options->printPlacement) err << kProgram << ": " << refusal << "\n";
            return exitUnalignable;
        }
        if (options->output.empty()) return exitSuccess;
        placement.content = map;
        placement.seam = options->seam;
    }
    ImageRecord leftWorking, rightWorking;
    std::vector<EditEntry> leftEdits, rightEdits;
    std::uint16_t leftTurns = 0, rightTurns = 0;
    MergeExport exporter(engine);
    // No full second copy of the joined picture: the command line does not keep it.
    exporter.setStreamRows(true);
    bool writing = false;
    std::thread releaser;
    const bool saved = exporter.saveMerged({*left, leftWorking, leftEdits, leftTurns},
                                           {*right, rightWorking, rightEdits, rightTurns}, placement,
                                           options->output, [&](MergeStage stage) {
                                               if (stage == MergeStage::compose) progress.step(3, "Joining");
                                               if (stage == MergeStage::writeRows) {
                                                   if (env.beforeWrite) env.beforeWrite();
                                                   writing = true;
                                                   progress.step(4, "Writing " + options->output.string());
                                               }
                                               if (stage == MergeStage::write) {
                                                   if (env.beforeWrite) env.beforeWrite();
                                                   writing = true;
                                                   progress.step(4, "Writing " + options->output.string());
                                                   // The originals are done with: their pages go back while
                                                   // the writer encodes.
                                                   try {
                                                       releaser = std::thread([&] {
                                                           left->discard();
                                                           right->discard();
                                                       });
                                                   } catch (const std::system_error&) {
                                                       // They go at the end instead.
                                                   }
                                               }
                                           });
    if (releaser.joinable()) releaser.join();
    if (!saved) {
        if (!writing) return inputError({}, exporter.lastError());
        progress.finish();
        err << kProgram << ": " << printable(options->output.string() + ": " + exporter.lastError()) << "\n";
        return exitWrite;
    }
    progress.finish();
    return exitSuccess;
}

} // namespace tandemscan
