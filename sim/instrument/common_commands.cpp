// IEEE 488.2 common commands, the error queue and the operation status.
#include <string>

#include "sim/instrument/command_table.h"
#include "sim/instrument/identity.h"
#include "sim/instrument/instrument.h"
#include "sim/scpi/parameters.h"
#include "sim/scpi/scpi_error.h"

namespace tevra::sim {
namespace {

// The SCPI version the command set follows.
constexpr const char* kScpiVersion = "1999.0";

// An enable register's value: 0 to 255, -222 outside.
uint8_t registerValue(CommandContext& c) {
  c.expectParameters(1, 1);
  int64_t value = scpi::toInteger(c.parameter(0));
  if (value < 0 || value > 0xFF) throw scpi::ScpiError{scpi::errc::kDataOutOfRange, {}};
  return static_cast<uint8_t>(value);
}

}  // namespace

void addCommonCommands(CommandTable& table) {
  table.add("*IDN", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return std::string(kManufacturer) + "," + kModel + "," + kSerialNumber + "," + kFirmwareRevision;
  });
  table.add(
      "*RST",
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        c.instrument.reset();
      },
      nullptr);
  // The simulated hardware has nothing that can fail a self-test.
  table.add("*TST", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return std::string("0");
  });
  table.add(
      "*CLS",
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        c.instrument.errors().clear();
        c.instrument.events().clear();
      },
      nullptr);
  // Every command completes before the next one runs, so the operation is always complete.
  table.add(
      "*OPC", [](CommandContext& c) { c.instrument.events().set(EventStatus::kOperationComplete); },
      [](CommandContext&) { return std::string("1"); });
  table.add(
      "*WAI", [](CommandContext&) {}, nullptr);
  table.add("*ESR", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return scpi::formatInteger(c.instrument.events().readAndClear());
  });
  table.add(
      "*ESE", [](CommandContext& c) { c.instrument.events().setEventEnable(registerValue(c)); },
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        return scpi::formatInteger(c.instrument.events().eventEnable());
      });
  table.add(
      "*SRE", [](CommandContext& c) { c.instrument.events().setServiceEnable(registerValue(c)); },
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        return scpi::formatInteger(c.instrument.events().serviceEnable());
      });
  // The reply of *STB? is not yet waiting when it is made, and earlier replies have been sent.
  table.add("*STB", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return scpi::formatInteger(c.instrument.events().statusByte(c.instrument.errors().size() > 0, false));
  });
  // The simulated instrument measures on its own; a trigger has nothing to start.
  table.add(
      "*TRG", [](CommandContext& c) { c.expectParameters(0, 0); }, nullptr);
  table.add("SYSTem:ERRor:COUNt", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return scpi::formatInteger(static_cast<int64_t>(c.instrument.errors().size()));
  });
  // Every entry, oldest first, or the "No error" entry when there is none.
  table.add("SYSTem:ERRor:ALL", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    std::string reply = formatErrorReply(c.instrument.errors().pop());
    while (c.instrument.errors().size() > 0) reply += "," + formatErrorReply(c.instrument.errors().pop());
    return reply;
  });
  table.add("SYSTem:VERSion", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return std::string(kScpiVersion);
  });
  table.add("SYSTem:ERRor[:NEXT]", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return formatErrorReply(c.instrument.errors().pop());
  });
  table.add("STATus:OPERation:CONDition", nullptr, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return scpi::formatInteger(c.instrument.operationCondition());
  });
}

}  // namespace tevra::sim
