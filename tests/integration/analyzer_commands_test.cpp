// The simulated analyzer's settings, the self-test and the free memory over SCPI.
#include <gtest/gtest.h>

#include <string>

#include "sim/instrument/generator_memory.h"
#include "tests/integration/sim_session.h"

namespace tevra::test {
namespace {

using AnalyzerCommandsTest = SimFixture;

TEST_F(AnalyzerCommandsTest, SettingsTakeTheirUnitsKeepTheirRangesAndReset) {
  struct Case {
    const char* command;
    const char* query;
    const char* reply;
    const char* error;
  } cases[] = {
      {"SENSe:FREQuency 5.18GHz", "SENS:FREQ:CENT?", "5.180000000E+09", "0,\"No error\""},
      {"SENS:FREQ 0.5MHz", "SENS:FREQ?", "5.180000000E+09", "-222,\"Data out of range\""},
      {"SENSe:POWer:RF:RANGe -20", "SENS:POW:RANG?", "-2.000000000E+01", "0,\"No error\""},
      {"SENS:POW:RANG 31", "SENS:POW:RANG?", "-2.000000000E+01", "-222,\"Data out of range\""},
      {"SENSe:ACQuisition:TIME 2ms", "SENS:ACQ:TIME?", "2.000000000E-03", "0,\"No error\""},
      {"TRIGger:SEQuence:SOURce EXTernal", "TRIG:SOUR?", "EXT", "0,\"No error\""},
      {"TRIG:SOUR VIDeo", "TRIG:SOUR?", "EXT", "-141,\"Invalid character data;VIDEO\""},
      {"TRIG:LEVel 50mV", "TRIG:LEV?", "5.000000000E-02", "0,\"No error\""},
      {"TRIG:LEV -1", "TRIG:LEV?", "5.000000000E-02", "-222,\"Data out of range\""},
      {"TRIG:DELay -20us", "TRIG:DEL?", "-2.000000000E-05", "0,\"No error\""},
      {"TRIG:HOLDoff 2", "TRIG:HOLD?", "1.000000000E-06", "-222,\"Data out of range\""},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(session_->write(c.command), VI_SUCCESS);
    EXPECT_EQ(session_->query(c.query), c.reply) << c.command;
    EXPECT_EQ(session_->query("SYST:ERR?"), c.error) << c.command;
  }
  ASSERT_EQ(session_->write("*RST"), VI_SUCCESS);
  EXPECT_EQ(session_->query("SENS:FREQ?;SENS:POW:RANG?;SENS:ACQ:TIME?;TRIG:SOUR?;TRIG:LEV?;TRIG:DEL?"),
            "2.412000000E+09;0.000000000E+00;9.700000000E-04;BURS;2.000000000E-02;0.000000000E+00");
}

TEST_F(AnalyzerCommandsTest, SelfTestPassesAndFreeMemoryShrinksWithStoredFiles) {
  EXPECT_EQ(session_->query("*TST?"), "0");
  const int64_t before = std::stoll(session_->query("MMEMory:FREE?"));
  EXPECT_LT(before, static_cast<int64_t>(sim::GeneratorMemory::kCapacityBytes))
      << "the seeded tone is stored";
  ASSERT_EQ(session_->write("MMEM:DATA \"extra.wf1\",#18abcdefgh"), VI_SUCCESS);
  EXPECT_EQ(std::stoll(session_->query("MMEM:FREE?")), before - 8);
  ASSERT_EQ(session_->write("MMEM:DEL \"extra.wf1\""), VI_SUCCESS);
  EXPECT_EQ(std::stoll(session_->query("MMEM:FREE?")), before);
}

}  // namespace
}  // namespace tevra::test
