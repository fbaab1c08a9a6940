#include "sim/dsp/carrier_pairs.h"

#include <algorithm>
#include <cmath>

namespace tevra::dsp::ofdm {
namespace {

// Each lane's carrier number on the high side, j + 1 (a conversion from an index in the loop would not
// vectorize).
constexpr Lanes kLaneNumbers = [] {
  Lanes numbers{};
  for (size_t j = 0; j < kPairLanes; ++j) numbers[j] = static_cast<float>(j + 1);
  return numbers;
}();

// The nearest level's index to u (in units of the decision's scale) and the level of that index, as
// AxisDecision::level() finds them, in single precision.
inline float levelOf(float u, float offset, float top, float step, float shift) {
  return std::nearbyint(std::min(std::max(u + offset, 0.0f), top)) * step + shift;
}

}  // namespace

TEVRA_VECTOR_CLONES double splitIntoPairs(const double* __restrict bins, size_t edge,
                                          CarrierPairs& __restrict out) {
  double energy = 0;
#pragma omp simd reduction(+ : energy)
  for (size_t i = 0; i < 2 * kFftSize; ++i) energy += bins[i] * bins[i];
  // Carrier +(j+1) is bin j + 1 and -(j+1) is bin 63 - j. The upper half of the bins is narrowed in order
  // first and reversed from there, since a loop that reads the interleaved parts backwards does not
  // vectorize. Every lane is written, those past the edge with zeros, so that the loops have a fixed length.
  alignas(64) Lanes upperRe, upperIm;
  const float last = static_cast<float>(edge);
  for (size_t j = 0; j < kPairLanes; ++j) {
    float keep = kLaneNumbers[j] <= last ? 1.0f : 0.0f;
    out.highRe[j] = static_cast<float>(bins[2 * (j + 1)]) * keep;
    out.highIm[j] = static_cast<float>(bins[2 * (j + 1) + 1]) * keep;
    upperRe[j] = static_cast<float>(bins[2 * (j + kPairLanes)]);
    upperIm[j] = static_cast<float>(bins[2 * (j + kPairLanes) + 1]);
  }
  for (size_t j = 0; j < kPairLanes; ++j) {
    float keep = kLaneNumbers[j] <= last ? 1.0f : 0.0f;
    out.lowRe[j] = upperRe[kPairLanes - 1 - j] * keep;
    out.lowIm[j] = upperIm[kPairLanes - 1 - j] * keep;
  }
  return energy;
}

TEVRA_VECTOR_CLONES CarrierPairs inverseOf(const CarrierPairs& h, double scale) {
  CarrierPairs inverse;
  auto factor = [scale](float re, float im) {
    double norm = static_cast<double>(re) * re + static_cast<double>(im) * im;
    return norm > 0 ? scale / norm : 0.0;
  };
  for (size_t j = 0; j < kPairLanes; ++j) {
    double low = factor(h.lowRe[j], h.lowIm[j]), high = factor(h.highRe[j], h.highIm[j]);
    inverse.lowRe[j] = static_cast<float>(h.lowRe[j] * low);
    inverse.lowIm[j] = static_cast<float>(-h.lowIm[j] * low);
    inverse.highRe[j] = static_cast<float>(h.highRe[j] * high);
    inverse.highIm[j] = static_cast<float>(-h.highIm[j] * high);
  }
  return inverse;
}

PilotPlaces::PilotPlaces(const std::array<int, 4>& carriers) {
  for (size_t p = 0; p < carriers.size(); ++p) {
    // A carrier beyond the lanes is kept on the last one, which no plan occupies.
    lane[p] = std::min(laneOf(carriers[p]), kPairLanes - 1);
    low[p] = carriers[p] < 0;
  }
}

PairDecision::PairDecision(const AxisDecision& axis, size_t edge, const PilotPlaces& pilots)
    : offset(static_cast<float>(axis.offset())),
      top(static_cast<float>(axis.top())),
      unscale(static_cast<float>(1.0 / axis.scale())),
      step{},
      shift{},
      pilots(pilots) {
  auto inPhaseStep = static_cast<float>(2.0 * axis.axis());
  auto lowest = static_cast<float>(-axis.top() * axis.axis());
  float quadrature = axis.quadrature() ? 1.0f : 0.0f;
  for (size_t j = 0; j < edge && j < kPairLanes; ++j) {
    step.lowRe[j] = step.highRe[j] = inPhaseStep;
    step.lowIm[j] = step.highIm[j] = inPhaseStep * quadrature;
    shift.lowRe[j] = shift.highRe[j] = lowest;
    shift.lowIm[j] = shift.highIm[j] = lowest * quadrature;
  }
  for (size_t p = 0; p < pilots.lane.size(); ++p) step.setLane(pilots.lane[p], pilots.low[p], Complex{});
  setPilots({});
}

void PairDecision::setPilots(const std::array<double, 4>& values) {
  for (size_t p = 0; p < values.size(); ++p) shift.setLane(pilots.lane[p], pilots.low[p], values[p]);
}

void PairSums::clear() {
  *this = PairSums{};
}

TEVRA_VECTOR_CLONES SlopeSums decideAndSum(const CarrierPairs& __restrict y, Complex d,
                                           const CarrierPairs& __restrict scaledInverse,
                                           const PairDecision& __restrict decision,
                                           PairSums& __restrict sums) {
  const float dRe = static_cast<float>(d.real()), dIm = static_cast<float>(d.imag());
  const float offset = decision.offset, top = decision.top, unscale = decision.unscale;
  const CarrierPairs& g = scaledInverse;
  const CarrierPairs& step = decision.step;
  const CarrierPairs& shift = decision.shift;
  float num = 0, den = 0;
#pragma omp simd reduction(+ : num, den)
  for (size_t j = 0; j < kPairLanes; ++j) {
    float lRe = y.lowRe[j] * dRe - y.lowIm[j] * dIm, lIm = y.lowRe[j] * dIm + y.lowIm[j] * dRe;
    float hRe = y.highRe[j] * dRe - y.highIm[j] * dIm, hIm = y.highRe[j] * dIm + y.highIm[j] * dRe;
    float ulRe = lRe * g.lowRe[j] - lIm * g.lowIm[j], ulIm = lRe * g.lowIm[j] + lIm * g.lowRe[j];
    float uhRe = hRe * g.highRe[j] - hIm * g.highIm[j], uhIm = hRe * g.highIm[j] + hIm * g.highRe[j];
    float ilRe = levelOf(ulRe, offset, top, step.lowRe[j], shift.lowRe[j]);
    float ilIm = levelOf(ulIm, offset, top, step.lowIm[j], shift.lowIm[j]);
    float ihRe = levelOf(uhRe, offset, top, step.highRe[j], shift.highRe[j]);
    float ihIm = levelOf(uhIm, offset, top, step.highIm[j], shift.highIm[j]);
    float elRe = ulRe * unscale - ilRe, elIm = ulIm * unscale - ilIm;
    float ehRe = uhRe * unscale - ihRe, ehIm = uhIm * unscale - ihIm;
    float wl = ilRe * ilRe + ilIm * ilIm, wh = ihRe * ihRe + ihIm * ihIm;
    sums.numerator.lowRe[j] += lRe * ilRe + lIm * ilIm;
    sums.numerator.lowIm[j] += lIm * ilRe - lRe * ilIm;
    sums.numerator.highRe[j] += hRe * ihRe + hIm * ihIm;
    sums.numerator.highIm[j] += hIm * ihRe - hRe * ihIm;
    sums.weightLow[j] += wl;
    sums.weightHigh[j] += wh;
    sums.mirrored.lowRe[j] += ihRe * lRe - ihIm * lIm;
    sums.mirrored.lowIm[j] += ihRe * lIm + ihIm * lRe;
    sums.mirrored.highRe[j] += ilRe * hRe - ilIm * hIm;
    sums.mirrored.highIm[j] += ilRe * hIm + ilIm * hRe;
    sums.crossRe[j] += ilRe * ihRe - ilIm * ihIm;
    sums.crossIm[j] -= ilRe * ihIm + ilIm * ihRe;
    sums.errorLow[j] += elRe * elRe + elIm * elIm;
    sums.errorHigh[j] += ehRe * ehRe + ehIm * ehIm;
    sums.energyLow[j] += lRe * lRe + lIm * lIm;
    sums.energyHigh[j] += hRe * hRe + hIm * hIm;
    // The low side's carrier numbers are -k.
    float k = kLaneNumbers[j];
    num += k * ((ehIm * ihRe - ehRe * ihIm) - (elIm * ilRe - elRe * ilIm));
    den += k * k * (wl + wh);
  }
  return {num, den};
}

double refinedError(const PairSums& sums, const CarrierPairs& inverse, const CarrierPairs& refined) {
  auto carrierError = [](double error, double energy, Complex numerator, Complex g, Complex refinedG) {
    Complex x = std::conj(g) * energy - numerator, delta = refinedG - g;
    // A sum of squares, which rounding may take just below zero when there is no error at all.
    return std::max(
        0.0, error + 2.0 * (x.real() * delta.real() - x.imag() * delta.imag()) + energy * std::norm(delta));
  };
  double error = 0;
  for (size_t j = 0; j < kPairLanes; ++j)
    for (bool low : {true, false})
      error +=
          carrierError((low ? sums.errorLow : sums.errorHigh)[j], (low ? sums.energyLow : sums.energyHigh)[j],
                       sums.numerator.atLane(j, low), inverse.atLane(j, low), refined.atLane(j, low));
  return error;
}

}  // namespace tevra::dsp::ofdm
