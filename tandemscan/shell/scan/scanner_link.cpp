#include "scanner_link.h"

#include <cstring>

namespace tandemscan {

ScannerLink::ScannerLink() = default;

ScannerLink::~ScannerLink() {
    close();
}

bool ScannerLink::start(const std::filesystem::path& componentPath, std::uintptr_t window) {
    close();
    // The link calls only some entry points today, but a component missing any is not the one
    // this program was built for.
    if (!component_.load(componentPath.string(), tsscan::ScannerComponent::Kind::Tandemscan)) {
        why_ = component_.missingEntry()
                   ? std::string("the scanner component has no ") + component_.missingEntry()
                   : component_.error();
        component_.unload();
        return false;
    }
    if (!connection_.start(component_.api(), window)) {
        switch (connection_.failedStep()) {
        case tsscan::ScannerConnection::Step::LoadSM:
            why_ = "the scanner source manager could not be loaded";
            break;
        case tsscan::ScannerConnection::Step::OpenSM:
            why_ = "the scanner source manager could not be opened";
            break;
        default:
            why_ = "the scanner component made no connection";
            break;
        }
        component_.unload();
        return false;
    }
    why_.clear();
    return true;
}

DriverEnumeration ScannerLink::enumerate(int driverCount) {
    DriverEnumeration result;
    if (!connection_.managerOpen()) return result;
    char names[TWAIN_MAX_DRIVERS][TWAIN_NAME_SIZE];
    for (int i = 0; i < driverCount; ++i) {
        std::memset(names, 0, sizeof names);
        char work[TWAIN_WORK_SIZE] = {};
        if (component_.api().GetAllDriverName(connection_.handle(), names, work) == 1) {
            result.available = true;
            break;
        }
    }
    if (!result.available) {
        connection_.closeManager();
        return result;
    }
    for (std::size_t i = 0; i < result.table.size(); ++i) {
        // The component's slots are fixed-size; never read past one even without a terminator.
        result.table[i] = std::string(names[i], ::strnlen(names[i], TWAIN_NAME_SIZE - 1));
    }
    return result;
}

void ScannerLink::close() {
    connection_.close();
    component_.unload();
}

} // namespace tandemscan
