#include "sim/instrument/gated_spectrum.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "sim/dsp/burst_power.h"
#include "sim/instrument/analyzer_input.h"

namespace tevra::sim {
namespace {

// The burst finder smooths the power over 0.1 us and ends a burst after 1 us below its threshold.
constexpr double kBurstSmoothingS = 0.1e-6;
constexpr double kBurstGapS = 1e-6;
constexpr double kSpectrumProcessingS = 0.005;
constexpr double kAutoRangeProcessingS = 0.02;
// The auto-range looks at this much of the input at least, so that it sees a whole burst.
constexpr double kAutoRangeAcquisitionS = 0.004;
// A burst is where the power rises to within this much of the peak.
constexpr double kAutoRangeBurstBelowPeakDb = 20.0;
// The second look is taken with this much room above the first look's peak.
constexpr double kAutoRangeHeadroomDb = 10.0;

double samplesToSeconds(size_t samples) {
  return static_cast<double>(samples) / kCaptureRateHz;
}

dsp::PowerAnalysis findBurst(const dsp::Samples& x, double thresholdMw, double rateHz) {
  return dsp::analyzePower(x, thresholdMw, static_cast<size_t>(std::lround(kBurstSmoothingS * rateHz)),
                           static_cast<size_t>(std::lround(kBurstGapS * rateHz)));
}

// The capture from its first burst on, or all of it for a continuous signal or a burst shorter than one
// analysis window; at least `minimum` samples, padded with silence when the capture is shorter.
dsp::Samples gatedSamples(const Capture& capture, size_t minimum, double rateHz) {
  dsp::PowerAnalysis p = findBurst(capture.samples, capture.thresholdMw, rateHz);
  dsp::Samples gated = capture.samples;
  if (p.burstFound && p.burstSamples >= minimum) {
    auto first = capture.samples.begin() + static_cast<std::ptrdiff_t>(p.burstStart);
    gated.assign(first, first + static_cast<std::ptrdiff_t>(p.burstSamples));
  }
  if (gated.size() < minimum) gated.resize(minimum);
  return gated;
}

void combine(std::vector<double>& into, const std::vector<double>& dbm, SpectrumAveraging averaging) {
  for (size_t i = 0; i < into.size(); ++i) {
    switch (averaging) {
      case SpectrumAveraging::kPower:
        into[i] += dsp::fromDb(dbm[i]);
        break;
      case SpectrumAveraging::kLog:
        into[i] += dbm[i];
        break;
      case SpectrumAveraging::kMaximum:
        into[i] = std::max(into[i], dbm[i]);
        break;
    }
  }
}

std::vector<double> finish(std::vector<double> combined, SpectrumAveraging averaging, int captures) {
  for (double& value : combined) {
    if (averaging == SpectrumAveraging::kPower) value = dsp::toDb(value / captures);
    if (averaging == SpectrumAveraging::kLog) value /= captures;
  }
  return combined;
}

}  // namespace

double GatedSpectrumSetup::captureRateHz() const {
  return spanHz() < kCaptureRateHz ? kCaptureRateHz : kWideCaptureRateHz;
}

double GatedSpectrumModel::measureSpectrum(const SignalSource& source, const Analyzer& analyzer) {
  const int captures = std::clamp(setup_.count, 1, GatedSpectrumSetup::kMaxCaptures);
  const double rbwHz = GatedSpectrumSetup::kResolutionBandwidthHz;
  const double rateHz = setup_.captureRateHz();
  const auto window = static_cast<size_t>(std::lround(1.5 * rateHz / rbwHz));
  GatedSpectrumResult result;
  result.centreHz = analyzer.frequencyHz();
  std::vector<double> combined(setup_.points(), setup_.averaging == SpectrumAveraging::kMaximum
                                                    ? -std::numeric_limits<double>::infinity()
                                                    : 0.0);
  for (int n = 0; n < captures; ++n) {
    Capture capture = captureInput(source.generator(), source.memory(), analyzer, source.profile(),
                                   nextSeed(source.profile()), rateHz);
    result.overload = result.overload || capture.overload;
    result.spectrum = dsp::welchTrace(gatedSamples(capture, window, rateHz), rateHz, rbwHz, setup_.spanHz(),
                                      setup_.points());
    combine(combined, result.spectrum.dbm, setup_.averaging);
  }
  result.spectrum.dbm = finish(std::move(combined), setup_.averaging, captures);
  // Each point holds the power within one resolution bandwidth; the points lie closer than that.
  double bandMw = 0.0;
  for (double dbm : result.spectrum.dbm) bandMw += dsp::fromDb(dbm);
  result.bandPowerDbm = dsp::toDb(bandMw * result.spectrum.stepHz / result.spectrum.rbwHz);
  spectrum_ = std::move(result);
  return captures * analyzer.acquisitionTimeS() + kSpectrumProcessingS;
}

double GatedSpectrumModel::measureAutoRange(const SignalSource& source, const Analyzer& analyzer) {
  Analyzer probe = analyzer;
  probe.setTrigger(AnalyzerTrigger::kImmediate);
  probe.setTriggerDelayS(0.0);
  probe.setAcquisitionTimeS(std::max(analyzer.acquisitionTimeS(), kAutoRangeAcquisitionS));
  AutoRangeResult result;
  // A first look at the widest range finds the level, a second one closer to it measures it above the
  // analyzer's noise.
  double rangeDbm = Analyzer::kMaxPowerRangeDbm;
  for (int look = 0; look < 2; ++look) {
    probe.setPowerRangeDbm(rangeDbm);
    Capture capture = captureInput(source.generator(), source.memory(), probe, source.profile(),
                                   nextSeed(source.profile()));
    const double peakMw = dsp::peakPower(capture.samples);
    dsp::PowerAnalysis p =
        findBurst(capture.samples, peakMw * dsp::fromDb(-kAutoRangeBurstBelowPeakDb), kCaptureRateHz);
    result.peakDbm = dsp::toDb(peakMw);
    result.burstFound = p.burstFound;
    result.burstDbm = dsp::toDb(p.burstMw);
    result.burstLengthS = samplesToSeconds(p.burstFound ? p.burstSamples : capture.samples.size());
    rangeDbm = std::clamp(std::ceil(result.peakDbm) + kAutoRangeHeadroomDb, Analyzer::kMinPowerRangeDbm,
                          Analyzer::kMaxPowerRangeDbm);
  }
  autoRange_ = result;
  return 2 * probe.acquisitionTimeS() + kAutoRangeProcessingS;
}

}  // namespace tevra::sim
