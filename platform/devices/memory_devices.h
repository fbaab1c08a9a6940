// Devices held in memory, for tests of code that walks and switches devices: each device has the properties
// it reports and a script of failures and changes that do not take effect.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/devices/devices.h"

namespace tevra::platform {

struct MemoryDevice {
  std::map<uint32_t, std::string> properties;
  bool enabled = true;
  // The next this many changes are carried out without taking effect (the device needs a restart).
  int32_t ignoredChanges = 0;
  // Win32 errors: the request of that scope is refused; the change itself fails.
  uint32_t globalParamsError = 0;
  uint32_t configParamsError = 0;
  uint32_t changeError = 0;
  // Reading the state back fails with this error; or, with readBackSucceeds, succeeds but leaves it set.
  uint32_t readBackError = 0;
  bool readBackSucceeds = false;
};

class MemoryDeviceBackend : public DeviceBackend {
 public:
  explicit MemoryDeviceBackend(std::vector<MemoryDevice> devices = {});

  uint32_t list(std::vector<DeviceRecord>& devices) override;
  uint32_t acceptParams(const DeviceRecord& device, const PropertyChangeParams& params) override;
  uint32_t setEnabled(const DeviceRecord& device, bool enable) override;
  uint32_t readEnabled(const DeviceRecord& device, bool& enabled) override;

  // Listing the devices fails with this error while it is not 0.
  void setListError(uint32_t error);
  MemoryDevice device(size_t index) const;
  // How many times the devices were listed and switched.
  int32_t listCount() const;
  int32_t changeCount() const;

 private:
  MemoryDevice* find(const DeviceRecord& record);

  mutable std::mutex mutex_;
  std::vector<MemoryDevice> devices_;
  uint32_t listError_ = 0;
  int32_t listCount_ = 0;
  int32_t changeCount_ = 0;
};

}  // namespace tevra::platform
