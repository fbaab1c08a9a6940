// What the analyzer captures: the generator's output looped back at its level and frequency relative to the
// analyzer's centre, resampled to the capture rate, through the device-under-test chain of the profile and
// the analyzer's own noise floor, cut to the acquisition time from where the trigger fires.
#pragma once

#include <cstdint>

#include "sim/dsp/impairments.h"
#include "sim/dsp/iq.h"
#include "sim/instrument/analyzer.h"
#include "sim/instrument/generator.h"

namespace tevra::sim {

inline constexpr double kCaptureRateHz = 80e6;
// The rate of a capture for spans wider than kCaptureRateHz holds (the 120 MHz of a 40 MHz channel's mask).
inline constexpr double kWideCaptureRateHz = 160e6;
// The analyzer's noise density below its power range, in dB per Hz.
inline constexpr double kNoiseFloorBelowRangeDbHz = 150.0;
// The capture keeps this much from before the trigger.
inline constexpr double kPretriggerS = 1e-6;

struct Capture {
  dsp::Samples samples;  // square-root mW at the capture rate
  bool triggered = false;
  double thresholdMw = 0;  // the burst trigger's level as a power
  bool overload = false;   // the peak passed the power range
};

// The generator's output as one pass of its waveform at its own sample rate, in square-root mW: nothing
// with the output off or the player stopped, an unmodulated carrier with modulation off.
dsp::Samples generatorOutput(const Generator& generator, const GeneratorMemory& memory);

Capture captureInput(const Generator& generator, const GeneratorMemory& memory, const Analyzer& analyzer,
                     const dsp::Profile& profile, uint32_t seed, double rateHz = kCaptureRateHz);

// The burst trigger's level as a power: the level in volts relative to 316 mV below the power range.
double triggerThresholdMw(const Analyzer& analyzer);

}  // namespace tevra::sim
