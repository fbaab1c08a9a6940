#include "platform/visa/local_lock.h"

#include "platform/visa/deadline.h"

namespace tevra::platform::visa {

LocalLocks& LocalLocks::instance() {
  // Never destroyed: sessions may be closed by exit handlers after static destruction has begun.
  static LocalLocks* locks = new LocalLocks;
  return *locks;
}

ViStatus LocalLocks::lock(const std::string& resource, const void* owner, ViUInt32 timeoutMs) {
  Deadline deadline = Deadline::afterMilliseconds(timeoutMs);
  std::unique_lock<std::mutex> lock(mutex_);
  auto free = [&] {
    auto it = holders_.find(resource);
    return it == holders_.end() || it->second == owner;
  };
  if (deadline.infinite()) {
    released_.wait(lock, free);
  } else if (!released_.wait_until(lock, deadline.at(), free)) {
    return VI_ERROR_TMO;
  }
  holders_[resource] = owner;
  return VI_SUCCESS;
}

ViStatus LocalLocks::unlock(const std::string& resource, const void* owner) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = holders_.find(resource);
  if (it == holders_.end() || it->second != owner) return VI_ERROR_SESN_NLOCKED;
  holders_.erase(it);
  released_.notify_all();
  return VI_SUCCESS;
}

bool LocalLocks::heldByOther(const std::string& resource, const void* owner) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = holders_.find(resource);
  return it != holders_.end() && it->second != owner;
}

}  // namespace tevra::platform::visa
