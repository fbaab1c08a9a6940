// The system's text for a Win32 error code, for the ends of failure texts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tevra::core {

inline constexpr size_t kSystemErrorTextSize = 300;

// Writes the text for code on one line (line breaks dropped), cut to fit size bytes with its terminating
// zero, or "Unknown code %d" when the system has none. Returns buffer.
char* getSystemErrorText(uint32_t code, char* buffer, size_t size = kSystemErrorTextSize);

}  // namespace tevra::core
