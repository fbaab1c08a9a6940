// The property-name table: every name Tevra_SetProperty and Tevra_GetProperty know, in their fixed order,
// with what each operation does for it. A null setter or getter makes the name unknown to that operation.
#pragma once

#include <cstddef>
#include <span>

#include "src/session/property_handlers.h"

namespace tevra::core {

struct PropertyEntry {
  const char* name;
  property::Setter set;
  property::Getter get;
};

inline constexpr size_t kPropertyCount = 63;

std::span<const PropertyEntry, kPropertyCount> propertyTable();

// The first entry whose name matches without regard to case; nullptr for an unknown or null name.
const PropertyEntry* findProperty(const char* name);

// The entry's place in the table, from 0.
size_t propertyIndex(const PropertyEntry& entry);

}  // namespace tevra::core
