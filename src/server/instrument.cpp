#include "src/server/instrument.h"

#include "platform/com/creation.h"

namespace tevra::server {
namespace {

#define TEVRA_NAME_METHOD(Name, R, ...) #Name,
#define TEVRA_NAME_PROPERTY(Name, T) "get_" #Name, "put_" #Name,
#define TEVRA_NAME_READONLY(Name, T) "get_" #Name,
constexpr const char* kOpNames[] = {
    TEVRA_SERVER_OPERATIONS(TEVRA_NAME_METHOD, TEVRA_NAME_PROPERTY, TEVRA_NAME_READONLY)};
#undef TEVRA_NAME_METHOD
#undef TEVRA_NAME_PROPERTY
#undef TEVRA_NAME_READONLY
static_assert(std::size(kOpNames) == static_cast<size_t>(ServerOp::kCount));

struct OpShape {
  VARTYPE resultType;
  uint32_t arity;
};

template <ServerOp op>
constexpr OpShape shapeOf() {
  using R = typename OpSignature<op>::Result;
  if constexpr (std::is_void_v<R>) {
    return {platform::VT_EMPTY, static_cast<uint32_t>(OpSignature<op>::arity)};
  } else {
    return {Wire<R>::vt, static_cast<uint32_t>(OpSignature<op>::arity)};
  }
}

#define TEVRA_SHAPE_METHOD(Name, R, ...) shapeOf<ServerOp::Name>(),
#define TEVRA_SHAPE_PROPERTY(Name, T) shapeOf<ServerOp::get_##Name>(), shapeOf<ServerOp::put_##Name>(),
#define TEVRA_SHAPE_READONLY(Name, T) shapeOf<ServerOp::get_##Name>(),
constexpr OpShape kOpShapes[] = {
    TEVRA_SERVER_OPERATIONS(TEVRA_SHAPE_METHOD, TEVRA_SHAPE_PROPERTY, TEVRA_SHAPE_READONLY)};
#undef TEVRA_SHAPE_METHOD
#undef TEVRA_SHAPE_PROPERTY
#undef TEVRA_SHAPE_READONLY

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

}  // namespace

const char* serverOpName(ServerOp op) {
  const auto index = static_cast<size_t>(op);
  return index < std::size(kOpNames) ? kOpNames[index] : "?";
}

VARTYPE serverOpResultType(ServerOp op) {
  const auto index = static_cast<size_t>(op);
  return index < std::size(kOpShapes) ? kOpShapes[index].resultType : platform::VT_EMPTY;
}

uint32_t serverOpArity(ServerOp op) {
  const auto index = static_cast<size_t>(op);
  return index < std::size(kOpShapes) ? kOpShapes[index].arity : 0;
}

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
  if (platform::FAILED(hr)) _com_issue_error(hr);
  ptr_ = std::move(instr);
}

HRESULT Instrument::invoke(ServerOp op, uint32_t count, const VARIANT* args, VARIANT* result) const {
  if (!ptr_) _com_issue_error(platform::E_POINTER);
  const HRESULT hr = ptr_->Invoke(op, count, args, result);
  if (platform::FAILED(hr)) {
    platform::VariantClear(result);
    raiseFailure(hr);
  }
  return hr;
}

void Instrument::raiseFailure(HRESULT hr) const {
  _com_issue_errorex(hr, ptr_.get(), IInstrument::iid);
}

Instrument& instrument() {
  static Instrument held;
  return held;
}

}  // namespace tevra::server
