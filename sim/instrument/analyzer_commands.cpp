// The signal analyzer's acquisition settings.
#include <string>

#include "sim/instrument/command_helpers.h"
#include "sim/instrument/instrument.h"

namespace tevra::sim {
namespace {

Analyzer& analyzer(CommandContext& c) {
  return c.instrument.analyzer();
}

void addTriggerSource(CommandTable& table) {
  table.add(
      "TRIGger[:SEQuence]:SOURce",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        size_t choice = scpi::toChoice(c.parameter(0), {"IMMediate", "BURSt", "EXTernal"});
        analyzer(c).setTrigger(static_cast<AnalyzerTrigger>(choice));
      },
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        static constexpr const char* kNames[] = {"IMM", "BURS", "EXT"};
        return std::string(kNames[static_cast<size_t>(analyzer(c).trigger())]);
      });
}

}  // namespace

void addAnalyzerCommands(CommandTable& table) {
  addRealSetting(
      table, "SENSe:FREQuency[:CENTer]", scpi::kFrequencyUnits,
      [](CommandContext& c, double hz) { analyzer(c).setFrequencyHz(hz); },
      [](CommandContext& c) { return analyzer(c).frequencyHz(); });
  addRealSetting(
      table, "SENSe:POWer[:RF]:RANGe", scpi::kPowerUnits,
      [](CommandContext& c, double dbm) { analyzer(c).setPowerRangeDbm(dbm); },
      [](CommandContext& c) { return analyzer(c).powerRangeDbm(); });
  addRealSetting(
      table, "SENSe:ACQuisition:TIME", scpi::kTimeUnits,
      [](CommandContext& c, double seconds) { analyzer(c).setAcquisitionTimeS(seconds); },
      [](CommandContext& c) { return analyzer(c).acquisitionTimeS(); });
  addTriggerSource(table);
  addRealSetting(
      table, "TRIGger[:SEQuence]:LEVel", scpi::kVoltageUnits,
      [](CommandContext& c, double volts) { analyzer(c).setTriggerLevelV(volts); },
      [](CommandContext& c) { return analyzer(c).triggerLevelV(); });
  addRealSetting(
      table, "TRIGger[:SEQuence]:DELay", scpi::kTimeUnits,
      [](CommandContext& c, double seconds) { analyzer(c).setTriggerDelayS(seconds); },
      [](CommandContext& c) { return analyzer(c).triggerDelayS(); });
  addRealSetting(
      table, "TRIGger[:SEQuence]:HOLDoff", scpi::kTimeUnits,
      [](CommandContext& c, double seconds) { analyzer(c).setTriggerHoldoffS(seconds); },
      [](CommandContext& c) { return analyzer(c).triggerHoldoffS(); });
}

}  // namespace tevra::sim
