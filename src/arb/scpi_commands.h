// The SCPI texts of the waveform generator with their numbers formatted as the instrument reads them.
#pragma once

#include <string>

namespace tevra::arb {

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
