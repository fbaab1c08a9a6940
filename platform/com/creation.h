// Object creation: apartments, ProgID and CLSID lookup through the registry, and creation of classes whose
// in-process server entry names a loadable module.
//
// A module is a shared library that exports, with C linkage,
//   uint32_t TevraComModule_AbiVersion(void);   returns kComModuleAbiVersion
//   HRESULT  TevraComModule_CreateObject(const GUID* clsid, const GUID* iid, void** object);
// and is named by the default value of HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/com/unknown.h"

namespace tevra::platform {

inline constexpr uint32_t kComModuleAbiVersion = 1;
inline constexpr const char* kComModuleVersionSymbol = "TevraComModule_AbiVersion";
inline constexpr const char* kComModuleCreateSymbol = "TevraComModule_CreateObject";
using ComModuleVersionFn = uint32_t (*)();
using ComModuleCreateFn = HRESULT (*)(const GUID* clsid, const GUID* iid, void** object);

inline constexpr uint32_t CLSCTX_INPROC_SERVER = 1;
inline constexpr uint32_t CLSCTX_INPROC_HANDLER = 2;
inline constexpr uint32_t CLSCTX_LOCAL_SERVER = 4;
inline constexpr uint32_t COINIT_APARTMENTTHREADED = 2;
inline constexpr uint32_t COINIT_MULTITHREADED = 0;

// S_OK on the thread's first call, S_FALSE on later ones; each needs a CoUninitialize.
HRESULT CoInitializeEx(void* reserved, uint32_t flags);
void CoUninitialize();

// HKEY_CLASSES_ROOT\<progId>\CLSID; CO_E_CLASSSTRING when the ProgID is not registered.
HRESULT CLSIDFromProgID(const char16_t* progId, CLSID* clsid);
// Reads "{...}"; CO_E_CLASSSTRING when the text is not a CLSID.
HRESULT CLSIDFromString(const char16_t* text, CLSID* clsid);
// Writes the braced form and its terminating zero; returns the characters written, 0 when cch is too small.
int StringFromGUID2(const GUID& guid, char16_t* buffer, int cch);

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t context, const IID& iid,
                         void** object);
// Puts an object into its running state when it has one (IRunnableObject); other objects are running already.
HRESULT OleRun(IUnknown* object);

struct IRunnableObject : IUnknown {
  static constexpr IID iid = {0x00000126, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  virtual HRESULT Run() = 0;

 protected:
  ~IRunnableObject() = default;
};

// A class served from inside the process, ahead of the registry (as CoRegisterClassObject does).
using ClassFactoryFn = std::function<HRESULT(const IID& iid, void** object)>;
uint32_t CoRegisterClassObject(const CLSID& clsid, ClassFactoryFn factory);
void CoRevokeClassObject(uint32_t cookie);

}  // namespace tevra::platform
