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

// The nearest level's index to u (in units of the decision's scale), clamped to bottom..top, and the level
// of that index, as AxisDecision::level() finds them, in single precision.
inline float levelOf(float u, float offset, float bottom, float top, float step, float shift) {
  // Written as the comparisons that the vector minimum and maximum make, so that each is one instruction.
  float index = u + offset;
  index = index > bottom ? index : bottom;
  index = index < top ? index : top;
  return std::nearbyint(index) * step + shift;
}

// The sum of the lanes, by halves (loops of fixed length, so each is a vector operation).
inline float sumOfLanes(Lanes& v) {
  static_assert(kPairLanes == 32);
  for (size_t j = 0; j < 16; ++j) v[j] += v[j + 16];
  for (size_t j = 0; j < 8; ++j) v[j] += v[j + 8];
  for (size_t j = 0; j < 4; ++j) v[j] += v[j + 4];
  return (v[0] + v[2]) + (v[1] + v[3]);
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

TEVRA_VECTOR_CLONES CarrierPairs inverseOf(const CarrierPairs& h) {
  CarrierPairs inverse;
  auto factor = [](float re, float im) {
    double norm = static_cast<double>(re) * re + static_cast<double>(im) * im;
    return norm > 0 ? 1.0 / norm : 0.0;
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

TEVRA_VECTOR_CLONES CarrierPairs timesScale(const CarrierPairs& pairs, double scale) {
  CarrierPairs out;
  const auto factor = static_cast<float>(scale);
  for (size_t j = 0; j < kPairLanes; ++j) {
    out.lowRe[j] = pairs.lowRe[j] * factor;
    out.lowIm[j] = pairs.lowIm[j] * factor;
    out.highRe[j] = pairs.highRe[j] * factor;
    out.highIm[j] = pairs.highIm[j] * factor;
  }
  return out;
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
  // The lowest index (0) is read from the decision: against a constant GCC compares and masks instead of
  // taking the maximum.
  const float offset = decision.offset, bottom = decision.bottom, top = decision.top,
              unscale = decision.unscale;
  const CarrierPairs& g = scaledInverse;
  const CarrierPairs& step = decision.step;
  const CarrierPairs& shift = decision.shift;
  // The slope's sums are kept per lane and added in halves afterwards: a vector reduction's last steps
  // would add the lanes one after another.
  alignas(64) Lanes num, den;
  for (size_t j = 0; j < kPairLanes; ++j) {
    float lRe = y.lowRe[j] * dRe - y.lowIm[j] * dIm, lIm = y.lowRe[j] * dIm + y.lowIm[j] * dRe;
    float hRe = y.highRe[j] * dRe - y.highIm[j] * dIm, hIm = y.highRe[j] * dIm + y.highIm[j] * dRe;
    float ulRe = lRe * g.lowRe[j] - lIm * g.lowIm[j], ulIm = lRe * g.lowIm[j] + lIm * g.lowRe[j];
    float uhRe = hRe * g.highRe[j] - hIm * g.highIm[j], uhIm = hRe * g.highIm[j] + hIm * g.highRe[j];
    float ilRe = levelOf(ulRe, offset, bottom, top, step.lowRe[j], shift.lowRe[j]);
    float ilIm = levelOf(ulIm, offset, bottom, top, step.lowIm[j], shift.lowIm[j]);
    float ihRe = levelOf(uhRe, offset, bottom, top, step.highRe[j], shift.highRe[j]);
    float ihIm = levelOf(uhIm, offset, bottom, top, step.highIm[j], shift.highIm[j]);
    float elRe = ulRe * unscale - ilRe, elIm = ulIm * unscale - ilIm;
    float ehRe = uhRe * unscale - ihRe, ehIm = uhIm * unscale - ihIm;
    float wl = ilRe * ilRe + ilIm * ilIm, wh = ihRe * ihRe + ihIm * ihIm;
    // Each sum takes its products one at a time, a multiply-add each.
    sums.numerator.lowRe[j] = sums.numerator.lowRe[j] + lRe * ilRe + lIm * ilIm;
    sums.numerator.lowIm[j] = sums.numerator.lowIm[j] + lIm * ilRe - lRe * ilIm;
    sums.numerator.highRe[j] = sums.numerator.highRe[j] + hRe * ihRe + hIm * ihIm;
    sums.numerator.highIm[j] = sums.numerator.highIm[j] + hIm * ihRe - hRe * ihIm;
    sums.weightLow[j] += wl;
    sums.weightHigh[j] += wh;
    sums.mirrored.lowRe[j] = sums.mirrored.lowRe[j] + ihRe * lRe - ihIm * lIm;
    sums.mirrored.lowIm[j] = sums.mirrored.lowIm[j] + ihRe * lIm + ihIm * lRe;
    sums.mirrored.highRe[j] = sums.mirrored.highRe[j] + ilRe * hRe - ilIm * hIm;
    sums.mirrored.highIm[j] = sums.mirrored.highIm[j] + ilRe * hIm + ilIm * hRe;
    sums.crossRe[j] = sums.crossRe[j] + ilRe * ihRe - ilIm * ihIm;
    sums.crossIm[j] = sums.crossIm[j] - ilRe * ihIm - ilIm * ihRe;
    sums.errorLow[j] = sums.errorLow[j] + elRe * elRe + elIm * elIm;
    sums.errorHigh[j] = sums.errorHigh[j] + ehRe * ehRe + ehIm * ehIm;
    // The low side's carrier numbers are -k.
    float k = kLaneNumbers[j];
    num[j] = k * (ehIm * ihRe - ehRe * ihIm - elIm * ilRe + elRe * ilIm);
    den[j] = k * k * (wl + wh);
  }
  return {sumOfLanes(num), sumOfLanes(den)};
}

TEVRA_VECTOR_CLONES CarrierPairs refinedChannel(const CarrierPairs& __restrict training,
                                                double weightOfTraining, const PairSums& __restrict sums) {
  CarrierPairs h;
  const auto w = static_cast<float>(weightOfTraining);
  for (size_t j = 0; j < kPairLanes; ++j) {
    float low = 1.0f / (w + sums.weightLow[j]), high = 1.0f / (w + sums.weightHigh[j]);
    h.lowRe[j] = (training.lowRe[j] + sums.numerator.lowRe[j]) * low;
    h.lowIm[j] = (training.lowIm[j] + sums.numerator.lowIm[j]) * low;
    h.highRe[j] = (training.highRe[j] + sums.numerator.highRe[j]) * high;
    h.highIm[j] = (training.highIm[j] + sums.numerator.highIm[j]) * high;
  }
  return h;
}

namespace {

// One carrier's share of refinedError(), from its sums (|e|^2, |ideal|^2 and t conj(ideal)), g and g'.
inline double carrierError(double error, double weight, double numRe, double numIm, double gRe, double gIm,
                           double refinedRe, double refinedIm) {
  double gNorm = gRe * gRe + gIm * gIm;
  double energy = gNorm > 0 ? (error + 2.0 * (gRe * numRe - gIm * numIm) - weight) / gNorm : 0.0;
  double xRe = gRe * energy - numRe, xIm = -gIm * energy - numIm;
  double dRe = refinedRe - gRe, dIm = refinedIm - gIm;
  // A sum of squares, which rounding may take just below zero when there is no error at all.
  return std::max(0.0, error + 2.0 * (xRe * dRe - xIm * dIm) + energy * (dRe * dRe + dIm * dIm));
}

// One carrier's image ratio (image / direct of the two-term fit) added to the sums when `data` and the fit
// is determined, from the energies of its and its mirror's ideal values (r11, r22), their cross term r12
// and the correlations y1 (with its own ideal values) and y2 (with the mirror's).
inline void addImageRatio(bool data, double r11, double r22, double r12Re, double r12Im, double y1Re,
                          double y1Im, double y2Re, double y2Im, double& re, double& im, double& fitted) {
  double det = r11 * r22 - (r12Re * r12Re + r12Im * r12Im);
  // direct = (r22 y1 - r12 y2) / det and image = (r11 y2 - conj(r12) y1) / det; det cancels in the ratio.
  double dRe = r22 * y1Re - (r12Re * y2Re - r12Im * y2Im), dIm = r22 * y1Im - (r12Re * y2Im + r12Im * y2Re);
  double iRe = r11 * y2Re - (r12Re * y1Re + r12Im * y1Im), iIm = r11 * y2Im - (r12Re * y1Im - r12Im * y1Re);
  double norm = dRe * dRe + dIm * dIm;
  bool fit = data && det > 1e-9 * r11 * r22 && norm > 0;
  double scale = fit ? 1.0 / (norm > 0 ? norm : 1.0) : 0.0;
  re += (iRe * dRe + iIm * dIm) * scale;
  im += (iIm * dRe - iRe * dIm) * scale;
  fitted += fit ? 1.0 : 0.0;
}

}  // namespace

TEVRA_VECTOR_CLONES double refinedError(const PairSums& __restrict sums,
                                        const CarrierPairs& __restrict inverse,
                                        const CarrierPairs& __restrict refined) {
  double error = 0;
#pragma omp simd reduction(+ : error)
  for (size_t j = 0; j < kPairLanes; ++j)
    error +=
        carrierError(sums.errorLow[j], sums.weightLow[j], sums.numerator.lowRe[j], sums.numerator.lowIm[j],
                     inverse.lowRe[j], inverse.lowIm[j], refined.lowRe[j], refined.lowIm[j]) +
        carrierError(sums.errorHigh[j], sums.weightHigh[j], sums.numerator.highRe[j],
                     sums.numerator.highIm[j], inverse.highRe[j], inverse.highIm[j], refined.highRe[j],
                     refined.highIm[j]);
  return error;
}

TEVRA_VECTOR_CLONES Complex imageRatio(const PairSums& __restrict sums,
                                       const PairDecision& __restrict decision) {
  double re = 0, im = 0, fitted = 0;
  const CarrierPairs& y = sums.numerator;
  const CarrierPairs& mirrored = sums.mirrored;
#pragma omp simd reduction(+ : re, im, fitted)
  for (size_t j = 0; j < kPairLanes; ++j) {
    addImageRatio(decision.step.lowRe[j] != 0, sums.weightLow[j], sums.weightHigh[j], sums.crossRe[j],
                  sums.crossIm[j], y.lowRe[j], y.lowIm[j], mirrored.lowRe[j], mirrored.lowIm[j], re, im,
                  fitted);
    addImageRatio(decision.step.highRe[j] != 0, sums.weightHigh[j], sums.weightLow[j], sums.crossRe[j],
                  sums.crossIm[j], y.highRe[j], y.highIm[j], mirrored.highRe[j], mirrored.highIm[j], re, im,
                  fitted);
  }
  return fitted > 0 ? Complex{re, im} / fitted : Complex{};
}

}  // namespace tevra::dsp::ofdm
