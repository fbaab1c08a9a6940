// Whole measurement runs through the driver's exports against the simulator, on waveforms generated here
// and played through the server: power, EVM, frequency error, carrier suppression, rate and MCS follow
// the level and the impairments injected.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "sim/dsp/dsss_tx.h"
#include "sim/dsp/ht_tx.h"
#include "sim/dsp/ofdm_tx.h"
#include "sim/dsp/segment_file.h"
#include "src/core/settings.h"
#include "tests/integration/server_fixture.h"
#include "tevra.h"

namespace tevra::test {
namespace {

constexpr double kCentreMHz = 2437;
constexpr double kLevelDbm = -20;

double extra(const char* name) {
  double value = -12345;
  EXPECT_EQ(Tevra_GetExtraMeasureResult(name, &value), 1) << name;
  return value;
}

double percentToDb(double percent) {
  return 20 * std::log10(percent / 100);
}

class DemodSessionTest : public OpenSessionFixture {
 protected:
  // Stores the burst (with an idle gap) in the generator memory, sets the device-under-test profile and
  // plays the burst through the server at the test level; the analyzer is set up for it.
  void play(const dsp::Samples& burst, size_t gap, double clockMHz, const std::string& profile) {
    ASSERT_GE(Tevra_Suspend(), 0);
    std::string segment = dsp::encodeSegment(dsp::burstTrain(burst, 1, gap));
    std::string length = std::to_string(segment.size());
    ASSERT_EQ(session_->write("MMEM:DATA \"RUN.wf1\",#" + std::to_string(length.size()) + length + segment),
              VI_SUCCESS);
    EXPECT_EQ(session_->query("SYST:ERR?"), "0,\"No error\"");
    control(":SIMulation:PROFile '" + profile + "'");
    ASSERT_EQ(Tevra_ARB_Play_SegmentEx("RUN", kLevelDbm, kCentreMHz, clockMHz), 0);
    ASSERT_EQ(Tevra_DigitalAnalyzer_Setup_11ag(kCentreMHz, 0, 1, 1367, kLevelDbm + 12, 1, 0, 20), 0);
  }
};

constexpr const char* kCleanProfile = R"({"snr_db": null, "frequency_offset_ppm": 0, "iq_offset_db": null})";

TEST_F(DemodSessionTest, OfdmRunFollowsLevelAndImpairments) {
  struct Case {
    double mbps;
    const char* profile;
    double evmDb, ppm;
  } cases[] = {{6, R"({"snr_db": 20, "frequency_offset_ppm": 12})", -20.9, 12},
               {54, R"({"snr_db": 30, "frequency_offset_ppm": -20, "iq_offset_db": -28})", -30.9, -20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    control(std::string(":SIMulation:PROFile '") + kCleanProfile + "'");
    play(dsp::synthesizeOfdm({c.mbps, dsp::randomPayload(300, 7), 0x5d}), 400, 20, c.profile);
    double evmDb = 0, ppm = 0;
    EXPECT_EQ(Tevra_Measure_Demod_ALL_11ag(&evmDb, &ppm), 1);
    EXPECT_NEAR(evmDb, c.evmDb, 1.0);
    EXPECT_NEAR(ppm, c.ppm, 0.4);
    EXPECT_NE(extra("EVM_BurstGood"), 0);
    EXPECT_EQ(extra("EVM_BitRate_Mbps"), c.mbps);
    EXPECT_NEAR(extra("EVM_GatedPower_dBm"), kLevelDbm, 0.5);
    EXPECT_NEAR(extra("EVM_FrequencyError_Hz"), c.ppm * kCentreMHz, 1000);
    EXPECT_NEAR(extra("EVM_OFDM_SymClkErr_ppm"), 0, 3);

    double cfl = 0, margin = 0;
    std::vector<double> flatness(TEVRA_FLATNESS_RESULTS_MAX);
    int32_t count = 0;
    EXPECT_EQ(Tevra_Measure_ALL_11ag(&evmDb, &ppm, &cfl, &margin, flatness.data(), &count, 0), 1);
    EXPECT_NEAR(evmDb, c.evmDb, 1.0);
    EXPECT_NEAR(ppm, c.ppm, 0.4);
    EXPECT_LT(cfl, -25.0);
    EXPECT_GT(margin, 0.0);
    EXPECT_EQ(count, 52);
    EXPECT_EQ(extra("EVM_ModulationFormat"),
              c.mbps == 6 ? TEVRA_MODULATION_BPSK_1_2 : TEVRA_MODULATION_64QAM_3_4);
    EXPECT_EQ(extra("EVM_BitRate_Mbps"), 0);
  }
}

TEST_F(DemodSessionTest, DsssRunFollowsLevelAndImpairments) {
  struct Case {
    double mbps;
    const char* profile;
    double evmDb, ppm, suppressionDb;  // 0: no carrier leakage injected
    // An EVM expected from the SNR alone; 0: carrier leakage adds to it, so only an upper bound.
  } cases[] = {{1, R"({"snr_db": 20, "iq_offset_db": -35})", -22.6, 0, 35},
               {11, R"({"snr_db": 30})", -32.6, 0, 0},
               {11, R"({"frequency_offset_ppm": 15, "iq_offset_db": -25})", 0, 15, 25}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    auto expectEvm = [&c](double percent) {
      if (c.evmDb != 0) {
        EXPECT_NEAR(percentToDb(percent), c.evmDb, 1.0);
      } else {
        EXPECT_LT(percentToDb(percent), -20.0);
      }
    };
    control(std::string(":SIMulation:PROFile '") + kCleanProfile + "'");
    play(dsp::synthesizeDsss({c.mbps, dsp::dsss::Preamble::kLong, dsp::randomPayload(60, 3)}), 800, 44,
         c.profile);
    double peak = 0, ppm = 0;
    EXPECT_EQ(Tevra_Measure_Demod_ALL_11b(&peak, &ppm), 1);
    expectEvm(extra("EVM_RmsEVM_Percent"));
    EXPECT_GT(peak, extra("EVM_RmsEVM_Percent"));
    EXPECT_NEAR(ppm, c.ppm, 0.8);
    EXPECT_EQ(extra("EVM_BitRate_Mbps"), c.mbps);
    EXPECT_NEAR(extra("EVM_GatedPower_dBm"), kLevelDbm, 0.5);

    double suppression = 0;
    EXPECT_EQ(Tevra_Measure_CarrierSuppression_dB_11b(&suppression, 0), 1);
    if (c.suppressionDb != 0) {
      EXPECT_NEAR(suppression, c.suppressionDb, 1.0);
    } else {
      EXPECT_GT(suppression, 30.0);
    }
    double evm = 0;
    EXPECT_EQ(Tevra_Measure_ALL_11b(&evm, &ppm, 1), 1);
    expectEvm(evm);
    EXPECT_NEAR(ppm, c.ppm, 0.8);
    EXPECT_EQ(extra("EVM_ModulationFormat"), c.mbps == 1 ? TEVRA_MODULATION_DBPSK : TEVRA_MODULATION_CCK_11);
  }
}

TEST_F(DemodSessionTest, HtRunFollowsLevelAndImpairments) {
  struct Case {
    int mcs;
    const char* profile;
    double evmDb, ppm;
    bool wide;
  } cases[] = {{0, R"({"snr_db": 15})", -15.6, 0, false},
               {7, R"({"snr_db": 32, "frequency_offset_ppm": -8})", -32.6, -8, false},
               {5, R"({"snr_db": 30, "frequency_offset_ppm": 6})", -27.5, 6, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    control(std::string(":SIMulation:PROFile '") + kCleanProfile + "'");
    play(dsp::synthesizeHt({c.mcs, dsp::randomPayload(300, 9), 0x2b, c.wide}), 400, c.wide ? 40 : 20,
         c.profile);
    double evm[4] = {1, 1, 1, 1}, ppm = 0;
    EXPECT_EQ(Tevra_Measure_Demod_ALL_11n(1, c.wide ? 0 : 1, 0, evm, &ppm), 0) << "the other channel width";
    EXPECT_EQ(Tevra_Measure_Demod_ALL_11n(1, c.wide ? 1 : 0, 0, evm, &ppm), 1);
    EXPECT_NEAR(evm[0], c.evmDb, 1.0);
    EXPECT_EQ(evm[1], evm[0]) << "one stream on one channel";
    EXPECT_EQ(evm[2], 1) << "no second channel";
    EXPECT_NEAR(ppm, c.ppm, 0.4);
    EXPECT_EQ(extra("EVM_11n_MCS"), c.mcs);
    EXPECT_NEAR(extra("EVM_11n_Ch1_BurstPower"), kLevelDbm, 0.5);
    double value = 0;
    if (c.wide) {
      EXPECT_LT(Tevra_GetExtraMeasureResult("EVM_11n_Ch1_IQGainImbal_dB", &value), 0)
          << "not measured at 40 MHz";
      continue;
    }
    EXPECT_NEAR(extra("EVM_11n_Ch1_IQGainImbal_dB"), 0, 0.1);
    EXPECT_EQ(Tevra_GetExtraMeasureResult("EVM_11n_Ch2_BurstPower", &value), -6938) << "one receive channel";
  }
}

TEST_F(DemodSessionTest, CalibrationRunsForAWhileThenEnds) {
  EXPECT_EQ(Tevra_Calibrate(), 0);
  EXPECT_EQ(Tevra_CalibrationRunning(1), 1);
  int polls = 0;
  while (Tevra_CalibrationRunning(0) == 1 && polls++ < 100)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(Tevra_CalibrationRunning(0), 0);
}

}  // namespace
}  // namespace tevra::test
