// The instrument's four TTL output lines, driven over the VISA session.
#include <cstdio>

#include "platform/kernel/kernel.h"
#include "src/core/frame.h"
#include "src/visa/direct_io.h"
#include "src/visa/scpi_commands.h"
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
const core::FrameInfo kSwitchChannelFrame{"TTL_SwitchChannel", 0, log::StatEntry::kNone, false};

// Sets all four lines, so that a mask is a complete state; a line that cannot be set fails the call.
int32_t ttlOutput(int32_t mask) {
  const DirectIo io({.position = 7423, .suspend = Suspend::kAlways});
  for (const auto& line : kTtlLines) {
    char command[48];
    std::snprintf(command, sizeof command, scpi::kTtlLineFormat, line.line,
                  (mask & line.bit) != 0 ? "HIGH" : "LOW");
    if (const int32_t failed = io.write(kTtlOutputFrame.failureCode, command); failed != 0) return failed;
  }
  return io.suspendStatus();
}

// A pulse of at least 10 ms on one line: the middle call's result, unless a call that ends the pulse failed.
int32_t switchChannel(int32_t channel) {
  const int32_t before = Tevra_TTL_Output(0);
  const int32_t pulse = Tevra_TTL_Output(static_cast<int32_t>(1u << (static_cast<uint32_t>(channel) % 32u)));
  platform::Sleep(kPulseMilliseconds);
  const int32_t after = Tevra_TTL_Output(0);
  for (const int32_t result : {before, pulse, after}) {
    if (result < 0) return result;
  }
  return pulse;
}

}  // namespace
}  // namespace tevra::visa

using namespace tevra;

extern "C" TEVRA_API int32_t Tevra_TTL_Output(int32_t mask) {
  core::CallFrame frame(visa::kTtlOutputFrame);
  frame.start("0x%02X", static_cast<unsigned>(mask));
  return frame.end(frame.guard([&] { return visa::ttlOutput(mask); }));
}

// Only the three TTL_Output calls trace failures: this function has no handler of its own.
extern "C" TEVRA_API int32_t Tevra_TTL_SwitchChannel(int32_t channel) {
  core::CallFrame frame(visa::kSwitchChannelFrame);
  frame.start("%d", static_cast<int>(channel));
  return frame.end(visa::switchChannel(channel));
}
