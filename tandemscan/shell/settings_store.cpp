#include "settings_store.h"

#include "ini_file.h"

#include <algorithm>
#include <climits>

namespace tandemscan {

namespace {

constexpr std::size_t driverNameLimit = 260;
// Each try asks the scanner component for its whole list; more than a few never helps.
constexpr int driverCountLimit = 8;
constexpr int customResolutionIndex = 7;

// Values outside 32 bits cannot be meant; they read as the default.
int readInt32(const IniFile& ini, const char* section, const char* key) {
    const long long value = ini.readInt(section, key, 0);
    return value < INT_MIN || value > INT_MAX ? 0 : static_cast<int>(value);
}

} // namespace

bool SettingsStore::load() {
    IniFile ini(path_);
    if (!ini.load()) {
        firstRun_ = 1;
        driverCount_ = 1;
        driverIndex_ = 0;
        return false;
    }
    firstRun_ = readInt32(ini, "first run", "Flag");
    driverCount_ = std::clamp(readInt32(ini, "scanner driver", "DriverCount"), 0, driverCountLimit);
    driverName_ = ini.readString("scanner driver", "DriverName");
    if (driverName_.size() > driverNameLimit) {
        // Cut before a character, never inside one of UTF-8's continuation bytes.
        std::size_t cut = driverNameLimit;
        while (cut > 0 && (static_cast<unsigned char>(driverName_[cut]) & 0xC0) == 0x80)
            --cut;
        driverName_.resize(cut);
    }
    driverIndex_ = readInt32(ini, "scanner driver", "DriverSource");
    if (firstRun_ == 1) return true;
    window_ = {readInt32(ini, "main window", "Left"), readInt32(ini, "main window", "Top"),
               readInt32(ini, "main window", "Right"), readInt32(ini, "main window", "Bottom")};
    minimum_ = {readInt32(ini, "main window", "MinWidth"), readInt32(ini, "main window", "MinHeight")};
    palette_ = {readInt32(ini, "float window", "Left"), readInt32(ini, "float window", "Top")};
    moveExplain_ = readInt32(ini, "move explain", "Explain");
    dataSource_ = readInt32(ini, "data source", "DataSource");
    imageType_ = readInt32(ini, "image type", "ImgType");
    resolutionIndex_ = readInt32(ini, "resolution", "ImgResIndex");
    if (resolutionIndex_ == customResolutionIndex)
        resolutionValue_ = readInt32(ini, "resolution", "ImgResValue");
    return true;
}

bool SettingsStore::save(const ScanSettings& scan, const Rect& window, const ScreenSize& minimumSize,
                         Point palette, int moveExplain) const {
    IniFile ini(path_);
    ini.load(); // keys the program does not know stay where the user put them
    ini.writeInt("first run", "Flag", 0);
    ini.writeInt("data source", "DataSource", static_cast<int>(scan.source));
    ini.writeInt("scanner driver", "DriverCount", 1);
    ini.writeString("scanner driver", "DriverName", scan.chosenDriver());
    ini.writeInt("scanner driver", "DriverSource", scan.driverIndex);
    ini.writeInt("image type", "ImgType", static_cast<int>(scan.imageType));
    ini.writeInt("resolution", "ImgResIndex", scan.resolutionIndex);
    if (scan.resolutionIndex == customResolutionIndex) {
        ini.writeInt("resolution", "ImgResValue", scan.resolution);
    } else {
        ini.removeKey("resolution", "ImgResValue");
    }
    ini.writeInt("main window", "Left", window.left);
    ini.writeInt("main window", "Top", window.top);
    ini.writeInt("main window", "Right", window.right);
    ini.writeInt("main window", "Bottom", window.bottom);
    ini.writeInt("main window", "MinWidth", minimumSize.width);
    ini.writeInt("main window", "MinHeight", minimumSize.height);
    ini.writeInt("float window", "Left", std::max(palette.x, 0));
    ini.writeInt("float window", "Top", std::max(palette.y, 0));
    ini.writeInt("move explain", "Explain", moveExplain);
    return ini.save();
}

} // namespace tandemscan
