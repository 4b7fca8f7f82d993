// The exported C functions: each finds its connection by handle and forwards to it. No exception
// leaves a function; a failure is 0 with a message for GetTwainErrorMessage.
#include "connection.h"

#include <cstring>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <new>

#pragma GCC visibility push(default)
#include "rezuzid.h"
#pragma GCC visibility pop

#ifndef TS_SCANNER_NAME_SIZE
#define TS_SCANNER_NAME_SIZE TWAIN_NAME_SIZE
#endif

namespace {

using scanner::Connection;

std::mutex registryMutex;
std::map<TwainHandle, std::shared_ptr<Connection>> registry;
TwainHandle lastHandle = 0;

const char* const kUnknownHandle = "No such connection: the handle is unknown or was freed.";

std::shared_ptr<Connection> find(TwainHandle h) {
    std::lock_guard lock(registryMutex);
    const auto it = registry.find(h);
    return it == registry.end() ? nullptr : it->second;
}

// Runs one call on the connection; exceptions (out of memory, mostly) become a failure.
template <typename Call> int with(TwainHandle h, Call call) {
    const std::shared_ptr<Connection> c = find(h);
    if (!c) return 0;
    std::lock_guard lock(c->mutex);
    c->clearError();
    try {
        return call(*c) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        c->setError("Out of memory.");
        return 0;
    } catch (const std::exception& e) {
        c->setError(e.what());
        return 0;
    }
}

} // namespace

extern "C" {

int NewTwain(TwainHandle* handle) {
    if (handle == nullptr) return 0;
    try {
        auto connection = std::make_shared<Connection>(TS_SCANNER_NAME_SIZE);
        std::lock_guard lock(registryMutex);
        do {
            ++lastHandle;
        } while (lastHandle == 0 || registry.count(lastHandle) != 0);
        registry.emplace(lastHandle, std::move(connection));
        *handle = lastHandle;
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}

int FreeTwain(TwainHandle h) {
    std::shared_ptr<Connection> c;
    {
        std::lock_guard lock(registryMutex);
        const auto it = registry.find(h);
        if (it == registry.end()) return 0;
        c = std::move(it->second);
        registry.erase(it);
    }
    c.reset(); // closes everything outside the registry lock
    return 1;
}

int LoadSM(TwainHandle h) {
    return with(h, [](Connection& c) { return c.loadSourceManager(); });
}
int UnloadSM(TwainHandle h) {
    return with(h, [](Connection& c) { return c.unloadSourceManager(); });
}
int OpenSM(TwainHandle h, TwainWindow) {
    return with(h, [](Connection& c) { return c.openSourceManager(); });
}
int CloseSM(TwainHandle h, TwainWindow) {
    return with(h, [](Connection& c) { return c.closeSourceManager(); });
}

int GetAllDriverName(TwainHandle h, char names[TWAIN_MAX_DRIVERS][TWAIN_NAME_SIZE],
                     char work[TWAIN_WORK_SIZE]) {
    return with(h, [&](Connection& c) {
        return c.allDriverNames(names != nullptr ? names[0] : nullptr, TWAIN_MAX_DRIVERS, TWAIN_NAME_SIZE,
                                work, TWAIN_WORK_SIZE);
    });
}
int GetFirstDriverName(TwainHandle h, char* name, uint32_t nameSize) {
    return with(h, [&](Connection& c) { return c.firstDriverName(name, nameSize); });
}
int GetNextDriverName(TwainHandle h, char* name, uint32_t nameSize) {
    return with(h, [&](Connection& c) { return c.nextDriverName(name, nameSize); });
}
int GetDefaultDriverName(TwainHandle h, char* name, uint32_t nameSize) {
    return with(h, [&](Connection& c) { return c.defaultDriverName(name, nameSize); });
}

int OpenDS(TwainHandle h, const char* driverName) {
    return with(h, [&](Connection& c) { return c.openSource(driverName); });
}
int CloseDS(TwainHandle h) {
    return with(h, [](Connection& c) { return c.closeSource(); });
}
int EnableDS(TwainHandle h, int32_t, TwainWindow) {
    return with(h, [](Connection& c) { return c.enableSource(); });
}
int DisableDS(TwainHandle h, int32_t, TwainWindow) {
    return with(h, [](Connection& c) { return c.disableSource(); });
}

uint16_t TwainFilter(TwainHandle h, const TwainMessage*) {
    const std::shared_ptr<Connection> c = find(h);
    if (!c) return 0;
    std::lock_guard lock(c->mutex);
    return c->filterEvent();
}
int DoMemXfer(TwainHandle h, void* headerBlock, void* pixels, TwainXferResult* result) {
    return with(h, [&](Connection& c) {
        return c.memoryTransfer(headerBlock, pixels, result != nullptr ? &result->byteCount : nullptr,
                                result != nullptr ? &result->morePending : nullptr);
    });
}
int CancelXfer(TwainHandle h) {
    return with(h, [](Connection& c) { return c.cancelTransfer(); });
}
int EndXfer(TwainHandle h) {
    return with(h, [](Connection& c) { return c.endTransfer(); });
}
int SetMemBandSize(TwainHandle h, uint32_t rows) {
    return with(h, [&](Connection& c) { return c.setBandRows(rows); });
}
int DoMemBandXfer(TwainHandle h, void* headerBlock, void* pixels, TwainXferResult* result) {
    return with(h, [&](Connection& c) {
        return c.bandTransfer(headerBlock, pixels, result != nullptr ? &result->byteCount : nullptr,
                              result != nullptr ? &result->morePending : nullptr);
    });
}

int GetCapImageType(TwainHandle h, uint32_t* supportedTypes, int32_t* currentType) {
    return with(h, [&](Connection& c) { return c.imageTypes(supportedTypes, currentType); });
}
int GetResRange(TwainHandle h, float* minimum, float* maximum, float* step) {
    return with(h, [&](Connection& c) { return c.resolutionRange(minimum, maximum, step); });
}
int GetScaleRange(TwainHandle h, float* minimum, float* maximum) {
    return with(h, [&](Connection& c) { return c.scaleRange(minimum, maximum); });
}
int GetMaxScanArea(TwainHandle h, float* width, float* height) {
    return with(h, [&](Connection& c) { return c.maxScanArea(width, height); });
}
int SetCapImageType(TwainHandle h, int32_t type) {
    return with(h, [&](Connection& c) { return c.setImageType(type); });
}
int SetCapXRes(TwainHandle h, int32_t dpi) {
    return with(h, [&](Connection& c) { return c.setResolution(false, dpi); });
}
int SetCapYRes(TwainHandle h, int32_t dpi) {
    return with(h, [&](Connection& c) { return c.setResolution(true, dpi); });
}
int SetCapXScale(TwainHandle h, int32_t percent) {
    return with(h, [&](Connection& c) { return c.setScale(false, percent); });
}
int SetCapYScale(TwainHandle h, int32_t percent) {
    return with(h, [&](Connection& c) { return c.setScale(true, percent); });
}
int SetScanSize(TwainHandle h, float left, float top, float width, float height) {
    return with(h, [&](Connection& c) { return c.setScanArea(left, top, width, height); });
}
int SetCapBrightness(TwainHandle h, int32_t value) {
    return with(h, [&](Connection& c) { return c.setBrightness(value); });
}
int SetCapContrast(TwainHandle h, int32_t value) {
    return with(h, [&](Connection& c) { return c.setContrast(value); });
}
int SetCapThreshold(TwainHandle h, int32_t value) {
    return with(h, [&](Connection& c) { return c.setThreshold(value); });
}
int SetCapColorWizard(TwainHandle h, int32_t on) {
    return with(h, [&](Connection& c) { return c.setColorWizard(on); });
}
int SetCapDescreen(TwainHandle h, int32_t lpi) {
    return with(h, [&](Connection& c) { return c.setDescreen(lpi); });
}
int SetCapGamma(TwainHandle h, float gamma) {
    return with(h, [&](Connection& c) { return c.setGamma(gamma); });
}
int SetCapAutoDensity(TwainHandle h, int32_t on) {
    return with(h, [&](Connection& c) { return c.setAutoDensity(on); });
}
int SupportCAP(TwainHandle h, uint32_t capability) {
    return with(h, [&](Connection& c) { return c.supports(capability); });
}
int EnableCustomCap(TwainHandle h, int32_t enable) {
    return with(h, [&](Connection& c) { return c.enableCustom(enable); });
}
int DoDisablePopupDlg(TwainHandle h, int32_t disable) {
    return with(h, [&](Connection& c) { return c.disablePopups(disable); });
}

int GetXferProgress(TwainHandle h, uint32_t* rowsRead, uint32_t* rowsExpected) {
    return with(h, [&](Connection& c) { return c.progress(rowsRead, rowsExpected); });
}
int SetXferNotify(TwainHandle h, void (*notify)(void* context), void* context) {
    return with(h, [&](Connection& c) {
        c.setNotify(notify, context);
        return true;
    });
}
const char* GetTwainErrorMessage(TwainHandle h) {
    const std::shared_ptr<Connection> c = find(h);
    if (!c) return kUnknownHandle;
    std::lock_guard lock(c->mutex);
    return c->error().c_str();
}

} // extern "C"
