// The signal analyzer's acquisition settings: centre frequency, power range, acquisition time and the
// trigger (source, level, delay, holdoff). The measurement model reads them; *RST restores the defaults.
#pragma once

namespace tevra::sim {

enum class AnalyzerTrigger { kImmediate, kBurst, kExternal };

class Analyzer {
 public:
  static constexpr double kMinFrequencyHz = 1e6;
  static constexpr double kMaxFrequencyHz = 6e9;
  static constexpr double kMinPowerRangeDbm = -50.0;
  static constexpr double kMaxPowerRangeDbm = 30.0;
  static constexpr double kMinAcquisitionTimeS = 1e-6;
  static constexpr double kMaxAcquisitionTimeS = 0.1;
  static constexpr double kMinTriggerLevelV = 0.0;
  static constexpr double kMaxTriggerLevelV = 10.0;
  static constexpr double kMaxTriggerDelayS = 0.1;
  static constexpr double kMaxTriggerHoldoffS = 1.0;

  void reset() { state_ = State{}; }

  // Each setter raises ScpiError -222 outside its range.
  void setFrequencyHz(double hz);
  double frequencyHz() const { return state_.frequencyHz; }
  void setPowerRangeDbm(double dbm);
  double powerRangeDbm() const { return state_.powerRangeDbm; }
  void setAcquisitionTimeS(double seconds);
  double acquisitionTimeS() const { return state_.acquisitionTimeS; }
  void setTrigger(AnalyzerTrigger trigger) { state_.trigger = trigger; }
  AnalyzerTrigger trigger() const { return state_.trigger; }
  void setTriggerLevelV(double volts);
  double triggerLevelV() const { return state_.triggerLevelV; }
  // -0.1 s (pre-trigger) to +0.1 s.
  void setTriggerDelayS(double seconds);
  double triggerDelayS() const { return state_.triggerDelayS; }
  void setTriggerHoldoffS(double seconds);
  double triggerHoldoffS() const { return state_.triggerHoldoffS; }

 private:
  struct State {
    double frequencyHz = 2.412e9;
    double powerRangeDbm = 0.0;
    double acquisitionTimeS = 0.00097;
    AnalyzerTrigger trigger = AnalyzerTrigger::kBurst;
    double triggerLevelV = 0.02;
    double triggerDelayS = 0.0;
    double triggerHoldoffS = 0.000001;
  };
  State state_;
};

}  // namespace tevra::sim
