// The analyzer set-up and the measurements through the built server module against the simulator: the
// settings reach the instrument in its units, and a demodulation with nothing playing finds no valid burst.
#include <gtest/gtest.h>

#include "src/core/error_state.h"
#include "src/core/settings.h"
#include "tests/integration/server_fixture.h"
#include "tevra.h"

namespace tevra::test {
namespace {

class MeasurementSessionTest : public OpenSessionFixture {};

TEST_F(MeasurementSessionTest, SetUpReachesTheInstrumentAndNoSignalIsNoValidBurst) {
  EXPECT_EQ(Tevra_DigitalAnalyzer_Setup_11ag(5180, -1, 2, 100, -5, 3, 1e-6, 50), 0);
  EXPECT_EQ(Tevra_SetBluetoothMode(), 0);
  EXPECT_EQ(Tevra_SetWlanMode(), 0);
  ASSERT_GE(Tevra_Suspend(), 0);
  EXPECT_EQ(instrumentState("SENSe:FREQuency?"), "5.180000000E+09");
  EXPECT_EQ(instrumentState("TRIGger:SOURce?"), "EXT");
  EXPECT_EQ(instrumentState("TRIGger:LEVel?"), "5.000000000E-02");
  EXPECT_EQ(instrumentState("SENSe:POWer:RANGe?"), "-5.000000000E+00");
  EXPECT_EQ(core::settings().held.centerFrequencyMHz, 5180.0);

  EXPECT_EQ(Tevra_DigitalAnalyzer_Setup_11b(2412, 0, 1, 0.001, 99, 2, 0, 20), -2116)
      << "power range out of range";
  EXPECT_EQ(core::settings().held.centerFrequencyMHz, 2412.0);
  EXPECT_EQ(core::settings().held.powerRange, -5.0);

  double chipClock = 0;
  EXPECT_EQ(Tevra_GetExtraMeasureResult("EVM_CCK_ChipClkErr_ppm", &chipClock), -6938)
      << "no 802.11b demodulation yet: refused at once, and the server keeps its connection";
  double evm = 0;
  double ppm = 0;
  EXPECT_EQ(Tevra_Measure_Demod_ALL_11ag(&evm, &ppm), 0) << "nothing plays: no burst";
  double burstGood = 1;
  EXPECT_EQ(Tevra_GetExtraMeasureResult("EVM_BurstGood", &burstGood), 1);
  EXPECT_EQ(burstGood, 0.0);
}

}  // namespace
}  // namespace tevra::test
