#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/devices/linux/linux_devices.h"
#include "platform/devices/memory_devices.h"
#include "platform/kernel/kernel.h"
#include "src/log/driver_logs.h"
#include "tests/support/fake_kernel.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::devices {
namespace {

using platform::MemoryDevice;

constexpr int32_t kNotFound = TEVRA_DEVICE_NOT_FOUND;

MemoryDevice device(const char* name, const char* location = nullptr, bool enabled = true) {
  MemoryDevice d;
  if (name != nullptr) d.properties[platform::kSpdrpFriendlyName] = name;
  if (location != nullptr) d.properties[platform::kSpdrpLocationInformation] = location;
  d.enabled = enabled;
  return d;
}

class DeviceServiceTest : public ::testing::Test {
 protected:
  void SetUp() override { log::traceLog().Open(trace_.c_str(), 0, true); }
  void TearDown() override {
    log::traceLog().Close();
    platform::SetDeviceBackendForTest(nullptr);
  }
  test::FakeKernel kernel_;
  test::TempDir dir_;
  std::string trace_ = dir_.file("trace.txt");
};

TEST_F(DeviceServiceTest, WalkMatchesSwitchesAndTracesEachCase) {
  const std::string longName(600, 'x');
  const auto script = [](const char* name, auto change) {
    MemoryDevice d = device(name);
    change(d);
    return d;
  };
  const auto ignores = [](int32_t n, bool enabled = true) {
    return [=](MemoryDevice& d) { d.ignoredChanges = n, d.enabled = enabled; };
  };
  const auto classOnly = [](MemoryDevice& d) { d.properties[platform::kSpdrpClass] = "Net"; };
  const auto longFriendlyName = [](MemoryDevice& d) {
    d.properties[platform::kSpdrpFriendlyName] = std::string(300, 'm');
    d.properties[platform::kSpdrpDeviceDesc] = "Modem";
  };
  const auto errorLeftByRead = [](MemoryDevice& d) {
    d.ignoredChanges = 1, d.readBackError = 1, d.readBackSucceeds = true;
  };
  const auto fails = [](uint32_t MemoryDevice::*error, uint32_t code) {
    return [=](MemoryDevice& d) { d.*error = code; };
  };
  const std::string params = "SetupDiSetClassInstallParams() failure code ";
  const std::string installParams = "SetupDiGetDeviceInstallParams() failure code ";
  const std::string reboot = "ERR -10365,L10365,Need to reboot,devParams.Flags 0x00000080";
  const std::string retry = "ERR -10376,L10376,Retry to disable service";
  struct Case {
    const char* what;
    std::vector<MemoryDevice> devices;
    const char* name;
    int32_t enable;
    const char* location;
    int32_t flags;
    int32_t result;
    std::vector<std::string> lines;  // after the start line
    std::string enabledAfter;        // per device, 1 on and 0 off
    int32_t walks = 1;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"prefix of a longer name", {device("Network Adapter #2")}, "network", 0, nullptr, 0, 1,
       {">> found Service 'Network Adapter #2'"}, "0"},
      {"exact name refuses a prefix", {device("Network Adapter #2")}, "Network", 0, nullptr, 1, kNotFound,
       {"Service 'Network' not found"}, "1"},
      {"exact name in another case", {device("eth0", nullptr, false), device("ETH0", nullptr, false)}, "Eth0",
       1, "", 1, 1, {">> found Service 'eth0'"}, "10"},
      {"a longer prefix than the name", {device("eth")}, "eth0", 0, nullptr, 0, kNotFound,
       {"Service 'eth0' not found"}, "1"},
      {"wrong location skipped", {device("USB Camera", "1-1", false), device("USB Camera", "Bus 1-2", false)},
       "usb", 1, "BUS 1-2", 0, 1,
       {">> incorrect location '1-1'", ">> found Service 'usb' with Location 'BUS 1-2'"}, "01"},
      {"no location matches", {device("USB Camera")}, "usb", 0, "1-9", 0, kNotFound,
       {">> incorrect location ''", "Service 'usb' with Location '1-9' not found"}, "1"},
      {"restart when enabling", {script("wlan0", ignores(5, false))}, "wlan", 1, nullptr, 0, -10365,
       {">> found Service 'wlan0'", reboot}, "0"},
      {"two restarts when disabling", {script("wlan0", ignores(5))}, "wlan", 0, nullptr, 0, -10371,
       {">> found Service 'wlan0'", reboot, retry, ">> found Service 'wlan0'", reboot,
        "ERR -10371,L10371,Retry to disable service failed"}, "1", 2},
      {"one restart when disabling", {script("wlan0", ignores(1))}, "wlan", 0, nullptr, 0, 1,
       {">> found Service 'wlan0'", reboot, retry, ">> found Service 'wlan0'",
        "ERR -10399,L10399,Retry disable service success"}, "0", 2},
      {"unreadable name property", {device(nullptr), script(nullptr, classOnly)}, "NE", 0, nullptr, 0, 1,
       {"ERR -10164,L10164,GetRegistryProperty() failure code 13,The data is invalid.",
        ">> found Service 'Net'"}, "10"},
      {"a name too long for its buffer", {script(nullptr, longFriendlyName)}, "modem", 0, nullptr, 1, 1,
       {">> found Service 'Modem'"}, "0"},
      {"first request refused", {script("eth0", fails(&MemoryDevice::globalParamsError, 87))}, "eth0", 0,
       nullptr, 0, -10325, {">> found Service 'eth0'", "ERR -10325,L10325," + params + "87,The parameter is "
        "incorrect."}, "1"},
      {"second request refused", {script("eth0", fails(&MemoryDevice::configParamsError, 5))}, "eth0", 0,
       nullptr, 0, -10345, {">> found Service 'eth0'", "ERR -10345,L10345," + params + "5,Access is denied."},
       "1"},
      {"change fails", {script("eth0", fails(&MemoryDevice::changeError, 55))}, "eth0", 0, nullptr, 0, -10345,
       {">> found Service 'eth0'", "ERR -10345,L10345," + params + "55,The specified network resource or "
        "device is no longer available."}, "1"},
      {"state unreadable after the change", {script("eth0", fails(&MemoryDevice::readBackError, 30))}, "eth0",
       0, nullptr, 0, 1, {">> found Service 'eth0'", "ERR -10393,L10393," + installParams + "30,The system "
        "cannot read from the specified device."}, "0"},
      {"restart with an error left by the read", {script("eth0", errorLeftByRead)}, "eth0", 0, nullptr, 0,
       -10385, {">> found Service 'eth0'", "ERR -10385,L10385," + installParams + "1,Incorrect function."},
       "1"},
      {"an overlong name is cut in the failure text", {device("eth0")}, longName.c_str(), 0, nullptr, 0,
       kNotFound, {("Service '" + longName).substr(0, 499)}, "1"},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto backend = std::make_shared<platform::MemoryDeviceBackend>(c.devices);
    platform::SetDeviceBackendForTest(backend);
    const auto mark = test::traceMark(trace_);
    const size_t debugMark = kernel_.debugLines().size();
    // An error number left by an earlier call must not fail this one.
    platform::SetLastError(1234);
    EXPECT_EQ(Zunt_enableServiceByFriendlyName(c.name, c.enable, c.location, c.flags), c.result);
    std::vector<std::string> lines = {std::string(">> ") + (c.enable != 0 ? "Enabled" : "Disable") + " '" +
                                      c.name + "' 'Location:" + (c.location ? c.location : "<null>") +
                                      "' ..."};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    test::expectTraceLines(trace_, lines, mark);
    const auto debug = kernel_.debugLines();
    EXPECT_EQ(std::vector<std::string>(debug.begin() + static_cast<ptrdiff_t>(debugMark), debug.end()),
              lines);
    for (size_t i = 0; i < c.enabledAfter.size(); ++i)
      EXPECT_EQ(backend->device(i).enabled, c.enabledAfter[i] == '1') << i;
    EXPECT_EQ(backend->listCount(), c.walks);
  }
}

TEST_F(DeviceServiceTest, EmptyNamesAndUnlistableDevices) {
  const auto backend = std::make_shared<platform::MemoryDeviceBackend>(std::vector{device("eth0")});
  platform::SetDeviceBackendForTest(backend);
  const auto mark = test::traceMark(trace_);
  EXPECT_EQ(Zunt_enableServiceEx(nullptr, 0, nullptr), 0);
  EXPECT_EQ(Zunt_enableServiceEx("", 0, "1-2"), 0);
  EXPECT_EQ(backend->listCount(), 0);
  EXPECT_TRUE(test::readTraceLines(trace_, mark).empty());
  backend->setListError(5);
  EXPECT_EQ(Zunt_enableServiceEx("eth", 1, "pci"), -10227);
  test::expectTraceLines(trace_,
                         {">> Enabled 'eth' 'Location:pci' ...",
                          "ERR -10227,L10227,SetupDiGetClassDevs() failure code 5,Access is denied."},
                         mark);
  EXPECT_TRUE(backend->device(0).enabled);
}

// The host's USB devices as sysfs and the udev database show them, in a tree of the test's own.
TEST_F(DeviceServiceTest, UsbDevicesComeFromSysfsInNameOrderAndSwitchByTheirAuthorizedAttribute) {
  namespace fs = std::filesystem;
  const fs::path sys = dir_.file("sys");
  const fs::path hub = sys / "devices/pci0000:00/0000:00:14.0/usb1";
  const auto addDevice = [&](const fs::path& dir, const char* product, const char* dev) {
    fs::create_directories(dir);
    if (product != nullptr) test::writeFile(dir / "product", std::string(product) + "\n");
    test::writeFile(dir / "authorized", "1\n");
    test::writeFile(dir / "dev", std::string(dev) + "\n");
    fs::create_directories(sys / "bus/usb/devices");
    fs::create_directory_symlink(dir, sys / "bus/usb/devices" / dir.filename());
  };
  addDevice(hub / "1-2", "HD Webcam", "189:2");
  addDevice(hub / "1-10", nullptr, "189:9");
  addDevice(hub, "xHCI Host Controller", "189:0");
  addDevice(hub / "1-2/1-2:1.0", "interface", "0:0");
  fs::create_directories(dir_.file("udev"));
  test::writeFile(dir_.file("udev/c189:2"), "S:bus/usb\nE:ID_MODEL_FROM_DATABASE=Webcam C270\n");

  const auto backend = std::make_shared<platform::LinuxDeviceBackend>(
      platform::LinuxDeviceRoots{sys.string(), dir_.file("udev")}, false);
  std::vector<platform::DeviceRecord> records;
  ASSERT_EQ(backend->list(records), 0u);
  ASSERT_EQ(records.size(), 3u);
  const std::vector<std::map<uint32_t, std::string>> expected = {
      {{platform::kSpdrpClass, "USB"},
       {platform::kSpdrpClassGuid, "{36FC9E60-C465-11CF-8056-444553540000}"},
       {platform::kSpdrpLocationInformation, "pci0000:00/0000:00:14.0/usb1/1-10"}},
      {{platform::kSpdrpFriendlyName, "HD Webcam"},
       {platform::kSpdrpDeviceDesc, "Webcam C270"},
       {platform::kSpdrpClass, "USB"},
       {platform::kSpdrpClassGuid, "{36FC9E60-C465-11CF-8056-444553540000}"},
       {platform::kSpdrpLocationInformation, "pci0000:00/0000:00:14.0/usb1/1-2"}},
      {{platform::kSpdrpFriendlyName, "xHCI Host Controller"},
       {platform::kSpdrpClass, "USB"},
       {platform::kSpdrpClassGuid, "{36FC9E60-C465-11CF-8056-444553540000}"},
       {platform::kSpdrpLocationInformation, "pci0000:00/0000:00:14.0/usb1"}}};
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(records[i].properties, expected[i]) << i;

  platform::SetDeviceBackendForTest(backend);
  EXPECT_EQ(Zunt_enableServiceEx("hd webcam", 0, "PCI0000:00/0000:00:14.0/usb1/1-2"), 1);
  EXPECT_EQ(test::readFile(hub / "1-2/authorized"), "0\n");
  EXPECT_EQ(Zunt_enableServiceByFriendlyName("USB", 0, nullptr, 1), 1);
  EXPECT_EQ(test::readFile(hub / "1-10/authorized"), "0\n");
  EXPECT_EQ(test::readFile(hub / "authorized"), "1\n");
}

}  // namespace
}  // namespace tevra::devices
