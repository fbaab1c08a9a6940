// The driver's own VISA session to the instrument, the SCPI exchange over it, and the steps every direct
// I/O sequence is made of. Shared without a lock: direct sequences never run concurrently.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/visa/visa.h"

namespace tevra::visa {

// A resource string longer than this is refused rather than cut.
inline constexpr size_t kResourceFieldSize = 100;
// checkSystemError reads at most this many bytes of the error-queue reply.
inline constexpr size_t kErrorReplyLength = 300;
inline constexpr size_t kErrorTextSize = kErrorReplyLength + 1;

struct VisaState {
  ViSession resourceManager = 0;
  ViSession instrument = 0;
  ViUInt32 transferCount = 0;
};

VisaState& visaState();
inline ViSession instrumentSession() {
  return visaState().instrument;
}

// viWrite of text with its length and no terminator, on the instrument session.
ViStatus scpiWrite(const char* text);
// viRead of at most capacity - 1 bytes into buffer; the reply is always terminated inside the buffer.
ViStatus scpiRead(char* buffer, size_t capacity);
// viClear on the instrument session; the status is not needed by any caller.
void clearInstrument();

// Queries the error queue: the instrument's error number (0 for none) or a negative VISA status; text
// (capacity bytes, at least 1) receives the error's message or what failed.
int32_t checkSystemError(ViSession session, char* text, size_t capacity);

// The steps of a direct-I/O sequence that can fail, each returning 0 or the caller's code with the ERR
// line traced.
// If a server is connected: store position and hand the instrument's I/O to the driver (raises on failure).
bool suspendServer(int32_t position);
int32_t writeChecked(int32_t code, const char* text);
int32_t readChecked(int32_t code, char* buffer, size_t capacity);
int32_t checkInstrumentError(int32_t code);

}  // namespace tevra::visa
