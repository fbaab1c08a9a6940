#include "src/core/frame.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "src/log/driver_logs.h"
#include "src/server/instrument.h"

namespace tevra::core {
namespace {

// Serialises the use of the one error-text buffer by failing calls on different threads.
std::mutex& errorTextMutex() {
  static std::mutex m;
  return m;
}

void traceErrorText(const char* format, va_list args, bool toDebugger = false) {
  std::lock_guard<std::mutex> lock(errorTextMutex());
  char* buffer = errorState().errorText;
  std::vsnprintf(buffer, kErrorTextSize, format, args);
  recordThreadErrorText(buffer);
  log::traceLog().LogText(-1, buffer);
  if (toDebugger) platform::OutputDebugString(buffer);
}

void traceErrorTextf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void traceErrorTextf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  traceErrorText(format, args);
  va_end(args);
}

// The arguments of a start or end line; a caller's text among them is an argument, never a format.
std::string formatArguments(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return {};
  std::string text(static_cast<size_t>(length), '\0');
  std::vsnprintf(text.data(), text.size() + 1, format, args);
  return text;
}

}  // namespace

platform::CriticalSection& playbackLock() {
  static platform::CriticalSection lock;
  return lock;
}

int32_t traceFailure(int32_t code, const char* format, ...) {
  va_list args;
  va_start(args, format);
  traceErrorText(format, args);
  va_end(args);
  return code;
}

int32_t traceFailureToDebugger(int32_t code, const char* format, ...) {
  va_list args;
  va_start(args, format);
  traceErrorText(format, args, true);
  va_end(args);
  return code;
}

std::string describeComError(const _com_error& error) {
  std::string description = error.Description();
  if (description.empty()) description = error.ErrorMessage();
  if (description.empty()) description = "<unknown>";
  return description;
}

CallFrame::CallFrame(const FrameInfo& info) : info_(info) {
  clearThreadErrorText();
  if (info_.resetsComLastError) setComLastError(0);
  startTick_ = platform::GetTickCount();
  log::countCall(info_.stat);
}

CallFrame::~CallFrame() {
  if (locked_) playbackLock().Leave();
}

void CallFrame::start() {
  log::traceLog().LogIt("> Start %s()", info_.name);
}

void CallFrame::start(const char* argumentFormat, ...) {
  va_list args;
  va_start(args, argumentFormat);
  const std::string arguments = formatArguments(argumentFormat, args);
  va_end(args);
  log::traceLog().LogIt("> Start %s(%s)", info_.name, arguments.c_str());
}

int32_t CallFrame::endWithArguments(int32_t result, const char* argumentFormat, ...) {
  va_list args;
  va_start(args, argumentFormat);
  const std::string arguments = formatArguments(argumentFormat, args);
  va_end(args);
  log::traceLog().LogIt("> End of %s(%s), RetCode = %d", info_.name, arguments.c_str(),
                        static_cast<int>(result));
  finish();
  return result;
}

void CallFrame::lockPlayback() {
  if (locked_) return;
  playbackLock().Enter();
  locked_ = true;
}

bool CallFrame::skipWithoutInstrument() {
  if (server::instrument().held()) return false;
  char text[kErrorTextSize];
  std::snprintf(text, sizeof text, "ERR %d,** skip %s() due to globallptrInstr is NULL **", info_.skipCode,
                info_.name);
  recordThreadErrorText(text);
  log::traceLog().LogText(-1, text);
  return true;
}

int32_t CallFrame::end(int32_t result) {
  log::traceLog().LogIt("> End of %s(), RetCode = %d", info_.name, result);
  finish();
  return result;
}

void CallFrame::endWithoutResult(const char* argumentFormat, ...) {
  va_list args;
  va_start(args, argumentFormat);
  const std::string arguments = formatArguments(argumentFormat, args);
  va_end(args);
  log::traceLog().LogIt("> End of %s(%s)", info_.name, arguments.c_str());
  finish();
}

void CallFrame::finish() {
  if (finished_) return;
  finished_ = true;
  const uint32_t used = platform::GetTickCount() - startTick_;
  if (info_.usedTimeLine) log::traceLog().LogIt("* used time: %u ms *", used);
  log::addCallTime(info_.stat, used);
  if (locked_) {
    locked_ = false;
    playbackLock().Leave();
  }
}

int32_t reportComError(int32_t code, const _com_error& error) {
  setComLastError(error.Error());
  const std::string description = describeComError(error);
  traceErrorTextf("ERR %d,L%d,0x%08X,%s", code, position(), static_cast<uint32_t>(error.Error()),
                  description.c_str());
  return code;
}

int32_t CallFrame::onComError(const _com_error& error) const {
  return reportComError(info_.failureCode, error);
}

int32_t CallFrame::onUnhandledException() const {
  traceErrorTextf("ERR %d,L%d,%s", info_.failureCode, position(), "*** Unhandled Exception ***");
  return info_.failureCode;
}

}  // namespace tevra::core
