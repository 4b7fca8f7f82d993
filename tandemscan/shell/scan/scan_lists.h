// The four choice lists along the top of the main window (data source, colour type, resolution,
// descreen) without widgets: what they hold, which entry is chosen, whether they can be used,
// and how each choice changes the acquisition settings.
#pragma once

#include "scan_settings.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tandemscan {

struct ChoiceList {
    std::vector<std::string> entries; // English; translated when shown
    int current = 0;
    bool enabled = true;
    friend bool operator==(const ChoiceList&, const ChoiceList&) = default;
};

// What the settings file remembered from the last run.
struct StoredChoices {
    bool firstRun = true;
    std::string driverName;
    int imageType = 0;
    int resolutionIndex = 0;
    int resolutionValue = 0;
};

// The scanner component's answer to the driver enumeration.
struct DriverEnumeration {
    bool available = false;
    std::array<std::string, driverTableSize> table{};
};

inline constexpr int customResolutionPick = 6;
inline constexpr int customResolutionEntry = 7;
inline constexpr int customDescreenPick = 4;
inline constexpr int customDescreenEntry = 5;
inline constexpr int minCustomResolution = 75;
inline constexpr int maxCustomResolution = 1200;
inline constexpr int minCustomDescreen = 50;
inline constexpr int maxCustomDescreen = 200;

// Dots per inch of a resolution list index; 0 where the index has no table value.
int resolutionForIndex(int index);
// Lines per inch of a descreen list index; 0 where the index has no table value.
int descreenForIndex(int index);
// Whether a reported driver may appear in the data source list.
bool driverQualifies(const std::string& name);

class ScanLists {
  public:
    // Asks the user for a custom value; nullopt when cancelled.
    using AskValue = std::function<std::optional<int>()>;

    ChoiceList source;
    ChoiceList colour;
    ChoiceList resolution;
    ChoiceList descreen;

    // Fills the lists at start from the stored choices and the drivers, and sets scan to match.
    void fill(const StoredChoices& stored, const DriverEnumeration& drivers, ScanSettings& scan);

    // A data source was chosen. Returns whether the Input buttons may be used (still subject to
    // each side's lock): not when a scanner is chosen that has no component behind it.
    bool chooseSource(int index, ScanSettings& scan);
    void chooseColour(int index, ScanSettings& scan);
    void chooseResolution(int index, ScanSettings& scan, const AskValue& askCustom);
    void chooseDescreen(int index, ScanSettings& scan, const AskValue& askCustom);

    int lastResolutionIndex() const { return lastResolution_; }
    int lastDescreenIndex() const { return lastDescreen_; }

  private:
    void setScanListsEnabled(bool enabled);
    static void putCustomEntry(ChoiceList& list, int at, const std::string& text);

    int lastResolution_ = 1;
    int lastDescreen_ = 0;
};

} // namespace tandemscan
