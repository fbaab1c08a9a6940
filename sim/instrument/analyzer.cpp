#include "sim/instrument/analyzer.h"

#include "sim/scpi/scpi_error.h"

namespace tevra::sim {
void Analyzer::setFrequencyHz(double hz) {
  scpi::checkInRange(hz, kMinFrequencyHz, kMaxFrequencyHz);
  state_.frequencyHz = hz;
}

void Analyzer::setPowerRangeDbm(double dbm) {
  scpi::checkInRange(dbm, kMinPowerRangeDbm, kMaxPowerRangeDbm);
  state_.powerRangeDbm = dbm;
}

void Analyzer::setAcquisitionTimeS(double seconds) {
  scpi::checkInRange(seconds, kMinAcquisitionTimeS, kMaxAcquisitionTimeS);
  state_.acquisitionTimeS = seconds;
}

void Analyzer::setTriggerLevelV(double volts) {
  scpi::checkInRange(volts, kMinTriggerLevelV, kMaxTriggerLevelV);
  state_.triggerLevelV = volts;
}

void Analyzer::setTriggerDelayS(double seconds) {
  scpi::checkInRange(seconds, -kMaxTriggerDelayS, kMaxTriggerDelayS);
  state_.triggerDelayS = seconds;
}

void Analyzer::setTriggerHoldoffS(double seconds) {
  scpi::checkInRange(seconds, 0.0, kMaxTriggerHoldoffS);
  state_.triggerHoldoffS = seconds;
}

}  // namespace tevra::sim
