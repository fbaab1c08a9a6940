// The host's devices: network interfaces in the order of their interface index, then USB devices in the
// order of their sysfs names.
//
//   network interface  name: the interface name; description: the model from the udev database; location:
//                      the bus path of its device under /sys/devices (none for virtual interfaces); switched
//                      by setting the link administratively up or down over netlink
//   USB device         name: its product string; description: the model from the udev database; location:
//                      its bus path under /sys/devices; switched by its `authorized` attribute
//
// Both report the class name and class GUID that the device installer uses for them.
#pragma once

#include <string>
#include <vector>

#include "platform/devices/devices.h"

namespace tevra::platform {

struct LinuxDeviceRoots {
  std::string sys = "/sys";
  std::string udevData = "/run/udev/data";
};

class LinuxDeviceBackend : public DeviceBackend {
 public:
  // withNetwork false leaves the network interfaces out (for a test's own sysfs tree).
  explicit LinuxDeviceBackend(LinuxDeviceRoots roots = {}, bool withNetwork = true);

  uint32_t list(std::vector<DeviceRecord>& devices) override;
  uint32_t setEnabled(const DeviceRecord& device, bool enable) override;
  uint32_t readEnabled(const DeviceRecord& device, bool& enabled) override;

 private:
  LinuxDeviceRoots roots_;
  bool withNetwork_;
};

}  // namespace tevra::platform
