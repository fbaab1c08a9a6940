// The simulated analyzer measures what the generator plays: each case downloads a waveform, sets the
// device-under-test profile, measures over SCPI and compares with what was injected.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "sim/dsp/dsss_tx.h"
#include "sim/dsp/ht_tx.h"
#include "sim/dsp/ofdm_tx.h"
#include "sim/dsp/segment_file.h"
#include "tests/integration/sim_session.h"

namespace tevra::test {
namespace {

std::vector<double> fields(const std::string& reply) {
  std::vector<double> values;
  std::stringstream in(reply);
  for (std::string item; std::getline(in, item, ',');) values.push_back(std::stod(item));
  return values;
}

// An 802.11a/g burst of `mbps`, or an HT-mixed one of MCS (mbps - 100) at 20 MHz or of MCS (mbps - 200) in a
// 40 MHz channel (sampled at 40 MHz).
std::string ofdmSegment(double mbps) {
  std::vector<uint8_t> psdu = dsp::randomPayload(200, 5);
  auto mcs = static_cast<int>(mbps) % 100;
  dsp::Samples burst = mbps >= 100 ? dsp::synthesizeHt({mcs, psdu, 0x2b, mbps >= 200})
                                   : dsp::synthesizeOfdm({mbps, psdu, 0x2b});
  return dsp::encodeSegment(dsp::burstTrain(burst, 1, 400));
}

class AnalyzerMeasureTest : public SimFixture {
 protected:
  void SetUp() override {
    SimFixture::SetUp();
    command(":SIMulation:CLOCk:MODE MANual");
  }

  void command(const std::string& text) {
    ASSERT_EQ(session_->write(text), VI_SUCCESS) << text;
    EXPECT_EQ(session_->query("SYST:ERR?"), "0,\"No error\"") << text;
  }

  // Stores a segment (at 20 MHz) and plays it continuously at `dbm`.
  void play(const std::string& segment, double dbm, double rateHz = 20e6) {
    std::string length = std::to_string(segment.size());
    command("MMEM:DATA \"TEST.wf1\",#" + std::to_string(length.size()) + length + segment);
    command("SOUR:RAD:ARB:CLOC:SRAT " + std::to_string(rateHz) + ";:SOUR:RAD:ARB:WAVE \"WFM1:TEST\"");
    command("SOUR:RAD:ARB ON;:OUTP ON;:SOUR:POW " + std::to_string(dbm));
  }

  // Initiates a measurement and fetches its result, or one of its further results (":IMPairments").
  std::vector<double> measure(const std::string& kind, const std::string& result = "") {
    command("INITiate:" + kind);
    EXPECT_EQ(session_->query("STAT:MEAS:BUSY?"), "1");
    command(":SIMulation:CLOCk:ADVance 1");
    return fields(session_->query("FETCh:" + kind + result + "?"));
  }
};

TEST_F(AnalyzerMeasureTest, PowerFollowsTheLevelAndOverloadTheRange) {
  struct Case {
    const char* waveform;  // "CW" (the seeded tone) or an OFDM rate
    double levelDbm;
    double rangeDbm;
    bool overload;
  } cases[] = {{"CW", -60, -50, false}, {"CW", -30, -27, false}, {"CW", 0, 0.1, false}, {"CW", 0, -0.1, true},
               {"CW", 10, 13, false},   {"54", -20, -8, false},  {"6", -50, -38, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.waveform) + " " + std::to_string(c.levelDbm));
    if (std::string(c.waveform) == "CW") {
      command("SOUR:RAD:ARB:WAVE \"SEQ:CW_TONE\";:SOUR:RAD:ARB ON;:OUTP ON;:SOUR:POW " +
              std::to_string(c.levelDbm));
    } else {
      play(ofdmSegment(std::stod(c.waveform)), c.levelDbm);
    }
    command("SENS:POW:RANG " + std::to_string(c.rangeDbm) + ";:SENS:ACQ:TIME 400us");
    std::vector<double> p = measure("POWer");
    ASSERT_EQ(p.size(), 5u);
    EXPECT_NEAR(p[2], c.levelDbm, 0.2) << "burst power";
    EXPECT_EQ(p[3], 1.0) << "burst found";
    EXPECT_EQ(p[4], c.overload ? 1.0 : 0.0);
  }
  // The seeded tone lies 1 MHz above the carrier at 40 MHz; the analyzer is tuned 30 kHz below it.
  command(
      "SOUR:RAD:ARB:CLOC:SRAT 40MHz;:SOUR:FREQ 2412.03MHz;:SOUR:RAD:ARB:WAVE \"SEQ:CW_TONE\";:SOUR:POW -20");
  command("SENS:POW:RANG -15");
  measure("POWer");
  EXPECT_NEAR(std::stod(session_->query("FETC:POW:CW:FREQ?")), 1.03e6, 100.0);
}

TEST_F(AnalyzerMeasureTest, OfdmDemodulationMeasuresTheInjectedImpairments) {
  struct Case {
    double mbps;
    const char* profile;
    double evmDb;       // expected, 0: only below -40 dB
    double offsetHz;    // expected frequency error
    double iqOffsetDb;  // expected, 0: not checked
  } cases[] = {
      {6, R"({"snr_db": 10})", -10.9, 0, 0},
      {6, R"({"snr_db": 35})", -35.9, 0, 0},
      {24, R"({"snr_db": 20})", -20.9, 0, 0},
      {24, R"({"snr_db": 35})", -35.9, 0, 0},
      {54, R"({"snr_db": 25})", -25.9, 0, 0},
      {54, R"({"snr_db": 35})", -35.9, 0, 0},
      {54, R"({"frequency_offset_ppm": 41.459})", 0, 100e3, 0},
      {12, R"({"frequency_offset_ppm": -41.459})", 0, -100e3, 0},
      {24, R"({"frequency_offset_ppm": 10, "iq_offset_db": -20})", 0, 24.12e3, -20},
      {36, R"({"iq_offset_db": -30})", 0, 0, -30},
      {100, R"({"snr_db": 12})", -12.6, 0, 0},
      {107, R"({"snr_db": 30})", -30.6, 0, 0},
      {107, R"({"frequency_offset_ppm": -41.459, "iq_offset_db": -25})", 0, -100e3, -25},
      {200, R"({"snr_db": 12})", -9.5, 0, 0},
      {207, R"({"snr_db": 30})", -27.5, 0, 0},
      {205, R"({"frequency_offset_ppm": 41.459, "iq_offset_db": -25})", 0, 100e3, -25},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mbps) + " " + c.profile);
    command(std::string(":SIMulation:PROFile '") +
            R"({"snr_db": null, "frequency_offset_ppm": 0, "iq_offset_db": null})" + "'");
    command(std::string(":SIMulation:PROFile '") + c.profile + "'");
    bool ht = c.mbps >= 100, wide = c.mbps >= 200;
    play(ofdmSegment(c.mbps), -30, wide ? 40e6 : 20e6);
    command("SENS:POW:RANG -18;:SENS:ACQ:TIME 400us");
    std::vector<double> r = measure("DEModulation:OFDM");
    ASSERT_EQ(r.size(), 10u);
    ASSERT_EQ(r[0], 1.0) << "burst good";
    static constexpr double kHtRates[] = {6.5, 13, 19.5, 26, 39, 52, 58.5, 65};
    static constexpr double kWideRates[] = {13.5, 27, 40.5, 54, 81, 108, 121.5, 135};
    int mcs = static_cast<int>(c.mbps) % 100;
    EXPECT_EQ(r[5], wide ? kWideRates[mcs] : ht ? kHtRates[mcs] : c.mbps) << "data rate";
    EXPECT_EQ(r[8], ht ? mcs : -1) << "MCS";
    EXPECT_EQ(r[9], wide ? 40 : 20) << "channel width";
    if (wide) {
      ASSERT_EQ(session_->write("FETCh:DEModulation:OFDM:IMPairments?"), VI_SUCCESS);
      EXPECT_EQ(session_->query("SYST:ERR?").rfind("-200,", 0), 0u) << "no estimates of a 40 MHz burst";
    }
    if (c.evmDb != 0) {
      EXPECT_NEAR(r[2], c.evmDb, 1.0) << "EVM";
    } else {
      EXPECT_LT(r[2], -40.0) << "EVM";
    }
    EXPECT_NEAR(r[3], c.offsetHz, 1000.0) << "frequency error";
    if (c.iqOffsetDb != 0) {
      EXPECT_NEAR(r[4], c.iqOffsetDb, 0.5) << "IQ offset";
    }
    if (c.evmDb == 0) {
      EXPECT_NEAR(r[6], -30.0, 0.2) << "gated power";
    }
  }
}

// The estimates beside the demodulation follow the impairments injected: IQ gain imbalance and quadrature
// error (OFDM), symbol or chip clock error, and the carrier leakage as centre-frequency leakage (OFDM) or
// carrier suppression (DSSS); a clean OFDM burst is flat within its limits.
TEST_F(AnalyzerMeasureTest, ImpairmentEstimatesFollowTheProfile) {
  struct Case {
    double mbps;  // OFDM rate, 100 + MCS for HT, or a negative DSSS rate
    const char* profile;
    double gainDb, quadratureDeg, clockPpm, leakageDb;  // leakageDb 0: not checked
  } cases[] = {
      {54, R"({})", 0, 0, 0, 0},
      {107, R"({})", 0, 0, 0, 0},
      {54, R"({"iq_gain_imbalance_db": 1})", 1, 0, 0, 0},
      {24, R"({"quadrature_error_deg": 3})", 0, 3, 0, 0},
      {107, R"({"iq_gain_imbalance_db": -0.5, "quadrature_error_deg": -2})", -0.5, -2, 0, 0},
      {6, R"({"sample_clock_offset_ppm": 40})", 0, 0, 40, 0},
      {36, R"({"sample_clock_offset_ppm": -40, "iq_offset_db": -25})", 0, 0, -40, -25},
      {-11, R"({"sample_clock_offset_ppm": 40})", 0, 0, 40, 0},
      {-1, R"({"sample_clock_offset_ppm": -25, "iq_offset_db": -20})", 0, 0, -25, -20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mbps) + " " + c.profile);
    command(std::string(":SIMulation:PROFile '") +
            R"({"iq_gain_imbalance_db": 0, "quadrature_error_deg": 0, "sample_clock_offset_ppm": 0, )" +
            R"("iq_offset_db": null})" + "'");
    command(std::string(":SIMulation:PROFile '") + c.profile + "'");
    if (c.mbps < 0) {
      dsp::Samples burst =
          dsp::synthesizeDsss({-c.mbps, dsp::dsss::Preamble::kLong, dsp::randomPayload(60, 3)});
      play(dsp::encodeSegment(dsp::burstTrain(burst, 1, 800)), -20, dsp::dsss::kSampleRateHz);
      command("SENS:POW:RANG -12;:SENS:ACQ:TIME 1200us");
      std::vector<double> r = measure("DEModulation:DSSS", ":IMPairments");
      ASSERT_EQ(r.size(), 3u);
      EXPECT_NEAR(r[1], c.clockPpm, 3.0) << "chip clock error";
      if (c.leakageDb != 0) {
        EXPECT_NEAR(r[2], -c.leakageDb, 0.5) << "carrier suppression";
      }
      continue;
    }
    play(ofdmSegment(c.mbps), -30);
    command("SENS:POW:RANG -18;:SENS:ACQ:TIME 400us");
    std::vector<double> r = measure("DEModulation:OFDM", ":IMPairments");
    ASSERT_EQ(r.size(), 4u);
    EXPECT_NEAR(r[0], c.gainDb, 0.1) << "IQ gain imbalance";
    EXPECT_NEAR(r[1], c.quadratureDeg, 0.3) << "quadrature error";
    EXPECT_NEAR(r[2], c.clockPpm, 3.0) << "symbol clock error";
    if (c.leakageDb != 0) {
      EXPECT_NEAR(r[3], c.leakageDb, 0.5) << "centre-frequency leakage";
    }
    std::vector<double> flatness = fields(session_->query("FETCh:DEModulation:OFDM:FLATness?"));
    ASSERT_EQ(flatness.size(), 2 + (c.mbps >= 100 ? 56u : 52u));
    EXPECT_EQ(flatness[1], c.mbps >= 100 ? 56 : 52);
    EXPECT_GT(flatness[0], 1.0) << "flatness margin";
  }
}

// A tone reads its power at its frequency; a clean burst keeps inside the 802.11a/g mask with its occupied
// bandwidth, and an amplifier driven into compression spreads it past the mask.
TEST_F(AnalyzerMeasureTest, DsssDemodulationMeasuresTheInjectedImpairments) {
  struct Case {
    double mbps;
    dsp::dsss::Preamble preamble;
    const char* profile;
    double evmDb;  // expected, 0: only below -30 dB
    double offsetHz;
  } cases[] = {
      {1, dsp::dsss::Preamble::kLong, R"({"snr_db": 10})", -12.6, 0},
      {1, dsp::dsss::Preamble::kLong, R"({"snr_db": 35})", -37.6, 0},
      {11, dsp::dsss::Preamble::kShort, R"({"snr_db": 20})", -22.6, 0},
      {11, dsp::dsss::Preamble::kLong, R"({"snr_db": 35})", -37.6, 0},
      {2, dsp::dsss::Preamble::kShort, R"({"frequency_offset_ppm": 41.459})", 0, 100e3},
      {5.5, dsp::dsss::Preamble::kLong, R"({"frequency_offset_ppm": -41.459})", 0, -100e3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mbps) + " " + c.profile);
    command(std::string(":SIMulation:PROFile '") + R"({"snr_db": null, "frequency_offset_ppm": 0})" + "'");
    command(std::string(":SIMulation:PROFile '") + c.profile + "'");
    dsp::Samples burst = dsp::synthesizeDsss({c.mbps, c.preamble, dsp::randomPayload(40, 3)});
    play(dsp::encodeSegment(dsp::burstTrain(burst, 1, 800)), -20, dsp::dsss::kSampleRateHz);
    command("SENS:POW:RANG -12;:SENS:ACQ:TIME 800us");
    command("INITiate:DEModulation:DSSS");
    command(":SIMulation:CLOCk:ADVance 1");
    std::string reply = session_->query("FETCh:DEModulation:DSSS?");
    std::vector<double> r = fields(reply.substr(0, reply.rfind(',')));
    ASSERT_EQ(r.size(), 8u);
    ASSERT_EQ(r[0], 1.0) << "burst good";
    EXPECT_EQ(r[5], c.mbps) << "data rate";
    EXPECT_EQ(reply.substr(reply.rfind(',') + 1), c.preamble == dsp::dsss::Preamble::kLong ? "LONG" : "SHOR");
    if (c.evmDb != 0) {
      EXPECT_NEAR(r[2], c.evmDb, 1.0) << "EVM";
    } else {
      EXPECT_LT(r[2], -30.0) << "EVM";
      EXPECT_NEAR(r[6], -20.0, 0.2) << "gated power";
    }
    EXPECT_NEAR(r[3], c.offsetHz, 2000.0) << "frequency error";
  }
}

TEST_F(AnalyzerMeasureTest, SpectrumShowsToneBandwidthAndRegrowth) {
  struct Case {
    const char* profile;
    bool tone;
    double rangeDbm;
  } cases[] = {{R"({"pa_saturation_dbm": null})", true, -7},
               {R"({"pa_saturation_dbm": null})", false, 2},
               {R"({"pa_saturation_dbm": -9, "pa_smoothness": 1})", false, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    command(std::string(":SIMulation:PROFile '") + c.profile + "'");
    if (c.tone) {
      command(
          "SOUR:RAD:ARB:CLOC:SRAT 40MHz;:SOUR:RAD:ARB:WAVE \"SEQ:CW_TONE\";:SOUR:RAD:ARB ON;:OUTP "
          "ON;:SOUR:POW -10");
    } else {
      dsp::OfdmBurst burst{54, dsp::randomPayload(1500, 2), 0x11};
      play(dsp::encodeSegment(dsp::burstTrain(dsp::synthesizeOfdm(burst), 1, 400)), -10);
    }
    command("SENS:POW:RANG " + std::to_string(c.rangeDbm) + ";:SENS:ACQ:TIME 300us");
    std::vector<double> s = measure("SPECtrum");
    ASSERT_EQ(s.size(), 5 + s[4]);
    if (c.tone) {
      auto peak = std::max_element(s.begin() + 5, s.end());
      EXPECT_NEAR(*peak, -10.0, 0.5);
      EXPECT_NEAR(s[0] + s[1] * static_cast<double>(peak - s.begin() - 5), 1e6, s[1]);
      continue;
    }
    std::vector<double> mask = fields(session_->query("FETCh:SPECtrum:MASK:OFDM?"));
    ASSERT_EQ(mask.size(), 3u);
    if (std::string(c.profile).find("null") != std::string::npos) {
      EXPECT_GT(mask[0], 0.0) << "clean burst";
      EXPECT_NEAR(std::stod(session_->query("FETCh:SPECtrum:OBW?")), 16.6e6, 0.5e6);
    } else {
      EXPECT_LT(mask[0], 0.0) << "regrowth";
    }
  }
}

TEST_F(AnalyzerMeasureTest, ResultsWaitForTheModelledTimeAndProfileKeysAreChecked) {
  command("INIT:POW");
  EXPECT_EQ(session_->query("STAT:MEAS:BUSY?"), "1");
  ASSERT_EQ(session_->write("FETC:POW?"), VI_SUCCESS);
  EXPECT_EQ(session_->query("SYST:ERR?"), "-200,\"Execution error;measurement running\"");
  command(":SIM:CLOC:ADV 1.9ms");
  EXPECT_EQ(session_->query("STAT:MEAS:BUSY?"), "1") << "970 us acquisition and 1 ms processing";
  command(":SIM:CLOC:ADV 0.1ms");
  EXPECT_EQ(session_->query("STAT:MEAS:BUSY?"), "0");
  EXPECT_EQ(fields(session_->query("FETC:POW?")).size(), 5u);
  ASSERT_EQ(session_->write("FETC:DEM:OFDM?"), VI_SUCCESS);
  EXPECT_EQ(session_->query("SYST:ERR?"), "-200,\"Execution error;no measurement result\"");
  ASSERT_EQ(session_->write(":SIM:PROF '{\"snr\": 3}'"), VI_SUCCESS);
  EXPECT_EQ(session_->query("SYST:ERR?"), "-224,\"Illegal parameter value;unknown profile key snr\"");
  command(":SIM:PROF '{\"gain_db\": 3}'");
  EXPECT_NE(session_->query(":SIM:PROF?").find("\"\"gain_db\"\":3.0"), std::string::npos);
}

}  // namespace
}  // namespace tevra::test
