#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "src/log/statistics.h"
#include "tests/support/driver_test.h"
#include "tests/support/fake_server.h"
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
  const struct {
    const char* what;
    std::function<void(FakeServer&)> script;
    bool arrays;
    int32_t result;
    Values powers;
    Lines trace;
  } cases[] = {
      {"trace and band power",
       [](FakeServer& f) {
         f.returns(ServerOp::get_GatedSpectrum_NumSpectrumPoints, 3);
         f.returns(ServerOp::get_GatedSpectrum_Frequencies, Values{1, 2, 3, 4});
         f.returns(ServerOp::get_GatedSpectrum_Powers, Values{-1, -2, -3, -4});
         f.returns(ServerOp::get_GatedSpectrum_BandPower, -20.5);
       },
       true,
       1,
       {-1, -2, -3, 9},
       {"> Start GatedSpectrum(0,7,4)", "GatedSpectrum_Initiate()=0", "GatedSpectrum_NumSpectrumPoints()=3",
        "GatedSpectrum_BandPower()=-20.5", "> End of GatedSpectrum(), RetCode = 1", "* used time: 0 ms *"}},
      {"array shorter than its count",
       [](FakeServer& f) {
         f.returns(ServerOp::get_GatedSpectrum_NumSpectrumPoints, 3);
         f.returns(ServerOp::get_GatedSpectrum_Frequencies, Values{1, 2});
       },
       true,
       -4519,
       {9, 9, 9, 9},
       {"> Start GatedSpectrum(0,7,4)", "GatedSpectrum_Initiate()=0", "GatedSpectrum_NumSpectrumPoints()=3",
        "GatedSpectrum_BandPower()=0",
        "ERR -4519,L4481,get_GatedSpectrum_Frequencies holds 2 points, 3 expected",
        "> End of GatedSpectrum(), RetCode = -4519", "* used time: 0 ms *"}},
      {"null array",
       [](FakeServer& f) {
         f.returns(ServerOp::get_GatedSpectrum_NumSpectrumPoints, 2);
         f.returns(ServerOp::get_GatedSpectrum_Frequencies, testing::NullArray{});
       },
       true,
       -4519,
       {9, 9, 9, 9},
       {}},
      {"overloaded without arrays",
       [](FakeServer& f) {
         f.returns(ServerOp::get_GatedSpectrum_Overloaded, int16_t{-1});
         f.returns(ServerOp::get_GatedSpectrum_NumSpectrumPoints, 3);
       },
       false,
       0,
       {9, 9, 9, 9},
       {}},
  };
  for (const auto& c : cases) {
    testing::ScopedFakeInstrument fake;
    c.script(fake.fake());
    markTrace();
    int32_t points = -1;
    Values freqs(4, 9.0), powers(4, 9.0);
    double band = 0.0;
    EXPECT_EQ(Tevra_GatedSpectrum(0, 7, 4, &points, freqs.data(), c.arrays ? powers.data() : nullptr, &band),
              c.result)
        << c.what;
    EXPECT_EQ(powers, c.powers) << c.what;
    if (!c.trace.empty()) {
      EXPECT_EQ(lines(), c.trace) << c.what;
    }
    if (!c.arrays) {
      EXPECT_EQ(argumentsOf(fake.fake(), ServerOp::get_GatedSpectrum_Frequencies).size(), 0u) << c.what;
    }
  }
  EXPECT_EQ(Tevra_GatedSpectrum(2, 1, 1, nullptr, nullptr, nullptr, nullptr), -4519);
  int32_t block[TEVRA_STAT_BLOCK_COUNT] = {};
  Tevra_Stat_Measurement(2, block);
  EXPECT_EQ(block[2 + 3 * static_cast<int>(log::StatEntry::kGatedSpectrum1)], 4);
  EXPECT_EQ(block[2 + 3 * static_cast<int>(log::StatEntry::kGatedSpectrum2)], 1);
}

TEST_F(SpectrumServerTest, StitchedSpectrum) {
  const struct {
    const char* what;
    std::vector<Answer> counts;
    int32_t result;
    int32_t points;
    Values powers;
    Values frequencyPuts;
  } cases[] = {
      {"three spans, the middle overloaded",
       {with(3)},
       0,
       7,
       {-10, -20, -35, -50, -65, -80, -90},
       {2390e6, 2412e6, 2434e6, 2412e6}},
      {"a middle span without points",
       {with(3), with(0)},
       -4931,
       3,
       {-10, -20, -30, 9, 9, 9, 9, 9},
       {2390e6, 2412e6, 2412e6}},
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
    EXPECT_EQ(Tevra_GatedSpectrumEx(3, 2, 4, 5, &points, freqs.data(), powers.data(), nullptr), c.result)
        << c.what;
    EXPECT_EQ(points, c.points) << c.what;
    EXPECT_EQ(Values(powers.begin(), powers.begin() + static_cast<long>(c.powers.size())), c.powers)
        << c.what;
    EXPECT_EQ(argumentsOf(f, ServerOp::put_Frequency), c.frequencyPuts) << c.what;
    EXPECT_EQ(argumentsOf(f, ServerOp::put_PowerRange).back(), -10.0) << c.what;
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
  auto busyOnce = [](FakeServer& f) { f.script(ServerOp::get_AutoRangeBusy, {with(int16_t{-1}), Answer{}}); };
  double range = 0.0, trigger = 0.0, packet = 0.0;
  int32_t symbols = 0;
  const struct {
    const char* what;
    std::function<void(FakeServer&)> script;
    std::function<int32_t()> call;
    int32_t result;
    Lines trace;
    Values triggerPuts;
  } cases[] = {
      {"blocking run applies",
       busyOnce,
       [] { return Tevra_AutoRange_Run_11ag(); },
       0,
       {"> Start AutoRange_Run_11ag()",
        "PowerRange 5 dBm, TriggerLevel 50 mV, MaxSymbolsUsed 16, MaxPacketLength 0.002 sec",
        "> End of AutoRange_Run_11ag(), RetCode = 0", "* used time: 50 ms *"},
       {0.05}},
      {"options 0 while running",
       busyOnce,
       [&] { return Tevra_AutoRangeEx_Run_11b(0, &range, &trigger, &packet); },
       0,
       {"> Start AutoRangeEx_Run_11b(0X00)", "> End of AutoRangeEx_Run_11b(), RetCode = 0",
        "* used time: 0 ms *"},
       {}},
      {"options 1 waits without applying",
       busyOnce,
       [&] { return Tevra_AutoRangeEx_Run_11b(1, &range, &trigger, &packet); },
       1,
       {"> Start AutoRangeEx_Run_11b(0X01)", "PowerRange 0 dBm, TriggerLevel 100 mV, MaxPacketLength 0 sec",
        "> End of AutoRangeEx_Run_11b(), RetCode = 1", "* used time: 50 ms *"},
       {}},
      {"options 2 finished at once applies",
       [](FakeServer&) {},
       [&] { return Tevra_AutoRangeEx_Run_11ag(2, &range, &trigger, &symbols, nullptr); },
       1,
       {"> Start AutoRangeEx_Run_11ag(0X02)",
        "PowerRange 5 dBm, TriggerLevel 50 mV, MaxSymbolsUsed 16, MaxPacketLength 0.002 sec",
        "> End of AutoRangeEx_Run_11ag(), RetCode = 1", "* used time: 0 ms *"},
       {0.05}},
      {"running, quiet", busyOnce, [] { return Tevra_AutoRange_Running(0); }, 1, {}, {}},
      {"running fails, quiet",
       [](FakeServer& f) { f.fails(ServerOp::get_AutoRangeBusy, kRefused, "gone"); },
       [] { return Tevra_AutoRange_Running(0); },
       -5386,
       {"ERR -5386,L5384,0x80040303,gone", "> End of AutoRange_Running(0), RetCode = -5386"},
       {}},
      {"refused",
       [](FakeServer&) {},
       [] { return Tevra_WTA_AutoRange_11b(); },
       -5935,
       {"> Start WTA_AutoRange_11b()", "ERR -5935,Not support for Varno 1.5 or later",
        "> End of WTA_AutoRange_11b(), RetCode = -5935", "* used time: 0 ms *"},
       {}},
  };
  for (const auto& c : cases) {
    testing::ScopedFakeInstrument fake;
    findings(fake.fake());
    c.script(fake.fake());
    markTrace();
    EXPECT_EQ(c.call(), c.result) << c.what;
    EXPECT_EQ(lines(), c.trace) << c.what;
    EXPECT_EQ(argumentsOf(fake.fake(), ServerOp::put_TriggerLevel), c.triggerPuts) << c.what;
  }
  EXPECT_EQ(trigger, 50.0);
  EXPECT_EQ(symbols, 16);
}

}  // namespace
}  // namespace tevra::spectrum
