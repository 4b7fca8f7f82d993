// Shared by the scanner component tests: loading a component from the program folder, opening
// the first offered scanner, and running one scan to the end.
#pragma once

#include "scanner_component.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

namespace scanner_test {

inline const std::string kTandemscanComponent = std::string(TS_PROGRAM_DIR) + "/RezuzID.so";
inline const std::string kTilexComponent = std::string(TS_PROGRAM_DIR) + "/Tilex/TwainTX.so";

struct Picture {
    std::vector<uint8_t> header;
    std::vector<uint8_t> pixels;

    uint32_t field32(std::size_t offset) const {
        uint32_t v = 0;
        std::memcpy(&v, header.data() + offset, 4);
        return v;
    }
    uint16_t field16(std::size_t offset) const {
        uint16_t v = 0;
        std::memcpy(&v, header.data() + offset, 2);
        return v;
    }
    uint32_t width() const { return field32(4); }
    uint32_t height() const { return field32(8); }
    uint16_t bitCount() const { return field16(14); }
    uint32_t stride() const { return (width() * bitCount() + 31) / 32 * 4; }
    // Intensity 0..255 of the pixel at (x, y) counted from the top left of the picture, through
    // the palette for indexed pixels.
    uint8_t intensity(uint32_t x, uint32_t y) const {
        const uint8_t* row = pixels.data() + std::size_t{height() - 1 - y} * stride();
        uint32_t index = 0;
        switch (bitCount()) {
        case 1:
            index = (row[x / 8] >> (7 - x % 8)) & 1;
            break;
        case 8:
            index = row[x];
            break;
        default:
            return row[3 * x + 1]; // green
        }
        return header[40 + 4 * index + 1];
    }
};

// Offers every window event until the component answers, as a window would; gives up after
// about 20 seconds so that a fault cannot hang the test run.
inline uint16_t waitForEvent(const tsscan::ScannerApi& api, TwainHandle h) {
    TwainMessage message{};
    for (int i = 0; i < 20000; ++i) {
        message.message = 0x0200; // any event will do
        if (const uint16_t answer = api.TwainFilter(h, &message)) return answer;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}

// Both DoMemXfer calls: the size, then the pixels.
inline bool transfer(const tsscan::ScannerApi& api, TwainHandle h, Picture& picture) {
    picture.header.assign(TWAIN_HEADER_BLOCK_SIZE, 0xAA);
    TwainXferResult result{7, 7};
    if (!api.DoMemXfer(h, picture.header.data(), nullptr, &result)) return false;
    EXPECT_EQ(result.morePending, 0u);
    picture.pixels.assign(result.byteCount, 0xAA);
    TwainXferResult second{};
    if (!api.DoMemXfer(h, picture.header.data(), picture.pixels.data(), &second)) return false;
    EXPECT_EQ(second.byteCount, result.byteCount);
    return true;
}

// A started connection with the first offered scanner open.
class OpenScanner {
  public:
    explicit OpenScanner(const tsscan::ScannerApi& api) : api_(api), connection_(api) {}

    bool open() {
        if (!connection_.start()) return false;
        char name[TWAIN_NAME_SIZE] = {};
        return api_.GetFirstDriverName(h(), name, sizeof name) && api_.OpenDS(h(), name);
    }
    TwainHandle h() const { return connection_.handle(); }
    std::string error() const { return connection_.lastError(); }

    // EnableDS, the transfer-ready event, both transfers, DisableDS.
    bool scan(Picture& picture) {
        if (!api_.EnableDS(h(), 0, 0)) return false;
        if (waitForEvent(api_, h()) != TWAIN_XFER_READY) return false;
        const bool ok = transfer(api_, h(), picture);
        api_.DisableDS(h(), ok ? 0 : 1, 0);
        return ok;
    }

  private:
    const tsscan::ScannerApi& api_;
    tsscan::ScannerConnection connection_;
};

// Loads a component once per test program. Neither it nor SANE's test backend is ever unloaded,
// so that the leak checker can still name SANE's own allocations at exit (see lsan.supp).
inline const tsscan::ScannerApi& component(tsscan::ScannerComponent::Kind kind) {
    const bool tandemscan = kind == tsscan::ScannerComponent::Kind::Tandemscan;
    const std::string path = tandemscan ? kTandemscanComponent : kTilexComponent;
    static void* backend = dlopen(TS_SANE_TEST_BACKEND, RTLD_NOW | RTLD_LOCAL);
    static auto* forTandemscan = new tsscan::ScannerComponent;
    static auto* forTilex = new tsscan::ScannerComponent;
    EXPECT_NE(backend, nullptr) << TS_SANE_TEST_BACKEND;
    tsscan::ScannerComponent& slot = tandemscan ? *forTandemscan : *forTilex;
    if (!slot.loaded()) {
        EXPECT_TRUE(slot.load(path, kind)) << slot.error();
    }
    return slot.api();
}

} // namespace scanner_test
