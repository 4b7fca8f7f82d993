// ColorBalance: black point, white point and midtone curves, one table per pixel byte.
#include "operations.h"
#include "rasterkit_internal.h"

#include <algorithm>
#include <cmath>

namespace rasterkit {
namespace {

using WideTable = std::uint16_t[256];

// Entries are 16 bits wide; only their low byte reaches the pixels.
std::uint16_t toEntry(double value) {
    if (!(value >= 0.0)) return 0;
    if (value >= 65535.0) return 65535;
    return static_cast<std::uint16_t>(value);
}

void blackWhitePoints(int blackOffset, int whiteOffset, WideTable& table) {
    if (blackOffset + whiteOffset > 254) blackOffset = 254 - whiteOffset;
    if (blackOffset == 0 && whiteOffset == 0) return;
    // Offsets outside 0..254 only clip the ranges below to the table.
    for (int i = 0; i <= std::min(blackOffset, 255); ++i)
        table[i] = 0;
    for (int i = std::max(255 - whiteOffset, 0); i <= 255; ++i)
        table[i] = 255;
    const float q = 255.0f / static_cast<float>(255 - blackOffset - whiteOffset);
    for (int i = std::max(blackOffset + 1, 0); i <= std::min(254 - whiteOffset, 255); ++i) {
        table[i] = toEntry(static_cast<float>(i - blackOffset) * q + 0.5f);
    }
}

void midtone(int difference, WideTable& table) {
    if (difference == 0) return;
    const float f = static_cast<float>(std::abs(difference)) / 100.0f;
    float e = (1.0f - 0.68137f * f) + 0.19771f * f * f - 0.01634f * f * f * f;
    if (difference < 0) e = 1.0f / e;
    const double knee = std::pow(32.0 / 255.0, static_cast<double>(e)) * 255.0;
    for (auto& entry : table) {
        const double x = entry / 255.0;
        if (difference > 50 && entry < 32) {
            entry = toEntry(255.0 * (1.4 * x - 2.3375 * x * x - 6.7734 * x * x * x) / 32.0 * knee);
        } else {
            entry = toEntry(std::pow(x, static_cast<double>(e)) * 255.0);
        }
    }
}

void buildTables(const ColorBalanceParam& p, ByteTable (&tables)[3]) {
    const int blackMax = std::max({p.blackPoint[0], p.blackPoint[1], p.blackPoint[2]});
    const int whiteMin = std::min({p.whitePoint[0], p.whitePoint[1], p.whitePoint[2]});
    const int midHi = std::max({p.midtone[0], p.midtone[1], p.midtone[2]});
    const int midLo = std::min({p.midtone[0], p.midtone[1], p.midtone[2]});
    const int average = (midHi + midLo) / 2;
    for (int j = 0; j < 3; ++j) {
        WideTable wide;
        for (int i = 0; i < 256; ++i)
            wide[i] = static_cast<std::uint16_t>(i);
        blackWhitePoints(blackMax - p.blackPoint[j], p.whitePoint[j] - whiteMin, wide);
        midtone(p.midtone[j] - average, wide);
        for (int i = 0; i < 256; ++i)
            tables[j][i] = static_cast<std::uint8_t>(wide[i] & 0xff);
    }
}

} // namespace

int runColorBalance(ImageInfo& info) {
    ColorBalanceParam param;
    std::memcpy(&param, info.lpParam, sizeof param);
    ByteTable tables[3];
    buildTables(param, tables);
    return mapPixels24(info, tables, true);
}

} // namespace rasterkit
