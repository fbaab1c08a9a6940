#include <gtest/gtest.h>

#include "sim/dsp/dsss_rx.h"
#include "sim/dsp/dsss_tx.h"
#include "sim/dsp/ofdm_tx.h"
#include "sim/dsp/tones.h"

namespace tevra::dsp {
namespace {

// Every rate and preamble decodes to its rate and preamble; white noise of a given SNR (20 MHz channel)
// gives the chip EVM it predicts after the 11 MHz matched filter; a carrier offset is measured.
TEST(DsssReceiver, MeasuresWhatWasSent) {
  struct Case {
    double mbps;
    dsss::Preamble preamble;
    double snrDb;  // 0: no noise
    double offsetHz;
  };
  const Case cases[] = {{1, dsss::Preamble::kLong, 0, 0},      {2, dsss::Preamble::kLong, 0, 0},
                        {5.5, dsss::Preamble::kShort, 0, 0},   {11, dsss::Preamble::kShort, 0, 0},
                        {11, dsss::Preamble::kLong, 20, 50e3}, {1, dsss::Preamble::kLong, 10, -100e3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mbps);
    Samples x = synthesizeDsss({c.mbps, c.preamble, randomPayload(60, 2)});
    x.insert(x.begin(), 400, Complex{});
    x.insert(x.end(), 400, Complex{});
    shiftFrequency(x, c.offsetHz, dsss::kSampleRateHz);
    if (c.snrDb > 0) {
      Samples noise = noiseSignal(x.size(), 3);
      double noisePower = fromDb(-c.snrDb) * dsss::kSampleRateHz / 20e6;
      for (size_t n = 0; n < x.size(); ++n) x[n] += noise[n] * std::sqrt(noisePower);
    }
    DsssAnalysis result = analyzeDsss(x);
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.mbps, c.mbps);
    EXPECT_EQ(result.preamble, c.preamble);
    EXPECT_NEAR(result.frequencyErrorHz, c.offsetHz, 2000.0);
    double evmDb = 20 * std::log10(result.evmRms);
    if (c.snrDb > 0) {
      EXPECT_NEAR(evmDb, -c.snrDb + toDb(11.0 / 20.0), 1.0);
    } else {
      EXPECT_LT(evmDb, -35.0);
    }
  }
}

}  // namespace
}  // namespace tevra::dsp
