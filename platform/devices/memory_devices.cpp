#include "platform/devices/memory_devices.h"

#include <charconv>
#include <string>

#include "platform/kernel/kernel.h"
#include "platform/kernel/win32_errors.h"

namespace tevra::platform {

MemoryDeviceBackend::MemoryDeviceBackend(std::vector<MemoryDevice> devices) : devices_(std::move(devices)) {}

uint32_t MemoryDeviceBackend::list(std::vector<DeviceRecord>& devices) {
  std::lock_guard<std::mutex> lock(mutex_);
  ++listCount_;
  if (listError_ != 0) return listError_;
  for (size_t i = 0; i < devices_.size(); ++i) devices.push_back({std::to_string(i), devices_[i].properties});
  return kErrorSuccess;
}

MemoryDevice* MemoryDeviceBackend::find(const DeviceRecord& record) {
  size_t index = 0;
  const char* end = record.key.data() + record.key.size();
  const auto parsed = std::from_chars(record.key.data(), end, index);
  if (parsed.ec != std::errc() || parsed.ptr != end || index >= devices_.size()) return nullptr;
  return &devices_[index];
}

uint32_t MemoryDeviceBackend::acceptParams(const DeviceRecord& record, const PropertyChangeParams& params) {
  std::lock_guard<std::mutex> lock(mutex_);
  const MemoryDevice* device = find(record);
  if (device == nullptr) return kErrorInvalidParameter;
  return params.scope == kDicsFlagGlobal ? device->globalParamsError : device->configParamsError;
}

uint32_t MemoryDeviceBackend::setEnabled(const DeviceRecord& record, bool enable) {
  std::lock_guard<std::mutex> lock(mutex_);
  MemoryDevice* device = find(record);
  if (device == nullptr) return kErrorInvalidParameter;
  if (device->changeError != 0) return device->changeError;
  ++changeCount_;
  if (device->ignoredChanges > 0) {
    --device->ignoredChanges;
  } else {
    device->enabled = enable;
  }
  return kErrorSuccess;
}

uint32_t MemoryDeviceBackend::readEnabled(const DeviceRecord& record, bool& enabled) {
  std::lock_guard<std::mutex> lock(mutex_);
  const MemoryDevice* device = find(record);
  if (device == nullptr) return kErrorInvalidParameter;
  if (device->readBackError != 0 && !device->readBackSucceeds) return device->readBackError;
  if (device->readBackError != 0) SetLastError(device->readBackError);
  enabled = device->enabled;
  return kErrorSuccess;
}

void MemoryDeviceBackend::setListError(uint32_t error) {
  std::lock_guard<std::mutex> lock(mutex_);
  listError_ = error;
}

MemoryDevice MemoryDeviceBackend::device(size_t index) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return devices_.at(index);
}

int32_t MemoryDeviceBackend::listCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return listCount_;
}

int32_t MemoryDeviceBackend::changeCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return changeCount_;
}

}  // namespace tevra::platform
