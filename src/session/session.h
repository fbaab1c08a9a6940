// The session with the instrument: the owner window of the charts, and what library shut-down closes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tevra::core {

// The window the chart windows belong to; 0 until set.
int32_t ownerWindow();

}  // namespace tevra::core
