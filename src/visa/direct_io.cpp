#include "src/visa/direct_io.h"

#include <cstdio>

#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "src/visa/visa_session.h"

namespace tevra::visa {

DirectIo::DirectIo(const DirectSteps& steps) {
  beginCall();
  server::Instrument& instr = server::instrument();
  const bool suspends =
      steps.suspend == Suspend::kAlways || (steps.suspend == Suspend::kIfServer && instr.held());
  if (suspends) {
    core::setPosition(steps.position);
    suspendStatus_ = instr.Suspend();
  }
  if (steps.trace == TraceSuspend::kAlways || (steps.trace == TraceSuspend::kWhenSuspended && suspends)) {
    log::traceLog().LogText(-1, "OK, suspended");
  }
  if (steps.clear) clearInstrument();
  if (visaState().outOfStep) bringBackInStep();
}

int32_t DirectIo::write(int32_t code, std::string_view command) const {
  const ViStatus status = scpiWrite(command);
  if (status >= 0) return 0;
  return core::traceFailure(code, "ERR %d,viWrite() failed, rc = 0x%08X", code,
                            static_cast<uint32_t>(status));
}

void DirectIo::send(std::initializer_list<std::string_view> commands) const {
  for (const std::string_view command : commands) scpiWrite(command);
}

int32_t DirectIo::read(int32_t code, char* reply, size_t capacity) const {
  const ViStatus status = scpiRead(reply, capacity);
  if (status >= 0) return 0;
  return core::traceFailure(code, "ERR %d,viRead() failed, rc = 0x%08X", code, static_cast<uint32_t>(status));
}

int32_t DirectIo::checkErrors(int32_t code) const {
  char text[kErrorTextSize];
  const int32_t number = checkSystemError(instrumentSession(), text, sizeof text);
  if (number == 0) return 0;
  return core::traceFailure(code, "ERR %d,%s, rc 0x%08X (%d)", code, text, static_cast<uint32_t>(number),
                            number);
}

}  // namespace tevra::visa
