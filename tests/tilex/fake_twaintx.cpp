// A stand-in scanner component for the window tests: offers a given number of sources, answers
// the first filtered event with "image ready" and delivers a small 24-bit picture. It records
// every call, which the tests read through FakeScannerCalls.
#include "rezuzid.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {
std::string calls;
int nextName = 0;
void note(const char* name) {
    calls += name;
    calls += ' ';
}
int sourceCount() {
    const char* count = std::getenv("FAKE_SCANNER_SOURCES");
    return count ? std::atoi(count) : 2;
}
constexpr int width = 64;
constexpr int height = 48;
constexpr uint32_t stride = (3 * width + 3) / 4 * 4;
} // namespace

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT const char* FakeScannerCalls() {
    return calls.c_str();
}
EXPORT void FakeScannerReset() {
    calls.clear();
}

EXPORT int NewTwain(TwainHandle* h) {
    note("NewTwain");
    *h = 7;
    return 1;
}
EXPORT int FreeTwain(TwainHandle) {
    note("FreeTwain");
    return 1;
}
EXPORT int LoadSM(TwainHandle) {
    note("LoadSM");
    return 1;
}
EXPORT int UnloadSM(TwainHandle) {
    note("UnloadSM");
    return 1;
}
EXPORT int OpenSM(TwainHandle, TwainWindow) {
    note("OpenSM");
    return 1;
}
EXPORT int CloseSM(TwainHandle, TwainWindow) {
    note("CloseSM");
    return 1;
}
EXPORT int OpenDS(TwainHandle, const char*) {
    note("OpenDS");
    return 1;
}
EXPORT int CloseDS(TwainHandle) {
    note("CloseDS");
    return 1;
}
EXPORT int EnableDS(TwainHandle, int32_t, TwainWindow) {
    note("EnableDS");
    return 1;
}
EXPORT int DisableDS(TwainHandle, int32_t, TwainWindow) {
    note("DisableDS");
    return 1;
}
EXPORT int DoMemXfer(TwainHandle, void* header, void* pixels, TwainXferResult* result) {
    note("DoMemXfer");
    auto* h = static_cast<uint8_t*>(header);
    std::memset(h, 0, TWAIN_HEADER_BLOCK_SIZE);
    const uint32_t fields[] = {40, width, height};
    std::memcpy(h, fields, sizeof fields);
    h[12] = 1;
    h[14] = 24;
    result->byteCount = stride * height;
    result->morePending = 0;
    if (pixels != nullptr) {
        auto* p = static_cast<uint8_t*>(pixels);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* bgr = p + static_cast<uint32_t>(y) * stride + 3 * static_cast<uint32_t>(x);
                bgr[0] = static_cast<uint8_t>(4 * x);
                bgr[1] = static_cast<uint8_t>(5 * y);
                bgr[2] = 200;
            }
    }
    return 1;
}
EXPORT int GetFirstDriverName(TwainHandle, char* name, uint32_t) {
    note("GetFirstDriverName");
    nextName = 0;
    if (sourceCount() == 0) return 0;
    std::strcpy(name, "Fake scanner 1");
    nextName = 1;
    return 1;
}
EXPORT int GetNextDriverName(TwainHandle, char* name, uint32_t) {
    if (nextName >= sourceCount()) return 0;
    ++nextName;
    std::strcpy(name, ("Fake scanner " + std::to_string(nextName)).c_str());
    return 1;
}
EXPORT int GetDefaultDriverName(TwainHandle, char*, uint32_t) {
    return 0;
}
EXPORT int GetCapImageType(TwainHandle, uint32_t*, int32_t*) {
    return 1;
}
EXPORT int GetResRange(TwainHandle, float*, float*, float*) {
    return 1;
}
EXPORT int GetScaleRange(TwainHandle, float*, float*) {
    return 1;
}
EXPORT int GetMaxScanArea(TwainHandle, float*, float*) {
    return 1;
}
EXPORT int SetCapImageType(TwainHandle, int32_t) {
    return 1;
}
EXPORT int SetCapXRes(TwainHandle, int32_t) {
    return 1;
}
EXPORT int SetCapYRes(TwainHandle, int32_t) {
    return 1;
}
EXPORT int SetCapXScale(TwainHandle, int32_t) {
    return 1;
}
EXPORT int SetCapYScale(TwainHandle, int32_t) {
    return 1;
}
EXPORT int SetScanSize(TwainHandle, float, float, float, float) {
    return 1;
}
EXPORT uint16_t TwainFilter(TwainHandle, const TwainMessage*) {
    return TWAIN_XFER_READY;
}
