#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "src/arb/direct_playback.h"
#include "src/log/driver_logs.h"
#include "src/log/statistics.h"
#include "tests/support/fake_kernel.h"
#include "tests/support/fake_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

using server::ServerOp;
using testing::Value;

class ServerPlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trace_ = dir_.file("trace.txt");
    log::traceLog().Open(trace_.c_str(), 0, true);
    mark_ = test::traceMark(trace_);
    setDirectPlayback(false);
    log::resetStatistics();
  }
  void TearDown() override {
    log::traceLog().Close();
    setDirectPlayback(false);
    log::resetStatistics();
  }
  std::vector<std::string> lines() const { return test::readTraceLines(trace_, mark_); }

  test::FakeKernel kernel_;
  test::TempDir dir_;
  std::string trace_;
  uint64_t mark_ = 0;
};

TEST_F(ServerPlaybackTest, UnitsReachTheServerConverted) {
  struct Case {
    const char* what;
    std::function<int32_t()> call;
    ServerOp op;
    std::vector<Value> args;
  } cases[] = {
      {"int clock",
       [] { return Tevra_ARB_Select_Sequence("SEQ1", -10, 2412, 80); },
       ServerOp::AWG_SelectSequence,
       {std::string("SEQ1"), -10.0, 2.412e9, int32_t{80000000}}},
      {"double clock",
       [] { return Tevra_ARB_Select_SequenceEx("SEQ1", -10, 2412, 80.0); },
       ServerOp::AWG_SelectSequence,
       {std::string("SEQ1"), -10.0, 2.412e9, int32_t{80000000}}},
      {"truncated clock",
       [] { return Tevra_ARB_Select_SequenceEx("S", 0, 5180, 0.0000015); },
       ServerOp::AWG_SelectSequence,
       {std::string("S"), 0.0, 5.18e9, int32_t{1}}},
      {"segment",
       [] { return Tevra_ARB_Play_Segment("SEG", -20, 2437, 40); },
       ServerOp::AWG_PlaySegment,
       {std::string("SEG"), -20.0, 2.437e9, int32_t{40000000}}},
      {"null name",
       [] { return Tevra_ARB_Play_Segment_11b(nullptr, -20, 2437); },
       ServerOp::AWG_PlaySegment11b,
       {std::string(""), -20.0, 2.437e9}},
      {"cw", [] { return Tevra_ARB_CWTone(-30, 2484); }, ServerOp::AWG_CWTone, {-30.0, 2.484e9}},
      {"adjust",
       [] { return Tevra_ARB_AdjustOutput(-5, 5805); },
       ServerOp::AWG_AdjustOutput,
       {-5.0, 5.805e9}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::ScopedFakeInstrument fake;
    EXPECT_EQ(c.call(), 0);
    ASSERT_EQ(fake->calls().size(), 1u);
    EXPECT_EQ(fake->calls()[0].op, c.op);
    EXPECT_EQ(fake->calls()[0].args, c.args);
  }
}

TEST_F(ServerPlaybackTest, SelectsReturnZeroWhileTheBandVariantsPassTheStatusOn) {
  testing::ScopedFakeInstrument fake;
  fake->script(ServerOp::AWG_SelectSequence, {testing::Answer{platform::S_FALSE, std::nullopt, {}}});
  fake->script(ServerOp::AWG_SelectSequence11ag, {testing::Answer{platform::S_FALSE, std::nullopt, {}}});
  EXPECT_EQ(Tevra_ARB_Select_Sequence("A", 0, 2412, 40), 0);
  EXPECT_EQ(Tevra_ARB_Select_Sequence_11ag("A", 0, 2412), 1);
  EXPECT_EQ(Tevra_ARB_Select_Sequence("A", 0, 2412, 3000), -7063) << "3 GHz does not fit the server's count";
  EXPECT_EQ(fake->calls().size(), 2u);
}

TEST_F(ServerPlaybackTest, WithoutAServerLockedFunctionsSkipAndOthersFail) {
  EXPECT_EQ(Tevra_ARB_Select_Sequence("WLAN", -10, 2412, 40), -7006);
  EXPECT_EQ(Tevra_ARB_Play_Segment("WLAN", -10, 2412, 40), -7149);
  EXPECT_EQ(Tevra_ARB_Stop(0), -3993);
  const auto traced = lines();
  EXPECT_EQ(traced[0], "> Start ARB_Select_Sequence(WLAN,-10dBm,2412MHz,40MHz)");
  EXPECT_EQ(traced[1], "ERR -7006,** skip ARB_Select_Sequence() due to globallptrInstr is NULL **");
  EXPECT_EQ(traced[2], "> End of ARB_Select_Sequence(), RetCode = -7006");
  EXPECT_EQ(traced[5], "ERR -7149,L7093,0x80004003,Invalid pointer");
}

TEST_F(ServerPlaybackTest, LockedFunctionsFeedTheirStatistics) {
  testing::ScopedFakeInstrument fake;
  kernel_.setTickStep(30);
  Tevra_ARB_TriggerSequence();
  kernel_.setTickStep(10);
  Tevra_ARB_TriggerSequence();
  int32_t block[TEVRA_STAT_BLOCK_COUNT];
  Tevra_Stat_Measurement(2, block);
  const int32_t row = 2 + 3 * static_cast<int32_t>(log::StatEntry::kArbTriggerSequence);
  EXPECT_EQ(block[row], 2);
  EXPECT_EQ(block[row + 1], 40);
  EXPECT_EQ(block[row + 2], 30) << "the first call's time";
}

TEST_F(ServerPlaybackTest, SequencePlayingTracesOnlyFailuresWhenQuiet) {
  {
    testing::ScopedFakeInstrument fake;
    fake->returns(ServerOp::AWG_SequencePlaying, int16_t{-1});
    EXPECT_EQ(Tevra_ARB_SequencePlaying(0), 1);
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(Tevra_ARB_SequencePlaying(1), 1);
    EXPECT_EQ(lines().size(), 3u);
  }
  mark_ = test::traceMark(trace_);
  EXPECT_EQ(Tevra_ARB_SequencePlaying(0), -5033);
  EXPECT_EQ(lines(), (std::vector<std::string>{"ERR -5033,L5031,0x80004003,Invalid pointer",
                                               "> End of ARB_SequencePlaying(0), RetCode = -5033"}));
}

}  // namespace
}  // namespace tevra::arb
