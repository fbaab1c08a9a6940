// The hardware-level acquisition commands of the fast average power path: the front end's frequency and
// range, the acquisition time and trigger, and the average power and ADC overrange queries. Both queries
// capture the analyzer input and measure it with the analyzer's power measurement.
#include <string>

#include "sim/instrument/command_helpers.h"
#include "sim/instrument/instrument.h"

namespace tevra::sim {
namespace {

// The trigger level is given in dB relative to 316 mV.
constexpr double kTriggerReferenceV = 0.316;

Analyzer& analyzer(CommandContext& c) {
  return c.instrument.analyzer();
}

PowerResult capturePower(Instrument& instrument) {
  MeasurementModel& model = instrument.measurements();
  model.initiate(MeasurementKind::kPower, instrument.generator(), instrument.memory(), instrument.analyzer(),
                 instrument.clock().now());
  return model.power().value_or(PowerResult{});
}

// A set-only command whose numbers are checked but whose value the model does not use.
void addAcceptedNumbers(CommandTable& table, std::string_view pattern, size_t count) {
  table.add(pattern,
            [count](CommandContext& c) {
              c.expectParameters(count, count);
              for (size_t i = 0; i < count; ++i) scpi::toNumber(c.parameter(i));
            },
            {});
}

void addNumber(CommandTable& table, std::string_view pattern, void (*set)(CommandContext&, double)) {
  table.add(pattern,
            [set](CommandContext& c) {
              c.expectParameters(1, 1);
              set(c, scpi::toNumber(c.parameter(0)));
            },
            {});
}

void addQueries(CommandTable& table) {
  table.add("DIAGnostic:HW:DAP:READ:MISC:APOWer", {}, [](CommandContext& c) {
    c.expectParameters(1, 1);
    return scpi::formatReal(capturePower(c.instrument).averageDbm);
  });
  table.add("DIAGnostic:HW:DAP:ACQuisition:ADC:OVERrange", {}, [](CommandContext& c) {
    c.expectParameters(0, 0);
    return scpi::formatInteger(capturePower(c.instrument).overload ? 1 : 0);
  });
}

}  // namespace

void addFastPowerCommands(CommandTable& table) {
  addAcceptedNumbers(table, "DIAGnostic:HW:BANDwidth", 1);
  addAcceptedNumbers(table, "DIAGnostic:HW:DAP:DECimation", 1);
  addAcceptedNumbers(table, "DIAGnostic:HW:DAP:MEASure:RESULTS", 2);
  table.add("DIAGnostic:HW:DAP:MODE",
            [](CommandContext& c) {
              c.expectParameters(2, 2);
              scpi::toChoice(c.parameter(0), {"GENeric"});
              scpi::toChoice(c.parameter(1), {"FM"});
            },
            {});
  addNumber(table, "DIAGnostic:HW:FEA:FREQuency",
            [](CommandContext& c, double hz) { analyzer(c).setFrequencyHz(hz); });
  addNumber(table, "DIAGnostic:HW:FEA:RANGe",
            [](CommandContext& c, double dbm) { analyzer(c).setPowerRangeDbm(dbm); });
  addNumber(table, "DIAGnostic:HW:DAP:ACQuisition:TIME",
            [](CommandContext& c, double s) { analyzer(c).setAcquisitionTimeS(s); });
  table.add("DIAGnostic:HW:DAP:TRIGger:SOURce",
            [](CommandContext& c) {
              c.expectParameters(1, 1);
              const size_t choice = scpi::toChoice(c.parameter(0), {"IMMediate", "BURSt", "EXTernal"});
              analyzer(c).setTrigger(static_cast<AnalyzerTrigger>(choice));
            },
            {});
  addNumber(table, "DIAGnostic:HW:DAP:TRIGger:LEVel", [](CommandContext& c, double dB) {
    analyzer(c).setTriggerLevelV(kTriggerReferenceV * std::pow(10.0, dB / 20.0));
  });
  addNumber(table, "DIAGnostic:HW:DAP:TRIGger:DELay",
            [](CommandContext& c, double s) { analyzer(c).setTriggerDelayS(s); });
  addNumber(table, "DIAGnostic:HW:DAP:TRIGger:IDLE",
            [](CommandContext& c, double s) { analyzer(c).setTriggerHoldoffS(s); });
  addQueries(table);
}

}  // namespace tevra::sim
