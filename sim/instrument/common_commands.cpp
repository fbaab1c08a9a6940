// IEEE 488.2 common commands, the error queue and the operation status.
#include <string>

#include "sim/instrument/command_table.h"
#include "sim/instrument/identity.h"
#include "sim/instrument/instrument.h"
#include "sim/scpi/parameters.h"

namespace tevra::sim {

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
