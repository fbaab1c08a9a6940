// The RF port routing, held by the instrument.
#include <string>

#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {
namespace {

using platform::S_OK;

constexpr int32_t kMaxPrimaryPort = 4;

std::string referencePortHeader(int port) {
  return "ROUTe:PORT:REFerence" + std::to_string(port) + ":STATe";
}

}  // namespace

HRESULT Q7730Server::get_PrimaryRFPort(int32_t* out) {
  const int64_t port = link_.queryInteger("ROUTe:PORT:PRIMary?");
  link_.checkErrors();
  if (port < 0 || port > kMaxPrimaryPort) {
    failf(kInstrumentError, "the Q7730 reports primary RF port %lld", static_cast<long long>(port));
  }
  *out = static_cast<int32_t>(port);
  return S_OK;
}

HRESULT Q7730Server::put_PrimaryRFPort(int32_t port) {
  if (port < 0 || port > kMaxPrimaryPort) {
    failf(platform::E_INVALIDARG, "primary RF port %d out of range (0 to %d)", static_cast<int>(port),
          static_cast<int>(kMaxPrimaryPort));
  }
  link_.run({"ROUTe:PORT:PRIMary " + std::to_string(port)});
  return S_OK;
}

HRESULT Q7730Server::getReferencePort(int port, VARIANT_BOOL* out) {
  const bool on = link_.queryBoolean(referencePortHeader(port) + "?");
  link_.checkErrors();
  *out = variantBool(on);
  return S_OK;
}

HRESULT Q7730Server::putReferencePort(int port, VARIANT_BOOL on) {
  link_.run({referencePortHeader(port) + (on != 0 ? " ON" : " OFF")});
  return S_OK;
}

HRESULT Q7730Server::get_ReferencePort1(VARIANT_BOOL* out) {
  return getReferencePort(1, out);
}
HRESULT Q7730Server::put_ReferencePort1(VARIANT_BOOL on) {
  return putReferencePort(1, on);
}
HRESULT Q7730Server::get_ReferencePort2(VARIANT_BOOL* out) {
  return getReferencePort(2, out);
}
HRESULT Q7730Server::put_ReferencePort2(VARIANT_BOOL on) {
  return putReferencePort(2, on);
}
HRESULT Q7730Server::get_ReferencePort3(VARIANT_BOOL* out) {
  return getReferencePort(3, out);
}
HRESULT Q7730Server::put_ReferencePort3(VARIANT_BOOL on) {
  return putReferencePort(3, on);
}
HRESULT Q7730Server::get_ReferencePort4(VARIANT_BOOL* out) {
  return getReferencePort(4, out);
}
HRESULT Q7730Server::put_ReferencePort4(VARIANT_BOOL on) {
  return putReferencePort(4, on);
}

}  // namespace tevra::q7730
