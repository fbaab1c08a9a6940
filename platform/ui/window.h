// The window system as far as the driver needs it outside the charts.
#pragma once

#include <cstdint>

namespace tevra::platform {

// The window that has the keyboard focus, 0 when there is none or no window system is known to the driver.
int32_t GetForegroundWindow();

}  // namespace tevra::platform
