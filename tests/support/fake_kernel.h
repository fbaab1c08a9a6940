// Replaces the kernel's clock, tick count and thread id with fixed values and captures the debugger output,
// for the lifetime of the object; the system's sources come back when it is destroyed.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/kernel/kernel.h"

namespace tevra::test {

// A local time with its day of the week filled in.
platform::SystemTime localTime(uint16_t year, uint16_t month, uint16_t day, uint16_t hour = 9,
                               uint16_t minute = 30, uint16_t second = 5, uint16_t milliseconds = 123);

class FakeKernel {
 public:
  // Starts at Thursday 2008-04-17 09:30:05.123 on thread 0xABCD.
  FakeKernel();
  ~FakeKernel();
  FakeKernel(const FakeKernel&) = delete;
  FakeKernel& operator=(const FakeKernel&) = delete;

  void setTime(const platform::SystemTime& time);
  void setThreadId(uint32_t threadId);
  // Each reading of the tick count advances it by this much (0 at first: every call takes 0 ms).
  void setTickStep(uint32_t milliseconds);
  std::vector<std::string> debugLines() const;
  // From now on Sleep returns at once, advances the tick count by its time and is recorded.
  void recordSleeps();
  std::vector<uint32_t> sleeps() const;

 private:
  mutable std::mutex mutex_;
  platform::SystemTime time_;
  uint32_t threadId_ = 0xABCD;
  uint32_t tick_ = 1000;
  uint32_t tickStep_ = 0;
  std::vector<std::string> debugLines_;
  std::vector<uint32_t> sleeps_;
};

}  // namespace tevra::test
