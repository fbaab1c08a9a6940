#include "sim/dsp/tones.h"

#include <random>

namespace tevra::dsp {

Samples toneSignal(const std::vector<double>& offsetsHz, double rateHz, size_t samples) {
  Samples out(samples);
  if (offsetsHz.empty() || samples == 0) return out;
  double amplitude = 1.0 / std::sqrt(static_cast<double>(offsetsHz.size()));
  for (size_t t = 0; t < offsetsHz.size(); ++t) {
    double periods = std::round(offsetsHz[t] * static_cast<double>(samples) / rateHz);
    // Spread the starting phases so that the tones do not add up to one tall peak.
    double phase0 = kPi * static_cast<double>(t * t) / static_cast<double>(offsetsHz.size());
    for (size_t n = 0; n < samples; ++n) {
      double cycles = std::fmod(periods * static_cast<double>(n), static_cast<double>(samples));
      out[n] += std::polar(amplitude, 2.0 * kPi * cycles / static_cast<double>(samples) + phase0);
    }
  }
  return out;
}

Samples noiseSignal(size_t samples, uint32_t seed) {
  std::mt19937 engine(seed);
  std::normal_distribution<double> gauss(0.0, std::sqrt(0.5));
  Samples out(samples);
  for (Complex& v : out) v = {gauss(engine), gauss(engine)};
  return out;
}

}  // namespace tevra::dsp
