// The RF generator and its arbitrary waveform player: output and modulation switches, level, frequency,
// sample rate, the selected waveform, the trigger, and the run that a soft trigger starts. A single run
// lasts one pass of the waveform at the sample rate; continuous playback plays while the player is on.
#pragma once

#include <cstdint>
#include <string>

#include "sim/instrument/generator_memory.h"
#include "sim/instrument/sim_clock.h"

namespace tevra::sim {

enum class TriggerType { kContinuous, kSingle };
enum class TriggerSource { kImmediate, kBus, kExternal };

class Generator {
 public:
  static constexpr double kMinFrequencyHz = 1e6;
  static constexpr double kMaxFrequencyHz = 6e9;
  static constexpr double kMinLevelDbm = -150.0;
  static constexpr double kMaxLevelDbm = 10.0;
  static constexpr double kMinSampleRateHz = 1e3;
  static constexpr double kMaxSampleRateHz = 200e6;

  Generator(const GeneratorMemory& memory, const SimClock& clock) : memory_(memory), clock_(clock) {}

  // The *RST state.
  void reset() { state_ = State{}; }

  void setOutput(bool on) { state_.output = on; }
  bool output() const { return state_.output; }
  void setModulation(bool on) { state_.modulation = on; }
  bool modulation() const { return state_.modulation; }
  void setLevelDbm(double dbm);
  double levelDbm() const { return state_.levelDbm; }
  void setFrequencyHz(double hz);
  double frequencyHz() const { return state_.frequencyHz; }
  void setSampleRateHz(double hz);
  double sampleRateHz() const { return state_.sampleRateHz; }

  void setArbState(bool on);
  bool arbState() const { return state_.arbOn; }
  void setTriggerType(TriggerType type);
  TriggerType triggerType() const { return state_.triggerType; }
  void setTriggerSource(TriggerSource source) { state_.triggerSource = source; }
  TriggerSource triggerSource() const { return state_.triggerSource; }
  // "SEQ:<name>" or "WFM1:<name>"; ScpiError when the memory has no such waveform (the selection stays).
  void selectWaveform(const std::string& selection);
  const std::string& waveform() const { return state_.waveform; }

  // A soft trigger: starts one run when the player is on, armed for single runs from the bus, with a
  // waveform; otherwise -211 "Trigger ignored".
  void softTrigger();
  bool playing() const;

 private:
  const GeneratorMemory& memory_;
  const SimClock& clock_;

  struct State {
    bool output = false;
    bool modulation = true;
    double levelDbm = -90.0;
    double frequencyHz = 2.412e9;
    double sampleRateHz = 40e6;
    bool arbOn = false;
    TriggerType triggerType = TriggerType::kContinuous;
    TriggerSource triggerSource = TriggerSource::kImmediate;
    std::string waveform;
    uint64_t waveformSamples = 0;
    bool runStarted = false;
    SimClock::Clock::time_point runEnd{};
  };
  State state_;
};

}  // namespace tevra::sim
