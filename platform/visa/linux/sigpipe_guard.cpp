#include "platform/visa/linux/sigpipe_guard.h"

#include <pthread.h>

#include <cerrno>
#include <ctime>

namespace tevra::platform::visa {
namespace {

sigset_t onlySigpipe() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  return set;
}

}  // namespace

SigpipeGuard::SigpipeGuard() {
  sigset_t pending;
  sigemptyset(&pending);
  sigpending(&pending);
  pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
  sigset_t block = onlySigpipe();
  pthread_sigmask(SIG_BLOCK, &block, &previousMask_);
}

SigpipeGuard::~SigpipeGuard() {
  // Only a SIGPIPE that the guarded calls raised is taken: one pending before is the program's.
  if (!pendingBefore_) {
    sigset_t pipe = onlySigpipe();
    timespec none{0, 0};
    while (sigtimedwait(&pipe, nullptr, &none) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

}  // namespace tevra::platform::visa
