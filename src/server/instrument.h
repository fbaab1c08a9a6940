// The driver's adapter to the measurement server: one typed wrapper per operation of the table. A wrapper
// raises _com_error with E_POINTER when no interface is held, and with the operation's HRESULT (and the
// server's error information when it supports it) when the operation fails.
#pragma once

#include <string>
#include <utility>

#include "platform/com/unknown.h"
#include "interface/q7730/instrument_interface.h"

namespace tevra::server {

template <class R>
struct ClientResultOf {
  using type = typename Wire<R>::ClientOut;
};
template <>
struct ClientResultOf<void> {
  using type = HRESULT;
};
// What a wrapper returns: the operation's value, or its HRESULT when it has none.
template <ServerOp op>
using ClientResult = typename ClientResultOf<typename OpSignature<op>::Result>::type;

class Instrument {
 public:
  bool held() const { return static_cast<bool>(ptr_); }
  void reset() { ptr_.reset(); }
  void attach(platform::ComPtr<IInstrument> ptr) { ptr_ = std::move(ptr); }
  IInstrument* raw() const { return ptr_.get(); }

  // Creates the server from a ProgID, or from a CLSID text beginning with '{', and holds its interface.
  // Releases an interface still held first. Raises _com_error on failure.
  void create(const char* progIdOrClsid);

  // Calls an operation; an operation without a value returns its HRESULT.
  template <ServerOp op, class... A>
  ClientResult<op> call(A&&... args);

#define TEVRA_WRAP_METHOD(Name, R, ...)                    \
  template <class... A>                                    \
  ClientResult<ServerOp::Name> Name(A&&... args) {         \
    return call<ServerOp::Name>(std::forward<A>(args)...); \
  }
#define TEVRA_WRAP_READONLY(Name, T)                \
  ClientResult<ServerOp::get_##Name> get_##Name() { \
    return call<ServerOp::get_##Name>();            \
  }
#define TEVRA_WRAP_PROPERTY(Name, T)                           \
  TEVRA_WRAP_READONLY(Name, T)                                 \
  template <class A>                                           \
  HRESULT put_##Name(A&& value) {                              \
    return call<ServerOp::put_##Name>(std::forward<A>(value)); \
  }
  TEVRA_SERVER_OPERATIONS(TEVRA_WRAP_METHOD, TEVRA_WRAP_PROPERTY, TEVRA_WRAP_READONLY)
#undef TEVRA_WRAP_METHOD
#undef TEVRA_WRAP_PROPERTY
#undef TEVRA_WRAP_READONLY

 private:
  [[noreturn]] void raiseFailure(HRESULT hr) const;
  HRESULT invoke(ServerOp op, uint32_t count, const VARIANT* args, VARIANT* result) const;

  platform::ComPtr<IInstrument> ptr_;
};

// Clears the VARIANTs it holds when it goes out of scope.
template <size_t N>
struct VariantArray {
  VARIANT items[N == 0 ? 1 : N];
  VariantArray() = default;
  VariantArray(const VariantArray&) = delete;
  VariantArray& operator=(const VariantArray&) = delete;
  ~VariantArray() {
    for (auto& v : items) platform::VariantClear(&v);
  }
};

template <ServerOp op, class... A>
ClientResult<op> Instrument::call(A&&... args) {
  using Sig = OpSignature<op>;
  using R = typename Sig::Result;
  static_assert(sizeof...(A) == Sig::arity, "wrong number of arguments for this server operation");
  VariantArray<Sig::arity> in;
  [&]<size_t... I>(std::index_sequence<I...>) {
    (Wire<std::tuple_element_t<I, typename Sig::Arguments>>::pack(
         in.items[I],
         static_cast<typename Wire<std::tuple_element_t<I, typename Sig::Arguments>>::ClientIn>(args)),
     ...);
  }
  (std::make_index_sequence<Sig::arity>{});
  VariantArray<1> out;
  const HRESULT hr = invoke(op, static_cast<uint32_t>(Sig::arity), in.items, &out.items[0]);
  if constexpr (std::is_void_v<R>) {
    return hr;
  } else {
    if (out.items[0].vt != Wire<R>::vt) _com_issue_error(platform::DISP_E_TYPEMISMATCH);
    return Wire<R>::take(out.items[0]);
  }
}

// The driver's one instrument interface, null while no session is open.
Instrument& instrument();

}  // namespace tevra::server
