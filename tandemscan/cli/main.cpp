// tandemscan-merge: the engine without windows. See merge_tool.h.
#include "cli/merge_tool.h"
#include "engine/image_file.h"
#include "engine/working_files.h"

#include <csignal>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Paths removed when a signal ends the run, prepared beforehand: a handler may only unlink.
// They are never destroyed, so a signal that lands while the process exits (a batch stopping its
// jobs) still finds them alive rather than reading strings the exit has already freed.
struct CleanupPaths {
    std::vector<std::string> files;
    std::string folder;
};
CleanupPaths* const cleanup = new CleanupPaths;

extern "C" void removeWorkingFilesAndDie(int signal) {
    tandemscan::ImageFileLibrary::removePartialOutputs();
    for (const std::string& file : cleanup->files)
        ::unlink(file.c_str());
    ::rmdir(cleanup->folder.c_str());
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

fs::path programFile(const char* argv0) {
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) return self;
    return fs::absolute(argv0, error);
}

} // namespace

int main(int argc, char** argv) {
    using namespace tandemscan;
    const std::vector<std::string> args(argv + 1, argv + argc);
    auto folder = PrivateFolder::create(temporaryRoot(), "tandemscan-merge-");
    if (!folder) {
        std::cerr << "tandemscan-merge: cannot create a working folder in " << temporaryRoot().string()
                  << "\n";
        return exitInput;
    }
    // What runs that were killed (SIGKILL, the out-of-memory killer) left behind goes now.
    lockForThisProcess(folder->path());
    removeStaleFolders(temporaryRoot(), "tandemscan-merge-");
    for (const std::string& name : mergeWorkingFileNames())
        cleanup->files.push_back((folder->path() / name).string());
    cleanup->folder = folder->path().string();
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        std::signal(signal, removeWorkingFilesAndDie);

    MergeEnvironment env;
    env.programFile = programFile(argv[0]);
    env.programDir = env.programFile.parent_path();
    env.workingDir = folder->path();
    env.out = &std::cout;
    env.err = &std::cerr;
    env.showProgress = ::isatty(STDERR_FILENO) == 1;
    return runMerge(args, env);
}
