#include "scan_lists.h"

#include "string_table.h"

#include <algorithm>

namespace tandemscan {

namespace {

std::string text(int id) {
    return std::string(stringText(id));
}

// Driver names are compared as the fixed 34-byte slots they come in.
bool sameDriver(const std::string& a, const std::string& b) {
    return a.substr(0, driverNameSize) == b.substr(0, driverNameSize);
}

int driverPosition(const std::array<std::string, driverTableSize>& table, const std::string& name) {
    for (int i = 0; i < driverTableSize; ++i) {
        const auto& entry = table[static_cast<std::size_t>(i)];
        if (entry.empty()) break;
        if (sameDriver(entry, name)) return i;
    }
    return -1;
}

} // namespace

int resolutionForIndex(int index) {
    constexpr int table[] = {75, 100, 150, 300, 400, 600};
    return index >= 0 && index < 6 ? table[index] : 0;
}

int descreenForIndex(int index) {
    constexpr int table[] = {0, 85, 175, 200};
    return index >= 0 && index < 4 ? table[index] : 0;
}

bool driverQualifies(const std::string& name) {
    return name.compare(0, 8, "Lumiview") == 0 && name.compare(0, 3, "WIA") != 0;
}

void ScanLists::setScanListsEnabled(bool enabled) {
    colour.enabled = enabled;
    resolution.enabled = enabled;
    descreen.enabled = enabled;
}

void ScanLists::putCustomEntry(ChoiceList& list, int at, const std::string& entry) {
    list.entries.resize(static_cast<std::size_t>(at)); // drops an earlier custom entry
    list.entries.push_back(entry);
    list.current = at;
}

void ScanLists::fill(const StoredChoices& stored, const DriverEnumeration& drivers, ScanSettings& scan) {
    source = {{text(IdsFile)}, 0, true};
    colour = {{text(IdsLineArt), text(IdsGray), text(IdsColor)}, 0, true};
    resolution = {{text(Ids75Dpi), text(Ids100Dpi), text(Ids150Dpi), text(Ids300Dpi), text(Ids400Dpi),
                   text(Ids600Dpi), text(IdsCustomResolution)},
                  0,
                  true};
    descreen = {{text(IdsNoDescreen)}, 0, true};
    scan.descreenIndex = 0;
    scan.descreen = 0;
    scan.scannerAvailable = drivers.available;
    lastResolution_ = 1;
    lastDescreen_ = 0;

    const auto chooseDefaults = [&] {
        scan.imageType = ColourType::Colour;
        colour.current = 2;
        scan.resolutionIndex = 1;
        scan.resolution = resolutionForIndex(1);
        resolution.current = 1;
    };

    if (!drivers.available) {
        source.entries.push_back(text(IdsNoDriver));
        scan.driverIndex = 0;
        source.current = 0;
        scan.source = DataSource::File;
        chooseDefaults();
        setScanListsEnabled(false);
        return;
    }

    scan.driverTable = drivers.table;
    scan.defaultDriver = drivers.table[0];
    descreen.entries.insert(descreen.entries.end(), {text(IdsNewspaper), text(IdsMagazine),
                                                     text(IdsArtMagazine), text(IdsCustomDescreen)});
    scan.source = DataSource::File;
    for (const auto& name : drivers.table) {
        if (name.empty()) break;
        if (!driverQualifies(name)) continue;
        source.entries.push_back(name);
        scan.source = DataSource::Scanner;
    }

    if (stored.firstRun) {
        source.current = source.entries.size() > 1 ? 1 : 0;
        scan.driverIndex =
            source.current == 1 ? std::max(driverPosition(drivers.table, source.entries[1]), 0) : 0;
        chooseDefaults();
        setScanListsEnabled(scan.source == DataSource::Scanner);
        return;
    }

    source.current = 0;
    for (std::size_t i = 1; i < source.entries.size(); ++i) {
        if (sameDriver(source.entries[i], stored.driverName)) {
            source.current = static_cast<int>(i);
            break;
        }
    }
    const int position =
        source.current > 0
            ? driverPosition(drivers.table, source.entries[static_cast<std::size_t>(source.current)])
            : -1;
    scan.source = position >= 0 ? DataSource::Scanner : DataSource::File;
    if (position >= 0) scan.driverIndex = position;
    setScanListsEnabled(scan.source == DataSource::Scanner);

    // A remembered gray stays gray; only unknown values fall back to colour.
    switch (stored.imageType) {
    case 0:
        scan.imageType = ColourType::LineArt;
        break;
    case 1:
        scan.imageType = ColourType::Gray;
        break;
    default:
        scan.imageType = ColourType::Colour;
        break;
    }
    colour.current = static_cast<int>(scan.imageType);

    if (stored.resolutionIndex >= 0 && stored.resolutionIndex < customResolutionPick) {
        scan.resolutionIndex = stored.resolutionIndex;
        scan.resolution = resolutionForIndex(stored.resolutionIndex);
        resolution.current = stored.resolutionIndex;
    } else if (stored.resolutionIndex == customResolutionEntry &&
               stored.resolutionValue >= minCustomResolution &&
               stored.resolutionValue <= maxCustomResolution) {
        putCustomEntry(resolution, customResolutionEntry, std::to_string(stored.resolutionValue) + " dpi");
        scan.resolutionIndex = customResolutionEntry;
        scan.resolution = stored.resolutionValue;
    } else {
        scan.resolutionIndex = 1;
        scan.resolution = resolutionForIndex(1);
        resolution.current = 1;
    }
    lastResolution_ = resolution.current;
}

bool ScanLists::chooseSource(int index, ScanSettings& scan) {
    if (index < 0 || index >= static_cast<int>(source.entries.size())) return true;
    source.current = index;
    if (index == 0) {
        scan.source = DataSource::File;
        setScanListsEnabled(false);
        return true;
    }
    scan.source = DataSource::Scanner;
    if (!scan.scannerAvailable) return false;
    const int position = driverPosition(scan.driverTable, source.entries[static_cast<std::size_t>(index)]);
    if (position >= 0) scan.driverIndex = position;
    setScanListsEnabled(true);
    return true;
}

void ScanLists::chooseColour(int index, ScanSettings& scan) {
    if (index < 0 || index > 2) return;
    colour.current = index;
    scan.imageType = static_cast<ColourType>(index);
}

void ScanLists::chooseResolution(int index, ScanSettings& scan, const AskValue& askCustom) {
    if (index < 0 || index >= static_cast<int>(resolution.entries.size())) return;
    if (index == customResolutionPick) {
        const auto value = askCustom ? askCustom() : std::nullopt;
        if (!value || *value < minCustomResolution || *value > maxCustomResolution) {
            resolution.current = lastResolution_; // cancelled: the previous choice stays
            return;
        }
        putCustomEntry(resolution, customResolutionEntry, std::to_string(*value) + " dpi");
        scan.resolution = *value;
        index = customResolutionEntry;
    } else if (index < customResolutionPick) {
        scan.resolution = resolutionForIndex(index);
    }
    // The custom entry keeps the value it shows.
    resolution.current = index;
    scan.resolutionIndex = index;
    lastResolution_ = index;
}

void ScanLists::chooseDescreen(int index, ScanSettings& scan, const AskValue& askCustom) {
    if (index < 0 || index >= static_cast<int>(descreen.entries.size())) return;
    if (index == customDescreenPick) {
        const auto value = askCustom ? askCustom() : std::nullopt;
        if (!value || *value < minCustomDescreen || *value > maxCustomDescreen) {
            descreen.current = lastDescreen_;
            return;
        }
        putCustomEntry(descreen, customDescreenEntry, std::to_string(*value) + " lpi");
        scan.descreen = *value;
        index = customDescreenEntry;
    } else if (index < customDescreenPick) {
        scan.descreen = descreenForIndex(index);
    }
    descreen.current = index;
    scan.descreenIndex = index;
    lastDescreen_ = index;
}

} // namespace tandemscan
