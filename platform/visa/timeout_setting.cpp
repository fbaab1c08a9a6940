#include "platform/visa/timeout_setting.h"

#include <cstdlib>

namespace tevra::platform::visa {
namespace {

constexpr unsigned long kLongestTimeoutMs = 600000;

}  // namespace

ViUInt32 configuredTimeoutMs() {
  const char* text = std::getenv("TEVRA_VISA_TIMEOUT_MS");
  if (text == nullptr || *text < '0' || *text > '9') return TEVRA_VISA_DEFAULT_TMO_MS;
  char* end = nullptr;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (*end != '\0' || value == 0 || value > kLongestTimeoutMs) return TEVRA_VISA_DEFAULT_TMO_MS;
  return static_cast<ViUInt32>(value);
}

}  // namespace tevra::platform::visa
