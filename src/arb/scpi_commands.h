// The SCPI texts of the waveform generator with their numbers formatted as the instrument reads them.
#pragma once

#include <string>

namespace tevra::arb {

namespace scpi {
inline constexpr const char* kOutputOff = ":OUTput OFF";
inline constexpr const char* kOutputOn = ":OUTput ON";
inline constexpr const char* kModulationOff = ":OUTput:MODulation:STATe OFF";
inline constexpr const char* kModulationOn = ":OUTput:MODulation:STATe ON";
inline constexpr const char* kPlayerOff = ":SOURce:RADio:ARB:STATe OFF";
inline constexpr const char* kPlayerOn = ":SOURce:RADio:ARB:STATe ON";
inline constexpr const char* kSingleRun = ":SOURce:RADio:ARB:TRIGger:TYPE SINGle";
inline constexpr const char* kBusTrigger = ":SOURce:RADio:ARB:TRIGger BUS";
inline constexpr const char* kSoftTrigger = ":SOURce:RADio:ARB:TRIGger:SOFT";
inline constexpr const char* kLowestPower = ":SOURce:POWer:LEVel:IMMediate:AMPLitude -90";
inline constexpr const char* kClearStatus = "*CLS";
inline constexpr const char* kOperationCondition = "STATus:OPERation:COND?";
}  // namespace scpi

// ":SOURce:POWer:LEVel:IMMediate:AMPLitude %f".
std::string powerCommand(double dBm);
// ":SOURce:FREQuency:FIXed <f>MHz" with enough digits to carry the frequency to 1 Hz: values that six
// significant digits show exactly ("2412", "5180.12") read the same as with "%g".
std::string frequencyCommand(double mhz);
// ":SOURce:RADio:ARB:CLOCK:SRATe %dMHz".
std::string sampleClockCommand(int mhz);
// ":SOURce:RADio:ARB:WAVEform \"SEQ:<name>\"".
std::string sequenceWaveformCommand(const char* name);

}  // namespace tevra::arb
