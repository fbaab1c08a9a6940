// The instrument's four TTL output lines, driven over the VISA session.
#include <cstdio>

#include "platform/kernel/kernel.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "src/visa/visa_session.h"
#include "tevra.h"

namespace tevra::visa {
namespace {

struct TtlLine {
  int32_t bit;
  int line;
};
constexpr TtlLine kTtlLines[] = {{0x1, 17}, {0x2, 18}, {0x4, 19}, {0x8, 24}};
constexpr uint32_t kPulseMilliseconds = 10;

const core::FrameInfo kTtlOutputFrame{"TTL_Output", -7435, log::StatEntry::kNone, false};

void writeTtlLines(int32_t mask) {
  for (const auto& line : kTtlLines) {
    char command[48];
    std::snprintf(command, sizeof command, "DIAG:HW:MB:MUX:TFW %d,%s", line.line,
                  (mask & line.bit) != 0 ? "HIGH" : "LOW");
    scpiWrite(command);
  }
}

}  // namespace
}  // namespace tevra::visa

using namespace tevra;

extern "C" TEVRA_API int32_t Tevra_TTL_Output(int32_t mask) {
  core::CallFrame frame(visa::kTtlOutputFrame);
  frame.start("> Start TTL_Output(0x%02X)", static_cast<unsigned>(mask));
  return frame.end(frame.guard([&] {
    core::setPosition(7423);
    const platform::HRESULT suspended = server::instrument().Suspend();
    log::traceLog().LogText(-1, "OK, suspended");
    visa::clearInstrument();
    visa::writeTtlLines(mask);
    return suspended;
  }));
}

extern "C" TEVRA_API int32_t Tevra_TTL_SwitchChannel(int32_t channel) {
  core::setComLastError(0);
  log::traceLog().LogIt("> Start TTL_SwitchChannel(%d)", static_cast<int>(channel));
  Tevra_TTL_Output(0);
  const int32_t result = Tevra_TTL_Output(static_cast<int32_t>(1u << (static_cast<uint32_t>(channel) % 32u)));
  platform::Sleep(visa::kPulseMilliseconds);
  Tevra_TTL_Output(0);
  log::traceLog().LogIt("> End of TTL_SwitchChannel(), RetCode = %d", static_cast<int>(result));
  return result;
}
