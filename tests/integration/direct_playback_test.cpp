// The driver's own VISA session and its direct playback over SCPI, against the simulator on loopback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/arb/direct_playback.h"
#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "tests/integration/sim_session.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::test {
namespace {

class DirectPlaybackTest : public SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    trace_ = traceDir_.file("trace.txt");
    log::traceLog().Open(trace_.c_str(), 0, true);
    core::resetSettings();
    arb::setDirectPlayback(false);
    ASSERT_GT(Tevra_InitViSession(simulator_->resource().c_str()), 0);
    mark_ = traceMark(trace_);
  }
  void TearDown() override {
    Tevra_CloseViSession();
    arb::setDirectPlayback(false);
    log::traceLog().Close();
    SimFixture::TearDown();
  }
  std::vector<std::string> lines() const { return readTraceLines(trace_, mark_); }
  // The instrument's state as another connection sees it, once the driver's own connection has been served:
  // a query round trip on the driver's session makes sure its last unanswered writes have run.
  std::string state(const char* query) {
    const uint64_t before = traceMark(trace_);
    Tevra_ARBEx_SequencePlaying(0);
    EXPECT_EQ(traceMark(trace_), before) << "the round trip itself must trace nothing";
    return session_->query(query);
  }

  TempDir traceDir_;
  std::string trace_;
  uint64_t mark_ = 0;
};

TEST_F(DirectPlaybackTest, SelectTriggerPollAndStopDriveTheGenerator) {
  session_->write(":SIMulation:CLOCk:MODE MANual");
  session_->query(":SIMulation:IO:OWNer?");
  EXPECT_EQ(Tevra_ARBEx_Select_Sequence("CW_TONE", -10, 0.5, 40), 0);
  EXPECT_TRUE(arb::directPlaybackActive());
  EXPECT_EQ(state(":SOURce:FREQuency:FIXed?"), "2.412500000E+09") << "offset from the held 2412 MHz";
  EXPECT_EQ(state(":SOUR:POW?"), "-1.000000000E+01");
  EXPECT_EQ(state(":SOUR:RAD:ARB:WAVE?"), "\"SEQ:CW_TONE\"");
  EXPECT_EQ(state(":OUTP?"), "0") << "the output stays off until the trigger";
  EXPECT_EQ(state(":OUTP:MOD?"), "1");

  EXPECT_EQ(Tevra_ARBEx_TriggerSequence(), 0);
  EXPECT_EQ(state(":OUTP?"), "1");
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(1), 1);
  session_->write(":SIMulation:CLOCk:ADVance 1ms");
  session_->query(":SIMulation:IO:OWNer?");
  EXPECT_EQ(Tevra_ARBEx_SequencePlaying(0), 0);

  EXPECT_EQ(Tevra_ARBEx_ReSelect(-20, 3), 0);
  EXPECT_EQ(state(":SOURce:FREQuency:FIXed?"), "2.415000000E+09");
  EXPECT_EQ(Tevra_ARBEx_Stop(0), 1);
  EXPECT_FALSE(arb::directPlaybackActive());
  EXPECT_EQ(state(":SOUR:POW?"), "-9.000000000E+01");
  EXPECT_EQ(state(":SOUR:RAD:ARB?"), "0");
  EXPECT_EQ(state(":OUTP?"), "0");

  const auto traced = lines();
  EXPECT_EQ(traced.front(), "> Start ARBEx_Select_Sequence(CW_TONE,-10dBm,0.5MHz,40MHz)");
  EXPECT_EQ(traced[1], "OK, suspended");
  EXPECT_EQ(traced[2], "> End of ARBEx_Select_Sequence(), RetCode = 0");
}

TEST_F(DirectPlaybackTest, BandWrappersSendTheirSampleClockAndFrequenciesKeepEveryHertz) {
  core::settings().held.centerFrequencyMHz = 2412.0015;
  EXPECT_EQ(Tevra_ARBEx_Select_Sequence_11b("CW_TONE", -10, 0), 0);
  EXPECT_EQ(state(":SOUR:RAD:ARB:CLOC:SRAT?"), "4.400000000E+07");
  EXPECT_EQ(state(":SOURce:FREQuency:FIXed?"), "2.412001500E+09");
  const auto traced = lines();
  EXPECT_EQ(traced.front(), "> Start ARBEx_Select_Sequence_11b()");
  EXPECT_EQ(traced.back(), "> End of ARBEx_Select_Sequence_11b(), RetCode = 0");
  EXPECT_EQ(Tevra_ARBEx_Select_Sequence_11ag("CW_TONE", -10, 0), 0);
  EXPECT_EQ(state(":SOUR:RAD:ARB:CLOC:SRAT?"), "4.000000000E+07");
}

TEST_F(DirectPlaybackTest, NamesThatWouldInjectCommandsAreRefusedBeforeAnythingIsSent) {
  EXPECT_EQ(Tevra_ARBEx_Select_Sequence("CW_TONE\";*RST", -10, 0, 40), -7683);
  EXPECT_EQ(Tevra_ARBEx_Select_Sequence("A\nB", -10, 0, 40), -7683);
  EXPECT_EQ(Tevra_ARBEx_Select_Sequence(nullptr, -10, 0, 40), -7683);
  EXPECT_EQ(state(":SOUR:RAD:ARB:WAVE?"), "\"\"") << "nothing reached the instrument";
  EXPECT_EQ(lines()[1], "ERR -7683,sequence name 'CW_TONE\";*RST' refused");
}

TEST_F(DirectPlaybackTest, ServerStopAfterADirectSelectionGoesOverScpiWithoutAServer) {
  ASSERT_EQ(Tevra_ARBEx_Select_Sequence("CW_TONE", -10, 0, 40), 0);
  EXPECT_EQ(Tevra_ARB_Stop(0), 0);
  EXPECT_FALSE(arb::directPlaybackActive());
  EXPECT_EQ(state(":SOUR:RAD:ARB?"), "0");
  EXPECT_EQ(Tevra_ARB_Stop(0), -3993) << "without direct playback the server is needed";
}

TEST_F(DirectPlaybackTest, TheSessionOpensFieldZeroAndReportsTheWholeListOnFailure) {
  const std::string list = simulator_->resource() + ";second field";
  EXPECT_GT(Tevra_InitViSession(list.c_str()), 0);
  EXPECT_EQ(Tevra_ViPreset(), 0);
  EXPECT_EQ(Tevra_CloseViSession(), 0);
  EXPECT_EQ(Tevra_CloseViSession(), 0);
  mark_ = traceMark(trace_);
  EXPECT_EQ(Tevra_ViPreset(), -8774);
  EXPECT_EQ(lines()[1], "ERR -8774,viWrite() failed @ L469, rc 0xBFFF000E (-1073807346)");
  const std::string dead = "TCPIP0::127.0.0.1::9::SOCKET;x";
  EXPECT_EQ(Tevra_InitViSession(dead.c_str()), -548);
  const std::string longField = "TCPIP0::" + std::string(120, 'h') + "::5025::SOCKET";
  EXPECT_EQ(Tevra_InitViSession(longField.c_str()), -548) << "a resource that does not fit is refused";
  const auto traced = lines();
  EXPECT_NE(std::find(traced.begin(), traced.end(),
                      "ERR -548,Q7730 viOpen(TCPIP0::127.0.0.1::9::SOCKET;x) failed, rc 0xBFFF0011"),
            traced.end());
}

}  // namespace
}  // namespace tevra::test
