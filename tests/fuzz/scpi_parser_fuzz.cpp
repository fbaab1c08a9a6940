// The simulator's SCPI parser on arbitrary bytes: message framing, parsing, resolution against the
// command tree and the parameter conversions that handlers use.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/visa/message_framer.h"
#include "sim/instrument/command_table.h"
#include "sim/scpi/parameters.h"
#include "sim/scpi/scpi_parser.h"

namespace {

void convertParameter(const tevra::sim::scpi::Parameter& p) {
  using namespace tevra::sim::scpi;
  try {
    toNumber(p, kFrequencyUnits);
  } catch (const ScpiError&) {
  }
  try {
    toInt(p);
  } catch (const ScpiError&) {
  }
  try {
    toBoolean(p);
  } catch (const ScpiError&) {
  }
  try {
    toChoice(p, {"CONTinuous", "SINGle", "INFinity"});
  } catch (const ScpiError&) {
  }
  if (p.kind == ParameterKind::kString) {
    formatBlock(p.text);
    formatString(p.text);
  }
  if (p.kind == ParameterKind::kBlock) formatBlock(toBlock(p));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tevra::sim::CommandTable table;
  const char* text = reinterpret_cast<const char*>(data);
  tevra::platform::visa::MessageFramer framer;
  for (size_t at = 0; at < size;) {
    size_t length = framer.scan(text + at, size - at);
    auto parsed = tevra::sim::scpi::parseMessage(std::string_view(text + at, length));
    std::vector<tevra::sim::scpi::Mnemonic> path;
    for (const auto& command : parsed.commands) {
      table.resolve(command, &path);
      for (const auto& parameter : command.parameters) convertParameter(parameter);
    }
    at += length;
  }
  return 0;
}
