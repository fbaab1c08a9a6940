#include "sim/vxi11/link_table.h"

#include <climits>

namespace tevra::sim::vxi11 {

std::optional<int32_t> LinkTable::create() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_ || links_.size() >= maxLinks_) return std::nullopt;
  while (links_.count(next_) != 0) next_ = next_ == INT32_MAX ? 1 : next_ + 1;
  int32_t id = next_;
  next_ = next_ == INT32_MAX ? 1 : next_ + 1;
  links_.emplace(id, std::make_shared<DeviceLink>(instrument_));
  return id;
}

std::shared_ptr<DeviceLink> LinkTable::find(int32_t id) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = links_.find(id);
  return it == links_.end() ? nullptr : it->second;
}

bool LinkTable::destroy(int32_t id) {
  std::shared_ptr<DeviceLink> link;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = links_.find(id);
    if (it == links_.end()) return false;
    link = std::move(it->second);
    links_.erase(it);
    if (lockHolder_ == id) {
      lockHolder_.reset();
      lockReleased_.notify_all();
    }
  }
  // A read that waits on the link ends now; the link itself goes with its last user.
  link->abandon();
  return true;
}

bool LinkTable::mayUse(int32_t id, std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  return lockReleased_.wait_for(lock, wait, [&] { return closed_ || !lockHolder_ || lockHolder_ == id; }) &&
         !closed_;
}

int32_t LinkTable::lock(int32_t id, std::chrono::milliseconds wait) {
  if (!mayUse(id, wait)) return kDeviceLockedByAnotherLink;
  std::lock_guard<std::mutex> lock(mutex_);
  if (lockHolder_ && lockHolder_ != id) return kDeviceLockedByAnotherLink;
  lockHolder_ = id;
  return kNoError;
}

int32_t LinkTable::unlock(int32_t id) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lockHolder_ != id) return kNoLockHeldByThisLink;
  lockHolder_.reset();
  lockReleased_.notify_all();
  return kNoError;
}

void LinkTable::close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
  lockReleased_.notify_all();
  for (auto& [id, link] : links_) link->abandon();
}

}  // namespace tevra::sim::vxi11
