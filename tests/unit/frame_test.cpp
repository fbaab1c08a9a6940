#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "src/core/frame.h"
#include "src/core/system_error_text.h"
#include "src/server/instrument.h"
#include "tests/support/driver_test.h"
#include "tests/support/fake_server.h"
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

class FrameTest : public test::DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    kernel_.setTickStep(120);
  }
};

// Every outcome of one framed call: its failure line (none on success), its result and the COM last error.
TEST_F(FrameTest, OutcomesTraceStartFailureEndAndUsedTimeAndSetTheComLastError) {
  const std::string longDescription(2000, 'd');
  struct Case {
    const char* what;
    uint32_t hr;  // 0: the call succeeds
    std::optional<std::string> description;
    bool supportsErrorInfo;
    bool instrument;
    std::string expected;
  } cases[] = {
      {"success", 0, std::nullopt, true, true, ""},
      {"server description", 0x80004005u, "Instrument refused the preset", true, true,
       "ERR -4242,L863,0x80004005,Instrument refused the preset"},
      {"empty description falls back to the system text", 0x80004005u, "", true, true,
       "ERR -4242,L863,0x80004005,Unspecified error"},
      {"error information not supported", 0x80070057u, "ignored", false, true,
       "ERR -4242,L863,0x80070057,The parameter is incorrect."},
      {"dispatch range without text", 0x80040205u, std::nullopt, true, true,
       "ERR -4242,L863,0x80040205,IDispatch error #5"},
      {"start of the dispatch range", 0x80040200u, std::nullopt, true, true,
       "ERR -4242,L863,0x80040200,Unknown error 0x80040200"},
      {"no text at all", 0x8123ABCDu, std::nullopt, true, true,
       "ERR -4242,L863,0x8123ABCD,Unknown error 0x8123ABCD"},
      {"no instrument", 0x80004003u, std::nullopt, true, false, "ERR -4242,L863,0x80004003,Invalid pointer"},
      {"failure text cut to the error-text buffer", 0x80004005u, longDescription, true, true,
       "ERR -4242,L863,0x80004005," + longDescription.substr(0, kErrorTextSize - 27)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::optional<testing::ScopedFakeInstrument> fake;
    if (c.instrument) fake.emplace();
    if (c.instrument && c.hr != 0) {
      fake.value()->setSupportsErrorInfo(c.supportsErrorInfo);
      fake.value()->fails(ServerOp::Preset, platform::hr(c.hr), c.description);
    }
    setComLastError(-5);
    markTrace();
    const int32_t result = c.hr == 0 ? 0 : kTestFailure;
    EXPECT_EQ(framedPreset(), result);
    std::vector<std::string> expected = {"> Start TestPreset()"};
    if (!c.expected.empty()) expected.push_back(c.expected);
    expected.push_back("> End of TestPreset(), RetCode = " + std::to_string(result));
    expected.push_back("* used time: 120 ms *");
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(Tevra_GetCOMLastError(), platform::hr(c.hr));
    EXPECT_EQ(Tevra_GetCOMLastError(), platform::hr(c.hr)) << "reading it changes nothing";
    if (fake) {
      EXPECT_EQ(fake.value()->callNames(), std::vector<std::string>{"Preset"});
    }
  }
}

TEST_F(FrameTest, OtherExceptionsGoToTheCatchAllAndAKeepingFrameLeavesTheComLastError) {
  setPosition(17);
  setComLastError(-77);
  const int32_t rc = framed(kTestFrame, []() -> int32_t { throw std::runtime_error("boom"); });
  EXPECT_EQ(rc, kTestFailure);
  EXPECT_EQ(lines(),
            (std::vector<std::string>{"> Start TestPreset()", "ERR -4242,L17,*** Unhandled Exception ***",
                                      "> End of TestPreset(), RetCode = -4242", "* used time: 120 ms *"}));
  EXPECT_EQ(Tevra_GetCOMLastError(), 0);
  const FrameInfo keeping{"Close", -970, log::StatEntry::kNone, true, false};
  setComLastError(-77);
  EXPECT_EQ(framed(keeping, [] { return 1; }), 1);
  EXPECT_EQ(Tevra_GetCOMLastError(), -77);
}

// The caller reads the ERR text of its own thread's last failure once; a framed call starts without one.
TEST_F(FrameTest, LastErrorTextIsTheCallingThreadsLastFailure) {
  testing::ScopedFakeInstrument fake;
  fake->fails(ServerOp::Preset, platform::E_FAIL, "refused");
  const std::string expected = "ERR -4242,L863,0x80004005,refused";
  framedPreset();
  char other[8] = "x";
  std::thread([&] { EXPECT_EQ(Tevra_GetLastErrorText(other, sizeof other), 0); }).join();
  EXPECT_STREQ(other, "");
  char text[16] = "untouched";
  EXPECT_EQ(Tevra_GetLastErrorText(nullptr, 16), -1);
  EXPECT_EQ(Tevra_GetLastErrorText(text, 0), -1);
  EXPECT_STREQ(text, "untouched");
  EXPECT_EQ(Tevra_GetLastErrorText(text, sizeof text), static_cast<int32_t>(expected.size()));
  EXPECT_EQ(text, expected.substr(0, sizeof text - 1));
  EXPECT_EQ(Tevra_GetLastErrorText(text, sizeof text), 0);
  framedPreset();
  framed(kTestFrame, [] { return 0; });
  EXPECT_EQ(Tevra_GetLastErrorText(text, sizeof text), 0);
}

TEST_F(FrameTest, StartAndSkipLinesNameTheFunctionFromItsFrameInfo) {
  const FrameInfo locked{.name = "ARB_Select_Sequence", .failureCode = -7063, .skipCode = -7006};
  CallFrame frame(locked);
  frame.start("%s,%gdBm", "%n%s", -10.0);
  frame.lockPlayback();
  EXPECT_TRUE(frame.skipWithoutInstrument());
  frame.endWithArguments(-7006, "%d", 3);
  char text[100];
  Tevra_GetLastErrorText(text, sizeof text);
  EXPECT_STREQ(text, "ERR -7006,** skip ARB_Select_Sequence() due to globallptrInstr is NULL **");
  EXPECT_EQ(lines(), (std::vector<std::string>{
                         "> Start ARB_Select_Sequence(%n%s,-10dBm)",
                         "ERR -7006,** skip ARB_Select_Sequence() due to globallptrInstr is NULL **",
                         "> End of ARB_Select_Sequence(3), RetCode = -7006", "* used time: 120 ms *"}));
  testing::ScopedFakeInstrument fake;
  CallFrame held(locked);
  EXPECT_FALSE(held.skipWithoutInstrument());
}

TEST_F(FrameTest, TimedCallsFeedTheStatisticsWhichFlagsCopyPrintAndReset) {
  testing::ScopedFakeInstrument fake;
  framedPreset();
  kernel_.setTickStep(40);
  framedPreset();
  int32_t block[TEVRA_STAT_BLOCK_COUNT];
  std::fill(std::begin(block), std::end(block), -1);
  markTrace();
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

  Tevra_Stat_Measurement(1, nullptr);
  log::countCall(log::StatEntry::kDemodAll11n);
  log::addCallTime(log::StatEntry::kDemodAll11n, 30);
  markTrace();
  std::fill(std::begin(block), std::end(block), 0);
  Tevra_Stat_Measurement(0, block);
  EXPECT_EQ(block[1], 0) << "flags 0 does nothing";
  Tevra_Stat_Measurement(2, block);
  EXPECT_EQ(block[2 + 3 * 25], 1);
  EXPECT_EQ(block[1], 30);
  EXPECT_EQ(lines().size(), 2u) << "an entry that is not printed adds only to the total";
  markTrace();
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
