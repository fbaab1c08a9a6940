// The server object that the driver creates through the registration file, and the module's exports.
#include <cstdio>
#include <mutex>
#include <new>

#include "interface/q7730/server_dispatch.h"
#include "platform/com/com_error.h"
#include "platform/com/creation.h"
#include "platform/com/errorinfo.h"
#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {
namespace {

using platform::S_OK;
using server::IInstrument;
using server::ServerOp;

class Q7730Instrument final
    : public platform::ComObject<IInstrument, platform::ISupportErrorInfo, platform::IRunnableObject> {
 public:
  HRESULT Invoke(ServerOp op, uint32_t count, const platform::VARIANT* args,
                 platform::VARIANT* result) override {
    std::lock_guard<std::mutex> lock(mutex_);
    platform::SetErrorInfo(0, nullptr);
    try {
      const HRESULT hr = server::dispatchToImplementation(server_, op, count, args, result);
      if (platform::FAILED(hr)) return describeCallFailure(op, hr);
      return hr;
    } catch (const ServerFailure& failure) {
      return reportFailure(failure.hr, failure.description);
    } catch (const _com_error& error) {
      return reportFailure(error.Error(), error.ErrorMessage());
    } catch (const std::bad_alloc&) {
      return reportFailure(platform::E_OUTOFMEMORY, "out of memory");
    } catch (const std::exception& error) {
      return reportFailure(platform::E_UNEXPECTED, error.what());
    }
  }

  HRESULT InterfaceSupportsErrorInfo(const platform::IID& iid) override {
    return iid == IInstrument::iid ? S_OK : platform::S_FALSE;
  }

  // The server connects at ActivateInstrument, once it has its resource address.
  HRESULT Run() override { return S_OK; }

 private:
  // A call that never reached an operation: an unknown id, a wrong count or types of arguments.
  static HRESULT describeCallFailure(ServerOp op, HRESULT hr) {
    char text[96];
    std::snprintf(text, sizeof text, "call of operation %u refused: 0x%08X", static_cast<unsigned>(op),
                  static_cast<uint32_t>(hr));
    return reportFailure(hr, text);
  }

  std::mutex mutex_;
  Q7730Server server_;
};

const platform::CLSID& serverClsid() {
  static const platform::CLSID clsid = [] {
    platform::CLSID parsed{};
    platform::GuidFromString(Q7730_SERVER_CLSID, &parsed);
    return parsed;
  }();
  return clsid;
}

}  // namespace
}  // namespace tevra::q7730

namespace platform = tevra::platform;

extern "C" __attribute__((visibility("default"))) uint32_t TevraComModule_AbiVersion() {
  return platform::kComModuleAbiVersion;
}

extern "C" __attribute__((visibility("default"))) platform::HRESULT TevraComModule_CreateObject(
    const platform::GUID* clsid, const platform::GUID* iid, void** object) {
  if (iid == nullptr || object == nullptr) return platform::E_POINTER;
  *object = nullptr;
  if (clsid != nullptr && !(*clsid == tevra::q7730::serverClsid()))
    return platform::CLASS_E_CLASSNOTAVAILABLE;
  auto* instrument = new (std::nothrow) tevra::q7730::Q7730Instrument();
  if (instrument == nullptr) return platform::E_OUTOFMEMORY;
  const platform::HRESULT hr = instrument->QueryInterface(*iid, object);
  instrument->Release();
  return hr;
}
