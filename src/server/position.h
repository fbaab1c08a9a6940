// The position number: stored before each server call and at other named points of a function, and quoted
// after "L" in failure texts, so that a failure names the call that raised it.
#pragma once

#include <atomic>
#include <cstdint>

namespace tevra::server {

// Atomic only so that concurrent callers cannot tear it; callers still drive the driver from one thread.
std::atomic<int32_t>& positionNumber();

inline void setPosition(int32_t position) {
  positionNumber().store(position, std::memory_order_relaxed);
}
inline int32_t position() {
  return positionNumber().load(std::memory_order_relaxed);
}

}  // namespace tevra::server
