#include "src/arb/direct_playback.h"

#include <atomic>
#include <string>

#include "src/arb/scpi_commands.h"
#include "src/core/frame.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "src/visa/direct_io.h"
#include "src/visa/scpi_reply.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

std::atomic<bool> g_directPlayback{false};

const core::FrameInfo kSelectFrame{"ARBEx_Select_Sequence", -7683};
const core::FrameInfo kReSelectFrame{"ARBEx_ReSelect", -7586};
const core::FrameInfo kCwToneFrame{"ARBEx_CWTone", -7524};
const core::FrameInfo kTriggerFrame{"ARBEx_TriggerSequence", -7747};
const core::FrameInfo kStopFrame{"ARBEx_Stop", -7799};
// A server error of Suspend must not leave SequencePlaying, which has no failure code of its own.
constexpr int32_t kPlayingFailure = -7839;
const core::FrameInfo kPlayingTracedFrame{"ARBEx_SequencePlaying", kPlayingFailure};
const core::FrameInfo kPlayingQuietFrame{"ARBEx_SequencePlaying", kPlayingFailure, log::StatEntry::kNone,
                                         false};

constexpr size_t kPlayingReplySize = 101;

// The output frequency is an offset from the analyzer's frequency: the server's, else the held one.
double outputFrequencyMHz(int32_t position, double offsetMHz) {
  core::setPosition(position);
  server::Instrument& instr = server::instrument();
  const double base = instr.held() ? instr.get_Frequency() * 1e-6 : core::settings().held.centerFrequencyMHz;
  return base + offsetMHz;
}

std::string printableName(const char* name) {
  std::string text = core::orEmpty(name);
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  return text;
}

int32_t selectSequence(const char* name, double power, double offset, int clock) {
  if (!visa::isSafeScpiName(name)) {
    return core::traceFailure(kSelectFrame.failureCode, "ERR %d,sequence name '%s' refused",
                              kSelectFrame.failureCode, printableName(name).c_str());
  }
  const double frequency = outputFrequencyMHz(7634, offset);
  const visa::DirectIo io({.position = 7637});
  if (const int32_t failed = io.write(-7645, scpi::kOutputOff); failed != 0) return failed;
  io.send({scpi::kModulationOff, scpi::kPlayerOff, powerCommand(power), frequencyCommand(frequency),
           sampleClockCommand(clock), scpi::kSingleRun, scpi::kPlayerOn, scpi::kBusTrigger,
           sampleClockCommand(clock), sequenceWaveformCommand(name), scpi::kSingleRun});
  if (const int32_t failed = io.checkErrors(-7674); failed != 0) return failed;
  io.send({scpi::kModulationOn});
  setDirectPlayback(true);
  return io.suspendStatus();
}

int32_t reSelect(double power, double offset) {
  const double frequency = outputFrequencyMHz(7549, offset);
  const visa::DirectIo io({.position = 7552});
  if (const int32_t failed = io.write(-7560, scpi::kOutputOff); failed != 0) return failed;
  io.send({scpi::kModulationOff, scpi::kPlayerOff, powerCommand(power), frequencyCommand(frequency),
           scpi::kPlayerOn});
  if (const int32_t failed = io.checkErrors(-7577); failed != 0) return failed;
  io.send({scpi::kModulationOn});
  setDirectPlayback(true);
  return io.suspendStatus();
}

int32_t cwTone(double power, double offset) {
  const double frequency = outputFrequencyMHz(7478, offset);
  const visa::DirectIo io({.position = 7480, .trace = visa::TraceSuspend::kNever});
  if (const int32_t failed = io.write(-7487, scpi::kClearStatus); failed != 0) return failed;
  if (const int32_t failed = io.checkErrors(-7494); failed != 0) return failed;
  io.send({scpi::kOutputOff, scpi::kModulationOff, scpi::kPlayerOff});
  if (const int32_t failed = io.checkErrors(-7506); failed != 0) return failed;
  io.send({powerCommand(power), frequencyCommand(frequency), scpi::kOutputOn});
  if (const int32_t failed = io.checkErrors(-7519); failed != 0) return failed;
  return io.suspendStatus();
}

int32_t triggerSequence() {
  const visa::DirectIo io({.position = 7728});
  io.send({scpi::kOutputOn});
  const int32_t writeFailed = io.write(-7738, scpi::kSoftTrigger);
  if (const int32_t failed = io.checkErrors(-7744); failed != 0) return failed;
  return writeFailed != 0 ? writeFailed : io.suspendStatus();
}

// Once the output is off the waveform no longer plays directly, even when the error check then fails.
int32_t stop() {
  const visa::DirectIo io({.position = 7774});
  if (const int32_t failed = io.write(-7782, scpi::kOutputOff); failed != 0) return failed;
  io.send({scpi::kLowestPower, scpi::kModulationOff, scpi::kPlayerOff});
  const int32_t failed = io.checkErrors(-7793);
  setDirectPlayback(false);
  return failed != 0 ? failed : 1;
}

int32_t sequencePlaying(bool traced) {
  const visa::DirectIo io({.position = 7820,
                           .trace = traced ? visa::TraceSuspend::kAlways : visa::TraceSuspend::kNever,
                           .clear = false});
  if (const int32_t failed = io.write(-7828, scpi::kOperationCondition); failed != 0) return failed;
  char reply[kPlayingReplySize];
  if (const int32_t failed = io.read(-7835, reply, sizeof reply); failed != 0) return failed;
  return visa::leadingInteger(reply, std::char_traits<char>::length(reply)) > 0 ? 1 : 0;
}

}  // namespace

bool directPlaybackActive() {
  return g_directPlayback.load();
}
void setDirectPlayback(bool active) {
  g_directPlayback.store(active);
}

}  // namespace tevra::arb

using namespace tevra;

extern "C" TEVRA_API int32_t Tevra_ARBEx_Select_Sequence(const char* name, double power, double offset,
                                                         int32_t sampleClock) {
  core::CallFrame frame(arb::kSelectFrame);
  frame.start("%s,%gdBm,%gMHz,%dMHz", core::orEmpty(name), power, offset, static_cast<int>(sampleClock));
  return frame.end(frame.guard([&] { return arb::selectSequence(name, power, offset, sampleClock); }));
}

namespace {

// The band wrappers trace their own start and end around the selection and nothing else.
const core::FrameInfo kSelect11agFrame{"ARBEx_Select_Sequence_11ag", 0, log::StatEntry::kNone, false, false};
const core::FrameInfo kSelect11bFrame{"ARBEx_Select_Sequence_11b", 0, log::StatEntry::kNone, false, false};

int32_t selectWithClock(const core::FrameInfo& wrapper, const char* name, double power, double offset,
                        int32_t clock) {
  core::CallFrame frame(wrapper);
  frame.start();
  return frame.end(Tevra_ARBEx_Select_Sequence(name, power, offset, clock));
}

}  // namespace

extern "C" TEVRA_API int32_t Tevra_ARBEx_Select_Sequence_11ag(const char* name, double power, double offset) {
  return selectWithClock(kSelect11agFrame, name, power, offset, 40);
}

extern "C" TEVRA_API int32_t Tevra_ARBEx_Select_Sequence_11b(const char* name, double power, double offset) {
  return selectWithClock(kSelect11bFrame, name, power, offset, 44);
}

extern "C" TEVRA_API int32_t Tevra_ARBEx_ReSelect(double power, double offset) {
  core::CallFrame frame(arb::kReSelectFrame);
  frame.start("%gdBm,%gMHz", power, offset);
  return frame.end(frame.guard([&] { return arb::reSelect(power, offset); }));
}

extern "C" TEVRA_API int32_t Tevra_ARBEx_CWTone(double power, double offset) {
  core::CallFrame frame(arb::kCwToneFrame);
  frame.start("%g dBm,%g MHz", power, offset);
  return frame.end(frame.guard([&] { return arb::cwTone(power, offset); }));
}

extern "C" TEVRA_API int32_t Tevra_ARBEx_TriggerSequence(void) {
  return core::framed(arb::kTriggerFrame, [] { return arb::triggerSequence(); });
}

extern "C" TEVRA_API int32_t Tevra_ARBEx_Stop(int32_t /*unused*/) {
  return core::framed(arb::kStopFrame, [] { return arb::stop(); });
}

extern "C" TEVRA_API int32_t Tevra_ARBEx_SequencePlaying(int32_t traceFlag) {
  const bool traced = traceFlag != 0;
  return core::framedPoll(arb::kPlayingTracedFrame, arb::kPlayingQuietFrame, traced,
                          [&] { return arb::sequencePlaying(traced); });
}
