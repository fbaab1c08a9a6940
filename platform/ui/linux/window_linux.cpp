#include "platform/ui/window.h"

namespace tevra::platform {

// The driver keeps no connection to a display outside its chart windows, so it knows of no focus window.
int32_t GetForegroundWindow() { return 0; }

}  // namespace tevra::platform
