#include "platform/com/creation.h"

#include <dlfcn.h>

#include <map>
#include <mutex>
#include <string>

#include "platform/com/bstr.h"
#include "platform/kernel/win32_errors.h"
#include "platform/registry/registry.h"

namespace tevra::platform {
namespace {

thread_local int t_apartmentDepth = 0;

struct RegisteredClass {
  CLSID clsid;
  ClassFactoryFn factory;
};

struct ClassTable {
  std::mutex mutex;
  std::map<uint32_t, RegisteredClass> classes;
  uint32_t nextCookie = 1;
  std::map<std::string, ComModuleCreateFn> modules;
};

ClassTable& classTable() {
  static ClassTable table;
  return table;
}

bool readDefaultValue(const std::string& key, std::string* value) {
  HKEY handle = 0;
  if (RegOpenKeyEx(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != 0) return false;
  char buffer[1024];
  uint32_t size = sizeof buffer;
  uint32_t type = 0;
  const int32_t rc = RegQueryValueEx(handle, "", nullptr, &type, reinterpret_cast<uint8_t*>(buffer), &size);
  RegCloseKey(handle);
  if (rc != 0 || (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0) return false;
  buffer[size < sizeof buffer ? size : sizeof buffer - 1] = '\0';
  *value = buffer;
  return true;
}

ClassFactoryFn findRegisteredClass(const CLSID& clsid) {
  auto& table = classTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  for (const auto& [cookie, entry] : table.classes) {
    if (entry.clsid == clsid) return entry.factory;
  }
  return {};
}

// Loads a module once and keeps it loaded for the life of the process, as objects may outlive their creator.
HRESULT moduleFactory(const std::string& path, ComModuleCreateFn* create) {
  auto& table = classTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  if (auto it = table.modules.find(path); it != table.modules.end()) {
    *create = it->second;
    return S_OK;
  }
  void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) return HRESULT_FROM_WIN32(kErrorModNotFound);
  auto version = reinterpret_cast<ComModuleVersionFn>(dlsym(module, kComModuleVersionSymbol));
  auto factory = reinterpret_cast<ComModuleCreateFn>(dlsym(module, kComModuleCreateSymbol));
  if (version == nullptr || factory == nullptr) return HRESULT_FROM_WIN32(kErrorProcNotFound);
  if (version() != kComModuleAbiVersion) return CO_E_ERRORINDLL;
  table.modules.emplace(path, factory);
  *create = factory;
  return S_OK;
}

}  // namespace

HRESULT CoInitializeEx(void* /*reserved*/, uint32_t /*flags*/) {
  return t_apartmentDepth++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (t_apartmentDepth > 0) --t_apartmentDepth;
}

HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid) {
  if (text == nullptr || clsid == nullptr) return E_INVALIDARG;
  if (!GuidFromString(Utf16ToUtf8(text).c_str(), clsid)) return CO_E_CLASSSTRING;
  return S_OK;
}

HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid) {
  if (progId == nullptr || clsid == nullptr) return E_INVALIDARG;
  const std::string name = Utf16ToUtf8(progId);
  std::string text;
  if (name.empty() || name.find('\\') != std::string::npos || !readDefaultValue(name + "\\CLSID", &text)) {
    return CO_E_CLASSSTRING;
  }
  return GuidFromString(text.c_str(), clsid) ? S_OK : CO_E_CLASSSTRING;
}

int StringFromGUID2(const GUID& guid, char16_t* buffer, int cch) {
  const std::string text = GuidToString(guid);
  const int needed = static_cast<int>(text.size()) + 1;
  if (buffer == nullptr || cch < needed) return 0;
  for (size_t i = 0; i < text.size(); ++i) buffer[i] = static_cast<char16_t>(text[i]);
  buffer[text.size()] = u'\0';
  return needed;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& iid,
                         void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (outer != nullptr) return E_NOTIMPL;
  if ((context & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER)) == 0)
    return E_INVALIDARG;
  if (auto factory = findRegisteredClass(clsid)) return factory(iid, object);
  std::string path;
  if (!readDefaultValue("CLSID\\" + GuidToString(clsid) + "\\InprocServer32", &path))
    return REGDB_E_CLASSNOTREG;
  // An installation registers its module relative to the registration file, so that it can be moved whole.
  if (!path.starts_with('/')) path = RegistryFolder() + "/" + path;
  ComModuleCreateFn create = nullptr;
  if (HRESULT r = moduleFactory(path, &create); FAILED(r)) return r;
  return create(&clsid, &iid, object);
}

HRESULT OleRun(IUnknown* object) {
  if (object == nullptr) return E_INVALIDARG;
  ComPtr<IRunnableObject> runnable;
  if (FAILED(object->QueryInterface(IRunnableObject::iid, runnable.putVoid()))) return S_OK;
  return runnable->Run();
}

uint32_t CoRegisterClassObject(const CLSID& clsid, ClassFactoryFn factory) {
  auto& table = classTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  const uint32_t cookie = table.nextCookie++;
  table.classes[cookie] = RegisteredClass{clsid, std::move(factory)};
  return cookie;
}

void CoRevokeClassObject(uint32_t cookie) {
  auto& table = classTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.classes.erase(cookie);
}

}  // namespace tevra::platform
