// Files the engine works in: open descriptors that close themselves, working files that delete
// themselves, and private folders (mode 0700) that go away with everything in them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tandemscan {

// An open file descriptor, closed on destruction.
class FileHandle {
  public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    FileHandle(FileHandle&& other) noexcept;
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle();

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void close();

  private:
    int fd_ = -1;
};

// Opens (creating it when missing) a working file for reading and writing, readable by its owner
// only. A symbolic link in its place is refused rather than followed.
FileHandle openWorkingFile(const std::filesystem::path& path);

// A working file that is deleted, and its descriptor closed, when the owner goes away.
class WorkingFile {
  public:
    WorkingFile() = default;
    static std::optional<WorkingFile> create(std::filesystem::path path);
    WorkingFile(WorkingFile&& other) noexcept;
    WorkingFile& operator=(WorkingFile&& other) noexcept;
    ~WorkingFile();

    int fd() const { return handle_.get(); }
    const std::filesystem::path& path() const { return path_; }
    bool valid() const { return handle_.valid(); }
    // Closes the descriptor and deletes the file now.
    void remove();

  private:
    FileHandle handle_;
    std::filesystem::path path_;
};

// The folder for temporary files: $TMPDIR when it names an absolute path, else /tmp.
std::filesystem::path temporaryRoot();

// Marks `dir` as the working folder of this running process with a lock that the kernel drops
// when the process ends, however it ends. False when another running process holds it.
bool lockForThisProcess(const std::filesystem::path& dir);

// Removes the folders below `root` whose names start with `prefix`, owned by this user and
// locked by no running process: what killed runs left behind. A folder changed in the last few
// seconds is kept, as its process may not have locked it yet.
void removeStaleFolders(const std::filesystem::path& root, std::string_view prefix);

// A freshly made folder below `parent`, accessible to its owner only, removed with its contents
// on destruction.
class PrivateFolder {
  public:
    static std::optional<PrivateFolder> create(const std::filesystem::path& parent, std::string_view prefix);
    PrivateFolder(PrivateFolder&& other) noexcept;
    PrivateFolder& operator=(PrivateFolder&& other) noexcept;
    ~PrivateFolder();

    const std::filesystem::path& path() const { return path_; }

  private:
    PrivateFolder() = default;
    std::filesystem::path path_;
};

} // namespace tandemscan
