// The instrument interface of the measurement server: operation ids and signatures derived from the
// operation table, and the one entry point through which every operation is called. The interface id is
// derived from the table's text, so a module built from another table does not offer this interface and
// is refused at creation instead of answering operations by the wrong ids.
#pragma once

#include <cstdint>
#include <tuple>

#include "interface/q7730/operations.h"
#include "interface/q7730/wire_types.h"
#include "platform/com/unknown.h"

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

#define TEVRA_OP_TEXT_METHOD(Name, R, ...) "M " #Name " " #R " " #__VA_ARGS__ ";"
#define TEVRA_OP_TEXT_PROPERTY(Name, T) "P " #Name " " #T ";"
#define TEVRA_OP_TEXT_READONLY(Name, T) "R " #Name " " #T ";"
inline constexpr char kOperationTableText[] =
    TEVRA_SERVER_OPERATIONS(TEVRA_OP_TEXT_METHOD, TEVRA_OP_TEXT_PROPERTY, TEVRA_OP_TEXT_READONLY);
#undef TEVRA_OP_TEXT_METHOD
#undef TEVRA_OP_TEXT_PROPERTY
#undef TEVRA_OP_TEXT_READONLY

// FNV-1a over the table's text; two seeds give the 128 bits of the interface id.
constexpr uint64_t tableHash(uint64_t seed) {
  uint64_t hash = seed;
  for (const char c : kOperationTableText) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 0x100000001B3ull;
  }
  return hash;
}

constexpr platform::IID interfaceIdOfTable() {
  const uint64_t high = tableHash(0xCBF29CE484222325ull);
  const uint64_t low = tableHash(0x84222325CBF29CE4ull);
  platform::IID iid{
      static_cast<uint32_t>(high >> 32), static_cast<uint16_t>(high >> 16), static_cast<uint16_t>(high), {}};
  for (int i = 0; i < 8; ++i) iid.data4[i] = static_cast<uint8_t>(low >> (56 - 8 * i));
  return iid;
}

struct IInstrument : platform::IUnknown {
  static constexpr platform::IID iid = interfaceIdOfTable();
  // Calls one operation. args holds count arguments in the table's order and types; result receives the
  // operation's value (VT_EMPTY for an operation without one) and belongs to the caller. Returns the
  // operation's HRESULT; on failure the thread's error information may describe it.
  virtual HRESULT Invoke(ServerOp op, uint32_t count, const VARIANT* args, VARIANT* result) = 0;

 protected:
  ~IInstrument() = default;
};

}  // namespace tevra::server
