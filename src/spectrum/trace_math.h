// Arithmetic on spectrum traces that the exported calculations share: the peak search, unit conversions and
// band powers. Pure functions over caller arrays; they never allocate.
#pragma once

#include <cstdint>

namespace tevra::spectrum {

struct Peak {
  double power = 0.0;
  int32_t index = 0;
};

// The largest of values[0..count-1] and its index; of equal maxima the first wins. The caller passes at
// least one value.
Peak peakSearch(const double* values, int32_t count);

// One of the eight unit conversions by code (1..8); any other code gives the value back unchanged.
double convertValue(double value, int32_t code);

// Band power in dBm of a trace of powers in dBm measured with a resolution filter whose noise bandwidth is
// 1.056 times the resolution bandwidth. count >= 1.
double spectrumBandPower(const double* powers, int32_t count, double bandwidthHz, double rbwHz);

// The reference level in dBm of a density trace: 10 log10(rbw) + dBm/Hz.
double psdReferenceLevel(double rbwHz, double referenceDbmPerHz);
// Band power in dBm of a trace of densities in dB relative to the reference level. count >= 1.
double psdBandPower(const double* psd, int32_t count, double bandwidthHz, double rbwHz, double reference);

}  // namespace tevra::spectrum
