// A scanner component stand-in for the acquisition tests: it writes down every call with its
// arguments, fails at the step a test names, answers TwainFilter as the test sets it up, and
// hands over a small picture.
#pragma once

#include "scan/scan_acquisition.h"

#include <cstring>
#include <string>
#include <vector>

namespace scan_fake {

struct Scanner {
    std::vector<std::string> calls;
    std::string failAt; // "load", a call's name, or "DoMemXfer#1" / "DoMemXfer#2"
    bool ended = false; // the scan has ended; TwainFilter may answer
    std::uint16_t answer = TWAIN_XFER_READY;
    tandemscan::HeaderBlock header{};
    std::uint32_t byteCount = 0;
    std::uint8_t fill = 0x5A; // every pixel byte handed over
    int transfers = 0;
    int loads = 0;
    int unloads = 0;
    float area[4] = {};
    std::string openedName;
    void (*notify)(void*) = nullptr;
    void* context = nullptr;

    // A gray picture of width x height at 150 dpi, as the device would describe it.
    void picture(std::int32_t width, std::int32_t height, std::uint16_t bits = 8,
                 std::int32_t pelsPerMeter = 5906) {
        header = {};
        header.header.size = 40;
        header.header.width = width;
        header.header.height = height;
        header.header.planes = 1;
        header.header.bitCount = bits;
        header.header.xPelsPerMeter = pelsPerMeter;
        header.header.yPelsPerMeter = pelsPerMeter;
        byteCount = static_cast<std::uint32_t>((width * bits + 31) / 32 * 4 * height);
        header.header.sizeImage = byteCount;
    }
    // The scan ends on the "worker": the window's wake-up is called as the component would.
    void endScan(std::uint16_t with = TWAIN_XFER_READY) {
        ended = true;
        answer = with;
        if (notify) notify(context);
    }
};

inline Scanner& scanner() {
    static Scanner state;
    return state;
}

inline int record(const std::string& call, bool fails = false) {
    scanner().calls.push_back(call);
    return fails || scanner().failAt == call.substr(0, call.find(' ')) ? 0 : 1;
}

inline std::string number(long value) {
    return std::to_string(value);
}

inline const tsscan::ScannerApi& api() {
    static const tsscan::ScannerApi table = [] {
        tsscan::ScannerApi a;
        a.NewTwain = [](TwainHandle* h) {
            *h = 9;
            return record("NewTwain");
        };
        a.FreeTwain = [](TwainHandle h) { return record("FreeTwain " + number(h)); };
        a.LoadSM = [](TwainHandle h) { return record("LoadSM " + number(h)); };
        a.UnloadSM = [](TwainHandle h) { return record("UnloadSM " + number(h)); };
        a.OpenSM = [](TwainHandle h, TwainWindow w) {
            return record("OpenSM " + number(h) + " " + number(long(w)));
        };
        a.CloseSM = [](TwainHandle h, TwainWindow w) {
            return record("CloseSM " + number(h) + " " + number(long(w)));
        };
        a.OpenDS = [](TwainHandle h, const char* name) {
            scanner().openedName = name;
            return record("OpenDS " + number(h));
        };
        a.CloseDS = [](TwainHandle h) { return record("CloseDS " + number(h)); };
        a.EnableDS = [](TwainHandle h, std::int32_t ui, TwainWindow w) {
            return record("EnableDS " + number(h) + " " + number(ui) + " " + number(long(w)));
        };
        a.DisableDS = [](TwainHandle h, std::int32_t abandon, TwainWindow w) {
            return record("DisableDS " + number(h) + " " + number(abandon) + " " + number(long(w)));
        };
        a.CancelXfer = [](TwainHandle h) { return record("CancelXfer " + number(h)); };
        a.EnableCustomCap = [](TwainHandle h, std::int32_t on) {
            return record("EnableCustomCap " + number(h) + " " + number(on));
        };
        a.SetCapDescreen = [](TwainHandle h, std::int32_t lpi) {
            return record("SetCapDescreen " + number(h) + " " + number(lpi));
        };
        a.SetCapXRes = [](TwainHandle h, std::int32_t dpi) {
            return record("SetCapXRes " + number(h) + " " + number(dpi));
        };
        a.SetCapYRes = [](TwainHandle h, std::int32_t dpi) {
            return record("SetCapYRes " + number(h) + " " + number(dpi));
        };
        a.SetCapImageType = [](TwainHandle h, std::int32_t type) {
            return record("SetCapImageType " + number(h) + " " + number(type));
        };
        a.SetScanSize = [](TwainHandle h, float left, float top, float width, float height) {
            const float values[4] = {left, top, width, height};
            std::memcpy(scanner().area, values, sizeof values);
            return record("SetScanSize " + number(h));
        };
        a.SetXferNotify = [](TwainHandle h, void (*notify)(void*), void* context) {
            scanner().notify = notify;
            scanner().context = context;
            return record("SetXferNotify " + number(h) + (notify ? " on" : " off"));
        };
        a.GetXferProgress = [](TwainHandle, std::uint32_t* read, std::uint32_t* expected) {
            *read = 40;
            *expected = static_cast<std::uint32_t>(scanner().header.header.height);
            return 1;
        };
        a.TwainFilter = [](TwainHandle h, const TwainMessage* message) -> std::uint16_t {
            record("TwainFilter " + number(h) + " " + number(message ? long(message->message) : -1));
            if (!scanner().ended) return 0;
            scanner().ended = false; // answered once
            return scanner().answer;
        };
        a.DoMemXfer = [](TwainHandle h, void* header, void* pixels, TwainXferResult* result) {
            Scanner& s = scanner();
            const std::string step = "DoMemXfer#" + number(++s.transfers);
            if (record("DoMemXfer " + number(h) + (pixels ? " pixels" : " size"), s.failAt == step) == 0)
                return 0;
            std::memcpy(header, &s.header, sizeof s.header);
            result->byteCount = s.byteCount;
            result->morePending = 0;
            if (pixels) std::memset(pixels, s.fill, s.byteCount);
            return 1;
        };
        a.GetTwainErrorMessage = [](TwainHandle) { return "the fake says no"; };
        return a;
    }();
    return table;
}

class Module final : public tandemscan::ScannerModule {
  public:
    const tsscan::ScannerApi* load(std::string& why) override {
        ++scanner().loads;
        if (scanner().failAt == "load") {
            why = "no such component";
            return nullptr;
        }
        return &api();
    }
    void unload() override { ++scanner().unloads; }
};

// Fresh state for a test: no calls, a 100 x 60 gray picture, nothing failing.
inline Scanner& reset() {
    scanner() = Scanner{};
    scanner().picture(100, 60);
    return scanner();
}

} // namespace scan_fake
