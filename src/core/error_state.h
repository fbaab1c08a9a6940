// Driver-wide error state of the call frame: COM last error, position number (kept by the adapter, which
// stores it with each server call) and the error-text buffer.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "src/server/position.h"

namespace tevra::core {

inline constexpr size_t kErrorTextSize = 500;

struct ErrorState {
  // Atomics only so that concurrent callers cannot tear them; callers still drive the driver from one thread.
  std::atomic<int32_t> comLastError{0};
  char errorText[kErrorTextSize] = {};
};

ErrorState& errorState();

using server::position;
using server::setPosition;
inline void setComLastError(int32_t hr) {
  errorState().comLastError.store(hr, std::memory_order_relaxed);
}
inline int32_t comLastError() {
  return errorState().comLastError.load(std::memory_order_relaxed);
}

// The ERR text of the last failure traced on the calling thread (Tevra_GetLastErrorText): recorded with every
// traced failure, cleared when a framed call starts.
void recordThreadErrorText(const char* text);
void clearThreadErrorText();

}  // namespace tevra::core
