#include "regular_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tilex {

namespace {
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};
} // namespace

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool isWritableTarget(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return errno == ENOENT;
    return S_ISREG(info.st_mode);
}

FileBytes readRegularFile(const std::string& path, size_t maxBytes) {
    FileBytes result;
    const Descriptor file{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) {
        result.problem =
            errno == ENOENT || errno == ENOTDIR ? FileReadProblem::Missing : FileReadProblem::Unreadable;
        return result;
    }
    struct stat info {};
    if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        result.problem = FileReadProblem::NotRegular;
        return result;
    }
    result.bytes.resize(maxBytes);
    size_t got = 0;
    while (got < maxBytes) {
        const ssize_t n = ::read(file.fd, result.bytes.data() + got, maxBytes - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.problem = FileReadProblem::Unreadable;
            break;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    result.bytes.resize(got);
    return result;
}

} // namespace tilex
