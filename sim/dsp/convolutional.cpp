#include "sim/dsp/convolutional.h"

#include <array>
#include <bit>
#include <cstddef>
#include <limits>

namespace tevra::dsp {
namespace {

constexpr unsigned kGeneratorA = 0133;
constexpr unsigned kGeneratorB = 0171;
constexpr unsigned kStates = 64;

// The register holds the new bit in bit 6 and the six before it below.
uint8_t parity(unsigned value) {
  return static_cast<uint8_t>(std::popcount(value) & 1);
}

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
    out.push_back(parity(reg & kGeneratorA));
    out.push_back(parity(reg & kGeneratorB));
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

Bits viterbiDecode(const std::vector<double>& soft) {
  // The coded bits of every branch (register value: the new bit in bit 6 above the state), A in bit 1.
  static constexpr std::array<uint8_t, 2 * kStates> kBranchBits = [] {
    std::array<uint8_t, 2 * kStates> bits{};
    for (unsigned reg = 0; reg < 2 * kStates; ++reg)
      bits[reg] = static_cast<uint8_t>(((std::popcount(reg & kGeneratorA) & 1) << 1) |
                                       (std::popcount(reg & kGeneratorB) & 1));
    return bits;
  }();
  size_t steps = soft.size() / 2;
  constexpr double kUnreached = std::numeric_limits<double>::infinity();
  std::array<double, kStates> metric;
  metric.fill(kUnreached);
  metric[0] = 0.0;
  std::vector<std::array<uint8_t, kStates>> from(steps);
  for (size_t t = 0; t < steps; ++t) {
    // A correlation metric: a soft value that agrees with the branch bit lowers the cost. The four
    // combinations of the two coded bits, indexed as kBranchBits.
    double a = soft[2 * t], b = soft[2 * t + 1];
    const std::array<double, 4> cost = {a + b, a - b, -a + b, -a - b};
    std::array<double, kStates> next;
    // State j is reached from states 2 (j mod 32) and the one after it, with the bit j / 32 shifted in;
    // on a tie the lower state wins. Unreached states keep an infinite metric.
    for (unsigned target = 0; target < kStates; ++target) {
      unsigned state = 2 * (target % 32), reg = ((target / 32) << 6) | state;
      double first = metric[state] + cost[kBranchBits[reg]];
      double second = metric[state + 1] + cost[kBranchBits[reg + 1]];
      bool lower = first <= second;
      next[target] = lower ? first : second;
      from[t][target] = static_cast<uint8_t>(lower ? state : state + 1);
    }
    metric = next;
  }
  unsigned state = 0;
  for (unsigned s = 1; s < kStates; ++s)
    if (metric[s] < metric[state]) state = s;
  Bits bits(steps);
  for (size_t t = steps; t-- > 0;) {
    bits[t] = static_cast<uint8_t>((state >> 5) & 1);
    state = from[t][state];
  }
  return bits;
}

}  // namespace tevra::dsp
