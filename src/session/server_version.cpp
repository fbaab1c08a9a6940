#include "src/session/server_version.h"

#include <cstring>
#include <string>

#include "platform/com/creation.h"
#include "platform/registry/registry.h"
#include "src/core/frame.h"
#include "src/core/system_error_text.h"
#include "src/log/driver_logs.h"

namespace tevra::core {
namespace {

constexpr int32_t kKeyNotOpened = -642;
constexpr int32_t kValueNotRead = -652;
constexpr int32_t kVersionNotFound = -693;
constexpr int32_t kWrongVersion = -1;
constexpr size_t kAssemblySize = 256;
constexpr size_t kClsidTextSize = 61;
constexpr const char* kVersionKey = "Version=";

const FrameInfo kVersionCheckFrame{"checkServerVersion", code::kServerVersionCheck, log::StatEntry::kNone,
                                   false, false};

// The registration file in a failure text: the files looked at, and why none registered the server.
std::string registrationFileText() {
  const platform::RegistryOrigin origin = platform::CurrentRegistryOrigin();
  if (origin.lookedAt.empty()) return "the loaded registry";
  return origin.problem.empty() ? origin.lookedAt : origin.lookedAt + " (" + origin.problem + ")";
}

// The server's ProgID is not registered: a COM error whose description names the registration file.
[[noreturn]] void raiseNotRegistered(platform::HRESULT hr) {
  const std::string description = _com_error(hr).ErrorMessage() + ", " + kServerProgId +
                                  " is not registered in " + registrationFileText();
  throw _com_error(hr, platform::CreateErrorInfo(description, kServerProgId, platform::GUID{}));
}

std::string registeredClsidText() {
  const std::u16string progId = platform::Utf8ToUtf16(kServerProgId);
  setPosition(624);
  platform::CLSID clsid{};
  if (const auto hr = platform::CLSIDFromProgID(progId.c_str(), &clsid); platform::FAILED(hr)) {
    raiseNotRegistered(hr);
  }
  setPosition(627);
  char16_t wide[40];
  if (platform::StringFromGUID2(clsid, wide, 40) == 0) _com_issue_error(platform::E_OUTOFMEMORY);
  std::string text = platform::Utf16ToUtf8(wide);
  if (text.size() >= kClsidTextSize) text.resize(kClsidTextSize - 1);
  return text;
}

int32_t registryFailure(int32_t code, const char* call, int32_t rc) {
  char text[kSystemErrorTextSize];
  return traceFailure(code, "ERR %d, %s() failed, rc = %d,%s (registration file %s)", code, call,
                      static_cast<int>(rc), getSystemErrorText(static_cast<uint32_t>(rc), text),
                      registrationFileText().c_str());
}

int32_t readAssembly(const std::string& clsidText, char* assembly) {
  const std::string key = "CLSID\\" + clsidText + "\\InprocServer32";
  log::traceLog().LogIt("RegKey='%s'", clsidText.c_str());
  platform::HKEY handle = 0;
  // The result is the registry's own error code; the thread's last error need not have been set by it.
  int32_t rc =
      platform::RegOpenKeyEx(platform::HKEY_CLASSES_ROOT, key.c_str(), 0, platform::KEY_ALL_ACCESS, &handle);
  if (rc != 0) return registryFailure(kKeyNotOpened, "RegOpenKeyEx", rc);
  uint32_t size = kAssemblySize - 1;
  uint32_t type = 0;
  rc = platform::RegQueryValueEx(handle, "Assembly", nullptr, &type, reinterpret_cast<uint8_t*>(assembly),
                                 &size);
  platform::RegCloseKey(handle);
  if (rc == 0 && type != platform::REG_SZ && type != platform::REG_EXPAND_SZ) rc = 13;  // ERROR_INVALID_DATA
  if (rc != 0) return registryFailure(kValueNotRead, "RegQueryValueEx", rc);
  assembly[size < kAssemblySize ? size : kAssemblySize - 1] = '\0';
  log::traceLog().LogIt("%s = '%s'", "Assembly", assembly);
  return 0;
}

}  // namespace

int32_t checkAssemblyVersion(const char* assembly) {
  const char* found = std::strstr(assembly, kVersionKey);
  if (found == nullptr)
    return traceFailure(kVersionNotFound, "ERR %d, '%s' not found", kVersionNotFound, kVersionKey);
  const char* version = found + std::strlen(kVersionKey);
  const char* wanted = kSupportedServerVersion + 1;
  size_t matched = 0;
  while (wanted[matched] != '\0' && version[matched] == wanted[matched]) ++matched;
  if (wanted[matched] == '\0' && (version[matched] == '.' || version[matched] == ',')) return 0;
  traceFailure(kWrongVersion, "ERR %d, allowed version incorrect", kWrongVersion);
  if (version[matched] == '\0') {
    return traceFailure(kVersionNotFound, "ERR %d, '%s' not found", kVersionNotFound, kVersionKey);
  }
  return kWrongVersion;
}

int32_t checkServerVersion() {
  CallFrame frame(kVersionCheckFrame);
  return frame.guard([] {
    const std::string clsid = registeredClsidText();
    char assembly[kAssemblySize];
    if (const int32_t failed = readAssembly(clsid, assembly); failed != 0) return failed;
    return checkAssemblyVersion(assembly);
  });
}

}  // namespace tevra::core
