// Feeds any bytes to the .reg reader, checks what it keeps, loads the same text as the registry and reads
// every kept value back through the registry calls, with heap buffers of exactly the size asked for so that
// a write past the given size is caught.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "platform/registry/registry.h"

namespace {

namespace reg = tevra::platform;

void check(bool condition) {
  if (!condition) std::abort();
}

void checkParsedValue(const reg::RegValue& value) {
  const auto& data = value.data;
  if (value.type == reg::REG_SZ || value.type == reg::REG_EXPAND_SZ) check(!data.empty() && data.back() == 0);
  if (value.type == reg::REG_MULTI_SZ)
    check(data.size() >= 2 && data.back() == 0 && data[data.size() - 2] == 0);
  check(data.size() <= 2 * reg::kMaxRegValueBytes);
}

void readValueBack(reg::HKEY key, const std::string& name) {
  uint32_t type = 0;
  uint32_t size = 0;
  const int32_t found = reg::RegQueryValueEx(key, name.c_str(), nullptr, &type, nullptr, &size);
  check(found == 0 || found == 2);
  if (found != 0) return;
  auto exact = std::make_unique<uint8_t[]>(size);
  uint32_t exactSize = size;
  check(reg::RegQueryValueEx(key, name.c_str(), nullptr, &type, exact.get(), &exactSize) == 0 &&
        exactSize == size);
  if (size == 0) return;
  uint32_t shortSize = size - 1;
  auto shortBuffer = std::make_unique<uint8_t[]>(shortSize);
  check(reg::RegQueryValueEx(key, name.c_str(), nullptr, &type, shortBuffer.get(), &shortSize) == 234);
  check(shortSize == size);
}

// The key's path below its root, opened under each predefined key.
void readKeyBack(const reg::RegKeyData& key) {
  if (key.path.find('\0') != std::string::npos) return;
  const size_t sep = key.path.find('\\');
  const std::string subKey = sep == std::string::npos ? std::string() : key.path.substr(sep + 1);
  for (const reg::HKEY root :
       {reg::HKEY_CLASSES_ROOT, reg::HKEY_CURRENT_USER, reg::HKEY_LOCAL_MACHINE, reg::HKEY_USERS}) {
    reg::HKEY handle = 0;
    if (reg::RegOpenKeyEx(root, subKey.c_str(), 0, reg::KEY_READ, &handle) != 0) continue;
    for (const auto& [name, value] : key.values) {
      if (name.find('\0') == std::string::npos) readValueBack(handle, name);
    }
    check(reg::RegCloseKey(handle) == 0);
    check(reg::RegCloseKey(handle) == 6);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto file = reg::ParseRegFile(text);
  check(reg::LoadRegistryText(text) == file.has_value());
  if (!file) return 0;
  for (const auto& key : file->keys) {
    for (const auto& [name, value] : key.values) checkParsedValue(value);
    readKeyBack(key);
  }
  return 0;
}
