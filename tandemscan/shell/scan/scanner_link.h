// The scanner component RezuzID.so, loaded from the program folder for the life of the main
// window: its entry points bound by name, the source manager opened, and the drivers listed.
// A component that cannot be loaded or opened leaves the link empty; the program then simply
// offers no scanner.
#pragma once

#include "scan_lists.h"
#include "scanner_component.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace tandemscan {

inline constexpr const char* scannerComponentName = "RezuzID.so";

class ScannerLink {
  public:
    ScannerLink();
    ~ScannerLink();
    ScannerLink(const ScannerLink&) = delete;
    ScannerLink& operator=(const ScannerLink&) = delete;

    // Loads the component, binds its entry points, creates the connection and opens the
    // source manager. False (and an empty link) when any step fails; why() says which.
    bool start(const std::filesystem::path& componentPath, std::uintptr_t window);
    // Asks for the driver names driverCount times; available when any answer was 1. A failed
    // enumeration closes the source manager, as no scan can follow.
    DriverEnumeration enumerate(int driverCount);
    // Closes the source manager and the connection and unloads the component.
    void close();

    bool loaded() const { return component_.loaded(); }
    bool connected() const { return connection_.connected(); }
    const std::string& why() const { return why_; }

  private:
    tsscan::ScannerComponent component_;
    tsscan::ScannerConnection connection_; // after the component: closed before it goes
    std::string why_;
};

} // namespace tandemscan
