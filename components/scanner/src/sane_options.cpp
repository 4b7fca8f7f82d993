#include "sane_options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

namespace scanner {

namespace {

bool isActive(const SANE_Option_Descriptor* d) {
    return d != nullptr && SANE_OPTION_IS_ACTIVE(d->cap);
}

double fromWord(SANE_Word w, SANE_Value_Type type) {
    return type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : static_cast<double>(w);
}

// Area edges are rounded outwards, so that a length of whole inches in millimetres (25.4 is not
// exact in 16.16 fixed point) does not lose a row to the backend's truncation.
SANE_Word toWord(double v, SANE_Value_Type type, Rounding rounding) {
    const double scaled = type == SANE_TYPE_FIXED ? v * (1 << SANE_FIXED_SCALE_SHIFT) : v;
    const double r = rounding == Rounding::Up     ? std::ceil(scaled - 1e-9)
                     : rounding == Rounding::Down ? std::floor(scaled + 1e-9)
                                                  : std::floor(scaled + 0.5);
    return static_cast<SANE_Word>(std::clamp(r, -2147483648.0, 2147483647.0));
}

SANE_Word constrainWord(const SANE_Option_Descriptor* d, SANE_Word w, Rounding rounding) {
    if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range != nullptr) {
        const SANE_Range& r = *d->constraint.range;
        w = std::clamp(w, r.min, r.max);
        if (r.quant > 0) {
            const int64_t offset = int64_t{w} - r.min;
            int64_t steps = offset / r.quant;
            const int64_t rest = offset % r.quant;
            if (rest != 0 && rounding != Rounding::Down &&
                (rounding == Rounding::Up || 2 * rest >= r.quant)) {
                ++steps;
            }
            w = static_cast<SANE_Word>(std::min<int64_t>(r.min + steps * r.quant, r.max));
        }
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list != nullptr) {
        const SANE_Word* list = d->constraint.word_list;
        SANE_Word best = w;
        int64_t bestDistance = -1;
        for (SANE_Word i = 1; i <= list[0]; ++i) {
            const int64_t distance = std::llabs(int64_t{list[i]} - w);
            const bool allowed =
                rounding == Rounding::Nearest || (rounding == Rounding::Up ? list[i] >= w : list[i] <= w);
            if (allowed && (bestDistance < 0 || distance < bestDistance)) {
                best = list[i];
                bestDistance = distance;
            }
        }
        if (bestDistance < 0) { // nothing on the wanted side: the nearest end of the list
            best = rounding == Rounding::Up ? *std::max_element(list + 1, list + 1 + list[0])
                                            : *std::min_element(list + 1, list + 1 + list[0]);
        }
        w = best;
    }
    return w;
}

} // namespace

const SANE_Option_Descriptor* DeviceOptions::descriptor(int index) const {
    return sane_get_option_descriptor(handle_, index);
}

bool DeviceOptions::control(int index, void* value) {
    SANE_Int info = 0;
    return sane_control_option(handle_, index, SANE_ACTION_SET_VALUE, value, &info) == SANE_STATUS_GOOD;
}

int DeviceOptions::find(std::string_view name) const {
    SANE_Int count = 0;
    if (sane_control_option(handle_, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD) {
        return -1;
    }
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = descriptor(i);
        if (d != nullptr && d->name != nullptr && name == d->name && d->type != SANE_TYPE_GROUP) {
            return isActive(d) ? i : -1;
        }
    }
    return -1;
}

bool DeviceOptions::settable(std::string_view name) const {
    const int i = find(name);
    return i > 0 && SANE_OPTION_IS_SETTABLE(descriptor(i)->cap);
}

SANE_Value_Type DeviceOptions::type(std::string_view name) const {
    const int i = find(name);
    return i > 0 ? descriptor(i)->type : SANE_TYPE_GROUP;
}

std::vector<std::string> DeviceOptions::choices(std::string_view name) const {
    std::vector<std::string> out;
    const int i = find(name);
    if (i <= 0) return out;
    const SANE_Option_Descriptor* d = descriptor(i);
    if (d->type == SANE_TYPE_STRING && d->constraint_type == SANE_CONSTRAINT_STRING_LIST) {
        for (const SANE_String_Const* s = d->constraint.string_list; s != nullptr && *s != nullptr; ++s) {
            out.emplace_back(*s);
        }
    }
    return out;
}

std::optional<NumberRange> DeviceOptions::numberRange(std::string_view name) const {
    const int i = find(name);
    if (i <= 0) return std::nullopt;
    const SANE_Option_Descriptor* d = descriptor(i);
    if (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) return std::nullopt;
    NumberRange range;
    if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range != nullptr) {
        range.minimum = fromWord(d->constraint.range->min, d->type);
        range.maximum = fromWord(d->constraint.range->max, d->type);
        range.step = fromWord(d->constraint.range->quant, d->type);
    } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list != nullptr &&
               d->constraint.word_list[0] > 0) {
        const SANE_Word* list = d->constraint.word_list;
        for (SANE_Word k = 1; k <= list[0]; ++k)
            range.values.push_back(fromWord(list[k], d->type));
        std::sort(range.values.begin(), range.values.end());
        range.minimum = range.values.front();
        range.maximum = range.values.back();
    } else {
        return std::nullopt;
    }
    return range;
}

std::optional<double> DeviceOptions::number(std::string_view name) const {
    const int i = find(name);
    if (i <= 0) return std::nullopt;
    const SANE_Option_Descriptor* d = descriptor(i);
    if ((d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) ||
        d->size < static_cast<SANE_Int>(sizeof(SANE_Word))) {
        return std::nullopt;
    }
    std::vector<SANE_Word> value(static_cast<std::size_t>(d->size) / sizeof(SANE_Word));
    if (sane_control_option(handle_, i, SANE_ACTION_GET_VALUE, value.data(), nullptr) != SANE_STATUS_GOOD) {
        return std::nullopt;
    }
    return fromWord(value[0], d->type);
}

bool DeviceOptions::setNumber(std::string_view name, double wanted, Rounding rounding) {
    const int i = find(name);
    if (i <= 0) return false;
    const SANE_Option_Descriptor* d = descriptor(i);
    if (!SANE_OPTION_IS_SETTABLE(d->cap) || (d->type != SANE_TYPE_INT && d->type != SANE_TYPE_FIXED) ||
        d->size < static_cast<SANE_Int>(sizeof(SANE_Word))) {
        return false;
    }
    const SANE_Word w = constrainWord(d, toWord(wanted, d->type, rounding), rounding);
    // Array options (per-channel values) get the same value in every element.
    std::vector<SANE_Word> value(static_cast<std::size_t>(d->size) / sizeof(SANE_Word), w);
    return control(i, value.data());
}

bool DeviceOptions::setBool(std::string_view name, bool on) {
    const int i = find(name);
    if (i <= 0) return false;
    const SANE_Option_Descriptor* d = descriptor(i);
    if (!SANE_OPTION_IS_SETTABLE(d->cap) || d->type != SANE_TYPE_BOOL) return false;
    SANE_Bool value = on ? SANE_TRUE : SANE_FALSE;
    return control(i, &value);
}

bool DeviceOptions::setString(std::string_view name, const std::string& value) {
    const int i = find(name);
    if (i <= 0) return false;
    const SANE_Option_Descriptor* d = descriptor(i);
    if (!SANE_OPTION_IS_SETTABLE(d->cap) || d->type != SANE_TYPE_STRING || d->size <= 0 ||
        value.size() >= static_cast<std::size_t>(d->size)) {
        return false;
    }
    std::vector<char> buffer(static_cast<std::size_t>(d->size), '\0');
    std::memcpy(buffer.data(), value.data(), value.size());
    return control(i, buffer.data());
}

bool modeMatches(std::string_view mode, int imageType) {
    std::string lower(mode);
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto has = [&](const char* word) { return lower.find(word) != std::string::npos; };
    switch (imageType) {
    case 0:
        return has("lineart") || has("line art") || has("binary") || has("black");
    case 1:
        return (has("gray") || has("grey")) && !has("halftone");
    case 2:
        return has("color") || has("colour");
    default:
        return false;
    }
}

} // namespace scanner
