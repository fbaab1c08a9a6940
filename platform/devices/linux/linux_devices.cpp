#include "platform/devices/linux/linux_devices.h"

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "platform/devices/linux/net_links.h"
#include "platform/devices/linux/sysfs.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/win32_errors.h"

namespace tevra::platform {
namespace {

namespace fs = std::filesystem;

constexpr char kNetPrefix[] = "net:";
constexpr char kUsbPrefix[] = "usb:";
constexpr char kNetClassGuid[] = "{4D36E972-E325-11CE-BFC1-08002BE10318}";
constexpr char kUsbClassGuid[] = "{36FC9E60-C465-11CF-8056-444553540000}";
constexpr char kUdevModel[] = "ID_MODEL_FROM_DATABASE";

void setIfPresent(DeviceRecord& record, uint32_t property, std::optional<std::string> text) {
  if (text && !text->empty()) record.properties[property] = std::move(*text);
}

// sysfs shows the interfaces of the namespace that mounted it; an entry whose index differs belongs to
// another namespace and says nothing about this interface.
bool sysfsShowsLink(const std::string& netDir, int32_t index) {
  return readAttribute(netDir + "/ifindex") == std::to_string(index);
}

DeviceRecord netRecord(const LinuxDeviceRoots& roots, const NetLink& link) {
  DeviceRecord record{kNetPrefix + std::to_string(link.index), {}};
  setIfPresent(record, kSpdrpFriendlyName, link.name);
  record.properties[kSpdrpClass] = "Net";
  record.properties[kSpdrpClassGuid] = kNetClassGuid;
  const std::string netDir = roots.sys + "/class/net/" + link.name;
  if (!sysfsShowsLink(netDir, link.index)) return record;
  setIfPresent(record, kSpdrpDeviceDesc,
               udevProperty(roots.udevData + "/n" + std::to_string(link.index), kUdevModel));
  setIfPresent(record, kSpdrpLocationInformation, busPath(roots.sys, netDir + "/device"));
  return record;
}

// USB devices, not their interfaces ("1-2:1.0"), in the order of their names.
std::vector<std::string> usbDeviceNames(const std::string& sys) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(sys + "/bus/usb/devices", ec)) {
    std::string name = entry.path().filename().string();
    if (name.find(':') == std::string::npos) names.push_back(std::move(name));
  }
  std::ranges::sort(names);
  return names;
}

DeviceRecord usbRecord(const LinuxDeviceRoots& roots, const std::string& name) {
  DeviceRecord record{kUsbPrefix + name, {}};
  const std::string dir = roots.sys + "/bus/usb/devices/" + name;
  setIfPresent(record, kSpdrpFriendlyName, readAttribute(dir + "/product"));
  if (const auto dev = readAttribute(dir + "/dev")) {
    setIfPresent(record, kSpdrpDeviceDesc, udevProperty(roots.udevData + "/c" + *dev, kUdevModel));
  }
  record.properties[kSpdrpClass] = "USB";
  record.properties[kSpdrpClassGuid] = kUsbClassGuid;
  setIfPresent(record, kSpdrpLocationInformation, busPath(roots.sys, dir));
  return record;
}

// Where a device is switched: its interface index, or its USB device directory.
struct SwitchPoint {
  int32_t netIndex = 0;
  std::string usbDir;
};

std::optional<SwitchPoint> switchPoint(const std::string& sys, std::string_view key) {
  if (key.starts_with(kUsbPrefix)) {
    return SwitchPoint{0, sys + "/bus/usb/devices/" + std::string(key.substr(sizeof kUsbPrefix - 1))};
  }
  if (!key.starts_with(kNetPrefix)) return std::nullopt;
  const std::string_view digits = key.substr(sizeof kNetPrefix - 1);
  int32_t index = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return SwitchPoint{index, {}};
}

}  // namespace

LinuxDeviceBackend::LinuxDeviceBackend(LinuxDeviceRoots roots, bool withNetwork)
    : roots_(std::move(roots)), withNetwork_(withNetwork) {}

uint32_t LinuxDeviceBackend::list(std::vector<DeviceRecord>& devices) {
  if (withNetwork_) {
    std::vector<NetLink> links;
    if (const int error = listNetLinks(links)) return Win32ErrorFromErrno(error);
    for (const auto& link : links) devices.push_back(netRecord(roots_, link));
  }
  for (const auto& name : usbDeviceNames(roots_.sys)) devices.push_back(usbRecord(roots_, name));
  return kErrorSuccess;
}

uint32_t LinuxDeviceBackend::setEnabled(const DeviceRecord& device, bool enable) {
  const auto point = switchPoint(roots_.sys, device.key);
  if (!point) return kErrorInvalidParameter;
  if (point->usbDir.empty()) return Win32ErrorFromErrno(setNetLinkUp(point->netIndex, enable));
  return Win32ErrorFromErrno(writeAttribute(point->usbDir + "/authorized", enable ? "1" : "0"));
}

uint32_t LinuxDeviceBackend::readEnabled(const DeviceRecord& device, bool& enabled) {
  const auto point = switchPoint(roots_.sys, device.key);
  if (!point) return kErrorInvalidParameter;
  if (point->usbDir.empty()) return Win32ErrorFromErrno(readNetLinkUp(point->netIndex, enabled));
  const auto state = readAttribute(point->usbDir + "/authorized");
  if (!state) return kErrorReadFault;
  enabled = *state != "0";
  return kErrorSuccess;
}

}  // namespace tevra::platform
