#include "program_paths.h"

#include "engine/merge_export.h"
#include "engine/working_files.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace tandemscan {

namespace fs = std::filesystem;

namespace {

std::string fromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool folderWritable(const fs::path& dir) {
    return ::access(dir.c_str(), W_OK | X_OK) == 0;
}

} // namespace

ProgramPaths::ProgramPaths(fs::path programDir, const Environment& environment)
    : programDir_(std::move(programDir)) {
    const Environment read = environment ? environment : Environment(fromEnvironment);
    if (folderWritable(programDir_)) {
        writableDir_ = programDir_;
    } else {
        fs::path config = read("XDG_CONFIG_HOME");
        if (config.empty() || config.is_relative()) config = fs::path(read("HOME")) / ".config";
        writableDir_ = config / "tandemscan";
        std::error_code ignored;
        fs::create_directories(writableDir_, ignored);
    }
    tempRoot_ = read("TMPDIR");
    if (tempRoot_.empty() || tempRoot_.is_relative()) tempRoot_ = "/tmp";
    // The folder name carries the account's name, as the manual page tells users where to look.
    const passwd* account = ::getpwuid(::getuid());
    user_ = account && account->pw_name && *account->pw_name ? account->pw_name : std::to_string(::getuid());
}

fs::path ProgramPaths::dataFile(const std::string& name) const {
    std::error_code ignored;
    if (writableDir_ != programDir_ && fs::exists(writableDir_ / name, ignored)) return writableDir_ / name;
    return programDir_ / name;
}

fs::path ProgramPaths::workingDir() const {
    if (working_.empty()) working_ = makeWorkingDir(tempRoot_, user_);
    return working_;
}

fs::path ProgramPaths::makeWorkingDir(const fs::path& tempRoot, const std::string& user) {
    const fs::path dir = tempRoot / ("tandemscan-" + user);
    // Only a folder of our own with no access for others may hold the fixed-name files.
    ::mkdir(dir.c_str(), 0700);
    struct stat info {};
    if (::lstat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid()) {
        if ((info.st_mode & 077) != 0) ::chmod(dir.c_str(), 0700);
        if (lockForThisProcess(dir)) {
            removeStaleFolders(tempRoot, "tandemscan-" + user + "-");
            return dir;
        }
    }
    // Someone else holds the name, or another running copy works there: a fresh private folder.
    std::string pattern = (tempRoot / ("tandemscan-" + user + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data())) {
        lockForThisProcess(pattern);
        return pattern;
    }
    return tempRoot;
}

int deleteWorkingFiles(const fs::path& dir) {
    int removed = 0;
    for (const char* name : partWorkingFiles) {
        std::error_code ignored;
        if (fs::remove(dir / name, ignored)) ++removed;
    }
    return removed;
}

int deleteEarlierExports(const fs::path& dir, fs::file_time_type before) {
    const std::string suffix = kExportFileSuffix;
    int removed = 0;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= suffix.size() ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string number = name.substr(0, name.size() - suffix.size());
        if (!std::all_of(number.begin(), number.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
            continue;
        std::error_code ignored;
        if (!entry.is_regular_file(ignored) || entry.last_write_time(ignored) >= before) continue;
        if (fs::remove(entry.path(), ignored)) ++removed;
    }
    return removed;
}

} // namespace tandemscan
