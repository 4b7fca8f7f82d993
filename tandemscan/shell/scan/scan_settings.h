// The current acquisition choices: where a part comes from and how it is scanned. Owned by the
// main window, read by the scanner link and written to the settings file at exit.
#pragma once

#include <array>
#include <string>

namespace tandemscan {

inline constexpr int driverTableSize = 10;
inline constexpr int driverNameSize = 34; // bytes of one driver name, terminator included

enum class DataSource : int { File = 0, Scanner = 1 };
enum class ColourType : int { LineArt = 0, Gray = 1, Colour = 2 };

struct ScanSettings {
    DataSource source = DataSource::File;
    ColourType imageType = ColourType::LineArt;
    bool scannerAvailable = false;
    int driverIndex = 0;
    std::array<std::string, driverTableSize> driverTable{};
    std::string defaultDriver;
    int resolutionIndex = 0;
    int resolution = 0; // dots per inch
    int descreenIndex = 0;
    int descreen = 0; // lines per inch, 0 for none

    // The driver chosen now, or "" when the index is outside the table.
    std::string chosenDriver() const {
        return driverIndex >= 0 && driverIndex < driverTableSize
                   ? driverTable[static_cast<std::size_t>(driverIndex)]
                   : std::string();
    }
};

} // namespace tandemscan
