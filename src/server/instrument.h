// The driver's adapter to the measurement server: one typed wrapper per operation of the table. A wrapper
// raises _com_error with E_POINTER when no interface is held, and with the operation's HRESULT (and the
// server's error information when it supports it) when the operation fails.
#pragma once

#include <string>
#include <utility>

#include "interface/q7730/instrument_interface.h"
#include "platform/com/com_error.h"
#include "platform/com/unknown.h"
#include "src/server/position.h"

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

// What a call whose failure the caller answers itself returns: the HRESULT and the value, which is the
// type's zero (or a null array) when the call failed.
template <ServerOp op>
struct Outcome {
  HRESULT hr = platform::S_OK;
  ClientResult<op> value{};
  bool failed() const { return platform::FAILED(hr); }
};

class Instrument {
 public:
  bool held() const { return static_cast<bool>(ptr_); }
  void reset() { ptr_.reset(); }
  void attach(platform::ComPtr<IInstrument> ptr) { ptr_ = std::move(ptr); }
  IInstrument* raw() const { return ptr_.get(); }

  // Creates the server from a ProgID, or from a CLSID text beginning with '{', and holds its interface.
  // Releases an interface still held first. Raises _com_error on failure.
  void create(const char* progIdOrClsid);

  // Calls an operation; an operation without a value returns its HRESULT. A failure raises _com_error.
  template <ServerOp op, class... A>
  ClientResult<op> call(A&&... args);
  // Calls an operation and returns its HRESULT with the value instead of raising, also when no interface
  // is held (E_POINTER) or the value has the wrong type (DISP_E_TYPEMISMATCH).
  template <ServerOp op, class... A>
  Outcome<op> tryCall(A&&... args);

#define TEVRA_WRAP_METHOD(Name, R, ...)                       \
  template <class... A>                                       \
  ClientResult<ServerOp::Name> Name(A&&... args) {            \
    return call<ServerOp::Name>(std::forward<A>(args)...);    \
  }                                                           \
  template <class... A>                                       \
  Outcome<ServerOp::Name> try_##Name(A&&... args) {           \
    return tryCall<ServerOp::Name>(std::forward<A>(args)...); \
  }
#define TEVRA_WRAP_READONLY(Name, T)                \
  ClientResult<ServerOp::get_##Name> get_##Name() { \
    return call<ServerOp::get_##Name>();            \
  }                                                 \
  Outcome<ServerOp::get_##Name> try_get_##Name() {  \
    return tryCall<ServerOp::get_##Name>();         \
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
  // Raises hr with the server's error information; E_POINTER (no interface) and a mistyped value without.
  [[noreturn]] void raiseFailure(HRESULT hr) const;

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
  Outcome<op> outcome = tryCall<op>(std::forward<A>(args)...);
  if (outcome.failed()) raiseFailure(outcome.hr);
  if constexpr (std::is_void_v<typename OpSignature<op>::Result>) {
    return outcome.hr;
  } else {
    return std::move(outcome.value);
  }
}

template <ServerOp op, class... A>
Outcome<op> Instrument::tryCall(A&&... args) {
  using Sig = OpSignature<op>;
  using R = typename Sig::Result;
  static_assert(sizeof...(A) == Sig::arity, "wrong number of arguments for this server operation");
  Outcome<op> outcome;
  if (!ptr_) {
    outcome.hr = platform::E_POINTER;
    return outcome;
  }
  VariantArray<Sig::arity> in;
  [&]<size_t... I>(std::index_sequence<I...>) {
    (Wire<std::tuple_element_t<I, typename Sig::Arguments>>::pack(
         in.items[I],
         static_cast<typename Wire<std::tuple_element_t<I, typename Sig::Arguments>>::ClientIn>(args)),
     ...);
  }
  (std::make_index_sequence<Sig::arity>{});
  VariantArray<1> out;
  outcome.hr = ptr_->Invoke(op, static_cast<uint32_t>(Sig::arity), in.items, &out.items[0]);
  if constexpr (std::is_void_v<R>) {
    outcome.value = outcome.hr;
  } else if (platform::SUCCEEDED(outcome.hr)) {
    if (Wire<R>::accepts(out.items[0].vt)) {
      outcome.value = Wire<R>::take(out.items[0]);
    } else {
      outcome.hr = platform::DISP_E_TYPEMISMATCH;
    }
  }
  return outcome;
}

// The driver's one instrument interface, null while no session is open.
Instrument& instrument();

// The instrument interface after storing the position number of the call that follows:
// `server::at(2611).get_MeasurementBusy()`.
inline Instrument& at(int32_t position) {
  setPosition(position);
  return instrument();
}

// Stores the position number and raises hr when it failed: for the calls on a server's array (lock,
// unlock, destroy), which report HRESULTs instead of raising.
inline void raiseAt(int32_t position, HRESULT hr) {
  setPosition(position);
  if (platform::FAILED(hr)) _com_issue_error(hr);
}

}  // namespace tevra::server
