#include "connection.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace scanner {

namespace {

constexpr std::size_t kMaxDrivers = 10;

// SANE is one per process; every connection that loaded the source manager holds it.
std::mutex saneMutex;
int saneUsers = 0;

bool acquireSane(std::string& why) {
    std::lock_guard lock(saneMutex);
    if (saneUsers == 0) {
        SANE_Int version = 0;
        const SANE_Status status = sane_init(&version, nullptr);
        if (status != SANE_STATUS_GOOD) {
            why = std::string("SANE could not be started: ") + sane_strstatus(status) + ".";
            return false;
        }
    }
    ++saneUsers;
    return true;
}

void releaseSane() {
    std::lock_guard lock(saneMutex);
    if (saneUsers > 0 && --saneUsers == 0) sane_exit();
}

} // namespace

Connection::~Connection() {
    if (state_ != State::Created) unloadSourceManager();
}

bool Connection::fail(std::string why) {
    error_ = std::move(why);
    return false;
}

bool Connection::need(State least, const char* what) {
    if (state_ >= least) return true;
    return fail(std::string(what));
}

bool Connection::needIdleDevice() {
    if (state_ == State::Scanning && job_ && !job_->finished()) {
        return fail("The scanner cannot be asked while it scans.");
    }
    return need(State::SourceOpen, "No scanner is open (OpenDS comes first).");
}

bool Connection::needSettable() {
    if (state_ == State::Scanning) return fail("Settings cannot change while scanning.");
    return need(State::SourceOpen, "No scanner is open (OpenDS comes first).");
}

// --- Source manager -----------------------------------------------------------------------------

bool Connection::loadSourceManager() {
    if (state_ != State::Created) return fail("The source manager is already loaded.");
    if (!acquireSane(error_)) return false;
    state_ = State::Loaded;
    return true;
}

bool Connection::unloadSourceManager() {
    if (state_ >= State::ManagerOpen) closeSourceManager();
    if (state_ != State::Loaded) return fail("The source manager is not loaded.");
    releaseSane();
    state_ = State::Created;
    return true;
}

bool Connection::openSourceManager() {
    if (state_ == State::Created) return fail("The source manager is not loaded (LoadSM comes first).");
    if (state_ != State::Loaded) return fail("The source manager is already open.");
    if (!readDevices()) return false;
    state_ = State::ManagerOpen;
    return true;
}

bool Connection::closeSourceManager() {
    if (state_ >= State::SourceOpen) closeSource();
    if (state_ != State::ManagerOpen) return fail("The source manager is not open.");
    devices_.clear();
    names_.clear();
    nextName_ = 0;
    state_ = State::Loaded;
    return true;
}

bool Connection::readDevices() {
    const SANE_Device** list = nullptr;
    SANE_Status status;
    {
        std::lock_guard lock(saneMutex);
        status = sane_get_devices(&list, SANE_FALSE);
    }
    if (status != SANE_STATUS_GOOD || list == nullptr) {
        return fail(std::string("The list of scanners could not be read: ") + sane_strstatus(status) + ".");
    }
    devices_.clear();
    for (const SANE_Device** d = list; *d != nullptr && devices_.size() < kMaxDrivers; ++d) {
        const auto text = [](const char* s) { return std::string(s != nullptr ? s : ""); };
        devices_.push_back({text((*d)->name), text((*d)->vendor), text((*d)->model)});
    }
    names_ = offeredNames(devices_, nameSize_ - 1);
    nextName_ = 0;
    return true;
}

// --- Driver names -------------------------------------------------------------------------------

bool Connection::copyName(const std::string& source, char* name, uint32_t nameSize) {
    const std::size_t size = nameSize == 0 ? nameSize_ : nameSize;
    if (name == nullptr) return fail("No buffer was given for the name.");
    if (source.size() + 1 > size) return fail("The buffer is too small for the name \"" + source + "\".");
    std::memcpy(name, source.c_str(), source.size() + 1);
    return true;
}

bool Connection::allDriverNames(char* table, std::size_t slots, std::size_t slotSize, char* work,
                                std::size_t workSize) {
    if (!need(State::ManagerOpen, "The source manager is not open (OpenSM comes first).")) return false;
    if (table == nullptr) return fail("No table was given for the names.");
    std::memset(table, 0, slots * slotSize);
    const std::size_t count = std::min(slots, names_.size());
    for (std::size_t i = 0; i < count; ++i) {
        std::strncpy(table + i * slotSize, names_[i].c_str(), slotSize - 1);
    }
    if (work != nullptr && workSize > 0) {
        std::memset(work, 0, workSize);
        if (!devices_.empty()) std::strncpy(work, devices_.front().saneName.c_str(), workSize - 1);
    }
    if (count == 0) return fail("No scanner was found.");
    return true;
}

bool Connection::firstDriverName(char* name, uint32_t nameSize) {
    if (!need(State::ManagerOpen, "The source manager is not open (OpenSM comes first).")) return false;
    if (names_.empty()) return fail("No scanner was found.");
    if (!copyName(names_.front(), name, nameSize)) return false;
    nextName_ = 1;
    return true;
}

bool Connection::nextDriverName(char* name, uint32_t nameSize) {
    if (!need(State::ManagerOpen, "The source manager is not open (OpenSM comes first).")) return false;
    if (nextName_ == 0) return fail("GetFirstDriverName comes before GetNextDriverName.");
    if (nextName_ >= names_.size()) return fail("There are no more scanners.");
    if (!copyName(names_[nextName_], name, nameSize)) return false;
    ++nextName_;
    return true;
}

bool Connection::defaultDriverName(char* name, uint32_t nameSize) {
    if (!need(State::ManagerOpen, "The source manager is not open (OpenSM comes first).")) return false;
    if (names_.empty()) return fail("No scanner was found.");
    std::size_t chosen = 0;
    if (const char* wanted = std::getenv("SANE_DEFAULT_DEVICE")) {
        for (std::size_t i = 0; i < devices_.size(); ++i) {
            if (devices_[i].saneName == wanted) chosen = i;
        }
    }
    return copyName(names_[chosen], name, nameSize);
}

// --- Data source --------------------------------------------------------------------------------

bool Connection::openSource(const char* driverName) {
    if (!need(State::ManagerOpen, "The source manager is not open (OpenSM comes first).")) return false;
    if (state_ != State::ManagerOpen) return fail("A scanner is already open (CloseDS comes first).");
    if (driverName == nullptr) return fail("No scanner name was given.");
    const std::string wanted(driverName, strnlen(driverName, nameSize_));
    const auto it = std::find(names_.begin(), names_.end(), wanted);
    if (it == names_.end()) return fail("No scanner is offered under the name \"" + wanted + "\".");
    const DeviceIdentity& device = devices_[static_cast<std::size_t>(it - names_.begin())];
    SANE_Handle handle = nullptr;
    const SANE_Status status = sane_open(device.saneName.c_str(), &handle);
    if (status != SANE_STATUS_GOOD || handle == nullptr) {
        return fail("The scanner \"" + wanted + "\" could not be opened: " + sane_strstatus(status) + ".");
    }
    device_ = handle;
    settings_ = SourceSettings{};
    bandRows_ = 0;
    state_ = State::SourceOpen;
    return true;
}

bool Connection::closeSource() {
    if (state_ == State::Scanning) disableSource();
    if (state_ != State::SourceOpen) return fail("No scanner is open.");
    sane_close(device_);
    device_ = nullptr;
    state_ = State::ManagerOpen;
    return true;
}

void Connection::stopScan() {
    job_.reset(); // cancels and joins a running worker
    reported_ = false;
}

bool Connection::enableSource() {
    if (state_ == State::Scanning) return fail("The scanner is already scanning.");
    if (!need(State::SourceOpen, "No scanner is open (OpenDS comes first).")) return false;
    double xDpi = 0;
    double yDpi = 0;
    if (!applySettings(device_, settings_, &xDpi, &yDpi, error_)) return false;
    ScanRequest request;
    request.handle = device_;
    request.type = settings_.type;
    request.threshold = static_cast<uint8_t>(settings_.customEnabled ? settings_.threshold : 128);
    request.xDotsPerInch = xDpi;
    request.yDotsPerInch = yDpi;
    void (*notify)(void*) = notify_;
    void* context = notifyContext_;
    reported_ = false;
    bandsDone_ = 0;
    job_ = std::make_unique<ScanJob>(request, [notify, context] {
        if (notify != nullptr) notify(context);
    });
    state_ = State::Scanning;
    return true;
}

bool Connection::disableSource() {
    if (state_ != State::Scanning) return fail("The scanner is not enabled.");
    stopScan();
    state_ = State::SourceOpen;
    return true;
}

// --- Events and transfer ------------------------------------------------------------------------

uint16_t Connection::filterEvent() {
    if (state_ != State::Scanning || !job_ || !job_->finished() || reported_) return 0;
    reported_ = true;
    return job_->outcome().endedByDevice ? 0x0102 : 0x0101;
}

bool Connection::scanReady() {
    if (state_ != State::Scanning) return fail("The scanner is not enabled (EnableDS comes first).");
    if (!job_) return fail("No image is waiting (the transfer has ended).");
    if (!job_->finished()) return fail("The scan has not ended yet.");
    reported_ = true;
    if (!job_->outcome().ok) return fail(job_->outcome().error);
    return true;
}

bool Connection::memoryTransfer(void* header, void* pixels, uint32_t* byteCount, uint32_t* morePending) {
    if (header == nullptr || byteCount == nullptr || morePending == nullptr) {
        return fail("The header block and the result words are required.");
    }
    if (!scanReady()) return false;
    const ScanOutcome& image = job_->outcome();
    std::memcpy(header, image.header.data(), image.header.size());
    *byteCount = static_cast<uint32_t>(image.pixels.size());
    *morePending = 0;
    if (pixels != nullptr) std::memcpy(pixels, image.pixels.data(), image.pixels.size());
    return true;
}

bool Connection::setBandRows(uint32_t rows) {
    if (rows == 0) return fail("A band has at least one row.");
    if (!need(State::SourceOpen, "No scanner is open (OpenDS comes first).")) return false;
    bandRows_ = rows;
    return true;
}

bool Connection::bandTransfer(void* header, void* pixels, uint32_t* byteCount, uint32_t* morePending) {
    if (header == nullptr || byteCount == nullptr || morePending == nullptr) {
        return fail("The header block and the result words are required.");
    }
    if (!scanReady()) return false;
    const ScanOutcome& image = job_->outcome();
    const uint32_t rowsPerBand = bandRows_ != 0 ? bandRows_ : image.height;
    const uint64_t firstRow = uint64_t{bandsDone_} * rowsPerBand; // counted from the top
    if (firstRow >= image.height) return fail("Every band has been transferred.");
    const auto rows = static_cast<uint32_t>(std::min<uint64_t>(rowsPerBand, image.height - firstRow));
    // Picture rows [first, first + rows) lie bottom-up at storage rows [height - first - rows, ...).
    const std::size_t storageRow = image.height - firstRow - rows;
    std::memcpy(header, image.header.data(), image.header.size());
    auto* h = static_cast<uint8_t*>(header);
    const uint32_t bytes = rows * image.stride;
    for (int i = 0; i < 4; ++i) {
        h[8 + i] = static_cast<uint8_t>(rows >> (8 * i));
        h[20 + i] = static_cast<uint8_t>(bytes >> (8 * i));
    }
    *byteCount = bytes;
    *morePending = firstRow + rows < image.height ? 1 : 0;
    if (pixels != nullptr) {
        std::memcpy(pixels, image.pixels.data() + storageRow * image.stride, bytes);
        ++bandsDone_;
    }
    return true;
}

bool Connection::cancelTransfer() {
    if (state_ != State::Scanning || !job_) return fail("No scan is running.");
    reported_ = true;
    if (!job_->cancel()) return fail("The scan had already ended.");
    return true;
}

bool Connection::endTransfer() {
    if (state_ != State::Scanning || !job_) return fail("No transfer is waiting.");
    if (!job_->finished()) return fail("The scan is still running (CancelXfer stops it).");
    job_.reset();
    return true;
}

bool Connection::progress(uint32_t* rowsRead, uint32_t* rowsExpected) {
    if (state_ != State::Scanning || !job_) return fail("No scan is running.");
    if (rowsRead != nullptr) *rowsRead = job_->rowsRead();
    if (rowsExpected != nullptr) *rowsExpected = job_->rowsExpected();
    return true;
}

void Connection::setNotify(void (*notify)(void*), void* context) {
    notify_ = notify;
    notifyContext_ = context;
}

// --- Capabilities -------------------------------------------------------------------------------

bool Connection::imageTypes(uint32_t* supported, int32_t* current) {
    if (!needIdleDevice()) return false;
    if (supported != nullptr) *supported = supportedImageTypes(device_);
    if (current != nullptr) *current = static_cast<int32_t>(settings_.type);
    return true;
}

bool Connection::resolutionRange(float* minimum, float* maximum, float* step) {
    if (!needIdleDevice()) return false;
    const std::optional<NumberRange> range = scanner::resolutionRange(device_);
    if (!range) return fail("The scanner does not report its resolutions.");
    if (minimum != nullptr) *minimum = static_cast<float>(range->minimum);
    if (maximum != nullptr) *maximum = static_cast<float>(range->maximum);
    if (step != nullptr) *step = range->values.empty() ? static_cast<float>(range->step) : 0.0f;
    return true;
}

bool Connection::scaleRange(float* minimum, float* maximum) {
    float low = 0;
    float high = 0;
    if (!resolutionRange(&low, &high, nullptr)) return false;
    const double chosen = settings_.xDotsPerInch > 0 ? settings_.xDotsPerInch : currentResolution(device_);
    if (chosen <= 0) return fail("The scanner does not report its resolution.");
    if (minimum != nullptr) *minimum = static_cast<float>(std::clamp(100.0 * low / chosen, 1.0, 1000.0));
    if (maximum != nullptr) *maximum = static_cast<float>(std::clamp(100.0 * high / chosen, 1.0, 1000.0));
    return true;
}

bool Connection::maxScanArea(float* width, float* height) {
    if (!needIdleDevice()) return false;
    const auto area = maxScanAreaInches(device_);
    if (!area) return fail("The scanner does not report its scan area.");
    if (width != nullptr) *width = static_cast<float>(area->first);
    if (height != nullptr) *height = static_cast<float>(area->second);
    return true;
}

bool Connection::supports(uint32_t capability) {
    if (!needIdleDevice()) return false;
    const std::optional<bool> offered = deviceOffers(device_, capability);
    if (!offered) return fail("Unknown capability " + std::to_string(capability) + ".");
    if (!*offered) return fail("The scanner does not offer this setting.");
    return true;
}

// --- Setters ------------------------------------------------------------------------------------

bool Connection::setImageType(int32_t type) {
    if (!needSettable()) return false;
    if (type < 0 || type > 2) return fail("The image type must be 0 (line-art), 1 (gray) or 2 (colour).");
    settings_.type = static_cast<ImageType>(type);
    return true;
}

bool Connection::setResolution(bool vertical, int32_t dotsPerInch) {
    if (!needSettable()) return false;
    if (dotsPerInch < 1 || dotsPerInch > 9600) return fail("The resolution must lie between 1 and 9600 dpi.");
    (vertical ? settings_.yDotsPerInch : settings_.xDotsPerInch) = dotsPerInch;
    return true;
}

bool Connection::setScale(bool vertical, int32_t percent) {
    if (!needSettable()) return false;
    if (percent < 1 || percent > 1000) return fail("The scale must lie between 1 and 1000 percent.");
    (vertical ? settings_.yScale : settings_.xScale) = percent;
    return true;
}

bool Connection::setScanArea(float left, float top, float width, float height) {
    if (!needSettable()) return false;
    for (float v : {left, top, width, height}) {
        if (!std::isfinite(v) || v < 0 || v > 100)
            return fail("The scan area must lie within 0 to 100 inches.");
    }
    if (width <= 0 || height <= 0) return fail("The scan area must have a width and a height.");
    settings_.hasArea = true;
    settings_.area = {left, top, width, height};
    return true;
}

namespace {
bool inRange(int32_t v, int32_t low, int32_t high) {
    return v >= low && v <= high;
}
} // namespace

bool Connection::setBrightness(int32_t value) {
    if (!needSettable()) return false;
    if (!inRange(value, -100, 100)) return fail("The brightness must lie between -100 and 100.");
    settings_.brightness = value;
    return true;
}

bool Connection::setContrast(int32_t value) {
    if (!needSettable()) return false;
    if (!inRange(value, -100, 100)) return fail("The contrast must lie between -100 and 100.");
    settings_.contrast = value;
    return true;
}

bool Connection::setThreshold(int32_t value) {
    if (!needSettable()) return false;
    if (!inRange(value, 0, 255)) return fail("The threshold must lie between 0 and 255.");
    settings_.threshold = value;
    return true;
}

bool Connection::setColorWizard(int32_t on) {
    if (!needSettable()) return false;
    settings_.colorWizard = on != 0;
    return true;
}

bool Connection::setDescreen(int32_t linesPerInch) {
    if (!needSettable()) return false;
    if (!inRange(linesPerInch, 0, 1000)) return fail("The descreen value must lie between 0 and 1000 lpi.");
    settings_.descreen = linesPerInch;
    return true;
}

bool Connection::setGamma(float gamma) {
    if (!needSettable()) return false;
    if (!std::isfinite(gamma) || gamma < 0.1f || gamma > 10.0f)
        return fail("The gamma must lie between 0.1 and 10.");
    settings_.gamma = gamma;
    return true;
}

bool Connection::setAutoDensity(int32_t on) {
    if (!needSettable()) return false;
    settings_.autoDensity = on != 0;
    return true;
}

bool Connection::enableCustom(int32_t enable) {
    if (!needSettable()) return false;
    settings_.customEnabled = enable != 0;
    return true;
}

bool Connection::disablePopups(int32_t disable) {
    popupsDisabled_ = disable != 0;
    return true;
}

} // namespace scanner
