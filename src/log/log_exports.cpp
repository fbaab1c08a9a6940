#include <cstdarg>
#include <cstdio>

#include "platform/kernel/kernel.h"
#include "src/log/driver_logs.h"
#include "src/log/format_text.h"
#include "tevra.h"

using tevra::log::traceLog;

namespace {

constexpr int32_t kLogFailed = -1;

}  // namespace

extern "C" TEVRA_API int32_t Tevra_Log_Open(const char* fileName) {
  const int32_t rc = traceLog().Open(fileName, tevra::log::kNameAppend, true) ? 1 : kLogFailed;
  const std::string line =
      tevra::log::formatText("Tevra_Log_Open('%s'), rc = %d", fileName != nullptr ? fileName : "", rc);
  tevra::platform::OutputDebugString(line.c_str());
  return rc;
}

extern "C" TEVRA_API void Tevra_Log_Close(void) {
  tevra::platform::OutputDebugString("Tevra_Log_Close()");
  traceLog().Close();
}

extern "C" TEVRA_API int32_t Tevra_Log_LogIt(const char* format, ...) {
  if (format == nullptr) return kLogFailed;
  // A %n conversion would make the caller's text write to memory through an argument.
  if (tevra::log::formatWritesToMemory(format)) {
    traceLog().LogIt("ERR %d,Log_LogIt() refused a format with %%n", kLogFailed);
    return kLogFailed;
  }
  char text[TEVRA_LOGIT_TEXT_MAX + 1];
  va_list args;
  va_start(args, format);
  const int formatted = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (formatted < 0) return kLogFailed;
  const tevra::log::Entry result =
      traceLog().LogText(formatted < TEVRA_LOGIT_TEXT_MAX ? formatted : TEVRA_LOGIT_TEXT_MAX, text);
  if (tevra::log::debugOutputSwitch().load(std::memory_order_relaxed) != 0) {
    tevra::platform::OutputDebugString(text);
  }
  return static_cast<int32_t>(result);
}
