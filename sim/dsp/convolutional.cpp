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
  // Both generators tap the newest and the oldest bit, so the two branches into a state, and the two out
  // of one, differ in both coded bits: states 2i and 2i + 1 lead to i and i + 32 with branch costs c and -c
  // crosswise (a butterfly), c = +-a +-b by the coded bits of register 2i.
  struct Signs {
    std::array<double, kStates / 2> a, b;
  };
  static constexpr Signs kSigns = [] {
    Signs s{};
    for (unsigned i = 0; i < kStates / 2; ++i) {
      s.a[i] = (std::popcount(2 * i & kGeneratorA) & 1) ? -1.0 : 1.0;
      s.b[i] = (std::popcount(2 * i & kGeneratorB) & 1) ? -1.0 : 1.0;
    }
    return s;
  }();
  size_t steps = soft.size() / 2;
  constexpr double kUnreached = std::numeric_limits<double>::infinity();
  std::array<double, kStates> metric;
  metric.fill(kUnreached);
  metric[0] = 0.0;
  // Bit j of from[t] is set when state j was reached from the odd state of its pair.
  std::vector<uint64_t> from(steps);
  for (size_t t = 0; t < steps; ++t) {
    // A correlation metric: a soft value that agrees with the branch bit lowers the cost.
    double a = soft[2 * t], b = soft[2 * t + 1];
    std::array<double, kStates> next;
    uint64_t odd = 0;
    for (unsigned i = 0; i < kStates / 2; ++i) {
      double c = kSigns.a[i] * a + kSigns.b[i] * b;
      double even = metric[2 * i], oddMetric = metric[2 * i + 1];
      // On a tie the lower state wins.
      double low0 = even + c, low1 = oddMetric - c, high0 = even - c, high1 = oddMetric + c;
      next[i] = low0 <= low1 ? low0 : low1;
      next[i + 32] = high0 <= high1 ? high0 : high1;
      odd |= static_cast<uint64_t>(!(low0 <= low1)) << i | static_cast<uint64_t>(!(high0 <= high1))
                                                               << (i + 32);
    }
    from[t] = odd;
    metric = next;
  }
  unsigned state = 0;
  for (unsigned s = 1; s < kStates; ++s)
    if (metric[s] < metric[state]) state = s;
  Bits bits(steps);
  for (size_t t = steps; t-- > 0;) {
    bits[t] = static_cast<uint8_t>((state >> 5) & 1);
    state = 2 * (state % 32) + static_cast<unsigned>((from[t] >> state) & 1);
  }
  return bits;
}

}  // namespace tevra::dsp
