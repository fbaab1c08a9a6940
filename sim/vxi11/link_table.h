// The links that the VXI-11 server holds, by their link identifiers, shared by its connections.
#pragma once

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
  // False for an unknown identifier.
  bool destroy(int32_t id);
  // Abandons every link and refuses new ones: the server is stopping.
  void close();

 private:
  Instrument& instrument_;
  size_t maxLinks_;
  mutable std::mutex mutex_;
  std::map<int32_t, std::shared_ptr<DeviceLink>> links_;
  int32_t next_ = 1;
  bool closed_ = false;
};

}  // namespace tevra::sim::vxi11
