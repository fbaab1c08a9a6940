#include "sim/dsp/ofdm_sync.h"

#include <algorithm>

namespace tevra::dsp::sync {

std::optional<size_t> detectShortTraining(const Samples& x, size_t from, size_t period) {
  constexpr double kThreshold = 0.6;
  size_t window = 3 * period, plateau = 2 * period, run = 0;
  Complex c{};
  double p = 0.0;
  // Sums over the window [n, n + window), kept up to date as n moves on.
  auto term = [&x, period](size_t i) { return x[i + period] * std::conj(x[i]); };
  for (size_t i = from; i < from + window && i + period < x.size(); ++i) {
    c += term(i);
    p += std::norm(x[i + period]);
  }
  for (size_t n = from; n + window + period < x.size(); ++n) {
    run = (p > 0 && std::norm(c) > kThreshold * kThreshold * p * p) ? run + 1 : 0;
    if (run == plateau) return n + 1 - plateau;
    c += term(n + window) - term(n);
    p += std::norm(x[n + window + period]) - std::norm(x[n + period]);
  }
  return std::nullopt;
}

double lagPhase(const Samples& x, size_t first, size_t count, size_t lag) {
  Complex c{};
  for (size_t i = 0; i < count && first + i + lag < x.size(); ++i)
    c += x[first + i + lag] * std::conj(x[first + i]);
  return std::arg(c);
}

size_t twoSymbolMatch(const Samples& x, const Samples& symbol, size_t from, size_t last) {
  size_t length = symbol.size(), best = from;
  if (x.size() < 2 * length) return from;
  last = std::min(last, x.size() - 2 * length);
  double bestScore = -1.0;
  for (size_t n = from; n <= last; ++n) {
    Complex a{}, b{};
    for (size_t i = 0; i < length; ++i) {
      a += x[n + i] * std::conj(symbol[i]);
      b += x[n + length + i] * std::conj(symbol[i]);
    }
    double score = std::abs(a) + std::abs(b);
    if (score > bestScore) {
      bestScore = score;
      best = n;
    }
  }
  return best;
}

}  // namespace tevra::dsp::sync
