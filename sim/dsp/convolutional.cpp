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
  size_t steps = soft.size() / 2;
  constexpr double kUnreached = std::numeric_limits<double>::infinity();
  std::array<double, kStates> metric;
  metric.fill(kUnreached);
  metric[0] = 0.0;
  std::vector<std::array<uint8_t, kStates>> from(steps);
  for (size_t t = 0; t < steps; ++t) {
    std::array<double, kStates> next;
    next.fill(kUnreached);
    for (unsigned state = 0; state < kStates; ++state) {
      if (metric[state] == kUnreached) continue;
      for (unsigned bit = 0; bit < 2; ++bit) {
        unsigned reg = (bit << 6) | state;
        // A correlation metric: a soft value that agrees with the branch bit lowers the cost.
        double a = parity(reg & kGeneratorA) ? -soft[2 * t] : soft[2 * t];
        double b = parity(reg & kGeneratorB) ? -soft[2 * t + 1] : soft[2 * t + 1];
        unsigned target = reg >> 1;
        double candidate = metric[state] + a + b;
        if (candidate < next[target]) {
          next[target] = candidate;
          from[t][target] = static_cast<uint8_t>(state);
        }
      }
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
