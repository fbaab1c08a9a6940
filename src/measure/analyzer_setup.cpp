// The analyzer set-ups and the radio personality: ordered writes of server settings, each traced with the
// caller's value. A setting the server accepted also becomes the driver's held value, so that the fast
// power path sends what the analyzer was last set to; every set-up marks all held settings as changed,
// also when it failed part-way.
#include <cmath>
#include <cstdint>

#include "src/core/frame.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::measure {
namespace {

using core::FrameInfo;

const FrameInfo kSetup11agFrame{"DigitalAnalyzer_Setup_11ag", -2038};
const FrameInfo kSetup11bFrame{"DigitalAnalyzer_Setup_11b", -2116};
const FrameInfo kRfSetupFrame{"RFAnalyzer_Setup", -2169};
const FrameInfo kBluetoothFrame{"SetBluetoothMode", -6698};
const FrameInfo kWlanFrame{"SetWlanMode", -6721};

constexpr double kHzPerMHz = 1000000.0;
constexpr double kVoltsPerMillivolt = 0.001;

// The trigger-style writes carry one position number per caller code: 1, 3 and any other.
struct TriggerPositions {
  int32_t immediate;
  int32_t external;
  int32_t burst;
  int32_t delay;
  int32_t level;
};

struct Trigger {
  int32_t style;
  double delayS;
  double levelMV;
};

// A frequency below 1 MHz in magnitude leaves the server's frequency as it is.
void putFrequency(int32_t position, double mhz) {
  if (std::trunc(mhz) != 0.0) {
    server::at(position).put_Frequency(mhz * kHzPerMHz);
    core::settings().held.centerFrequencyMHz = mhz;
  }
  log::traceLog().LogIt("Frequency = %g MHz", mhz);
}

void putMirrorAndFrames(int32_t mirrorPosition, int32_t framesPosition, int16_t mirror, int32_t frames) {
  server::at(mirrorPosition).put_MirrorFrequency(mirror);
  log::traceLog().LogIt("MirrorFrequency = %d", mirror);
  server::at(framesPosition).put_FramesUsed(frames);
  log::traceLog().LogIt("FramesUsed = %d", frames);
}

void putPowerRange(int32_t position, double dBm) {
  server::at(position).put_PowerRange(dBm);
  core::settings().held.powerRange = dBm;
  log::traceLog().LogIt("PowerRange = %g dBm", dBm);
}

int32_t triggerStylePosition(const TriggerPositions& positions, int32_t style) {
  if (style == 1) return positions.immediate;
  if (style == 3) return positions.external;
  return positions.burst;
}

void putTrigger(const TriggerPositions& positions, const Trigger& trigger) {
  auto& held = core::settings().held;
  const int32_t serverStyle = core::triggerStyleToServer(trigger.style);
  server::at(triggerStylePosition(positions, trigger.style)).put_TriggerStyle(serverStyle);
  held.triggerStyle = serverStyle;
  log::traceLog().LogIt("TriggerStyle = %d", trigger.style);
  server::at(positions.delay).put_TriggerDelay(trigger.delayS);
  held.triggerDelayS = trigger.delayS;
  log::traceLog().LogIt("TriggerDelay = %g sec", trigger.delayS);
  server::at(positions.level).put_TriggerLevel(trigger.levelMV * kVoltsPerMillivolt);
  held.triggerLevelMV = trigger.levelMV;
  log::traceLog().LogIt("TriggerLevel = %g mV", trigger.levelMV);
}

// Runs a set-up body in its frame and marks every held setting as changed, whatever the body did.
template <class Body>
int32_t setUp(const FrameInfo& info, Body&& body) {
  core::CallFrame frame(info);
  frame.start();
  const int32_t result = frame.guard([&] {
    body();
    return 0;
  });
  core::markAllChanged();
  return frame.end(result);
}

}  // namespace
}  // namespace tevra::measure

using namespace tevra;

extern "C" int32_t Tevra_DigitalAnalyzer_Setup_11ag(double CenterFrequency_MHz, int16_t MirrorFrequency,
                                                    int32_t FramesUsed, int32_t MaxSymbolsUsed,
                                                    double PowerRange, int32_t TriggerStyle,
                                                    double TriggerDelay_s, double TriggerLevel_mV) {
  return measure::setUp(measure::kSetup11agFrame, [&] {
    measure::putFrequency(1990, CenterFrequency_MHz);
    measure::putMirrorAndFrames(1994, 2000, MirrorFrequency, FramesUsed);
    server::at(2003).put_MaxSymbolsUsed(MaxSymbolsUsed);
    log::traceLog().LogIt("MaxSymbolsUsed = %d", MaxSymbolsUsed);
    measure::putPowerRange(2006, PowerRange);
    measure::putTrigger({2011, 2014, 2018, 2023, 2026}, {TriggerStyle, TriggerDelay_s, TriggerLevel_mV});
  });
}

extern "C" int32_t Tevra_DigitalAnalyzer_Setup_11b(double CenterFrequency_MHz, int16_t MirrorFrequency,
                                                   int32_t FramesUsed, double MaxPacketLength_s,
                                                   double PowerRange, int32_t TriggerStyle,
                                                   double TriggerDelay_s, double TriggerLevel_mV) {
  return measure::setUp(measure::kSetup11bFrame, [&] {
    measure::putFrequency(2069, CenterFrequency_MHz);
    measure::putMirrorAndFrames(2073, 2079, MirrorFrequency, FramesUsed);
    server::at(2082).put_MaxPacketLength(MaxPacketLength_s);
    core::settings().held.maxPacketLengthS = MaxPacketLength_s;
    log::traceLog().LogIt("MaxPacketLength = %g sec", MaxPacketLength_s);
    measure::putPowerRange(2085, PowerRange);
    measure::putTrigger({2090, 2093, 2097, 2101, 2104}, {TriggerStyle, TriggerDelay_s, TriggerLevel_mV});
  });
}

extern "C" int32_t Tevra_RFAnalyzer_Setup(double CenterFrequency_MHz, int32_t TriggerStyle,
                                          double TriggerDelay_s, double TriggerLevel_mV,
                                          double TriggerHoldoff_s) {
  return measure::setUp(measure::kRfSetupFrame, [&] {
    measure::putFrequency(2143, CenterFrequency_MHz);
    measure::putTrigger({2149, 2152, 2156, 2160, 2163}, {TriggerStyle, TriggerDelay_s, TriggerLevel_mV});
    server::at(2166).put_TriggerHoldoff(TriggerHoldoff_s);
    core::settings().held.triggerHoldoffS = TriggerHoldoff_s;
    log::traceLog().LogIt("TriggerHoldoff = %g sec", TriggerHoldoff_s);
  });
}

extern "C" int32_t Tevra_SetBluetoothMode(void) {
  return core::framed(measure::kBluetoothFrame, [] {
    server::at(6694).SetBluetoothMode();
    return 0;
  });
}

extern "C" int32_t Tevra_SetWlanMode(void) {
  return core::framed(measure::kWlanFrame, [] {
    server::at(6717).SetWlanMode();
    return 0;
  });
}
