#include "sim/dsp/convolutional.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "sim/dsp/iq.h"

namespace tevra::dsp {
namespace {

constexpr unsigned kGeneratorA = 0133;
constexpr unsigned kGeneratorB = 0171;
constexpr unsigned kStates = 64;

// Each generator's coded bit of every register value (the new bit in bit 6 and the six before it below),
// looked up: a population count is a library call on processors without its instruction.
struct CodedBits {
  std::array<uint8_t, 128> a, b;
};

constexpr CodedBits kCodedBits = [] {
  CodedBits coded{};
  for (unsigned reg = 0; reg < 128; ++reg) {
    coded.a[reg] = static_cast<uint8_t>(std::popcount(reg & kGeneratorA) & 1);
    coded.b[reg] = static_cast<uint8_t>(std::popcount(reg & kGeneratorB) & 1);
  }
  return coded;
}();

struct Pattern {
  std::array<uint8_t, 10> keep;  // A0 B0 A1 B1 ... of one period
  size_t period;                 // coded bits per period before puncturing
};

Pattern patternOf(CodeRate rate) {
  switch (rate) {
    case CodeRate::kTwoThirds:
      return {{1, 1, 1, 0, 0, 0}, 4};
    case CodeRate::kThreeQuarters:
      return {{1, 1, 1, 0, 0, 1}, 6};
    case CodeRate::kFiveSixths:
      return {{1, 1, 1, 0, 0, 1, 1, 0, 0, 1}, 10};
    case CodeRate::kHalf:
      break;
  }
  return {{1, 1, 0, 0, 0, 0}, 2};
}

}  // namespace

Bits convolutionalEncode(const Bits& bits) {
  Bits out;
  out.reserve(bits.size() * 2);
  unsigned state = 0;
  for (uint8_t bit : bits) {
    unsigned reg = (static_cast<unsigned>(bit & 1) << 6) | state;
    out.push_back(kCodedBits.a[reg]);
    out.push_back(kCodedBits.b[reg]);
    state = reg >> 1;
  }
  return out;
}

Bits puncture(const Bits& coded, CodeRate rate) {
  Pattern p = patternOf(rate);
  Bits out;
  for (size_t n = 0; n < coded.size(); ++n)
    if (p.keep[n % p.period]) out.push_back(coded[n]);
  return out;
}

std::vector<double> depuncture(const std::vector<double>& soft, CodeRate rate) {
  Pattern p = patternOf(rate);
  std::vector<double> out;
  size_t n = 0;
  for (size_t k = 0; n < soft.size(); ++k) out.push_back(p.keep[k % p.period] ? soft[n++] : 0.0);
  while (out.size() % 2) out.push_back(0.0);
  return out;
}

namespace {

// Both generators tap the newest and the oldest bit, so the two branches into a state, and the two out of
// one, differ in both coded bits: states 2i and 2i + 1 lead to i and i + 32 with branch costs c and -c
// crosswise (a butterfly), c = +-a +-b by the coded bits of register 2i (a correlation metric: a soft value
// that agrees with the branch bit lowers the cost).
struct Signs {
  std::array<double, kStates / 2> a, b;
};

constexpr Signs kSigns = [] {
  Signs s{};
  for (unsigned i = 0; i < kStates / 2; ++i) {
    s.a[i] = kCodedBits.a[2 * i] ? -1.0 : 1.0;
    s.b[i] = kCodedBits.b[2 * i] ? -1.0 : 1.0;
  }
  return s;
}();

// The branch cost of butterfly i for the soft values a and b of a step.
double branchCost(size_t i, double a, double b) {
  return kSigns.a[i] * a + kSigns.b[i] * b;
}

// One trellis step: the metrics of the states after it (on a tie the path from the lower state of a pair
// wins). Unreached states keep an infinite metric.
TEVRA_VECTOR_CLONES void viterbiStep(const double* __restrict metric, double* __restrict next, double a,
                                     double b) {
  for (size_t i = 0; i < kStates / 2; ++i) {
    double c = branchCost(i, a, b);
    double even = metric[2 * i], odd = metric[2 * i + 1];
    double low0 = even + c, low1 = odd - c, high0 = even - c, high1 = odd + c;
    next[i] = low0 <= low1 ? low0 : low1;
    next[i + kStates / 2] = high0 <= high1 ? high0 : high1;
  }
}

// Whether `state` was reached from the odd state of its pair, by the comparison viterbiStep() made on the
// metrics before it (the same sums, so the same outcome).
unsigned fromOddState(const double* metric, unsigned state, double a, double b) {
  size_t i = state % (kStates / 2);
  double c = branchCost(i, a, b), even = metric[2 * i], odd = metric[2 * i + 1];
  bool evenWins = state < kStates / 2 ? even + c <= odd - c : even - c <= odd + c;
  return evenWins ? 0 : 1;
}

// The bits whose code agrees in sign with every soft value, when there are such bits. Any other path
// disagrees somewhere and costs at least twice that value's magnitude more, so these are the path that
// the trellis search finds; a value too small for that margin to stand above the sums' rounding (or a
// zero, as puncturing leaves) leaves the search to decide. Both generators tap the newest bit, so the A
// value's sign fixes the bit from the state and the B value's sign checks it.
std::optional<Bits> agreeingPath(const std::vector<double>& soft, size_t steps) {
  constexpr double kLeastShare = 1e-9;
  double largest = 0.0;
  for (size_t i = 0; i < 2 * steps; ++i) largest = std::max(largest, std::abs(soft[i]));
  double least = largest * kLeastShare;
  Bits bits(steps);
  unsigned state = 0;
  for (size_t t = 0; t < steps; ++t) {
    double a = soft[2 * t], b = soft[2 * t + 1];
    if (!(std::abs(a) > least && std::abs(b) > least)) return std::nullopt;
    unsigned bit = static_cast<unsigned>(a > 0) ^ kCodedBits.a[state];
    unsigned reg = (bit << 6) | state;
    if (kCodedBits.b[reg] != static_cast<uint8_t>(b > 0)) return std::nullopt;
    bits[t] = static_cast<uint8_t>(bit);
    state = reg >> 1;
  }
  return bits;
}

}  // namespace

Bits viterbiDecode(const std::vector<double>& soft) {
  size_t steps = soft.size() / 2;
  if (auto path = agreeingPath(soft, steps)) return *std::move(path);
  // The metrics of every step are kept and each survivor's choice is taken again along the final path
  // only: the forward steps then neither decide nor store a choice per state. Every step writes all of its
  // metrics, so they are not cleared first; the array is kept per thread, so that a decode of a length seen
  // before allocates nothing for it.
  thread_local std::vector<std::array<double, kStates>> metrics;
  if (metrics.size() < steps + 1) metrics.resize(steps + 1);
  metrics[0].fill(std::numeric_limits<double>::infinity());
  metrics[0][0] = 0.0;
  for (size_t t = 0; t < steps; ++t)
    viterbiStep(metrics[t].data(), metrics[t + 1].data(), soft[2 * t], soft[2 * t + 1]);
  // The final path starts at the first state of least metric: the least is found first, as a vector
  // reduction, rather than by a chain of compares that each wait for the last.
  const std::array<double, kStates>& metric = metrics[steps];
  double least = metric[0];
#pragma omp simd reduction(min : least)
  for (unsigned s = 1; s < kStates; ++s) least = metric[s] < least ? metric[s] : least;
  unsigned state = 0;
  while (state < kStates - 1 && metric[state] != least) ++state;
  if (metric[state] != least) state = 0;
  Bits bits(steps);
  for (size_t t = steps; t-- > 0;) {
    bits[t] = static_cast<uint8_t>((state >> 5) & 1);
    state = 2 * (state % 32) + fromOddState(metrics[t].data(), state, soft[2 * t], soft[2 * t + 1]);
  }
  return bits;
}

}  // namespace tevra::dsp
