#include "sim/instrument/measurement_model.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "sim/dsp/burst_power.h"
#include "sim/dsp/dsss_rx.h"
#include "sim/dsp/ht40_rx.h"
#include "sim/dsp/ht_phy.h"
#include "sim/dsp/ofdm_phy.h"
#include "sim/dsp/ofdm_rx.h"
#include "sim/dsp/resample.h"
#include "sim/instrument/analyzer_input.h"

namespace tevra::sim {
namespace {

// Time the instrument takes after the acquisition to produce each kind of result.
double processingTimeS(MeasurementKind kind) {
  switch (kind) {
    case MeasurementKind::kPower:
      return 0.001;
    case MeasurementKind::kSpectrum:
      return 0.005;
    case MeasurementKind::kOfdm:
    case MeasurementKind::kDsss:
      break;
  }
  return 0.01;
}

constexpr double kBurstSmoothingS = 0.1e-6;
constexpr double kBurstGapS = 1e-6;

size_t samplesOf(double seconds) {
  return static_cast<size_t>(std::lround(seconds * kCaptureRateHz));
}

dsp::PowerAnalysis measurePower(const Capture& capture) {
  return dsp::analyzePower(capture.samples, capture.thresholdMw, samplesOf(kBurstSmoothingS),
                           samplesOf(kBurstGapS));
}

// HT rates of one stream with the long guard interval: 52 data carriers in a 20 MHz channel, 108 in 40 MHz.
double htRateMbps(int mcs, bool wide) {
  static constexpr double kRates[] = {6.5, 13, 19.5, 26, 39, 52, 58.5, 65};
  if (mcs < 0 || mcs >= 8) return 0.0;
  return wide ? kRates[mcs] * 108.0 / 52.0 : kRates[mcs];
}

// The figures every OFDM burst gives, from its analysis in `channel` (the capture at the receiver's rate).
void takeBurstFigures(const dsp::OfdmAnalysis& a, const dsp::Samples& channel, bool wide,
                      DemodResult& result) {
  result.burstGood = true;
  result.wide = wide;
  result.evmPercent = 100.0 * a.evmRms;
  result.evmDb = 20.0 * std::log10(std::max(a.evmRms, 1e-10));
  result.frequencyErrorHz = a.frequencyErrorHz;
  result.iqOffsetDb = a.iqOffsetDb;
  result.dataRateMbps = a.ht ? htRateMbps(a.mcs, wide) : a.mbps;
  result.mcs = a.ht ? a.mcs : -1;
  // Gated over the burst in its channel, as the demodulator sees it.
  result.gatedPowerDbm = dsp::toDb(dsp::meanPower(channel, a.burstStart, a.burstSamples));
}

// An HT burst that fills a 40 MHz channel, else a 20 MHz burst (802.11a/g or HT). The 40 MHz receiver goes
// first: it takes only a 40 MHz HT-SIG with its CRC, while the 20 MHz receiver can take the middle of a 40
// MHz burst, whose two half-channels it sees side by side, for a burst of its own.
DemodResult measureOfdm(const Capture& capture) {
  DemodResult result;
  result.overload = capture.overload;
  dsp::Samples wideChannel = dsp::resample(capture.samples, dsp::ht::wide::kSampleRateHz / kCaptureRateHz);
  if (dsp::OfdmAnalysis wide = dsp::analyzeHt40(wideChannel); wide.found) {
    takeBurstFigures(wide, wideChannel, true, result);
    return result;
  }
  dsp::Samples channel = dsp::resample(capture.samples, dsp::ofdm::kSampleRateHz / kCaptureRateHz);
  dsp::OfdmAnalysis a = dsp::analyzeOfdm(channel);
  if (!a.found) return result;
  takeBurstFigures(a, channel, false, result);
  result.clockErrorPpm = a.symbolClockErrorPpm;
  result.iqGainImbalanceDb = a.iqGainImbalanceDb;
  result.quadratureErrorDeg = a.quadratureErrorDeg;
  result.flatnessDb = std::move(a.flatnessDb);
  result.flatnessMarginDb = a.flatnessMarginDb;
  return result;
}

DemodResult measureDsss(const Capture& capture) {
  DemodResult result;
  result.overload = capture.overload;
  dsp::Samples channel = dsp::resample(capture.samples, dsp::dsss::kSampleRateHz / kCaptureRateHz);
  dsp::DsssAnalysis a = dsp::analyzeDsss(channel);
  if (!a.found) return result;
  result.burstGood = true;
  result.evmPercent = 100.0 * a.evmRms;
  result.evmDb = 20.0 * std::log10(std::max(a.evmRms, 1e-10));
  result.frequencyErrorHz = a.frequencyErrorHz;
  result.iqOffsetDb = a.iqOffsetDb;
  result.dataRateMbps = a.mbps;
  result.gatedPowerDbm = dsp::toDb(dsp::meanPower(channel, a.burstStart, a.burstSamples));
  result.shortPreamble = a.preamble == dsp::dsss::Preamble::kShort;
  result.evmPeakPercent = 100.0 * a.evmPeak;
  result.clockErrorPpm = a.chipClockErrorPpm;
  return result;
}

}  // namespace

void MeasurementModel::loadProfile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read profile " + file.string());
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  try {
    profile_ = dsp::applyProfileJson(text, dsp::Profile{});
  } catch (const std::invalid_argument& e) {
    throw std::runtime_error(file.string() + ": " + e.what());
  }
}

void MeasurementModel::calibrate(SimClock::Clock::time_point now) {
  constexpr std::chrono::milliseconds kCalibrationTime{500};
  calibratedAt_ = now + kCalibrationTime;
}

void MeasurementModel::initiate(MeasurementKind kind, const Generator& generator,
                                const GeneratorMemory& memory, const Analyzer& analyzer,
                                SimClock::Clock::time_point now) {
  Capture capture = captureInput(generator, memory, analyzer, profile_, profile_.seed + captures_++);
  switch (kind) {
    case MeasurementKind::kPower: {
      dsp::PowerAnalysis p = measurePower(capture);
      power_ = PowerResult{dsp::toDb(p.averageMw), dsp::toDb(p.peakMw),
                           dsp::toDb(p.burstMw),   p.burstFound,
                           capture.overload,       dsp::toneOffsetHz(capture.samples, kCaptureRateHz)};
      break;
    }
    case MeasurementKind::kSpectrum: {
      dsp::PowerAnalysis p = measurePower(capture);
      dsp::Samples gated(
          capture.samples.begin() + static_cast<std::ptrdiff_t>(p.burstStart),
          capture.samples.begin() + static_cast<std::ptrdiff_t>(p.burstStart + p.burstSamples));
      if (!p.burstFound || gated.size() < kSpectrumPoints) gated = capture.samples;
      spectrum_ =
          SpectrumResult{dsp::welchSpectrum(gated, kCaptureRateHz, kSpectrumPoints), capture.overload};
      break;
    }
    case MeasurementKind::kOfdm:
      ofdm_ = measureOfdm(capture);
      break;
    case MeasurementKind::kDsss:
      dsss_ = measureDsss(capture);
      break;
  }
  auto modelled = std::chrono::duration<double>(analyzer.acquisitionTimeS() + processingTimeS(kind));
  busyUntil_ = now + std::chrono::duration_cast<SimClock::Clock::duration>(modelled);
}

}  // namespace tevra::sim
