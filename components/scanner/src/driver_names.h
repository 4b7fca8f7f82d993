// The names under which SANE devices are offered to the programs: each begins with the maker's
// prefix "Lumiview" that the programs' data source lists look for.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace scanner {

struct DeviceIdentity {
    std::string saneName; // what sane_open takes, e.g. "test:0"
    std::string vendor;
    std::string model;
};

// "Lumiview <vendor> <model>" (the SANE name when vendor and model are both empty), control
// characters turned into spaces, cut to maxLength bytes without splitting a UTF-8 character, and
// made unique by replacing the end with " #2", " #3", ... One name per device, in order.
std::vector<std::string> offeredNames(std::span<const DeviceIdentity> devices, std::size_t maxLength);

} // namespace scanner
