#include "device_settings.h"

#include "sane_options.h"

#include <algorithm>
#include <initializer_list>

namespace scanner {

namespace {

constexpr double kMillimetresPerInch = 25.4;

const char* typeWord(ImageType type) {
    switch (type) {
    case ImageType::Lineart:
        return "line-art";
    case ImageType::Gray:
        return "gray";
    case ImageType::Color:
        return "colour";
    }
    return "";
}

// Maps value from [fromLow, fromHigh] onto the option's range.
bool setScaled(DeviceOptions& options, std::string_view name, double value, double fromLow, double fromHigh) {
    const std::optional<NumberRange> range = options.numberRange(name);
    if (!range) return false;
    const double t = (value - fromLow) / (fromHigh - fromLow);
    return options.setNumber(name, range->minimum + t * (range->maximum - range->minimum));
}

// The mode first: backends may change their other options with it.
bool applyType(SANE_Handle device, const SourceSettings& settings, std::string& error) {
    DeviceOptions options(device);
    const auto fail = [&](std::string why) {
        error = std::move(why);
        return false;
    };
    const std::vector<std::string> modes = options.choices(SANE_NAME_SCAN_MODE);
    if (modes.empty()) return true; // one fixed mode: whatever comes is converted
    const auto pick = [&](ImageType type) -> const std::string* {
        for (const std::string& mode : modes) {
            if (modeMatches(mode, static_cast<int>(type))) return &mode;
        }
        return nullptr;
    };
    // Line-art falls back to gray (thresholded here), gray to colour (weighted here).
    const std::string* mode = pick(settings.type);
    const bool nativeLineart = settings.type == ImageType::Lineart && mode != nullptr;
    if (mode == nullptr && settings.type == ImageType::Lineart) mode = pick(ImageType::Gray);
    if (mode == nullptr && settings.type != ImageType::Color) mode = pick(ImageType::Color);
    if (mode == nullptr) {
        return fail(std::string("The scanner cannot scan in ") + typeWord(settings.type) + ".");
    }
    if (!options.setString(SANE_NAME_SCAN_MODE, *mode)) {
        return fail("The scanner refused the scan mode \"" + *mode + "\".");
    }
    if (const auto depths = options.numberRange(SANE_NAME_BIT_DEPTH);
        depths && options.settable(SANE_NAME_BIT_DEPTH)) {
        const auto offers = [&](double d) {
            return std::find(depths->values.begin(), depths->values.end(), d) != depths->values.end() ||
                   (depths->values.empty() && d >= depths->minimum && d <= depths->maximum);
        };
        const bool wantOneBit = settings.type == ImageType::Lineart && !nativeLineart &&
                                modeMatches(*mode, static_cast<int>(ImageType::Gray));
        if (wantOneBit && offers(1)) {
            options.setNumber(SANE_NAME_BIT_DEPTH, 1);
        } else if (!nativeLineart && offers(8)) {
            options.setNumber(SANE_NAME_BIT_DEPTH, 8);
        }
    }
    return true;
}

void applyCustom(SANE_Handle device, const SourceSettings& s) {
    DeviceOptions options(device);
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
}

} // namespace

double currentResolution(SANE_Handle device) {
    DeviceOptions options(device);
    if (auto r = options.number(SANE_NAME_SCAN_RESOLUTION)) return *r;
    if (auto r = options.number(SANE_NAME_SCAN_X_RESOLUTION)) return *r;
    return 0;
}

bool applySettings(SANE_Handle device, const SourceSettings& settings, double* xDpi, double* yDpi,
                   std::string& error) {
    if (!applyType(device, settings, error)) return false;
    DeviceOptions options(device);
    // Scaling is a higher device resolution under the same stated resolution.
    const double nominalX = settings.xDotsPerInch > 0 ? settings.xDotsPerInch : currentResolution(device);
    const double nominalY = settings.yDotsPerInch > 0 ? settings.yDotsPerInch : nominalX;
    const double deviceX = nominalX * settings.xScale / 100.0;
    const double deviceY = nominalY * settings.yScale / 100.0;
    if (options.settable(SANE_NAME_SCAN_RESOLUTION)) {
        if (!options.setNumber(SANE_NAME_SCAN_RESOLUTION, deviceX)) {
            error = "The scanner refused the resolution.";
            return false;
        }
    }
    if (options.settable(SANE_NAME_SCAN_X_RESOLUTION))
        options.setNumber(SANE_NAME_SCAN_X_RESOLUTION, deviceX);
    const bool separateY = options.settable(SANE_NAME_SCAN_Y_RESOLUTION);
    if (separateY) options.setNumber(SANE_NAME_SCAN_Y_RESOLUTION, deviceY);

    const auto edge = [&](const char* name, double inches, Rounding rounding, bool fromMinimum) {
        if (!options.settable(name)) return;
        if (!settings.hasArea) {
            if (auto range = options.numberRange(name)) {
                options.setNumber(name, fromMinimum ? range->minimum : range->maximum);
            }
            return;
        }
        options.setNumber(name, inches * kMillimetresPerInch, rounding);
    };
    const ScanArea& a = settings.area;
    edge(SANE_NAME_SCAN_TL_X, a.left, Rounding::Down, true);
    edge(SANE_NAME_SCAN_TL_Y, a.top, Rounding::Down, true);
    edge(SANE_NAME_SCAN_BR_X, a.left + a.width, Rounding::Up, false);
    edge(SANE_NAME_SCAN_BR_Y, a.top + a.height, Rounding::Up, false);

    if (settings.customEnabled) applyCustom(device, settings);

    // The header states what the device really took, scaled back to the chosen resolution.
    double actualX = currentResolution(device);
    if (actualX <= 0) actualX = deviceX;
    double actualY = actualX;
    if (separateY) {
        if (auto y = options.number(SANE_NAME_SCAN_Y_RESOLUTION)) actualY = *y;
    }
    *xDpi = actualX * 100.0 / settings.xScale;
    *yDpi = actualY * 100.0 / settings.yScale;
    return true;
}

uint32_t supportedImageTypes(SANE_Handle device) {
    DeviceOptions options(device);
    const std::vector<std::string> modes = options.choices(SANE_NAME_SCAN_MODE);
    uint32_t mask = modes.empty() ? 7u : 0u;
    for (const std::string& mode : modes) {
        for (int type = 0; type < 3; ++type) {
            if (modeMatches(mode, type)) mask |= 1u << type;
        }
    }
    if (mask & 4u) mask |= 2u; // gray from colour
    if (mask & 2u) mask |= 1u; // line-art from gray
    return mask;
}

std::optional<NumberRange> resolutionRange(SANE_Handle device) {
    DeviceOptions options(device);
    std::optional<NumberRange> range = options.numberRange(SANE_NAME_SCAN_RESOLUTION);
    if (!range) range = options.numberRange(SANE_NAME_SCAN_X_RESOLUTION);
    return range;
}

std::optional<std::pair<double, double>> maxScanAreaInches(SANE_Handle device) {
    DeviceOptions options(device);
    const std::optional<NumberRange> x = options.numberRange(SANE_NAME_SCAN_BR_X);
    const std::optional<NumberRange> y = options.numberRange(SANE_NAME_SCAN_BR_Y);
    if (!x || !y) return std::nullopt;
    return std::pair{x->maximum / kMillimetresPerInch, y->maximum / kMillimetresPerInch};
}

std::optional<bool> deviceOffers(SANE_Handle device, uint32_t capability) {
    DeviceOptions options(device);
    const auto any = [&](std::initializer_list<const char*> names) {
        return std::any_of(names.begin(), names.end(), [&](const char* n) { return options.settable(n); });
    };
    switch (static_cast<Capability>(capability)) {
    case Capability::ImageType:
        return any({SANE_NAME_SCAN_MODE});
    case Capability::Resolution:
    case Capability::Scale:
        return any({SANE_NAME_SCAN_RESOLUTION, SANE_NAME_SCAN_X_RESOLUTION});
    case Capability::ScanArea:
        return options.settable(SANE_NAME_SCAN_BR_X) && options.settable(SANE_NAME_SCAN_BR_Y);
    case Capability::Brightness:
        return any({SANE_NAME_BRIGHTNESS});
    case Capability::Contrast:
        return any({SANE_NAME_CONTRAST});
    case Capability::Threshold:
        return any({SANE_NAME_THRESHOLD});
    case Capability::Descreen:
        return any({"descreen", SANE_NAME_HALFTONE});
    case Capability::Gamma:
        return any({SANE_NAME_ANALOG_GAMMA});
    case Capability::ColorWizard:
    case Capability::AutoDensity:
        return false;
    }
    return std::nullopt;
}

} // namespace scanner
