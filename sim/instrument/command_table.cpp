#include "sim/instrument/command_table.h"

#include "sim/scpi/scpi_error.h"

namespace tevra::sim {

void CommandContext::expectParameters(size_t min, size_t max) const {
  if (command_.parameters.size() < min)
    throw scpi::ScpiError{scpi::errc::kMissingParameter, command_.headerText};
  if (command_.parameters.size() > max)
    throw scpi::ScpiError{scpi::errc::kParameterNotAllowed, command_.headerText};
}

const scpi::Parameter& CommandContext::parameter(size_t index) const {
  if (index >= command_.parameters.size())
    throw scpi::ScpiError{scpi::errc::kMissingParameter, command_.headerText};
  return command_.parameters[index];
}

CommandTable::CommandTable() {
  addCommonCommands(*this);
  addGeneratorCommands(*this);
  addMemoryCommands(*this);
  addRoutingCommands(*this);
  addAnalyzerCommands(*this);
  addAnalyzerMeasureCommands(*this);
  addSimulationCommands(*this);
  addFastPowerCommands(*this);
  addGatedSpectrumCommands(*this);
}

void CommandTable::add(std::string_view pattern, SetHandler set, QueryHandler query) {
  entries_.push_back(CommandEntry{scpi::HeaderPattern(pattern), std::move(set), std::move(query), false});
}

void CommandTable::addControl(std::string_view pattern, SetHandler set, QueryHandler query) {
  entries_.push_back(CommandEntry{scpi::HeaderPattern(pattern), std::move(set), std::move(query), true});
}

std::optional<ResolvedCommand> CommandTable::find(const scpi::Command& command,
                                                  const std::vector<scpi::Mnemonic>& header) const {
  for (const auto& entry : entries_) {
    if (auto suffixes = entry.pattern.match(command.common, header)) {
      return ResolvedCommand{&entry, std::move(*suffixes), header};
    }
  }
  return std::nullopt;
}

std::optional<ResolvedCommand> CommandTable::resolve(const scpi::Command& command,
                                                     std::vector<scpi::Mnemonic>* path) const {
  if (command.common) return find(command, command.header);
  std::optional<ResolvedCommand> found;
  if (!command.absolute && !path->empty()) {
    std::vector<scpi::Mnemonic> relative = *path;
    relative.insert(relative.end(), command.header.begin(), command.header.end());
    found = find(command, relative);
  }
  if (!found) found = find(command, command.header);
  if (found) path->assign(found->header.begin(), found->header.end() - 1);
  return found;
}

}  // namespace tevra::sim
