#include "tests/support/fake_kernel.h"

#include <chrono>

namespace tevra::test {

platform::SystemTime localTime(uint16_t year, uint16_t month, uint16_t day, uint16_t hour, uint16_t minute,
                               uint16_t second, uint16_t milliseconds) {
  const std::chrono::sys_days date{std::chrono::year{year} / std::chrono::month{month} /
                                   std::chrono::day{day}};
  platform::SystemTime time;
  time.year = year;
  time.month = month;
  time.dayOfWeek = static_cast<uint16_t>(std::chrono::weekday{date}.c_encoding());
  time.day = day;
  time.hour = hour;
  time.minute = minute;
  time.second = second;
  time.milliseconds = milliseconds;
  return time;
}

FakeKernel::FakeKernel() : time_(localTime(2008, 4, 17)) {
  platform::SetLocalTimeSourceForTest([this] {
    std::lock_guard<std::mutex> lock(mutex_);
    return time_;
  });
  platform::SetThreadIdSourceForTest([this] {
    std::lock_guard<std::mutex> lock(mutex_);
    return threadId_;
  });
  platform::SetTickSourceForTest([this] {
    std::lock_guard<std::mutex> lock(mutex_);
    const uint32_t now = tick_;
    tick_ += tickStep_;
    return now;
  });
  platform::SetDebugOutputSinkForTest([this](const char* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    debugLines_.emplace_back(text);
  });
}

void FakeKernel::setTickStep(uint32_t milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  tickStep_ = milliseconds;
}

FakeKernel::~FakeKernel() {
  platform::SetLocalTimeSourceForTest({});
  platform::SetThreadIdSourceForTest({});
  platform::SetTickSourceForTest({});
  platform::SetDebugOutputSinkForTest({});
  platform::SetSleepForTest({});
}

void FakeKernel::recordSleeps() {
  platform::SetSleepForTest([this](uint32_t milliseconds) {
    std::lock_guard<std::mutex> lock(mutex_);
    sleeps_.push_back(milliseconds);
    tick_ += milliseconds;
  });
}

std::vector<uint32_t> FakeKernel::sleeps() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sleeps_;
}

void FakeKernel::setTime(const platform::SystemTime& time) {
  std::lock_guard<std::mutex> lock(mutex_);
  time_ = time;
}

void FakeKernel::setThreadId(uint32_t threadId) {
  std::lock_guard<std::mutex> lock(mutex_);
  threadId_ = threadId;
}

std::vector<std::string> FakeKernel::debugLines() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return debugLines_;
}

}  // namespace tevra::test
