// The server side of the instrument interface: unpacks an Invoke into a call of the implementation's typed
// member of the same name, `HRESULT Name(ServerIn... args[, ServerOut* result])`, and packs its result.
#pragma once

#include <type_traits>
#include <utility>

#include "interface/q7730/instrument_interface.h"

namespace tevra::server {

template <ServerOp op, class Call>
HRESULT invokeTyped(Call&& call, uint32_t count, const VARIANT* args, VARIANT* result) {
  using Sig = OpSignature<op>;
  using R = typename Sig::Result;
  if (count != Sig::arity) return platform::DISP_E_BADPARAMCOUNT;
  if (Sig::arity > 0 && args == nullptr) return platform::E_POINTER;
  return [&]<size_t... I>(std::index_sequence<I...>)->HRESULT {
    if (((args[I].vt != Wire<std::tuple_element_t<I, typename Sig::Arguments>>::vt) || ...)) {
      return platform::DISP_E_TYPEMISMATCH;
    }
    if constexpr (std::is_void_v<R>) {
      return call(Wire<std::tuple_element_t<I, typename Sig::Arguments>>::view(args[I])...);
    } else {
      if (result == nullptr) return platform::E_POINTER;
      auto value = Wire<R>::initial();
      const HRESULT hr =
          call(Wire<std::tuple_element_t<I, typename Sig::Arguments>>::view(args[I])..., &value);
      if (platform::SUCCEEDED(hr)) {
        Wire<R>::pack(*result, value);
      } else {
        Wire<R>::release(value);
      }
      return hr;
    }
  }
  (std::make_index_sequence<Sig::arity>{});
}

template <class Impl>
HRESULT dispatchToImplementation(Impl& impl, ServerOp op, uint32_t count, const VARIANT* args,
                                 VARIANT* result) {
  switch (op) {
#define TEVRA_DISPATCH_ONE(Id) \
  case ServerOp::Id:           \
    return invokeTyped<ServerOp::Id>([&](auto... p) { return impl.Id(p...); }, count, args, result);
#define TEVRA_DISPATCH_METHOD(Name, R, ...) TEVRA_DISPATCH_ONE(Name)
#define TEVRA_DISPATCH_PROPERTY(Name, T) TEVRA_DISPATCH_ONE(get_##Name) TEVRA_DISPATCH_ONE(put_##Name)
#define TEVRA_DISPATCH_READONLY(Name, T) TEVRA_DISPATCH_ONE(get_##Name)
    TEVRA_SERVER_OPERATIONS(TEVRA_DISPATCH_METHOD, TEVRA_DISPATCH_PROPERTY, TEVRA_DISPATCH_READONLY)
#undef TEVRA_DISPATCH_ONE
#undef TEVRA_DISPATCH_METHOD
#undef TEVRA_DISPATCH_PROPERTY
#undef TEVRA_DISPATCH_READONLY
    case ServerOp::kCount:
      break;
  }
  return platform::DISP_E_BADINDEX;
}

}  // namespace tevra::server
