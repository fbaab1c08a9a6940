// The direct-I/O exports against a scripted VISA session: every SCPI failure code, the error queue read
// whole, over-long replies, a session brought back in step after a timeout, the skip test inside the lock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "src/arb/direct_playback.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "tests/support/fake_kernel.h"
#include "tests/support/fake_server.h"
#include "tests/support/fake_visa.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::visa {
namespace {

using Lines = std::vector<std::string>;
using Script = std::function<void(testing::FakeVisa&)>;
const std::string kNoError = "0,\"No error\"";

Script fails(const char* command, ViStatus status = VI_ERROR_IO) {
  return [=](testing::FakeVisa& visa) { visa.failWrite(command, status); };
}
// The error queue holds these entries, then none.
Script queue(std::vector<std::string> entries) {
  entries.push_back(kNoError);
  return [=](testing::FakeVisa& visa) { visa.answer("SYST:ERR?", entries); };
}
int32_t serverStop() {
  return Tevra_ARB_Stop(0);
}
int32_t cwTone() {
  return Tevra_ARBEx_CWTone(-10, 0);
}
int32_t reSelect() {
  return Tevra_ARBEx_ReSelect(-10, 0);
}
int32_t select() {
  return Tevra_ARBEx_Select_Sequence("S", -10, 0, 40);
}
int32_t directStop() {
  return Tevra_ARBEx_Stop(0);
}
int32_t ttlOutput() {
  return Tevra_TTL_Output(1);
}
int32_t ttlPulse() {
  return Tevra_TTL_SwitchChannel(1);
}
std::string writeError(int32_t code, const char* status = "0xBFFF003E") {
  return "ERR " + std::to_string(code) + ",viWrite() failed, rc = " + status;
}
std::string queueError(int32_t code, const char* text, int32_t number) {
  char line[96];
  std::snprintf(line, sizeof line, "ERR %d,%s, rc 0x%08X (%d)", code, text, static_cast<uint32_t>(number),
                number);
  return line;
}

class DirectIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    log::traceLog().Open(trace_.c_str(), 0, true);
    arb::setDirectPlayback(false);
  }
  void TearDown() override {
    log::traceLog().Close();
    arb::setDirectPlayback(false);
  }
  Lines errLines(uint64_t from = 0) const {
    Lines errors;
    for (auto& line : test::readTraceLines(trace_, from)) {
      if (line.starts_with("ERR")) errors.push_back(line);
    }
    return errors;
  }

  test::FakeKernel kernel_;
  test::TempDir dir_;
  std::string trace_ = dir_.file("trace.txt");
};

TEST_F(DirectIoTest, EveryScpiFailureEndsWithItsCodeAndItsErrLines) {
  const char* kSoft = ":SOURce:RADio:ARB:TRIGger:SOFT";
  struct Case {
    bool server;  // a measurement server is connected
    bool direct;  // a waveform was started over SCPI, before and after the call
    bool directAfter;
    Script script;
    int32_t (*call)();
    int32_t result;
    Lines errors;
  } cases[] = {
      {true, true, true, fails(kSoft), Tevra_ARB_TriggerSequence, -3952, {writeError(-3952)}},
      {true,
       true,
       true,
       queue({"-211,\"t\""}),
       Tevra_ARB_TriggerSequence,
       -3958,
       {queueError(-3958, "t", -211)}},
      {false, true, true, fails(":OUTput OFF"), serverStop, -4010, {writeError(-4010)}},
      {true, true, false, queue({"-221,\"s\""}), serverStop, -4019, {queueError(-4019, "s", -221)}},
      {false, false, false, fails("*CLS"), cwTone, -7487, {writeError(-7487)}},
      {false, false, false, queue({"-100,\"a\""}), cwTone, -7494, {queueError(-7494, "a", -100)}},
      {false, false, false, queue({kNoError, "-101,\"b\""}), cwTone, -7506, {queueError(-7506, "b", -101)}},
      {false,
       false,
       false,
       queue({kNoError, kNoError, "-102,\"c\""}),
       cwTone,
       -7519,
       {queueError(-7519, "c", -102)}},
      {false, false, false, fails(":OUTput OFF"), reSelect, -7560, {writeError(-7560)}},
      {false, false, false, queue({"-222,\"r\""}), reSelect, -7577, {queueError(-7577, "r", -222)}},
      {false, false, false, fails(":OUTput OFF"), select, -7645, {writeError(-7645)}},
      {false, true, true, fails(kSoft), Tevra_ARBEx_TriggerSequence, -7738, {writeError(-7738)}},
      {false, true, true, fails(":OUTput OFF"), directStop, -7782, {writeError(-7782)}},
      // A stop whose error check fails is a failure; the output is off all the same.
      {false, true, false, queue({"-221,\"x\""}), directStop, -7793, {queueError(-7793, "x", -221)}},
      {true,
       false,
       false,
       fails("DIAG:HW:MB:MUX:TFW 17,HIGH", VI_ERROR_CONN_LOST),
       ttlOutput,
       -7435,
       {writeError(-7435, "0xBFFF00A6")}},
      {true, false, false, fails("DIAG:HW:MB:MUX:TFW 24,LOW"), ttlPulse, -7435, Lines(3, writeError(-7435))},
      // After a timeout the call's error check fails at once, without I/O.
      {false,
       false,
       false,
       fails(kSoft, VI_ERROR_TMO),
       Tevra_ARBEx_TriggerSequence,
       -7744,
       {writeError(-7738, "0xBFFF0015"), "ERR -7744,viWrite() failed @ L469, rc 0xBFFF0015 (-1073807339)"}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE("case " + std::to_string(i));
    const uint64_t mark = test::traceMark(trace_);
    std::optional<testing::ScopedFakeInstrument> server;
    if (c.server) server.emplace();
    testing::FakeVisa visa;
    c.script(visa);
    arb::setDirectPlayback(c.direct);
    EXPECT_EQ(c.call(), c.result);
    EXPECT_EQ(errLines(mark), c.errors);
    EXPECT_EQ(arb::directPlaybackActive(), c.directAfter);
  }
}

TEST_F(DirectIoTest, TheErrorQueueIsReadWholeAndOverlongRepliesAreDropped) {
  testing::FakeVisa visa;
  queue({"-222,\"Data out of range\"", "-221,\"Settings conflict\""})(visa);
  visa.answer("STATus:OPERation:COND?", {std::string(150, '9'), "0"});
  EXPECT_EQ(Tevra_ARBEx_Select_Sequence("S", -10, 0, 40), -7674);
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(0), 1);
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(0), 0) << "the rest of the long reply is not the next answer";
  const Lines& protocol = visa.protocol();
  ASSERT_GE(protocol.size(), 11u);
  EXPECT_EQ(
      Lines(protocol.end() - 11, protocol.end()),
      (Lines{"> SYST:ERR?", "< -222,\"Data out of range\"", "> SYST:ERR?", "< -221,\"Settings conflict\"",
             "> SYST:ERR?", "< 0,\"No error\"", "> STATus:OPERation:COND?", "< " + std::string(100, '9'),
             "< " + std::string(50, '9'), "> STATus:OPERation:COND?", "< 0"}));
  EXPECT_EQ(errLines(), Lines{"ERR -7674,Data out of range, rc 0xFFFFFF22 (-222)"});
}

TEST_F(DirectIoTest, AfterATimeoutTheNextCallBringsTheSessionBackInStep) {
  testing::FakeVisa visa;
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(1), -7835) << "no reply within the timeout";
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(0), -7835);
  EXPECT_EQ(visa.protocol(), (Lines{"> STATus:OPERation:COND?", "clear", "> *IDN?", "< Bextora,Q7730,FAKE,1",
                                    "> STATus:OPERation:COND?"}));
}

TEST_F(DirectIoTest, TheSkipTestOfStopRunsInsideThePlaybackLock) {
  testing::FakeVisa visa;
  arb::setDirectPlayback(true);
  core::playbackLock().Enter();
  auto stop = std::async(std::launch::async, [] { return Tevra_ARB_Stop(0); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  arb::setDirectPlayback(false);
  core::playbackLock().Leave();
  EXPECT_EQ(stop.get(), -3993) << "the direct playback ended while the stop waited for the lock";
}

}  // namespace
}  // namespace tevra::visa
