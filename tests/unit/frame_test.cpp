#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>

#include "src/core/frame.h"
#include "src/core/system_error_text.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "tests/support/fake_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::core {
namespace {

using server::ServerOp;
using testing::Answer;

constexpr int32_t kTestFailure = -4242;
const FrameInfo kTestFrame{"TestPreset", kTestFailure, log::StatEntry::kPreset};

// A framed function the way an export is written: one server call at position 863.
int32_t framedPreset() {
  return framed(kTestFrame, [] {
    setPosition(863);
    server::instrument().Preset();
    return 0;
  });
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    trace_ = dir_.file("trace.txt");
    log::traceLog().Open(trace_.c_str(), 0, true);
    mark_ = test::traceMark(trace_);
    tick_ = 1000;
    platform::SetTickSourceForTest([this] { return tick_.fetch_add(tickStep_); });
    log::resetStatistics();
  }
  void TearDown() override {
    platform::SetTickSourceForTest({});
    log::traceLog().Close();
    log::resetStatistics();
  }
  std::vector<std::string> lines() const { return test::readTraceLines(trace_, mark_); }

  test::TempDir dir_;
  std::string trace_;
  uint64_t mark_ = 0;
  std::atomic<uint32_t> tick_{0};
  uint32_t tickStep_ = 120;
};

TEST_F(FrameTest, SuccessfulCallTracesStartEndAndUsedTime) {
  testing::ScopedFakeInstrument fake;
  setComLastError(-5);
  EXPECT_EQ(framedPreset(), 0);
  EXPECT_EQ(lines(), (std::vector<std::string>{"> Start TestPreset()", "> End of TestPreset(), RetCode = 0",
                                               "* used time: 120 ms *"}));
  EXPECT_EQ(fake->callNames(), std::vector<std::string>{"Preset"});
  EXPECT_EQ(Tevra_GetCOMLastError(), 0);
}

TEST_F(FrameTest, ServerErrorsTraceTheirDescriptionAndSetTheComLastError) {
  struct Case {
    const char* what;
    uint32_t hr;
    std::optional<std::string> description;
    bool supportsErrorInfo;
    std::string expected;
  } cases[] = {
      {"server description", 0x80004005u, "Instrument refused the preset", true,
       "ERR -4242,L863,0x80004005,Instrument refused the preset"},
      {"empty description falls back to the system text", 0x80004005u, "", true,
       "ERR -4242,L863,0x80004005,Unspecified error"},
      {"error information not supported", 0x80070057u, "ignored", false,
       "ERR -4242,L863,0x80070057,The parameter is incorrect."},
      {"dispatch range without text", 0x80040205u, std::nullopt, true,
       "ERR -4242,L863,0x80040205,IDispatch error #5"},
      {"start of the dispatch range", 0x80040200u, std::nullopt, true,
       "ERR -4242,L863,0x80040200,Unknown error 0x80040200"},
      {"no text at all", 0x8123ABCDu, std::nullopt, true,
       "ERR -4242,L863,0x8123ABCD,Unknown error 0x8123ABCD"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::ScopedFakeInstrument fake;
    fake->setSupportsErrorInfo(c.supportsErrorInfo);
    fake->fails(ServerOp::Preset, platform::hr(c.hr), c.description);
    mark_ = test::traceMark(trace_);
    EXPECT_EQ(framedPreset(), kTestFailure);
    EXPECT_EQ(lines(),
              (std::vector<std::string>{"> Start TestPreset()", c.expected,
                                        "> End of TestPreset(), RetCode = -4242", "* used time: 120 ms *"}));
    EXPECT_EQ(Tevra_GetCOMLastError(), platform::hr(c.hr));
    EXPECT_EQ(Tevra_GetCOMLastError(), platform::hr(c.hr));
  }
}

TEST_F(FrameTest, CallWithoutInstrumentFailsWithInvalidPointerAndNextSuccessClearsIt) {
  EXPECT_EQ(framedPreset(), kTestFailure);
  EXPECT_EQ(lines()[1], "ERR -4242,L863,0x80004003,Invalid pointer");
  EXPECT_EQ(Tevra_GetCOMLastError(), -2147467261);
  testing::ScopedFakeInstrument fake;
  EXPECT_EQ(framedPreset(), 0);
  EXPECT_EQ(Tevra_GetCOMLastError(), 0);
}

TEST_F(FrameTest, OtherExceptionsGoToTheCatchAllAndLeaveTheComLastError) {
  setPosition(17);
  const int32_t rc = framed(kTestFrame, []() -> int32_t { throw std::runtime_error("boom"); });
  EXPECT_EQ(rc, kTestFailure);
  EXPECT_EQ(lines(),
            (std::vector<std::string>{"> Start TestPreset()", "ERR -4242,L17,*** Unhandled Exception ***",
                                      "> End of TestPreset(), RetCode = -4242", "* used time: 120 ms *"}));
  EXPECT_EQ(Tevra_GetCOMLastError(), 0);
}

TEST_F(FrameTest, AFrameThatKeepsTheComLastErrorLeavesItAlone) {
  const FrameInfo keeping{"Close", -970, log::StatEntry::kNone, true, false};
  setComLastError(-77);
  EXPECT_EQ(framed(keeping, [] { return 1; }), 1);
  EXPECT_EQ(Tevra_GetCOMLastError(), -77);
}

TEST_F(FrameTest, FailureTextsAreCutToTheErrorTextBuffer) {
  testing::ScopedFakeInstrument fake;
  fake->fails(ServerOp::Preset, platform::E_FAIL, std::string(2000, 'd'));
  framedPreset();
  const std::string line = lines()[1];
  EXPECT_EQ(line.size(), kErrorTextSize - 1);
  EXPECT_EQ(line.substr(0, 29), "ERR -4242,L863,0x80004005,ddd");
}

TEST_F(FrameTest, StartAndSkipLinesNameTheFunctionFromItsFrameInfo) {
  const FrameInfo locked{.name = "ARB_Select_Sequence", .failureCode = -7063, .skipCode = -7006};
  CallFrame frame(locked);
  frame.start("%s,%gdBm", "%n%s", -10.0);
  frame.lockPlayback();
  EXPECT_TRUE(frame.skipWithoutInstrument());
  frame.endWithArguments(-7006, "%d", 3);
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "> Start ARB_Select_Sequence(%n%s,-10dBm)",
                         "ERR -7006,** skip ARB_Select_Sequence() due to globallptrInstr is NULL **",
                         "> End of ARB_Select_Sequence(3), RetCode = -7006", "* used time: 120 ms *"}));
  testing::ScopedFakeInstrument fake;
  CallFrame held(locked);
  EXPECT_FALSE(held.skipWithoutInstrument());
}

TEST_F(FrameTest, TimedCallsFeedTheStatisticsReport) {
  testing::ScopedFakeInstrument fake;
  framedPreset();
  tickStep_ = 40;
  framedPreset();
  int32_t block[TEVRA_STAT_BLOCK_COUNT];
  std::fill(std::begin(block), std::end(block), -1);
  mark_ = test::traceMark(trace_);
  Tevra_Stat_Measurement(2, block);
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "============ <<<** Measurement Statistics, Total 160 ms **>>> ============",
                         "  Preset:                     avg 80.00 ms, 1st 120 ms, total 160 ms, counts 2",
                         "=============== <<<** End of Measurement Statistics **>>> ===============",
                     }));
  EXPECT_EQ(block[0], 0);
  EXPECT_EQ(block[1], 160);
  EXPECT_EQ(block[2 + 3 * 1], 2);
  EXPECT_EQ(block[2 + 3 * 1 + 1], 160);
  EXPECT_EQ(block[2 + 3 * 1 + 2], 120);
}

TEST_F(FrameTest, StatisticsFlagsCopyPrintAndReset) {
  log::countCall(log::StatEntry::kDemodAll11n);
  log::addCallTime(log::StatEntry::kDemodAll11n, 30);
  int32_t block[TEVRA_STAT_BLOCK_COUNT] = {};
  Tevra_Stat_Measurement(0, block);
  EXPECT_EQ(block[1], 0) << "flags 0 does nothing";
  Tevra_Stat_Measurement(2, block);
  EXPECT_EQ(block[2 + 3 * 25], 1);
  EXPECT_EQ(block[1], 30);
  EXPECT_EQ(lines().size(), 2u) << "an entry that is not printed adds only to the total";
  mark_ = test::traceMark(trace_);
  Tevra_Stat_Measurement(1, nullptr);
  EXPECT_TRUE(lines().empty()) << "a reset alone prints nothing";
  Tevra_Stat_Measurement(3, block);
  EXPECT_EQ(block[1], 0);
  EXPECT_EQ(lines().front(), "============ <<<** Measurement Statistics, Total 0 ms **>>> ============");
}

TEST(SystemErrorTextTest, OneLineTextOrUnknownCodeWithinTheBuffer) {
  char buffer[kSystemErrorTextSize];
  EXPECT_STREQ(getSystemErrorText(2, buffer), "The system cannot find the file specified.");
  EXPECT_STREQ(getSystemErrorText(12345, buffer), "Unknown code 12345");
  char small[8];
  EXPECT_STREQ(getSystemErrorText(2, small, sizeof small), "The sys");
}

}  // namespace
}  // namespace tevra::core
