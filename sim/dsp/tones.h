// Continuous test signals: a complex tone, several tones, and white Gaussian noise, each with unit mean
// power and a whole number of periods so that they repeat without a step.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/dsp/iq.h"

namespace tevra::dsp {

// Offsets are rounded to the nearest whole number of periods in `samples`.
Samples toneSignal(const std::vector<double>& offsetsHz, double rateHz, size_t samples);
Samples noiseSignal(size_t samples, uint32_t seed);

}  // namespace tevra::dsp
