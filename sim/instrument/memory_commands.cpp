// Files of the generator memory: store and read back as definite-length blocks, delete, list.
#include <string>

#include "sim/instrument/command_table.h"
#include "sim/instrument/instrument.h"
#include "sim/scpi/parameters.h"

namespace tevra::sim {
namespace {

// A file name of the commands: "<volume>:<name>" names a file of that volume, a bare name one of the
// waveform memory.
struct MemoryFile {
  GeneratorMemory& memory;
  std::string name;
};

MemoryFile addressed(CommandContext& c, size_t index) {
  const std::string text = scpi::toText(c.parameter(index));
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return {c.instrument.memory(), text};
  return {c.instrument.memory().volume(std::string_view(text).substr(0, colon)), text.substr(colon + 1)};
}

}  // namespace

void addMemoryCommands(CommandTable& table) {
  table.add(
      "MMEMory:DATA",
      [](CommandContext& c) {
        c.expectParameters(2, 2);
        MemoryFile file = addressed(c, 0);
        const scpi::Parameter& block = c.parameter(1);
        if (block.kind == scpi::ParameterKind::kBlock && block.spool)
          file.memory.store(file.name, *block.spool);
        else
          file.memory.store(file.name, scpi::toBlock(block));
      },
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        MemoryFile file = addressed(c, 0);
        return scpi::formatBlock(file.memory.load(file.name));
      });
  table.add(
      "MMEMory:DELete",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        MemoryFile file = addressed(c, 0);
        file.memory.remove(file.name);
      },
      nullptr);
  table.add("MMEMory:FREE", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return scpi::formatInteger(static_cast<int64_t>(c.instrument.memory().freeBytes()));
  });
  // An optional "<volume>:" lists that volume.
  table.add("MMEMory:CATalog", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 1);
    GeneratorMemory& memory = c.parameterCount() == 0 ? c.instrument.memory() : addressed(c, 0).memory;
    std::string list;
    for (const auto& name : memory.names()) {
      if (!list.empty()) list.push_back(',');
      list += scpi::formatString(name);
    }
    return list.empty() ? scpi::formatString("") : list;
  });
}

}  // namespace tevra::sim
