#include "src/server/instrument.h"

#include "platform/com/creation.h"

namespace tevra::server {
namespace {

constexpr uint32_t kServerClassContext =
    platform::CLSCTX_INPROC_SERVER | platform::CLSCTX_INPROC_HANDLER | platform::CLSCTX_LOCAL_SERVER;

platform::CLSID classIdOf(const char* progIdOrClsid) {
  if (progIdOrClsid == nullptr) _com_issue_error(platform::E_INVALIDARG);
  const std::u16string wide = platform::Utf8ToUtf16(progIdOrClsid);
  platform::CLSID clsid{};
  const HRESULT hr = wide.starts_with(u'{') ? platform::CLSIDFromString(wide.c_str(), &clsid)
                                            : platform::CLSIDFromProgID(wide.c_str(), &clsid);
  if (platform::FAILED(hr)) _com_issue_error(hr);
  return clsid;
}

// A module built from another operation table does not offer this table's interface id.
[[noreturn]] void raiseOtherTable() {
  throw _com_error(platform::E_NOINTERFACE,
                   platform::CreateErrorInfo("the server module was built from another operation table",
                                             "tevra", IInstrument::iid));
}

}  // namespace

void Instrument::create(const char* progIdOrClsid) {
  const platform::CLSID clsid = classIdOf(progIdOrClsid);
  ptr_.reset();
  // With the local-server bit in the class context the object is created for IUnknown and run first.
  platform::ComPtr<platform::IUnknown> unknown;
  HRESULT hr = platform::CoCreateInstance(clsid, nullptr, kServerClassContext, platform::IUnknown::iid,
                                          unknown.putVoid());
  if (platform::FAILED(hr)) _com_issue_error(hr);
  hr = platform::OleRun(unknown.get());
  if (platform::FAILED(hr)) _com_issue_error(hr);
  platform::ComPtr<IInstrument> instr;
  hr = unknown.queryInterface(&instr);
  if (hr == platform::E_NOINTERFACE) raiseOtherTable();
  if (platform::FAILED(hr)) _com_issue_error(hr);
  ptr_ = std::move(instr);
}

void Instrument::raiseFailure(HRESULT hr) const {
  if (!ptr_ || hr == platform::DISP_E_TYPEMISMATCH) _com_issue_error(hr);
  _com_issue_errorex(hr, ptr_.get(), IInstrument::iid);
}

std::atomic<int32_t>& positionNumber() {
  static std::atomic<int32_t> number{0};
  return number;
}

Instrument& instrument() {
  static Instrument held;
  return held;
}

}  // namespace tevra::server
