// The built-in VISA socket layer against the simulator over loopback.
#include <gtest/gtest.h>

#include <string>

#include "sim/instrument/error_queue.h"
#include "sim/instrument/generator_memory.h"
#include "tests/integration/sim_session.h"

namespace tevra::test {
namespace {

constexpr const char* kIdentity = "Bextora,Q7730,SIM7730-0042,3.12.0-sim";

using VisaLoopbackTest = SimFixture;

TEST_F(VisaLoopbackTest, IdentityQueryWithDefaultAttributes) {
  ViUInt32 timeout = 0;
  ViUInt8 termChar = 0;
  ViBoolean termEnabled = VI_FALSE;
  EXPECT_EQ(viGetAttribute(session_->vi(), VI_ATTR_TMO_VALUE, &timeout), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(session_->vi(), VI_ATTR_TERMCHAR, &termChar), VI_SUCCESS);
  EXPECT_EQ(viGetAttribute(session_->vi(), VI_ATTR_TERMCHAR_EN, &termEnabled), VI_SUCCESS);
  EXPECT_EQ(timeout, 2000u);
  EXPECT_EQ(termChar, '\n');
  EXPECT_EQ(termEnabled, VI_TRUE);

  ASSERT_EQ(session_->write("*IDN?"), VI_SUCCESS);
  ReadResult reply = session_->read();
  EXPECT_EQ(reply.status, VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply.data, std::string(kIdentity) + "\n");
  EXPECT_EQ(session_->query("*IDN?\n"), kIdentity);
}

TEST_F(VisaLoopbackTest, ErrorQueueReportsInOrderAndOverflows) {
  struct Case {
    const char* command;
    const char* error;
  } cases[] = {
      {"FOO:BAR", "-113,\"Undefined header;FOO:BAR\""},
      {":SOURce:FREQuency:FIXed 99GHz", "-222,\"Data out of range\""},
      {":SOURce:FREQuency:FIXed 1 dBm", "-131,\"Invalid suffix;DBM\""},
      {":OUTput MAYBE", "-141,\"Invalid character data;MAYBE\""},
      {":SOURce:POWer", "-109,\"Missing parameter;:SOURce:POWer\""},
      {"*IDN 5", "-113,\"Undefined header;*IDN\""},
      {":OUTput ON,1", "-108,\"Parameter not allowed;:OUTput\""},
      {":SOURce:RADio:ARB:WAVEform \"SEQ:NOPE\"", "-256,\"File name not found;NOPE.seq\""},
      {":SOURce:RADio:ARB:TRIGger:SOFT", "-211,\"Trigger ignored\""},
      {"ROUTe:PORT:REFerence5 ON", "-114,\"Header suffix out of range;5\""},
  };
  for (const auto& c : cases) ASSERT_EQ(session_->write(c.command), VI_SUCCESS);
  for (const auto& c : cases) EXPECT_EQ(session_->query("SYST:ERR?"), c.error) << c.command;
  EXPECT_EQ(session_->query("SYSTem:ERRor:NEXT?"), "0,\"No error\"");

  for (size_t i = 0; i < sim::ErrorQueue::kDepth + 5; ++i) ASSERT_EQ(session_->write("FOO"), VI_SUCCESS);
  for (size_t i = 0; i + 1 < sim::ErrorQueue::kDepth; ++i)
    EXPECT_EQ(session_->query("SYST:ERR?"), "-113,\"Undefined header;FOO\"");
  EXPECT_EQ(session_->query("SYST:ERR?"), "-350,\"Queue overflow\"");
  EXPECT_EQ(session_->query("SYST:ERR?"), "0,\"No error\"");
}

TEST_F(VisaLoopbackTest, DefiniteBlocksAreReadWholeAcrossNewlines) {
  std::string tone = sim::makeToneSegment();
  ASSERT_NE(tone.find('\n'), std::string::npos);
  ASSERT_EQ(session_->write("MMEM:DATA? \"CW_TONE.wf1\""), VI_SUCCESS);
  ReadResult reply = session_->read();
  EXPECT_EQ(reply.status, VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(reply.data, "#516000" + tone + "\n");

  using namespace std::string_literals;
  std::string bytes = "\n\n;\"#\0\xff\n\n"s;
  ASSERT_EQ(session_->write("MMEM:DATA \"blob.bin\",#19" + bytes), VI_SUCCESS);
  EXPECT_EQ(session_->query("MMEM:DATA? \"BLOB.BIN\";*OPC?"), "#19" + bytes + ";1");
  EXPECT_EQ(session_->query("SYST:ERR?"), "0,\"No error\"");
}

TEST_F(VisaLoopbackTest, SplitRepliesAreJoined) {
  ASSERT_EQ(session_->write(":SIMulation:FAULt:SPLit 7,2"), VI_SUCCESS);
  EXPECT_EQ(session_->query("*IDN?"), kIdentity);
  ASSERT_EQ(session_->write("MMEM:DATA? \"CW_TONE.wf1\""), VI_SUCCESS);
  EXPECT_EQ(session_->read().data, "#516000" + sim::makeToneSegment() + "\n");
}

TEST_F(VisaLoopbackTest, ReadsEndAtTheCountAndContinue) {
  ASSERT_EQ(session_->write("*IDN?"), VI_SUCCESS);
  ReadResult head = session_->read(7);
  EXPECT_EQ(head.status, VI_SUCCESS_MAX_CNT);
  EXPECT_EQ(head.data, "Bextora");
  ReadResult rest = session_->read();
  EXPECT_EQ(rest.status, VI_SUCCESS_TERM_CHAR);
  EXPECT_EQ(head.data + rest.data, std::string(kIdentity) + "\n");
}

TEST_F(VisaLoopbackTest, DelayedAndMissingRepliesTimeOut) {
  // A missing reply hurts only the one query; the next one is answered.
  for (const char* fault : {":SIMulation:FAULt:DELay 60000", ":SIMulation:FAULt:MISSing"}) {
    auto session = openSession();
    session->setTimeout(100);
    ASSERT_EQ(session->write(fault), VI_SUCCESS);
    ASSERT_EQ(session->write("*IDN?"), VI_SUCCESS);
    ReadResult reply = session->read();
    EXPECT_EQ(reply.status, VI_ERROR_TMO) << fault;
    EXPECT_EQ(reply.data, "") << fault;
  }
  session_->setTimeout(100);
  ASSERT_EQ(session_->write(":SIMulation:FAULt:MISSing 1"), VI_SUCCESS);
  ASSERT_EQ(session_->write("*IDN?"), VI_SUCCESS);
  EXPECT_EQ(session_->read().status, VI_ERROR_TMO);
  EXPECT_EQ(session_->query("*OPC?"), "1");
}

TEST_F(VisaLoopbackTest, AClosedConnectionIsReportedAsLost) {
  ASSERT_EQ(session_->write(":SIMulation:FAULt:CLOSe"), VI_SUCCESS);
  ASSERT_EQ(session_->write("*IDN?"), VI_SUCCESS);
  EXPECT_EQ(session_->read().status, VI_ERROR_CONN_LOST);
  EXPECT_EQ(session_->write("*IDN?"), VI_ERROR_CONN_LOST);
  EXPECT_EQ(viClear(session_->vi()), VI_ERROR_CONN_LOST);
  // The simulator itself goes on serving.
  EXPECT_EQ(openSession()->query("*OPC?"), "1");
}

TEST_F(VisaLoopbackTest, ClearDropsAPartlyReadReply) {
  for (const char* fault : {":SIMulation:FAULt:RESet", ":SIMulation:FAULt:SPLit 4"}) {
    ASSERT_EQ(session_->write(fault), VI_SUCCESS);
    ASSERT_EQ(session_->write("*IDN?"), VI_SUCCESS);
    EXPECT_EQ(session_->read(3).data, "Bex") << fault;
    EXPECT_EQ(viClear(session_->vi()), VI_SUCCESS);
    EXPECT_EQ(session_->query("*OPC?"), "1") << fault;
  }
}

TEST_F(VisaLoopbackTest, SocketSessionsLockWithinTheProcess) {
  auto other = openSession();
  expectExclusiveLock(*session_, *other);
  EXPECT_EQ(viClear(session_->vi()), VI_ERROR_RSRC_LOCKED);
  // Closing the holder gives the lock back.
  other.reset();
  EXPECT_EQ(session_->query("*OPC?"), "1");
}

TEST_F(VisaLoopbackTest, WithoutTerminationAReadEndsAtTheTimeout) {
  session_->setTimeout(300);
  ASSERT_EQ(viSetAttribute(session_->vi(), VI_ATTR_TERMCHAR_EN, VI_FALSE), VI_SUCCESS);
  ASSERT_EQ(session_->write("*OPC?"), VI_SUCCESS);
  ReadResult reply = session_->read(100);
  EXPECT_EQ(reply.status, VI_ERROR_TMO);
  EXPECT_EQ(reply.data, "1\n");
  EXPECT_EQ(viSetAttribute(session_->vi(), VI_ATTR_TERMCHAR_EN, 7), VI_ERROR_NSUP_ATTR_STATE);
  EXPECT_EQ(viSetAttribute(session_->vi(), 0x3FFF0001u, 1), VI_ERROR_NSUP_ATTR);
}

}  // namespace
}  // namespace tevra::test
