// Scanning one part: the chosen driver opened with the user's choices, the scan run on the
// component's worker thread, its image taken over through a mapped working file and written as
// the side's part file, and the end reported exactly once with the end-of-scan notice.
//
// The scan uses a connection of its own to the scanner component, made at the first scan and
// kept for the next ones. When the device asks to be closed the connection and the component are
// released, and the next scan loads them again.
#pragma once

#include "engine/image_record.h"
#include "engine/memory_block.h"
#include "engine/part_check.h"
#include "engine/working_files.h"
#include "scan_settings.h"
#include "scanner_component.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tandemscan {

inline constexpr const char* scanDataFileName = "ScanImg.DAT";
inline constexpr const char* scanPartFileNames[2] = {"ScanImgL.bmp", "ScanImgR.bmp"};
// The scan area is always a letter-wide strip from the glass's corner; only its height follows
// the original.
inline constexpr float scanWidthInches = 8.5f;
// The tool command code of the end-of-scan notice.
inline constexpr int scanNoticeCode = 0x20;

// The notice's result word: 0 when the side's part file waits to be loaded, 1 when there is
// nothing to load (failure or cancel).
enum class ScanResult : int { PartReady = 0, NothingToLoad = 1 };

// Why a scan produced no part.
enum class ScanFailure {
    None,
    NoComponent,    // the component could not be loaded or its source manager opened
    OpenFailed,     // OpenDS refused the driver
    StartFailed,    // EnableDS refused the settings or the device would not start
    WorkingFile,    // ScanImg.DAT could not be created, locked or mapped
    TransferFailed, // DoMemXfer failed (the scan itself failed)
    UnusableImage,  // the image's header does not describe pixels this program handles
    WriteFailed,    // the part file could not be written
    EndedByScanner, // the device ended the scan by itself
    Cancelled,      // the user's Cancel
};

// The English sentence for a failure, to be translated before it is shown ("" for None and
// Cancelled, which need no message).
const char* scanFailureText(ScanFailure failure);

struct ScanRequest {
    std::string driverName;
    int side = 0;           // 0 left, 1 right
    int imageType = 2;      // 0 line-art, 1 gray, 2 colour
    int resolution = 100;   // dots per inch
    int descreen = 0;       // lines per inch, 0 for none
    float heightInches = 0; // of the original
};

// The original's height in inches from tenths of a millimetre.
float originalHeightInches(int tenthsOfMillimetre);
// What the current choices ask of a scan into `side`.
ScanRequest makeScanRequest(const ScanSettings& settings, int originalHeight, int side);
// Dots per inch the choices scan at: the list's value, or the custom value the list shows.
int scanResolution(const ScanSettings& settings);
// Whether a scan with the current choices may join the part already in the other side.
PartCheck checkScanAgainst(const ScanSettings& settings, const PartReference& existing);

// Where the component's entry points come from: the component file, or a stand-in in tests.
class ScannerModule {
  public:
    virtual ~ScannerModule() = default;
    // The bound entry points, loading the component when needed; null (with why) on failure.
    virtual const tsscan::ScannerApi* load(std::string& why) = 0;
    virtual void unload() = 0;
};

// The component file at `path`, loaded with dlopen.
std::unique_ptr<ScannerModule> scannerModuleFile(std::filesystem::path path);

class ScanAcquisition {
  public:
    // Writes the side's part file from the transferred image; false with why on failure.
    using PartWriter = std::function<bool(const std::filesystem::path& file, const HeaderBlock& header,
                                          const std::uint8_t* pixels, std::string& why)>;
    using NoticeHandler = std::function<void(ScanResult)>;

    struct Progress {
        std::uint32_t rowsRead = 0;
        std::uint32_t rowsExpected = 0; // 0 while the device does not know the height
    };

    ScanAcquisition(std::unique_ptr<ScannerModule> module, std::filesystem::path workingDir,
                    PartWriter writer, TwainWindow window = 0);
    // Stops a running scan without a notice and releases the component.
    ~ScanAcquisition();
    ScanAcquisition(const ScanAcquisition&) = delete;
    ScanAcquisition& operator=(const ScanAcquisition&) = delete;

    // Receives the end-of-scan notice, always on the caller's thread, once per started scan.
    void setNoticeHandler(NoticeHandler handler) { notice_ = std::move(handler); }
    // Called on the component's worker thread when a scan has ended, so that the window can
    // post itself an event and offer it to filterEvent(). It must not call back into this object.
    void setWakeHandler(std::function<void()> handler) { wake_ = std::move(handler); }

    // Starts a scan. False when it could not start; the notice with NothingToLoad has then been
    // sent and failure() says why. A second start while scanning is refused without a notice.
    bool start(const ScanRequest& request);
    // Offers the component one window event (null: a plain wake-up). True when the scan ended
    // with it and the notice has been sent.
    bool filterEvent(const TwainMessage* message = nullptr);
    // The user's Cancel: the device stops, nothing is written, the notice says NothingToLoad.
    void cancel();
    // Ends the link: a running scan stops without a notice and the component is released.
    void close();

    bool scanning() const { return scanning_; }
    int side() const { return side_; }
    bool connected() const { return connection_.connected(); }
    Progress progress() const;
    ScanFailure failure() const { return failure_; }
    // The component's or the system's own words about the failure; may be empty.
    const std::string& failureDetail() const { return detail_; }
    std::filesystem::path partFile(int side) const { return workingDir_ / scanPartFileNames[side & 1]; }
    std::filesystem::path dataFile() const { return workingDir_ / scanDataFileName; }

  private:
    bool connect();
    void release();
    std::string componentError() const;
    // Drops the working file and closes the source (DisableDS with `abandon`, CloseDS).
    void endScan(int abandon);
    // Remembers why and sends the notice.
    void report(ScanResult result, ScanFailure failure, std::string detail);
    void finish(ScanResult result, ScanFailure failure, std::string detail, int abandon);
    void transfer();
    void closeRequest();
    static void wakeFromWorker(void* context);

    std::unique_ptr<ScannerModule> module_;
    const tsscan::ScannerApi* api_ = nullptr;
    tsscan::ScannerConnection connection_; // closed by release(), before the module unloads
    std::filesystem::path workingDir_;
    PartWriter writer_;
    TwainWindow window_;
    NoticeHandler notice_;
    std::function<void()> wake_;

    bool scanning_ = false;
    int side_ = 0;
    FileHandle data_; // ScanImg.DAT while scanning
    ScanFailure failure_ = ScanFailure::None;
    std::string detail_;
};

class ImageFileLibrary;
// A part writer over one instance of the image file component, made now; null when the
// component refuses an instance.
ScanAcquisition::PartWriter imageFileWriter(const std::shared_ptr<ImageFileLibrary>& library);

} // namespace tandemscan
