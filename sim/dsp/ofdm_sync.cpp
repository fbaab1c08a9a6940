#include "sim/dsp/ofdm_sync.h"

#include <algorithm>
#include <memory>

#include "sim/dsp/fft.h"

namespace tevra::dsp::sync {

std::optional<size_t> detectShortTraining(const Samples& x, size_t from, size_t period) {
  constexpr double kThreshold = 0.6;
  constexpr double kMostHalfPeriodMatch = 0.3;
  size_t window = 3 * period, half = period / 2, plateau = 2 * period, run = 0;
  // Sums over the window [n, n + window), kept up to date as n moves on: the products at a lag of a period
  // and of half a period, and the power. The training field's carriers are every fourth one with as much
  // power on the odd multiples as on the even ones, so it repeats after a period but not after half of
  // one; a carrier leakage between bursts (a constant, or a slow turn under a frequency offset) repeats
  // after any lag, and is told apart by the half period.
  Complex c{}, h{};
  double p = 0.0;
  auto add = [&](size_t i, double sign) {
    c += sign * x[i + period] * std::conj(x[i]);
    h += sign * x[i + period] * std::conj(x[i + half]);
    p += sign * std::norm(x[i + period]);
  };
  for (size_t i = from; i < from + window && i + period < x.size(); ++i) add(i, 1.0);
  for (size_t n = from; n + window + period < x.size(); ++n) {
    bool repeats = p > 0 && std::norm(c) > kThreshold * kThreshold * p * p &&
                   std::norm(h) < kMostHalfPeriodMatch * kMostHalfPeriodMatch * p * p;
    run = repeats ? run + 1 : 0;
    if (run == plateau) return n + 1 - plateau;
    add(n + window, 1.0);
    add(n, -1.0);
  }
  return std::nullopt;
}

double lagPhase(const Samples& x, size_t first, size_t count, size_t lag) {
  Complex c{};
  for (size_t i = 0; i < count && first + i + lag < x.size(); ++i)
    c += x[first + i + lag] * std::conj(x[first + i]);
  return std::arg(c);
}

namespace {

// The plans of one correlation length and the symbol's conjugate spectrum (scaled by the inverse
// transform's 1 / size), kept per thread while the symbol and the length stay the same.
struct Correlator {
  Samples symbol;
  size_t size = 0;
  std::unique_ptr<Fft> forward, inverse;
  // The conjugate spectrum as its real parts twice (c, c) and its imaginary parts with the signs that a
  // product with an interleaved value needs (-s, s).
  std::vector<double> real, imaginary;
};

// The spectrum (interleaved parts) times the reference, into `out`.
TEVRA_VECTOR_CLONES void timesReference(const double* __restrict spectrum, const double* __restrict real,
                                        const double* __restrict imaginary, size_t size,
                                        double* __restrict out) {
  for (size_t k = 0; k < size; ++k) {
    double re = spectrum[2 * k], im = spectrum[2 * k + 1];
    out[2 * k] = re * real[2 * k] + im * imaginary[2 * k];
    out[2 * k + 1] = im * real[2 * k + 1] + re * imaginary[2 * k + 1];
  }
}

Correlator& correlatorFor(const Samples& symbol, size_t size) {
  thread_local Correlator c;
  if (c.size == size && c.symbol == symbol) return c;
  c.symbol = symbol;
  c.size = size;
  c.forward = std::make_unique<Fft>(size, Fft::Direction::kForward);
  c.inverse = std::make_unique<Fft>(size, Fft::Direction::kInverse);
  Samples padded(symbol), spectrum(size);
  padded.resize(size);
  c.forward->run(padded.data(), spectrum.data());
  c.real.resize(2 * size);
  c.imaginary.resize(2 * size);
  for (size_t k = 0; k < size; ++k) {
    Complex v = std::conj(spectrum[k]) / static_cast<double>(size);
    c.real[2 * k] = c.real[2 * k + 1] = v.real();
    c.imaginary[2 * k] = -v.imag();
    c.imaginary[2 * k + 1] = v.imag();
  }
  return c;
}

}  // namespace

TEVRA_VECTOR_CLONES size_t twoSymbolMatch(const Samples& x, const Samples& symbol, size_t from, size_t last) {
  size_t length = symbol.size();
  if (length == 0 || x.size() < 2 * length) return from;
  last = std::min(last, x.size() - 2 * length);
  if (last < from) return from;
  // The correlation with the symbol at every position from `from` to last + length at once, as a product
  // of spectra: a transform of the span costs far less than a multiply-add per sample and position.
  size_t positions = last - from + 1, span = positions + 2 * length - 1, size = 1;
  while (size < span) size *= 2;
  Correlator& c = correlatorFor(symbol, size);
  Complex* in = c.forward->input();
  size_t available = std::min(size, x.size() - from);
  std::copy(x.begin() + static_cast<std::ptrdiff_t>(from),
            x.begin() + static_cast<std::ptrdiff_t>(from + available), in);
  std::fill(in + available, in + size, Complex{});
  c.forward->execute();
  timesReference(reinterpret_cast<const double*>(c.forward->output()), c.real.data(), c.imaginary.data(),
                 size, reinterpret_cast<double*>(c.inverse->input()));
  c.inverse->execute();
  const auto* a = reinterpret_cast<const double*>(c.inverse->output());  // its real and imaginary parts
  std::vector<double> magnitude(positions + length), score(positions);
  for (size_t n = 0; n < magnitude.size(); ++n)
    magnitude[n] = std::sqrt(a[2 * n] * a[2 * n] + a[2 * n + 1] * a[2 * n + 1]);
  for (size_t n = 0; n < positions; ++n) score[n] = magnitude[n] + magnitude[n + length];
  double top = 0.0;
#pragma omp simd reduction(max : top)
  for (size_t n = 0; n < positions; ++n) top = score[n] > top ? score[n] : top;
  // The first position of the best score.
  auto best = std::find(score.begin(), score.end(), top);
  return best == score.end() ? from : from + static_cast<size_t>(best - score.begin());
}

}  // namespace tevra::dsp::sync
