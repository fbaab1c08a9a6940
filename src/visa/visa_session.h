// The driver's own VISA session to the instrument and the SCPI exchange over it. Shared without a lock:
// direct sequences never run concurrently.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/visa/visa.h"

namespace tevra::visa {

// A resource string longer than this is refused rather than cut.
inline constexpr size_t kResourceFieldSize = 100;
// checkSystemError reads at most this many bytes of an error-queue reply.
inline constexpr size_t kErrorReplyLength = 300;
inline constexpr size_t kErrorTextSize = kErrorReplyLength + 1;
// The most error-queue entries one check reads: more than the instrument's queue holds.
inline constexpr int kErrorQueueDepth = 32;

struct VisaState {
  ViSession resourceManager = 0;
  ViSession instrument = 0;
  ViUInt32 transferCount = 0;
  // A query timed out, so its reply may still arrive: the session is brought back in step before its next
  // use.
  bool outOfStep = false;
  // The timeout or lost connection the current call has met; its remaining I/O fails at once with it.
  ViStatus callFailure = VI_SUCCESS;
};

VisaState& visaState();
inline ViSession instrumentSession() {
  return visaState().instrument;
}

// viWrite of text with its length and no terminator, on the instrument session.
ViStatus scpiWrite(std::string_view text);
// viRead of at most capacity - 1 bytes into buffer; the reply is always terminated inside the buffer, and
// the rest of a reply that does not fit is read and dropped.
ViStatus scpiRead(char* buffer, size_t capacity);
// viClear on the instrument session; the status is not needed by any caller.
void clearInstrument();
// Starts a new call: I/O is tried again after a failure of an earlier call.
void beginCall();
// After a timeout: a clear, then replies are read and dropped up to the answer to an identity query sent
// behind them. Returns the status; on failure the session stays out of step and the call fails at once.
ViStatus bringBackInStep();

// Reads the whole error queue: the first error's number (0 for none) or a negative VISA status; text
// (capacity bytes, at least 1) receives the first error's message, on one line, or what failed.
int32_t checkSystemError(ViSession session, char* text, size_t capacity);

}  // namespace tevra::visa
