// The VISA timeout a station sets for the sessions to its instrument, without changing any program.
#pragma once

#include "platform/visa/visa.h"

namespace tevra::platform::visa {

// TEVRA_VISA_TIMEOUT_MS when it holds 1 to 600000 (ms), else TEVRA_VISA_DEFAULT_TMO_MS.
ViUInt32 configuredTimeoutMs();

}  // namespace tevra::platform::visa
