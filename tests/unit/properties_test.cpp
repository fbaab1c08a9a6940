#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "src/core/settings.h"
#include "tests/support/driver_test.h"
#include "tests/support/fake_server.h"
#include "tests/support/trace_compare.h"
#include "tevra.h"

namespace tevra::core {
namespace {

using server::ServerOp;
using Lines = std::vector<std::string>;

constexpr double kUntouched = -123.0;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Starts with no change pending, so that each case shows the bits it sets.
class PropertiesTest : public test::DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    settings().changeMask = 0;
  }
};

// held: what GetProperty reads back without a session afterwards (NaN: not read back).
TEST_F(PropertiesTest, SetSendsConvertsAndHoldsByName) {
  struct Case {
    const char* name;
    double value;
    bool session;
    int32_t result;
    Lines calls;
    int32_t mask;
    double held;
  } cases[] = {
      {"CenterFrequency_MHz", 5180, true, 1, {"put_Frequency(f64 5180000000)"}, 0x01, 5180},
      {"TriggerLevel_mV", 35.5, true, 1, {"put_TriggerLevel(f64 0.0355)"}, 0x10, 35.5},
      {"CenterFrequency_MHz", kNaN, false, -1598, {}, 0, 2412},
      {"CenterFrequency_MHz", 7000, true, -1598, {}, 0, 2412},
      {"PowerRange", std::numeric_limits<double>::infinity(), false, -1598, {}, 0, 0},
      {"TriggerLevel_mV", 20000, false, -1598, {}, 0, 20},
      {"TriggerStyle", 3, true, 1, {"put_TriggerStyle(i32 4)"}, 0x08, 3},
      {"TRIGGERSTYLE", 7, false, 1, {}, 0x08, 2},
      {"TriggerStyle", 1.9, false, 1, {}, 0x08, 1},
      {"TriggerStyle", kNaN, true, -1598, {}, 0, 2},
      {"WindowType", 3, true, 1, {"put_WindowType(i32 3)"}, 0x80, kNaN},
      {"WindowType", 4, true, -1598, {}, 0, kNaN},
      {"WindowType", 1, false, -1598, {}, 0, kNaN},
      {"TrackTiming_11n", 1, true, 1, {"put_TrackTiming11n(i16 1)"}, 0, kNaN},
      {"TrackPhase_11b", -1, true, 1, {"put_TrackPhaseOfdm(i16 -1)"}, 0, kNaN},
      {"TrackAmplitude_11n", 0.7, true, 1, {"put_TrackAmplitude(i16 0)"}, 0, kNaN},
      {"UseAlternateSyncSequence", 40000, true, 1, {"put_UseAlternateSyncSequence(i16 32767)"}, 0, kNaN},
      {"AWG_HighPowerMode", 5, true, 1, {"put_AWG_HighPowerMode(i16 1)"}, 0, kNaN},
      {"FramesUsed", -7.9, true, 1, {"put_FramesUsed(i32 -7)"}, 0, kNaN},
      {"MaxSymbolsUsed", 1e300, true, 1, {"put_MaxSymbolsUsed(i32 2147483647)"}, 0, kNaN},
      {"FramesUsed", 4, false, -1598, {}, 0, kNaN},
      {"SubcarrierSpacing_KHz_11ag", 312.5, true, 1, {"put_SubcarrierSpacing11ag(f64 312500)"}, 0, kNaN},
      {"EqualizationType_11ag", 2, true, 1, {"put_EqualizationType11ag(i32 0)"}, 0, kNaN},
      {"AveragePower_ExpectedSignalBandwidth", 2, true, -1598, {}, 0, kNaN},
      {"Demod_ReferenceFilterType_11b", 2, true, 1, {"put_DemodReferenceFilterType11b(i32 2)"}, 0, kNaN},
      {"Demod_ReferenceFilterType_11b", -1, true, -1598, {}, 0, kNaN},
      {"ShowSplashScreen", 0, true, 1, {}, 0, 0},
      {"VSA_Visible", 1, true, 0, {}, 0, kNaN},
      {"AutoRange_PowerRange_11ag", 1, true, 0, {}, 0, kNaN},
      {nullptr, 1, true, 0, {}, 0, kNaN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name ? c.name : "(null)") + " = " + std::to_string(c.value));
    resetSettings();
    settings().changeMask = 0;
    {
      std::optional<testing::ScopedFakeInstrument> fake;
      if (c.session) fake.emplace();
      EXPECT_EQ(Tevra_SetProperty(c.name, c.value), c.result);
      EXPECT_EQ(fake ? fake->fake().callTexts() : Lines{}, c.calls);
      EXPECT_EQ(settings().changeMask, c.mask);
      if (c.mask == kChangeWindowType) {
        EXPECT_EQ(settings().held.windowType, 3);
      }
    }
    if (!std::isnan(c.held)) {
      double held = kUntouched;
      Tevra_GetProperty(c.name, &held);
      EXPECT_EQ(held, c.held);
    }
  }
}

TEST_F(PropertiesTest, GetReadsConvertsAndMapsByName) {
  struct Case {
    const char* name;
    bool session;
    std::optional<ServerOp> op;
    testing::Value answer;
    int32_t result;
    double expected;
  } cases[] = {
      {"TriggerStyle", false, std::nullopt, {}, 1, 2.0},
      {"TriggerStyle", true, ServerOp::get_TriggerStyle, int32_t{4}, 1, 3.0},
      {"CenterFrequency_MHz", true, ServerOp::get_Frequency, 5180e6, 1, 5180.0},
      {"TriggerLevel_mV", true, ServerOp::get_TriggerLevel, 0.02, 1, 20.0},
      {"SubcarrierSpacing_KHz_11ag", true, ServerOp::get_SubcarrierSpacing11ag, 312500.0, 1, 312.5},
      {"Autorange_TriggerLevel_mV_11b", true, ServerOp::get_AutoRangeTriggerLevel11b, 0.05, 1, 50.0},
      {"AutoRange_MaxSymbolsUsed_11ag", true, ServerOp::get_AutoRangeMaxSymbolsUsed11ag, int32_t{12}, 1,
       12.0},
      {"TrackPhase", true, ServerOp::get_TrackPhase, int16_t{-1}, 1, -1.0},
      {"EqualizationType_11b", true, ServerOp::get_EqualizationType11b, int32_t{3}, 1, 0.0},
      {"WindowType", true, ServerOp::get_WindowType, int32_t{3}, 1, 3.0},
      {"WindowType", true, ServerOp::get_WindowType, int32_t{5}, 0, kUntouched},
      {"FramesUsed", false, std::nullopt, {}, -1882, kUntouched},
      {"EqualizationType_11n", true, std::nullopt, {}, 0, kUntouched},
      {"LogIt_DebugOutput", true, std::nullopt, {}, 0, kUntouched},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<testing::ScopedFakeInstrument> fake;
    if (c.session) fake.emplace();
    if (c.op) fake.value()->returns(*c.op, c.answer);
    double value = kUntouched;
    EXPECT_EQ(Tevra_GetProperty(c.name, &value), c.result);
    EXPECT_DOUBLE_EQ(value, c.expected);
    EXPECT_EQ(fake ? fake.value()->calls().size() : 0u, c.op ? 1u : 0u);
  }
}

TEST_F(PropertiesTest, TraceLinesOfSetAndGetWithTheirFailures) {
  double value = kUntouched;
  {
    testing::ScopedFakeInstrument fake;
    fake->returns(ServerOp::get_Frequency, 5180e6);
    fake->fails(ServerOp::put_Frequency, platform::E_FAIL, "Frequency out of range");
    EXPECT_EQ(Tevra_SetProperty("TriggerLevel_mV", 35.5), 1);
    EXPECT_EQ(Tevra_GetProperty("CenterFrequency_MHz", &value), 1);
    EXPECT_EQ(Tevra_SetProperty("VSA_Visible", 1), 0);
    EXPECT_EQ(Tevra_SetProperty("WindowType", 4), -1598);
    settings().changeMask = 0;
    EXPECT_EQ(Tevra_SetProperty("CenterFrequency_MHz", 5999), -1598);
    EXPECT_EQ(settings().held.centerFrequencyMHz, 2412.0) << "a refused value is not held";
    EXPECT_EQ(settings().changeMask, 0);
  }
  EXPECT_EQ(Tevra_GetProperty("FramesUsed", &value), -1882);
  EXPECT_EQ(Tevra_GetCOMLastError(), platform::E_POINTER);
  EXPECT_EQ(Tevra_GetProperty("", &value), 0);
  EXPECT_EQ(value, 63.0);
  EXPECT_EQ(Tevra_GetProperty("FramesUsed", nullptr), -1882);
  EXPECT_EQ(lines(), (Lines{"> Start SetProperty(TriggerLevel_mV,35.5)",
                            "> End of SetProperty(), RetCode = 1",
                            "> Start GetProperty(CenterFrequency_MHz)",
                            "> End of GetProperty(CenterFrequency_MHz,5180), RetCode = 1",
                            "> Start SetProperty(VSA_Visible,1)",
                            "> End of SetProperty(), RetCode = 0",
                            "> Start SetProperty(WindowType,4)",
                            "ERR -1598,invalid value 4 for SetProperty(WindowType)",
                            "> End of SetProperty(), RetCode = -1598",
                            "> Start SetProperty(CenterFrequency_MHz,5999)",
                            "ERR -1598,L1500,0x80004005,Frequency out of range",
                            "> End of SetProperty(), RetCode = -1598",
                            "> Start GetProperty(FramesUsed)",
                            "ERR -1882,L1801,0x80004003,Invalid pointer",
                            "> End of GetProperty(FramesUsed,5180), RetCode = -1882",
                            "> Start GetProperty()",
                            "> End of GetProperty(0x0000003F)",
                            "> Start GetProperty(FramesUsed)",
                            "ERR -1882,null value pointer for GetProperty(FramesUsed)",
                            "> End of GetProperty(), RetCode = -1882"}));
}

TEST_F(PropertiesTest, AllReadsEveryTableEntryInOrder) {
  testing::ScopedFakeInstrument fake;
  double value = kUntouched;
  EXPECT_EQ(Tevra_GetProperty("ALL", &value), 1);
  EXPECT_EQ(value, 0.0);
  Lines starts;
  for (const auto& line : lines()) {
    if (line.starts_with("> Start GetProperty(")) starts.push_back(line);
  }
  ASSERT_EQ(starts.size(), 1u + 64u);
  EXPECT_EQ(starts[1], "> Start GetProperty(CenterFrequency_MHz)");
  EXPECT_EQ(starts[54], "> Start GetProperty(Autorange_TriggerLevel_mV_11b)");
  EXPECT_EQ(starts[63], "> Start GetProperty(Get_Demod_GatedPower)");
  EXPECT_EQ(starts[64], "> Start GetProperty()");
  EXPECT_EQ(lines().back(), "> End of GetProperty(ALL,0), RetCode = 1");
}

TEST_F(PropertiesTest, OverlongNameIsTracedWholeAndUnknown) {
  const std::string name(100000, 'x');
  double value = kUntouched;
  EXPECT_EQ(Tevra_SetProperty(name.c_str(), 1), 0);
  EXPECT_EQ(Tevra_GetProperty(name.c_str(), &value), 0);
  const Lines traced = lines();
  ASSERT_EQ(traced.size(), 4u);
  EXPECT_EQ(traced[0], "> Start SetProperty(" + name + ",1)");
  EXPECT_EQ(traced[3], "> End of GetProperty(" + name + ",-123), RetCode = 0");
}

}  // namespace
}  // namespace tevra::core
