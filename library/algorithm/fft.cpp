// Two-dimensional real transforms over FFTW.
#include "fft.h"

#include <fftw3.h>

#include <cstdint>
#include <limits>
#include <mutex>

namespace rasterkit {
namespace {

// The planner keeps global state and is not thread-safe; executing a plan is.
std::mutex plannerMutex;

bool onlySmallFactors(int n) {
  for (int p : {2, 3, 5, 7}) {
    while (n % p == 0) n /= p;
  }
  return n == 1;
}

}  // namespace

int fastTransformSize(int minimum) noexcept {
  int n = minimum < 2 ? 2 : minimum;
  while (!onlySmallFactors(n)) ++n;
  return n;
}

std::unique_ptr<SpectralField> SpectralField::create(int width, int height) {
  if (width < 1 || height < 1) return nullptr;
  const std::size_t rowDoubles = 2 * (static_cast<std::size_t>(width) / 2 + 1);
  const std::size_t total = rowDoubles * static_cast<std::size_t>(height);
  if (total > std::numeric_limits<std::size_t>::max() / sizeof(double) / 2) return nullptr;
  auto* data = static_cast<double*>(fftw_malloc(total * sizeof(double)));
  if (data == nullptr) return nullptr;
  auto* spectrum = reinterpret_cast<fftw_complex*>(data);
  fftw_plan forward;
  fftw_plan inverse;
  {
    std::lock_guard<std::mutex> lock(plannerMutex);
    // Estimated plans: measuring would cost more than the transforms of one call.
    forward = fftw_plan_dft_r2c_2d(height, width, data, spectrum, FFTW_ESTIMATE);
    inverse = fftw_plan_dft_c2r_2d(height, width, spectrum, data, FFTW_ESTIMATE);
  }
  if (forward == nullptr || inverse == nullptr) {
    std::lock_guard<std::mutex> lock(plannerMutex);
    if (forward != nullptr) fftw_destroy_plan(forward);
    if (inverse != nullptr) fftw_destroy_plan(inverse);
    fftw_free(data);
    return nullptr;
  }
  return std::unique_ptr<SpectralField>(new SpectralField(width, height, data, forward, inverse));
}

SpectralField::~SpectralField() {
  {
    std::lock_guard<std::mutex> lock(plannerMutex);
    fftw_destroy_plan(static_cast<fftw_plan>(forward_));
    fftw_destroy_plan(static_cast<fftw_plan>(inverse_));
  }
  fftw_free(data_);
}

void SpectralField::forward() noexcept { fftw_execute(static_cast<fftw_plan>(forward_)); }

void SpectralField::inverse() noexcept {
  fftw_execute(static_cast<fftw_plan>(inverse_));
  const double scale = 1.0 / (static_cast<double>(width_) * height_);
  for (int y = 0; y < height_; ++y) {
    double* r = row(y);
    for (int x = 0; x < width_; ++x) r[x] *= scale;
  }
}

}  // namespace rasterkit
