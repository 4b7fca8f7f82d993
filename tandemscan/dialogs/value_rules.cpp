#include "value_rules.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace tandemscan {

SliderValue::SliderValue(int minimum, int maximum, int start)
    : minimum_(minimum), maximum_(maximum), start_(start), position_(start) {}

int SliderValue::textLimit() const {
    return static_cast<int>(std::to_string(maximum_).size());
}

std::string SliderValue::moveTo(int position) {
    position_ = std::clamp(position, minimum_, maximum_);
    return std::to_string(position_);
}

void SliderValue::editChanged(const std::string& text) {
    const int value = readDecimal(text);
    if (value >= minimum_ && value <= maximum_) {
        position_ = value;
        valid_ = true;
    } else {
        valid_ = false;
    }
}

std::optional<uint16_t> SliderValue::accept(const std::string& text) {
    if (valid_) {
        const int value = readDecimal(text);
        if (value >= minimum_ && value <= maximum_) return static_cast<uint16_t>(value);
    }
    // The dialog shows its message, puts the start value back and stays open.
    valid_ = true;
    position_ = start_;
    return std::nullopt;
}

int readDecimal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) {
            value = static_cast<long long>(INT_MAX) + 1;
            break;
        }
    }
    if (negative) value = -value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

} // namespace tandemscan
