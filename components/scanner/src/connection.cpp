#include "connection.h"

#include "sane_options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace scanner {

namespace {

constexpr double kMillimetresPerInch = 25.4;
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

const char* typeWord(ImageType type) {
  switch (type) {
    case ImageType::Lineart: return "line-art";
    case ImageType::Gray: return "gray";
    case ImageType::Color: return "colour";
  }
  return "";
}

// Maps value from [fromLow, fromHigh] onto the option's range.
bool setScaled(DeviceOptions& options, std::string_view name, double value, double fromLow,
               double fromHigh) {
  const std::optional<NumberRange> range = options.numberRange(name);
  if (!range) return false;
  const double t = (value - fromLow) / (fromHigh - fromLow);
  return options.setNumber(name, range->minimum + t * (range->maximum - range->minimum));
}

}  // namespace

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
  job_.reset();  // cancels and joins a running worker
  reported_ = false;
}

bool Connection::enableSource() {
  if (state_ == State::Scanning) return fail("The scanner is already scanning.");
  if (!need(State::SourceOpen, "No scanner is open (OpenDS comes first).")) return false;
  double xDpi = 0;
  double yDpi = 0;
  if (!applySettings(&xDpi, &yDpi)) return false;
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

double Connection::currentResolution() const {
  DeviceOptions options(device_);
  if (auto r = options.number(SANE_NAME_SCAN_RESOLUTION)) return *r;
  if (auto r = options.number(SANE_NAME_SCAN_X_RESOLUTION)) return *r;
  return 0;
}

bool Connection::applyType() {
  DeviceOptions options(device_);
  const std::vector<std::string> modes = options.choices(SANE_NAME_SCAN_MODE);
  if (modes.empty()) return true;  // one fixed mode: whatever comes is converted
  const auto pick = [&](ImageType type) -> const std::string* {
    for (const std::string& mode : modes) {
      if (modeMatches(mode, static_cast<int>(type))) return &mode;
    }
    return nullptr;
  };
  // Line-art falls back to gray (thresholded here), gray to colour (weighted here).
  const std::string* mode = pick(settings_.type);
  bool nativeLineart = settings_.type == ImageType::Lineart && mode != nullptr;
  if (mode == nullptr && settings_.type == ImageType::Lineart) mode = pick(ImageType::Gray);
  if (mode == nullptr && settings_.type != ImageType::Color) mode = pick(ImageType::Color);
  if (mode == nullptr) {
    return fail(std::string("The scanner cannot scan in ") + typeWord(settings_.type) + ".");
  }
  if (!options.setString(SANE_NAME_SCAN_MODE, *mode)) {
    return fail("The scanner refused the scan mode \"" + *mode + "\".");
  }
  if (const auto depths = options.numberRange(SANE_NAME_BIT_DEPTH); depths && options.settable(SANE_NAME_BIT_DEPTH)) {
    const auto offers = [&](double d) {
      return std::find(depths->values.begin(), depths->values.end(), d) != depths->values.end() ||
             (depths->values.empty() && d >= depths->minimum && d <= depths->maximum);
    };
    const bool wantOneBit = settings_.type == ImageType::Lineart && !nativeLineart &&
                            modeMatches(*mode, static_cast<int>(ImageType::Gray));
    if (wantOneBit && offers(1)) {
      options.setNumber(SANE_NAME_BIT_DEPTH, 1);
    } else if (!nativeLineart && offers(8)) {
      options.setNumber(SANE_NAME_BIT_DEPTH, 8);
    }
  }
  return true;
}

bool Connection::applyCustom() {
  DeviceOptions options(device_);
  const SourceSettings& s = settings_;
  setScaled(options, SANE_NAME_BRIGHTNESS, s.brightness, -100, 100);
  setScaled(options, SANE_NAME_CONTRAST, s.contrast, -100, 100);
  setScaled(options, SANE_NAME_THRESHOLD, s.threshold, 0, 255);
  if (options.type(SANE_NAME_ANALOG_GAMMA) != SANE_TYPE_GROUP) {
    options.setNumber(SANE_NAME_ANALOG_GAMMA, s.gamma);
  }
  if (options.type("descreen") == SANE_TYPE_BOOL) {
    options.setBool("descreen", s.descreen != 0);
  } else if (options.type("descreen") != SANE_TYPE_GROUP) {
    options.setNumber("descreen", s.descreen);
  } else if (s.type == ImageType::Lineart && options.type(SANE_NAME_HALFTONE) == SANE_TYPE_BOOL) {
    options.setBool(SANE_NAME_HALFTONE, s.descreen != 0);
  }
  return true;
}

bool Connection::applySettings(double* xDpi, double* yDpi) {
  if (!applyType()) return false;
  DeviceOptions options(device_);
  // Scaling is a higher device resolution under the same stated resolution.
  const double nominalX = settings_.xDotsPerInch > 0 ? settings_.xDotsPerInch : currentResolution();
  const double nominalY = settings_.yDotsPerInch > 0 ? settings_.yDotsPerInch : nominalX;
  const double deviceX = nominalX * settings_.xScale / 100.0;
  const double deviceY = nominalY * settings_.yScale / 100.0;
  if (options.settable(SANE_NAME_SCAN_RESOLUTION)) {
    if (!options.setNumber(SANE_NAME_SCAN_RESOLUTION, deviceX)) {
      return fail("The scanner refused the resolution.");
    }
  }
  if (options.settable(SANE_NAME_SCAN_X_RESOLUTION)) options.setNumber(SANE_NAME_SCAN_X_RESOLUTION, deviceX);
  const bool separateY = options.settable(SANE_NAME_SCAN_Y_RESOLUTION);
  if (separateY) options.setNumber(SANE_NAME_SCAN_Y_RESOLUTION, deviceY);

  const auto edge = [&](const char* name, double inches, Rounding rounding, bool fromMinimum) {
    if (!options.settable(name)) return;
    if (!settings_.hasArea) {
      if (auto range = options.numberRange(name)) {
        options.setNumber(name, fromMinimum ? range->minimum : range->maximum);
      }
      return;
    }
    options.setNumber(name, inches * kMillimetresPerInch, rounding);
  };
  const ScanArea& a = settings_.area;
  edge(SANE_NAME_SCAN_TL_X, a.left, Rounding::Down, true);
  edge(SANE_NAME_SCAN_TL_Y, a.top, Rounding::Down, true);
  edge(SANE_NAME_SCAN_BR_X, a.left + a.width, Rounding::Up, false);
  edge(SANE_NAME_SCAN_BR_Y, a.top + a.height, Rounding::Up, false);

  if (settings_.customEnabled) applyCustom();

  // The header states what the device really took, scaled back to the chosen resolution.
  double actualX = currentResolution();
  if (actualX <= 0) actualX = deviceX;
  double actualY = actualX;
  if (separateY) {
    if (auto y = options.number(SANE_NAME_SCAN_Y_RESOLUTION)) actualY = *y;
  }
  *xDpi = actualX * 100.0 / settings_.xScale;
  *yDpi = actualY * 100.0 / settings_.yScale;
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

bool Connection::memoryTransfer(void* header, void* pixels, uint32_t* byteCount,
                                uint32_t* morePending) {
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

bool Connection::bandTransfer(void* header, void* pixels, uint32_t* byteCount,
                              uint32_t* morePending) {
  if (header == nullptr || byteCount == nullptr || morePending == nullptr) {
    return fail("The header block and the result words are required.");
  }
  if (!scanReady()) return false;
  const ScanOutcome& image = job_->outcome();
  const uint32_t rowsPerBand = bandRows_ != 0 ? bandRows_ : image.height;
  const uint64_t firstRow = uint64_t{bandsDone_} * rowsPerBand;  // counted from the top
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
  DeviceOptions options(device_);
  const std::vector<std::string> modes = options.choices(SANE_NAME_SCAN_MODE);
  uint32_t mask = modes.empty() ? 7u : 0u;
  for (const std::string& mode : modes) {
    for (int type = 0; type < 3; ++type) {
      if (modeMatches(mode, type)) mask |= 1u << type;
    }
  }
  if (mask & 4u) mask |= 2u;  // gray from colour
  if (mask & 2u) mask |= 1u;  // line-art from gray
  if (supported != nullptr) *supported = mask;
  if (current != nullptr) *current = static_cast<int32_t>(settings_.type);
  return true;
}

bool Connection::resolutionRange(float* minimum, float* maximum, float* step) {
  if (!needIdleDevice()) return false;
  DeviceOptions options(device_);
  std::optional<NumberRange> range = options.numberRange(SANE_NAME_SCAN_RESOLUTION);
  if (!range) range = options.numberRange(SANE_NAME_SCAN_X_RESOLUTION);
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
  const double chosen = settings_.xDotsPerInch > 0 ? settings_.xDotsPerInch : currentResolution();
  if (chosen <= 0) return fail("The scanner does not report its resolution.");
  if (minimum != nullptr) *minimum = static_cast<float>(std::clamp(100.0 * low / chosen, 1.0, 1000.0));
  if (maximum != nullptr) *maximum = static_cast<float>(std::clamp(100.0 * high / chosen, 1.0, 1000.0));
  return true;
}

bool Connection::maxScanArea(float* width, float* height) {
  if (!needIdleDevice()) return false;
  DeviceOptions options(device_);
  const std::optional<NumberRange> x = options.numberRange(SANE_NAME_SCAN_BR_X);
  const std::optional<NumberRange> y = options.numberRange(SANE_NAME_SCAN_BR_Y);
  if (!x || !y) return fail("The scanner does not report its scan area.");
  if (width != nullptr) *width = static_cast<float>(x->maximum / kMillimetresPerInch);
  if (height != nullptr) *height = static_cast<float>(y->maximum / kMillimetresPerInch);
  return true;
}

bool Connection::supports(uint32_t capability) {
  if (!needIdleDevice()) return false;
  DeviceOptions options(device_);
  const auto any = [&](std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(), [&](const char* n) { return options.settable(n); });
  };
  bool yes = false;
  switch (static_cast<Capability>(capability)) {
    case Capability::ImageType: yes = any({SANE_NAME_SCAN_MODE}); break;
    case Capability::Resolution:
    case Capability::Scale: yes = any({SANE_NAME_SCAN_RESOLUTION, SANE_NAME_SCAN_X_RESOLUTION}); break;
    case Capability::ScanArea:
      yes = options.settable(SANE_NAME_SCAN_BR_X) && options.settable(SANE_NAME_SCAN_BR_Y);
      break;
    case Capability::Brightness: yes = any({SANE_NAME_BRIGHTNESS}); break;
    case Capability::Contrast: yes = any({SANE_NAME_CONTRAST}); break;
    case Capability::Threshold: yes = any({SANE_NAME_THRESHOLD}); break;
    case Capability::Descreen: yes = any({"descreen", SANE_NAME_HALFTONE}); break;
    case Capability::Gamma: yes = any({SANE_NAME_ANALOG_GAMMA}); break;
    case Capability::ColorWizard:
    case Capability::AutoDensity: break;
    default: return fail("Unknown capability " + std::to_string(capability) + ".");
  }
  if (!yes) return fail("The scanner does not offer this setting.");
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
    if (!std::isfinite(v) || v < 0 || v > 100) return fail("The scan area must lie within 0 to 100 inches.");
  }
  if (width <= 0 || height <= 0) return fail("The scan area must have a width and a height.");
  settings_.hasArea = true;
  settings_.area = {left, top, width, height};
  return true;
}

namespace {
bool inRange(int32_t v, int32_t low, int32_t high) { return v >= low && v <= high; }
}  // namespace

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
  if (!std::isfinite(gamma) || gamma < 0.1f || gamma > 10.0f) return fail("The gamma must lie between 0.1 and 10.");
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

}  // namespace scanner
