// The simulator's time: the steady clock, or held still and moved on by hand so that tests can see a
// playback run at a chosen moment without waiting for it.
#pragma once

#include <chrono>

namespace tevra::sim {

class SimClock {
 public:
  using Clock = std::chrono::steady_clock;

  Clock::time_point now() const { return manual_ ? held_ : Clock::now() + offset_; }
  bool manual() const { return manual_; }

  // Holds the clock at the current time.
  void hold() {
    if (manual_) return;
    held_ = now();
    manual_ = true;
  }
  // Lets it run again from where it was held.
  void release() {
    if (!manual_) return;
    offset_ = held_ - Clock::now();
    manual_ = false;
  }
  void advance(Clock::duration by) { held_ += by; }

 private:
  bool manual_ = false;
  Clock::time_point held_{};
  Clock::duration offset_{};
};

}  // namespace tevra::sim
