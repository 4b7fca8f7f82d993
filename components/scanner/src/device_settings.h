// What a program asks of a scanner, and how it reaches a SANE device: the scan mode and depth,
// resolution and scale, area, and the custom settings where the device has options for them.
#pragma once

#include "image_rows.h"
#include "sane_options.h"

#include <cstdint>
#include <optional>
#include <sane/sane.h>
#include <string>
#include <utility>

namespace scanner {

struct ScanArea {
    double left = 0, top = 0, width = 0, height = 0; // inches
};

// What the program asked for; applied to the device when scanning is enabled.
struct SourceSettings {
    ImageType type = ImageType::Color;
    int32_t xDotsPerInch = 0; // 0: the device's own resolution
    int32_t yDotsPerInch = 0;
    int32_t xScale = 100; // percent
    int32_t yScale = 100;
    bool hasArea = false;
    ScanArea area;
    bool customEnabled = false;
    int32_t brightness = 0;
    int32_t contrast = 0;
    int32_t threshold = 128;
    bool colorWizard = false;
    int32_t descreen = 0; // lines per inch, 0 none
    double gamma = 1.0;
    bool autoDensity = false;
};

enum class Capability : uint32_t {
    ImageType = 1,
    Resolution,
    Scale,
    ScanArea,
    Brightness,
    Contrast,
    Threshold,
    ColorWizard,
    Descreen,
    Gamma,
    AutoDensity
};

// Applies everything to an open, idle device, the mode first. *xDpi and *yDpi receive the
// resolution the picture states: what the device took, scaled back by the chosen scale.
bool applySettings(SANE_Handle device, const SourceSettings& settings, double* xDpi, double* yDpi,
                   std::string& error);
// The device's resolution now, 0 when it has none.
double currentResolution(SANE_Handle device);
// Bit (1 << type) for each image type the device can deliver, with line-art made from gray and
// gray from colour here when the device lacks them.
uint32_t supportedImageTypes(SANE_Handle device);
std::optional<NumberRange> resolutionRange(SANE_Handle device);
std::optional<std::pair<double, double>> maxScanAreaInches(SANE_Handle device);
// Whether the device has an option for the capability; empty for an unknown capability.
std::optional<bool> deviceOffers(SANE_Handle device, uint32_t capability);

} // namespace scanner
