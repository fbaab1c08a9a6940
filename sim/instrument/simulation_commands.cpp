// Control commands of the simulator itself (":SIMulation:..."): I/O ownership, the clock, fault
// injection. They never count as instrument commands and their replies are never faulted.
#include <chrono>
#include <string>

#include "sim/instrument/command_table.h"
#include "sim/instrument/instrument.h"
#include "sim/scpi/parameters.h"

namespace tevra::sim {
namespace {

using scpi::ScpiError;
namespace errc = scpi::errc;

constexpr double kMaxDelayMs = 600000.0;
constexpr int kMaxPieces = 64;
constexpr int64_t kMaxCount = 1000000000;
constexpr double kMaxAdvanceSeconds = 1e6;

using FaultScope = FaultSet& (*)(CommandContext&);

FaultSet& connectionFaults(CommandContext& c) {
  return c.connection.faults;
}
FaultSet& globalFaults(CommandContext& c) {
  return c.instrument.faults().global();
}

// The events a fault applies to, from the parameter at index: a count, or INFinity for every event until
// reset; 1 when it is not given.
void setEvents(Fault& fault, const CommandContext& c, size_t index) {
  fault.persistent = false;
  fault.remaining = 1;
  if (index >= c.parameterCount()) return;
  const scpi::Parameter& p = c.parameter(index);
  if (p.kind == scpi::ParameterKind::kCharacter) {
    scpi::toChoice(p, {"INFinity"});
    fault.persistent = true;
    fault.remaining = 0;
    return;
  }
  int64_t count = scpi::toInteger(p);
  if (count < 0 || count > kMaxCount) throw ScpiError{errc::kDataOutOfRange, {}};
  fault.remaining = count;
}

// A fault with a value, turned off by a value of `off`.
void setValuedFault(Fault& fault, const CommandContext& c, int value, int off) {
  setEvents(fault, c, 1);
  fault.value = value;
  if (value == off) fault = Fault{};
}

void addFaultCommands(CommandTable& table, const std::string& prefix, FaultScope scope) {
  table.addControl(
      prefix + ":DELay",
      [scope](CommandContext& c) {
        c.expectParameters(1, 2);
        double ms = scpi::toNumber(c.parameter(0), scpi::kMillisecondUnits);
        if (ms < 0 || ms > kMaxDelayMs) throw ScpiError{errc::kDataOutOfRange, {}};
        setValuedFault(scope(c).delay, c, static_cast<int>(ms), 0);
      },
      nullptr);
  table.addControl(
      prefix + ":SPLit",
      [scope](CommandContext& c) {
        c.expectParameters(1, 2);
        int pieces = scpi::toInt(c.parameter(0));
        if (pieces < 1 || pieces > kMaxPieces) throw ScpiError{errc::kDataOutOfRange, {}};
        setValuedFault(scope(c).split, c, pieces, 1);
      },
      nullptr);
  table.addControl(
      prefix + ":MISSing",
      [scope](CommandContext& c) {
        c.expectParameters(0, 1);
        setEvents(scope(c).missing, c, 0);
      },
      nullptr);
  table.addControl(
      prefix + ":CLOSe",
      [scope](CommandContext& c) {
        c.expectParameters(0, 1);
        setEvents(scope(c).close, c, 0);
      },
      nullptr);
  table.addControl(
      prefix + ":RESet",
      [scope](CommandContext& c) {
        c.expectParameters(0, 0);
        scope(c) = FaultSet{};
      },
      nullptr);
}

void requireServer(CommandContext& c) {
  if (!c.instrument.io().isServer(c.connection.id)) {
    throw ScpiError{errc::kSettingsConflict, "not the server connection"};
  }
}

void addIoCommands(CommandTable& table) {
  table.addControl(
      "SIMulation:IO:SERVer", [](CommandContext& c) { c.instrument.io().declareServer(c.connection.id); },
      [](CommandContext& c) { return scpi::formatBoolean(c.instrument.io().isServer(c.connection.id)); });
  table.addControl(
      "SIMulation:IO:SUSPend",
      [](CommandContext& c) {
        requireServer(c);
        c.instrument.io().suspend();
      },
      nullptr);
  table.addControl(
      "SIMulation:IO:CLAim",
      [](CommandContext& c) {
        requireServer(c);
        c.instrument.io().claim();
      },
      nullptr);
  table.addControl("SIMulation:IO:OWNer", nullptr, [](CommandContext& c) {
    return std::string(c.instrument.io().serverOwns() ? "SERVER" : "DIRECT");
  });
  table.addControl("SIMulation:IO:CONFlicts", nullptr, [](CommandContext& c) {
    return scpi::formatInteger(static_cast<int64_t>(c.instrument.io().conflicts()));
  });
  table.addControl(
      "SIMulation:IO:CONFlicts:RESet", [](CommandContext& c) { c.instrument.io().resetConflicts(); },
      nullptr);
}

void addClockCommands(CommandTable& table) {
  table.addControl(
      "SIMulation:CLOCk:MODE",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        if (scpi::toChoice(c.parameter(0), {"REAL", "MANual"}) == 0) {
          c.instrument.clock().release();
        } else {
          c.instrument.clock().hold();
        }
      },
      [](CommandContext& c) { return std::string(c.instrument.clock().manual() ? "MAN" : "REAL"); });
  table.addControl(
      "SIMulation:CLOCk:ADVance",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        double seconds = scpi::toNumber(c.parameter(0), scpi::kTimeUnits);
        if (seconds < 0 || seconds > kMaxAdvanceSeconds) throw ScpiError{errc::kDataOutOfRange, {}};
        if (!c.instrument.clock().manual()) throw ScpiError{errc::kSettingsConflict, "clock is not manual"};
        c.instrument.clock().advance(
            std::chrono::duration_cast<SimClock::Clock::duration>(std::chrono::duration<double>(seconds)));
      },
      nullptr);
}

}  // namespace

void addSimulationCommands(CommandTable& table) {
  addFaultCommands(table, "SIMulation:FAULt[:CONNection]", connectionFaults);
  addFaultCommands(table, "SIMulation:FAULt:GLOBal", globalFaults);
  table.addControl(
      "SIMulation:FAULt:ERRor",
      [](CommandContext& c) {
        c.expectParameters(2, 2);
        int code = scpi::toInt(c.parameter(0));
        if (code == 0) throw ScpiError{errc::kDataOutOfRange, "error number 0"};
        c.instrument.errors().pushEntry(ErrorEntry{code, scpi::toText(c.parameter(1))});
        c.instrument.events().recordError(code);
      },
      nullptr);
  addIoCommands(table);
  addClockCommands(table);
}

}  // namespace tevra::sim
