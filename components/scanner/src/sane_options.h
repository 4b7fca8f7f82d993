// Reading and setting a SANE device's options by their well-known names, keeping every value
// within the option's own constraint so that backends need not correct it.
#pragma once

#include <optional>
#include <sane/sane.h>
#include <sane/saneopts.h>
#include <string>
#include <string_view>
#include <vector>

namespace scanner {

struct NumberRange {
    double minimum = 0;
    double maximum = 0;
    double step = 0;            // 0: any value in between, or only `values` when those are given
    std::vector<double> values; // the allowed values of a listed option, ascending
};

// Which way a value between two allowed ones goes.
enum class Rounding { Nearest, Down, Up };

class DeviceOptions {
  public:
    explicit DeviceOptions(SANE_Handle handle) : handle_(handle) {}

    // Index of an active option with that name, or -1.
    int find(std::string_view name) const;
    // Active and settable by software.
    bool settable(std::string_view name) const;
    SANE_Value_Type type(std::string_view name) const;

    std::vector<std::string> choices(std::string_view name) const;
    std::optional<NumberRange> numberRange(std::string_view name) const;
    std::optional<double> number(std::string_view name) const;

    // Each returns false when the option is missing, not settable or refused.
    bool setNumber(std::string_view name, double wanted, Rounding rounding = Rounding::Nearest);
    bool setBool(std::string_view name, bool on);
    bool setString(std::string_view name, const std::string& value);

  private:
    const SANE_Option_Descriptor* descriptor(int index) const;
    bool control(int index, void* value);
    SANE_Handle handle_;
};

// A backend's word for a scan mode: "Lineart", "Gray", "Color" and their usual variants.
bool modeMatches(std::string_view mode, int imageType);

} // namespace scanner
