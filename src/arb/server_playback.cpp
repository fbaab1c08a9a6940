// Playback through the measurement server: select, play, trigger, stop, CW tone and output changes.
#include <cmath>

#include "src/arb/direct_playback.h"
#include "src/arb/scpi_commands.h"
#include "src/core/frame.h"
#include "src/server/instrument.h"
#include "src/visa/direct_io.h"
#include "src/visa/visa_session.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

using log::StatEntry;

constexpr double kHzPerMHz = 1e6;

const core::FrameInfo kSelectSequenceFrame{.name = "ARB_Select_Sequence",
                                           .failureCode = -7063,
                                           .stat = StatEntry::kArbSelectSequence,
                                           .skipCode = -7006};
const core::FrameInfo kSelectSequenceExFrame{.name = "ARB_Select_SequenceEx",
                                             .failureCode = -6974,
                                             .stat = StatEntry::kArbSelectSequenceEx,
                                             .skipCode = -6967};
const core::FrameInfo kSelect11agFrame{.name = "ARB_Select_Sequence_11ag",
                                       .failureCode = -3830,
                                       .stat = StatEntry::kArbSelectSequence11ag,
                                       .skipCode = -3823};
const core::FrameInfo kSelect11bFrame{.name = "ARB_Select_Sequence_11b",
                                      .failureCode = -3888,
                                      .stat = StatEntry::kArbSelectSequence11b,
                                      .skipCode = -3882};
const core::FrameInfo kTriggerFrame{.name = "ARB_TriggerSequence",
                                    .failureCode = -3967,
                                    .stat = StatEntry::kArbTriggerSequence,
                                    .skipCode = -3937};
const core::FrameInfo kStopFrame{
    .name = "ARB_Stop", .failureCode = -4056, .stat = StatEntry::kArbStop, .skipCode = -3993};
const core::FrameInfo kPlaySegmentFrame{"ARB_Play_Segment", -7149};
const core::FrameInfo kPlaySegmentExFrame{"ARB_Play_SegmentEx", -7176};
const core::FrameInfo kPlay11agFrame{"ARB_Play_Segment_11ag", -3856};
const core::FrameInfo kPlay11bFrame{"ARB_Play_Segment_11b", -3914};
const core::FrameInfo kCwToneFrame{"ARB_CWTone", -4151};
const core::FrameInfo kAdjustOutputFrame{"ARB_AdjustOutput", -7871, StatEntry::kArbAdjustOutput};
const core::FrameInfo kFreeSpaceFrame{"ARB_FreeSegmentSpace", -4129};
const core::FrameInfo kSourceActiveFrame{"ARB_SourceActive", -5011};
const core::FrameInfo kPlayingTracedFrame{"ARB_SequencePlaying", -5033};
const core::FrameInfo kPlayingQuietFrame{"ARB_SequencePlaying", -5033, StatEntry::kNone, false};

double hz(double mhz) {
  return mhz * kHzPerMHz;
}

// The server takes the sample clock in Hz as a 32-bit integer; a clock that does not fit is refused
// rather than wrapped.
bool sampleClockHz(double mhz, int32_t* clockHz) {
  const double value = std::trunc(mhz * kHzPerMHz);
  if (!(value >= INT32_MIN && value <= INT32_MAX)) return false;
  *clockHz = static_cast<int32_t>(value);
  return true;
}

// Converts the sample clock and makes the server call with it; a clock that does not fit is refused.
template <class Call>
int32_t callWithClock(const core::FrameInfo& info, double clockMHz, int32_t position, Call&& call) {
  int32_t clockHz = 0;
  if (!sampleClockHz(clockMHz, &clockHz)) {
    return core::traceFailure(info.failureCode, "ERR %d,sample clock %g MHz out of range", info.failureCode,
                              clockMHz);
  }
  core::setPosition(position);
  call(clockHz);
  return 0;
}

// The frame of the select, trigger and stop family: lock, skip without a server, body, end. The skip test
// runs inside the lock, so that a Close on another thread cannot end the session between test and call.
template <class Body>
int32_t lockedCall(core::CallFrame& frame, Body&& body, bool (*runsWithoutServer)() = nullptr) {
  frame.lockPlayback();
  const bool mayRun = runsWithoutServer != nullptr && runsWithoutServer();
  if (!mayRun && frame.skipWithoutInstrument()) return frame.end(frame.info().skipCode);
  return frame.end(frame.guard(std::forward<Body>(body)));
}

int32_t selectSequence(const core::FrameInfo& info, int32_t position, const char* name, double power,
                       double mhz, double clockMHz) {
  return callWithClock(info, clockMHz, position, [&](int32_t clock) {
    server::instrument().AWG_SelectSequence(name, power, hz(mhz), clock);
  });
}

int32_t playSegment(const core::FrameInfo& info, int32_t position, const char* name, double power, double mhz,
                    double clockMHz) {
  return callWithClock(info, clockMHz, position, [&](int32_t clock) {
    server::instrument().AWG_PlaySegment(name, power, hz(mhz), clock);
  });
}

int32_t selectSequence11ag(const char* name, double power, double mhz) {
  core::setPosition(3826);
  return server::instrument().AWG_SelectSequence11ag(name, power, hz(mhz));
}

int32_t selectSequence11b(const char* name, double power, double mhz) {
  core::setPosition(3885);
  return server::instrument().AWG_SelectSequence11b(name, power, hz(mhz));
}

int32_t playSegment11ag(const char* name, double power, double mhz) {
  core::setPosition(3854);
  return server::instrument().AWG_PlaySegment11ag(name, power, hz(mhz));
}

int32_t playSegment11b(const char* name, double power, double mhz) {
  core::setPosition(3912);
  return server::instrument().AWG_PlaySegment11b(name, power, hz(mhz));
}

// After a direct selection the trigger goes over SCPI; the error check runs whether the write failed or not.
int32_t directTrigger() {
  const visa::DirectIo io({.position = 3944, .suspend = visa::Suspend::kAlways});
  int32_t result = io.suspendStatus();
  if (const int32_t failed = io.write(-3952, scpi::kSoftTrigger); failed != 0) result = failed;
  if (const int32_t failed = io.checkErrors(-3958); failed != 0) result = failed;
  return result;
}

int32_t triggerSequence() {
  if (directPlaybackActive()) return directTrigger();
  core::setPosition(3962);
  return server::instrument().AWG_TriggerSequence();
}

int32_t directStop() {
  const visa::DirectIo io({.position = 4001, .trace = visa::TraceSuspend::kWhenSuspended});
  if (const int32_t failed = io.write(-4010, scpi::kOutputOff); failed != 0) return failed;
  io.send({scpi::kModulationOff, scpi::kPlayerOff});
  const int32_t failed = io.checkErrors(-4019);
  setDirectPlayback(false);
  return failed != 0 ? failed : io.suspendStatus();
}

int32_t stop() {
  if (directPlaybackActive()) return directStop();
  core::setPosition(4051);
  return server::instrument().AWG_Stop();
}

// The direct stop also runs without a server, as long as the instrument session is open.
bool stopsWithoutServer() {
  return directPlaybackActive() && visa::instrumentSession() != 0;
}

int32_t cwTone(double power, double mhz) {
  core::setPosition(4149);
  server::instrument().AWG_CWTone(power, hz(mhz));
  return 0;
}

int32_t adjustOutput(double power, double mhz) {
  core::setPosition(7864);
  server::instrument().AWG_AdjustOutput(power, hz(mhz));
  return 0;
}

int32_t freeSegmentSpace() {
  core::setPosition(4126);
  return server::instrument().AWG_FreeSegmentSpace();
}

int32_t sourceActive() {
  core::setPosition(5009);
  return server::instrument().AWG_SourceActive() != 0 ? 1 : 0;
}

int32_t sequencePlaying() {
  core::setPosition(5031);
  return server::instrument().AWG_SequencePlaying() != 0 ? 1 : 0;
}

}  // namespace
}  // namespace tevra::arb

using namespace tevra;

extern "C" TEVRA_API int32_t Tevra_ARB_Select_Sequence(const char* name, double power, double frequencyMHz,
                                                       int32_t sampleClockMHz) {
  core::CallFrame frame(arb::kSelectSequenceFrame);
  frame.start("%s,%gdBm,%gMHz,%dMHz", core::orEmpty(name), power, frequencyMHz,
              static_cast<int>(sampleClockMHz));
  return arb::lockedCall(frame, [&] {
    return arb::selectSequence(arb::kSelectSequenceFrame, 7010, name, power, frequencyMHz, sampleClockMHz);
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_Select_SequenceEx(const char* name, double power, double frequencyMHz,
                                                         double sampleClockMHz) {
  core::CallFrame frame(arb::kSelectSequenceExFrame);
  frame.start("%s,%gdBm,%gMHz,%gMHz", core::orEmpty(name), power, frequencyMHz, sampleClockMHz);
  return arb::lockedCall(frame, [&] {
    return arb::selectSequence(arb::kSelectSequenceExFrame, 6971, name, power, frequencyMHz, sampleClockMHz);
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_Select_Sequence_11ag(const char* name, double power,
                                                            double frequencyMHz) {
  core::CallFrame frame(arb::kSelect11agFrame);
  frame.start("%s,%gdBm,%gMHz", core::orEmpty(name), power, frequencyMHz);
  return arb::lockedCall(frame, [&] { return arb::selectSequence11ag(name, power, frequencyMHz); });
}

extern "C" TEVRA_API int32_t Tevra_ARB_Select_Sequence_11b(const char* name, double power,
                                                           double frequencyMHz) {
  core::CallFrame frame(arb::kSelect11bFrame);
  frame.start("%s,%gdBm,%gMHz", core::orEmpty(name), power, frequencyMHz);
  return arb::lockedCall(frame, [&] { return arb::selectSequence11b(name, power, frequencyMHz); });
}

extern "C" TEVRA_API int32_t Tevra_ARB_Play_Segment(const char* name, double power, double frequencyMHz,
                                                    int32_t sampleClockMHz) {
  core::CallFrame frame(arb::kPlaySegmentFrame);
  frame.start("%s,%gdBm,%gMHz,%dMHz", core::orEmpty(name), power, frequencyMHz,
              static_cast<int>(sampleClockMHz));
  return frame.end(frame.guard([&] {
    return arb::playSegment(arb::kPlaySegmentFrame, 7093, name, power, frequencyMHz, sampleClockMHz);
  }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_Play_SegmentEx(const char* name, double power, double frequencyMHz,
                                                      double sampleClockMHz) {
  core::CallFrame frame(arb::kPlaySegmentExFrame);
  frame.start("%s,%gdBm,%gMHz,%gMHz", core::orEmpty(name), power, frequencyMHz, sampleClockMHz);
  return frame.end(frame.guard([&] {
    return arb::playSegment(arb::kPlaySegmentExFrame, 7174, name, power, frequencyMHz, sampleClockMHz);
  }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_Play_Segment_11ag(const char* name, double power,
                                                         double frequencyMHz) {
  core::CallFrame frame(arb::kPlay11agFrame);
  frame.start("%s,%gdBm,%gMHz", core::orEmpty(name), power, frequencyMHz);
  return frame.end(frame.guard([&] { return arb::playSegment11ag(name, power, frequencyMHz); }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_Play_Segment_11b(const char* name, double power, double frequencyMHz) {
  core::CallFrame frame(arb::kPlay11bFrame);
  frame.start("%s,%gdBm,%gMHz", core::orEmpty(name), power, frequencyMHz);
  return frame.end(frame.guard([&] { return arb::playSegment11b(name, power, frequencyMHz); }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_TriggerSequence(void) {
  core::CallFrame frame(arb::kTriggerFrame);
  frame.start();
  return arb::lockedCall(frame, [] { return arb::triggerSequence(); });
}

extern "C" TEVRA_API int32_t Tevra_ARB_Stop(int32_t value) {
  core::CallFrame frame(arb::kStopFrame);
  frame.start("%d", static_cast<int>(value));
  return arb::lockedCall(
      frame, [] { return arb::stop(); }, arb::stopsWithoutServer);
}

extern "C" TEVRA_API int32_t Tevra_ARB_CWTone(double power, double frequencyMHz) {
  core::CallFrame frame(arb::kCwToneFrame);
  frame.start("%gdBm,%gMHz", power, frequencyMHz);
  return frame.end(frame.guard([&] { return arb::cwTone(power, frequencyMHz); }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_AdjustOutput(double power, double frequencyMHz) {
  core::CallFrame frame(arb::kAdjustOutputFrame);
  frame.start("%g dBm,%g MHz", power, frequencyMHz);
  return frame.end(frame.guard([&] { return arb::adjustOutput(power, frequencyMHz); }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_FreeSegmentSpace(void) {
  return core::framed(arb::kFreeSpaceFrame, [] { return arb::freeSegmentSpace(); });
}

extern "C" TEVRA_API int32_t Tevra_ARB_SourceActive(void) {
  return core::framed(arb::kSourceActiveFrame, [] { return arb::sourceActive(); });
}

extern "C" TEVRA_API int32_t Tevra_ARB_SequencePlaying(int32_t traceFlag) {
  return core::framedPoll(arb::kPlayingTracedFrame, arb::kPlayingQuietFrame, traceFlag != 0,
                          [] { return arb::sequencePlaying(); });
}
