// RF port routing, the TTL output lines and the sidecar loss compensation.
#include <string>

#include "sim/instrument/command_helpers.h"
#include "sim/instrument/instrument.h"

namespace tevra::sim {
namespace {

Routing& routing(CommandContext& c) {
  return c.instrument.routing();
}

}  // namespace

void addRoutingCommands(CommandTable& table) {
  table.add(
      "ROUTe:PORT:PRIMary",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        routing(c).setPrimaryPort(scpi::toInt(c.parameter(0)));
      },
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        return scpi::formatInteger(routing(c).primaryPort());
      });
  addBooleanSetting(
      table, "ROUTe:PORT:REFerence#[:STATe]",
      [](CommandContext& c, bool on) { routing(c).setReferencePort(c.suffix(0), on); },
      [](CommandContext& c) { return routing(c).referencePort(c.suffix(0)); });
  table.add(
      "DIAGnostic:HW:MB:MUX:TFW",
      [](CommandContext& c) {
        c.expectParameters(2, 2);
        int line = scpi::toInt(c.parameter(0));
        bool high = scpi::toChoice(c.parameter(1), {"LOW", "HIGH"}) == 1;
        routing(c).setTtlLine(line, high);
      },
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        return std::string(routing(c).ttlLine(scpi::toInt(c.parameter(0))) ? "HIGH" : "LOW");
      });
  addBooleanSetting(
      table, "DIAGnostic:HW:SCAR:LCOMpensate:COUPle",
      [](CommandContext& c, bool on) { routing(c).setSidecarCompensation(on); },
      [](CommandContext& c) { return routing(c).sidecarCompensation(); });
}

}  // namespace tevra::sim
