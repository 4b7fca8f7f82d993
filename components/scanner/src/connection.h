// One connection of a program to the scanner component: the source manager (SANE itself), the
// device list, one open device with its settings, and the scan running on it. Each method
// returns false with error() set when the call is out of order or fails.
#pragma once

#include "device_settings.h"
#include "driver_names.h"
#include "image_rows.h"
#include "scan_job.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <sane/sane.h>
#include <string>
#include <vector>

namespace scanner {

class Connection {
  public:
    // Held by the exported functions for the length of each call, so that a connection can be
    // used from more than one thread.
    std::mutex mutex;

    // nameSize: the bytes of one driver name slot of this component, NUL included.
    explicit Connection(std::size_t nameSize) : nameSize_(nameSize) {}
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& error() const { return error_; }
    void clearError() { error_.clear(); }
    void setError(std::string why) { error_ = std::move(why); }

    bool loadSourceManager();
    bool unloadSourceManager();
    bool openSourceManager();
    bool closeSourceManager();

    bool allDriverNames(char* table, std::size_t slots, std::size_t slotSize, char* work,
                        std::size_t workSize);
    bool firstDriverName(char* name, uint32_t nameSize);
    bool nextDriverName(char* name, uint32_t nameSize);
    bool defaultDriverName(char* name, uint32_t nameSize);

    bool openSource(const char* driverName);
    bool closeSource();
    bool enableSource();
    bool disableSource();

    // TWAIN_XFER_READY, TWAIN_CLOSE_REQUEST or 0.
    uint16_t filterEvent();
    bool memoryTransfer(void* header, void* pixels, uint32_t* byteCount, uint32_t* morePending);
    bool bandTransfer(void* header, void* pixels, uint32_t* byteCount, uint32_t* morePending);
    bool setBandRows(uint32_t rows);
    bool cancelTransfer();
    bool endTransfer();
    bool progress(uint32_t* rowsRead, uint32_t* rowsExpected);
    void setNotify(void (*notify)(void*), void* context);

    bool imageTypes(uint32_t* supported, int32_t* current);
    bool resolutionRange(float* minimum, float* maximum, float* step);
    bool scaleRange(float* minimum, float* maximum);
    bool maxScanArea(float* width, float* height);
    bool supports(uint32_t capability);

    // Setters: the source must be open and not scanning.
    bool setImageType(int32_t type);
    bool setResolution(bool vertical, int32_t dotsPerInch);
    bool setScale(bool vertical, int32_t percent);
    bool setScanArea(float left, float top, float width, float height);
    bool setBrightness(int32_t value);
    bool setContrast(int32_t value);
    bool setThreshold(int32_t value);
    bool setColorWizard(int32_t on);
    bool setDescreen(int32_t linesPerInch);
    bool setGamma(float gamma);
    bool setAutoDensity(int32_t on);
    bool enableCustom(int32_t enable);
    bool disablePopups(int32_t disable);

  private:
    enum class State { Created, Loaded, ManagerOpen, SourceOpen, Scanning };

    bool fail(std::string why);
    bool need(State least, const char* what);
    bool needSettable();
    bool needIdleDevice();
    bool readDevices();
    bool copyName(const std::string& source, char* name, uint32_t nameSize);
    bool scanReady();
    void stopScan();

    std::size_t nameSize_;
    State state_ = State::Created;
    std::string error_;
    std::vector<DeviceIdentity> devices_;
    std::vector<std::string> names_;
    std::size_t nextName_ = 0;
    SANE_Handle device_ = nullptr;
    SourceSettings settings_;
    std::unique_ptr<ScanJob> job_;
    bool reported_ = false;
    bool popupsDisabled_ = false; // remembered only: nothing here pops up
    uint32_t bandRows_ = 0;
    uint32_t bandsDone_ = 0;
    void (*notify_)(void*) = nullptr;
    void* notifyContext_ = nullptr;
};

} // namespace scanner
