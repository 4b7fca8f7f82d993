// Wave: rows pushed sideways and columns up and down along sine waves.
#include "effects_internal.h"
#include "operations.h"

#include <cmath>
#include <vector>

namespace rasterkit {
namespace {

// Displacement of position t for a period (two full waves per period); a period of 0 is flat.
double waveShift(std::uint32_t t, std::uint32_t period, double amplitude) {
    if (period == 0 || amplitude == 0) return 0;
    return amplitude * std::sin((t % period) * 12.5664 / period - 6.2832);
}

} // namespace

int runWave(ImageInfo& info) {
    const WaveParam p = *static_cast<const WaveParam*>(info.lpParam);
    const Area whole{0, 0, info.nSrcWidth, info.nSrcHeight};
    // The sideways shift depends on the row only, the vertical one on the column only.
    std::vector<double> rowShift(static_cast<std::size_t>(whole.height));
    std::vector<double> columnShift(static_cast<std::size_t>(whole.width));
    for (int y = 0; y < whole.height; ++y) {
        rowShift[static_cast<std::size_t>(y)] =
            waveShift(static_cast<std::uint32_t>(y), p.verticalPeriod, p.horizontalAmplitude);
    }
    for (int x = 0; x < whole.width; ++x) {
        columnShift[static_cast<std::size_t>(x)] =
            waveShift(static_cast<std::uint32_t>(x), p.horizontalPeriod, p.verticalAmplitude);
    }
    return remapArea(info, whole, [&](int x, int y, double& sx, double& sy) {
        sx = x + rowShift[static_cast<std::size_t>(y)];
        sy = y + columnShift[static_cast<std::size_t>(x)];
        return true;
    });
}

} // namespace rasterkit
