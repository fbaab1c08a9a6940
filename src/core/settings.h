// Analyzer settings and switches the driver holds itself, and the change mask of the held settings that the
// fast SCPI path still has to send. Shared without a lock: callers drive the driver from one thread at a
// time.
#pragma once

#include <cstdint>

namespace tevra::core {

enum ChangeBit : uint32_t {
  kChangeCenterFrequency = 0x01,
  kChangePowerRange = 0x02,
  kChangeMaxPacketLength = 0x04,
  kChangeTriggerStyle = 0x08,
  kChangeTriggerLevel = 0x10,
  kChangeTriggerDelay = 0x20,
  kChangeTriggerHoldoff = 0x40,
  kChangeWindowType = 0x80,
};
inline constexpr int32_t kChangeAll = -1;

struct HeldSettings {
  double centerFrequencyMHz = 2412.0;
  double powerRange = 0.0;
  double maxPacketLengthS = 0.00097;
  int32_t triggerStyle = 2;  // server code
  double triggerLevelMV = 20.0;
  double triggerDelayS = 0.0;
  double triggerHoldoffS = 0.000001;
  int32_t windowType = 2;
};

struct DriverSwitches {
  int32_t showSplashScreen = 1;
  int32_t compensateSidecarLoss = 1;
  int32_t getDemodGatedPower = 0;
};

struct DriverSettings {
  HeldSettings held;
  DriverSwitches switches;
  int32_t changeMask = kChangeAll;
};

DriverSettings& settings();
// Restores the values the library has when it is loaded (tests).
void resetSettings();

inline void markAllChanged() {
  settings().changeMask = kChangeAll;
}
inline void markChanged(ChangeBit bit) {
  settings().changeMask |= static_cast<int32_t>(bit);
}
inline void clearChanged(ChangeBit bit) {
  settings().changeMask &= ~static_cast<int32_t>(bit);
}

// The caller's trigger-style codes as the server knows them (1 gives 0, 3 gives 4, any other 2), and back
// (0 gives 1, 2 gives 2, 4 gives 3, any other -1).
int32_t triggerStyleToServer(int32_t callerCode);
double triggerStyleFromServer(int32_t serverCode);

}  // namespace tevra::core
