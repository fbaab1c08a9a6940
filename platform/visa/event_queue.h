// The service requests of one session, queued while the session has them enabled (VI_QUEUE): posted by
// the transport, taken by viWaitOnEvent. A full queue drops new requests, as VISA's does.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "platform/visa/deadline.h"
#include "platform/visa/visa.h"

namespace tevra::platform::visa {

class EventQueue {
 public:
  static constexpr size_t kMaxLength = 50;

  // VI_SUCCESS, or VI_SUCCESS_EVENT_EN / VI_SUCCESS_EVENT_DIS when it already was.
  ViStatus enable();
  ViStatus disable();
  bool enabled() const;
  // A service request arrived; kept only while enabled and not full.
  void post();
  // Drops what is queued: VI_SUCCESS, or VI_SUCCESS_QUEUE_EMPTY when nothing was.
  ViStatus discard();
  // Takes one request: VI_SUCCESS, VI_SUCCESS_QUEUE_NEMPTY when more wait, VI_ERROR_TMO when none does.
  ViStatus take();
  // Waits until a request is queued or the deadline passes.
  void waitUntil(const Deadline& deadline);

 private:
  mutable std::mutex mutex_;
  std::condition_variable posted_;
  bool enabled_ = false;
  size_t count_ = 0;
};

}  // namespace tevra::platform::visa
