// The simulated instrument's state as SCPI sequences change it, read back over SCPI: the generator, the
// analyzer's settings, the self-test and the free memory.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "sim/instrument/generator_memory.h"
#include "sim/instrument/sequence_file.h"
#include "tests/integration/sim_session.h"

namespace tevra::test {
namespace {

using SimulatorTest = SimFixture;

void writeAll(SimSession& session, const std::vector<std::string>& commands) {
  for (const auto& command : commands) ASSERT_EQ(session.write(command), VI_SUCCESS) << command;
}

// The selection of a sequence for a single run on the bus trigger at 40 MHz.
std::vector<std::string> selectSequence(const std::string& name) {
  return {":SOURce:RADio:ARB:CLOCK:SRATe 40MHz", ":SOURce:RADio:ARB:TRIGger:TYPE SINGle",
          ":SOURce:RADio:ARB:STATe ON", ":SOURce:RADio:ARB:TRIGger BUS",
          ":SOURce:RADio:ARB:WAVEform \"SEQ:" + name + "\""};
}

TEST_F(SimulatorTest, ASingleRunLastsOnePassOfTheSequence) {
  writeAll(*session_, selectSequence("CW_TONE"));
  EXPECT_EQ(session_->query("STATus:OPERation:COND?"), "0");
  // One pass of the 4000-sample tone at 40 MHz: 100 us on the held clock.
  writeAll(*session_, {":SIMulation:CLOCk:MODE MANual", ":OUTput ON", ":SOURce:RADio:ARB:TRIGger:SOFT"});
  EXPECT_EQ(session_->query("STATus:OPERation:COND?"), "8");
  writeAll(*session_, {":SIMulation:CLOCk:ADVance 99us"});
  EXPECT_EQ(session_->query("STATus:OPERation:CONDition?"), "8");
  writeAll(*session_, {":SIMulation:CLOCk:ADVance 2us"});
  EXPECT_EQ(session_->query("STATus:OPERation:COND?"), "0");
  EXPECT_EQ(session_->query("SYST:ERR?"), "0,\"No error\"");
}

TEST_F(SimulatorTest, AnUnknownSequenceIsRefusedAndKeepsTheSelection) {
  writeAll(*session_, selectSequence("CW_TONE"));
  writeAll(*session_, selectSequence("NO_SUCH"));
  EXPECT_EQ(session_->query("SYST:ERR?"), "-256,\"File name not found;NO_SUCH.seq\"");
  EXPECT_EQ(session_->query("SYST:ERR?"), "0,\"No error\"");
  EXPECT_EQ(session_->query(":SOUR:RAD:ARB:WAVE?"), "\"SEQ:CW_TONE\"");
}

TEST_F(SimulatorTest, HeadersAreReadRelativeToThePath) {
  struct Case {
    const char* command;
    const char* frequency;
  } cases[] = {
      {":SOUR:POW -20;FREQ 1e9", "1.000000000E+09"},
      {":SOUR:POW -20;:FREQ 2e9", "2.000000000E+09"},
      {":SOUR:POW -20;SYST:ERR?;FREQ 3e9", "3.000000000E+09"},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(session_->write(c.command), VI_SUCCESS);
    if (std::string(c.command).find('?') != std::string::npos) session_->read();
    EXPECT_EQ(session_->query(":SOURce:FREQuency?"), c.frequency) << c.command;
  }
  EXPECT_EQ(session_->query("SYST:ERR?"), "0,\"No error\"");
}

TEST_F(SimulatorTest, ResetAndClearInOneMessage) {
  writeAll(*session_, {":OUTP ON", "FOO", "*OPC"});
  EXPECT_EQ(session_->query("*ESR?"), "161");
  writeAll(*session_, {"FOO", "*RST;*CLS"});
  EXPECT_EQ(session_->query(":OUTP?;*ESR?;SYST:ERR?"), "0;0;0,\"No error\"");
  writeAll(*session_, {"FOO", "*ESE 300", "*SRE 255"});
  EXPECT_EQ(session_->query("SYST:ERR:COUN?;*ESE?;*SRE?;*STB?;SYST:VERS?"), "2;0;191;68;1999.0");
  EXPECT_EQ(session_->query("SYST:ERR:ALL?;SYST:ERR:ALL?"),
            "-113,\"Undefined header;FOO\",-222,\"Data out of range\";0,\"No error\"");
}

TEST_F(SimulatorTest, RoutingAndTtlSettingsSurviveAResetAndRefuseOutOfRangeValues) {
  writeAll(*session_, {"DIAG:HW:MB:MUX:TFW 17,HIGH", "DIAGnostic:HW:SCAR:LCOMpensate:COUPle 0",
                       "ROUTe:PORT:PRIMary 3", "ROUT:PORT:REF2 ON", "ROUT:PORT:REF4:STAT 1"});
  EXPECT_EQ(session_->query("DIAG:HW:SCAR:LCOM:COUP?"), "0");
  EXPECT_EQ(session_->query("ROUT:PORT:PRIM?;REF1?;REF2?;REF3?;REF4?"), "3;0;1;0;1");
  writeAll(*session_, {"*RST", "ROUT:PORT:PRIM 5", "DIAG:HW:MB:MUX:TFW 32,HIGH"});
  EXPECT_EQ(session_->query("SYST:ERR?"), "-222,\"Data out of range\"");
  EXPECT_EQ(session_->query("SYST:ERR?"), "-222,\"Data out of range;TTL line 32\"");
  EXPECT_EQ(session_->query("ROUT:PORT:PRIM?;:DIAG:HW:MB:MUX:TFW? 17"), "3;HIGH");
}

TEST_F(SimulatorTest, DirectCommandsWhileTheServerOwnsTheIoAreCounted) {
  auto server = openSession();
  writeAll(*server, {":SIMulation:IO:SERVer"});
  EXPECT_EQ(server->query(":SIMulation:IO:SERVer?;OWNer?"), "1;SERVER");
  EXPECT_EQ(session_->query(":SIMulation:IO:SERVer?"), "0");

  writeAll(*session_, {":OUTput OFF", ":OUTput:MODulation:STATe OFF;*CLS"});
  EXPECT_EQ(session_->query(":SIMulation:IO:CONFlicts?"), "3");
  // Each connection's commands run in order, those of two connections in any order: a reply on the server
  // connection shows that its Suspend has run.
  EXPECT_EQ(server->query(":SIMulation:IO:SUSPend;OWNer?"), "DIRECT");
  writeAll(*session_, {":OUTput OFF"});
  EXPECT_EQ(session_->query(":SIMulation:IO:CONFlicts?;OWNer?"), "3;DIRECT");
  EXPECT_EQ(server->query("*IDN?").substr(0, 7), "Bextora");
  writeAll(*session_, {":OUTput OFF"});
  EXPECT_EQ(session_->query(":SIMulation:IO:CONFlicts?"), "4");

  writeAll(*session_, {":SIMulation:IO:SUSPend"});
  EXPECT_EQ(session_->query("SYST:ERR?"), "-221,\"Settings conflict;not the server connection\"");
  EXPECT_EQ(server->query(":SIMulation:IO:CLAim;OWNer?"), "SERVER");
  writeAll(*session_, {":SIMulation:IO:CONFlicts:RESet"});
  server.reset();
  std::string owner = "SERVER";
  for (int i = 0; i < 400 && owner != "DIRECT"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    owner = session_->query(":SIMulation:IO:OWNer?");
  }
  writeAll(*session_, {":OUTput OFF"});
  EXPECT_EQ(session_->query(":SIMulation:IO:CONFlicts?;OWNer?"), "0;DIRECT");
}

TEST_F(SimulatorTest, InjectedErrorsAreQueuedAndSetTheirStatusBits) {
  writeAll(*session_,
           {":SIMulation:FAULt:ERRor -310,\"System error;fan\"", ":SIMulation:FAULt:ERRor 17,\"lamp\""});
  EXPECT_EQ(session_->query("SYST:ERR?;SYST:ERR?;*ESR?"), "-310,\"System error;fan\";17,\"lamp\";136");
}

TEST_F(SimulatorTest, GeneratorMemoryOutlivesTheSimulator) {
  std::string segment("\x00\x10\xff\xf0\x0a\x0a\x00\x01", 8);
  std::string sequence = sim::encodeSingleEntrySequence({"mine", 3});
  writeAll(*session_, {"MMEM:DATA \"mine.wf1\",#18" + segment,
                       "MMEM:DATA \"MINE.seq\",#3" + std::to_string(sequence.size()) + sequence,
                       "MMEM:DATA \"../escape.wf1\",#14abcd", "MMEM:DATA \"odd.wf1\",#13abc"});
  EXPECT_EQ(session_->query("SYST:ERR?"), "-257,\"File name error;../escape.wf1\"");
  EXPECT_EQ(session_->query("SYST:ERR?"),
            "-224,\"Illegal parameter value;segment size is not a whole number of IQ samples\"");
  EXPECT_EQ(session_->query("SYST:ERR?"), "0,\"No error\"");

  // A file too large for what the storage can take (a file-size limit) is refused while it arrives, and
  // the old one is kept; no part of it is left behind.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 1u << 20;
  setrlimit(RLIMIT_FSIZE, &small);
  const std::string big(2u << 20, 'x');
  writeAll(*session_, {"MMEM:DATA \"mine.wf1\",#7" + std::to_string(big.size()) + big});
  const std::string error = session_->query("SYST:ERR?");
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(error, "-250,\"Mass storage error;write failed\"");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(storage_.path()), {}), 4);

  restartSimulator();
  EXPECT_EQ(session_->query("MMEM:CAT?"), "\"CW_TONE.seq\",\"CW_TONE.wf1\",\"MINE.seq\",\"mine.wf1\"");
  EXPECT_EQ(session_->query("MMEM:DATA? \"MINE.WF1\""), "#18" + segment);
  writeAll(*session_, selectSequence("mine"));
  EXPECT_EQ(session_->query("SYST:ERR?"), "0,\"No error\"");
  writeAll(*session_, {"MMEM:DEL \"mine.wf1\"", ":SOUR:RAD:ARB:WAVE \"SEQ:mine\""});
  EXPECT_EQ(session_->query("SYST:ERR?"), "-256,\"File name not found;mine.wf1\"");
}

TEST_F(SimulatorTest, SettingsTakeTheirUnitsKeepTheirRangesAndReset) {
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

TEST_F(SimulatorTest, SelfTestPassesAndFreeMemoryShrinksWithStoredFiles) {
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
