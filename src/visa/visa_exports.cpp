#include <cstdio>

#include "platform/visa/timeout_setting.h"
#include "src/core/frame.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "src/visa/direct_io.h"
#include "src/visa/scpi_commands.h"
#include "src/visa/scpi_reply.h"
#include "src/visa/visa_session.h"
#include "tevra.h"

namespace tevra::visa {
namespace {

constexpr int32_t kRmFailed = -538;
constexpr int32_t kOpenFailed = -548;
constexpr int32_t kPresetInstrumentError = -8774;

const core::FrameInfo kInitViSessionFrame{"InitViSession", core::code::kInitViSession};
const core::FrameInfo kViPresetFrame{"ViPreset", core::code::kViPreset, log::StatEntry::kPreset};

int32_t openResourceManager() {
  VisaState& s = visaState();
  if (s.resourceManager != 0) return 0;
  const ViStatus status = viOpenDefaultRM(&s.resourceManager);
  if (status < 0) {
    s.resourceManager = 0;
    return core::traceFailure(kRmFailed, "ERR %d,viOpenDefaultRM() failed, rc 0x%08X", kRmFailed,
                              static_cast<uint32_t>(status));
  }
  log::traceLog().LogIt("OK, viOpenDefaultRM() session %d", static_cast<int>(s.resourceManager));
  return 0;
}

int32_t openInstrument(const char* resourceList) {
  VisaState& s = visaState();
  char resource[kResourceFieldSize];
  // A resource string that does not fit is refused: a cut one could name another instrument.
  const ViStatus status = getListField(resourceList, 0, resource, sizeof resource)
                              ? viOpen(s.resourceManager, resource, VI_NULL, 0, &s.instrument)
                              : VI_ERROR_INV_RSRC_NAME;
  if (status < 0) {
    s.instrument = 0;
    return core::traceFailure(kOpenFailed, "ERR %d,Q7730 viOpen(%s) failed, rc 0x%08X", kOpenFailed,
                              core::orEmpty(resourceList), static_cast<uint32_t>(status));
  }
  log::traceLog().LogIt("OK, Q7730 viOpen() session %d", static_cast<int>(s.instrument));
  s.outOfStep = false;
  viSetAttribute(s.instrument, VI_ATTR_TMO_VALUE, platform::visa::configuredTimeoutMs());
  return static_cast<int32_t>(s.instrument);
}

// The server releases the instrument's I/O before the session is opened again.
void suspendServer() {
  server::Instrument& instr = server::instrument();
  if (!instr.held()) return;
  core::setPosition(532);
  instr.Suspend();
}

int32_t initViSession(const char* resourceList) {
  suspendServer();
  Tevra_CloseViSession();
  if (const int32_t failed = openResourceManager(); failed != 0) return failed;
  return openInstrument(resourceList);
}

int32_t viPreset() {
  const DirectIo io({.suspend = Suspend::kNever, .trace = TraceSuspend::kNever});
  io.send({scpi::kResetAndClear});
  return io.checkErrors(kPresetInstrumentError);
}

}  // namespace
}  // namespace tevra::visa

using namespace tevra;

extern "C" TEVRA_API int32_t Tevra_CloseViSession(void) {
  visa::VisaState& s = visa::visaState();
  if (s.instrument != 0) {
    core::setPosition(577);
    viClose(s.instrument);
    s.instrument = 0;
  }
  return 0;
}

extern "C" TEVRA_API int32_t Tevra_InitViSession(const char* resourceList) {
  core::CallFrame frame(visa::kInitViSessionFrame);
  frame.start("%s", core::orEmpty(resourceList));
  return frame.end(frame.guard([&] { return visa::initViSession(resourceList); }));
}

extern "C" TEVRA_API int32_t Tevra_ViPreset(void) {
  core::CallFrame frame(visa::kViPresetFrame);
  core::markAllChanged();
  frame.start();
  return frame.end(frame.guard([] { return visa::viPreset(); }));
}
