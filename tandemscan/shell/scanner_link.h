// The scanner component RezuzID.so, loaded from the program folder for the life of the main
// window: its entry points bound by name, the source manager opened, and the drivers listed.
// A component that cannot be loaded or opened leaves the link empty; the program then simply
// offers no scanner.
#pragma once

#include "rezuzid.h"
#include "scan_lists.h"

#include <cstdint>
#include <filesystem>
#include <memory>
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

    bool loaded() const { return module_ != nullptr; }
    bool connected() const { return handle_ != 0; }
    const std::string& why() const { return why_; }

    struct Entries;

  private:
    void unload();

    void* module_ = nullptr;
    std::unique_ptr<Entries> entries_;
    TwainHandle handle_ = 0;
    std::uintptr_t window_ = 0;
    bool managerOpen_ = false;
    bool managerLoaded_ = false;
    std::string why_;
};

} // namespace tandemscan
