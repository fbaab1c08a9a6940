#include "sim/instrument/measurement_model.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "sim/dsp/burst_power.h"
#include "sim/dsp/dsss_rx.h"
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

// HT rates of one stream at 20 MHz with the long guard interval.
double htRateMbps(int mcs) {
  static constexpr double kRates[] = {6.5, 13, 19.5, 26, 39, 52, 58.5, 65};
  return mcs >= 0 && mcs < 8 ? kRates[mcs] : 0.0;
}

DemodResult measureOfdm(const Capture& capture) {
  DemodResult result;
  result.overload = capture.overload;
  constexpr double kDecimation = kCaptureRateHz / dsp::ofdm::kSampleRateHz;
  dsp::Samples channel = dsp::resample(capture.samples, 1.0 / kDecimation);
  dsp::OfdmAnalysis a = dsp::analyzeOfdm(channel);
  if (!a.found) return result;
  result.burstGood = true;
  result.evmPercent = 100.0 * a.evmRms;
  result.evmDb = 20.0 * std::log10(std::max(a.evmRms, 1e-10));
  result.frequencyErrorHz = a.frequencyErrorHz;
  result.iqOffsetDb = a.iqOffsetDb;
  result.dataRateMbps = a.ht ? htRateMbps(a.mcs) : a.mbps;
  result.mcs = a.ht ? a.mcs : -1;
  // Gated over the burst in the 20 MHz channel, as the demodulator sees it.
  result.gatedPowerDbm = dsp::toDb(dsp::meanPower(channel, a.burstStart, a.burstSamples));
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
