#include "platform/ui/window.h"

namespace tevra::platform {

// The driver keeps no connection to a display outside its chart windows, so it knows of no focus window.
int32_t GetForegroundWindow() {
  return 0;
}

// Without a display there is no cursor to show; the wait cursor of a long call has nothing to change.
CursorHandle LoadCursor(int32_t /*id*/) {
  return 0;
}
CursorHandle SetCursor(CursorHandle /*cursor*/) {
  return 0;
}

}  // namespace tevra::platform
