// A point in time by which an I/O call gives up, or none for VI_TMO_INFINITE.
#pragma once

#include <chrono>
#include <climits>

#include "platform/visa/visa.h"

namespace tevra::platform::visa {

class Deadline {
 public:
  using Clock = std::chrono::steady_clock;

  static Deadline afterMilliseconds(ViUInt32 timeoutMs) {
    Deadline d;
    if (timeoutMs == VI_TMO_INFINITE) return d;
    d.infinite_ = false;
    d.at_ = Clock::now() + std::chrono::milliseconds(timeoutMs);
    return d;
  }
  static Deadline now() { return afterMilliseconds(0); }

  // The same deadline later by margin: the wait for an answer that the peer gives at the deadline itself.
  Deadline later(std::chrono::milliseconds margin) const {
    Deadline d = *this;
    d.at_ += margin;
    return d;
  }

  // What is left, in milliseconds rounded up: VI_TMO_INFINITE for none, 0 once expired.
  ViUInt32 remainingMilliseconds() const {
    if (infinite_) return VI_TMO_INFINITE;
    int left = pollMilliseconds();
    return static_cast<ViUInt32>(left);
  }

  bool expired() const { return !infinite_ && Clock::now() >= at_; }
  bool infinite() const { return infinite_; }
  Clock::time_point at() const { return at_; }
  // The earlier of this deadline and one after ms from now.
  Deadline atMost(ViUInt32 ms) const {
    Deadline bound = afterMilliseconds(ms);
    return infinite_ || bound.at_ < at_ ? bound : *this;
  }

  // The wait for poll(): -1 for none, else the milliseconds left, rounded up so that a wait never ends early.
  int pollMilliseconds() const {
    if (infinite_) return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(at_ - Clock::now()).count();
    if (left <= 0) return 0;
    return left > INT_MAX ? INT_MAX : static_cast<int>(left);
  }

 private:
  bool infinite_ = true;
  Clock::time_point at_{};
};

}  // namespace tevra::platform::visa
