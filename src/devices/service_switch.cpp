#include "src/devices/service_switch.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/devices/devices.h"
#include "platform/kernel/kernel.h"
#include "platform/ui/window.h"
#include "src/core/frame.h"
#include "src/core/names.h"
#include "src/core/system_error_text.h"
#include "src/log/driver_logs.h"
#include "src/log/format_text.h"

namespace tevra::devices {
namespace {

constexpr uint32_t kPropertySize = 256;
constexpr uint32_t kNameProperties[] = {platform::kSpdrpFriendlyName, platform::kSpdrpDeviceDesc,
                                        platform::kSpdrpClass, platform::kSpdrpClassGuid};

constexpr int32_t kPropertyFailure = -10164;
constexpr int32_t kListFailure = -10227;
constexpr int32_t kGlobalParamsFailure = -10325;
constexpr int32_t kChangeFailure = -10345;
constexpr int32_t kNeedReboot = -10365;
constexpr int32_t kRetryFailed = -10371;
constexpr int32_t kRetryDisable = -10376;
constexpr int32_t kRestartWithError = -10385;
constexpr int32_t kInstallParamsFailure = -10393;
constexpr int32_t kRetrySucceeded = -10399;

// A traced line that also goes to the debugger output.
void note(const std::string& line) {
  log::traceLog().LogText(static_cast<int32_t>(line.size()), line.c_str());
  platform::OutputDebugString(line.c_str());
}

// A failure of a system operation, with the system's error number and text.
int32_t systemFailure(int32_t code, const char* format, uint32_t error) {
  char text[core::kSystemErrorTextSize];
  core::getSystemErrorText(error, text);
  return core::traceFailureToDebugger(code, format, code, -code, static_cast<int>(error), text);
}

class WaitCursor {
 public:
  void show() {
    if (shown_) return;
    previous_ = platform::SetCursor(platform::LoadCursor(platform::kIdcWait));
    shown_ = true;
  }
  ~WaitCursor() {
    if (shown_) platform::SetCursor(previous_);
  }

 private:
  bool shown_ = false;
  platform::CursorHandle previous_ = 0;
};

class ServiceSwitch {
 public:
  ServiceSwitch(const char* name, bool enable, const char* location, int32_t flags)
      : name_(name), enable_(enable), location_(location), exact_((flags & kExactName) != 0) {}

  int32_t run() {
    note(log::formatText(">> %s '%s' 'Location:%s' ...", enable_ ? "Enabled" : "Disable", name_,
                         location_ != nullptr ? location_ : "<null>"));
    for (;;) {
      platform::SetLastError(0);
      devices_ = platform::SetupDiGetClassDevs(platform::kDigcfPresent | platform::kDigcfAllClasses);
      if (!devices_) {
        return systemFailure(kListFailure, "ERR %d,L%d,SetupDiGetClassDevs() failure code %d,%s",
                             platform::GetLastError());
      }
      const auto chosen = findDevice();
      if (!chosen) return notFound();
      cursor_.show();
      const std::optional<int32_t> result = changeState(*chosen);
      if (result) return *result;
      devices_.reset();
      secondPass_ = true;
    }
  }

 private:
  bool hasLocation() const { return location_ != nullptr && location_[0] != '\0'; }

  bool nameMatches(std::string_view deviceName) const {
    const std::string_view wanted(name_);
    if (exact_) return core::sameName(deviceName, wanted);
    return deviceName.size() >= wanted.size() && core::sameName(deviceName.substr(0, wanted.size()), wanted);
  }

  // The first non-empty name property of the device into name; false when none can be read.
  bool readName(uint32_t index, char (&name)[kPropertySize]) const {
    for (const uint32_t property : kNameProperties) {
      platform::SetLastError(0);
      name[0] = '\0';
      if (devices_->GetDeviceRegistryProperty(index, property, name, kPropertySize) && name[0] != '\0') {
        return true;
      }
    }
    name[0] = '\0';
    return false;
  }

  void readLocation(uint32_t index, char (&location)[kPropertySize]) const {
    location[0] = '\0';
    if (!devices_->GetDeviceRegistryProperty(index, platform::kSpdrpLocationInformation, location,
                                             kPropertySize)) {
      location[0] = '\0';
    }
  }

  std::optional<uint32_t> findDevice() const {
    for (uint32_t index = 0; devices_->EnumDeviceInfo(index); ++index) {
      char deviceName[kPropertySize];
      char deviceLocation[kPropertySize];
      if (!readName(index, deviceName)) {
        systemFailure(kPropertyFailure, "ERR %d,L%d,GetRegistryProperty() failure code %d,%s",
                      platform::GetLastError());
        continue;
      }
      readLocation(index, deviceLocation);
      if (!nameMatches(deviceName)) continue;
      if (!hasLocation()) {
        note(log::formatText(">> found Service '%s'", deviceName));
        return index;
      }
      if (core::sameName(location_, deviceLocation)) {
        note(log::formatText(">> found Service '%s' with Location '%s'", name_, location_));
        return index;
      }
      note(log::formatText(">> incorrect location '%s'", deviceLocation));
    }
    return std::nullopt;
  }

  int32_t notFound() const {
    if (hasLocation()) {
      return core::traceFailureToDebugger(kServiceNotFound, "Service '%s' with Location '%s' not found",
                                          name_, location_);
    }
    return core::traceFailureToDebugger(kServiceNotFound, "Service '%s' not found", name_);
  }

  // The call's result, or nothing when the devices are to be walked once more.
  std::optional<int32_t> changeState(uint32_t index) {
    static constexpr char kParamsText[] = "ERR %d,L%d,SetupDiSetClassInstallParams() failure code %d,%s";
    static constexpr char kInstallParamsText[] =
        "ERR %d,L%d,SetupDiGetDeviceInstallParams() failure code %d,%s";
    platform::PropertyChangeParams params;
    params.stateChange = enable_ ? platform::kDicsEnable : platform::kDicsDisable;
    params.scope = platform::kDicsFlagGlobal;
    platform::SetLastError(0);
    if (!devices_->SetClassInstallParams(index, params)) {
      return systemFailure(kGlobalParamsFailure, kParamsText, platform::GetLastError());
    }
    params.scope = platform::kDicsFlagConfigSpecific;
    platform::SetLastError(0);
    if (!devices_->SetClassInstallParams(index, params) ||
        !devices_->CallClassInstaller(platform::kDifPropertyChange, index)) {
      return systemFailure(kChangeFailure, kParamsText, platform::GetLastError());
    }
    platform::DeviceInstallParams installParams;
    platform::SetLastError(0);
    const bool read = devices_->GetDeviceInstallParams(index, installParams);
    const uint32_t error = platform::GetLastError();
    if (!read || (installParams.flags & (platform::kDiNeedRestart | platform::kDiNeedReboot)) == 0) {
      if (error != 0) {
        systemFailure(kInstallParamsFailure, kInstallParamsText, error);
      } else if (secondPass_) {
        core::traceFailureToDebugger(kRetrySucceeded, "ERR %d,L%d,Retry disable service success",
                                     kRetrySucceeded, -kRetrySucceeded);
      }
      return kSwitched;
    }
    if (error != 0) return systemFailure(kRestartWithError, kInstallParamsText, error);
    core::traceFailureToDebugger(kNeedReboot, "ERR %d,L%d,Need to reboot,devParams.Flags 0x%08X", kNeedReboot,
                                 -kNeedReboot, installParams.flags);
    if (enable_) return kNeedReboot;
    if (secondPass_) {
      return core::traceFailureToDebugger(kRetryFailed, "ERR %d,L%d,Retry to disable service failed",
                                          kRetryFailed, -kRetryFailed);
    }
    core::traceFailureToDebugger(kRetryDisable, "ERR %d,L%d,Retry to disable service", kRetryDisable,
                                 -kRetryDisable);
    return std::nullopt;
  }

  const char* name_;
  bool enable_;
  const char* location_;
  bool exact_;
  bool secondPass_ = false;
  WaitCursor cursor_;
  std::unique_ptr<platform::DeviceInfoSet> devices_;
};

}  // namespace

int32_t enableService(const char* name, bool enable, const char* location, int32_t flags) {
  if (name == nullptr || name[0] == '\0') return kEmptyName;
  try {
    return ServiceSwitch(name, enable, location, flags).run();
  } catch (...) {
    return core::traceFailureToDebugger(kUnexpectedFailure, "ERR %d,L%d,%s", kUnexpectedFailure,
                                        -kUnexpectedFailure, "*** Unhandled Exception ***");
  }
}

}  // namespace tevra::devices
