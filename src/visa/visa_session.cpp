#include "src/visa/visa_session.h"

#include <cstdio>
#include <cstring>

#include "src/core/frame.h"
#include "src/server/instrument.h"
#include "src/visa/scpi_reply.h"

namespace tevra::visa {
namespace {

constexpr int32_t kCheckWritePosition = 469;
constexpr int32_t kCheckReadPosition = 474;

}  // namespace

VisaState& visaState() {
  static VisaState state;
  return state;
}

ViStatus scpiWrite(const char* text) {
  VisaState& s = visaState();
  return viWrite(s.instrument, reinterpret_cast<ViConstBuf>(text), static_cast<ViUInt32>(std::strlen(text)),
                 &s.transferCount);
}

ViStatus scpiRead(char* buffer, size_t capacity) {
  VisaState& s = visaState();
  s.transferCount = 0;
  const ViStatus status = viRead(s.instrument, reinterpret_cast<ViPBuf>(buffer),
                                 static_cast<ViUInt32>(capacity - 1), &s.transferCount);
  const size_t length = s.transferCount < capacity ? s.transferCount : capacity - 1;
  buffer[status < 0 ? 0 : length] = '\0';
  return status;
}

void clearInstrument() {
  viClear(visaState().instrument);
}

int32_t checkSystemError(ViSession session, char* text, size_t capacity) {
  if (text == nullptr || capacity == 0) return VI_ERROR_USER_BUF;
  VisaState& s = visaState();
  const char query[] = "SYST:ERR?";
  ViStatus status = viWrite(session, reinterpret_cast<ViConstBuf>(query), sizeof query - 1, &s.transferCount);
  if (status < 0) {
    std::snprintf(text, capacity, "viWrite() failed @ L%d", kCheckWritePosition);
    return status;
  }
  const size_t limit = capacity - 1 < kErrorReplyLength ? capacity - 1 : kErrorReplyLength;
  s.transferCount = 0;
  status = viRead(session, reinterpret_cast<ViPBuf>(text), static_cast<ViUInt32>(limit), &s.transferCount);
  if (status < 0) {
    std::snprintf(text, capacity, "viRead() failed @ L%d", kCheckReadPosition);
    return status;
  }
  const size_t length = s.transferCount < limit ? s.transferCount : limit;
  const int32_t number = leadingInteger(text, length);
  if (number == 0) {
    text[length] = '\0';
    return 0;
  }
  extractErrorMessage(text, length, capacity);
  return number;
}

bool suspendServer(int32_t position) {
  server::Instrument& instr = server::instrument();
  if (!instr.held()) return false;
  core::setPosition(position);
  instr.Suspend();
  return true;
}

int32_t writeChecked(int32_t code, const char* text) {
  const ViStatus status = scpiWrite(text);
  if (status >= 0) return 0;
  return core::traceFailure(code, "ERR %d,viWrite() failed, rc = 0x%08X", code,
                            static_cast<uint32_t>(status));
}

int32_t readChecked(int32_t code, char* buffer, size_t capacity) {
  const ViStatus status = scpiRead(buffer, capacity);
  if (status >= 0) return 0;
  return core::traceFailure(code, "ERR %d,viRead() failed, rc = 0x%08X", code, static_cast<uint32_t>(status));
}

int32_t checkInstrumentError(int32_t code) {
  char text[kErrorTextSize];
  const int32_t number = checkSystemError(instrumentSession(), text, sizeof text);
  if (number == 0) return 0;
  return core::traceFailure(code, "ERR %d,%s, rc 0x%08X (%d)", code, text, static_cast<uint32_t>(number),
                            number);
}

}  // namespace tevra::visa
