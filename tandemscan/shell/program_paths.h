// Where the program finds its files. Files it only reads live beside the executable. Files it
// writes go there too when that folder is writable, otherwise into the user's configuration
// folder, which is then also the first place they are read from.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace tandemscan {

class ProgramPaths {
  public:
    using Environment = std::function<std::string(const char*)>;

    // programDir: the executable's folder. environment reads variables (getenv by default).
    explicit ProgramPaths(std::filesystem::path programDir, const Environment& environment = {});

    const std::filesystem::path& programDir() const { return programDir_; }
    // The folder for files the program writes (settings, lists).
    const std::filesystem::path& writableDir() const { return writableDir_; }
    // A file the program reads and writes, such as tsConfig.cfg.
    std::filesystem::path settingsFile(const std::string& name) const { return writableDir_ / name; }
    // A file the program only reads: the user's copy first, then the shipped one.
    std::filesystem::path dataFile(const std::string& name) const;
    // The private working folder below the temporary folder ($TMPDIR), mode 0700; created on
    // first use. Holds the fixed-name working files of scans, loads and saves.
    std::filesystem::path workingDir() const;

  private:
    static std::filesystem::path makeWorkingDir(const std::filesystem::path& tempRoot,
                                                const std::string& user);

    std::filesystem::path programDir_;
    std::filesystem::path writableDir_;
    std::filesystem::path tempRoot_;
    std::string user_;
    mutable std::filesystem::path working_;
};

// The working files the program leaves in the working folder while it runs; deleted at exit.
inline constexpr const char* partWorkingFiles[] = {"ScanImgL.bmp", "ScanImgR.bmp", "ImgdataL.DAT",
                                                   "ImgdataR.DAT"};

// Deletes the working files above from dir; returns how many were there.
int deleteWorkingFiles(const std::filesystem::path& dir);

// Deletes the joined pictures earlier runs exported for other programs ("<n>_MergeImg.bmp")
// that were last written before `before`; returns how many. They stay while the program runs,
// as the receiving program may still be reading them.
int deleteEarlierExports(const std::filesystem::path& dir, std::filesystem::file_time_type before);

} // namespace tandemscan
