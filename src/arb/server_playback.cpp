// Playback through the measurement server: select, play, trigger, stop, CW tone and output changes.
#include <cmath>

#include "src/arb/direct_playback.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "src/visa/visa_session.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

using log::StatEntry;

constexpr double kHzPerMHz = 1e6;

const core::FrameInfo kSelectSequenceFrame{"ARB_Select_Sequence", -7063, StatEntry::kArbSelectSequence};
const core::FrameInfo kSelectSequenceExFrame{"ARB_Select_SequenceEx", -6974, StatEntry::kArbSelectSequenceEx};
const core::FrameInfo kSelect11agFrame{"ARB_Select_Sequence_11ag", -3830, StatEntry::kArbSelectSequence11ag};
const core::FrameInfo kSelect11bFrame{"ARB_Select_Sequence_11b", -3888, StatEntry::kArbSelectSequence11b};
const core::FrameInfo kPlaySegmentFrame{"ARB_Play_Segment", -7149};
const core::FrameInfo kPlaySegmentExFrame{"ARB_Play_SegmentEx", -7176};
const core::FrameInfo kPlay11agFrame{"ARB_Play_Segment_11ag", -3856};
const core::FrameInfo kPlay11bFrame{"ARB_Play_Segment_11b", -3914};
const core::FrameInfo kTriggerFrame{"ARB_TriggerSequence", -3967, StatEntry::kArbTriggerSequence};
const core::FrameInfo kStopFrame{"ARB_Stop", -4056, StatEntry::kArbStop};
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

// The frame of the select, trigger and stop family: lock, skip without a server, body, end.
template <class Body>
int32_t lockedCall(core::CallFrame& frame, int32_t skipCode, Body&& body, bool mayRunWithoutServer = false) {
  frame.lockPlayback();
  if (!mayRunWithoutServer && frame.skipWithoutInstrument(skipCode)) return frame.end(skipCode);
  return frame.end(frame.guard(std::forward<Body>(body)));
}

void traceSuspended() {
  log::traceLog().LogText(-1, "OK, suspended");
}

int32_t directTrigger() {
  core::setPosition(3944);
  int32_t result = server::instrument().Suspend();
  traceSuspended();
  visa::clearInstrument();
  if (const int32_t failed = visa::writeChecked(-3952, ":SOURce:RADio:ARB:TRIGger:SOFT"); failed != 0) {
    result = failed;
  }
  if (const int32_t failed = visa::checkInstrumentError(-3958); failed != 0) result = failed;
  return result;
}

int32_t directStop() {
  int32_t result = 0;
  if (server::instrument().held()) {
    core::setPosition(4001);
    result = server::instrument().Suspend();
    traceSuspended();
  }
  visa::clearInstrument();
  if (const int32_t failed = visa::writeChecked(-4010, ":OUTput OFF"); failed != 0) return failed;
  visa::scpiWrite(":OUTput:MODulation:STATe OFF");
  visa::scpiWrite(":SOURce:RADio:ARB:STATe OFF");
  if (const int32_t failed = visa::checkInstrumentError(-4019); failed != 0) result = failed;
  setDirectPlayback(false);
  return result;
}

int32_t sequencePlaying(bool traced) {
  return core::framedPoll(kPlayingTracedFrame, kPlayingQuietFrame, traced, [] {
    core::setPosition(5031);
    return server::instrument().AWG_SequencePlaying() != 0 ? 1 : 0;
  });
}

}  // namespace
}  // namespace tevra::arb

using namespace tevra;
using arb::hz;

extern "C" TEVRA_API int32_t Tevra_ARB_Select_Sequence(const char* name, double power, double frequencyMHz,
                                                       int32_t sampleClockMHz) {
  core::CallFrame frame(arb::kSelectSequenceFrame);
  frame.start("> Start ARB_Select_Sequence(%s,%gdBm,%gMHz,%dMHz)", core::orEmpty(name), power, frequencyMHz,
              static_cast<int>(sampleClockMHz));
  return arb::lockedCall(frame, -7006, [&] {
    return arb::callWithClock(arb::kSelectSequenceFrame, sampleClockMHz, 7010, [&](int32_t clock) {
      server::instrument().AWG_SelectSequence(name, power, hz(frequencyMHz), clock);
    });
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_Select_SequenceEx(const char* name, double power, double frequencyMHz,
                                                         double sampleClockMHz) {
  core::CallFrame frame(arb::kSelectSequenceExFrame);
  frame.start("> Start ARB_Select_SequenceEx(%s,%gdBm,%gMHz,%gMHz)", core::orEmpty(name), power, frequencyMHz,
              sampleClockMHz);
  return arb::lockedCall(frame, -6967, [&] {
    return arb::callWithClock(arb::kSelectSequenceExFrame, sampleClockMHz, 6971, [&](int32_t clock) {
      server::instrument().AWG_SelectSequence(name, power, hz(frequencyMHz), clock);
    });
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_Select_Sequence_11ag(const char* name, double power,
                                                            double frequencyMHz) {
  core::CallFrame frame(arb::kSelect11agFrame);
  frame.start("> Start ARB_Select_Sequence_11ag(%s,%gdBm,%gMHz)", core::orEmpty(name), power, frequencyMHz);
  return arb::lockedCall(frame, -3823, [&] {
    core::setPosition(3826);
    return server::instrument().AWG_SelectSequence11ag(name, power, hz(frequencyMHz));
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_Select_Sequence_11b(const char* name, double power,
                                                           double frequencyMHz) {
  core::CallFrame frame(arb::kSelect11bFrame);
  frame.start("> Start ARB_Select_Sequence_11b(%s,%gdBm,%gMHz)", core::orEmpty(name), power, frequencyMHz);
  return arb::lockedCall(frame, -3882, [&] {
    core::setPosition(3885);
    return server::instrument().AWG_SelectSequence11b(name, power, hz(frequencyMHz));
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_Play_Segment(const char* name, double power, double frequencyMHz,
                                                    int32_t sampleClockMHz) {
  core::CallFrame frame(arb::kPlaySegmentFrame);
  frame.start("> Start ARB_Play_Segment(%s,%gdBm,%gMHz,%dMHz)", core::orEmpty(name), power, frequencyMHz,
              static_cast<int>(sampleClockMHz));
  return frame.end(frame.guard([&] {
    return arb::callWithClock(arb::kPlaySegmentFrame, sampleClockMHz, 7093, [&](int32_t clock) {
      server::instrument().AWG_PlaySegment(name, power, hz(frequencyMHz), clock);
    });
  }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_Play_SegmentEx(const char* name, double power, double frequencyMHz,
                                                      double sampleClockMHz) {
  core::CallFrame frame(arb::kPlaySegmentExFrame);
  frame.start("> Start ARB_Play_SegmentEx(%s,%gdBm,%gMHz,%gMHz)", core::orEmpty(name), power, frequencyMHz,
              sampleClockMHz);
  return frame.end(frame.guard([&] {
    return arb::callWithClock(arb::kPlaySegmentExFrame, sampleClockMHz, 7174, [&](int32_t clock) {
      server::instrument().AWG_PlaySegment(name, power, hz(frequencyMHz), clock);
    });
  }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_Play_Segment_11ag(const char* name, double power,
                                                         double frequencyMHz) {
  core::CallFrame frame(arb::kPlay11agFrame);
  frame.start("> Start ARB_Play_Segment_11ag(%s,%gdBm,%gMHz)", core::orEmpty(name), power, frequencyMHz);
  return frame.end(frame.guard([&] {
    core::setPosition(3854);
    return server::instrument().AWG_PlaySegment11ag(name, power, hz(frequencyMHz));
  }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_Play_Segment_11b(const char* name, double power, double frequencyMHz) {
  core::CallFrame frame(arb::kPlay11bFrame);
  frame.start("> Start ARB_Play_Segment_11b(%s,%gdBm,%gMHz)", core::orEmpty(name), power, frequencyMHz);
  return frame.end(frame.guard([&] {
    core::setPosition(3912);
    return server::instrument().AWG_PlaySegment11b(name, power, hz(frequencyMHz));
  }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_TriggerSequence(void) {
  core::CallFrame frame(arb::kTriggerFrame);
  frame.start("> Start ARB_TriggerSequence()");
  return arb::lockedCall(frame, -3937, [] {
    if (arb::directPlaybackActive()) return arb::directTrigger();
    core::setPosition(3962);
    return server::instrument().AWG_TriggerSequence();
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_Stop(int32_t value) {
  core::CallFrame frame(arb::kStopFrame);
  frame.start("> Start ARB_Stop(%d)", static_cast<int>(value));
  // The direct path also runs without a server, as long as the instrument session is open.
  const bool direct = arb::directPlaybackActive() && visa::instrumentSession() != 0;
  return arb::lockedCall(
      frame, -3993,
      [] {
        if (arb::directPlaybackActive()) return arb::directStop();
        core::setPosition(4051);
        return server::instrument().AWG_Stop();
      },
      direct);
}

extern "C" TEVRA_API int32_t Tevra_ARB_CWTone(double power, double frequencyMHz) {
  core::CallFrame frame(arb::kCwToneFrame);
  frame.start("> Start ARB_CWTone(%gdBm,%gMHz)", power, frequencyMHz);
  return frame.end(frame.guard([&] {
    core::setPosition(4149);
    server::instrument().AWG_CWTone(power, hz(frequencyMHz));
    return 0;
  }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_AdjustOutput(double power, double frequencyMHz) {
  core::CallFrame frame(arb::kAdjustOutputFrame);
  frame.start("> Start ARB_AdjustOutput(%g dBm,%g MHz)", power, frequencyMHz);
  return frame.end(frame.guard([&] {
    core::setPosition(7864);
    server::instrument().AWG_AdjustOutput(power, hz(frequencyMHz));
    return 0;
  }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_FreeSegmentSpace(void) {
  return core::framed(arb::kFreeSpaceFrame, [] {
    core::setPosition(4126);
    return server::instrument().AWG_FreeSegmentSpace();
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_SourceActive(void) {
  return core::framed(arb::kSourceActiveFrame, [] {
    core::setPosition(5009);
    return server::instrument().AWG_SourceActive() != 0 ? 1 : 0;
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_SequencePlaying(int32_t traceFlag) {
  return arb::sequencePlaying(traceFlag != 0);
}
