#include <gtest/gtest.h>

#include <numeric>

#include "sim/dsp/ht40_rx.h"
#include "sim/dsp/ht_phy.h"
#include "sim/dsp/ht_tx.h"
#include "sim/dsp/ofdm_rx.h"
#include "sim/dsp/ofdm_tx.h"
#include "sim/dsp/resample.h"
#include "sim/dsp/spectrum.h"
#include "sim/dsp/tones.h"

namespace tevra::dsp {
namespace {

// Each 20 MHz half of a 40 MHz burst is a legacy preamble and SIGNAL that a 20 MHz receiver decodes, with
// the LENGTH that covers the burst; the whole burst has unit power and the length its MCS gives.
TEST(Ht40Transmitter, EachHalfCarriesTheLegacyPreamble) {
  struct Case {
    int mcs;
    size_t dataBitsPerSymbol;
  } cases[] = {{0, 54}, {3, 216}, {5, 432}, {7, 540}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mcs);
    ASSERT_EQ(ht::wide::mcsOf(c.mcs)->dataBitsPerSymbol, c.dataBitsPerSymbol);
    Samples burst = synthesizeHt({c.mcs, randomPayload(300, 9), 0x2b, true});
    size_t symbols = (16 + 8 * 300 + 6 + c.dataBitsPerSymbol - 1) / c.dataBitsPerSymbol;
    EXPECT_EQ(burst.size(), 2 * 720 + 160 * symbols);
    EXPECT_NEAR(meanPower(burst), 1.0, 0.05);
    for (double halfHz : {-10e6, 10e6}) {
      Samples x = burstTrain(burst, 1, 400);
      x.insert(x.begin(), 200, Complex{});
      shiftFrequency(x, -halfHz, ht::wide::kSampleRateHz);
      OfdmAnalysis half = analyzeOfdm(resample(x, 0.5));
      ASSERT_TRUE(half.found) << halfHz;
      EXPECT_EQ(half.mbps, 6.0);
      EXPECT_EQ(half.length, ht::legacyLength(symbols));
    }
  }
}

// The burst fills the 40 MHz channel evenly: 99 % of its power within 35.5 to 37.5 MHz (114 carriers
// of 312.5 kHz), both halves alike.
TEST(Ht40Transmitter, FillsTheChannel) {
  Samples x = burstTrain(synthesizeHt({7, randomPayload(1500, 3), 0x5d, true}), 1, 0);
  Spectrum s = welchSpectrum(x, ht::wide::kSampleRateHz, 512);
  std::vector<double> mw(s.dbm.size());
  for (size_t i = 0; i < mw.size(); ++i) mw[i] = fromDb(s.dbm[i]);
  double total = std::accumulate(mw.begin(), mw.end(), 0.0), lower = 0, below = 0;
  size_t first = 0, last = mw.size() - 1;
  while ((below += mw[first]) < 0.005 * total) ++first;
  for (double above = 0; (above += mw[last]) < 0.005 * total;) --last;
  for (size_t i = 0; i < mw.size() / 2; ++i) lower += mw[i];
  EXPECT_NEAR(static_cast<double>(last - first) * s.stepHz, 36.5e6, 1e6);
  EXPECT_NEAR(toDb(lower / (total - lower)), 0.0, 0.3);
}

// The 40 MHz receiver decodes HT-SIG from both halves and measures the EVM that white noise of a given SNR
// (in the 40 MHz channel) predicts, and the carrier offset that was applied; a 20 MHz burst is not its own.
TEST(Ht40Receiver, MeasuresWhatWasSent) {
  struct Case {
    int mcs;
    double snrDb;  // 0: no noise
    double offsetHz;
  } cases[] = {{0, 0, 0}, {4, 0, 0}, {7, 0, 0}, {0, 12, 90e3}, {7, 30, -100e3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mcs);
    Samples x = burstTrain(synthesizeHt({c.mcs, randomPayload(400, 6), 0x41, true}), 1, 400);
    x.insert(x.begin(), 300, Complex{});
    shiftFrequency(x, c.offsetHz, ht::wide::kSampleRateHz);
    if (c.snrDb > 0) {
      Samples noise = noiseSignal(x.size(), 7);
      for (size_t n = 0; n < x.size(); ++n) x[n] += noise[n] * std::sqrt(fromDb(-c.snrDb));
    }
    OfdmAnalysis result = analyzeHt40(x);
    ASSERT_TRUE(result.found);
    EXPECT_TRUE(result.ht);
    EXPECT_EQ(result.mcs, c.mcs);
    EXPECT_EQ(result.length, 400u);
    EXPECT_NEAR(result.frequencyErrorHz, c.offsetHz, 1000.0);
    EXPECT_NEAR(static_cast<double>(result.burstStart), 300.0, 6.0);
    double evmDb = 20 * std::log10(result.evmRms);
    if (c.snrDb > 0)
      EXPECT_NEAR(evmDb, -c.snrDb + toDb(114.0 / 128.0), 1.0);
    else
      EXPECT_LT(evmDb, -60.0);
  }
  Samples narrow = resample(burstTrain(synthesizeHt({7, randomPayload(400, 6), 0x41}), 1, 400), 2.0);
  EXPECT_FALSE(analyzeHt40(narrow).found);
}

}  // namespace
}  // namespace tevra::dsp
