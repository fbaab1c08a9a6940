// The device-under-test impairment chain of the measurement model and the profile (JSON) that sets it.
// Keys absent from a profile keep their previous values; an unknown key or a value of the wrong type is
// refused, so that a misspelt key never passes silently.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "sim/dsp/iq.h"

namespace tevra::dsp {

struct Profile {
  double gainDb = 0.0;
  double frequencyOffsetPpm = 0.0;    // of the carrier frequency
  double sampleClockOffsetPpm = 0.0;  // of the waveform's sample clock
  std::optional<double> iqOffsetDb;   // carrier leakage relative to the signal power
  double iqGainImbalanceDb = 0.0;     // I relative to Q
  double quadratureErrorDeg = 0.0;
  double phaseNoiseRmsDeg = 0.0;
  double phaseNoiseBandwidthHz = 100e3;
  std::optional<double> snrDb;            // signal to noise in a 20 MHz channel
  std::optional<double> paSaturationDbm;  // Rapp amplifier's output saturation power
  double paSmoothness = 2.0;
  uint32_t seed = 1;
};

// Applies the keys of a JSON object to `base`; std::invalid_argument with the reason otherwise.
Profile applyProfileJson(const std::string& json, Profile base);
std::string profileToJson(const Profile& profile);

inline constexpr double kChannelBandwidthHz = 20e6;

// The chain on samples at `rateHz` whose nominal power is `signalMw`: IQ gain and quadrature error, IQ
// offset, carrier offset `offsetHz` (which the caller computes from the ppm and any tuning difference) with
// phase noise, gain, the amplifier, and additive noise at the profile's SNR.
void applyImpairments(Samples& x, double rateHz, double offsetHz, double signalMw, const Profile& profile,
                      std::mt19937& rng);

// The gain imbalance (dB, I relative to Q) and quadrature error (degrees) that the IQ imbalance above
// applies, given its image ratio: the share nu/mu of the conjugate signal in mu x + nu conj(x).
struct IqImbalance {
  double gainDb = 0;
  double quadratureDeg = 0;
};
IqImbalance iqImbalanceOfImageRatio(Complex ratio);

// White Gaussian noise of a power density (mW/Hz) over the sampled bandwidth.
void addNoise(Samples& x, double rateHz, double densityMwPerHz, std::mt19937& rng);

}  // namespace tevra::dsp
