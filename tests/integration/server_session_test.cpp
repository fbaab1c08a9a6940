// Whole sessions of the driver through the built measurement server module against the simulator on
// loopback: the exports as a test program calls them, their trace, and what the instrument ends up in, also
// on a station's worst day: an exit with the session open, a reply after the timeout, a killed instrument.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/server/server_failure.h"
#include "src/arb/direct_playback.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "tests/integration/server_fixture.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::test {
namespace {

// Nothing listens on the discard port, so a connection to it is refused at once.
constexpr const char* kNoInstrument = "TCPIP0::127.0.0.1::9::SOCKET";

class ServerSessionTest : public ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    trace_ = traceDir_.file("trace.txt");
    log::traceLog().Open(trace_.c_str(), 0, true);
    core::resetSettings();
    arb::setDirectPlayback(false);
    resource_ = simulator_->resource();
  }
  void TearDown() override {
    Tevra_Close();
    Tevra_CloseViSession();
    arb::setDirectPlayback(false);
    log::traceLog().Close();
    ServerFixture::TearDown();
  }

  // The trace from a mark on, with the session numbers and times that differ from run to run replaced.
  std::vector<std::string> lines(uint64_t from = 0) const {
    std::vector<std::string> result;
    for (auto& line : readTraceLines(trace_, from)) {
      // The resource manager is opened once per process, by whichever test comes first.
      if (!line.starts_with("OK, viOpenDefaultRM()")) result.push_back(withoutVaryingNumbers(line));
    }
    return result;
  }
  static std::string withoutVaryingNumbers(std::string line) {
    for (const std::string marker : {"session ", "used time: ", "InitViSession(), RetCode = "}) {
      const size_t at = line.find(marker);
      if (at == std::string::npos) continue;
      const size_t start = at + marker.size();
      size_t end = start;
      while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end]))) ++end;
      line.replace(start, end - start, "#");
    }
    return line;
  }
  bool traced(const std::string& line, uint64_t from = 0) const {
    const auto all = lines(from);
    return std::find(all.begin(), all.end(), line) != all.end();
  }
  // Whether an ERR line with this code ends with this text.
  bool tracedError(int32_t code, const std::string& ending) const {
    const std::string start = "ERR " + std::to_string(code) + ",";
    const auto all = lines();
    return std::any_of(all.begin(), all.end(), [&](const std::string& line) {
      return line.starts_with(start) && line.ends_with(ending);
    });
  }
  // The VISA timeout of the sessions that the driver opens while it lives.
  struct ScopedTimeout {
    explicit ScopedTimeout(const char* ms) { ::setenv("TEVRA_VISA_TIMEOUT_MS", ms, 1); }
    ~ScopedTimeout() { ::unsetenv("TEVRA_VISA_TIMEOUT_MS"); }
    ScopedTimeout(const ScopedTimeout&) = delete;
    ScopedTimeout& operator=(const ScopedTimeout&) = delete;
  };
  static std::string text(int32_t (*getter)(char*)) {
    char buffer[TEVRA_IDENTITY_TEXT_SIZE];
    EXPECT_EQ(getter(buffer), 0);
    return buffer;
  }
  static double property(const char* name) {
    double value = -99.0;
    EXPECT_EQ(Tevra_GetProperty(name, &value), 1) << name;
    return value;
  }

  TempDir traceDir_;
  std::string trace_;
  std::string resource_;
};

TEST_F(ServerSessionTest, WholeSessionWithoutDirectCommandsWhileTheServerOwnsTheIo) {
  control(":SIMulation:CLOCk:MODE MANual");
  ASSERT_EQ(Tevra_Init(resource_.c_str(), 0, 0, 0, 0), 0);
  EXPECT_EQ(text(Tevra_SerialNumber), "SIM7730-0042");
  EXPECT_EQ(text(Tevra_FirmwareRevision), "3.12.0-sim");
  EXPECT_EQ(text(Tevra_DriverVersion), "5.4.4.0");

  EXPECT_EQ(Tevra_SetProperty("CenterFrequency_MHz", 5180), 1);
  EXPECT_EQ(property("centerfrequency_mhz"), 5180.0);
  EXPECT_EQ(Tevra_SetProperty("TriggerStyle", 3), 1);
  EXPECT_EQ(property("TriggerStyle"), 3.0);
  EXPECT_EQ(Tevra_SetProperty("TrackPhase", 1), 1);
  EXPECT_EQ(property("TrackPhase"), -1.0) << "the server reports true as -1";

  EXPECT_EQ(Tevra_ARB_Select_Sequence("CW_TONE", -10, 2412, 40), 0);
  EXPECT_EQ(Tevra_ARB_SequencePlaying(1), 0);
  EXPECT_EQ(Tevra_ARB_TriggerSequence(), 0);
  EXPECT_EQ(Tevra_ARB_SequencePlaying(1), 1);
  EXPECT_EQ(Tevra_ARB_SourceActive(), 1);
  control(":SIMulation:CLOCk:ADVance 1ms");
  EXPECT_EQ(Tevra_ARB_SequencePlaying(1), 0) << "one pass of the sequence has ended";
  EXPECT_EQ(Tevra_ARB_Stop(0), 0);
  EXPECT_EQ(Tevra_ARB_SourceActive(), 0);

  EXPECT_EQ(Tevra_ARBEx_Select_Sequence("CW_TONE", -12, 1.5, 40), 0);
  EXPECT_EQ(Tevra_ARBEx_TriggerSequence(), 0);
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(1), 1);
  EXPECT_EQ(Tevra_TTL_Output(0x05), 0);
  // A round trip on the driver's session: the TTL writes before it have run.
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(0), 1);
  const std::pair<int, const char*> ttl[] = {{17, "HIGH"}, {18, "LOW"}, {19, "HIGH"}, {24, "LOW"}};
  for (const auto& [line, level] : ttl) {
    EXPECT_EQ(instrumentState("DIAG:HW:MB:MUX:TFW? " + std::to_string(line)), level) << line;
  }
  EXPECT_EQ(Tevra_TTL_SwitchChannel(3), 0) << "a pulse on line 24";
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(0), 1);
  EXPECT_EQ(instrumentState("DIAG:HW:MB:MUX:TFW? 24"), "LOW") << "the pulse has ended";
  EXPECT_EQ(instrumentState("DIAG:HW:MB:MUX:TFW? 17"), "LOW") << "every pulse sets all four lines";
  EXPECT_EQ(instrumentState(":SOUR:FREQ?"), "5.181500000E+09") << "offset from the server's frequency";
  EXPECT_EQ(instrumentState("SENSe:FREQuency?"), "5.180000000E+09");
  EXPECT_EQ(instrumentState("TRIGger:SOURce?"), "EXT");

  EXPECT_EQ(Tevra_Close(), 0);
  EXPECT_EQ(Tevra_Close(), 1);
  EXPECT_EQ(instrumentState(":OUTP?"), "0") << "Close stops the generator";
  EXPECT_EQ(conflicts(), "0");
}

// The measurements through the server read what the simulated analyzer measures on the generator's output.
TEST_F(ServerSessionTest, PowerAndCwOffsetAreMeasuredOnTheGeneratorsTone) {
  ASSERT_EQ(Tevra_Init(resource_.c_str(), 0, 0, 0, 0), 0);
  ASSERT_EQ(Tevra_SetProperty("CenterFrequency_MHz", 2412), 1);
  ASSERT_EQ(Tevra_ARB_CWTone(-20, 2412.25), 0);
  double dBm = 0;
  EXPECT_EQ(Tevra_Measure_AveragePower(&dBm), 1);
  EXPECT_NEAR(dBm, -20.0, 0.2);
  double hz = 0;
  EXPECT_EQ(Tevra_Measure_CWFrequencyOffset(&hz), 1);
  EXPECT_NEAR(hz, 250e3, 1e3);
}

// Up to the server's versions: the lines that differ from a session with a fake server and no instrument.
TEST_F(ServerSessionTest, InitTracesTheRegistrationTheVisaSessionAndTheVersions) {
  ASSERT_EQ(Tevra_Init(resource_.c_str(), 1, 0, 7, 8), 0);
  const std::vector<std::string> expected = {
      "*** Start of Log ***",
      "RegKey='{8F4A2C61-3B7E-4D95-A0C8-5E17B9D3F042}'",
      "Assembly = 'Bextora.Q7730.WLanTest, Version=5.4.4.0, Culture=neutral, PublicKeyToken=null'",
      "> Start Init(" + resource_ + ",1,0,7,8)",
      "> Start InitViSession(" + resource_ + ")",
      "OK, Q7730 viOpen() session #",
      "> End of InitViSession(), RetCode = #",
      "* used time: # ms *",
      "> Start ARB_Stop(1)",
      "> End of ARB_Stop(), RetCode = 0",
      "* used time: # ms *",
      "CreateInstance",
      "ActivateInstrument",
      "COM DriverVersion 5.4.4.0, Q7730 FirmwareRevision 3.12.0-sim",
  };
  const auto traced = lines();
  ASSERT_GE(traced.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(traced.begin(), traced.begin() + expected.size()), expected);
}

TEST_F(ServerSessionTest, InitTwiceClosesFirst) {
  ASSERT_EQ(Tevra_Init(resource_.c_str(), 0, 0, 0, 0), 0);
  const uint64_t mark = traceMark(trace_);
  ASSERT_EQ(Tevra_Init(resource_.c_str(), 0, 0, 0, 0), 0);
  const auto traced = lines(mark);
  ASSERT_GE(traced.size(), 6u);
  EXPECT_EQ(traced[0], "> Start Close()");
  EXPECT_EQ(traced[3], "> End of Close(), RetCode = 0");
  EXPECT_EQ(traced[5].rfind("RegKey=", 0), 0u) << traced[5];
  EXPECT_EQ(text(Tevra_SerialNumber), "SIM7730-0042");
  EXPECT_EQ(Tevra_Close(), 0);
}

TEST_F(ServerSessionTest, InitWithoutAnInstrumentFailsAndALaterInitWorks) {
  EXPECT_EQ(Tevra_Init(kNoInstrument, 0, 0, 0, 0), -838);
  EXPECT_EQ(Tevra_GetCOMLastError(), q7730::kIoFailed);
  EXPECT_TRUE(
      traced("ERR -838,L811,0x80040302,cannot connect to the Q7730 at 'TCPIP0::127.0.0.1::9::SOCKET': "
             "status 0xBFFF0011 (resource not found)"));
  EXPECT_EQ(Tevra_ARB_SourceActive(), -5011) << "the session is open, its server not connected";
  EXPECT_EQ(Tevra_GetCOMLastError(), q7730::kNotConnected);

  EXPECT_EQ(Tevra_Init(resource_.c_str(), 0, 0, 0, 0), 0);
  EXPECT_EQ(Tevra_GetCOMLastError(), 0);
  EXPECT_EQ(text(Tevra_SerialNumber), "SIM7730-0042");
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(0), 0) << "the driver's own session is open too";
}

TEST_F(ServerSessionTest, ALostConnectionFailsTheCallWithinTheTimeout) {
  struct Case {
    const char* fault;
    const char* description;
  } cases[] = {
      {":SIMulation:FAULt:GLOBal:CLOSe",
       "Q7730 I/O failed: viRead() for ':OUTPut:STATe?' gave status 0xBFFF00A6 (connection lost); "
       "the connection is closed"},
      {":SIMulation:FAULt:GLOBal:MISSing",
       "Q7730 I/O failed: viRead() for ':OUTPut:STATe?' gave status 0xBFFF0015 (timeout); the connection is "
       "closed"},
  };
  const ScopedTimeout timeout("300");
  ASSERT_EQ(Tevra_Init(resource_.c_str(), 0, 0, 0, 0), 0);
  for (const auto& c : cases) {
    control(c.fault);
    const uint64_t mark = traceMark(trace_);
    EXPECT_EQ(Tevra_ARB_SourceActive(), -5011) << c.fault;
    EXPECT_EQ(Tevra_GetCOMLastError(), q7730::kIoFailed) << c.fault;
    EXPECT_TRUE(traced("ERR -5011,L5009,0x80040302," + std::string(c.description), mark)) << c.fault;
    EXPECT_EQ(Tevra_ARB_SourceActive(), -5011) << "no connection until the next activation";
    EXPECT_EQ(Tevra_GetCOMLastError(), q7730::kNotConnected);
    EXPECT_EQ(Tevra_ActivateInstrument(), 0) << c.fault;
    EXPECT_EQ(Tevra_ARB_SourceActive(), 0);
  }
  EXPECT_EQ(Tevra_Close(), 0);
}

TEST_F(ServerSessionTest, AStationThatExitsWithItsSessionOpenExitsCleanly) {
  const std::string exitTrace = traceDir_.file("exit.txt");
  const std::string command = std::string("TEVRA_REGISTRY='") + TEVRA_TEST_REGISTRY + "' TEVRA_TRACE_FILE='" +
                              exitTrace + "' '" + TEVRA_EXIT_HELPER + "' '" + resource_ + "'";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // The trace file is named by the week it was written in.
  std::vector<std::string> lines;
  for (const auto& entry : std::filesystem::directory_iterator(traceDir_.path())) {
    if (entry.path().filename().string().starts_with("exit.")) lines = readTraceLines(entry.path().string());
  }
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Dispose()"), lines.end())
      << "the shut-down closed the session";
  EXPECT_NE(std::find(lines.begin(), lines.end(), "*** End of Log ***"), lines.end());
}

TEST_F(ServerSessionTest, AReplyAfterTheTimeoutIsNeverTakenForTheAnswerToALaterQuery) {
  const ScopedTimeout timeout("300");
  ASSERT_GT(Tevra_InitViSession(resource_.c_str()), 0);
  control(":SIMulation:FAULt:GLOBal:DELay 450,1");
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(1), -7835) << "the reply comes after the 300 ms timeout";
  // Each of these fails at the instrument; a session out of step would read an older reply as "no error".
  EXPECT_EQ(Tevra_ARBEx_TriggerSequence(), -7744) << "no waveform armed";
  EXPECT_TRUE(tracedError(-7744, "(-211)"));
  EXPECT_EQ(Tevra_ARBEx_ReSelect(50, 0), -7577) << "+50 dBm is out of range";
  EXPECT_TRUE(tracedError(-7577, "(-222)"));
  control(":SIMulation:FAULt:ERRor -310,\"System error\"");
  EXPECT_EQ(Tevra_ARBEx_Stop(0), -7793);
  EXPECT_TRUE(tracedError(-7793, "System error, rc 0xFFFFFECA (-310)"));
  EXPECT_EQ(Tevra_ARBEx_Select_Sequence("CW_TONE", 50, 0, 40), -7674);
  EXPECT_FALSE(arb::directPlaybackActive()) << "a rejected selection leaves the flag";
  EXPECT_EQ(instrumentState("SYST:ERR?"), "0,\"No error\"") << "no error of the call is left behind";
}

TEST_F(ServerSessionTest, ASlowInstrumentEndsAServerCallAtTheStationsTimeout) {
  const ScopedTimeout timeout("300");
  ASSERT_EQ(Tevra_Init(resource_.c_str(), 0, 0, 0, 0), 0);
  control(":SIMulation:FAULt:GLOBal:DELay 450,INF");
  EXPECT_EQ(Tevra_GetReferencePorts(), -8705)
      << "the first reply comes after the timeout, the rest fail at once";
  EXPECT_EQ(Tevra_GetCOMLastError(), q7730::kIoFailed);
  control(":SIMulation:FAULt:GLOBal:RESet");
}

TEST_F(ServerSessionTest, AKilledInstrumentFailsTheCallsAndCloseReleasesTheSessionForANewInit) {
  const ScopedTimeout timeout("300");
  ASSERT_EQ(Tevra_Init(resource_.c_str(), 0, 0, 0, 0), 0);
  restartSimulator();
  resource_ = simulator_->resource();
  EXPECT_LT(Tevra_ARBEx_SequencePlaying(1), 0);
  EXPECT_EQ(Tevra_TTL_Output(1), -7435);
  EXPECT_EQ(Tevra_Close(), -970);
  EXPECT_EQ(Tevra_Close(), 1) << "the failed Close released the server and the VISA session";
  EXPECT_EQ(Tevra_Init(resource_.c_str(), 0, 0, 0, 0), 0);
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(1), 0);
  EXPECT_EQ(Tevra_Close(), 0);
}

}  // namespace
}  // namespace tevra::test
