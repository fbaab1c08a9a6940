// tevra devices: list the present devices with their names and locations, and switch one by name through
// the driver's Zunt_enableServiceByFriendlyName.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "platform/devices/devices.h"
#include "platform/kernel/kernel.h"
#include "tevra.h"

namespace {

constexpr uint32_t kTextSize = 256;

std::string property(const tevra::platform::DeviceInfoSet& devices, uint32_t index, uint32_t code) {
  char text[kTextSize] = {};
  if (!devices.GetDeviceRegistryProperty(index, code, text, kTextSize)) return "-";
  return text;
}

int listDevices() {
  namespace p = tevra::platform;
  const auto devices = p::SetupDiGetClassDevs(p::kDigcfPresent | p::kDigcfAllClasses);
  if (!devices) {
    std::fprintf(stderr, "tevra devices: the devices cannot be listed (system error %u)\n",
                 p::GetLastError());
    return 1;
  }
  std::printf("%-4s %-24s %-6s %-32s %s\n", "#", "NAME", "CLASS", "DESCRIPTION", "LOCATION");
  for (uint32_t i = 0; devices->EnumDeviceInfo(i); ++i) {
    std::printf("%-4u %-24s %-6s %-32s %s\n", i, property(*devices, i, p::kSpdrpFriendlyName).c_str(),
                property(*devices, i, p::kSpdrpClass).c_str(),
                property(*devices, i, p::kSpdrpDeviceDesc).c_str(),
                property(*devices, i, p::kSpdrpLocationInformation).c_str());
  }
  return 0;
}

const char* describe(int32_t result) {
  switch (result) {
    case 1:
      return "done";
    case TEVRA_DEVICE_NOT_FOUND:
      return "no device matches";
    case -10227:
      return "the devices cannot be listed";
    case -10325:
    case -10345:
      return "the change was refused";
    case -10365:
      return "the device needs a restart to switch on";
    case -10371:
      return "the device needs a restart to switch off";
    case -10385:
      return "the device needs a restart and a system error is pending";
    default:
      return "failed";
  }
}

int switchDevice(bool enable, int argc, char** argv) {
  const char* name = nullptr;
  const char* location = nullptr;
  int32_t flags = 0;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--exact") == 0) {
      flags = 1;
    } else if (std::strcmp(argv[i], "--location") == 0 && i + 1 < argc) {
      location = argv[++i];
    } else if (name == nullptr && argv[i][0] != '-') {
      name = argv[i];
    } else {
      std::fprintf(stderr, "tevra devices: unexpected argument '%s'\n", argv[i]);
      return 2;
    }
  }
  if (name == nullptr || name[0] == '\0') {
    std::fprintf(stderr, "tevra devices: a device name is needed\n");
    return 2;
  }
  const int32_t result = Zunt_enableServiceByFriendlyName(name, enable ? 1 : 0, location, flags);
  std::printf("%s '%s': %s (%d)\n", enable ? "enable" : "disable", name, describe(result), result);
  return result == 1 ? 0 : 1;
}

int usage() {
  std::fprintf(
      stderr,
      "usage: tevra devices list\n"
      "       tevra devices enable NAME [--exact] [--location LOCATION]\n"
      "       tevra devices disable NAME [--exact] [--location LOCATION]\n"
      "NAME matches the beginning of a device's name, or the whole name with --exact, in any case.\n");
  return 2;
}

}  // namespace

int runDevices(int argc, char** argv) {
  if (argc < 2) return usage();
  if (std::strcmp(argv[1], "list") == 0 && argc == 2) return listDevices();
  if (std::strcmp(argv[1], "enable") == 0) return switchDevice(true, argc - 2, argv + 2);
  if (std::strcmp(argv[1], "disable") == 0) return switchDevice(false, argc - 2, argv + 2);
  return usage();
}
