// Switching a device on or off by its name and location: the walk over the present devices, the state
// change request, and the second walk when a device that is being switched off asks for a restart.
#pragma once

#include <cstdint>

#include "tevra.h"

namespace tevra::devices {

// Results besides the failure codes of the individual steps.
inline constexpr int32_t kSwitched = 1;
inline constexpr int32_t kEmptyName = 0;
inline constexpr int32_t kServiceNotFound = TEVRA_DEVICE_NOT_FOUND;
inline constexpr int32_t kUnexpectedFailure = -10301;

// flags bit 0: the device's name must equal name; clear: it must begin with name.
inline constexpr int32_t kExactName = 1;

int32_t enableService(const char* name, bool enable, const char* location, int32_t flags);

}  // namespace tevra::devices
