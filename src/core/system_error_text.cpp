#include "src/core/system_error_text.h"

#include <cstdio>

#include "platform/kernel/kernel.h"

namespace tevra::core {

char* getSystemErrorText(uint32_t code, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return buffer;
  const auto text = platform::FormatSystemMessage(code);
  if (!text) {
    std::snprintf(buffer, size, "Unknown code %d", static_cast<int>(code));
    return buffer;
  }
  size_t out = 0;
  for (const char c : *text) {
    if (c == '\r' || c == '\n') continue;
    if (out + 1 >= size) break;
    buffer[out++] = c;
  }
  buffer[out] = '\0';
  return buffer;
}

}  // namespace tevra::core
