// The SCPI texts of the fast average power path over the driver's own instrument session.
#pragma once

namespace tevra::spectrum::scpi {

inline constexpr const char* kClearStatus = "*CLS";
inline constexpr const char* kBandwidth = "DIAG:HW:BAND 22.0e6";
inline constexpr const char* kDecimation = "DIAG:HW:DAP:DEC 1";
inline constexpr const char* kFrequencyFormat = ":DIAG:HW:FEA:FREQ %.0f";
inline constexpr const char* kRangeFormat = ":DIAG:HW:FEA:RANGE %g";
inline constexpr const char* kAcquisitionTimeFormat = ":DIAG:HW:DAP:ACQ:TIME %g";
inline constexpr const char* kTriggerSourceFormat = ":DIAG:HW:DAP:TRIG:SOUR %s";
inline constexpr const char* kTriggerLevelFormat = ":DIAG:HW:DAP:TRIG:LEVel %g";
inline constexpr const char* kTriggerDelayFormat = ":DIAG:HW:DAP:TRIG:DELay %g";
inline constexpr const char* kTriggerIdleFormat = ":DIAG:HW:DAP:TRIG:IDLE %g";
inline constexpr const char* kResultsOff = ":DIAG:HW:DAP:MEAS:RESULTS 0,0";
inline constexpr const char* kGenericMode = ":DIAG:HW:DAP:MODE generic,fm";
inline constexpr const char* kResultsOn = ":DIAG:HW:DAP:MEAS:RESULTS 1,1";
inline constexpr const char* kAveragePowerQuery = ":DIAG:HW:DAP:READ:MISC:APOW? 1";
inline constexpr const char* kOverrangeQuery = ":DIAG:HW:DAP:ACQ:ADC:OVERrange?";

}  // namespace tevra::spectrum::scpi
