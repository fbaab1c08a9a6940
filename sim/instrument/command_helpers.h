// Registration shapes that many commands share: a setting with a set form and a query form.
#pragma once

#include <string_view>

#include "sim/instrument/command_table.h"
#include "sim/scpi/parameters.h"

namespace tevra::sim {

// ON/OFF/1/0, answered as 1 or 0.
template <class Set, class Get>
void addBooleanSetting(CommandTable& table, std::string_view pattern, Set set, Get get) {
  table.add(
      pattern,
      [set](CommandContext& c) {
        c.expectParameters(1, 1);
        set(c, scpi::toBoolean(c.parameter(0)));
      },
      [get](CommandContext& c) {
        c.expectParameters(0, 0);
        return scpi::formatBoolean(get(c));
      });
}

// A number in a base unit with the given unit suffixes, answered in the base unit.
template <size_t N, class Set, class Get>
void addRealSetting(CommandTable& table, std::string_view pattern, const scpi::Unit (&units)[N], Set set,
                    Get get) {
  table.add(
      pattern,
      [&units, set](CommandContext& c) {
        c.expectParameters(1, 1);
        set(c, scpi::toNumber(c.parameter(0), units));
      },
      [get](CommandContext& c) {
        c.expectParameters(0, 0);
        return scpi::formatReal(get(c));
      });
}

}  // namespace tevra::sim
