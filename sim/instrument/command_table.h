// The command tree of the simulated instrument: each header pattern with what its set form and its query
// form do. Headers without a leading ':' after ';' resolve against the path of the command before them,
// then against the root. The families of commands register themselves from their own files.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/scpi/header_pattern.h"
#include "sim/scpi/scpi_parser.h"

namespace tevra::sim {

class Instrument;
struct Connection;

class CommandContext {
 public:
  CommandContext(Instrument& instrument, Connection& connection, const scpi::Command& command,
                 const std::vector<int>& suffixes)
      : instrument(instrument), connection(connection), command_(command), suffixes_(suffixes) {}

  // -109 "Missing parameter" below min, -108 "Parameter not allowed" above max.
  void expectParameters(size_t min, size_t max) const;
  const scpi::Parameter& parameter(size_t index) const;
  size_t parameterCount() const { return command_.parameters.size(); }
  // The numeric suffix of the pattern's index-th '#' node.
  int suffix(size_t index) const { return suffixes_.at(index); }

  Instrument& instrument;
  Connection& connection;

 private:
  const scpi::Command& command_;
  const std::vector<int>& suffixes_;
};

using SetHandler = std::function<void(CommandContext&)>;
using QueryHandler = std::function<std::string(CommandContext&)>;

struct CommandEntry {
  scpi::HeaderPattern pattern;
  SetHandler set;        // empty for query-only headers
  QueryHandler query;    // empty for commands without a query form
  bool control = false;  // a simulation control command, not an instrument command
};

struct ResolvedCommand {
  const CommandEntry* entry = nullptr;
  std::vector<int> suffixes;
  std::vector<scpi::Mnemonic> header;  // the full header it matched as
};

class CommandTable {
 public:
  CommandTable();

  void add(std::string_view pattern, SetHandler set, QueryHandler query);
  void addControl(std::string_view pattern, SetHandler set, QueryHandler query);

  // The entry for a command, or nothing (-113). path is the header path in force, updated after a match.
  std::optional<ResolvedCommand> resolve(const scpi::Command& command,
                                         std::vector<scpi::Mnemonic>* path) const;

 private:
  std::optional<ResolvedCommand> find(const scpi::Command& command,
                                      const std::vector<scpi::Mnemonic>& header) const;

  std::vector<CommandEntry> entries_;
};

void addAnalyzerCommands(CommandTable& table);
void addAnalyzerMeasureCommands(CommandTable& table);
void addCommonCommands(CommandTable& table);
void addGeneratorCommands(CommandTable& table);
void addMemoryCommands(CommandTable& table);
void addRoutingCommands(CommandTable& table);
void addSimulationCommands(CommandTable& table);
// The hardware-level acquisition and average power of the fast power path.
void addFastPowerCommands(CommandTable& table);
void addGatedSpectrumCommands(CommandTable& table);

}  // namespace tevra::sim
