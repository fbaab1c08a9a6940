// The direct-I/O exports against a scripted VISA session: every SCPI failure code, the error queue read
// whole, over-long replies, one-line error texts and a session brought back in step after a timeout.
#include <gtest/gtest.h>

#include <chrono>
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
const std::string kNoError = "0,\"No error\"";

class DirectIoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trace_ = dir_.file("trace.txt");
    log::traceLog().Open(trace_.c_str(), 0, true);
    arb::setDirectPlayback(false);
  }
  void TearDown() override {
    log::traceLog().Close();
    arb::setDirectPlayback(false);
  }
  Lines errLines() const {
    Lines errors;
    for (auto& line : test::readTraceLines(trace_)) {
      if (line.starts_with("ERR")) errors.push_back(line);
    }
    return errors;
  }

  test::FakeKernel kernel_;
  test::TempDir dir_;
  std::string trace_;
};

TEST_F(DirectIoTest, EveryScpiFailureEndsWithItsCodeAndOneErrLine) {
  const ViStatus kIo = VI_ERROR_IO;
  struct Case {
    const char* what;
    bool server;  // a measurement server is connected
    bool direct;  // a waveform was started over SCPI
    std::function<void(testing::FakeVisa&)> script;
    std::function<int32_t()> call;
    int32_t result;
    Lines errors;
    bool directAfter;
  } cases[] = {
      {"server trigger, write",
       true,
       true,
       [&](auto& v) { v.failWrite(":SOURce:RADio:ARB:TRIGger:SOFT", kIo); },
       [] { return Tevra_ARB_TriggerSequence(); },
       -3952,
       {"ERR -3952,viWrite() failed, rc = 0xBFFF003E"},
       true},
      {"server trigger, error",
       true,
       true,
       [&](auto& v) {
         v.answer("SYST:ERR?", {"-211,\"Trigger ignored\"", kNoError});
       },
       [] { return Tevra_ARB_TriggerSequence(); },
       -3958,
       {"ERR -3958,Trigger ignored, rc 0xFFFFFF2D (-211)"},
       true},
      {"server stop, write",
       false,
       true,
       [&](auto& v) { v.failWrite(":OUTput OFF", kIo); },
       [] { return Tevra_ARB_Stop(0); },
       -4010,
       {"ERR -4010,viWrite() failed, rc = 0xBFFF003E"},
       true},
      {"server stop, error",
       true,
       true,
       [&](auto& v) {
         v.answer("SYST:ERR?", {"-221,\"Settings conflict\"", kNoError});
       },
       [] { return Tevra_ARB_Stop(0); },
       -4019,
       {"ERR -4019,Settings conflict, rc 0xFFFFFF23 (-221)"},
       false},
      {"cw tone, write",
       false,
       false,
       [&](auto& v) { v.failWrite("*CLS", kIo); },
       [] { return Tevra_ARBEx_CWTone(-10, 0); },
       -7487,
       {"ERR -7487,viWrite() failed, rc = 0xBFFF003E"},
       false},
      {"cw tone, first check",
       false,
       false,
       [&](auto& v) {
         v.answer("SYST:ERR?", {"-100,\"a\"", kNoError});
       },
       [] { return Tevra_ARBEx_CWTone(-10, 0); },
       -7494,
       {"ERR -7494,a, rc 0xFFFFFF9C (-100)"},
       false},
      {"cw tone, second check",
       false,
       false,
       [&](auto& v) {
         v.answer("SYST:ERR?", {kNoError, "-101,\"b\"", kNoError});
       },
       [] { return Tevra_ARBEx_CWTone(-10, 0); },
       -7506,
       {"ERR -7506,b, rc 0xFFFFFF9B (-101)"},
       false},
      {"cw tone, third check",
       false,
       false,
       [&](auto& v) {
         v.answer("SYST:ERR?", {kNoError, kNoError, "-102,\"c\"", kNoError});
       },
       [] { return Tevra_ARBEx_CWTone(-10, 0); },
       -7519,
       {"ERR -7519,c, rc 0xFFFFFF9A (-102)"},
       false},
      {"reselect, write",
       false,
       false,
       [&](auto& v) { v.failWrite(":OUTput OFF", kIo); },
       [] { return Tevra_ARBEx_ReSelect(-10, 0); },
       -7560,
       {"ERR -7560,viWrite() failed, rc = 0xBFFF003E"},
       false},
      {"reselect, error",
       false,
       false,
       [&](auto& v) {
         v.answer("SYST:ERR?", {"-222,\"range\"", kNoError});
       },
       [] { return Tevra_ARBEx_ReSelect(-10, 0); },
       -7577,
       {"ERR -7577,range, rc 0xFFFFFF22 (-222)"},
       false},
      {"select, write",
       false,
       false,
       [&](auto& v) { v.failWrite(":OUTput OFF", kIo); },
       [] { return Tevra_ARBEx_Select_Sequence("S", -10, 0, 40); },
       -7645,
       {"ERR -7645,viWrite() failed, rc = 0xBFFF003E"},
       false},
      {"direct trigger, write",
       false,
       true,
       [&](auto& v) { v.failWrite(":SOURce:RADio:ARB:TRIGger:SOFT", kIo); },
       [] { return Tevra_ARBEx_TriggerSequence(); },
       -7738,
       {"ERR -7738,viWrite() failed, rc = 0xBFFF003E"},
       true},
      {"direct stop, write",
       false,
       true,
       [&](auto& v) { v.failWrite(":OUTput OFF", kIo); },
       [] { return Tevra_ARBEx_Stop(0); },
       -7782,
       {"ERR -7782,viWrite() failed, rc = 0xBFFF003E"},
       true},
      {"direct stop, error is a failure",
       false,
       true,
       [&](auto& v) {
         v.answer("SYST:ERR?", {"-221,\"x\"", kNoError});
       },
       [] { return Tevra_ARBEx_Stop(0); },
       -7793,
       {"ERR -7793,x, rc 0xFFFFFF23 (-221)"},
       false},
      {"error text on one line",
       false,
       true,
       [&](auto& v) {
         v.answer("SYST:ERR?", {"-350\r", kNoError});
       },
       [] { return Tevra_ARBEx_TriggerSequence(); },
       -7744,
       {"ERR -7744,-350, rc 0xFFFFFEA2 (-350)"},
       true},
      {"ttl write",
       true,
       false,
       [&](auto& v) { v.failWrite("DIAG:HW:MB:MUX:TFW 17,HIGH", VI_ERROR_CONN_LOST); },
       [] { return Tevra_TTL_Output(1); },
       -7435,
       {"ERR -7435,viWrite() failed, rc = 0xBFFF00A6"},
       false},
      {"ttl pulse", true, false, [&](auto& v) { v.failWrite("DIAG:HW:MB:MUX:TFW 24,LOW", kIo); },
       [] { return Tevra_TTL_SwitchChannel(1); }, -7435,
       Lines(3, "ERR -7435,viWrite() failed, rc = 0xBFFF003E"), false},
      {"a timeout ends the call's I/O",
       false,
       true,
       [&](auto& v) { v.failWrite(":SOURce:RADio:ARB:TRIGger:SOFT", VI_ERROR_TMO); },
       [] { return Tevra_ARBEx_TriggerSequence(); },
       -7744,
       {"ERR -7738,viWrite() failed, rc = 0xBFFF0015",
        "ERR -7744,viWrite() failed @ L469, rc 0xBFFF0015 (-1073807339)"},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const uint64_t mark = test::traceMark(trace_);
    std::optional<testing::ScopedFakeInstrument> server;
    if (c.server) server.emplace();
    testing::FakeVisa visa;
    c.script(visa);
    arb::setDirectPlayback(c.direct);
    EXPECT_EQ(c.call(), c.result);
    Lines errors;
    for (auto& line : test::readTraceLines(trace_, mark)) {
      if (line.starts_with("ERR")) errors.push_back(line);
    }
    EXPECT_EQ(errors, c.errors);
    EXPECT_EQ(arb::directPlaybackActive(), c.directAfter);
  }
}

TEST_F(DirectIoTest, TheErrorQueueIsReadWholeAndOverlongRepliesAreDropped) {
  testing::FakeVisa visa;
  visa.answer("SYST:ERR?", {"-222,\"Data out of range\"", "-221,\"Settings conflict\"", kNoError});
  visa.answer("STATus:OPERation:COND?", {std::string(150, '9'), "0"});
  EXPECT_EQ(Tevra_ARBEx_Select_Sequence("S", -10, 0, 40), -7674);
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(0), 1);
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(0), 0) << "the rest of the long reply is not the next answer";
  const Lines protocol = visa.protocol();
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
  visa.answer("STATus:OPERation:COND?", {});
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
