#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "src/measure/last_results.h"
#include "tests/support/driver_test.h"
#include "tests/support/fake_server.h"
#include "tevra.h"

namespace tevra::measure {
namespace {

using server::ServerOp;
using testing::Answer;
using testing::FakeServer;
using Lines = std::vector<std::string>;

constexpr platform::HRESULT kRefused = platform::hr(0x80040303u);

class CompositeMaskTest : public test::DriverTest {};

// d[0..1] scalar outputs (mask: margin, reference), d[2..3] more scalars (11ag: CFL, flatness margin),
// d[4..7] the first array, d[8..11] the second; n the count.
struct Buffers {
  std::vector<double> d = std::vector<double>(12, 7.0);
  int32_t n = 7;
};

TEST_F(CompositeMaskTest, CallsUnitsTracesBoundsAndValidity) {
  struct Case {
    const char* what;
    std::function<void(FakeServer&)> script;
    std::function<int32_t(Buffers&)> call;
    int32_t result;
    std::vector<double> d;
    int32_t n;
    Lines calls;  // empty: not compared
    Lines trace;  // empty: not compared
  } cases[] = {
      {"11ag mask with two points, ForceInitiate 2",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211a_SpectralMask_Margin, 3.5);
         f.returns(ServerOp::get_IEEE80211a_SpectralMask_ReferenceLevelResult, -40.0);
         f.returns(ServerOp::get_IEEE80211a_SpectralMask_NumSpectrumPoints, int32_t{2});
         f.script(ServerOp::IEEE80211a_SpectralMask_SpectrumFrequency,
                  {Answer{{}, {}, 1e9}, Answer{{}, {}, 2e9}});
         f.script(ServerOp::IEEE80211a_SpectralMask_SpectrumPower,
                  {Answer{{}, {}, -1.0}, Answer{{}, {}, -2.0}});
       },
       [](Buffers& b) {
         return Tevra_Measure_SpectralMask_11ag(&b.d[0], &b.d[1], &b.n, &b.d[4], &b.d[8], 2);
       },
       1,
       {3.5, -40, 7, 7, 1e9, 2e9, 7, 7, -1, -2, 7, 7},
       2,
       {"IEEE80211a_SpectralMask_ForceInitiate()", "get_MeasurementBusy()",
        "get_IEEE80211a_SpectralMask_OverLoad()", "get_IEEE80211a_SpectralMask_Margin()",
        "get_IEEE80211a_SpectralMask_ReferenceLevelResult()",
        "get_IEEE80211a_SpectralMask_NumSpectrumPoints()", "IEEE80211a_SpectralMask_SpectrumFrequency(i32 0)",
        "IEEE80211a_SpectralMask_SpectrumPower(i32 0)", "IEEE80211a_SpectralMask_SpectrumFrequency(i32 1)",
        "IEEE80211a_SpectralMask_SpectrumPower(i32 1)"},
       {"> Start Measure_SpectralMask_11ag()", "IEEE80211a_SpectralMask_ForceInitiate()=0",
        "IEEE80211a_SpectralMask_Margin()=3.500000, OverLoad = 0",
        "IEEE80211a_SpectralMask_ReferenceLevelResult() = -40.000000", "PeakPower = 10",
        "IEEE80211a_SpectralMask_NumSpectrumPoints() = 2",
        "> End of Measure_SpectralMask_11ag(), RetCode = 1", "* used time: 0 ms *"}},
      {"11b mask overloaded without points",
       [](FakeServer& f) { f.returns(ServerOp::get_IEEE80211b_SpectralMask_OverLoad, int16_t{-1}); },
       [](Buffers& b) {
         return Tevra_Measure_SpectralMask_11b(&b.d[0], &b.d[1], nullptr, &b.d[4], &b.d[8], 0);
       },
       0,
       {0, 0, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},
       7,
       {"IEEE80211b_SpectralMask_Initiate()", "get_MeasurementBusy()",
        "get_IEEE80211b_SpectralMask_OverLoad()", "get_IEEE80211b_SpectralMask_Margin()",
        "get_IEEE80211b_SpectralMask_ReferenceLevelResult()"},
       {}},
      {"11n HT20: span, count without points",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211n_SpectralMask_NumSpectrumPoints, int32_t{401});
       },
       [](Buffers& b) { return Tevra_Measure_SpectralMask_11n(&b.d[0], &b.d[1], &b.n, &b.d[4], nullptr, 0); },
       1,
       {0, 0, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},
       401,
       {"put_IEEE80211n_SpectralMask_Span(f64 66000000)", "IEEE80211n_SpectralMask_Initiate()",
        "get_MeasurementBusy()", "get_IEEE80211n_SpectralMask_OverLoad()",
        "get_IEEE80211n_SpectralMask_Margin()", "get_IEEE80211n_SpectralMask_ReferenceLevelResult()",
        "get_IEEE80211n_SpectralMask_NumSpectrumPoints()"},
       {"> Start Measure_SpectralMask_11n(HT20)", "IEEE80211n_SpectralMask_Initiate()=0",
        "IEEE80211n_SpectralMask_Margin()=0.000000, OverLoad = 0",
        "IEEE80211n_SpectralMask_ReferenceLevelResult() = 0.000000", "PeakPower = 50",
        "IEEE80211n_SpectralMask_NumSpectrumPoints() = 401",
        "> End of Measure_SpectralMask_11n(), RetCode = 1", "* used time: 0 ms *"}},
      {"refused margin is not measured and not valid",
       [](FakeServer& f) { f.fails(ServerOp::get_IEEE80211n_SpectralMask_Margin, kRefused); },
       [](Buffers& b) {
         return Tevra_Measure_SpectralMask_11n(&b.d[0], &b.d[1], nullptr, nullptr, nullptr, 1);
       },
       0,
       {-999, 0, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},
       7,
       {},
       {"> Start Measure_SpectralMask_11n(HT40)", "IEEE80211n_SpectralMask_Initiate()=0",
        "IEEE80211n_SpectralMask_Margin()=-999.000000, OverLoad = 0",
        "IEEE80211n_SpectralMask_ReferenceLevelResult() = 0.000000", "PeakPower = 50",
        "Not valid: mask margin refused", "> End of Measure_SpectralMask_11n(), RetCode = 0",
        "* used time: 0 ms *"}},
      {"point count over the bound writes no point",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211a_SpectralMask_NumSpectrumPoints, int32_t{4097});
       },
       [](Buffers& b) {
         return Tevra_Measure_SpectralMask_11ag(&b.d[0], &b.d[1], &b.n, &b.d[4], &b.d[8], 0);
       },
       -3061,
       {0, 0, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},
       0,
       {},
       {"> Start Measure_SpectralMask_11ag()", "IEEE80211a_SpectralMask_Initiate()=0",
        "IEEE80211a_SpectralMask_Margin()=0.000000, OverLoad = 0",
        "IEEE80211a_SpectralMask_ReferenceLevelResult() = 0.000000", "PeakPower = 50",
        "IEEE80211a_SpectralMask_NumSpectrumPoints() = 4097",
        "ERR -3061,4097 spectrum points, the bound is 4096",
        "> End of Measure_SpectralMask_11ag(), RetCode = -3061", "* used time: 0 ms *"}},
      {"a failing point read keeps the earlier points",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211b_SpectralMask_NumSpectrumPoints, int32_t{3});
         f.returns(ServerOp::IEEE80211b_SpectralMask_SpectrumFrequency, 5.0);
         f.failsAtCall(ServerOp::IEEE80211b_SpectralMask_SpectrumPower, 2, kRefused, -3.0);
       },
       [](Buffers& b) { return Tevra_Measure_SpectralMask_11b(&b.d[0], &b.d[1], &b.n, &b.d[4], &b.d[8], 0); },
       -3122,
       {0, 0, 7, 7, 5, 5, 7, 7, -3, 7, 7, 7},
       3,
       {},
       {}},
      {"11b composite forced, modulation and error in Hz stored",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211b_EVM_Result, 5.0);
         f.returns(ServerOp::get_IEEE80211b_FrequencyError_Result, 10.0);
         f.returns(ServerOp::get_IEEE80211b_EVM_ModulationFormat, int32_t{12});
       },
       [](Buffers& b) { return Tevra_Measure_ALL_11b(&b.d[0], &b.d[1], 1); },
       1,
       {5, 10, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},
       7,
       {"IEEE80211b_EVM_ForceInitiate()", "get_MeasurementBusy()", "get_IEEE80211b_EVM_OverLoad()",
        "get_IEEE80211b_EVM_Result()", "IEEE80211b_FrequencyError_Initiate()", "get_MeasurementBusy()",
        "get_IEEE80211b_FrequencyError_OverLoad()", "get_IEEE80211b_EVM_ModulationFormat()",
        "get_IEEE80211b_FrequencyError_Result()", "get_Frequency()"},
       {"> Start Measure_ALL_11b()", "IEEE80211b_EVM_ForceInitiate()=0",
        "IEEE80211b_EVM_Result(EVM = 5, OverLoad = 0)", "IEEE80211b_FrequencyError_Initiate()=0",
        "IEEE80211b_FrequencyError_Result(FrequencyError = 24120 Hz (10 ppm), OverLoad = 0)",
        "> End of Measure_ALL_11b(), RetCode = 1", "* used time: 0 ms *"}},
      {"11b composite EVM refused keeps 100 % and is not valid",
       [](FakeServer& f) { f.fails(ServerOp::get_IEEE80211b_EVM_Result, kRefused); },
       [](Buffers& b) { return Tevra_Measure_ALL_11b(&b.d[0], &b.d[1], 0); },
       0,
       {100, 0, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},
       7,
       {},
       {}},
      {"11ag composite, CFL overloaded, three flatness results",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211a_EVM_Result, -20.0);
         f.returns(ServerOp::get_IEEE80211a_FrequencyError_Result, -10.0);
         f.returns(ServerOp::get_IEEE80211a_CFL_OverLoad, int16_t{-1});
         f.returns(ServerOp::get_IEEE80211a_CFL_Result, -30.0);
         f.returns(ServerOp::get_IEEE80211a_SpectralFlatness_Margin, 1.5);
         f.returns(ServerOp::get_IEEE80211a_SpectralFlatness_NumResults, int32_t{3});
         f.script(ServerOp::IEEE80211a_SpectralFlatness_Result,
                  {Answer{{}, {}, 0.1}, Answer{{}, {}, 0.2}, Answer{{}, {}, 0.3}});
       },
       [](Buffers& b) {
         return Tevra_Measure_ALL_11ag(&b.d[0], &b.d[1], &b.d[2], &b.d[3], &b.d[4], &b.n, 0);
       },
       0,
       {-20, -10, -30, 1.5, 0.1, 0.2, 0.3, 7, 7, 7, 7, 7},
       3,
       {},
       {"> Start Measure_ALL_11ag()", "IEEE80211a_EVM_Initiate()=0",
        "IEEE80211a_EVM_Result = -20 (10%), OverLoad = 0", "IEEE80211a_FrequencyError_Initiate()=0",
        "IEEE80211a_FrequencyError_Result = -24120 Hz (-10 ppm), OverLoad = 0", "IEEE80211a_CFL_Initiate()=0",
        "IEEE80211a_CFL_Result = -30, OverLoad = 1", "IEEE80211a_SpectralFlatness_Initiate()=0",
        "IEEE80211a_SpectralFlatness_Margin = 1.5", "IEEE80211a_SpectralFlatness_NumResults = 3",
        "> End of Measure_ALL_11ag(), RetCode = 0", "* used time: 0 ms *"}},
      {"11ag composite without a count reads neither count nor results",
       [](FakeServer& f) { f.returns(ServerOp::get_IEEE80211a_SpectralFlatness_NumResults, int32_t{3}); },
       [](Buffers& b) {
         return Tevra_Measure_ALL_11ag(&b.d[0], &b.d[1], &b.d[2], &b.d[3], &b.d[4], nullptr, 0);
       },
       1,
       {0, 0, 0, 0, 7, 7, 7, 7, 7, 7, 7, 7},
       7,
       {},
       {}},
      {"11ag flatness count over the bound writes nothing",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211a_EVM_Result, -20.0);
         f.returns(ServerOp::get_IEEE80211a_SpectralFlatness_NumResults, int32_t{257});
       },
       [](Buffers& b) {
         return Tevra_Measure_ALL_11ag(&b.d[0], &b.d[1], &b.d[2], &b.d[3], &b.d[4], &b.n, 0);
       },
       -2585,
       {0, 0, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7},
       7,
       {},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    markTrace();
    testing::ScopedFakeInstrument fake;
    fake->returns(ServerOp::get_Frequency, 2.412e9);
    c.script(fake.fake());
    Buffers b;
    EXPECT_EQ(c.call(b), c.result);
    EXPECT_EQ(b.d, c.d);
    EXPECT_EQ(b.n, c.n);
    if (!c.calls.empty()) {
      auto calls = fake->callTexts();
      std::erase(calls, "get_Frequency()");
      if (c.calls.back() == "get_Frequency()") calls.push_back("get_Frequency()");
      EXPECT_EQ(calls, c.calls);
    }
    if (!c.trace.empty()) {
      EXPECT_EQ(lines(), c.trace);
    }
  }
}

TEST_F(CompositeMaskTest, StoreAfterCompositeAndMask) {
  testing::ScopedFakeInstrument fake;
  fake->returns(ServerOp::get_Frequency, 2.412e9);
  fake->returns(ServerOp::get_IEEE80211a_FrequencyError_Result, 10.0);
  fake->returns(ServerOp::get_IEEE80211a_EVM_ModulationFormat, int32_t{8});
  fake->returns(ServerOp::get_IEEE80211b_SpectralMask_ReferenceLevelResult, -40.0);
  lastResults().bitRateMbps = 54;
  double d[4] = {};
  ASSERT_EQ(Tevra_Measure_ALL_11ag(&d[0], &d[1], &d[2], &d[3], nullptr, nullptr, 0), 1);
  ASSERT_EQ(Tevra_Measure_SpectralMask_11b(&d[0], &d[1], nullptr, nullptr, nullptr, 0), 1);
  EXPECT_EQ(lastResults().bitRateMbps, 0.0);
  EXPECT_EQ(lastResults().frequencyErrorHz, 24120.0);
  EXPECT_EQ(lastResults().modulationFormat, 8);
  EXPECT_EQ(lastResults().spectralMaskPeakPowerDbm, 10.0);
}

}  // namespace
}  // namespace tevra::measure
