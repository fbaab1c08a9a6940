// The per-symbol carrier loops of the OFDM receiver's EVM measurement, on the occupied carriers held as
// mirror pairs: lane j holds carrier -(j+1) ("low") and +(j+1) ("high"), each split into real and imaginary
// parts in single precision. A carrier and its mirror share a lane, so the loops run over whole vectors with
// no permutes and the IQ imbalance's mirror sums need no reversal. Lanes past the occupied edge hold zeros,
// which add nothing to any sum. The sums over a burst's symbols stay far inside single precision's range and
// resolution (a part in 1e6 over a few hundred symbols, against EVMs of a part in 1e3).
#pragma once

#include <array>
#include <cstddef>

#include "sim/dsp/iq.h"
#include "sim/dsp/ofdm_phy.h"

namespace tevra::dsp::ofdm {

// Lanes of a symbol: the most occupied carriers a side (28, HT), rounded up to whole vectors.
inline constexpr size_t kPairLanes = 32;

using Lanes = std::array<float, kPairLanes>;

struct CarrierPairs {
  alignas(64) Lanes lowRe;
  alignas(64) Lanes lowIm;
  alignas(64) Lanes highRe;
  alignas(64) Lanes highIm;

  // The value on one side of a lane.
  Complex atLane(size_t lane, bool low) const {
    return low ? Complex{lowRe[lane], lowIm[lane]} : Complex{highRe[lane], highIm[lane]};
  }
  void setLane(size_t lane, bool low, Complex value) {
    (low ? lowRe : highRe)[lane] = static_cast<float>(value.real());
    (low ? lowIm : highIm)[lane] = static_cast<float>(value.imag());
  }
  // Carrier k (k != 0, |k| <= kPairLanes).
  Complex at(int carrier) const;
  void set(int carrier, Complex value);
};

// The lane of carrier k (k != 0).
inline size_t laneOf(int carrier) {
  return static_cast<size_t>((carrier < 0 ? -carrier : carrier) - 1);
}

inline Complex CarrierPairs::at(int carrier) const {
  return atLane(laneOf(carrier), carrier < 0);
}

inline void CarrierPairs::set(int carrier, Complex value) {
  setLane(laneOf(carrier), carrier < 0, value);
}

// Carriers -edge..-1 and 1..edge of a transform (interleaved parts, bins in FFT order) into `out`; the
// lanes past `edge` are cleared. Returns the energy of all the bins.
double splitIntoPairs(const double* bins, size_t edge, CarrierPairs& out);

// 1 / h over the lanes that hold a carrier, 0 elsewhere.
CarrierPairs inverseOf(const CarrierPairs& h);
// Every lane times `scale`.
CarrierPairs timesScale(const CarrierPairs& pairs, double scale);

// Where a plan's pilots are (lane and side), found once per burst rather than per symbol.
struct PilotPlaces {
  explicit PilotPlaces(const std::array<int, 4>& carriers);
  std::array<size_t, 4> lane;
  std::array<bool, 4> low;
};

// The decisions of one constellation over one carrier plan: a part's ideal value is
// round(clamp(u + offset, 0, top)) step + shift, with u the part in units of the decision's scale. On the
// data lanes step and shift are the axis's level step and lowest level (0 on the quadrature parts of BPSK);
// on a pilot's lane step is 0 and shift the pilot's value; past the edge both are 0. `unscale` takes u back
// to the constellation's units.
struct PairDecision {
  PairDecision(const AxisDecision& axis, size_t edge, const PilotPlaces& pilots);
  // The pilots' values of one symbol.
  void setPilots(const std::array<double, 4>& values);
  float offset, top, unscale;
  float bottom = 0.0f;  // the lowest index
  CarrierPairs step, shift;
  PilotPlaces pilots;
};

// The sums over a burst's DATA symbols, per carrier, with t a carrier turned by its symbol's common phase
// and e = t / h - ideal its error against the channel that decided it: the data's share of the least-squares
// channel (t conj(ideal), |ideal|^2), the mirror's correlation with the carrier (ideal(-k) t) and
// conj(ideal(k) ideal(-k)), which is the same for k and -k, and |e|^2, from which with the others the error
// against a refined channel follows (refinedError()).
struct PairSums {
  void clear();
  CarrierPairs numerator, mirrored;
  alignas(64) Lanes weightLow;
  alignas(64) Lanes weightHigh;
  alignas(64) Lanes crossRe;
  alignas(64) Lanes crossIm;
  alignas(64) Lanes errorLow;
  alignas(64) Lanes errorHigh;
};

// A symbol's phase slope across the carriers: the sums over the carriers of k Im(e conj(ideal)) and of
// k^2 |ideal|^2.
struct SlopeSums {
  double num, den;
};

// t = y d: decides the nearest points (`ideal`) to t times `scaledInverse` (1 / h times the decision's
// scale), the pilots taking their known values, adds the symbol's share to `sums` and returns its phase
// slope's sums.
SlopeSums decideAndSum(const CarrierPairs& y, Complex d, const CarrierPairs& scaledInverse,
                       const PairDecision& decision, PairSums& sums);

// The least-squares channel over the training (`training`: the sum of its symbols times their known values;
// `weightOfTraining`: the sum of those values' energies) and the decided data.
CarrierPairs refinedChannel(const CarrierPairs& training, double weightOfTraining, const PairSums& sums);

// The squared error over the burst against a refined channel (`refined`: 1 / h'), from the sums taken
// against the channel that decided it (`inverse`: 1 / h). With g = 1 / h and g' = g + delta, each error
// becomes e + t delta, so the carrier's sum is |e|^2 + 2 Re(X delta) + |t|^2 |delta|^2, where
// X = sum conj(e) t = conj(g) sum |t|^2 - sum t conj(ideal); and since t g = e + ideal,
// |g|^2 sum |t|^2 = sum |e|^2 + 2 Re(g sum t conj(ideal)) - sum |ideal|^2. The carriers are not visited
// again.
double refinedError(const PairSums& sums, const CarrierPairs& inverse, const CarrierPairs& refined);

// The mirror signal's share (nu/mu of mu x + nu conj(x), which an IQ imbalance adds): for each data carrier
// (one with a decision step), the least-squares fit of the derotated carrier to its ideal value and the
// mirror carrier's conjugate ideal value, averaged over the carriers. The channel and the common phase
// scale both terms alike.
Complex imageRatio(const PairSums& sums, const PairDecision& decision);

}  // namespace tevra::dsp::ofdm
