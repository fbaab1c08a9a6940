#include "sim/instrument/analyzer_input.h"

#include <algorithm>
#include <optional>
#include <random>

#include "sim/dsp/resample.h"
#include "sim/dsp/segment_file.h"

namespace tevra::sim {
namespace {

constexpr size_t kMaxPlayedSamples = size_t{16} << 20;
constexpr size_t kCarrierSamples = 4096;
constexpr double kTriggerReferenceV = 0.316;
constexpr double kMaxTriggerSearchS = 0.01;
constexpr double kMaxHoldoffS = 0.001;

// One pass of the selected waveform with unit power over its non-idle samples.
dsp::Samples waveformPass(const Generator& generator, const GeneratorMemory& memory) {
  dsp::Samples pass;
  for (const PlayedSegment& played : memory.playList(generator.waveform())) {
    auto segment = dsp::decodeSegment(memory.load(played.file));
    if (!segment) continue;
    for (uint64_t r = 0; r < played.repetitions && pass.size() + segment->size() <= kMaxPlayedSamples; ++r)
      pass.insert(pass.end(), segment->begin(), segment->end());
  }
  double power = dsp::activePower(pass);
  if (power > 0) dsp::scale(pass, 1.0 / std::sqrt(power));
  return pass;
}

// `pass` repeated until it holds `samples`.
dsp::Samples looped(const dsp::Samples& pass, size_t samples) {
  dsp::Samples out(samples);
  for (size_t n = 0; n < samples && !pass.empty(); ++n) out[n] = pass[n % pass.size()];
  return out;
}

// The first rising edge at or after `from`: a sample at the threshold after `quiet` samples below it.
std::optional<size_t> risingEdge(const dsp::Samples& x, double thresholdMw, size_t quiet, size_t from,
                                 size_t end) {
  size_t below = 0;
  for (size_t n = 0; n < std::min(end, x.size()); ++n) {
    if (std::norm(x[n]) < thresholdMw) {
      ++below;
      continue;
    }
    if (n >= from && below >= quiet) return n;
    below = 0;
  }
  return std::nullopt;
}

}  // namespace

double triggerThresholdMw(const Analyzer& analyzer) {
  double volts = analyzer.triggerLevelV();
  if (volts <= 0) return 0.0;
  return dsp::fromDb(analyzer.powerRangeDbm() + 20.0 * std::log10(volts / kTriggerReferenceV));
}

dsp::Samples generatorOutput(const Generator& generator, const GeneratorMemory& memory) {
  if (!generator.output()) return {};
  dsp::Samples out;
  if (!generator.modulation())
    out.assign(kCarrierSamples, dsp::Complex{1.0, 0.0});
  else if (generator.playing())
    out = waveformPass(generator, memory);
  dsp::scale(out, std::sqrt(dsp::fromDb(generator.levelDbm())));
  return out;
}

Capture captureInput(const Generator& generator, const GeneratorMemory& memory, const Analyzer& analyzer,
                     const dsp::Profile& profile, uint32_t seed, double rateHz) {
  Capture capture;
  std::mt19937 rng(seed);
  dsp::Samples pass = generatorOutput(generator, memory);
  double playedRate = generator.sampleRateHz() * (1.0 + profile.sampleClockOffsetPpm * 1e-6);
  double ratio = rateHz / playedRate;
  auto acquisition = static_cast<size_t>(std::ceil(analyzer.acquisitionTimeS() * rateHz));
  // The trigger looks at most one pass, and at most kMaxTriggerSearchS, for its edge.
  auto passAtCapture = static_cast<size_t>(
      std::min(std::ceil(static_cast<double>(pass.size()) * ratio), kMaxTriggerSearchS * rateHz));
  double delayS = analyzer.triggerDelayS() - kPretriggerS;
  size_t extra = static_cast<size_t>(std::ceil(std::abs(delayS) * rateHz));
  size_t streamSamples = passAtCapture + acquisition + 2 * extra + 64;
  auto quiet = static_cast<size_t>(
      std::clamp(std::round(analyzer.triggerHoldoffS() * rateHz), 1.0, kMaxHoldoffS * rateHz));
  streamSamples += quiet;
  dsp::Samples stream =
      dsp::resample(looped(pass, static_cast<size_t>(std::ceil(streamSamples / ratio)) + 1), ratio);
  stream.resize(streamSamples);
  double tuning = generator.frequencyHz() - analyzer.frequencyHz();
  if (std::abs(tuning) >= rateHz / 2) std::fill(stream.begin(), stream.end(), dsp::Complex{});
  double signalMw = dsp::fromDb(generator.levelDbm());
  double offsetHz = tuning + profile.frequencyOffsetPpm * 1e-6 * generator.frequencyHz();
  if (!pass.empty()) dsp::applyImpairments(stream, rateHz, offsetHz, signalMw, profile, rng);
  dsp::addNoise(stream, rateHz, dsp::fromDb(analyzer.powerRangeDbm() - kNoiseFloorBelowRangeDbHz), rng);

  capture.thresholdMw = triggerThresholdMw(analyzer);
  size_t start = extra + quiet;
  if (analyzer.trigger() == AnalyzerTrigger::kBurst) {
    auto fired = risingEdge(stream, capture.thresholdMw, quiet, start, start + passAtCapture + 1);
    capture.triggered = fired.has_value();
    if (fired) start = *fired;
  }
  auto shift = static_cast<std::ptrdiff_t>(std::llround(delayS * rateHz));
  size_t first = static_cast<size_t>(std::max<std::ptrdiff_t>(0, static_cast<std::ptrdiff_t>(start) + shift));
  first = std::min(first, stream.size());
  size_t last = std::min(stream.size(), first + acquisition);
  capture.samples.assign(stream.begin() + static_cast<std::ptrdiff_t>(first),
                         stream.begin() + static_cast<std::ptrdiff_t>(last));
  capture.overload = dsp::toDb(dsp::peakPower(capture.samples)) > analyzer.powerRangeDbm();
  return capture;
}

}  // namespace tevra::sim
