// The device installation operations the driver uses to switch a device on or off: open the list of present
// devices, walk it by index, read a device's name and location properties, ask for a state change and read
// back whether the change needs a restart. Every failing operation sets the system error number
// (GetLastError) to a Win32 code; a succeeding one leaves it as it was.
//
// The devices come from a backend: the host's (network interfaces, then USB devices; see linux_devices.h) or
// one that a test installs (memory_devices.h).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tevra::platform {

// Device properties.
inline constexpr uint32_t kSpdrpDeviceDesc = 0;
inline constexpr uint32_t kSpdrpClass = 7;
inline constexpr uint32_t kSpdrpClassGuid = 8;
inline constexpr uint32_t kSpdrpFriendlyName = 12;
inline constexpr uint32_t kSpdrpLocationInformation = 13;

// List flags: present devices of all classes.
inline constexpr uint32_t kDigcfPresent = 0x2;
inline constexpr uint32_t kDigcfAllClasses = 0x4;

// The state change request.
inline constexpr uint32_t kDifPropertyChange = 0x12;
inline constexpr uint32_t kDicsEnable = 1;
inline constexpr uint32_t kDicsDisable = 2;
inline constexpr uint32_t kDicsFlagGlobal = 1;
inline constexpr uint32_t kDicsFlagConfigSpecific = 2;

// Install parameter flags: the change takes effect only after a restart of the device or of the system.
inline constexpr uint32_t kDiNeedRestart = 0x80;
inline constexpr uint32_t kDiNeedReboot = 0x100;

struct PropertyChangeParams {
  uint32_t installFunction = kDifPropertyChange;
  uint32_t stateChange = kDicsEnable;
  uint32_t scope = kDicsFlagGlobal;
  uint32_t hwProfile = 0;
};

struct DeviceInstallParams {
  uint32_t flags = 0;
};

// One present device as a backend lists it: its properties (a missing one cannot be read) and the key by
// which the backend finds it again.
struct DeviceRecord {
  std::string key;
  std::map<uint32_t, std::string> properties;
};

class DeviceBackend {
 public:
  virtual ~DeviceBackend() = default;
  // The present devices in the order they are walked; returns a Win32 error code, 0 when listed.
  virtual uint32_t list(std::vector<DeviceRecord>& devices) = 0;
  // Checks a change request before it is stored; returns a Win32 error code, 0 when accepted.
  virtual uint32_t acceptParams(const DeviceRecord& device, const PropertyChangeParams& params);
  // Switches the device on or off; returns a Win32 error code, 0 when the request was carried out.
  virtual uint32_t setEnabled(const DeviceRecord& device, bool enable) = 0;
  // Reads the device's state back; returns a Win32 error code, 0 when `enabled` was set.
  virtual uint32_t readEnabled(const DeviceRecord& device, bool& enabled) = 0;
};

// An opened list of devices: a snapshot taken when it was opened, as the operations see it.
class DeviceInfoSet {
 public:
  DeviceInfoSet(std::shared_ptr<DeviceBackend> backend, std::vector<DeviceRecord> devices);

  // False with kErrorNoMoreItems when index is past the last device.
  bool EnumDeviceInfo(uint32_t index) const;
  // Copies the property's text with its terminating zero into buffer. Fails with kErrorInvalidData when the
  // device has no such property and kErrorInsufficientBuffer when the text does not fit.
  bool GetDeviceRegistryProperty(uint32_t index, uint32_t property, char* buffer, uint32_t size) const;
  // Stores a state change request for the device; kErrorInvalidParameter for a request it cannot carry out.
  bool SetClassInstallParams(uint32_t index, const PropertyChangeParams& params);
  // Carries out the stored request (kDifPropertyChange only).
  bool CallClassInstaller(uint32_t installFunction, uint32_t index);
  // Reads the state back after a change: kDiNeedRestart when the change did not take effect.
  bool GetDeviceInstallParams(uint32_t index, DeviceInstallParams& params) const;

  size_t size() const { return devices_.size(); }

 private:
  struct Entry {
    DeviceRecord record;
    bool paramsSet = false;
    PropertyChangeParams params;
    bool changed = false;
  };
  bool fail(uint32_t error) const;
  const Entry* entry(uint32_t index) const;

  std::shared_ptr<DeviceBackend> backend_;
  std::vector<Entry> devices_;
};

// Opens the list of present devices (flags kDigcfPresent | kDigcfAllClasses); null with the system error
// set when the backend cannot list them.
std::unique_ptr<DeviceInfoSet> SetupDiGetClassDevs(uint32_t flags);

// Test hook: replaces the host's devices; null restores them.
void SetDeviceBackendForTest(std::shared_ptr<DeviceBackend> backend);

}  // namespace tevra::platform
