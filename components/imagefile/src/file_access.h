// File access for the readers and writers: a read-only file with positioned reads, and an output
// file that replaces its target only once it is complete.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <sys/uio.h>
#include <vector>

namespace imagefile {

// The hidden temporaries of outputs that exist under a name while they are written (file systems
// without unnamed files, and the moment of the final rename), for a program's signal handler to
// remove through RemovePartialFiles. A fixed table, so that the handler reads only memory that is
// always there; a name is written into its slot before the file is made.
class PartialNames {
  public:
    // A slot holding `name`, or -1 when the name is too long or all slots are taken (that file is
    // then not removed on a signal).
    static int claim(const std::string& name);
    static char* name(int slot);
    static void release(int slot);
    // Unlinks every name held; safe in a signal handler.
    static void removeAll();
};

// An input file, either on disk or (for the fuzz targets) a byte range held in memory.
class InputFile {
  public:
    explicit InputFile(const std::string& path);
    InputFile(const uint8_t* data, size_t size);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    uint64_t size() const { return size_; }
    const std::string& path() const { return path_; }
    // Reads up to `length` bytes at `offset`; returns how many were read (less only at the end).
    size_t readAt(uint64_t offset, void* buffer, size_t length) const;
    // Reads exactly `length` bytes or fails with "the file is truncated".
    void readExact(uint64_t offset, void* buffer, size_t length) const;
    // Scatters the bytes from `offset` on into the given buffers, in order; fails when short.
    void readScattered(uint64_t offset, const iovec* parts, size_t count) const;
    // The whole file in memory (its size is the file's own, so the allocation is justified).
    std::vector<uint8_t> readAll() const;
    // For libraries that want a descriptor; -1 for a file held in memory.
    int descriptor() const { return fd_; }
    const uint8_t* memory() const { return memory_; }

  private:
    std::string path_;
    int fd_ = -1;
    const uint8_t* memory_ = nullptr;
    uint64_t size_ = 0;
};

// Sequential reads through a small buffer, for decoders that pull bytes as they go.
class BufferedReader {
  public:
    explicit BufferedReader(const InputFile& file, uint64_t start = 0);
    // Up to `length` bytes; fewer only at the end of the file.
    size_t read(void* out, size_t length);
    // Points to at least one buffered byte and how many there are; 0 at the end.
    size_t fill(const uint8_t** data);
    void consume(size_t count) { begin_ += count; }
    uint64_t position() const { return fileOffset_ - (end_ - begin_); }

  private:
    const InputFile& file_;
    uint64_t fileOffset_;
    std::vector<uint8_t> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
};

// A file written beside its target under a temporary name and renamed over the target by
// commit(); destroyed without commit() it removes the temporary file and leaves the target as
// it was.
class AtomicOutputFile {
  public:
    // Where the file system allows, the output is written as an unnamed file (`hiddenName` forces
    // the named hidden temporary, as on file systems without unnamed files).
    enum class Naming { unnamedWherePossible, hiddenName };
    explicit AtomicOutputFile(const std::string& target, Naming naming = Naming::unnamedWherePossible);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    int descriptor() const { return fd_; }
    // Writes all bytes or fails with the system's reason.
    void write(const void* data, size_t length);
    void writeScattered(iovec* parts, size_t count);
    // A stdio stream over its own duplicate of the descriptor, for libraries that want one. Its
    // buffer is large (the libraries hand over a few kilobytes at a time) and belongs to this
    // object, so the stream must be closed before it goes.
    FILE* openStream();
    // Closes a stream from openStream(), failing if any of its writes failed.
    void closeStream(FILE* stream);
    // Closes the open stream, if any, without a word: the file is not going to be committed.
    // Also done on destruction, so that no stream outlives its buffer (a codec's callback may
    // throw past the close).
    void discardStream();
    void commit();

  private:
    [[noreturn]] void failWrite(int error);
    std::string target_;
    std::string folder_;
    std::string temporary_;
    int fd_ = -1;
    bool unnamed_ = false; // an O_TMPFILE file, given a name only by commit()
    int partial_ = -1;     // the slot of PartialNames that holds temporary_ while it exists
    bool committed_ = false;
    std::unique_ptr<char[]> streamBuffer_;
    FILE* stream_ = nullptr;
};

// Collects small writes into large ones.
class BufferedWriter {
  public:
    explicit BufferedWriter(AtomicOutputFile& out) : out_(out) { buffer_.reserve(kSize); }
    void put(uint8_t byte) {
        if (buffer_.size() == kSize) flush();
        buffer_.push_back(byte);
    }
    void append(const uint8_t* data, size_t length) {
        if (buffer_.size() + length > kSize) flush();
        if (length >= kSize)
            out_.write(data, length);
        else
            buffer_.insert(buffer_.end(), data, data + length);
    }
    void flush() {
        out_.write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

  private:
    static constexpr size_t kSize = 1 << 20;
    AtomicOutputFile& out_;
    std::vector<uint8_t> buffer_;
};

} // namespace imagefile
