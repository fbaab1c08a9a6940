#include "platform/devices/devices.h"

#include <cstring>
#include <mutex>

#include "platform/devices/linux/linux_devices.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/win32_errors.h"

namespace tevra::platform {
namespace {

std::mutex& backendMutex() {
  static std::mutex m;
  return m;
}

std::shared_ptr<DeviceBackend>& testBackend() {
  static std::shared_ptr<DeviceBackend> backend;
  return backend;
}

std::shared_ptr<DeviceBackend> currentBackend() {
  std::lock_guard<std::mutex> lock(backendMutex());
  if (testBackend()) return testBackend();
  static const auto host = std::make_shared<LinuxDeviceBackend>();
  return host;
}

bool isValidRequest(const PropertyChangeParams& params) {
  return params.installFunction == kDifPropertyChange &&
         (params.stateChange == kDicsEnable || params.stateChange == kDicsDisable) &&
         (params.scope == kDicsFlagGlobal || params.scope == kDicsFlagConfigSpecific);
}

}  // namespace

uint32_t DeviceBackend::acceptParams(const DeviceRecord& /*device*/, const PropertyChangeParams& /*params*/) {
  return kErrorSuccess;
}

DeviceInfoSet::DeviceInfoSet(std::shared_ptr<DeviceBackend> backend, std::vector<DeviceRecord> devices)
    : backend_(std::move(backend)) {
  devices_.reserve(devices.size());
  for (auto& record : devices) {
    Entry item;
    item.record = std::move(record);
    devices_.push_back(std::move(item));
  }
}

bool DeviceInfoSet::fail(uint32_t error) const {
  SetLastError(error);
  return false;
}

const DeviceInfoSet::Entry* DeviceInfoSet::entry(uint32_t index) const {
  return index < devices_.size() ? &devices_[index] : nullptr;
}

bool DeviceInfoSet::EnumDeviceInfo(uint32_t index) const {
  return entry(index) != nullptr || fail(kErrorNoMoreItems);
}

bool DeviceInfoSet::GetDeviceRegistryProperty(uint32_t index, uint32_t property, char* buffer,
                                              uint32_t size) const {
  const Entry* device = entry(index);
  if (device == nullptr) return fail(kErrorNoMoreItems);
  if (buffer == nullptr) return fail(kErrorInvalidParameter);
  const auto found = device->record.properties.find(property);
  if (found == device->record.properties.end()) return fail(kErrorInvalidData);
  const std::string& text = found->second;
  if (text.size() >= size) return fail(kErrorInsufficientBuffer);
  std::memcpy(buffer, text.c_str(), text.size() + 1);
  return true;
}

bool DeviceInfoSet::SetClassInstallParams(uint32_t index, const PropertyChangeParams& params) {
  if (entry(index) == nullptr) return fail(kErrorNoMoreItems);
  if (!isValidRequest(params)) return fail(kErrorInvalidParameter);
  Entry& device = devices_[index];
  if (const uint32_t error = backend_->acceptParams(device.record, params)) return fail(error);
  device.params = params;
  device.paramsSet = true;
  return true;
}

bool DeviceInfoSet::CallClassInstaller(uint32_t installFunction, uint32_t index) {
  if (entry(index) == nullptr) return fail(kErrorNoMoreItems);
  Entry& device = devices_[index];
  if (installFunction != kDifPropertyChange || !device.paramsSet) return fail(kErrorInvalidParameter);
  const bool enable = device.params.stateChange == kDicsEnable;
  if (const uint32_t error = backend_->setEnabled(device.record, enable)) return fail(error);
  device.changed = true;
  return true;
}

bool DeviceInfoSet::GetDeviceInstallParams(uint32_t index, DeviceInstallParams& params) const {
  const Entry* device = entry(index);
  if (device == nullptr) return fail(kErrorNoMoreItems);
  params.flags = 0;
  if (!device->changed) return true;
  bool enabled = false;
  if (const uint32_t error = backend_->readEnabled(device->record, enabled)) return fail(error);
  if (enabled != (device->params.stateChange == kDicsEnable)) params.flags |= kDiNeedRestart;
  return true;
}

std::unique_ptr<DeviceInfoSet> SetupDiGetClassDevs(uint32_t flags) {
  if ((flags & kDigcfAllClasses) == 0) {
    SetLastError(kErrorInvalidParameter);
    return nullptr;
  }
  auto backend = currentBackend();
  std::vector<DeviceRecord> devices;
  if (const uint32_t error = backend->list(devices)) {
    SetLastError(error);
    return nullptr;
  }
  return std::make_unique<DeviceInfoSet>(std::move(backend), std::move(devices));
}

void SetDeviceBackendForTest(std::shared_ptr<DeviceBackend> backend) {
  std::lock_guard<std::mutex> lock(backendMutex());
  testBackend() = std::move(backend);
}

}  // namespace tevra::platform
