// The server's auto-ranging: it looks at the incoming 802.11a/g or 802.11b signal and finds the power range,
// trigger level, OFDM symbols and packet length; the driver applies them to the analyzer or hands them to
// the caller. Trigger levels cross the driver's interface in mV and the server's in V.
#include <cstdint>

#include "platform/kernel/kernel.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::spectrum {
namespace {

using core::FrameInfo;
using server::ServerOp;

constexpr uint32_t kAutoRangePollMs = 50;
constexpr int32_t kWaitOption = 0x01;
constexpr int32_t kApplyOption = 0x02;

struct Findings {
  double powerRange = 0.0;
  double triggerLevelMV = 0.0;
  int32_t maxSymbolsUsed = 0;
  double maxPacketLengthS = 0.0;
};

// Position numbers of the four reads and the four puts; the symbols' are unused for 802.11b.
struct FindingPositions {
  int32_t read[4];
  int32_t apply[4];
};

struct Mode11ag {
  static constexpr ServerOp kInitiate = ServerOp::AutoRange11ag_Initiate;
  static constexpr ServerOp kPowerRange = ServerOp::get_AutoRangePowerRange11ag;
  static constexpr ServerOp kTriggerLevel = ServerOp::get_AutoRangeTriggerLevel11ag;
  static constexpr ServerOp kPacketLength = ServerOp::get_AutoRangeMaxPacketLength11ag;
  static constexpr bool kHasSymbols = true;
};
struct Mode11b {
  static constexpr ServerOp kInitiate = ServerOp::AutoRange11b_Initiate;
  static constexpr ServerOp kPowerRange = ServerOp::get_AutoRangePowerRange11b;
  static constexpr ServerOp kTriggerLevel = ServerOp::get_AutoRangeTriggerLevel11b;
  static constexpr ServerOp kPacketLength = ServerOp::get_AutoRangeMaxPacketLength11b;
  static constexpr bool kHasSymbols = false;
};

bool autoRangeBusy(int32_t position) {
  return server::at(position).get_AutoRangeBusy() != 0;
}

void waitWhileBusy(int32_t position) {
  while (autoRangeBusy(position)) platform::Sleep(kAutoRangePollMs);
}

template <class Mode>
Findings readFindings(const FindingPositions& at) {
  Findings found;
  found.powerRange = server::at(at.read[0]).call<Mode::kPowerRange>();
  found.triggerLevelMV = server::at(at.read[1]).call<Mode::kTriggerLevel>() * 1000.0;
  if constexpr (Mode::kHasSymbols)
    found.maxSymbolsUsed = server::at(at.read[2]).get_AutoRangeMaxSymbolsUsed11ag();
  found.maxPacketLengthS = server::at(at.read[3]).call<Mode::kPacketLength>();
  return found;
}

template <class Mode>
void applyFindings(const FindingPositions& at, const Findings& found) {
  server::at(at.apply[0]).put_PowerRange(found.powerRange);
  server::at(at.apply[1]).put_TriggerLevel(found.triggerLevelMV * 0.001);
  if constexpr (Mode::kHasSymbols) server::at(at.apply[2]).put_MaxSymbolsUsed(found.maxSymbolsUsed);
  server::at(at.apply[3]).put_MaxPacketLength(found.maxPacketLengthS);
}

template <class Mode>
void traceFindings(const Findings& found) {
  if constexpr (Mode::kHasSymbols) {
    log::traceLog().LogIt("PowerRange %g dBm, TriggerLevel %g mV, MaxSymbolsUsed %d, MaxPacketLength %g sec",
                          found.powerRange, found.triggerLevelMV, found.maxSymbolsUsed,
                          found.maxPacketLengthS);
  } else {
    log::traceLog().LogIt("PowerRange %g dBm, TriggerLevel %g mV, MaxPacketLength %g sec", found.powerRange,
                          found.triggerLevelMV, found.maxPacketLengthS);
  }
}

// A blocking run that applies what it found; the result is the HRESULT of the start.
template <class Mode>
int32_t runAndApply(int32_t startPosition, int32_t busyPosition, const FindingPositions& at) {
  const platform::HRESULT started = server::at(startPosition).call<Mode::kInitiate>();
  waitWhileBusy(busyPosition);
  const Findings found = readFindings<Mode>(at);
  applyFindings<Mode>(at, found);
  traceFindings<Mode>(found);
  return started;
}

struct Outputs {
  double* powerRange;
  double* triggerLevelMV;
  int32_t* maxSymbolsUsed;
  double* maxPacketLengthS;
};

// A run with option bits: wait (0x01) or look once, apply (0x02) or not; 1 with results, 0 still running.
template <class Mode>
int32_t runWithOptions(int32_t options, int32_t startPosition, int32_t firstPoll, int32_t waitPoll,
                       const FindingPositions& at, const Outputs& out) {
  server::at(startPosition).call<Mode::kInitiate>();
  const bool busy = autoRangeBusy(firstPoll);
  if (busy && (options & kWaitOption) == 0) return 0;
  if (busy) {
    platform::Sleep(kAutoRangePollMs);
    waitWhileBusy(waitPoll);
  }
  const Findings found = readFindings<Mode>(at);
  if ((options & kApplyOption) != 0) applyFindings<Mode>(at, found);
  if (out.powerRange != nullptr) *out.powerRange = found.powerRange;
  if (out.triggerLevelMV != nullptr) *out.triggerLevelMV = found.triggerLevelMV;
  if (out.maxSymbolsUsed != nullptr) *out.maxSymbolsUsed = found.maxSymbolsUsed;
  if (out.maxPacketLengthS != nullptr) *out.maxPacketLengthS = found.maxPacketLengthS;
  traceFindings<Mode>(found);
  return 1;
}

const FrameInfo kRun11agFrame{"AutoRange_Run_11ag", -5227};
const FrameInfo kRun11bFrame{"AutoRange_Run_11b", -5262};
const FrameInfo kRunEx11agFrame{"AutoRangeEx_Run_11ag", -5315};
const FrameInfo kRunEx11bFrame{"AutoRangeEx_Run_11b", -5363};
const FrameInfo kRunningFrame{"AutoRange_Running", -5386};
const FrameInfo kRunningQuietFrame{"AutoRange_Running", -5386, log::StatEntry::kNone, false};
const FrameInfo kWta11agFrame{"WTA_AutoRange_11ag", -5910};
const FrameInfo kWta11bFrame{"WTA_AutoRange_11b", -5947};

int32_t refuseWta(const FrameInfo& info, int32_t code) {
  return core::framed(
      info, [&] { return core::traceFailure(code, "ERR %d,Not support for Varno 1.5 or later", code); });
}

}  // namespace
}  // namespace tevra::spectrum

using namespace tevra;

extern "C" int32_t Tevra_AutoRange_Run_11ag(void) {
  return core::framed(spectrum::kRun11agFrame, [] {
    return spectrum::runAndApply<spectrum::Mode11ag>(5210, 5212,
                                                     {{5214, 5215, 5216, 5217}, {5219, 5220, 5221, 5222}});
  });
}

extern "C" int32_t Tevra_AutoRange_Run_11b(void) {
  return core::framed(spectrum::kRun11bFrame, [] {
    return spectrum::runAndApply<spectrum::Mode11b>(5247, 5249,
                                                    {{5251, 5252, 0, 5253}, {5255, 5256, 0, 5257}});
  });
}

extern "C" int32_t Tevra_AutoRangeEx_Run_11ag(int32_t Options, double* PowerRange, double* TriggerLevel_mV,
                                              int32_t* MaxSymbolsUsed, double* MaxPacketLength_s) {
  core::CallFrame frame(spectrum::kRunEx11agFrame);
  frame.start("0X%02x", static_cast<unsigned>(Options));
  return frame.end(frame.guard([&] {
    return spectrum::runWithOptions<spectrum::Mode11ag>(
        Options, 5289, 5290, 5292, {{5296, 5297, 5298, 5299}, {5301, 5302, 5303, 5304}},
        {PowerRange, TriggerLevel_mV, MaxSymbolsUsed, MaxPacketLength_s});
  }));
}

extern "C" int32_t Tevra_AutoRangeEx_Run_11b(int32_t Options, double* PowerRange, double* TriggerLevel_mV,
                                             double* MaxPacketLength_s) {
  core::CallFrame frame(spectrum::kRunEx11bFrame);
  frame.start("0X%02x", static_cast<unsigned>(Options));
  return frame.end(frame.guard([&] {
    return spectrum::runWithOptions<spectrum::Mode11b>(
        Options, 5340, 5341, 5343, {{5347, 5348, 0, 5349}, {5351, 5352, 0, 5353}},
        {PowerRange, TriggerLevel_mV, nullptr, MaxPacketLength_s});
  }));
}

extern "C" int32_t Tevra_AutoRange_Running(int32_t Verbose) {
  return core::framedPoll(spectrum::kRunningFrame, spectrum::kRunningQuietFrame, Verbose != 0,
                          [] { return spectrum::autoRangeBusy(5384) ? 1 : 0; });
}

extern "C" int32_t Tevra_WTA_AutoRange_11ag(void) {
  return spectrum::refuseWta(spectrum::kWta11agFrame, -5898);
}

extern "C" int32_t Tevra_WTA_AutoRange_11b(void) {
  return spectrum::refuseWta(spectrum::kWta11bFrame, -5935);
}
