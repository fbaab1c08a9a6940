// Keeps a SIGPIPE that a write on a connection closed by its peer raises away from the process: libtirpc
// writes with write(2), and how the host program handles SIGPIPE is not this library's to change. While a
// guard lives its thread blocks SIGPIPE; one that the guarded calls raised is taken before the old mask
// returns.
#pragma once

#include <signal.h>

namespace tevra::platform::visa {

class SigpipeGuard {
 public:
  SigpipeGuard();
  ~SigpipeGuard();
  SigpipeGuard(const SigpipeGuard&) = delete;
  SigpipeGuard& operator=(const SigpipeGuard&) = delete;

 private:
  sigset_t previousMask_;
  bool pendingBefore_ = false;
};

}  // namespace tevra::platform::visa
