// The fast average power over the driver's own session against the simulator on loopback: what it sends,
// what it leaves out when nothing changed, and that a changed setting is measured at.
#include <gtest/gtest.h>

#include <string>

#include "src/core/settings.h"
#include "src/log/driver_logs.h"
#include "tests/integration/sim_session.h"
#include "tevra.h"

namespace tevra::test {
namespace {

class FastPowerLoopbackTest : public SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    core::resetSettings();
    ASSERT_GT(Tevra_InitViSession(simulator_->resource().c_str()), 0);
  }
  void TearDown() override {
    Tevra_CloseViSession();
    core::resetSettings();
    SimFixture::TearDown();
  }
};

// A centre frequency 88 MHz from the tone leaves it outside the 80 MHz capture.
constexpr double kOutsideTheCapture = 1.0;

TEST_F(FastPowerLoopbackTest, MeasuresTheCarrierAtTheHeldSettings) {
  for (const char* command : {":SOUR:FREQ 2412MHz", ":SOUR:POW -20", ":OUTP:MOD OFF", ":OUTP ON"}) {
    ASSERT_EQ(session_->write(command), VI_SUCCESS);
  }
  // The driver's queries come over a connection of their own: the tone must be on before the first one.
  ASSERT_EQ(session_->query("*OPC?"), "1");
  const struct {
    const char* property;
    double value;
    int32_t result;
    double dBm;
    const char* frequency;
    const char* range;
  } cases[] = {
      {nullptr, 0, 1, -20.0, "2.412000000E+09", "0.000000000E+00"},
      {"PowerRange", -30, 0, -20.0, "2.412000000E+09", "-3.000000000E+01"},
      {"CenterFrequency_MHz", 2500, 1, kOutsideTheCapture, "2.500000000E+09", "-3.000000000E+01"},
      {"TriggerLevel_mV", 31.6, 1, kOutsideTheCapture, "2.500000000E+09", "-3.000000000E+01"},
  };
  for (const auto& c : cases) {
    if (c.property != nullptr) {
      ASSERT_EQ(Tevra_SetProperty(c.property, c.value), 1) << c.property;
    }
    double dBm = 0.0;
    EXPECT_EQ(Tevra_MeasureEx_AveragePower(&dBm), c.result) << c.dBm;
    if (c.dBm == kOutsideTheCapture) {
      EXPECT_LT(dBm, -60.0) << "the tone is outside the capture: the analyzer's noise";
    } else {
      EXPECT_NEAR(dBm, c.dBm, 0.2);
    }
    EXPECT_EQ(session_->query("SENS:FREQ?"), c.frequency);
    EXPECT_EQ(session_->query("SENS:POW:RANG?"), c.range);
    EXPECT_EQ(core::settings().changeMask & 0x7F, 0) << "every setting went out";
  }
  EXPECT_EQ(session_->query("TRIG:LEV?"), "3.160000000E-02") << "-20 dB relative to 316 mV";
  EXPECT_EQ(session_->query("TRIG:SOUR?"), "BURS");
}

}  // namespace
}  // namespace tevra::test
