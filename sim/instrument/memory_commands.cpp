// Files of the generator memory: store and read back as definite-length blocks, delete, list.
#include <string>

#include "sim/instrument/command_table.h"
#include "sim/instrument/instrument.h"
#include "sim/scpi/parameters.h"

namespace tevra::sim {

void addMemoryCommands(CommandTable& table) {
  table.add(
      "MMEMory:DATA",
      [](CommandContext& c) {
        c.expectParameters(2, 2);
        c.instrument.memory().store(scpi::toText(c.parameter(0)), scpi::toBlock(c.parameter(1)));
      },
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        return scpi::formatBlock(c.instrument.memory().load(scpi::toText(c.parameter(0))));
      });
  table.add(
      "MMEMory:DELete",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        c.instrument.memory().remove(scpi::toText(c.parameter(0)));
      },
      nullptr);
  table.add("MMEMory:FREE", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return scpi::formatInteger(static_cast<int64_t>(c.instrument.memory().freeBytes()));
  });
  table.add("MMEMory:CATalog", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    std::string list;
    for (const auto& name : c.instrument.memory().names()) {
      if (!list.empty()) list.push_back(',');
      list += scpi::formatString(name);
    }
    return list.empty() ? scpi::formatString("") : list;
  });
}

}  // namespace tevra::sim
