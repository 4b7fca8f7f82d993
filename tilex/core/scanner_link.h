// The game's scanner component (TwainTX.so): loaded by path, counted as missing unless every
// entry point the game needs resolves; one connection at a time, closed in the right order.
#pragma once

#include "picture.h"
#include "scanner_component.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tilex {

class ScannerLink {
  public:
    static std::unique_ptr<ScannerLink> load(const std::string& path, std::string* problem = nullptr);
    ~ScannerLink();
    ScannerLink(const ScannerLink&) = delete;
    ScannerLink& operator=(const ScannerLink&) = delete;

    // NewTwain, LoadSM, OpenSM; what was opened is closed again when a step fails.
    bool openManager(TwainWindow window);
    // The first name and the following ones, at most 10; empty when there is none.
    std::vector<std::string> sourceNames();
    // OpenDS and EnableDS; on failure the source and the manager are closed again.
    bool enableSource(const std::string& name, TwainWindow window);
    // TWAIN_XFER_READY, TWAIN_CLOSE_REQUEST or 0.
    uint16_t filter(const TwainMessage& message);
    // DoMemXfer for the size, then for the pixels. Nullopt when either fails or the image cannot be shown.
    std::optional<Picture> transfer();
    // Whatever is open, in order: DisableDS, CloseDS, CloseSM, UnloadSM, FreeTwain.
    void close(TwainWindow window);
    // Asks the component to call notify(context) on its worker when a scan ends, if it can.
    void setNotify(void (*notify)(void*), void* context);

    bool connected() const { return connection_.connected(); }

  private:
    explicit ScannerLink(tsscan::ScannerComponent component);
    const tsscan::ScannerApi& api() const { return component_.api(); }

    tsscan::ScannerComponent component_;
    tsscan::ScannerConnection connection_; // after the component: closed before it goes
    bool sourceOpen_ = false;
    bool sourceEnabled_ = false;
};

} // namespace tilex
