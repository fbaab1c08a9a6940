// Faults that a test asks the simulator for: delayed, split or missing replies and closed connections,
// each for a number of events or until reset, set for one connection or for all. A connection's own
// fault takes precedence over the global one of the same kind.
#pragma once

#include <cstdint>

namespace tevra::sim {

struct Fault {
  int value = 0;            // delay in ms, or pieces of a split reply
  int64_t remaining = 0;    // events still affected; 0 = off
  bool persistent = false;  // every event until reset

  bool active() const { return persistent || remaining > 0; }
  void consume() {
    if (!persistent && remaining > 0) --remaining;
  }
};

struct FaultSet {
  Fault delay;
  Fault split;
  Fault missing;
  Fault close;
};

// What becomes of the reply to one message.
struct ReplyPlan {
  bool send = true;
  int delayMs = 0;
  int pieces = 1;
};

class FaultInjector {
 public:
  FaultSet& global() { return global_; }

  // Whether an instrument message on a connection with these faults closes it instead of being run.
  bool takeClose(FaultSet& connection);
  // The plan for the reply to an instrument message; consumes the faults it applies.
  ReplyPlan planReply(FaultSet& connection);

 private:
  Fault* pick(Fault& own, Fault& global) {
    if (own.active()) return &own;
    return global.active() ? &global : nullptr;
  }

  FaultSet global_;
};

}  // namespace tevra::sim
