// The further results of the latest measurements, kept for Tevra_GetExtraMeasureResult. Every field is zero
// when the library is loaded and keeps the value of the last measurement that wrote it, across sessions.
// Shared without a lock: callers drive the driver from one thread at a time.
#pragma once

#include <cstdint>

namespace tevra::measure {

struct LastResults {
  int32_t burstGood = 0;  // the server's 16-bit flag, sign-extended: -1 for its usual true
  double frequencyErrorHz = 0.0;
  double gatedPowerDbm = 0.0;
  double iqOffsetDb = 0.0;
  double rmsEvmPercent = 0.0;
  double bitRateMbps = 0.0;
  int32_t modulationFormat = 0;
  double spectralMaskPeakPowerDbm = 0.0;
  int32_t mcs = 0;
};

LastResults& lastResults();
// Restores the values the library has when it is loaded (tests).
void resetLastResults();

}  // namespace tevra::measure
