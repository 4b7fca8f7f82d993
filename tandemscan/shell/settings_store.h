// The user's settings file tsConfig.cfg: read once at start, written once at exit. A missing
// file, or one whose first-run flag is 1, means a first run: then only the driver keys count.
#pragma once

#include "engine/pane_geometry.h"
#include "scan/scan_settings.h"

#include <filesystem>
#include <string>

namespace tandemscan {

struct WindowRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

struct IntSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const IntSize&, const IntSize&) = default;
};

inline constexpr const char* settingsFileName = "tsConfig.cfg";

class SettingsStore {
  public:
    explicit SettingsStore(std::filesystem::path file) : path_(std::move(file)) {}

    // Reads the file. Returns false for a missing file (the first-run case).
    bool load();
    // Writes the settings; a read-only file is made writable first. False when it cannot be
    // written (the caller does not report it: settings are a convenience).
    bool save(const ScanSettings& scan, const WindowRect& window, const IntSize& minimumSize, Point palette,
              int moveExplain) const;

    const std::filesystem::path& path() const { return path_; }
    bool firstRun() const { return firstRun_ != 0; }
    const WindowRect& windowRect() const { return window_; }
    IntSize minimumSize() const { return minimum_; }
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
    WindowRect window_;
    IntSize minimum_;
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
