// The links that the VXI-11 server holds, by their link identifiers, shared by its connections.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "sim/vxi11/device_link.h"

namespace tevra::sim::vxi11 {

class LinkTable {
 public:
  LinkTable(Instrument& instrument, size_t maxLinks) : instrument_(instrument), maxLinks_(maxLinks) {}

  // A new link's identifier; nothing when the table is full or closed.
  std::optional<int32_t> create();
  std::shared_ptr<DeviceLink> find(int32_t id) const;
  // False for an unknown identifier. A lock that the link holds is released.
  bool destroy(int32_t id);

  // The device's exclusive lock for link id, waiting up to wait for another holder to release it:
  // kNoError or kDeviceLockedByAnotherLink.
  int32_t lock(int32_t id, std::chrono::milliseconds wait);
  // kNoError, or kNoLockHeldByThisLink.
  int32_t unlock(int32_t id);
  // Whether link id may use the device now or within wait: no other link holds the lock.
  bool mayUse(int32_t id, std::chrono::milliseconds wait);
  // Abandons every link and refuses new ones: the server is stopping.
  void close();

 private:
  Instrument& instrument_;
  size_t maxLinks_;
  mutable std::mutex mutex_;
  std::map<int32_t, std::shared_ptr<DeviceLink>> links_;
  int32_t next_ = 1;
  bool closed_ = false;
  std::optional<int32_t> lockHolder_;
  std::condition_variable lockReleased_;
};

}  // namespace tevra::sim::vxi11
