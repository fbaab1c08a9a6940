// A loadable server module for tests of object creation and of the server-side dispatch: it answers every
// operation of the table, records what it was called with, and fails Preset with error information.
#include <string>
#include <vector>

#include "interface/q7730/server_dispatch.h"
#include "platform/com/creation.h"
#include "platform/com/errorinfo.h"

namespace {

using tevra::platform::HRESULT;
using tevra::platform::S_OK;
namespace platform = tevra::platform;
namespace server = tevra::server;

struct RecordingImplementation {
  std::vector<std::string> calls;
  double frequency = 0.0;
  bool running = false;

#define TEST_RECORD_ONE(Id)  \
  template <class... P>      \
  HRESULT Id(P...) {         \
    calls.emplace_back(#Id); \
    return S_OK;             \
  }
#define TEST_RECORD_METHOD(Name, R, ...) TEST_RECORD_ONE(Name)
#define TEST_RECORD_PROPERTY(Name, T) TEST_RECORD_ONE(get_##Name) TEST_RECORD_ONE(put_##Name)
#define TEST_RECORD_READONLY(Name, T) TEST_RECORD_ONE(get_##Name)
  TEVRA_SERVER_OPERATIONS(TEST_RECORD_METHOD, TEST_RECORD_PROPERTY, TEST_RECORD_READONLY)
#undef TEST_RECORD_ONE
#undef TEST_RECORD_METHOD
#undef TEST_RECORD_PROPERTY
#undef TEST_RECORD_READONLY

  HRESULT get_SerialNumber(platform::BSTR* out) {
    *out = platform::Bstr("TEST-SN-1").detach();
    return S_OK;
  }
  HRESULT get_DriverVersion(platform::BSTR* out) {
    *out = platform::Bstr(running ? "running" : "not running").detach();
    return S_OK;
  }
  HRESULT put_Frequency(double hz) {
    frequency = hz;
    return S_OK;
  }
  HRESULT get_Frequency(double* hz) {
    *hz = frequency;
    return S_OK;
  }
  HRESULT Preset() {
    platform::SetErrorInfo(
        0,
        platform::CreateErrorInfo("Preset refused by test module", "test", server::IInstrument::iid).get());
    return platform::E_FAIL;
  }
};

class TestInstrument final : public platform::ComObject<server::IInstrument, platform::ISupportErrorInfo,
                                                        platform::IRunnableObject> {
 public:
  HRESULT Invoke(server::ServerOp op, uint32_t count, const platform::VARIANT* args,
                 platform::VARIANT* result) override {
    return server::dispatchToImplementation(impl_, op, count, args, result);
  }
  HRESULT InterfaceSupportsErrorInfo(const platform::IID& iid) override {
    return iid == server::IInstrument::iid ? S_OK : platform::S_FALSE;
  }
  HRESULT Run() override {
    impl_.running = true;
    return S_OK;
  }

 private:
  RecordingImplementation impl_;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) uint32_t TevraComModule_AbiVersion() {
  return platform::kComModuleAbiVersion;
}

extern "C" __attribute__((visibility("default"))) HRESULT TevraComModule_CreateObject(
    const platform::GUID* /*clsid*/, const platform::GUID* iid, void** object) {
  if (iid == nullptr || object == nullptr) return platform::E_POINTER;
  auto* instrument = new TestInstrument();
  const HRESULT hr = instrument->QueryInterface(*iid, object);
  instrument->Release();
  return hr;
}
