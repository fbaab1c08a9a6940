#include "src/spectrum/trace_math.h"

#include <cmath>

namespace tevra::spectrum {
namespace {

// The reciprocals of 223.6068 mV (1 mW into 50 ohm) and 316 mV, applied as multipliers.
constexpr double kPerMilliwattVoltage = 0.00447213590999916;
constexpr double kPer316mV = 0.0031645569620253164;
constexpr double kNoiseBandwidthFactor = 1.056;

double linearSum(const double* dB, int32_t count, double offset) {
  double sum = 0.0;
  for (int32_t i = 0; i < count; ++i) sum += std::pow(10.0, (offset + dB[i]) * 0.1);
  return sum;
}

}  // namespace

Peak peakSearch(const double* values, int32_t count) {
  Peak peak{values[0], 0};
  for (int32_t i = 1; i < count; ++i) {
    if (values[i] > peak.power) peak = {values[i], i};
  }
  return peak;
}

double convertValue(double value, int32_t code) {
  switch (code) {
    case 1:
      return 20.0 * std::log10(value * 0.01);
    case 2:
      return 100.0 * std::pow(10.0, value * 0.05);
    case 3:
      return 223.6068 * std::pow(10.0, value * 0.05);
    case 4:
      return 316.0 * std::pow(10.0, value * 0.05);
    case 5:
      return 20.0 * std::log10(value * kPerMilliwattVoltage);
    case 6:
      return 20.0 * std::log10(value * kPer316mV);
    case 7:
      return 10.0 * std::log10(value);
    case 8:
      return std::pow(10.0, value * 0.1);
    default:
      return value;
  }
}

double spectrumBandPower(const double* powers, int32_t count, double bandwidthHz, double rbwHz) {
  const double sum = linearSum(powers, count, 0.0);
  return 10.0 * (std::log10(bandwidthHz / (rbwHz * kNoiseBandwidthFactor)) + std::log10(sum / count));
}

double psdReferenceLevel(double rbwHz, double referenceDbmPerHz) {
  return 10.0 * std::log10(rbwHz) + referenceDbmPerHz;
}

double psdBandPower(const double* psd, int32_t count, double bandwidthHz, double rbwHz, double reference) {
  const double sum = linearSum(psd, count, reference);
  return 10.0 * (std::log10(sum / count) + std::log10(bandwidthHz / rbwHz));
}

}  // namespace tevra::spectrum
