#include "engine/working_files.h"

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace tandemscan {

namespace fs = std::filesystem;

FileHandle::FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

FileHandle::~FileHandle() {
    close();
}

void FileHandle::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

FileHandle openWorkingFile(const fs::path& path) {
    return FileHandle(::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
}

std::optional<WorkingFile> WorkingFile::create(fs::path path) {
    WorkingFile file;
    file.handle_ = openWorkingFile(path);
    if (!file.handle_.valid()) return std::nullopt;
    file.path_ = std::move(path);
    return file;
}

WorkingFile::WorkingFile(WorkingFile&& other) noexcept
    : handle_(std::move(other.handle_)), path_(std::exchange(other.path_, {})) {}

WorkingFile& WorkingFile::operator=(WorkingFile&& other) noexcept {
    if (this != &other) {
        remove();
        handle_ = std::move(other.handle_);
        path_ = std::exchange(other.path_, {});
    }
    return *this;
}

WorkingFile::~WorkingFile() {
    remove();
}

void WorkingFile::remove() {
    handle_.close();
    if (!path_.empty()) ::unlink(path_.c_str());
    path_.clear();
}

fs::path temporaryRoot() {
    const char* dir = std::getenv("TMPDIR");
    if (dir != nullptr && dir[0] == '/') return dir;
    return "/tmp";
}

bool lockForThisProcess(const fs::path& dir) {
    static std::mutex mutex;
    static std::set<std::string> held;
    const std::lock_guard guard(mutex);
    if (held.count(dir.string()) != 0) return true;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    // The descriptor stays open for the life of the process: closing it would drop the lock.
    held.insert(dir.string());
    return true;
}

void removeStaleFolders(const fs::path& tempRoot, std::string_view prefix) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(tempRoot, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(prefix)) continue;
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
            continue;
        if (info.st_mtime > ::time(nullptr) - 5) continue;
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) fs::remove_all(entry.path(), error);
        ::close(fd);
    }
}

std::optional<PrivateFolder> PrivateFolder::create(const fs::path& parent, std::string_view prefix) {
    std::string pattern = (parent / (std::string(prefix) + "XXXXXX")).string();
    // mkdtemp makes the folder with mode 0700 under a name nobody could have planted.
    if (::mkdtemp(pattern.data()) == nullptr) return std::nullopt;
    PrivateFolder folder;
    folder.path_ = pattern;
    return folder;
}

PrivateFolder::PrivateFolder(PrivateFolder&& other) noexcept : path_(std::exchange(other.path_, {})) {}

PrivateFolder& PrivateFolder::operator=(PrivateFolder&& other) noexcept {
    if (this != &other) {
        PrivateFolder old(std::move(*this));
        path_ = std::exchange(other.path_, {});
    }
    return *this;
}

PrivateFolder::~PrivateFolder() {
    if (path_.empty()) return;
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

} // namespace tandemscan
