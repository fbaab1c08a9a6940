// The RF output and the arbitrary waveform player.
#include <string>

#include "sim/instrument/command_helpers.h"
#include "sim/instrument/instrument.h"

namespace tevra::sim {
namespace {

Generator& gen(CommandContext& c) {
  return c.instrument.generator();
}

void addOutputCommands(CommandTable& table) {
  addBooleanSetting(
      table, "OUTPut[:STATe]", [](CommandContext& c, bool on) { gen(c).setOutput(on); },
      [](CommandContext& c) { return gen(c).output(); });
  addBooleanSetting(
      table, "OUTPut:MODulation[:STATe]", [](CommandContext& c, bool on) { gen(c).setModulation(on); },
      [](CommandContext& c) { return gen(c).modulation(); });
  addRealSetting(
      table, "[SOURce]:POWer[:LEVel][:IMMediate][:AMPLitude]", scpi::kPowerUnits,
      [](CommandContext& c, double dbm) { gen(c).setLevelDbm(dbm); },
      [](CommandContext& c) { return gen(c).levelDbm(); });
  for (const char* pattern : {"[SOURce]:FREQuency[:FIXed]", "[SOURce]:FREQuency:CW"}) {
    addRealSetting(
        table, pattern, scpi::kFrequencyUnits,
        [](CommandContext& c, double hz) { gen(c).setFrequencyHz(hz); },
        [](CommandContext& c) { return gen(c).frequencyHz(); });
  }
}

void addPlayerCommands(CommandTable& table) {
  addBooleanSetting(
      table, "[SOURce]:RADio:ARB[:STATe]", [](CommandContext& c, bool on) { gen(c).setArbState(on); },
      [](CommandContext& c) { return gen(c).arbState(); });
  addRealSetting(
      table, "[SOURce]:RADio:ARB:CLOCk:SRATe", scpi::kFrequencyUnits,
      [](CommandContext& c, double hz) { gen(c).setSampleRateHz(hz); },
      [](CommandContext& c) { return gen(c).sampleRateHz(); });
  table.add(
      "[SOURce]:RADio:ARB:TRIGger:TYPE",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        size_t choice = scpi::toChoice(c.parameter(0), {"CONTinuous", "SINGle"});
        gen(c).setTriggerType(choice == 0 ? TriggerType::kContinuous : TriggerType::kSingle);
      },
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        return std::string(gen(c).triggerType() == TriggerType::kContinuous ? "CONT" : "SING");
      });
  table.add(
      "[SOURce]:RADio:ARB:TRIGger[:SOURce]",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        size_t choice = scpi::toChoice(c.parameter(0), {"IMMediate", "BUS", "EXTernal"});
        gen(c).setTriggerSource(static_cast<TriggerSource>(choice));
      },
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        static constexpr const char* kNames[] = {"IMM", "BUS", "EXT"};
        return std::string(kNames[static_cast<size_t>(gen(c).triggerSource())]);
      });
  table.add(
      "[SOURce]:RADio:ARB:TRIGger:SOFT",
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        gen(c).softTrigger();
      },
      nullptr);
  table.add(
      "[SOURce]:RADio:ARB:WAVEform",
      [](CommandContext& c) {
        c.expectParameters(1, 1);
        gen(c).selectWaveform(scpi::toText(c.parameter(0)));
      },
      [](CommandContext& c) {
        c.expectParameters(0, 0);
        return scpi::formatString(gen(c).waveform());
      });
}

}  // namespace

void addGeneratorCommands(CommandTable& table) {
  addOutputCommands(table);
  addPlayerCommands(table);
}

}  // namespace tevra::sim
