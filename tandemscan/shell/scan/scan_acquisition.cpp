#include "scan_acquisition.h"

#include "engine/image_file.h"
#include "engine/pixel_tools.h"
#include "scan_lists.h"

#include <cerrno>
#include <cstring>
#include <sys/file.h>
#include <unistd.h>
#include <utility>

namespace tandemscan {

namespace fs = std::filesystem;

const char* scanFailureText(ScanFailure failure) {
    switch (failure) {
    case ScanFailure::NoComponent:
        return "The scanner component could not be started.";
    case ScanFailure::OpenFailed:
        return "The scanner could not be opened.";
    case ScanFailure::StartFailed:
        return "The scanner could not start scanning.";
    case ScanFailure::WorkingFile:
        return "The working file for the scan could not be prepared.";
    case ScanFailure::TransferFailed:
        return "The scan failed; nothing was loaded.";
    case ScanFailure::UnusableImage:
        return "The scanner delivered an image this program cannot use.";
    case ScanFailure::WriteFailed:
        return "The scanned part could not be written.";
    case ScanFailure::EndedByScanner:
        return "The scanner ended the scan; nothing was loaded.";
    case ScanFailure::None:
    case ScanFailure::Cancelled:
        break;
    }
    return "";
}

float originalHeightInches(int tenthsOfMillimetre) {
    return static_cast<float>(tenthsOfMillimetre / 254.0);
}

ScanRequest makeScanRequest(const ScanSettings& settings, int originalHeight, int side) {
    ScanRequest request;
    request.driverName = settings.chosenDriver();
    request.side = side & 1;
    request.imageType = static_cast<int>(settings.imageType);
    request.resolution = scanResolution(settings);
    request.descreen = settings.descreen;
    request.heightInches = originalHeightInches(originalHeight);
    return request;
}

int scanResolution(const ScanSettings& settings) {
    // The custom entry and "Custom..." carry no table value; the settings hold the value shown.
    const int table = resolutionForIndex(settings.resolutionIndex);
    return table != 0 ? table : settings.resolution;
}

PartCheck checkScanAgainst(const ScanSettings& settings, const PartReference& existing) {
    const bool gray = settings.imageType == ColourType::Gray;
    const std::uint32_t bits = settings.imageType == ColourType::LineArt ? 1 : gray ? 8 : 24;
    const auto pelsPerMeter = static_cast<std::int32_t>(scanResolution(settings) * 39.37 + 0.5);
    return checkScanRequest(bits, gray, pelsPerMeter, existing);
}

namespace {

class ScannerModuleFile final : public ScannerModule {
  public:
    explicit ScannerModuleFile(fs::path path) : path_(std::move(path)) {}

    const tsscan::ScannerApi* load(std::string& why) override {
        if (!component_.loaded() &&
            !component_.load(path_.string(), tsscan::ScannerComponent::Kind::Tandemscan)) {
            why = component_.error();
            return nullptr;
        }
        return &component_.api();
    }
    void unload() override { component_.unload(); }

  private:
    fs::path path_;
    tsscan::ScannerComponent component_;
};

// Only one scan at a time may own the transfer file, even across two copies of the program.
bool lockExclusively(int fd) {
    return ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

} // namespace

ScanAcquisition::PartWriter imageFileWriter(const std::shared_ptr<ImageFileLibrary>& library) {
    if (!library) return {};
    std::optional<ImageFileInstance> instance = library->newInstance();
    if (!instance) return {};
    auto shared = std::make_shared<ImageFileInstance>(std::move(*instance));
    return [shared](const fs::path& file, const HeaderBlock& header, const std::uint8_t* pixels,
                    std::string& why) {
        if (shared->writeImage(file, header, pixels)) return true;
        why = shared->lastErrorMessage();
        return false;
    };
}

std::unique_ptr<ScannerModule> scannerModuleFile(fs::path path) {
    return std::make_unique<ScannerModuleFile>(std::move(path));
}

ScanAcquisition::ScanAcquisition(std::unique_ptr<ScannerModule> module, fs::path workingDir,
                                 PartWriter writer, TwainWindow window)
    : module_(std::move(module)), workingDir_(std::move(workingDir)), writer_(std::move(writer)),
      window_(window) {}

ScanAcquisition::~ScanAcquisition() {
    close();
}

void ScanAcquisition::wakeFromWorker(void* context) {
    auto* self = static_cast<ScanAcquisition*>(context);
    if (self->wake_) self->wake_();
}

std::string ScanAcquisition::componentError() const {
    return api_ && api_->GetTwainErrorMessage ? api_->GetTwainErrorMessage(connection_.handle())
                                              : std::string();
}

bool ScanAcquisition::connect() {
    if (connection_.connected()) return true;
    std::string why;
    api_ = module_ ? module_->load(why) : nullptr;
    if (!api_) {
        detail_ = why;
        return false;
    }
    if (connection_.start(*api_, window_)) return true;
    switch (connection_.failedStep()) {
    case tsscan::ScannerConnection::Step::LoadSM:
        detail_ = "the source manager could not be loaded";
        break;
    case tsscan::ScannerConnection::Step::OpenSM:
        detail_ = "the source manager could not be opened";
        break;
    default:
        detail_ = "no connection to the scanner component";
        break;
    }
    release();
    return false;
}

void ScanAcquisition::release() {
    connection_.close();
    api_ = nullptr;
    if (module_) module_->unload();
}

bool ScanAcquisition::start(const ScanRequest& request) {
    if (scanning_) return false;
    side_ = request.side & 1;
    failure_ = ScanFailure::None;
    detail_.clear();
    if (!connect()) {
        report(ScanResult::NothingToLoad, ScanFailure::NoComponent, detail_);
        return false;
    }
    const TwainHandle h = connection_.handle();
    // The component reads at most one name slot; never hand it more.
    char name[TWAIN_NAME_SIZE] = {};
    request.driverName.copy(name, TWAIN_NAME_SIZE - 1);
    if (!api_->OpenDS(h, name)) {
        const std::string why = componentError();
        api_->CloseDS(h);
        report(ScanResult::NothingToLoad, ScanFailure::OpenFailed, why);
        return false;
    }
    // Before EnableDS: the component takes the wake-up along when the worker starts.
    if (api_->SetXferNotify) api_->SetXferNotify(h, wake_ ? &ScanAcquisition::wakeFromWorker : nullptr, this);
    api_->EnableCustomCap(h, 1);
    api_->SetCapDescreen(h, request.descreen);
    api_->SetCapXRes(h, request.resolution);
    api_->SetCapYRes(h, request.resolution);
    api_->SetCapImageType(h, request.imageType);
    api_->SetScanSize(h, 0.0f, 0.0f, scanWidthInches, request.heightInches);
    if (!api_->EnableDS(h, 0, window_)) {
        const std::string why = componentError();
        api_->DisableDS(h, 0, window_);
        api_->CloseDS(h);
        report(ScanResult::NothingToLoad, ScanFailure::StartFailed, why);
        return false;
    }
    scanning_ = true;
    data_ = openWorkingFile(dataFile());
    if (!data_.valid()) {
        const std::string why = std::strerror(errno);
        endScan(1);
        report(ScanResult::NothingToLoad, ScanFailure::WorkingFile, dataFile().string() + ": " + why);
        return false;
    }
    if (!lockExclusively(data_.get())) {
        data_.close(); // the other copy's file: closed, not deleted
        endScan(1);
        report(ScanResult::NothingToLoad, ScanFailure::WorkingFile,
               dataFile().string() + ": another copy of the program is scanning");
        return false;
    }
    return true;
}

bool ScanAcquisition::filterEvent(const TwainMessage* message) {
    if (!scanning_) return false;
    TwainMessage packed{};
    if (message) {
        packed = *message;
    } else {
        packed.window = static_cast<std::uint32_t>(window_);
    }
    switch (api_->TwainFilter(connection_.handle(), &packed)) {
    case TWAIN_XFER_READY:
        transfer();
        return true;
    case TWAIN_CLOSE_REQUEST:
        closeRequest();
        return true;
    default:
        return false;
    }
}

void ScanAcquisition::transfer() {
    const TwainHandle h = connection_.handle();
    HeaderBlock header{};
    TwainXferResult result{};
    if (!api_->DoMemXfer(h, &header, nullptr, &result)) {
        finish(ScanResult::NothingToLoad, ScanFailure::TransferFailed, componentError(), 0);
        return;
    }
    // The header crosses a boundary: the pixel block must be exactly what it describes.
    const std::uint32_t expected = PixelTools::imageDataSize(header.header);
    if (expected == 0 || expected != result.byteCount) {
        finish(ScanResult::NothingToLoad, ScanFailure::UnusableImage,
               std::to_string(header.header.width) + " x " + std::to_string(header.header.height) +
                   " pixels, " + std::to_string(header.header.bitCount) + " bits per pixel, " +
                   std::to_string(result.byteCount) + " bytes",
               1);
        return;
    }
    std::optional<MemoryBlock> view = MemoryBlock::mapFile(data_.get(), result.byteCount);
    if (!view) {
        finish(ScanResult::NothingToLoad, ScanFailure::WorkingFile,
               dataFile().string() + ": " + std::strerror(errno), 1);
        return;
    }
    const ImageHeader asked = header.header;
    if (!api_->DoMemXfer(h, &header, view->data(), &result)) {
        finish(ScanResult::NothingToLoad, ScanFailure::TransferFailed, componentError(), 1);
        return;
    }
    if (std::memcmp(&asked, &header.header, sizeof asked) != 0 || result.byteCount != expected) {
        finish(ScanResult::NothingToLoad, ScanFailure::UnusableImage,
               "the image changed between the two transfers", 1);
        return;
    }
    std::string why;
    const bool written = writer_ && writer_(partFile(side_), header, view->data(), why);
    view.reset();
    if (!written) {
        finish(ScanResult::NothingToLoad, ScanFailure::WriteFailed, partFile(side_).string() + ": " + why, 0);
        return;
    }
    finish(ScanResult::PartReady, ScanFailure::None, {}, 0);
}

void ScanAcquisition::closeRequest() {
    // The device gave up by itself: the source, the source manager and the component all go,
    // and the next scan starts them afresh. Nothing new was written, so nothing is loaded.
    endScan(0);
    release();
    report(ScanResult::NothingToLoad, ScanFailure::EndedByScanner, {});
}

void ScanAcquisition::cancel() {
    if (!scanning_) return;
    api_->CancelXfer(connection_.handle());
    finish(ScanResult::NothingToLoad, ScanFailure::Cancelled, {}, 1);
}

void ScanAcquisition::endScan(int abandon) {
    if (!scanning_) return;
    const TwainHandle h = connection_.handle();
    if (data_.valid()) {
        data_.close();
        ::unlink(dataFile().c_str());
    }
    api_->DisableDS(h, abandon, window_);
    api_->CloseDS(h);
    if (api_->SetXferNotify) api_->SetXferNotify(h, nullptr, nullptr);
    scanning_ = false;
}

void ScanAcquisition::report(ScanResult result, ScanFailure failure, std::string detail) {
    failure_ = failure;
    detail_ = std::move(detail);
    if (notice_) notice_(result);
}

void ScanAcquisition::finish(ScanResult result, ScanFailure failure, std::string detail, int abandon) {
    endScan(abandon);
    report(result, failure, std::move(detail));
}

void ScanAcquisition::close() {
    if (scanning_) {
        api_->CancelXfer(connection_.handle());
        endScan(1);
    }
    release();
}

ScanAcquisition::Progress ScanAcquisition::progress() const {
    Progress progress;
    if (scanning_ && api_->GetXferProgress) {
        api_->GetXferProgress(connection_.handle(), &progress.rowsRead, &progress.rowsExpected);
    }
    return progress;
}

} // namespace tandemscan
