#include "src/core/error_state.h"

#include <cstring>

#include "tevra.h"

namespace tevra::core {
namespace {

thread_local char t_errorText[kErrorTextSize] = {};

}  // namespace

void recordThreadErrorText(const char* text) {
  const size_t length = strnlen(text, kErrorTextSize - 1);
  std::memcpy(t_errorText, text, length);
  t_errorText[length] = '\0';
}

void clearThreadErrorText() {
  t_errorText[0] = '\0';
}

ErrorState& errorState() {
  static ErrorState state;
  return state;
}

}  // namespace tevra::core

extern "C" TEVRA_API int32_t Tevra_GetCOMLastError(void) {
  return tevra::core::comLastError();
}

extern "C" TEVRA_API int32_t Tevra_GetLastErrorText(char* buffer, int32_t size) {
  if (buffer == nullptr || size < 1) return -1;
  const size_t length = std::strlen(tevra::core::t_errorText);
  const size_t copied = length < static_cast<size_t>(size) ? length : static_cast<size_t>(size) - 1;
  std::memcpy(buffer, tevra::core::t_errorText, copied);
  buffer[copied] = '\0';
  tevra::core::clearThreadErrorText();
  return static_cast<int32_t>(length);
}
