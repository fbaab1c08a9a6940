// Gated spectra, spectral masks and auto-ranging through the driver, the built server module and the
// simulated analyzer: what the generator plays appears in the traces, clean signals pass their masks and
// compressed ones fail, the driver's own mask evaluation agrees with the server's margin, and an
// auto-range sets the range the input needs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
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

constexpr double kCentreHz = 2412e6;
constexpr int32_t kMaskPoints = 1201;      // 66 MHz, a point every 55 kHz
constexpr int32_t kWideMaskPoints = 2183;  // 120 MHz

enum class Signal { kTone, kOfdm, kDsss, kHt, kHt40 };

std::string segmentOf(Signal signal) {
  switch (signal) {
    case Signal::kDsss:
      return dsp::encodeSegment(dsp::burstTrain(
          dsp::synthesizeDsss({11, dsp::dsss::Preamble::kShort, dsp::randomPayload(300, 3)}), 1, 800));
    case Signal::kHt:
    case Signal::kHt40:
      return dsp::encodeSegment(dsp::burstTrain(
          dsp::synthesizeHt({7, dsp::randomPayload(1500, 4), 0x2b, signal == Signal::kHt40}), 1, 400));
    default:
      return dsp::encodeSegment(
          dsp::burstTrain(dsp::synthesizeOfdm({54, dsp::randomPayload(1500, 2), 0x11}), 1, 400));
  }
}

struct Trace {
  int32_t count = 0;
  std::vector<double> hz = std::vector<double>(kWideMaskPoints);
  std::vector<double> dbm = std::vector<double>(kWideMaskPoints);
  double peak() const { return *std::max_element(dbm.begin(), dbm.begin() + count); }
};

// The least distance below the driver's limit line over the points its mask judges (outside +-innerHz).
double driverMargin(const Trace& t, const std::vector<double>& limit, double innerHz) {
  double margin = 1e9;
  for (int32_t i = 0; i < t.count; ++i) {
    double offset = t.hz[static_cast<size_t>(i)] - kCentreHz;
    if (offset >= -innerHz && offset < innerHz) continue;
    margin = std::min(margin, limit[static_cast<size_t>(i)] - t.dbm[static_cast<size_t>(i)]);
  }
  return margin;
}

class SpectrumSessionTest : public OpenSessionFixture {
 protected:
  // Plays the signal at `dbm` from the test's own session, with the analyzer at the carrier.
  void play(Signal signal, double dbm, double rangeDbm,
            const char* profile = R"({"pa_saturation_dbm": null})") {
    ASSERT_GE(Tevra_Suspend(), 0);
    std::vector<std::string> commands = {std::string(":SIMulation:PROFile '") + profile + "'"};
    if (signal == Signal::kTone) {
      commands.push_back("SOUR:RAD:ARB:CLOC:SRAT 40MHz;:SOUR:RAD:ARB:WAVE \"SEQ:CW_TONE\"");
    } else {
      std::string segment = segmentOf(signal), length = std::to_string(segment.size());
      double rate = signal == Signal::kDsss   ? dsp::dsss::kSampleRateHz
                    : signal == Signal::kHt40 ? 40e6
                                              : 20e6;
      commands.push_back("MMEM:DATA \"TEST.wf1\",#" + std::to_string(length.size()) + length + segment);
      commands.push_back("SOUR:RAD:ARB:CLOC:SRAT " + std::to_string(rate) +
                         ";:SOUR:RAD:ARB:WAVE \"WFM1:TEST\"");
    }
    commands.push_back("SOUR:FREQ 2412MHz;:SOUR:RAD:ARB ON;:OUTP:MOD ON;:OUTP ON;:SOUR:POW " +
                       std::to_string(dbm));
    for (const std::string& command : commands) {
      ASSERT_EQ(session_->write(command), VI_SUCCESS);
      ASSERT_EQ(session_->query("SYST:ERR?"), "0,\"No error\"") << command.substr(0, 60);
    }
    ASSERT_EQ(Tevra_DigitalAnalyzer_Setup_11ag(2412, 0, 1, 1367, rangeDbm, 2, 0, 20), 0);
  }
};

TEST_F(SpectrumSessionTest, GatedSpectraShowThePlayedSignal) {
  struct Case {
    Signal signal;
    bool extended;
    int32_t width;
    int32_t points;
    double spanHz;
  } cases[] = {{Signal::kTone, false, 1, 401, 22e6},  {Signal::kTone, false, 2, 801, 44e6},
               {Signal::kTone, false, 3, 1201, 66e6}, {Signal::kTone, true, 3, 1201, 66e6},
               {Signal::kOfdm, true, 3, 1201, 66e6},  {Signal::kOfdm, false, 1, 401, 22e6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.signal)) + (c.extended ? " Ex " : " ") +
                 std::to_string(c.width));
    play(c.signal, -10, c.signal == Signal::kTone ? -7 : 2);
    Trace t;
    double bandDbm = 0;
    int32_t result =
        c.extended ? Tevra_GatedSpectrumEx(c.width, 1, 1, 6, &t.count, t.hz.data(), t.dbm.data(), &bandDbm)
                   : Tevra_GatedSpectrum(c.width, 1, 1, &t.count, t.hz.data(), t.dbm.data(), &bandDbm);
    ASSERT_EQ(result, 1);
    ASSERT_EQ(t.count, c.points);
    EXPECT_NEAR(t.hz[0], kCentreHz - c.spanHz / 2, 1.0);
    EXPECT_NEAR(t.hz[static_cast<size_t>(c.points - 1)], kCentreHz + c.spanHz / 2, 1.0);
    EXPECT_TRUE(std::is_sorted(t.hz.begin(), t.hz.begin() + t.count));
    EXPECT_NEAR(bandDbm, -10.0, 0.5) << "the carrier's channel holds all of the power";
    if (c.signal == Signal::kTone) {
      auto peak = std::max_element(t.dbm.begin(), t.dbm.begin() + t.count) - t.dbm.begin();
      EXPECT_NEAR(t.dbm[static_cast<size_t>(peak)], -10.0, 1.0);
      EXPECT_NEAR(t.hz[static_cast<size_t>(peak)], kCentreHz + 1e6, 55e3 / 2 + 1);
    } else {
      double obwHz = 0;
      ASSERT_EQ(Tevra_MeasureEx_OBW(t.count, t.hz.data(), t.dbm.data(), &obwHz, 99.0), 0);
      EXPECT_NEAR(obwHz, 16.6e6, 0.6e6);
    }
  }
  ASSERT_GE(Tevra_Suspend(), 0);
  EXPECT_EQ(instrumentState("SENSe:FREQuency?"), "2.412000000E+09") << "put back after the stitched trace";
}

// Over the analyzer's own noise (away from the tone): eight captures averaged spread less than one, and
// the highest of eight lies above their mean power.
TEST_F(SpectrumSessionTest, AveragingStylesCombineTheCaptures) {
  play(Signal::kTone, -10, -7);
  struct Case {
    int32_t style, frames;
    double meanDb, spreadDb;
  } cases[] = {{1, 1, 0, 0}, {1, 8, 0, 0}, {2, 8, 0, 0}, {5, 8, 0, 0}};
  for (Case& c : cases) {
    Trace t;
    ASSERT_EQ(Tevra_GatedSpectrum(1, c.style, c.frames, &t.count, t.hz.data(), t.dbm.data(), nullptr), 1);
    auto noise = t.dbm.begin() + 100;
    c.meanDb = std::accumulate(t.dbm.begin(), noise, 0.0) / 100;
    c.spreadDb = *std::max_element(t.dbm.begin(), noise) - *std::min_element(t.dbm.begin(), noise);
  }
  EXPECT_LT(cases[1].spreadDb, cases[0].spreadDb * 0.6) << "power averaging";
  EXPECT_LT(cases[2].spreadDb, cases[0].spreadDb * 0.6) << "log averaging";
  EXPECT_NEAR(cases[2].meanDb, cases[1].meanDb, 0.3) << "log averaging of smoothed spectra";
  EXPECT_GT(cases[3].meanDb, cases[1].meanDb + 0.25) << "maximum";
  int32_t count = 0;
  EXPECT_EQ(Tevra_GatedSpectrum(1, 1, 1001, &count, nullptr, nullptr, nullptr), -4519)
      << "1000 frames at most";
}

TEST_F(SpectrumSessionTest, MasksPassCleanSignalsFailCompressedOnesAndAgreeWithTheDriver) {
  constexpr const char* kCompressed = R"({"pa_saturation_dbm": -9, "pa_smoothness": 1})";
  struct Case {
    Signal signal;
    const char* profile;
    bool passes;
  } cases[] = {{Signal::kOfdm, nullptr, true}, {Signal::kOfdm, kCompressed, false},
               {Signal::kDsss, nullptr, true}, {Signal::kDsss, kCompressed, false},
               {Signal::kHt, nullptr, true},   {Signal::kHt, kCompressed, false},
               {Signal::kHt40, nullptr, true}, {Signal::kHt40, kCompressed, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(c.signal)) + " " + (c.profile ? c.profile : "clean"));
    if (c.profile) {
      play(c.signal, -10, 2, c.profile);
    } else {
      play(c.signal, -10, 2);
    }
    Trace t;
    double margin = 0, reference = 0;
    std::vector<double> limit(kWideMaskPoints);
    int32_t result = 0, failing = 0;
    double innerHz = 9e6;
    if (c.signal == Signal::kOfdm) {
      result = Tevra_Measure_SpectralMask_11ag(&margin, &reference, &t.count, t.hz.data(), t.dbm.data(), 0);
      failing = Tevra_MeasureEx_SpectralMask_11ag(t.count, t.hz.data(), t.dbm.data(), limit.data(), nullptr,
                                                  nullptr);
    } else if (c.signal == Signal::kDsss) {
      innerHz = 11e6;
      result = Tevra_Measure_SpectralMask_11b(&margin, &reference, &t.count, t.hz.data(), t.dbm.data(), 1);
      failing = Tevra_MeasureEx_SpectralMask_11b(t.count, t.hz.data(), t.dbm.data(), limit.data(), nullptr,
                                                 nullptr);
    } else {
      int32_t wide = c.signal == Signal::kHt40 ? 1 : 0;
      innerHz = wide ? 19e6 : 9e6;
      result = Tevra_Measure_SpectralMask_11n(&margin, &reference, &t.count, t.hz.data(), t.dbm.data(), wide);
      failing = Tevra_MeasureEx_SpectralMask_11n(t.count, t.hz.data(), t.dbm.data(), limit.data(), nullptr,
                                                 nullptr, wide);
    }
    ASSERT_EQ(result, 1);
    ASSERT_EQ(t.count, c.signal == Signal::kHt40 ? kWideMaskPoints : kMaskPoints);
    EXPECT_EQ(margin > 0, c.passes) << margin;
    EXPECT_EQ(failing == 0, c.passes) << failing;
    EXPECT_NEAR(reference + 50.0, t.peak(), 1e-6) << "dBm/Hz in the 100 kHz resolution bandwidth";
    EXPECT_NEAR(driverMargin(t, limit, innerHz), margin, 0.1) << "the same trace against the same mask";
  }
}

TEST_F(SpectrumSessionTest, AutoRangeSetsTheRangeTheInputNeeds) {
  struct Case {
    Signal signal;
    double dbm;
    double lowest, highest;  // of the range applied: above the peak, with 3 dB to spare
  } cases[] = {{Signal::kTone, -20, -17, -16}, {Signal::kOfdm, -30, -24, -14}};
  for (const Case& c : cases) {
    play(c.signal, c.dbm, 20);
    ASSERT_GE(Tevra_AutoRange_Run_11ag(), 0);
    ASSERT_GE(Tevra_Suspend(), 0);
    double range = std::stod(instrumentState("SENSe:POWer:RANGe?"));
    EXPECT_GE(range, c.lowest);
    EXPECT_LE(range, c.highest);
    double power = 0;
    EXPECT_EQ(Tevra_Measure_AveragePower(&power), 1) << "not overloaded at the found range";
  }
  double rangeDbm = 0, triggerMv = 0, packetS = 0;
  int32_t symbols = 0;
  ASSERT_EQ(Tevra_AutoRangeEx_Run_11ag(0, &rangeDbm, &triggerMv, &symbols, &packetS), 0) << "still running";
  EXPECT_EQ(Tevra_AutoRange_Running(0), 1);
  ASSERT_EQ(Tevra_AutoRangeEx_Run_11ag(1, &rangeDbm, &triggerMv, &symbols, &packetS), 1);
  EXPECT_EQ(Tevra_AutoRange_Running(0), 0);
  EXPECT_GT(triggerMv, 0.0);
  // 1500 bytes at 54 Mbit/s: 20 us of preamble and 56 symbols of 4 us, 2 us more for the acquisition.
  EXPECT_NEAR(symbols, 56, 1);
  EXPECT_NEAR(packetS, 246e-6, 4e-6);
  ASSERT_EQ(Tevra_AutoRangeEx_Run_11b(1, &rangeDbm, &triggerMv, &packetS), 1);
}

}  // namespace
}  // namespace tevra::test
