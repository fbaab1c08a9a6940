#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "src/core/settings.h"
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
constexpr double kUntouched = 7.0;

class DemodulationTest : public test::DriverTest {};

// A good burst at 2412 MHz, 24120 Hz off (10 ppm).
void goodBurst(FakeServer& f) {
  f.returns(ServerOp::get_Frequency, 2.412e9);
  for (auto op : {ServerOp::get_IEEE80211b_Demod_BurstGood, ServerOp::get_IEEE80211a_Demod_BurstGood,
                  ServerOp::get_IEEE80211n_Demod_BurstGood}) {
    f.returns(op, int16_t{-1});
  }
  for (auto op :
       {ServerOp::get_IEEE80211b_Demod_FrequencyError, ServerOp::get_IEEE80211a_Demod_FrequencyError,
        ServerOp::get_IEEE80211n_Demod_FrequencyError}) {
    f.returns(op, 24120.0);
  }
}

TEST_F(DemodulationTest, CallsUnitsTracesAndValidity) {
  struct Case {
    const char* what;
    std::function<void(FakeServer&)> script;
    std::function<int32_t(double*)> call;  // outputs in out[0..3], the ppm in out[4]
    int32_t result;
    std::vector<double> outputs;
    Lines calls;  // empty: not compared
    Lines trace;  // empty: not compared
  } cases[] = {
      {"11b with gated power",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211b_Demod_PeakEVM, 5.0);
         f.returns(ServerOp::get_IEEE80211b_Demod_IQOffset, -30.0);
         f.returns(ServerOp::get_IEEE80211b_Demod_RmsEVM, 3.0);
         f.returns(ServerOp::get_IEEE80211b_Demod_GatedPower, -10.0);
         f.returns(ServerOp::get_IEEE80211b_Demod_DataRate, int32_t{10});
       },
       [](double* o) { return Tevra_Measure_Demod_ALL_11b(o, o + 4); },
       1,
       {5, 7, 7, 7, 10},
       {"put_IEEE80211b_Demod_GatedPowerEnable(i16 1)", "IEEE80211b_Demod_Initiate()",
        "get_MeasurementBusy()", "get_IEEE80211b_Demod_OverLoad()", "get_IEEE80211b_Demod_PeakEVM()",
        "get_IEEE80211b_Demod_BurstGood()", "get_IEEE80211b_Demod_FrequencyError()", "get_Frequency()",
        "get_IEEE80211b_Demod_IQOffset()", "get_IEEE80211b_Demod_RmsEVM()",
        "get_IEEE80211b_Demod_GatedPower()", "get_IEEE80211b_Demod_DataRate()"},
       {"> Start Measure_Demod_ALL_11b()", "IEEE80211b_Demod_Initiate()=0",
        "IEEE80211b_Demod_PeakEVM(PeakEVM = 5 %, BurstGood = -1, OverLoad = 0)",
        "FrequencyError = 24120 Hz (10 ppm), IQOffset = -30 dB, GatedPower = -10 dBm, RmsEVM = 3 %, BitRate "
        "= 5.5 "
        "Mbps",
        "> End of Measure_Demod_ALL_11b(), RetCode = 1", "* used time: 0 ms *"}},
      {"11b without gated power and a bad burst",
       [](FakeServer& f) {
         core::settings().switches.getDemodGatedPower = 0;
         f.returns(ServerOp::get_IEEE80211b_Demod_BurstGood, int16_t{0});
         f.returns(ServerOp::get_IEEE80211b_Demod_DataRate, int32_t{12});
       },
       [](double* o) { return Tevra_Measure_Demod_ALL_11b(o, o + 4); },
       0,
       {0, 7, 7, 7, 10},
       {"put_IEEE80211b_Demod_GatedPowerEnable(i16 0)", "IEEE80211b_Demod_Initiate()",
        "get_MeasurementBusy()", "get_IEEE80211b_Demod_OverLoad()", "get_IEEE80211b_Demod_PeakEVM()",
        "get_IEEE80211b_Demod_BurstGood()", "get_IEEE80211b_Demod_FrequencyError()", "get_Frequency()",
        "get_IEEE80211b_Demod_IQOffset()", "get_IEEE80211b_Demod_RmsEVM()",
        "get_IEEE80211b_Demod_DataRate()"},
       {"> Start Measure_Demod_ALL_11b()", "IEEE80211b_Demod_Initiate()=0",
        "IEEE80211b_Demod_PeakEVM(PeakEVM = 0 %, BurstGood = 0, OverLoad = 0)",
        "FrequencyError = 24120 Hz (10 ppm), IQOffset = 0 dB, GatedPower = -99 dBm, RmsEVM = 0 %, BitRate = "
        "0 Mbps",
        "Not valid: burst not good", "> End of Measure_Demod_ALL_11b(), RetCode = 0", "* used time: 0 ms *"}},
      {"11ag 1 % overloaded",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211a_Demod_OverLoad, int16_t{-1});
         f.returns(ServerOp::get_IEEE80211a_Demod_RmsEVM, 1.0);
         f.returns(ServerOp::get_IEEE80211a_Demod_DataRate, int32_t{7});
       },
       [](double* o) { return Tevra_Measure_Demod_ALL_11ag(o, o + 4); },
       0,
       {-40, 7, 7, 7, 10},
       {},
       {"> Start Measure_Demod_ALL_11ag()", "IEEE80211a_Demod_Initiate()=0",
        "IEEE80211a_Demod_RmsEVM(EVM = 1 % (-40 dB), BurstGood = -1, OverLoad = 1)",
        "FrequencyError = 24120 Hz (10 ppm), IQOffset = 0 dB, GatedPower = 0 dBm, BitRate = 54 Mbps",
        "> End of Measure_Demod_ALL_11ag(), RetCode = 0", "* used time: 0 ms *"}},
      {"11ag EVM 0 % is not valid and gives no dB",
       [](FakeServer&) {},
       [](double* o) { return Tevra_Measure_Demod_ALL_11ag(o, o + 4); },
       0,
       {0, 7, 7, 7, 10},
       {},
       {}},
      {"11ag centre frequency 0 Hz gives no ppm",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211a_Demod_RmsEVM, 10.0);
         f.returns(ServerOp::get_Frequency, 0.0);
       },
       [](double* o) { return Tevra_Measure_Demod_ALL_11ag(o, o + 4); },
       0,
       {-20, 7, 7, 7, 0},
       {},
       {}},
      {"11ag failure part-way leaves the presets",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211a_Demod_RmsEVM, 10.0);
         f.fails(ServerOp::get_IEEE80211a_Demod_IQOffset, kRefused, "gone");
       },
       [](double* o) { return Tevra_Measure_Demod_ALL_11ag(o, o + 4); },
       -2960,
       {0, 7, 7, 7, 0},
       {},
       {}},
      {"11n two channels, channel 2 missing once",
       [](FakeServer& f) {
         f.script(ServerOp::get_IEEE80211n_Demod_Chan2EVM,
                  {Answer{platform::S_OK, {}, 0.0}, Answer{{}, {}, 10.0}});
         f.returns(ServerOp::get_IEEE80211n_Demod_Stream2EVM, 1.0);
         f.returns(ServerOp::get_IEEE80211n_Demod_Chan1EVM, 10.0);
         f.returns(ServerOp::get_IEEE80211n_Demod_Stream1EVM, 1.0);
         f.script(ServerOp::get_IEEE80211n_Demod_OverLoad, {Answer{{}, {}, int16_t{-1}}, Answer{}});
         f.returns(ServerOp::get_IEEE80211n_Demod_MCS, int32_t{15});
       },
       [](double* o) { return Tevra_Measure_Demod_ALL_11n(2, 5, 0, o, o + 4); },
       0,
       {-20, -40, -20, -40, 10},
       {"put_IEEE80211n_Demod_NumChannels(i32 2)", "put_IEEE80211n_Demod_HT40(i32 1)",
        "put_IEEE80211n_Demod_GI(i32 0)", "IEEE80211n_Demod_Initiate()", "get_MeasurementBusy()",
        "get_IEEE80211n_Demod_OverLoad()", "get_IEEE80211n_Demod_Chan2EVM()", "IEEE80211n_Demod_Initiate()",
        "get_MeasurementBusy()", "get_IEEE80211n_Demod_OverLoad()", "get_IEEE80211n_Demod_Chan2EVM()",
        "get_IEEE80211n_Demod_Stream2EVM()", "get_IEEE80211n_Demod_Chan1EVM()",
        "get_IEEE80211n_Demod_Stream1EVM()", "get_IEEE80211n_Demod_BurstGood()",
        "get_IEEE80211n_Demod_FrequencyError()", "get_Frequency()", "get_IEEE80211n_Demod_MCS()"},
       {"> Start Measure_Demod_ALL_11n(2,HT40 = 5,GI = 0,...)", "IEEE80211n_Demod_Initiate()=0",
        "-1.#INF -> Chan2 EVM = 0 %", "IEEE80211n_Demod_Initiate()=0",
        "Chan2 EVM = -20 dB (10 %), Stream2 EVM = -40 dB (1 %)",
        "Chan1 EVM = -20 dB (10 %), Stream1 EVM = -40 dB (1 %), BurstGood = -1, OverLoad = 0",
        "FrequencyError = 24120 Hz (10 ppm), MCS = 15", "> End of Measure_Demod_ALL_11n(), RetCode = 0",
        "* used time: 0 ms *"}},
      {"11n channel 1 never measured: eleven passes, presets, not valid",
       [](FakeServer&) {},
       [](double* o) { return Tevra_Measure_Demod_ALL_11n(1, 0, 1, o, o + 4); },
       0,
       {0, 0, 7, 7, 10},
       {},
       {}},
      {"11n three channels refused before any call",
       [](FakeServer&) {},
       [](double* o) { return Tevra_Measure_Demod_ALL_11n(3, 0, 0, o, o + 4); },
       -2830,
       {7, 7, 7, 7, 7},
       {"<none>"},
       {"> Start Measure_Demod_ALL_11n(3,HT40 = 0,GI = 0,...)", "ERR -2830,NumChannels 3 is not 1 or 2",
        "> End of Measure_Demod_ALL_11n(), RetCode = -2830", "* used time: 0 ms *"}},
      {"turbo sets, measures and restores",
       [](FakeServer& f) {
         f.returns(ServerOp::get_IEEE80211a_Demod_RmsEVM, 10.0);
         f.returns(ServerOp::get_SubcarrierSpacing11ag, 312500.0);
       },
       [](double* o) { return Tevra_Measure_Demod_ALL_11agturbo(o, o + 4); },
       1,
       {-20, 7, 7, 7, 10},
       {},
       {}},
      {"turbo set refused: every setting restored, restore failure does not stop the others",
       [](FakeServer& f) {
         f.returns(ServerOp::get_SubcarrierSpacing11ag, 312500.0);
         f.fails(ServerOp::put_IEEE80211a_Demod_Turbo, kRefused, "busy");
       },
       [](double* o) { return Tevra_Measure_Demod_ALL_11agturbo(o, o + 4); },
       -2999,
       {7, 7, 7, 7, 7},
       {"get_IEEE80211a_Demod_Turbo()", "get_SubcarrierSpacing11ag()", "get_UseAlternateSyncSequence()",
        "put_IEEE80211a_Demod_Turbo(i32 1)", "put_IEEE80211a_Demod_Turbo(i32 0)",
        "put_SubcarrierSpacing11ag(f64 312500)", "put_UseAlternateSyncSequence(i16 0)"},
       {"> Start Measure_Demod_ALL_11agturbo()", "ERR -2999,L2989,0x80040303,busy",
        "ERR -2999,L2995,0x80040303,busy", "> End of Measure_Demod_ALL_11agturbo(), RetCode = -2999",
        "* used time: 0 ms *"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    resetLastResults();
    core::settings().switches.getDemodGatedPower = 1;
    markTrace();
    testing::ScopedFakeInstrument fake;
    goodBurst(fake.fake());
    c.script(fake.fake());
    std::vector<double> out(5, kUntouched);
    EXPECT_EQ(c.call(out.data()), c.result);
    EXPECT_EQ(out, c.outputs);
    if (c.calls == Lines{"<none>"}) {
      EXPECT_TRUE(fake->calls().empty());
    } else if (!c.calls.empty()) {
      EXPECT_EQ(fake->callTexts(), c.calls);
    }
    if (!c.trace.empty()) {
      EXPECT_EQ(lines(), c.trace);
    }
  }
}

TEST_F(DemodulationTest, StoreKeepsTheErrorInHertzAndTheRatesByIndex) {
  testing::ScopedFakeInstrument fake;
  goodBurst(fake.fake());
  fake->returns(ServerOp::get_IEEE80211b_Demod_DataRate, int32_t{10});
  double evm = 0;
  double ppm = 0;
  core::settings().switches.getDemodGatedPower = 0;
  ASSERT_EQ(Tevra_Measure_Demod_ALL_11b(&evm, &ppm), 1);
  EXPECT_EQ(lastResults().frequencyErrorHz, 24120.0);
  EXPECT_EQ(lastResults().bitRateMbps, 5.5);
  EXPECT_EQ(lastResults().gatedPowerDbm, -99.0);
  EXPECT_EQ(lastResults().burstGood, -1);
}

}  // namespace
}  // namespace tevra::measure
