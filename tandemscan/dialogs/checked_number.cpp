#include "checked_number.h"

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tandemscan {

bool isFloatKind(NumberKind kind) {
    return kind == NumberKind::Float || kind == NumberKind::Double;
}

bool isSignedKind(NumberKind kind) {
    return kind == NumberKind::Int32 || kind == NumberKind::Int16 || isFloatKind(kind);
}

double convertToKind(TaggedNumber number, NumberKind kind) {
    const double v = number.value;
    auto truncated = [v]() -> long long {
        if (!std::isfinite(v)) return 0;
        if (v >= 9.2e18) return INT64_MAX;
        if (v <= -9.2e18) return INT64_MIN;
        return static_cast<long long>(v);
    };
    switch (kind) {
    case NumberKind::Int32:
        return static_cast<int32_t>(static_cast<uint32_t>(truncated()));
    case NumberKind::Int16:
        return static_cast<int16_t>(static_cast<uint16_t>(truncated()));
    case NumberKind::UInt32:
        return static_cast<uint32_t>(truncated());
    case NumberKind::UInt16:
        return static_cast<uint16_t>(truncated());
    case NumberKind::UInt8:
        return static_cast<uint8_t>(truncated());
    case NumberKind::Float:
        return static_cast<float>(v);
    case NumberKind::Double:
        return v;
    }
    return v;
}

DigitLimits defaultDigitLimits(NumberKind kind) {
    switch (kind) {
    case NumberKind::Int32:
        return {6, 0};
    case NumberKind::Int16:
        return {5, 0};
    case NumberKind::Float:
        return {6, 3};
    case NumberKind::Double:
        return {6, 3};
    case NumberKind::UInt32:
        return {7, 0};
    case NumberKind::UInt16:
        return {5, 0};
    case NumberKind::UInt8:
        return {3, 0};
    }
    return {};
}

void CheckedNumberRules::setUp(NumberKind kind, TaggedNumber value, TaggedNumber minimum,
                               TaggedNumber maximum, TaggedNumber resetValue) {
    kind_ = kind;
    limits_ = defaultDigitLimits(kind);
    checking_ = true;
    value_ = convertToKind(value, kind);
    minimum_ = convertToKind(minimum, kind);
    maximum_ = convertToKind(maximum, kind);
    resetValue_ = convertToKind(resetValue, kind);
    if (!inRange(value_)) minimum_ = maximum_ = value_;
    if (!inRange(resetValue_)) resetValue_ = value_;
}

static std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string CheckedNumberRules::format(double value) const {
    char buffer[64];
    if (kind_ == NumberKind::Float) {
        std::snprintf(buffer, sizeof buffer, "%*.*f", limits_.integerDigits + 2, limits_.decimals, value);
    } else if (kind_ == NumberKind::Double) {
        std::snprintf(buffer, sizeof buffer, "%*.*f", limits_.integerDigits + 2 + limits_.decimals,
                      limits_.decimals, value);
    } else {
        std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(value));
    }
    return trim(buffer);
}

bool CheckedNumberRules::acceptsCharacter(const EditState& state, char ch) const {
    if (ch >= '0' && ch <= '9') return acceptsDigit(state, ch);
    if (ch == '-') {
        if (!isSignedKind(kind_) || state.selectionStart != 0) return false;
        const bool hasMinus = !state.text.empty() && state.text[0] == '-';
        return !hasMinus || state.selectionEnd >= 1;
    }
    if (ch == '.') return isFloatKind(kind_);
    return false;
}

bool CheckedNumberRules::acceptsDigit(const EditState& state, char ch) const {
    const std::string& text = state.text;
    const int start = state.selectionStart;
    const int end = state.selectionEnd;
    const bool hasMinus = text.find('-') != std::string::npos;

    std::string integerPart = text;
    if (isFloatKind(kind_)) {
        const size_t dot = text.find('.');
        if (dot != std::string::npos) {
            // Digits right of the point are cut to the decimals by cleaning afterwards.
            if (start > static_cast<int>(dot)) return true;
            integerPart = text.substr(0, dot);
        }
    }
    if (ch == '0') {
        if (start == 0 && ((minimum_ >= 1 && maximum_ >= 1) || (minimum_ <= -1 && maximum_ <= -1)))
            return false;
        if (start == 1 && text == "0") return false;
    }
    const int allowed = limits_.integerDigits + (hasMinus ? 1 : 0);
    const int length = static_cast<int>(integerPart.size());
    if (length == allowed) {
        if (start >= end) return false;
        if (start == 0 && hasMinus && end <= 1) return false;
        return true;
    }
    return length < allowed;
}

std::string CheckedNumberRules::clean(const std::string& text) const {
    std::string out;
    bool dotSeen = false;
    int decimalsSeen = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            if (dotSeen) {
                if (decimalsSeen >= limits_.decimals) continue;
                ++decimalsSeen;
            }
            out += c;
        } else if (c == '.' && isFloatKind(kind_) && !dotSeen) {
            dotSeen = true;
            out += c;
        } else if (c == '-' && isSignedKind(kind_) && i == 0) {
            out += c;
        }
    }
    return out;
}

bool CheckedNumberRules::isNumberStart(const std::string& text) const {
    if (text.empty()) return true;
    if (text == "-") return isSignedKind(kind_);
    return isFloatKind(kind_) && (text == "." || text == "-.");
}

double CheckedNumberRules::parse(const std::string& text) const {
    if (isFloatKind(kind_)) return std::strtod(text.c_str(), nullptr);
    return static_cast<double>(std::strtoll(text.c_str(), nullptr, 10));
}

std::string CheckedNumberRules::rangeMessage(const std::string& integerTemplate,
                                             const std::string& floatTemplate) const {
    return fillNumbers(isFloatKind(kind_) ? floatTemplate : integerTemplate, {minimum_, maximum_});
}

// Message templates come from translation files, so they are never handed to printf as they
// stand: only %d, %i, %u and %f conversions (with flags, width and precision) are filled, in order;
// anything else is copied literally.
std::string fillNumbers(const std::string& pattern, std::initializer_list<double> values) {
    std::string out;
    auto next = values.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            out += pattern[i];
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        size_t j = i + 1;
        std::string format = "%";
        while (j < pattern.size() && std::strchr("-+ 0#", pattern[j]))
            format += pattern[j++];
        int digits = 0;
        while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])) && digits < 3) {
            format += pattern[j++];
            ++digits;
        }
        if (j < pattern.size() && pattern[j] == '.') {
            format += pattern[j++];
            digits = 0;
            while (j < pattern.size() && std::isdigit(static_cast<unsigned char>(pattern[j])) && digits < 2) {
                format += pattern[j++];
                ++digits;
            }
        }
        const char conversion = j < pattern.size() ? pattern[j] : '\0';
        if (!std::strchr("diuf", conversion) || conversion == '\0' || next == values.end()) {
            out += '%';
            continue;
        }
        const double value = *next++;
        char buffer[128];
        if (conversion == 'f') {
            std::snprintf(buffer, sizeof buffer, (format + "f").c_str(), value);
        } else {
            std::snprintf(buffer, sizeof buffer, (format + "lld").c_str(), static_cast<long long>(value));
        }
        out += buffer;
        i = j;
    }
    return out;
}

} // namespace tandemscan
