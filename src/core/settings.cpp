#include "src/core/settings.h"

namespace tevra::core {

DriverSettings& settings() {
  static DriverSettings held;
  return held;
}

void resetSettings() {
  settings() = DriverSettings{};
}

int32_t triggerStyleToServer(int32_t callerCode) {
  switch (callerCode) {
    case 1:
      return 0;
    case 3:
      return 4;
    default:
      return 2;
  }
}

double triggerStyleFromServer(int32_t serverCode) {
  switch (serverCode) {
    case 0:
      return 1.0;
    case 2:
      return 2.0;
    case 4:
      return 3.0;
    default:
      return -1.0;
  }
}

}  // namespace tevra::core
