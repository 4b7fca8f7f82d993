// Wave: rows pushed sideways and columns up and down along sine waves.
#include "effects_internal.h"

#include <cmath>

namespace rasterkit {
namespace {

// Displacement of position t for a period (two full waves per period); a period of 0 is flat.
double waveShift(std::uint32_t t, std::uint32_t period, double amplitude) {
  if (period == 0 || amplitude == 0) return 0;
  return amplitude * std::sin((t % period) * 12.5664 / period - 6.2832);
}

int wave(ImageInfo& info) {
  const bool supported = isDistortable(info);
  if (info.dwMode == RK_MODE_QUERY || !supported) return answerQuery(info, supported);
  const auto* param = static_cast<const WaveParam*>(info.lpParam);
  const WaveParam p = *param;
  const Area whole{0, 0, info.nSrcWidth, info.nSrcHeight};
  return remapArea(info, whole, [&](int x, int y, double& sx, double& sy) {
    sx = x + waveShift(static_cast<std::uint32_t>(y), p.verticalPeriod, p.horizontalAmplitude);
    sy = y + waveShift(static_cast<std::uint32_t>(x), p.horizontalPeriod, p.verticalAmplitude);
    return true;
  });
}

}  // namespace

RASTERKIT_OPERATION(RK_OP_WAVE, wave);

}  // namespace rasterkit
