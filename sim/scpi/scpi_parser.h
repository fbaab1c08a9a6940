// The syntax of SCPI program messages (IEEE 488.2): commands separated by ';', each a header (a common
// command such as "*IDN?", or mnemonics separated by ':' with an optional leading ':') and parameters
// separated by ','. Headers are kept as written; resolving them against the command tree is the
// command table's part.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/scpi/block_spool.h"
#include "sim/scpi/scpi_error.h"

namespace tevra::sim::scpi {

struct Mnemonic {
  std::string name;           // upper case, without the numeric suffix
  std::optional<int> suffix;  // "REFerence2" -> 2
};

enum class ParameterKind { kNumeric, kCharacter, kString, kBlock };

struct Parameter {
  ParameterKind kind = ParameterKind::kNumeric;
  std::string text;        // numeric: the number as written; character: the word in upper case;
                           // string: the content without quotes
  std::string_view block;  // block: the payload bytes, within the parsed message (not copied: a block may
                           // be a file of 64 MiB)
  std::shared_ptr<BlockSpool> spool;  // block: holds the payload instead, when it was spooled
  double number = 0;                  // numeric only
  std::string unit;                   // numeric only: the suffix in upper case ("MHZ"), empty when none
};

struct Command {
  bool common = false;    // "*IDN?": header holds the one mnemonic "IDN"
  bool absolute = false;  // the header began with ':'
  bool query = false;
  std::vector<Mnemonic> header;
  std::vector<Parameter> parameters;
  std::string headerText;  // as written, for error details
};

struct ParsedMessage {
  std::vector<Command> commands;   // the commands up to the first malformed one
  std::optional<ScpiError> error;  // what was wrong with the first malformed command
};

// A message without its terminator. Empty commands ("*RST;;*CLS", a trailing ';') are skipped. A block
// whose payload was spooled is found in blocks by the offset where its payload is missing.
ParsedMessage parseMessage(std::string_view message, const SpooledBlocks& blocks = {});

}  // namespace tevra::sim::scpi
