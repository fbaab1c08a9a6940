#include "sim/instrument/generator.h"

#include <chrono>

#include "sim/scpi/scpi_error.h"

namespace tevra::sim {

using scpi::ScpiError;
namespace errc = scpi::errc;

void Generator::setLevelDbm(double dbm) {
  scpi::checkInRange(dbm, kMinLevelDbm, kMaxLevelDbm);
  state_.levelDbm = dbm;
}

void Generator::setFrequencyHz(double hz) {
  scpi::checkInRange(hz, kMinFrequencyHz, kMaxFrequencyHz);
  state_.frequencyHz = hz;
}

void Generator::setSampleRateHz(double hz) {
  scpi::checkInRange(hz, kMinSampleRateHz, kMaxSampleRateHz);
  state_.sampleRateHz = hz;
}

void Generator::setArbState(bool on) {
  state_.arbOn = on;
  state_.runStarted = false;
}

void Generator::setTriggerType(TriggerType type) {
  state_.triggerType = type;
  state_.runStarted = false;
}

void Generator::selectWaveform(const std::string& selection) {
  uint64_t samples = memory_.samplesOfWaveform(selection);
  state_.waveform = selection;
  state_.waveformSamples = samples;
  state_.runStarted = false;
}

void Generator::softTrigger() {
  if (!state_.arbOn || state_.waveform.empty() || state_.triggerType != TriggerType::kSingle ||
      state_.triggerSource != TriggerSource::kBus) {
    throw ScpiError{errc::kTriggerIgnored, {}};
  }
  auto runTime =
      std::chrono::duration<double>(static_cast<double>(state_.waveformSamples) / state_.sampleRateHz);
  state_.runEnd = clock_.now() + std::chrono::duration_cast<SimClock::Clock::duration>(runTime);
  state_.runStarted = true;
}

bool Generator::playing() const {
  if (!state_.arbOn || state_.waveform.empty()) return false;
  if (state_.triggerType == TriggerType::kContinuous) return true;
  return state_.runStarted && clock_.now() < state_.runEnd;
}

}  // namespace tevra::sim
