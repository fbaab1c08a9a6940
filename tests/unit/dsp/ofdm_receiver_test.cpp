#include <gtest/gtest.h>

#include "sim/dsp/ht_tx.h"
#include "sim/dsp/ofdm_rx.h"
#include "sim/dsp/ofdm_sync.h"
#include "sim/dsp/ofdm_tx.h"
#include "sim/dsp/tones.h"

namespace tevra::dsp {
namespace {

// The receiver decodes the rate and length of every rate's burst and measures the EVM that white noise
// of a given SNR (in the 20 MHz channel) predicts, the carrier offset that was applied and a carrier
// leakage that also fills the idle time before the burst (where it must not be taken for the training).
TEST(OfdmReceiver, MeasuresWhatWasSent) {
  struct Case {
    double mbps;
    double snrDb;  // 0: no noise
    double offsetHz;
    double leakageDb = 0;  // 0: none
  };
  const Case cases[] = {{6, 0, 0},     {9, 0, 0},        {12, 0, 0},       {18, 0, 0},
                        {24, 0, 0},    {36, 0, 0},       {48, 0, 0},       {54, 0, 0},
                        {6, 15, 80e3}, {54, 30, -100e3}, {54, 30, 0, -25}, {6, 0, 100e3, -20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mbps);
    OfdmBurst burst{c.mbps, randomPayload(200, 1), 0x5d};
    Samples x = burstTrain(synthesizeOfdm(burst), 1, 200);
    x.insert(x.begin(), 100, Complex{});
    if (c.leakageDb < 0) {
      Complex dc = std::sqrt(activePower(x) * fromDb(c.leakageDb));
      for (Complex& v : x) v += dc;
    }
    shiftFrequency(x, c.offsetHz, 20e6);
    if (c.snrDb > 0) {
      Samples noise = noiseSignal(x.size(), 3);
      for (size_t n = 0; n < x.size(); ++n) x[n] += noise[n] * std::sqrt(fromDb(-c.snrDb));
    }
    OfdmAnalysis result = analyzeOfdm(x);
    ASSERT_TRUE(result.found);
    EXPECT_EQ(result.mbps, c.mbps);
    EXPECT_EQ(result.length, 200u);
    EXPECT_NEAR(result.frequencyErrorHz, c.offsetHz, 1000.0);
    double evmDb = 20 * std::log10(result.evmRms);
    if (c.snrDb > 0)
      EXPECT_NEAR(evmDb, -c.snrDb + toDb(52.0 / 64.0), 1.0);
    else
      EXPECT_LT(evmDb, -60.0);
    if (c.leakageDb < 0) {
      EXPECT_NEAR(result.iqOffsetDb, c.leakageDb, 0.5);
    }
    EXPECT_NEAR(static_cast<double>(result.burstStart), 100.0, 3.0);
  }
}

// Packet detection after a burst that is no training field (noise here) and the idle time behind it: the
// window sums there are exactly zero, never a leftover of the burst that passes for a repeating signal;
// a short training field after the idle time is found where it starts.
TEST(OfdmReceiver, DetectsNothingInTheIdleTimeAfterABurst) {
  struct Case {
    uint32_t seed;
    size_t period;
    bool training;
  };
  constexpr size_t kNoise = 1000, kIdle = 500;
  const Case cases[] = {{121, 16, false}, {59, 32, false}, {121, 16, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seed);
    Samples x = noiseSignal(kNoise, c.seed);
    x.resize(kNoise + kIdle);
    if (c.training) {
      Samples burst = synthesizeOfdm({6, randomPayload(20, 2), 0x5d});
      x.insert(x.end(), burst.begin(), burst.end());
    }
    auto detected = sync::detectShortTraining(x, 0, c.period);
    if (!c.training) {
      EXPECT_FALSE(detected);
      continue;
    }
    ASSERT_TRUE(detected);
    EXPECT_NEAR(static_cast<double>(*detected), static_cast<double>(kNoise + kIdle), 3.0 * c.period);
  }
}

// The first start of two periods of windows that repeat after a period but not after half of one, every
// window summed anew: what the packet search must find, however it gets there.
std::optional<size_t> firstPlateauByWindows(const Samples& x, size_t period) {
  size_t window = 3 * period, run = 0;
  for (size_t n = 0; n + window + period < x.size(); ++n) {
    Complex full, half;
    double power = 0;
    for (size_t i = n; i < n + window; ++i) {
      full += x[i + period] * std::conj(x[i]);
      half += x[i + period] * std::conj(x[i + period / 2]);
      power += std::norm(x[i + period]);
    }
    bool repeats =
        power > 0 && std::norm(full) > 0.36 * power * power && std::norm(half) < 0.09 * power * power;
    run = repeats ? run + 1 : 0;
    if (run == 2 * period) return n + 1 - 2 * period;
  }
  return std::nullopt;
}

// Packet detection finds the first run of repeating windows wherever it starts within a period, after a
// shorter periodic stretch that is no training field (a decoy), for the 20 MHz and the 40 MHz period.
TEST(OfdmReceiver, DetectionFindsTheFirstRunAtEveryPhase) {
  struct Case {
    size_t period;
    size_t decoyPeriods;  // 0: none
  };
  const Case cases[] = {{16, 0}, {16, 3}, {16, 4}, {32, 0}, {32, 4}};
  for (const Case& c : cases) {
    Samples pattern = noiseSignal(c.period, 77);
    auto periodic = [&](size_t periods) {
      Samples s;
      for (size_t p = 0; p < periods; ++p) s.insert(s.end(), pattern.begin(), pattern.end());
      return s;
    };
    for (size_t lead = 0; lead < 2 * c.period; lead += 3) {
      SCOPED_TRACE(testing::Message()
                   << "period " << c.period << " decoy " << c.decoyPeriods << " lead " << lead);
      Samples x = noiseSignal(lead + 40, 5);
      Samples decoy = periodic(c.decoyPeriods), field = periodic(10), tail = noiseSignal(60, 6);
      x.insert(x.end(), decoy.begin(), decoy.end());
      Samples gap = noiseSignal(c.decoyPeriods ? 3 * c.period : 0, 8);
      x.insert(x.end(), gap.begin(), gap.end());
      x.insert(x.end(), field.begin(), field.end());
      x.insert(x.end(), tail.begin(), tail.end());
      Samples noise = noiseSignal(x.size(), 9);
      for (size_t n = 0; n < x.size(); ++n) x[n] += noise[n] * 0.05;
      auto expected = firstPlateauByWindows(x, c.period);
      ASSERT_TRUE(expected);
      EXPECT_EQ(sync::detectShortTraining(x, 0, c.period), expected);
    }
  }
}

// The same receiver tells HT-mixed bursts by their HT-SIG and measures every MCS.
TEST(OfdmReceiver, MeasuresHtMixedBursts) {
  struct Case {
    int mcs;
    double snrDb;  // 0: no noise
  };
  const Case cases[] = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}, {7, 0}, {0, 12}, {7, 30}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mcs);
    Samples x = burstTrain(synthesizeHt({c.mcs, randomPayload(300, 4), 0x33}), 1, 200);
    x.insert(x.begin(), 100, Complex{});
    if (c.snrDb > 0) {
      Samples noise = noiseSignal(x.size(), 5);
      for (size_t n = 0; n < x.size(); ++n) x[n] += noise[n] * std::sqrt(fromDb(-c.snrDb));
    }
    OfdmAnalysis result = analyzeOfdm(x);
    ASSERT_TRUE(result.found);
    EXPECT_TRUE(result.ht);
    EXPECT_EQ(result.mcs, c.mcs);
    EXPECT_EQ(result.length, 300u);
    double evmDb = 20 * std::log10(result.evmRms);
    if (c.snrDb > 0) {
      EXPECT_NEAR(evmDb, -c.snrDb + toDb(56.0 / 64.0), 1.0);
    } else {
      EXPECT_LT(evmDb, -60.0);
    }
  }
}

}  // namespace
}  // namespace tevra::dsp
