// The call frame every exported function that reaches the instrument runs in: it resets the COM last error,
// times and counts the call, traces its start, end and used time, and turns every exception of the body
// into the function's failure code with a traced ERR line.
//
//   int32_t Tevra_CWTone(double power, double mhz) {
//     core::CallFrame frame(kCwToneFrame);
//     frame.start("%gdBm,%gMHz", power, mhz);     // "> Start ARB_CWTone(-10dBm,2412MHz)"
//     return frame.end(frame.guard([&] { return cwTone(power, mhz); }));
//   }
#pragma once

#include <cstdint>
#include <type_traits>

#include "platform/com/com_error.h"
#include "platform/kernel/kernel.h"
#include "src/core/error_state.h"
#include "src/core/result_codes.h"
#include "src/log/statistics.h"

namespace tevra::core {

struct FrameInfo {
  const char* name;  // without the Tevra_ prefix: "Preset"
  int32_t failureCode;
  log::StatEntry stat = log::StatEntry::kNone;
  bool usedTimeLine = true;
  bool resetsComLastError = true;
  // The result of a function of the playback lock's family when no instrument interface is held.
  int32_t skipCode = 0;
};

// Formats an ERR text into the driver's error-text buffer (cut at its size) and traces it. Returns code, so
// that a failure site reads `return traceFailure(code, "ERR %d,...", code, ...)`.
int32_t traceFailure(int32_t code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The same, and the text also goes to the debugger output.
int32_t traceFailureToDebugger(int32_t code, const char* format, ...) __attribute__((format(printf, 2, 3)));

// "" for a null text, so that a caller's null pointer traces as an empty text.
inline const char* orEmpty(const char* text) {
  return text == nullptr ? "" : text;
}

// The process-wide playback lock.
platform::CriticalSection& playbackLock();

class CallFrame {
 public:
  explicit CallFrame(const FrameInfo& info);
  CallFrame(const CallFrame&) = delete;
  CallFrame& operator=(const CallFrame&) = delete;
  ~CallFrame();

  // "> Start <name>()", or "> Start <name>(<arguments>)" with the arguments formatted: the name comes from
  // the FrameInfo only.
  void start();
  void start(const char* argumentFormat, ...) __attribute__((format(printf, 2, 3)));

  // Runs body (returning int32_t) with the COM-error handler and the catch-all handler.
  template <class Body>
  int32_t guard(Body&& body);

  // Enters the playback lock until end() has written the used time and updated the statistics.
  void lockPlayback();
  // The skip rule of the locked functions: without an instrument interface, traces the skip line with the
  // skip code and returns true. Called while holding the playback lock.
  bool skipWithoutInstrument();

  // "> End of <name>(), RetCode = %d", then the used time and the statistics; returns result.
  int32_t end(int32_t result);
  // "> End of <name>(<arguments>), RetCode = %d", then the used time and the statistics; returns result.
  int32_t endWithArguments(int32_t result, const char* argumentFormat, ...)
      __attribute__((format(printf, 3, 4)));
  // "> End of <name>(<arguments>)" without a result, then the used time and the statistics.
  void endWithoutResult(const char* argumentFormat, ...) __attribute__((format(printf, 2, 3)));
  // The used-time line and the statistics alone, for an end line written by the caller.
  void finish();

  const FrameInfo& info() const { return info_; }

 private:
  int32_t onComError(const _com_error& error) const;
  int32_t onUnhandledException() const;

  const FrameInfo& info_;
  uint32_t startTick_;
  bool locked_ = false;
  bool finished_ = false;
};

template <class Body>
int32_t CallFrame::guard(Body&& body) {
  static_assert(std::is_convertible_v<std::invoke_result_t<Body>, int32_t>,
                "a frame body returns its result");
  try {
    return body();
  } catch (const _com_error& error) {
    return onComError(error);
  } catch (...) {
    return onUnhandledException();
  }
}

// A whole framed call whose start line names the function without arguments.
template <class Body>
int32_t framed(const FrameInfo& info, Body&& body) {
  CallFrame frame(info);
  frame.start();
  const int32_t result = frame.guard(std::forward<Body>(body));
  return frame.end(result);
}

// A poll called in a loop: traced, it runs like framed(); quiet, it writes no start or used-time line and
// an end line "> End of <name>(0), RetCode = %d" only for a failure; quietInfo has no used-time line.
template <class Body>
int32_t framedPoll(const FrameInfo& tracedInfo, const FrameInfo& quietInfo, bool traced, Body&& body) {
  if (traced) return framed(tracedInfo, std::forward<Body>(body));
  CallFrame frame(quietInfo);
  const int32_t result = frame.guard(std::forward<Body>(body));
  if (result < 0) {
    frame.endWithArguments(result, "0");
  } else {
    frame.finish();
  }
  return result;
}

// Reports a server error as a frame's handler does (COM last error, "ERR %d,L%d,0x%08X,%s" with code and the
// position number) for a step whose failure does not end the function; returns code.
int32_t reportComError(int32_t code, const _com_error& error);

// The description a COM error is traced with: the server's, else the HRESULT's message, else "<unknown>".
std::string describeComError(const _com_error& error);

}  // namespace tevra::core
