#include "platform/visa/event_queue.h"

namespace tevra::platform::visa {

ViStatus EventQueue::enable() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (enabled_) return VI_SUCCESS_EVENT_EN;
  enabled_ = true;
  return VI_SUCCESS;
}

ViStatus EventQueue::disable() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!enabled_) return VI_SUCCESS_EVENT_DIS;
  enabled_ = false;
  return VI_SUCCESS;
}

bool EventQueue::enabled() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return enabled_;
}

void EventQueue::post() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!enabled_ || count_ == kMaxLength) return;
  ++count_;
  posted_.notify_all();
}

ViStatus EventQueue::discard() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (count_ == 0) return VI_SUCCESS_QUEUE_EMPTY;
  count_ = 0;
  return VI_SUCCESS;
}

ViStatus EventQueue::take() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (count_ == 0) return VI_ERROR_TMO;
  --count_;
  return count_ > 0 ? VI_SUCCESS_QUEUE_NEMPTY : VI_SUCCESS;
}

void EventQueue::waitUntil(const Deadline& deadline) {
  std::unique_lock<std::mutex> lock(mutex_);
  auto ready = [&] { return count_ > 0; };
  if (deadline.infinite()) {
    posted_.wait(lock, ready);
  } else {
    posted_.wait_until(lock, deadline.at(), ready);
  }
}

}  // namespace tevra::platform::visa
