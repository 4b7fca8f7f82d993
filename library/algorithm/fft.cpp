// Two-dimensional real transforms over FFTW (single precision), rows and columns planned apart.
#include "fft.h"

#include <algorithm>
#include <cstdint>
#include <fftw3.h>
#include <limits>
#include <mutex>

namespace rasterkit {
namespace {

// The planner keeps global state and is not thread-safe; executing a plan is. The engine plans
// too, from the window's worker thread, so a lock of our own is not enough: FFTW's process-wide
// planner lock (taken by every plan and destroy, whoever makes them) is switched on before our
// first plan. This lock only orders our own plan sets.
std::mutex plannerMutex;

void makePlannerThreadSafe() {
    static std::once_flag once;
    std::call_once(once, [] { fftwf_make_planner_thread_safe(); });
}

bool onlySmallFactors(int n) {
    for (int p : {2, 3, 5, 7}) {
        while (n % p == 0)
            n /= p;
    }
    return n == 1;
}

} // namespace

int fastTransformSize(int minimum) noexcept {
    int n = minimum < 2 ? 2 : minimum;
    while (!onlySmallFactors(n))
        ++n;
    return n;
}

std::unique_ptr<SpectralField> SpectralField::create(int width, int height, int band) {
    if (width < 1 || height < 1) return nullptr;
    const int columns = width / 2 + 1;
    if (band < 1 || band > columns) band = columns;
    const std::size_t rowFloats = 2 * static_cast<std::size_t>(columns);
    const std::size_t total = rowFloats * static_cast<std::size_t>(height);
    if (total > std::numeric_limits<std::size_t>::max() / sizeof(float) / 2) return nullptr;
    auto* data = static_cast<float*>(fftwf_malloc(total * sizeof(float)));
    if (data == nullptr) return nullptr;
    std::unique_ptr<SpectralField> field(new SpectralField(width, height, band, data));
    auto* spectrum = reinterpret_cast<fftwf_complex*>(data);
    const int n[1] = {width};
    const int m[1] = {height};
    const int realEmbed[1] = {static_cast<int>(rowFloats)};
    const int complexEmbed[1] = {columns};
    makePlannerThreadSafe();
    std::lock_guard<std::mutex> lock(plannerMutex);
    // Estimated plans: measuring would cost more than the transforms of one call.
    field->plans_[0] = fftwf_plan_many_dft_r2c(1, n, height, data, realEmbed, 1, static_cast<int>(rowFloats),
                                               spectrum, complexEmbed, 1, columns, FFTW_ESTIMATE);
    field->plans_[1] = fftwf_plan_many_dft(1, m, band, spectrum, nullptr, columns, 1, spectrum, nullptr,
                                           columns, 1, FFTW_FORWARD, FFTW_ESTIMATE);
    field->plans_[2] = fftwf_plan_many_dft(1, m, band, spectrum, nullptr, columns, 1, spectrum, nullptr,
                                           columns, 1, FFTW_BACKWARD, FFTW_ESTIMATE);
    field->plans_[3] = fftwf_plan_many_dft_c2r(1, n, height, spectrum, complexEmbed, 1, columns, data,
                                               realEmbed, 1, static_cast<int>(rowFloats), FFTW_ESTIMATE);
    for (void* plan : field->plans_) {
        if (plan == nullptr) return nullptr; // the destructor frees what was made
    }
    return field;
}

SpectralField::~SpectralField() {
    {
        std::lock_guard<std::mutex> lock(plannerMutex);
        for (void* plan : plans_) {
            if (plan != nullptr) fftwf_destroy_plan(static_cast<fftwf_plan>(plan));
        }
    }
    fftwf_free(data_);
}

void SpectralField::forward() noexcept {
    fftwf_execute(static_cast<fftwf_plan>(plans_[0]));
    fftwf_execute(static_cast<fftwf_plan>(plans_[1]));
}

void SpectralField::inverse() noexcept {
    fftwf_execute(static_cast<fftwf_plan>(plans_[2]));
    const int columns = spectrumWidth();
    if (band_ < columns) {
        for (int y = 0; y < height_; ++y)
            std::fill(coefficients(y) + band_, coefficients(y) + columns, 0.0f);
    }
    fftwf_execute(static_cast<fftwf_plan>(plans_[3]));
}

} // namespace rasterkit
