// The user's settings file tsConfig.cfg: read once at start, written once at exit. A missing
// file, or one whose first-run flag is 1, means a first run: then only the driver keys count.
#pragma once

#include "engine/pane_geometry.h"
#include "scan/scan_settings.h"

#include <filesystem>
#include <string>

namespace tandemscan {

inline constexpr const char* settingsFileName = "tsConfig.cfg";

class SettingsStore {
  public:
    explicit SettingsStore(std::filesystem::path file) : path_(std::move(file)) {}

    // Reads the file. Returns false for a missing file (the first-run case).
    bool load();
    // Writes the settings; a read-only file is made writable first. False when it cannot be
    // written (the caller does not report it: settings are a convenience).
    bool save(const ScanSettings& scan, const Rect& window, const ScreenSize& minimumSize, Point palette,
              int moveExplain) const;

    const std::filesystem::path& path() const { return path_; }
    bool firstRun() const { return firstRun_ != 0; }
    const Rect& windowRect() const { return window_; }
    ScreenSize minimumSize() const { return minimum_; }
    // The palette's stored place as written; the caller pulls it onto the screens there are.
    Point palettePosition() const { return palette_; }
    int moveExplain() const { return moveExplain_; }
    int dataSource() const { return dataSource_; }
    int driverCount() const { return driverCount_; }
    const std::string& driverName() const { return driverName_; }
    int driverIndex() const { return driverIndex_; }
    int imageType() const { return imageType_; }
    int resolutionIndex() const { return resolutionIndex_; }
    int resolutionValue() const { return resolutionValue_; }

  private:
    std::filesystem::path path_;
    int firstRun_ = 1;
    Rect window_;
    ScreenSize minimum_;
    Point palette_;
    int moveExplain_ = 0;
    int dataSource_ = 0;
    int driverCount_ = 0;
    std::string driverName_;
    int driverIndex_ = 0;
    int imageType_ = 0;
    int resolutionIndex_ = 0;
    int resolutionValue_ = 0;
};

} // namespace tandemscan
