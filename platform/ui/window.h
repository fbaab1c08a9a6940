// The window system as far as the driver needs it outside the charts.
#pragma once

#include <cstdint>

namespace tevra::platform {

// The window that has the keyboard focus, 0 when there is none or no window system is known to the driver.
int32_t GetForegroundWindow();

using CursorHandle = intptr_t;
inline constexpr int32_t kIdcWait = 32514;

// The system cursor with the given id; 0 when there is no window system.
CursorHandle LoadCursor(int32_t id);
// Shows cursor and returns the one shown before (0 for none).
CursorHandle SetCursor(CursorHandle cursor);

}  // namespace tevra::platform
