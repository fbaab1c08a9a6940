// The analyzer's gated spectrum and auto-range measurements. A gated spectrum averages the spectra of
// several captures, each gated to its first burst, at a 100 kHz resolution bandwidth over a span of 22,
// 44 or 66 MHz with a point every 55 kHz, so that spans placed 22 MHz apart share their edge points, or
// over the 120 MHz of a 40 MHz channel's mask (2183 points, captured at twice the usual rate). An
// auto-range looks at the input with the widest power range and reports its peak, its burst power and the
// length of its first burst.
#pragma once

#include <cmath>
#include <cstdint>
#include <optional>

#include "sim/dsp/impairments.h"
#include "sim/dsp/spectrum.h"
#include "sim/instrument/analyzer.h"
#include "sim/instrument/generator.h"
#include "sim/instrument/generator_memory.h"

namespace tevra::sim {

// How the spectra of several captures are combined: mean power, mean of the dB values, or the highest.
enum class SpectrumAveraging { kPower, kLog, kMaximum };

struct GatedSpectrumSetup {
  static constexpr double kResolutionBandwidthHz = 100e3;
  static constexpr double kPointSpacingHz = 55e3;
  static constexpr int kMaxCaptures = 16;

  static constexpr int kWidestCode = 4;

  int width = 1;  // 1: 22 MHz, 2: 44 MHz, 3: 66 MHz, 4: 120 MHz
  SpectrumAveraging averaging = SpectrumAveraging::kPower;
  int count = 1;  // captures averaged, at most kMaxCaptures of them

  double spanHz() const { return width == kWidestCode ? 120e6 : 22e6 * width; }
  size_t points() const { return static_cast<size_t>(std::lround(spanHz() / kPointSpacingHz)) + 1; }
  double captureRateHz() const;
};

struct GatedSpectrumResult {
  double centreHz = 0;
  dsp::Spectrum spectrum;   // offsets from the centre
  double bandPowerDbm = 0;  // the trace's points integrated over the span
  bool overload = false;
};

struct AutoRangeResult {
  double peakDbm = 0;
  double burstDbm = 0;
  double burstLengthS = 0;  // of the first burst; the whole capture for a continuous signal
  bool burstFound = false;
};

class SignalSource {
 public:
  SignalSource(const Generator& generator, const GeneratorMemory& memory, const dsp::Profile& profile)
      : generator_(generator), memory_(memory), profile_(profile) {}
  const Generator& generator() const { return generator_; }
  const GeneratorMemory& memory() const { return memory_; }
  const dsp::Profile& profile() const { return profile_; }

 private:
  const Generator& generator_;
  const GeneratorMemory& memory_;
  const dsp::Profile& profile_;
};

class GatedSpectrumModel {
 public:
  GatedSpectrumSetup& setup() { return setup_; }
  void reset() { *this = GatedSpectrumModel{}; }

  // Both return the time the analyzer is busy with the measurement, in seconds.
  double measureSpectrum(const SignalSource& source, const Analyzer& analyzer);
  double measureAutoRange(const SignalSource& source, const Analyzer& analyzer);

  const std::optional<GatedSpectrumResult>& spectrum() const { return spectrum_; }
  const std::optional<AutoRangeResult>& autoRange() const { return autoRange_; }

 private:
  uint32_t nextSeed(const dsp::Profile& profile) { return profile.seed + 0x9e37u + captures_++; }

  GatedSpectrumSetup setup_;
  uint32_t captures_ = 0;
  std::optional<GatedSpectrumResult> spectrum_;
  std::optional<AutoRangeResult> autoRange_;
};

}  // namespace tevra::sim
