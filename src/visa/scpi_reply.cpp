#include "src/visa/scpi_reply.h"

#include <cstring>

namespace tevra::visa {

int32_t leadingInteger(const char* text, size_t length) {
  if (text == nullptr) return 0;
  size_t i = 0;
  while (i < length && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT32_MAX) value = static_cast<int64_t>(INT32_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

void extractErrorMessage(char* buffer, size_t length, size_t capacity) {
  if (buffer == nullptr || capacity == 0) return;
  if (length >= capacity) length = capacity - 1;
  const char* open = static_cast<const char*>(std::memchr(buffer, '"', length));
  const size_t start = open == nullptr ? 0 : static_cast<size_t>(open - buffer) + 1;
  const char* close =
      open == nullptr ? nullptr : static_cast<const char*>(std::memchr(buffer + start, '"', length - start));
  size_t end = close == nullptr ? length : static_cast<size_t>(close - buffer);
  // The message is traced on one line: the reply's line end is not part of it.
  while (end > start && (buffer[end - 1] == '\n' || buffer[end - 1] == '\r')) --end;
  std::memmove(buffer, buffer + start, end - start);
  buffer[end - start] = '\0';
}

bool getListField(const char* list, int32_t index, char* out, size_t capacity) {
  if (out == nullptr || capacity == 0) return false;
  out[0] = '\0';
  if (list == nullptr || index < 0) return true;
  const char* p = list;
  for (int32_t skipped = 0; skipped < index; ++skipped) {
    p = std::strchr(p, ';');
    if (p == nullptr) return true;
    ++p;
  }
  const size_t length = std::strcspn(p, ";");
  const size_t copied = length < capacity - 1 ? length : capacity - 1;
  std::memcpy(out, p, copied);
  out[copied] = '\0';
  return copied == length;
}

bool isSafeScpiName(const char* name) {
  if (name == nullptr) return false;
  for (const char* p = name; *p != '\0'; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7F || c == '"' || c == ';') return false;
  }
  return true;
}

}  // namespace tevra::visa
