#include "src/visa/visa_session.h"

#include <cctype>
#include <cstdio>

#include "src/visa/scpi_commands.h"
#include "src/visa/scpi_reply.h"

namespace tevra::visa {
namespace {

constexpr int32_t kCheckWritePosition = 469;
constexpr int32_t kCheckReadPosition = 474;
// Bounds on what is read and dropped before the session counts as out of step for good.
constexpr int kMaxStaleReplies = 64;
constexpr size_t kMaxDroppedBytes = size_t{1} << 20;
constexpr size_t kStaleReplySize = 256;

// Notes a failure that the rest of the call must not wait for again; a timeout also means that the reply
// may still come and be taken for the answer to the next query.
ViStatus noted(ViStatus status) {
  VisaState& s = visaState();
  if (status == VI_ERROR_TMO) s.outOfStep = true;
  if (status == VI_ERROR_TMO || status == VI_ERROR_CONN_LOST) s.callFailure = status;
  return status;
}

ViStatus rawWrite(ViSession session, std::string_view text) {
  return viWrite(session, reinterpret_cast<ViConstBuf>(text.data()), static_cast<ViUInt32>(text.size()),
                 &visaState().transferCount);
}

// Reads and drops the rest of a reply that filled the caller's buffer, up to its end.
void dropRestOfReply(ViSession session) {
  char rest[kStaleReplySize];
  for (size_t dropped = 0; dropped <= kMaxDroppedBytes; dropped += sizeof rest) {
    ViUInt32 count = 0;
    const ViStatus status = noted(viRead(session, reinterpret_cast<ViPBuf>(rest), sizeof rest, &count));
    if (status != VI_SUCCESS_MAX_CNT) return;
  }
  visaState().outOfStep = true;
}

ViStatus rawRead(ViSession session, char* buffer, size_t capacity, size_t* length) {
  VisaState& s = visaState();
  s.transferCount = 0;
  const ViStatus status = viRead(session, reinterpret_cast<ViPBuf>(buffer),
                                 static_cast<ViUInt32>(capacity - 1), &s.transferCount);
  *length = status < 0 ? 0 : (s.transferCount < capacity ? s.transferCount : capacity - 1);
  buffer[*length] = '\0';
  if (status == VI_SUCCESS_MAX_CNT) dropRestOfReply(session);
  return status;
}

ViStatus writeOn(ViSession session, std::string_view text) {
  const ViStatus failed = visaState().callFailure;
  if (failed < 0) return failed;
  return noted(rawWrite(session, text));
}

ViStatus readOn(ViSession session, char* buffer, size_t capacity, size_t* length) {
  const ViStatus failed = visaState().callFailure;
  if (failed < 0) {
    *length = 0;
    buffer[0] = '\0';
    return failed;
  }
  return noted(rawRead(session, buffer, capacity, length));
}

// One error-queue entry: its number, or a negative status with what failed written into text.
ViStatus queryErrorEntry(ViSession session, char* text, size_t capacity, int32_t* number) {
  ViStatus status = writeOn(session, scpi::kErrorQuery);
  if (status < 0) {
    std::snprintf(text, capacity, "viWrite() failed @ L%d", kCheckWritePosition);
    return status;
  }
  const size_t limit = capacity - 1 < kErrorReplyLength ? capacity - 1 : kErrorReplyLength;
  size_t length = 0;
  status = readOn(session, text, limit + 1, &length);
  if (status < 0) {
    std::snprintf(text, capacity, "viRead() failed @ L%d", kCheckReadPosition);
    return status;
  }
  *number = leadingInteger(text, length);
  if (*number != 0) extractErrorMessage(text, length, capacity);
  return status;
}

}  // namespace

VisaState& visaState() {
  static VisaState state;
  return state;
}

ViStatus scpiWrite(std::string_view text) {
  return writeOn(visaState().instrument, text);
}

ViStatus scpiRead(char* buffer, size_t capacity) {
  size_t length = 0;
  return readOn(visaState().instrument, buffer, capacity, &length);
}

void clearInstrument() {
  if (visaState().callFailure < 0) return;
  viClear(visaState().instrument);
}

void beginCall() {
  visaState().callFailure = VI_SUCCESS;
}

ViStatus bringBackInStep() {
  VisaState& s = visaState();
  viClear(s.instrument);
  ViStatus status = rawWrite(s.instrument, scpi::kIdentityQuery);
  // The identity is the one reply that begins with a letter: error entries and register values are numbers.
  for (int read = 0; status >= 0 && read < kMaxStaleReplies; ++read) {
    char reply[kStaleReplySize];
    size_t length = 0;
    status = rawRead(s.instrument, reply, sizeof reply, &length);
    if (status >= 0 && std::isalpha(static_cast<unsigned char>(reply[0]))) {
      s.outOfStep = false;
      return VI_SUCCESS;
    }
  }
  if (status >= 0) status = VI_ERROR_TMO;
  s.callFailure = status;
  return status;
}

int32_t checkSystemError(ViSession session, char* text, size_t capacity) {
  if (text == nullptr || capacity == 0) return VI_ERROR_USER_BUF;
  int32_t first = 0;
  const ViStatus status = queryErrorEntry(session, text, capacity, &first);
  if (status < 0) return status;
  if (first == 0) return 0;
  // The rest of the queue is read and dropped, so that no error of this call is left for the next one.
  char rest[kErrorTextSize];
  for (int read = 1; read < kErrorQueueDepth; ++read) {
    int32_t next = 0;
    if (queryErrorEntry(session, rest, sizeof rest, &next) < 0 || next == 0) break;
  }
  return first;
}

}  // namespace tevra::visa
