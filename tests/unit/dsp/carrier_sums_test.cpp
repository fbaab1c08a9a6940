#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "sim/dsp/carrier_pairs.h"
#include "sim/dsp/iq.h"

namespace tevra::dsp {
namespace {

using namespace ofdm;

TEST(Phases, AgreeWithTheLibrarysAngle) {
  constexpr double kTiny = std::numeric_limits<double>::denorm_min();
  Samples values = {{0.0, 0.0},
                    {-0.0, 0.0},
                    {0.0, -0.0},
                    {-0.0, -0.0},
                    {1.0, 0.0},
                    {-1.0, 0.0},
                    {-1.0, -0.0},
                    {0.0, 2.0},
                    {0.0, -2.0},
                    {3.0, 3.0},
                    {-3.0, 3.0},
                    {1e300, -1e-300},
                    {kTiny, kTiny},
                    {-kTiny, 1.0},
                    {1.0, 0.41421356237309503},
                    {1.0, 0.41421356237309515}};
  for (int i = 0; i < 2000; ++i) values.push_back(std::polar(0.5 + i % 7, -kPi + 2 * kPi * i / 2000.0));
  std::vector<double> phases(values.size());
  phasesOf(values.data(), values.size(), phases.data());
  for (size_t i = 0; i < values.size(); ++i) {
    SCOPED_TRACE(::testing::Message() << values[i]);
    EXPECT_NEAR(phases[i], std::arg(values[i]), 1e-11);
    EXPECT_EQ(std::signbit(phases[i]), std::signbit(std::arg(values[i])));
  }
}

TEST(Decibels, AgreeWithTheLibrarysLogarithm) {
  std::vector<double> ratios = {
      0.0,  -1.0, std::nan(""), 1e-30, 1e-300, 1.0, 2.0, 0.5, 1.4142135623730951, 1.4142135623730949,
      10.0, 1e300};
  for (int i = 0; i < 1000; ++i) ratios.push_back(std::pow(10.0, -8.0 + i * 0.0161));
  std::vector<double> decibels(ratios.size());
  decibelsOf(ratios.data(), ratios.size(), decibels.data());
  for (size_t i = 0; i < ratios.size(); ++i) EXPECT_NEAR(decibels[i], toDb(ratios[i]), 1e-12) << ratios[i];
  double infinite = std::numeric_limits<double>::infinity(), largest = 0;
  decibelsOf(&infinite, 1, &largest);
  EXPECT_NEAR(largest, toDb(std::numeric_limits<double>::max()), 1e-12);
}

// The burst's error against the channel refined by its decisions (the least-squares fit), taken from the
// sums of the decisions, equals the error summed carrier by carrier with that channel.
TEST(CarrierPairs, ErrorAgainstTheRefinedChannelIsTheDirectSum) {
  constexpr int kEdge = 26;
  std::mt19937 rng(5);
  std::normal_distribution<double> normal;
  std::uniform_int_distribution<int> level(0, 7);
  AxisDecision axis(6);
  PilotPlaces places({-21, -7, 7, 21});
  PairDecision decision(axis, kEdge, places);
  const std::array<double, 4> pilots{1, 1, 1, -1};
  decision.setPilots(pilots);
  CarrierPairs h{};
  for (int k = 1; k <= kEdge; ++k)
    for (int carrier : {-k, k}) h.set(carrier, {0.8 + 0.1 * normal(rng), 0.3 * normal(rng)});
  auto pilotAt = [&](int carrier) -> const double* {
    for (size_t p = 0; p < places.lane.size(); ++p)
      if (laneOf(carrier) == places.lane[p] && (carrier < 0) == places.low[p]) return &pilots[p];
    return nullptr;
  };
  auto point = [&] { return (2.0 * level(rng) - 7.0) / std::sqrt(42.0); };
  std::vector<CarrierPairs> received(20), ideal(20);
  PairSums sums{};
  for (size_t s = 0; s < received.size(); ++s) {
    for (int k = 1; k <= kEdge; ++k)
      for (int carrier : {-k, k}) {
        const double* pilot = pilotAt(carrier);
        Complex sent = pilot ? Complex{*pilot} : Complex{point(), point()};
        ideal[s].set(carrier, sent);
        received[s].set(carrier, sent * h.at(carrier) + Complex{normal(rng), normal(rng)} * 0.03);
      }
    decideAndSum(received[s], 1.0, timesScale(inverseOf(h), axis.scale()), decision, sums);
  }
  CarrierPairs refined{};
  for (int k = 1; k <= kEdge; ++k)
    for (int carrier : {-k, k})
      refined.set(carrier, sums.numerator.at(carrier) /
                               static_cast<double>(carrier < 0 ? sums.weightLow[laneOf(carrier)]
                                                               : sums.weightHigh[laneOf(carrier)]));
  const CarrierPairs refinedInverse = inverseOf(refined);
  double direct = 0;
  for (size_t s = 0; s < received.size(); ++s)
    for (int k = 1; k <= kEdge; ++k)
      for (int carrier : {-k, k})
        direct += std::norm(received[s].at(carrier) * refinedInverse.at(carrier) - ideal[s].at(carrier));
  EXPECT_NEAR(refinedError(sums, inverseOf(h), refinedInverse), direct, 1e-4 * direct);
}

}  // namespace
}  // namespace tevra::dsp
