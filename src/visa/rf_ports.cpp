// The instrument's RF port routing, held by the measurement server.
#include "src/core/frame.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::visa {
namespace {

constexpr int32_t kMaxPort = 4;
const core::FrameInfo kSetPrimaryFrame{"SetPrimaryRFPort", -8656};
const core::FrameInfo kGetPrimaryFrame{"GetPrimaryRFPort", -8746};
const core::FrameInfo kSetReferenceFrame{"SetReferencePorts", -8680};
const core::FrameInfo kGetReferenceFrame{"GetReferencePorts", -8705};

platform::VARIANT_BOOL flagOf(int32_t mask, int bit) {
  return static_cast<platform::VARIANT_BOOL>((mask >> bit) & 1);
}

int32_t setPrimaryPort(int32_t port) {
  if (static_cast<uint32_t>(port) > kMaxPort) return 0;
  core::setPosition(8651);
  server::instrument().put_PrimaryRFPort(port);
  return 1;
}

int32_t getPrimaryPort(int32_t* port) {
  if (port == nullptr) {
    return core::traceFailure(kGetPrimaryFrame.failureCode, "ERR %d,no Port variable",
                              kGetPrimaryFrame.failureCode);
  }
  core::setPosition(8731);
  const int32_t value = server::instrument().get_PrimaryRFPort();
  if (value < 0 || value > kMaxPort) return 0;
  *port = value;
  return 1;
}

int32_t setReferencePorts(int32_t mask) {
  server::Instrument& instr = server::instrument();
  instr.put_ReferencePort1(flagOf(mask, 0));
  instr.put_ReferencePort2(flagOf(mask, 1));
  instr.put_ReferencePort3(flagOf(mask, 2));
  instr.put_ReferencePort4(flagOf(mask, 3));
  return 1;
}

int32_t getReferencePorts() {
  server::Instrument& instr = server::instrument();
  int32_t mask = 0;
  if (instr.get_ReferencePort1() != 0) mask |= 1;
  if (instr.get_ReferencePort2() != 0) mask |= 2;
  if (instr.get_ReferencePort3() != 0) mask |= 4;
  if (instr.get_ReferencePort4() != 0) mask |= 8;
  return mask;
}

}  // namespace
}  // namespace tevra::visa

using namespace tevra;

extern "C" TEVRA_API int32_t Tevra_SetPrimaryRFPort(int32_t port) {
  core::CallFrame frame(visa::kSetPrimaryFrame);
  frame.start("%d", static_cast<int>(port));
  return frame.end(frame.guard([&] { return visa::setPrimaryPort(port); }));
}

extern "C" TEVRA_API int32_t Tevra_GetPrimaryRFPort(int32_t* port) {
  core::CallFrame frame(visa::kGetPrimaryFrame);
  // The caller's variable is traced as it stands; its address would say nothing.
  frame.start("%d", port == nullptr ? 0 : static_cast<int>(*port));
  const int32_t result = frame.guard([&] { return visa::getPrimaryPort(port); });
  return frame.endWithArguments(result, "%d", port == nullptr ? 0 : static_cast<int>(*port));
}

extern "C" TEVRA_API int32_t Tevra_SetReferencePorts(int32_t mask) {
  core::CallFrame frame(visa::kSetReferenceFrame);
  frame.start("0x%04X", static_cast<unsigned>(mask));
  return frame.end(frame.guard([&] { return visa::setReferencePorts(mask); }));
}

extern "C" TEVRA_API int32_t Tevra_GetReferencePorts(void) {
  return core::framed(visa::kGetReferenceFrame, [] { return visa::getReferencePorts(); });
}
