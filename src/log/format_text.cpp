#include "src/log/format_text.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace tevra::log {

std::string formatText(const char* format, ...) {
  if (format == nullptr) return std::string();
  va_list args;
  va_start(args, format);
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<size_t>(length));
    std::vsnprintf(text.data(), text.size() + 1, format, args);
  }
  va_end(args);
  return text;
}

bool formatWritesToMemory(const char* format) {
  if (format == nullptr) return false;
  for (const char* p = std::strchr(format, '%'); p != nullptr; p = std::strchr(p, '%')) {
    ++p;
    p += std::strspn(p, "0123456789$#-+ '.*hlLqjztI");
    if (*p == 'n') return true;
    if (*p == '\0') return false;
    ++p;
  }
  return false;
}

}  // namespace tevra::log
