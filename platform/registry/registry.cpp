#include "platform/registry/registry.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/fs/fs.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/win32_errors.h"
#include "platform/registry/ascii_case.h"

namespace tevra::platform {
namespace {

// Keys by their canonical path: lower case, a canonical root name, no empty parts, and
// HKEY_LOCAL_MACHINE\SOFTWARE\Classes written as HKEY_CLASSES_ROOT.
struct Registry {
  std::map<std::string, std::map<std::string, RegValue>> keys;
};

struct OpenKey {
  std::shared_ptr<const Registry> registry;
  std::string path;
};

// Handles count up from here and are never handed out twice; the predefined keys lie above.
constexpr HKEY kFirstHandle = 0x1000;

struct State {
  std::mutex mutex;
  bool loaded = false;
  std::shared_ptr<const Registry> registry;
  RegistryOrigin origin;
  std::unordered_map<HKEY, OpenKey> openKeys;
  HKEY nextHandle = kFirstHandle;
};

// Never destroyed, so that calls from other static destructors still find it.
State& state() {
  static State* s = new State;
  return *s;
}

struct RootName {
  HKEY key;
  std::string_view canonical;
  std::string_view abbreviation;
};

constexpr RootName kRoots[] = {
    {HKEY_CLASSES_ROOT, "hkey_classes_root", "hkcr"},
    {HKEY_CURRENT_USER, "hkey_current_user", "hkcu"},
    {HKEY_LOCAL_MACHINE, "hkey_local_machine", "hklm"},
    {HKEY_USERS, "hkey_users", "hku"},
};

constexpr std::string_view kClassesUnderMachine = "hkey_local_machine\\software\\classes";

const RootName* findRoot(HKEY key) {
  for (const auto& root : kRoots) {
    if (root.key == key) return &root;
  }
  return nullptr;
}

const RootName* findRoot(std::string_view lowerName) {
  for (const auto& root : kRoots) {
    if (lowerName == root.canonical || lowerName == root.abbreviation) return &root;
  }
  return nullptr;
}

// The canonical form of a full key path, or nothing when it does not begin with a known root.
std::optional<std::string> canonicalPath(std::string_view path) {
  const std::string lower = asciiLowerCase(path);
  std::string canonical;
  size_t start = 0;
  while (start <= lower.size()) {
    size_t end = lower.find('\\', start);
    if (end == std::string::npos) end = lower.size();
    const std::string_view part = std::string_view(lower).substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    if (canonical.empty()) {
      const RootName* root = findRoot(part);
      if (root == nullptr) return std::nullopt;
      canonical = root->canonical;
    } else {
      canonical.append("\\").append(part);
    }
  }
  if (canonical.starts_with(kClassesUnderMachine) &&
      (canonical.size() == kClassesUnderMachine.size() || canonical[kClassesUnderMachine.size()] == '\\')) {
    canonical.replace(0, kClassesUnderMachine.size(), "hkey_classes_root");
  }
  if (canonical.empty()) return std::nullopt;
  return canonical;
}

// Keys under an unknown root are left out; a key named twice gets the values of both sections.
std::shared_ptr<const Registry> buildRegistry(RegFile&& file) {
  auto registry = std::make_shared<Registry>();
  for (auto& key : file.keys) {
    const auto canonical = canonicalPath(key.path);
    if (!canonical) continue;
    auto& values = registry->keys[*canonical];
    for (auto& [name, value] : key.values) values[name] = std::move(value);
  }
  return registry;
}

std::optional<std::string> readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  char chunk[65536];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<size_t>(in.gcount()));
    if (text.size() > kMaxRegFileBytes) return std::nullopt;
  }
  if (in.bad()) return std::nullopt;
  return text;
}

std::shared_ptr<const Registry> emptyRegistry() {
  return std::make_shared<const Registry>();
}

// Parses a registration file; nothing when it cannot be read or is no .reg file.
std::shared_ptr<const Registry> registryFromText(std::string_view text) {
  if (text.size() > kMaxRegFileBytes) return nullptr;
  auto file = ParseRegFile(text);
  if (!file) return nullptr;
  return buildRegistry(std::move(*file));
}

std::string registryProblem(bool read, bool parsed, const std::string& path) {
  if (parsed) return {};
  if (read) return "not a registration file";
  return FileExists(path.c_str()) ? "cannot be read" : "file not found";
}

std::shared_ptr<const Registry> registryFromFile(const std::string& path, RegistryOrigin* origin) {
  origin->path = path;
  origin->lookedAt += (origin->lookedAt.empty() ? "" : " and ") + path;
  const auto text = readWholeFile(path);
  auto registry = text ? registryFromText(*text) : nullptr;
  origin->problem = registryProblem(text.has_value(), registry != nullptr, path);
  return registry;
}

// The installation's own registration file, found from the folder of this library.
std::string installedRegistryPath() {
  const std::string folder = ModuleFolderOf(reinterpret_cast<const void*>(&installedRegistryPath));
  if (folder.empty()) return {};
  return (std::filesystem::path(folder) / TEVRA_REGISTRY_FROM_LIBRARY).lexically_normal().string();
}

std::shared_ptr<const Registry> lookForRegistry(RegistryOrigin* origin) {
  const char* path = std::getenv("TEVRA_REGISTRY");
  if (path != nullptr && *path != '\0') return registryFromFile(path, origin);
  const std::string installed = installedRegistryPath();
  if (!installed.empty() && FileExists(installed.c_str())) return registryFromFile(installed, origin);
  if (!installed.empty()) origin->lookedAt = installed;
  return registryFromFile(kDefaultRegistryPath, origin);
}

// Installs a parsed registry, or an empty one when there is none; the caller holds the state's mutex.
bool installLocked(State& s, std::shared_ptr<const Registry> registry, RegistryOrigin origin) {
  const bool parsed = registry != nullptr;
  s.registry = parsed ? std::move(registry) : emptyRegistry();
  s.origin = std::move(origin);
  s.loaded = true;
  return parsed;
}

bool install(std::shared_ptr<const Registry> registry, RegistryOrigin origin) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return installLocked(s, std::move(registry), std::move(origin));
}

std::shared_ptr<const Registry> currentRegistry(State& s) {
  if (!s.loaded) {
    RegistryOrigin origin;
    auto registry = lookForRegistry(&origin);
    installLocked(s, std::move(registry), std::move(origin));
  }
  return s.registry;
}

// What a handle names: a predefined root in the current registry, or a key opened earlier.
std::optional<OpenKey> resolve(HKEY key) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  if (const RootName* root = findRoot(key)) return OpenKey{currentRegistry(s), std::string(root->canonical)};
  const auto it = s.openKeys.find(key);
  if (it == s.openKeys.end()) return std::nullopt;
  return it->second;
}

HKEY addHandle(OpenKey key) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  const HKEY handle = s.nextHandle;
  s.nextHandle += 4;
  if (s.nextHandle >= HKEY_CLASSES_ROOT && s.nextHandle <= HKEY_USERS) s.nextHandle = HKEY_USERS + 1;
  s.openKeys.emplace(handle, std::move(key));
  return handle;
}

bool removeHandle(HKEY key) {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  return s.openKeys.erase(key) == 1;
}

int32_t finish(uint32_t code) {
  SetLastError(code);
  return static_cast<int32_t>(code);
}

// A key exists when it was named or, as in a real registry, when a key below it was; the predefined keys
// exist even in an empty registry. The keys below a path sort together, so one ordered lookup finds them.
bool keyExists(const Registry& registry, const std::string& canonical) {
  if (canonical.find('\\') == std::string::npos || registry.keys.contains(canonical)) return true;
  const std::string below = canonical + '\\';
  const auto it = registry.keys.lower_bound(below);
  return it != registry.keys.end() && it->first.starts_with(below);
}

const RegValue* findValue(const OpenKey& key, const char* valueName) {
  const auto keyIt = key.registry->keys.find(key.path);
  if (keyIt == key.registry->keys.end()) return nullptr;
  const auto valueIt = keyIt->second.find(asciiLowerCase(valueName == nullptr ? "" : valueName));
  return valueIt == keyIt->second.end() ? nullptr : &valueIt->second;
}

}  // namespace

int32_t RegOpenKeyEx(HKEY root, const char* subKey, uint32_t /*options*/, uint32_t /*access*/, HKEY* result) {
  if (result == nullptr) return finish(kErrorInvalidParameter);
  *result = 0;
  auto base = resolve(root);
  if (!base) return finish(kErrorInvalidHandle);
  std::string path = base->path;
  if (subKey != nullptr) path.append("\\").append(subKey);
  auto canonical = canonicalPath(path);
  if (!canonical || !keyExists(*base->registry, *canonical)) return finish(kErrorFileNotFound);
  *result = addHandle(OpenKey{std::move(base->registry), std::move(*canonical)});
  return finish(kErrorSuccess);
}

int32_t RegQueryValueEx(HKEY key, const char* valueName, uint32_t* reserved, uint32_t* type, uint8_t* data,
                        uint32_t* size) {
  const auto open = resolve(key);
  if (!open) return finish(kErrorInvalidHandle);
  if (reserved != nullptr || (data != nullptr && size == nullptr)) return finish(kErrorInvalidParameter);
  const RegValue* value = findValue(*open, valueName);
  if (value == nullptr) return finish(kErrorFileNotFound);
  if (type != nullptr) *type = value->type;
  const auto needed = static_cast<uint32_t>(value->data.size());
  if (data == nullptr) {
    if (size != nullptr) *size = needed;
    return finish(kErrorSuccess);
  }
  if (*size < needed) {
    *size = needed;
    return finish(kErrorMoreData);
  }
  if (needed > 0) std::memcpy(data, value->data.data(), needed);
  *size = needed;
  return finish(kErrorSuccess);
}

int32_t RegCloseKey(HKEY key) {
  if (findRoot(key) != nullptr || removeHandle(key)) return finish(kErrorSuccess);
  return finish(kErrorInvalidHandle);
}

bool LoadRegistryFile(const std::string& path) {
  RegistryOrigin origin;
  auto registry = registryFromFile(path, &origin);
  return install(std::move(registry), std::move(origin));
}

bool LoadRegistryText(std::string_view text) {
  auto registry = registryFromText(text);
  return install(registry, RegistryOrigin{"", "", registry ? "" : "not a registration file"});
}

RegistryOrigin CurrentRegistryOrigin() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  currentRegistry(s);
  return s.origin;
}

std::string RegistryFolder() {
  const std::string path = CurrentRegistryOrigin().path;
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void ResetRegistry() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.registry.reset();
  s.loaded = false;
}

}  // namespace tevra::platform
