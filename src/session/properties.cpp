#include <cstdint>

#include "src/core/frame.h"
#include "src/core/names.h"
#include "src/session/property_table.h"
#include "tevra.h"

namespace tevra::core {
namespace {

const FrameInfo kSetPropertyFrame{"SetProperty", code::kSetProperty, log::StatEntry::kNone, false};
const FrameInfo kGetPropertyFrame{"GetProperty", code::kGetProperty, log::StatEntry::kNone, false};

// Position numbers: one per table entry and direction, rising in table order.
constexpr int32_t kFirstSetPosition = 1500;
constexpr int32_t kFirstGetPosition = 1800;

int32_t positionOf(int32_t first, const PropertyEntry& entry) {
  return first + static_cast<int32_t>(propertyIndex(entry));
}

bool isMissing(const char* name) {
  return name == nullptr || *name == '\0';
}

int32_t setProperty(const char* name, double value) {
  const PropertyEntry* entry = findProperty(name);
  if (entry == nullptr || entry->set == nullptr) return 0;
  if (!entry->set(positionOf(kFirstSetPosition, *entry), value)) {
    return traceFailure(code::kSetProperty, "ERR %d,invalid value %g for SetProperty(%s)", code::kSetProperty,
                        value, name);
  }
  return 1;
}

int32_t getEveryProperty(double* value) {
  for (const PropertyEntry& entry : propertyTable()) Tevra_GetProperty(entry.name, value);
  Tevra_GetProperty(nullptr, value);
  *value = 0.0;
  return 1;
}

int32_t getProperty(const char* name, double* value) {
  if (value == nullptr) {
    return traceFailure(code::kGetProperty, "ERR %d,null value pointer for GetProperty(%s)",
                        code::kGetProperty, orEmpty(name));
  }
  // A 64-bit process cannot hand out the table's address in a double; the number of names is what it gets.
  if (isMissing(name)) {
    *value = static_cast<double>(kPropertyCount);
    return 0;
  }
  if (sameName(name, "all")) return getEveryProperty(value);
  const PropertyEntry* entry = findProperty(name);
  if (entry == nullptr || entry->get == nullptr) return 0;
  const std::optional<double> read = entry->get(positionOf(kFirstGetPosition, *entry));
  if (!read) return 0;
  *value = *read;
  return 1;
}

void endGetProperty(CallFrame& frame, const char* name, const double* value, int32_t result) {
  if (value == nullptr) {
    frame.end(result);
  } else if (isMissing(name)) {
    frame.endWithoutResult("0x%08X", static_cast<uint32_t>(kPropertyCount));
  } else {
    frame.endWithArguments(result, "%s,%g", name, *value);
  }
}

}  // namespace
}  // namespace tevra::core

extern "C" TEVRA_API int32_t Tevra_SetProperty(const char* name, double value) {
  using namespace tevra::core;
  CallFrame frame(kSetPropertyFrame);
  frame.start("%s,%g", orEmpty(name), value);
  const int32_t result = frame.guard([&] { return setProperty(name, value); });
  return frame.end(result);
}

extern "C" TEVRA_API int32_t Tevra_GetProperty(const char* name, double* value) {
  using namespace tevra::core;
  CallFrame frame(kGetPropertyFrame);
  frame.start("%s", orEmpty(name));
  const int32_t result = frame.guard([&] { return getProperty(name, value); });
  endGetProperty(frame, name, value, result);
  return result;
}
