// The instrument interface of the measurement server: operation ids and signatures derived from the
// operation table, and the one entry point through which every operation is called.
#pragma once

#include <cstdint>
#include <tuple>

#include "platform/com/unknown.h"
#include "src/server/operations.h"
#include "src/server/wire_types.h"

namespace tevra::server {

#define TEVRA_OP_ID_METHOD(Name, R, ...) Name,
#define TEVRA_OP_ID_PROPERTY(Name, T) get_##Name, put_##Name,
#define TEVRA_OP_ID_READONLY(Name, T) get_##Name,
enum class ServerOp : uint32_t {
  TEVRA_SERVER_OPERATIONS(TEVRA_OP_ID_METHOD, TEVRA_OP_ID_PROPERTY, TEVRA_OP_ID_READONLY) kCount
};
#undef TEVRA_OP_ID_METHOD
#undef TEVRA_OP_ID_PROPERTY
#undef TEVRA_OP_ID_READONLY

template <class R, class... Args>
struct Signature {
  using Result = R;
  using Arguments = std::tuple<Args...>;
  static constexpr size_t arity = sizeof...(Args);
};

template <ServerOp op>
struct OpSignature;

#define TEVRA_OP_SIG_METHOD(Name, R, ...) \
  template <>                             \
  struct OpSignature<ServerOp::Name> : Signature<R __VA_OPT__(, ) __VA_ARGS__> {};
#define TEVRA_OP_SIG_PROPERTY(Name, T)                        \
  template <>                                                 \
  struct OpSignature<ServerOp::get_##Name> : Signature<T> {}; \
  template <>                                                 \
  struct OpSignature<ServerOp::put_##Name> : Signature<void, T> {};
#define TEVRA_OP_SIG_READONLY(Name, T) \
  template <>                          \
  struct OpSignature<ServerOp::get_##Name> : Signature<T> {};
TEVRA_SERVER_OPERATIONS(TEVRA_OP_SIG_METHOD, TEVRA_OP_SIG_PROPERTY, TEVRA_OP_SIG_READONLY)
#undef TEVRA_OP_SIG_METHOD
#undef TEVRA_OP_SIG_PROPERTY
#undef TEVRA_OP_SIG_READONLY

// The operation's name as the table gives it ("Suspend", "get_SerialNumber"); "?" for an unknown id.
const char* serverOpName(ServerOp op);
// The VARTYPE of the operation's value (VT_EMPTY when it has none) and its number of arguments.
VARTYPE serverOpResultType(ServerOp op);
uint32_t serverOpArity(ServerOp op);

struct IInstrument : platform::IUnknown {
  static constexpr platform::IID iid = {
      0x26E2DCB8, 0x27BA, 0x44C4, {0x89, 0x45, 0xCB, 0xB9, 0xC8, 0xCC, 0xA9, 0xFF}};
  // Calls one operation. args holds count arguments in the table's order and types; result receives the
  // operation's value (VT_EMPTY for an operation without one) and belongs to the caller. Returns the
  // operation's HRESULT; on failure the thread's error information may describe it.
  virtual HRESULT Invoke(ServerOp op, uint32_t count, const VARIANT* args, VARIANT* result) = 0;

 protected:
  ~IInstrument() = default;
};

}  // namespace tevra::server
