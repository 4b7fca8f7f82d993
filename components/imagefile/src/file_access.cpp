#include "file_access.h"

#include "image_block.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace imagefile {

namespace {

std::string systemReason(int error) {
    return std::strerror(error);
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The process's file creation mask, read without changing it (umask() would, for a moment).
mode_t currentUmask() {
    FILE* status = std::fopen("/proc/self/status", "re");
    mode_t mask = 022;
    if (!status) return mask;
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
        unsigned value = 0;
        if (std::sscanf(line, "Umask: %o", &value) == 1) {
            mask = static_cast<mode_t>(value);
            break;
        }
    }
    std::fclose(status);
    return mask;
}

// After a scattered read or write moved `done` bytes from parts[first] on: shortens the parts
// and returns the first one with bytes left.
size_t skipDone(iovec* parts, size_t count, size_t first, size_t done) {
    while (done > 0 && first < count) {
        iovec& part = parts[first];
        const size_t used = std::min(done, part.iov_len);
        part.iov_base = static_cast<uint8_t*>(part.iov_base) + used;
        part.iov_len -= used;
        done -= used;
        if (part.iov_len == 0) ++first;
    }
    while (first < count && parts[first].iov_len == 0)
        ++first;
    return first;
}

} // namespace

InputFile::InputFile(const std::string& path) : path_(path) {
    // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever; it is refused below.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        const int error = errno;
        if (error == ENOENT) fail("The file \"" + path + "\" does not exist.");
        fail("Cannot open \"" + path + "\": " + systemReason(error) + ".");
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        fail("\"" + path + "\" is not a regular file.");
    }
    (void)::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    size_ = static_cast<uint64_t>(info.st_size);
}

InputFile::InputFile(const uint8_t* data, size_t size) : path_("(memory)"), memory_(data), size_(size) {}

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

size_t InputFile::readAt(uint64_t offset, void* buffer, size_t length) const {
    if (offset >= size_ || length == 0) return 0;
    length = static_cast<size_t>(std::min<uint64_t>(length, size_ - offset));
    if (memory_) {
        std::memcpy(buffer, memory_ + offset, length);
        return length;
    }
    size_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < length) {
        const size_t chunk = std::min<size_t>(length - done, size_t{1} << 30);
        const ssize_t n = ::pread(fd_, out + done, chunk, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("Cannot read \"" + path_ + "\": " + systemReason(errno) + ".");
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

void InputFile::readExact(uint64_t offset, void* buffer, size_t length) const {
    if (readAt(offset, buffer, length) != length) fail("The file is truncated.");
}

void InputFile::readScattered(uint64_t offset, const iovec* parts, size_t count) const {
    uint64_t total = 0;
    for (size_t i = 0; i < count; ++i)
        total += parts[i].iov_len;
    if (offset > size_ || total > size_ - offset) fail("The file is truncated.");
    if (memory_) {
        for (size_t i = 0; i < count; ++i) {
            std::memcpy(parts[i].iov_base, memory_ + offset, parts[i].iov_len);
            offset += parts[i].iov_len;
        }
        return;
    }
    // preadv takes at most IOV_MAX buffers per call and may stop early; continue where it stopped.
    std::vector<iovec> pending(parts, parts + count);
    size_t first = 0;
    while (first < pending.size()) {
        const int batch = static_cast<int>(std::min<size_t>(pending.size() - first, IOV_MAX));
        const ssize_t n = ::preadv(fd_, pending.data() + first, batch, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("Cannot read \"" + path_ + "\": " + systemReason(errno) + ".");
        }
        if (n == 0) fail("The file is truncated.");
        offset += static_cast<uint64_t>(n);
        first = skipDone(pending.data(), pending.size(), first, static_cast<size_t>(n));
    }
}

std::vector<uint8_t> InputFile::readAll() const {
    if (size_ > (uint64_t{1} << 32)) fail("The file is too large to read.");
    std::vector<uint8_t> data(static_cast<size_t>(size_));
    readExact(0, data.data(), data.size());
    return data;
}

BufferedReader::BufferedReader(const InputFile& file, uint64_t start)
    : file_(file), fileOffset_(start), buffer_(64 * 1024) {}

size_t BufferedReader::fill(const uint8_t** data) {
    if (begin_ == end_) {
        begin_ = 0;
        end_ = file_.readAt(fileOffset_, buffer_.data(), buffer_.size());
        fileOffset_ += end_;
    }
    *data = buffer_.data() + begin_;
    return end_ - begin_;
}

size_t BufferedReader::read(void* out, size_t length) {
    auto* dest = static_cast<uint8_t*>(out);
    size_t done = 0;
    while (done < length) {
        const uint8_t* data = nullptr;
        const size_t available = fill(&data);
        if (available == 0) break;
        const size_t n = std::min(available, length - done);
        std::memcpy(dest + done, data, n);
        consume(n);
        done += n;
    }
    return done;
}

namespace {

struct PartialSlot {
    std::atomic<int> state{0}; // 0 free, 1 being filled, 2 holds a name
    char name[PATH_MAX];
};
std::array<PartialSlot, 16> partialSlots;

} // namespace

int PartialNames::claim(const std::string& name) {
    if (name.size() >= PATH_MAX) return -1;
    for (std::size_t i = 0; i < partialSlots.size(); ++i) {
        int free = 0;
        if (!partialSlots[i].state.compare_exchange_strong(free, 1)) continue;
        std::memcpy(partialSlots[i].name, name.c_str(), name.size() + 1);
        partialSlots[i].state.store(2);
        return static_cast<int>(i);
    }
    return -1;
}

char* PartialNames::name(int slot) {
    return partialSlots[static_cast<std::size_t>(slot)].name;
}

void PartialNames::release(int slot) {
    if (slot >= 0) partialSlots[static_cast<std::size_t>(slot)].state.store(0);
}

void PartialNames::removeAll() {
    for (PartialSlot& slot : partialSlots)
        if (slot.state.load() == 2) ::unlink(slot.name);
}

AtomicOutputFile::AtomicOutputFile(const std::string& target, Naming naming) : target_(target) {
    const std::string folder = folderOf(target);
    const std::string base = baseNameOf(target);
    if (base.empty()) fail("\"" + target + "\" names a folder, not a file.");
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) fail("\"" + target + "\" is a folder.");
    folder_ = folder;
    temporary_ = folder + "/." + base + ".XXXXXX";
    // An unnamed file first: whatever ends the process, even SIGKILL, leaves no partial file
    // behind. File systems without O_TMPFILE get today's hidden temporary.
    if (naming == Naming::unnamedWherePossible)
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0) {
        unnamed_ = true;
    } else {
        // The random part is made in the slot itself, so a signal finds the name at once.
        partial_ = PartialNames::claim(temporary_);
        fd_ = ::mkostemp(partial_ >= 0 ? PartialNames::name(partial_) : temporary_.data(), O_CLOEXEC);
        if (partial_ >= 0) temporary_ = PartialNames::name(partial_);
    }
    if (fd_ < 0) {
        const int error = errno;
        PartialNames::release(std::exchange(partial_, -1));
        temporary_.clear();
        fail("Cannot write in the folder \"" + folder + "\": " + systemReason(error) + ".");
    }
    // mkstemp makes the file private; give it the mode a plainly created file (or the file it
    // replaces) would have, without setuid, setgid or sticky bits.
    const mode_t mode = exists ? (existing.st_mode & 0777) : (0666 & ~currentUmask());
    (void)::fchmod(fd_, mode);
}

AtomicOutputFile::~AtomicOutputFile() {
    discardStream();
    if (fd_ >= 0) ::close(fd_);
    if (!committed_ && !unnamed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
    PartialNames::release(partial_);
}

void AtomicOutputFile::failWrite(int error) {
    fail("Cannot write \"" + target_ + "\": " + systemReason(error) + ".");
}

void AtomicOutputFile::write(const void* data, size_t length) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (length > 0) {
        const ssize_t n = ::write(fd_, bytes, std::min<size_t>(length, size_t{1} << 30));
        if (n < 0) {
            if (errno == EINTR) continue;
            failWrite(errno);
        }
        bytes += n;
        length -= static_cast<size_t>(n);
    }
}

void AtomicOutputFile::writeScattered(iovec* parts, size_t count) {
    size_t first = 0;
    while (first < count) {
        if (parts[first].iov_len == 0) {
            ++first;
            continue;
        }
        const int batch = static_cast<int>(std::min<size_t>(count - first, IOV_MAX));
        const ssize_t n = ::writev(fd_, parts + first, batch);
        if (n < 0) {
            if (errno == EINTR) continue;
            failWrite(errno);
        }
        first = skipDone(parts, count, first, static_cast<size_t>(n));
    }
}

namespace {

// A stream's descriptor and how far its writes have been handed to the disk: every 8 MiB the
// kernel is asked to start writing back what came before, so that commit()'s fsync finds little
// left to wait for and the disk works while the encoder does.
struct StreamSink {
    int fd;
    uint64_t written = 0;
    uint64_t handedOver = 0;
};

ssize_t sinkWrite(void* cookie, const char* data, size_t length) {
    auto* sink = static_cast<StreamSink*>(cookie);
    size_t done = 0;
    while (done < length) {
        const ssize_t n = ::write(sink->fd, data + done, length - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return done > 0 ? static_cast<ssize_t>(done) : -1;
        }
        done += static_cast<size_t>(n);
    }
    sink->written += done;
    constexpr uint64_t kHandOver = 8u << 20;
    if (sink->written - sink->handedOver >= kHandOver) {
        // Only a hint: where the file system does not take it, fsync does all the work as before.
        ::sync_file_range(sink->fd, static_cast<off64_t>(sink->handedOver),
                          static_cast<off64_t>(sink->written - sink->handedOver), SYNC_FILE_RANGE_WRITE);
        sink->handedOver = sink->written;
    }
    return static_cast<ssize_t>(done);
}

int sinkClose(void* cookie) {
    auto* sink = static_cast<StreamSink*>(cookie);
    const int result = ::close(sink->fd);
    delete sink;
    return result;
}

} // namespace

FILE* AtomicOutputFile::openStream() {
    const int copy = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) failWrite(errno);
    auto* sink = new (std::nothrow) StreamSink{copy};
    FILE* stream = sink ? ::fopencookie(sink, "wb", {nullptr, sinkWrite, nullptr, sinkClose}) : nullptr;
    if (!stream) {
        const int error = sink ? errno : ENOMEM;
        delete sink;
        ::close(copy);
        failWrite(error);
    }
    // A write system call per 256 KiB instead of one per 4 KiB piece (an 18 MB JPEG took 4400).
    constexpr size_t kStreamBuffer = 256 * 1024;
    if (!streamBuffer_) streamBuffer_.reset(new (std::nothrow) char[kStreamBuffer]);
    if (streamBuffer_) std::setvbuf(stream, streamBuffer_.get(), _IOFBF, kStreamBuffer);
    stream_ = stream;
    return stream;
}

void AtomicOutputFile::discardStream() {
    if (stream_) std::fclose(std::exchange(stream_, nullptr));
}

void AtomicOutputFile::closeStream(FILE* stream) {
    if (stream == stream_) stream_ = nullptr;
    errno = 0;
    const bool failed = std::fflush(stream) != 0 || std::ferror(stream);
    const int error = errno ? errno : EIO;
    const bool closeFailed = std::fclose(stream) != 0;
    if (failed || closeFailed) failWrite(error);
}

void AtomicOutputFile::commit() {
    if (::fsync(fd_) != 0 && errno != EINVAL) failWrite(errno);
    if (unnamed_) {
        // A link cannot replace a file, so the complete file gets a fresh hidden name for the
        // moment of the rename.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        int attempt = 0;
        for (;; ++attempt) {
            temporary_ = folder_ + "/." + baseNameOf(target_) + "." + std::to_string(::getpid()) + "-" +
                         std::to_string(attempt);
            partial_ = PartialNames::claim(temporary_);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temporary_.c_str(), AT_SYMLINK_FOLLOW) == 0) break;
            const int error = errno;
            PartialNames::release(std::exchange(partial_, -1));
            if (error != EEXIST || attempt == 100) failWrite(error);
        }
        unnamed_ = false;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) failWrite(errno);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) failWrite(errno);
    committed_ = true;
    PartialNames::release(std::exchange(partial_, -1));
}

} // namespace imagefile
