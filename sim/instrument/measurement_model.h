// The analyzer's measurements: each initiate captures the input and measures it on the samples (power,
// spectrum, OFDM demodulation), keeps the result per kind so that repeated reads agree, and stays busy for
// a modelled measurement time on the simulator's clock.
#pragma once

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/dsp/impairments.h"
#include "sim/dsp/spectrum.h"
#include "sim/instrument/analyzer.h"
#include "sim/instrument/generator.h"
#include "sim/instrument/sim_clock.h"

namespace tevra::sim {

enum class MeasurementKind { kPower, kSpectrum, kOfdm, kDsss };

struct PowerResult {
  double averageDbm = 0;
  double peakDbm = 0;
  double burstDbm = 0;  // gated over the first burst; the average when none was found
  bool burstFound = false;
  bool overload = false;
  double toneOffsetHz = 0;  // of a CW input from the centre frequency
};

// A demodulated burst, 802.11a/g or 802.11b.
struct DemodResult {
  bool burstGood = false;
  double evmPercent = 0;
  double evmDb = 0;
  double frequencyErrorHz = 0;
  double iqOffsetDb = 0;
  double dataRateMbps = 0;
  double gatedPowerDbm = 0;
  bool overload = false;
  bool shortPreamble = false;  // 802.11b only
  int mcs = -1;                // 802.11n HT-mixed only
  bool wide = false;           // an HT burst in a 40 MHz channel: the impairment estimates are not made
  double evmPeakPercent = 0;   // 802.11b only
  double clockErrorPpm = 0;    // of the symbol (OFDM) or chip (DSSS) clock
  double iqGainImbalanceDb = 0;
  double quadratureErrorDeg = 0;
  std::vector<double> flatnessDb;  // OFDM only
  double flatnessMarginDb = 0;
};

struct SpectrumResult {
  dsp::Spectrum spectrum;
  bool overload = false;
};

class MeasurementModel {
 public:
  static constexpr size_t kSpectrumPoints = 1024;

  // Throws std::runtime_error when the file cannot be read or is not a valid profile.
  void loadProfile(const std::filesystem::path& file);
  // Throws std::invalid_argument with the reason; the profile stays as it was.
  void applyProfile(const std::string& json) { profile_ = dsp::applyProfileJson(json, profile_); }
  const dsp::Profile& profile() const { return profile_; }

  void initiate(MeasurementKind kind, const Generator& generator, const GeneratorMemory& memory,
                const Analyzer& analyzer, SimClock::Clock::time_point now);
  bool busy(SimClock::Clock::time_point now) const { return now < busyUntil_; }
  // The self-calibration runs for a modelled time; measurements made meanwhile are not affected.
  void calibrate(SimClock::Clock::time_point now);
  bool calibrating(SimClock::Clock::time_point now) const { return now < calibratedAt_; }
  // Keeps the analyzer busy with a measurement of another model until `until`.
  void holdBusy(SimClock::Clock::time_point until) { busyUntil_ = std::max(busyUntil_, until); }

  const std::optional<PowerResult>& power() const { return power_; }
  const std::optional<DemodResult>& ofdm() const { return ofdm_; }
  const std::optional<DemodResult>& dsss() const { return dsss_; }
  const std::optional<SpectrumResult>& spectrum() const { return spectrum_; }

 private:
  dsp::Profile profile_;
  uint32_t captures_ = 0;
  SimClock::Clock::time_point busyUntil_{};
  SimClock::Clock::time_point calibratedAt_{};
  std::optional<PowerResult> power_;
  std::optional<DemodResult> ofdm_;
  std::optional<DemodResult> dsss_;
  std::optional<SpectrumResult> spectrum_;
};

}  // namespace tevra::sim
