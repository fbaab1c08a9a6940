#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "src/core/settings.h"
#include "tests/support/driver_test.h"
#include "tests/support/fake_server.h"
#include "tevra.h"

namespace tevra::measure {
namespace {

using server::ServerOp;
using Lines = std::vector<std::string>;

constexpr platform::HRESULT kRefused = platform::hr(0x80040303u);

class AnalyzerSetupTest : public test::DriverTest {};

TEST_F(AnalyzerSetupTest, WritesInOrderInServerUnitsAndHoldsWhatWasAccepted) {
  struct Case {
    const char* what;
    std::function<void(testing::FakeServer&)> script;
    std::function<int32_t()> call;
    int32_t result;
    Lines calls;
    Lines trace;
    core::HeldSettings held;  // expected afterwards
  } cases[] = {
      {"11ag external trigger",
       [](testing::FakeServer&) {},
       [] { return Tevra_DigitalAnalyzer_Setup_11ag(5180, -1, 3, 200, -10, 3, 2e-6, 50); },
       0,
       {"put_Frequency(f64 5180000000)", "put_MirrorFrequency(i16 -1)", "put_FramesUsed(i32 3)",
        "put_MaxSymbolsUsed(i32 200)", "put_PowerRange(f64 -10)", "put_TriggerStyle(i32 4)",
        "put_TriggerDelay(f64 2e-06)", "put_TriggerLevel(f64 0.05)"},
       {"> Start DigitalAnalyzer_Setup_11ag()", "Frequency = 5180 MHz", "MirrorFrequency = -1",
        "FramesUsed = 3", "MaxSymbolsUsed = 200", "PowerRange = -10 dBm", "TriggerStyle = 3",
        "TriggerDelay = 2e-06 sec", "TriggerLevel = 50 mV",
        "> End of DigitalAnalyzer_Setup_11ag(), RetCode = 0", "* used time: 0 ms *"},
       {5180, -10, 0.00097, 4, 50, 2e-6, 0.000001, 2}},
      {"11b below 1 MHz sends no frequency, style 99 is burst",
       [](testing::FakeServer&) {},
       [] { return Tevra_DigitalAnalyzer_Setup_11b(0.5, 0, 1, 0.002, 5, 99, 0, 20); },
       0,
       {"put_MirrorFrequency(i16 0)", "put_FramesUsed(i32 1)", "put_MaxPacketLength(f64 0.002)",
        "put_PowerRange(f64 5)", "put_TriggerStyle(i32 2)", "put_TriggerDelay(f64 0)",
        "put_TriggerLevel(f64 0.02)"},
       {"> Start DigitalAnalyzer_Setup_11b()", "Frequency = 0.5 MHz", "MirrorFrequency = 0", "FramesUsed = 1",
        "MaxPacketLength = 0.002 sec", "PowerRange = 5 dBm", "TriggerStyle = 99", "TriggerDelay = 0 sec",
        "TriggerLevel = 20 mV", "> End of DigitalAnalyzer_Setup_11b(), RetCode = 0", "* used time: 0 ms *"},
       {2412, 5, 0.002, 2, 20, 0, 0.000001, 2}},
      {"power range refused: earlier writes held, later ones not",
       [](testing::FakeServer& f) { f.fails(ServerOp::put_PowerRange, kRefused, "range"); },
       [] { return Tevra_DigitalAnalyzer_Setup_11ag(2437, 0, 1, 10, 40, 1, 0, 30); },
       -2038,
       {"put_Frequency(f64 2437000000)", "put_MirrorFrequency(i16 0)", "put_FramesUsed(i32 1)",
        "put_MaxSymbolsUsed(i32 10)", "put_PowerRange(f64 40)"},
       {"> Start DigitalAnalyzer_Setup_11ag()", "Frequency = 2437 MHz", "MirrorFrequency = 0",
        "FramesUsed = 1", "MaxSymbolsUsed = 10", "ERR -2038,L2006,0x80040303,range",
        "> End of DigitalAnalyzer_Setup_11ag(), RetCode = -2038", "* used time: 0 ms *"},
       {2437, 0, 0.00097, 2, 20, 0, 0.000001, 2}},
      {"RF immediate with holdoff",
       [](testing::FakeServer&) {},
       [] { return Tevra_RFAnalyzer_Setup(2484, 1, 1e-5, 100, 0.001); },
       0,
       {"put_Frequency(f64 2484000000)", "put_TriggerStyle(i32 0)", "put_TriggerDelay(f64 1e-05)",
        "put_TriggerLevel(f64 0.1)", "put_TriggerHoldoff(f64 0.001)"},
       {"> Start RFAnalyzer_Setup()", "Frequency = 2484 MHz", "TriggerStyle = 1", "TriggerDelay = 1e-05 sec",
        "TriggerLevel = 100 mV", "TriggerHoldoff = 0.001 sec", "> End of RFAnalyzer_Setup(), RetCode = 0",
        "* used time: 0 ms *"},
       {2484, 0, 0.00097, 0, 100, 1e-5, 0.001, 2}},
      {"Bluetooth refused",
       [](testing::FakeServer& f) { f.fails(ServerOp::SetBluetoothMode, kRefused, "no option"); },
       [] { return Tevra_SetBluetoothMode(); },
       -6698,
       {"SetBluetoothMode()"},
       {"> Start SetBluetoothMode()", "ERR -6698,L6694,0x80040303,no option",
        "> End of SetBluetoothMode(), RetCode = -6698", "* used time: 0 ms *"},
       {}},
      {"WLAN",
       [](testing::FakeServer&) {},
       [] { return Tevra_SetWlanMode(); },
       0,
       {"SetWlanMode()"},
       {"> Start SetWlanMode()", "> End of SetWlanMode(), RetCode = 0", "* used time: 0 ms *"},
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    core::resetSettings();
    core::settings().changeMask = 0;
    markTrace();
    testing::ScopedFakeInstrument fake;
    c.script(fake.fake());
    EXPECT_EQ(c.call(), c.result);
    EXPECT_EQ(fake->callTexts(), c.calls);
    EXPECT_EQ(lines(), c.trace);
    const auto& held = core::settings().held;
    EXPECT_EQ(held.centerFrequencyMHz, c.held.centerFrequencyMHz);
    EXPECT_EQ(held.powerRange, c.held.powerRange);
    EXPECT_EQ(held.maxPacketLengthS, c.held.maxPacketLengthS);
    EXPECT_EQ(held.triggerStyle, c.held.triggerStyle);
    EXPECT_EQ(held.triggerLevelMV, c.held.triggerLevelMV);
    EXPECT_EQ(held.triggerDelayS, c.held.triggerDelayS);
    EXPECT_EQ(held.triggerHoldoffS, c.held.triggerHoldoffS);
    // Only the set-ups mark every held setting for the fast path, on failure too.
    EXPECT_EQ(
        core::settings().changeMask,
        std::string(c.what).find("Bluetooth") == 0 || std::string(c.what) == "WLAN" ? 0 : core::kChangeAll);
  }
}

TEST_F(AnalyzerSetupTest, WithoutInterfaceTheStepAfterAnUnsentFrequencyFails) {
  EXPECT_EQ(Tevra_RFAnalyzer_Setup(0, 2, 0, 20, 0), -2169);
  EXPECT_EQ(lines().at(2), "ERR -2169,L2156,0x80004003,Invalid pointer");
}

}  // namespace
}  // namespace tevra::measure
