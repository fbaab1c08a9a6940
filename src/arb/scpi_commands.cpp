#include "src/arb/scpi_commands.h"

#include <cstdio>

namespace tevra::arb {

std::string powerCommand(double dBm) {
  char text[96];
  std::snprintf(text, sizeof text, ":SOURce:POWer:LEVel:IMMediate:AMPLitude %f", dBm);
  return text;
}

std::string frequencyCommand(double mhz) {
  char text[96];
  std::snprintf(text, sizeof text, ":SOURce:FREQuency:FIXed %.10gMHz", mhz);
  return text;
}

std::string sampleClockCommand(int mhz) {
  char text[64];
  std::snprintf(text, sizeof text, ":SOURce:RADio:ARB:CLOCK:SRATe %dMHz", mhz);
  return text;
}

std::string sequenceWaveformCommand(const char* name) {
  return std::string(":SOURce:RADio:ARB:WAVEform \"SEQ:") + name + "\"";
}

}  // namespace tevra::arb
