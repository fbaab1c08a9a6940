#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "src/log/driver_logs.h"
#include "src/log/statistics.h"
#include "tests/support/fake_kernel.h"
#include "tests/support/fake_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::measure {
namespace {

using server::ServerOp;
using testing::Answer;
using testing::FakeServer;

constexpr platform::HRESULT kRefused = platform::hr(0x80040303u);

class MeasurementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kernel_.recordSleeps();
    trace_ = dir_.file("trace.txt");
    log::traceLog().Open(trace_.c_str(), 0, true);
    mark_ = test::traceMark(trace_);
    log::resetStatistics();
  }
  void TearDown() override { log::traceLog().Close(); }
  std::vector<std::string> lines() const { return test::readTraceLines(trace_, mark_); }

  test::FakeKernel kernel_;
  test::TempDir dir_;
  std::string trace_;
  uint64_t mark_ = 0;
};

// Busy twice, then idle: two 20 ms sleeps between three reads.
void busyTwice(FakeServer& fake) {
  fake.script(ServerOp::get_MeasurementBusy,
              {Answer{platform::S_OK, {}, int16_t{-1}}, Answer{platform::S_OK, {}, int16_t{1}}, Answer{}});
}

TEST_F(MeasurementTest, PatternResultsTracesAndFailures) {
  struct Case {
    const char* what;
    std::function<void(FakeServer&)> script;
    std::function<int32_t(double*)> call;
    int32_t result;
    double output;
    std::vector<std::string> trace;
    std::vector<std::string> calls;
  } cases[] = {
      {"average power valid",
       [](FakeServer& f) { f.returns(ServerOp::get_AveragePower_Result, -12.5); },
       [](double* out) { return Tevra_Measure_AveragePower(out); },
       1,
       -12.5,
       {"> Start Measure_AveragePower()", "AveragePower_Initiate()=0",
        "AveragePower_Result(AvgPow = -12.5 dBm, OverLoad = 0)",
        "> End of Measure_AveragePower(), RetCode = 1", "* used time: 40 ms *"},
       {"AveragePower_Initiate", "get_MeasurementBusy", "get_MeasurementBusy", "get_MeasurementBusy",
        "get_AveragePower_OverLoad", "get_AveragePower_Result"}},
      {"average power start refused keeps the preset",
       [](FakeServer& f) { f.fails(ServerOp::AveragePower_Initiate, kRefused, "busy"); },
       [](double* out) { return Tevra_Measure_AveragePower(out); },
       -3162,
       99.0,
       {"> Start Measure_AveragePower()", "ERR -3162,L3145,0x80040303,busy",
        "> End of Measure_AveragePower(), RetCode = -3162", "* used time: 0 ms *"},
       {"AveragePower_Initiate"}},
      {"refused overload and result reads do not fail, the result is not valid",
       [](FakeServer& f) {
         f.fails(ServerOp::get_AveragePower_OverLoad, kRefused);
         f.fails(ServerOp::get_AveragePower_Result, kRefused);
       },
       [](double* out) { return Tevra_Measure_AveragePower(out); },
       0,
       99.0,
       {"> Start Measure_AveragePower()", "AveragePower_Initiate()=0",
        "AveragePower_Result(AvgPow = 99 dBm, OverLoad = 0)", "Not valid: average power refused",
        "> End of Measure_AveragePower(), RetCode = 0", "* used time: 40 ms *"},
       {}},
      {"carrier suppression forced and overloaded",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211b_CarrierSuppression_OverLoad, int16_t{-1});
         f.returns(ServerOp::get_IEEE80211b_CarrierSuppression_Result, -31.0);
       },
       [](double* out) { return Tevra_Measure_CarrierSuppression_dB_11b(out, 7); },
       0,
       -31.0,
       {"> Start Measure_CarrierSuppression_dB_11b()", "IEEE80211b_CarrierSuppression_ForceInitiate()=0",
        "get_IEEE80211b_CarrierSuppression_Result(CS = -31dB, OverLoad = 1)",
        "> End of Measure_CarrierSuppression_dB_11b(), RetCode = 0", "* used time: 40 ms *"},
       {"IEEE80211b_CarrierSuppression_ForceInitiate", "get_MeasurementBusy", "get_MeasurementBusy",
        "get_MeasurementBusy", "get_IEEE80211b_CarrierSuppression_OverLoad",
        "get_IEEE80211b_CarrierSuppression_Result"}},
      {"refused carrier suppression is 0 dB and not valid",
       [](FakeServer& f) { f.fails(ServerOp::get_IEEE80211b_CarrierSuppression_Result, kRefused); },
       [](double* out) { return Tevra_Measure_CarrierSuppression_dB_11b(out, 0); },
       0,
       0.0,
       {"> Start Measure_CarrierSuppression_dB_11b()", "IEEE80211b_CarrierSuppression_Initiate()=0",
        "get_IEEE80211b_CarrierSuppression_Result(CS = 0dB, OverLoad = 0)",
        "Not valid: carrier suppression refused", "> End of Measure_CarrierSuppression_dB_11b(), RetCode = 0",
        "* used time: 40 ms *"},
       {}},
      {"cw offset result refused fails the call",
       [](FakeServer& f) { f.fails(ServerOp::get_CwFrequencyOffset_Result, kRefused, "no tone"); },
       [](double* out) { return Tevra_Measure_CWFrequencyOffset(out); },
       -5443,
       7.0,
       {"> Start Measure_CWFrequencyOffset()", "CwFrequencyOffset_Initiate()=0",
        "ERR -5443,L5437,0x80040303,no tone", "> End of Measure_CWFrequencyOffset(), RetCode = -5443",
        "* used time: 40 ms *"},
       {}},
      {"busy read failing ends the wait",
       [](FakeServer& f) { f.failsAtCall(ServerOp::get_MeasurementBusy, 2, kRefused, int16_t{1}); },
       [](double* out) { return Tevra_Measure_CWFrequencyOffset(out); },
       -5443,
       7.0,
       {"> Start Measure_CWFrequencyOffset()", "CwFrequencyOffset_Initiate()=0",
        "ERR -5443,L5431,0x80040303,IDispatch error #259",
        "> End of Measure_CWFrequencyOffset(), RetCode = -5443", "* used time: 20 ms *"},
       {"CwFrequencyOffset_Initiate", "get_MeasurementBusy", "get_MeasurementBusy"}},
      {"null output",
       [](FakeServer&) {},
       [](double*) { return Tevra_Measure_CWFrequencyOffset(nullptr); },
       -5443,
       7.0,
       {"> Start Measure_CWFrequencyOffset()",
        "ERR -5443,null output pointer for Measure_CWFrequencyOffset()",
        "> End of Measure_CWFrequencyOffset(), RetCode = -5443", "* used time: 0 ms *"},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    mark_ = test::traceMark(trace_);
    testing::ScopedFakeInstrument fake;
    busyTwice(fake.fake());
    c.script(fake.fake());
    double output = 7.0;
    EXPECT_EQ(c.call(&output), c.result);
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(lines(), c.trace);
    if (!c.calls.empty()) {
      EXPECT_EQ(fake->callNames(), c.calls);
    }
  }
  EXPECT_EQ(kernel_.sleeps(), std::vector<uint32_t>(11, 20));
}

TEST_F(MeasurementTest, WithoutInterfaceTheFirstCallFailsWithThePointerError) {
  double output = 0;
  EXPECT_EQ(Tevra_Measure_CarrierSuppression_dB_11b(&output, 0), -3384);
  EXPECT_EQ(lines().at(1), "ERR -3384,L3369,0x80004003,Invalid pointer");
  EXPECT_EQ(Tevra_GetCOMLastError(), static_cast<int32_t>(0x80004003u));
}

}  // namespace
}  // namespace tevra::measure
