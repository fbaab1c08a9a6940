#include <cctype>
#include <cstdio>

#include "platform/com/unknown.h"

namespace tevra::platform {
namespace {

bool readHex(const char*& p, int digits, uint64_t* value) {
  uint64_t v = 0;
  for (int i = 0; i < digits; ++i, ++p) {
    if (!std::isxdigit(static_cast<unsigned char>(*p))) return false;
    const int c = std::tolower(static_cast<unsigned char>(*p));
    v = (v << 4) | static_cast<uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
  }
  *value = v;
  return true;
}

bool expect(const char*& p, char c) {
  return *p++ == c;
}

}  // namespace

std::string GuidToString(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2,
                g.data3, g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6],
                g.data4[7]);
  return text;
}

bool GuidFromString(const char* text, GUID* guid) {
  if (text == nullptr || guid == nullptr) return false;
  const char* p = text;
  uint64_t v1 = 0, v2 = 0, v3 = 0, v4 = 0, v5 = 0;
  if (!expect(p, '{') || !readHex(p, 8, &v1) || !expect(p, '-') || !readHex(p, 4, &v2) || !expect(p, '-') ||
      !readHex(p, 4, &v3) || !expect(p, '-') || !readHex(p, 4, &v4) || !expect(p, '-') ||
      !readHex(p, 12, &v5) || !expect(p, '}') || *p != '\0') {
    return false;
  }
  guid->data1 = static_cast<uint32_t>(v1);
  guid->data2 = static_cast<uint16_t>(v2);
  guid->data3 = static_cast<uint16_t>(v3);
  guid->data4[0] = static_cast<uint8_t>(v4 >> 8);
  guid->data4[1] = static_cast<uint8_t>(v4);
  for (int i = 0; i < 6; ++i) guid->data4[2 + i] = static_cast<uint8_t>(v5 >> (8 * (5 - i)));
  return true;
}

}  // namespace tevra::platform
