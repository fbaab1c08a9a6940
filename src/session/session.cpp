// Opening and closing the session, and the small session exports.
#include "src/session/session.h"

#include <atomic>
#include <cstring>
#include <string>

#include "platform/com/creation.h"
#include "platform/ui/window.h"
#include "src/arb/direct_playback.h"
#include "src/core/frame.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "src/session/server_version.h"
#include "src/spectrum/scratch_array.h"
#include "src/visa/direct_io.h"
#include "src/visa/scpi_commands.h"
#include "src/visa/scpi_reply.h"
#include "src/visa/visa_session.h"
#include "tevra.h"

namespace tevra::core {
namespace {

std::atomic<int32_t> g_ownerWindow{0};

const FrameInfo kInitFrame{"Init", code::kInit, log::StatEntry::kInit};
const FrameInfo kInitGlobalFrame{"initGlobal", code::kInitGlobal, log::StatEntry::kNone, false, false};
const FrameInfo kCloseFrame{"Close", code::kClose, log::StatEntry::kNone, true, false};
const FrameInfo kPresetFrame{"Preset", code::kPreset, log::StatEntry::kPreset};
const FrameInfo kSelfTestFrame{"SelfTest", code::kSelfTest};
const FrameInfo kSuspendFrame{"Suspend", code::kSuspend};
const FrameInfo kActivateFrame{"ActivateInstrument", code::kActivateInstrument};
const FrameInfo kSerialNumberFrame{"SerialNumber", code::kSerialNumber};
const FrameInfo kDriverVersionFrame{"DriverVersion", code::kDriverVersion};
const FrameInfo kFirmwareRevisionFrame{"FirmwareRevision", code::kFirmwareRevision};

platform::VARIANT_BOOL asServerBool(int32_t value) {
  return value != 0 ? 1 : 0;
}

void traceLine(const char* text) {
  log::traceLog().LogText(-1, text);
}

// Pushes the analyzer settings the driver holds into a new session; a server error ends it with its trace
// and its code, and the settings after the refused one are not sent.
int32_t initGlobal() {
  CallFrame frame(kInitGlobalFrame);
  frame.start();
  const int32_t result = frame.guard([] {
    settings().switches.getDemodGatedPower = 1;
    const HeldSettings& held = settings().held;
    server::Instrument& instr = server::instrument();
    setPosition(591);
    instr.put_PowerRange(held.powerRange);
    setPosition(592);
    instr.put_Frequency(held.centerFrequencyMHz * 1000000.0);
    setPosition(593);
    instr.put_MaxPacketLength(held.maxPacketLengthS);
    setPosition(594);
    instr.put_TriggerLevel(held.triggerLevelMV * 0.001);
    setPosition(595);
    instr.put_TriggerStyle(held.triggerStyle);
    setPosition(596);
    instr.put_TriggerDelay(held.triggerDelayS);
    setPosition(597);
    instr.put_TriggerHoldoff(held.triggerHoldoffS);
    return 0;
  });
  return frame.end(result);
}

int32_t startSession(const char* resourceList, int32_t flagA, int32_t flagB) {
  // The server is given the same resource as the VISA session, never a cut one.
  char resource[visa::kResourceFieldSize];
  if (!visa::getListField(resourceList, 0, resource, sizeof resource)) {
    return traceFailure(code::kInit, "ERR %d,resource field longer than %d characters", code::kInit,
                        static_cast<int>(visa::kResourceFieldSize - 1));
  }
  Tevra_InitViSession(resourceList);
  arb::setDirectPlayback(true);
  Tevra_ARB_Stop(1);
  server::Instrument& instr = server::instrument();
  setPosition(801);
  instr.create(kServerProgId);
  traceLine("CreateInstance");
  setPosition(803);
  instr.put_ResourceAddress(resource);
  setPosition(805);
  instr.put_InitOption1(asServerBool(flagB));
  setPosition(806);
  instr.put_InitOption2(asServerBool(flagA));
  setPosition(807);
  instr.put_ShowSplashScreen(asServerBool(settings().switches.showSplashScreen));
  setPosition(808);
  instr.put_InitOption4(0);
  setPosition(811);
  int32_t result = instr.ActivateInstrument();
  traceLine("ActivateInstrument");
  setPosition(814);
  const std::string driverVersion = instr.get_DriverVersion();
  setPosition(815);
  const std::string firmware = instr.get_FirmwareRevision();
  log::traceLog().LogIt("COM DriverVersion %s, Q7730 FirmwareRevision %s", driverVersion.c_str(),
                        firmware.c_str());
  if (settings().switches.compensateSidecarLoss == 0) {
    const visa::DirectIo io({.position = 818,
                             .suspend = visa::Suspend::kAlways,
                             .trace = visa::TraceSuspend::kNever,
                             .clear = false});
    result = io.suspendStatus();
    traceLine("CompensateSidecarLoss disabled");
    io.send({visa::scpi::kSidecarLossOff});
  }
  if (const int32_t failed = initGlobal(); failed < 0) return failed;
  return result;
}

// Every step is tried on its own and the server is released in every case: a server that has lost the
// instrument must not keep the session open. The first failure is the result.
int32_t closeSession(CallFrame& frame) {
  spectrum::ScratchArray& scratch = spectrum::scratchArray();
  if (scratch.capacity() > 0) scratch.release();
  server::Instrument& instr = server::instrument();
  int32_t failure = 0;
  const auto step = [&](auto&& call) {
    const int32_t result = frame.guard(call);
    if (result < 0 && failure == 0) failure = result;
    return result;
  };
  step([&] {
    setPosition(937);
    instr.AWG_Stop();
    traceLine("AWG_Stop()");
    return 0;
  });
  step([&] {
    setPosition(940);
    instr.Suspend();
    return 0;
  });
  const int32_t disposed = step([&] {
    setPosition(941);
    const int32_t result = instr.Dispose();
    traceLine("Dispose()");
    return result;
  });
  setPosition(947);
  instr.reset();
  Tevra_CloseViSession();
  setPosition(967);
  return failure != 0 ? failure : disposed;
}

using TextGetter = std::string (server::Instrument::*)();

int32_t identityText(const FrameInfo& info, int32_t position, TextGetter getter, const char* label,
                     char* buffer) {
  return framed(info, [&] {
    if (buffer == nullptr) {
      return traceFailure(info.failureCode, "ERR %d,no buffer for %s", info.failureCode, label);
    }
    buffer[0] = '\0';
    setPosition(position);
    const std::string text = (server::instrument().*getter)();
    const size_t length = text.size() < TEVRA_IDENTITY_TEXT_SIZE ? text.size() : TEVRA_IDENTITY_TEXT_SIZE - 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
    log::traceLog().LogIt("%s = %s", label, buffer);
    return 0;
  });
}

}  // namespace

int32_t ownerWindow() {
  return g_ownerWindow.load();
}

}  // namespace tevra::core

using namespace tevra;

extern "C" TEVRA_API int32_t Tevra_Init(const char* resourceList, int32_t flagA, int32_t flagB,
                                        int32_t traced1, int32_t traced2) {
  core::setComLastError(0);
  platform::CoInitializeEx(nullptr, platform::COINIT_APARTMENTTHREADED);
  if (server::instrument().held()) Tevra_Close();
  core::CallFrame frame(core::kInitFrame);
  const int32_t version = core::checkServerVersion();
  if (version < 0) return frame.end(version);
  frame.start("%s,%d,%d,%d,%d", core::orEmpty(resourceList), static_cast<int>(flagA), static_cast<int>(flagB),
              static_cast<int>(traced1), static_cast<int>(traced2));
  return frame.end(frame.guard([&] { return core::startSession(resourceList, flagA, flagB); }));
}

extern "C" TEVRA_API int32_t Tevra_Close(void) {
  core::CallFrame frame(core::kCloseFrame);
  frame.start();
  frame.lockPlayback();
  if (frame.skipWithoutInstrument()) return frame.end(1);
  return frame.end(core::closeSession(frame));
}

extern "C" TEVRA_API int32_t Tevra_Preset(void) {
  core::markAllChanged();
  core::settings().switches.getDemodGatedPower = 1;
  core::CallFrame frame(core::kPresetFrame);
  frame.start();
  platform::CoInitializeEx(nullptr, platform::COINIT_APARTMENTTHREADED);
  return frame.end(frame.guard([] {
    core::setPosition(863);
    server::instrument().Preset();
    return 0;
  }));
}

extern "C" TEVRA_API int32_t Tevra_SelfTest(void) {
  return core::framed(core::kSelfTestFrame, [] {
    core::setPosition(897);
    server::instrument().SelfTest();
    return 0;
  });
}

extern "C" TEVRA_API int32_t Tevra_Suspend(void) {
  return core::framed(core::kSuspendFrame, [] {
    core::setPosition(5056);
    const int32_t result = server::instrument().Suspend();
    core::markAllChanged();
    return result;
  });
}

extern "C" TEVRA_API int32_t Tevra_ActivateInstrument(void) {
  return core::framed(core::kActivateFrame, [] {
    core::setPosition(5077);
    return server::instrument().ActivateInstrument();
  });
}

extern "C" TEVRA_API int32_t Tevra_SerialNumber(char* buffer) {
  return core::identityText(core::kSerialNumberFrame, 1905, &server::Instrument::get_SerialNumber,
                            "SerialNumber", buffer);
}

extern "C" TEVRA_API int32_t Tevra_DriverVersion(char* buffer) {
  return core::identityText(core::kDriverVersionFrame, 1934, &server::Instrument::get_DriverVersion,
                            "DriverVersion", buffer);
}

extern "C" TEVRA_API int32_t Tevra_FirmwareRevision(char* buffer) {
  return core::identityText(core::kFirmwareRevisionFrame, 1959, &server::Instrument::get_FirmwareRevision,
                            "FirmwareRevision", buffer);
}

extern "C" TEVRA_API int32_t Tevra_SetForegroundWindow(int32_t window) {
  if (window == 0) window = platform::GetForegroundWindow();
  core::g_ownerWindow.store(window);
  return window;
}
