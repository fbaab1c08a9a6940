#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "src/core/settings.h"
#include "src/log/statistics.h"
#include "tests/support/driver_test.h"
#include "tests/support/fake_server.h"
#include "tests/support/fake_visa.h"
#include "tevra.h"

namespace tevra::spectrum {
namespace {

using server::ServerOp;
using testing::Answer;
using testing::FakeServer;
using Lines = std::vector<std::string>;
using Values = std::vector<double>;

constexpr platform::HRESULT kRefused = platform::hr(0x80040303u);

Answer with(testing::Value value) {
  return Answer{platform::S_OK, {}, std::move(value)};
}

// The double arguments the fake received for one operation, in call order.
Values argumentsOf(const FakeServer& fake, ServerOp op) {
  Values values;
  for (const auto& call : fake.calls()) {
    if (call.op == op) values.push_back(std::get<double>(call.args.at(0)));
  }
  return values;
}

class SpectrumServerTest : public test::DriverTest {
 protected:
  void SetUp() override {
    test::DriverTest::SetUp();
    kernel_.recordSleeps();
  }
};

TEST_F(SpectrumServerTest, GatedSpectrum) {
  const Lines full{"> Start GatedSpectrum(0,7,4)",          "GatedSpectrum_Initiate()=0",
                   "GatedSpectrum_NumSpectrumPoints()=3",   "GatedSpectrum_BandPower()=-20.5",
                   "> End of GatedSpectrum(), RetCode = 1", "* used time: 0 ms *"};
  const struct {
    int32_t points;
    testing::Value frequencies;
    bool overloaded;
    bool arrays;  // both arrays given
    int32_t result;
    Values powers;
    Lines trace;  // the whole trace, or its ERR line alone
  } cases[] = {
      {3, Values{1, 2, 3, 4}, false, true, 1, {-1, -2, -3, 9}, full},
      {3,
       Values{1, 2},
       false,
       true,
       -4519,
       {9, 9, 9, 9},
       {"ERR -4519,L4481,get_GatedSpectrum_Frequencies holds 2 points, 3 expected"}},
      {2,
       testing::NullArray{},
       false,
       true,
       -4519,
       {9, 9, 9, 9},
       {"ERR -4519,L4481,get_GatedSpectrum_Frequencies holds 0 points, 2 expected"}},
      {3, Values{1, 2, 3}, true, false, 0, {9, 9, 9, 9}, {}},
  };
  for (const auto& c : cases) {
    testing::ScopedFakeInstrument fake;
    fake->returns(ServerOp::get_GatedSpectrum_NumSpectrumPoints, c.points);
    fake->returns(ServerOp::get_GatedSpectrum_Frequencies, c.frequencies);
    fake->returns(ServerOp::get_GatedSpectrum_Powers, Values{-1, -2, -3, -4});
    fake->returns(ServerOp::get_GatedSpectrum_BandPower, -20.5);
    fake->returns(ServerOp::get_GatedSpectrum_Overloaded, int16_t{c.overloaded ? int16_t{-1} : int16_t{0}});
    markTrace();
    int32_t points = -1;
    Values freqs(4, 9.0), powers(4, 9.0);
    double band = 0.0;
    EXPECT_EQ(Tevra_GatedSpectrum(0, 7, 4, &points, freqs.data(), c.arrays ? powers.data() : nullptr, &band),
              c.result);
    EXPECT_EQ(powers, c.powers);
    EXPECT_EQ(c.trace.size() == 1 ? Lines{lines().at(4)} : (c.trace.empty() ? Lines{} : lines()), c.trace);
    const Lines names = fake->callNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "get_GatedSpectrum_Frequencies"), c.arrays ? 1 : 0);
  }
  EXPECT_EQ(Tevra_GatedSpectrum(2, 1, 1, nullptr, nullptr, nullptr, nullptr), -4519);
  int32_t block[TEVRA_STAT_BLOCK_COUNT] = {};
  Tevra_Stat_Measurement(2, block);
  EXPECT_EQ(block[2 + 3 * static_cast<int>(log::StatEntry::kGatedSpectrum1)], 4);
  EXPECT_EQ(block[2 + 3 * static_cast<int>(log::StatEntry::kGatedSpectrum2)], 1);
}

TEST_F(SpectrumServerTest, StitchedSpectrum) {
  const struct {
    std::vector<Answer> counts;
    int32_t result;
    int32_t points;
    Values powers;
    Values frequencyPuts;  // the three spans, then the restore
  } cases[] = {
      // Three spans sharing their edge points, the middle one overloaded; a middle span without points.
      {{with(3)}, 0, 7, {-10, -20, -35, -50, -65, -80, -90}, {2390e6, 2412e6, 2434e6, 2412e6}},
      {{with(3), with(0)}, -4931, 3, {-10, -20, -30, 9}, {2390e6, 2412e6, 2412e6}},
  };
  for (const auto& c : cases) {
    testing::ScopedFakeInstrument fake;
    FakeServer& f = fake.fake();
    f.returns(ServerOp::get_Frequency, 2412e6);
    f.returns(ServerOp::get_PowerRange, -10.0);
    f.script(ServerOp::get_GatedSpectrum_NumSpectrumPoints, c.counts);
    f.script(ServerOp::get_GatedSpectrum_Overloaded, {Answer{}, with(int16_t{-1}), Answer{}});
    f.script(ServerOp::get_GatedSpectrum_Frequencies,
             {with(Values{1, 2, 3}), with(Values{3, 4, 5}), with(Values{5, 6, 7})});
    f.script(ServerOp::get_GatedSpectrum_Powers,
             {with(Values{-10, -20, -30}), with(Values{-40, -50, -60}), with(Values{-70, -80, -90})});
    markTrace();
    int32_t points = -1;
    Values freqs(8, 9.0), powers(8, 9.0);
    EXPECT_EQ(Tevra_GatedSpectrumEx(3, 2, 4, 5, &points, freqs.data(), powers.data(), nullptr), c.result);
    EXPECT_EQ(points, c.points);
    EXPECT_EQ(Values(powers.begin(), powers.begin() + static_cast<long>(c.powers.size())), c.powers);
    EXPECT_EQ(argumentsOf(f, ServerOp::put_Frequency), c.frequencyPuts);
    EXPECT_EQ(argumentsOf(f, ServerOp::put_PowerRange).back(), -10.0) << "put back";
  }
  EXPECT_EQ(lines().at(2), "2412 MHz: GatedSpectrum_NumSpectrumPoints()=0, Overloaded=-1");
  markTrace();
  int32_t points = 0;
  testing::ScopedFakeInstrument fake;
  fake->returns(ServerOp::get_GatedSpectrum_NumSpectrumPoints, 0);
  EXPECT_EQ(Tevra_GatedSpectrumEx(1, 1, 1, 0, &points, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(lines(),
            (Lines{"> Start GatedSpectrumEx(1,1,1,0 dB)",
                   "GatedSpectrumEx() only supports 66MHz, redirect to GatedSpectrum()",
                   "> Start GatedSpectrum(1,1,1)", "GatedSpectrum_Initiate()=0",
                   "GatedSpectrum_NumSpectrumPoints()=0", "> End of GatedSpectrum(), RetCode = 1",
                   "* used time: 0 ms *", "> End of GatedSpectrumEx(), RetCode = 1", "* used time: 0 ms *"}));
}

TEST_F(SpectrumServerTest, AutoRanging) {
  auto findings = [](FakeServer& f) {
    f.returns(ServerOp::get_AutoRangePowerRange11ag, 5.0);
    f.returns(ServerOp::get_AutoRangeTriggerLevel11ag, 0.05);
    f.returns(ServerOp::get_AutoRangeMaxSymbolsUsed11ag, 16);
    f.returns(ServerOp::get_AutoRangeMaxPacketLength11ag, 0.002);
    f.returns(ServerOp::get_AutoRangeTriggerLevel11b, 0.1);
  };
  double range = 0.0, trigger = 0.0, packet = 0.0;
  int32_t symbols = 0;
  const std::string ag = "PowerRange 5 dBm, TriggerLevel 50 mV, MaxSymbolsUsed 16, MaxPacketLength 0.002 sec";
  const struct {
    bool busyOnce;  // busy at the first poll, then finished
    std::function<int32_t()> call;
    int32_t result;
    Lines trace;
    Values triggerPuts;  // V
  } cases[] = {
      {true,
       [] { return Tevra_AutoRange_Run_11ag(); },
       0,
       {"> Start AutoRange_Run_11ag()", ag, "> End of AutoRange_Run_11ag(), RetCode = 0",
        "* used time: 50 ms *"},
       {0.05}},
      {true,
       [&] { return Tevra_AutoRangeEx_Run_11b(0, &range, &trigger, &packet); },
       0,
       {"> Start AutoRangeEx_Run_11b(0X00)", "> End of AutoRangeEx_Run_11b(), RetCode = 0",
        "* used time: 0 ms *"},
       {}},
      {true,
       [&] { return Tevra_AutoRangeEx_Run_11b(1, &range, &trigger, &packet); },
       1,
       {"> Start AutoRangeEx_Run_11b(0X01)", "PowerRange 0 dBm, TriggerLevel 100 mV, MaxPacketLength 0 sec",
        "> End of AutoRangeEx_Run_11b(), RetCode = 1", "* used time: 50 ms *"},
       {}},
      {false,
       [&] { return Tevra_AutoRangeEx_Run_11ag(2, &range, &trigger, &symbols, nullptr); },
       1,
       {"> Start AutoRangeEx_Run_11ag(0X02)", ag, "> End of AutoRangeEx_Run_11ag(), RetCode = 1",
        "* used time: 0 ms *"},
       {0.05}},
      {true, [] { return Tevra_AutoRange_Running(0); }, 1, {}, {}},
      {false,
       [] { return Tevra_WTA_AutoRange_11b(); },
       -5935,
       {"> Start WTA_AutoRange_11b()", "ERR -5935,Not support for Varno 1.5 or later",
        "> End of WTA_AutoRange_11b(), RetCode = -5935", "* used time: 0 ms *"},
       {}},
  };
  for (const auto& c : cases) {
    testing::ScopedFakeInstrument fake;
    findings(fake.fake());
    if (c.busyOnce) fake->script(ServerOp::get_AutoRangeBusy, {with(int16_t{-1}), Answer{}});
    markTrace();
    EXPECT_EQ(c.call(), c.result);
    EXPECT_EQ(lines(), c.trace);
    EXPECT_EQ(argumentsOf(fake.fake(), ServerOp::put_TriggerLevel), c.triggerPuts);
  }
  testing::ScopedFakeInstrument fake;
  fake->fails(ServerOp::get_AutoRangeBusy, kRefused, "gone");
  markTrace();
  EXPECT_EQ(Tevra_AutoRange_Running(0), -5386);
  EXPECT_EQ(lines(),
            (Lines{"ERR -5386,L5384,0x80040303,gone", "> End of AutoRange_Running(0), RetCode = -5386"}));
  EXPECT_EQ(trigger, 50.0);
  EXPECT_EQ(symbols, 16);
}

class FastPowerTest : public test::DriverTest {
 protected:
  // After the base has closed every session, so that the fake is the driver's session.
  void SetUp() override {
    test::DriverTest::SetUp();
    visa_.emplace();
  }
  void TearDown() override {
    visa_.reset();
    test::DriverTest::TearDown();
  }
  void answerPower(const char* power, const char* overrange) {
    visa_->answer(":DIAG:HW:DAP:READ:MISC:APOW? 1", {power});
    visa_->answer(":DIAG:HW:DAP:ACQ:ADC:OVERrange?", {overrange});
  }
  // The setting commands of the last call.
  Lines settingsSent(size_t from) const {
    Lines sent;
    const Lines& protocol = visa_->protocol();
    for (size_t i = from; i < protocol.size(); ++i) {
      if (protocol[i].find(":DIAG:HW:FEA") != std::string::npos ||
          protocol[i].find("TRIG") != std::string::npos ||
          protocol[i].find(":ACQ:TIME") != std::string::npos) {
        sent.push_back(protocol[i]);
      }
    }
    return sent;
  }
  std::optional<testing::FakeVisa> visa_;
};

TEST_F(FastPowerTest, SettingsAreSentOnceAndRepliesChecked) {
  const Lines all{"> :DIAG:HW:FEA:FREQ 2412000000",     "> :DIAG:HW:FEA:RANGE 0",
                  "> :DIAG:HW:DAP:ACQ:TIME 0.00097",    "> :DIAG:HW:DAP:TRIG:SOUR BURSt",
                  "> :DIAG:HW:DAP:TRIG:LEVel -23.9731", "> :DIAG:HW:DAP:TRIG:DELay 0",
                  "> :DIAG:HW:DAP:TRIG:IDLE 1e-06"};
  const struct {
    const char* what;
    std::function<void()> before;
    const char* power;
    const char* overrange;
    int32_t result;
    double dBm;
    Lines sent;
  } cases[] = {
      {"first call sends every setting", [] {}, "-12.5", "0", 1, -12.5, all},
      {"second call sends none", [] {}, "-12.5", "65536", 1, -12.5, {}},
      {"overrange", [] {}, "-3", "1", 0, -3.0, {}},
      {"316 mV is 0 dB",
       [] {
         core::settings().held.triggerLevelMV = 316.0;
         core::markChanged(core::kChangeTriggerLevel);
       },
       "-1",
       "0",
       1,
       -1.0,
       {"> :DIAG:HW:DAP:TRIG:LEVel 0"}},
      {"a failed write is sent again",
       [this] {
         visa_->failWrite(":DIAG:HW:FEA:RANGE 5", VI_ERROR_IO);
         core::settings().held.powerRange = 5.0;
         core::markChanged(core::kChangePowerRange);
       },
       "-1",
       "0",
       1,
       -1.0,
       {"x :DIAG:HW:FEA:RANGE 5"}},
      {"then it goes out",
       [this] { visa_->failWrite(":DIAG:HW:FEA:RANGE 5", VI_SUCCESS); },
       "-1",
       "0",
       1,
       -1.0,
       {"x :DIAG:HW:FEA:RANGE 5"}},
      {"a power reply that is no number", [] {}, "NONE", "0", -3312, 99.0, {}},
      {"an overrange reply that is no number", [] {}, "-1", "x", -3323, -1.0, {}},
      {"a trigger level without dB",
       [] {
         core::settings().held.triggerLevelMV = 0.0;
         core::markChanged(core::kChangeTriggerLevel);
       },
       "-1",
       "0",
       -3340,
       99.0,
       {}},
  };
  for (const auto& c : cases) {
    c.before();
    answerPower(c.power, c.overrange);
    const size_t from = visa_->protocol().size();
    double dBm = 0.0;
    EXPECT_EQ(Tevra_MeasureEx_AveragePower(&dBm), c.result) << c.what;
    EXPECT_EQ(dBm, c.dBm) << c.what;
    EXPECT_EQ(settingsSent(from), c.sent) << c.what;
  }
  markTrace();
  core::settings().held.triggerLevelMV = 31.6;
  double dBm = 0.0;
  core::markChanged(core::kChangeTriggerLevel);
  answerPower("-7.25", "0");
  const size_t from = visa_->protocol().size();
  EXPECT_EQ(Tevra_MeasureEx_AveragePower(&dBm), 1);
  EXPECT_EQ(lines(), (Lines{"> Start MeasureEx_AveragePower()", "Result(AvgPow = -7.25 dBm, OverLoad = 0)",
                            "> End of MeasureEx_AveragePower(), RetCode = 1", "* used time: 0 ms *"}));
  EXPECT_EQ(settingsSent(from), Lines{"> :DIAG:HW:DAP:TRIG:LEVel -20"});
}

TEST(SelfRangeTest, RowsByExpectedPower) {
  const struct {
    double expect;
    int32_t on;
    int32_t result;
    const char* name;
    double value;
  } cases[] = {
      {24.4, 1, 0, "ExpectPower", 24.0},
      {24.5, 1, -430, "ExpectPower", 24.0},
      {-61.4, 1, 0, "EVM_PowerRange_dBm_11b", -60.0},
      {-61.5, 1, -432, "ExpectPower", -60.0},
      {-10.0, 1, 0, "expectpower", -9.0},
      {-10.6, 1, 0, "TriggerLevel_mV_11a", 10.4294},
      {1.0, 1, 0, "TRIGGERLEVEL_MV_11B", 34.2646},
      {1.0, 1, 0, "EVM_PowerRange_dBm_11a", 10.0},
      {1.0, 1, 0, "Other", 999.0},
      {std::nan(""), 1, -432, "ExpectPower", 1.0},
      {5.0, 0, 0, "ExpectPower", -442.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Tevra_TurnSelfRangeOn(c.expect, c.on), c.result) << c.expect;
    EXPECT_EQ(Tevra_GetSelfRangeValue(c.name), c.value) << c.expect << c.name;
  }
  EXPECT_EQ(Tevra_TurnSelfRangeOn(0.0, 0), 0);
}

}  // namespace
}  // namespace tevra::spectrum
