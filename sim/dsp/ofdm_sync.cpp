#include "sim/dsp/ofdm_sync.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

#include "sim/dsp/fft.h"

namespace tevra::dsp::sync {

namespace {

// Positions that firstPlateau() handles at a time: a block's products and decisions are vector loops, and
// its running sums start near zero (carryOver()).
constexpr size_t kSearchBlock = 128;
// The arrays the search sums: two products at a lag of a period, two at half a period, and the power.
constexpr size_t kLagParts = 5;

// The kLagParts arrays over the positions of a block: the products that the window sums add up, x[i + period]
// times the conjugate of x[i] (a lag of a period) and of x[i + half] (half a period), and |x[i + period]|^2;
// then their running sums. Kept per thread, so that a search allocates nothing once the longest period was
// seen.
struct LagSums {
  static LagSums& of(size_t length) {
    thread_local LagSums sums;
    if (sums.values.size() < kLagParts * length) sums.values.resize(kLagParts * length);
    sums.length = length;
    return sums;
  }
  double* part(size_t index) { return values.data() + index * length; }
  std::vector<double> values;
  size_t length = 0;
};

// The kLagParts products at position i of x (interleaved parts): x[i + period] times the conjugates of x[i]
// and x[i + half], and |x[i + period]|^2.
struct LagProducts {
  double cRe, cIm, hRe, hIm, p;
};

inline LagProducts lagProductsAt(const double* x, size_t i, size_t period, size_t half) {
  const double* late = x + 2 * period;
  const double* middle = x + 2 * half;
  double aRe = late[2 * i], aIm = late[2 * i + 1];
  return {aRe * x[2 * i] + aIm * x[2 * i + 1], aIm * x[2 * i] - aRe * x[2 * i + 1],
          aRe * middle[2 * i] + aIm * middle[2 * i + 1], aIm * middle[2 * i] - aRe * middle[2 * i + 1],
          aRe * aRe + aIm * aIm};
}

// The products of `count` positions of x into cRe, cIm, hRe, hIm and p.
TEVRA_VECTOR_CLONES void lagProducts(const double* __restrict x, size_t count, size_t period, size_t half,
                                     double* __restrict cRe, double* __restrict cIm, double* __restrict hRe,
                                     double* __restrict hIm, double* __restrict p) {
  for (size_t i = 0; i < count; ++i) {
    LagProducts v = lagProductsAt(x, i, period, half);
    cRe[i] = v.cRe;
    cIm[i] = v.cIm;
    hRe[i] = v.hRe;
    hIm[i] = v.hIm;
    p[i] = v.p;
  }
}

// The products at begin..end of each array replaced by the running sums that go on from index begin - 1;
// the five sums are kept apart so that their additions overlap.
void accumulate(LagSums& sums, size_t begin, size_t end) {
  std::array<double*, kLagParts> parts{};
  std::array<double, kLagParts> running{};
  for (size_t k = 0; k < parts.size(); ++k) {
    parts[k] = sums.part(k);
    running[k] = parts[k][begin - 1];
  }
  for (size_t i = begin; i <= end; ++i)
    for (size_t k = 0; k < parts.size(); ++k) {
      running[k] += parts[k][i];
      parts[k][i] = running[k];
    }
}

// Moves the running sums at `from`..from + count to the front, less the one at `from`: a block's sums
// start near zero, which bounds their rounding by the power around the block, and the difference of two
// equal sums (a window over idle samples) stays exactly zero.
void carryOver(LagSums& sums, size_t from, size_t count) {
  for (size_t k = 0; k < kLagParts; ++k) {
    double* part = sums.part(k);
    double base = part[from];
    for (size_t i = 0; i <= count; ++i) part[i] = part[from + i] - base;
  }
}

// 1 when a window's sums (`re`, `im`: at a lag of a period; `halfRe`, `halfIm`: at half a period; `power`)
// show a signal that repeats after a period but not after half of one, else 0. Each test is a 0 or 1 and
// they are multiplied: a branch would keep a loop over positions scalar.
inline uint8_t repeatsOver(double re, double im, double halfRe, double halfIm, double power) {
  constexpr double kThreshold = 0.6;
  constexpr double kMostHalfPeriodMatch = 0.3;
  double squared = power * power;
  return static_cast<uint8_t>(
      (power > 0) * (re * re + im * im > kThreshold * kThreshold * squared) *
      (halfRe * halfRe + halfIm * halfIm < kMostHalfPeriodMatch * kMostHalfPeriodMatch * squared));
}

// repeatsOver() at each of `count` positions, from the running sums at its window's two ends (`window`
// apart).
TEVRA_VECTOR_CLONES void windowRepeats(const double* __restrict cRe, const double* __restrict cIm,
                                       const double* __restrict hRe, const double* __restrict hIm,
                                       const double* __restrict p, size_t count, size_t window,
                                       uint8_t* __restrict repeats) {
  for (size_t n = 0; n < count; ++n)
    repeats[n] = repeatsOver(cRe[n + window] - cRe[n], cIm[n + window] - cIm[n], hRe[n + window] - hRe[n],
                             hIm[n + window] - hIm[n], p[n + window] - p[n]);
}

// The first position of `positions` from `first` that starts two periods of repeating windows in a row. A
// window's sum is the difference of two running sums, which is exactly zero over idle samples: a sum kept
// up to date by adding and removing products would keep a rounding residue there, which could pass for a
// repeating signal.
std::optional<size_t> firstPlateau(const Samples& x, size_t first, size_t positions, size_t period) {
  size_t window = 3 * period, half = period / 2, plateau = 2 * period, run = 0;
  LagSums& sums = LagSums::of(window + kSearchBlock + 1);
  std::array<uint8_t, kSearchBlock> repeats;
  // Index j of the sums is position block + j; from the second block on, the first window + 1 are carried
  // over from the block before.
  for (size_t block = first, count = 0; block < first + positions; block += count) {
    size_t known = block == first ? 0 : window;
    if (known) carryOver(sums, count, window);
    count = std::min(kSearchBlock, first + positions - block);
    size_t start = block + known;
    lagProducts(reinterpret_cast<const double*>(x.data() + start), count + window - known, period, half,
                sums.part(0) + known + 1, sums.part(1) + known + 1, sums.part(2) + known + 1,
                sums.part(3) + known + 1, sums.part(4) + known + 1);
    if (!known)
      for (size_t k = 0; k < kLagParts; ++k) sums.part(k)[0] = 0.0;
    accumulate(sums, known + 1, count + window);
    windowRepeats(sums.part(0), sums.part(1), sums.part(2), sums.part(3), sums.part(4), count, window,
                  repeats.data());
    for (size_t n = 0; n < count; ++n) {
      run = repeats[n] ? run + 1 : 0;
      if (run == plateau) return block + n + 1 - plateau;
    }
  }
  return std::nullopt;
}

// Blocks of a period whose sums the coarse search takes at a time.
constexpr size_t kCoarseBlocks = 8;

using BlockSums = std::array<std::array<double, kCoarseBlocks + 2>, kLagParts>;

// The sums of the products over each of `blocks` blocks of `period` positions of x (interleaved
// parts) into sums[k][into + j]. Each block is added up in kSumLanes lanes, which are then added in halves:
// a vector reduction's last steps would add its lanes one after another.
TEVRA_VECTOR_CLONES void lagBlockSums(const double* __restrict x, size_t blocks, size_t period, size_t half,
                                      BlockSums& __restrict sums, size_t into) {
  constexpr size_t kSumLanes = 8;
  for (size_t j = 0; j < blocks; ++j) {
    const double* block = x + 2 * j * period;
    alignas(64) std::array<std::array<double, kSumLanes>, kLagParts> lanes{};
    auto add = [&](size_t i, size_t l) {
      LagProducts v = lagProductsAt(block, i, period, half);
      lanes[0][l] += v.cRe;
      lanes[1][l] += v.cIm;
      lanes[2][l] += v.hRe;
      lanes[3][l] += v.hIm;
      lanes[4][l] += v.p;
    };
    size_t i = 0;
    for (; i + kSumLanes <= period; i += kSumLanes)
      for (size_t l = 0; l < kSumLanes; ++l) add(i + l, l);
    for (; i < period; ++i) add(i, 0);
    for (size_t k = 0; k < kLagParts; ++k) {
      for (size_t l = 0; l < 4; ++l) lanes[k][l] += lanes[k][l + 4];
      sums[k][into + j] = (lanes[k][0] + lanes[k][2]) + (lanes[k][1] + lanes[k][3]);
    }
  }
}

}  // namespace

std::optional<size_t> detectShortTraining(const Samples& x, size_t from, size_t period) {
  size_t window = 3 * period, half = period / 2;
  // Sums over the window [n, n + window) of the products at a lag of a period and of half a period, and of
  // the power. The training field's carriers are every fourth one with as much power on the odd multiples
  // as on the even ones, so it repeats after a period but not after half of one; a carrier leakage between
  // bursts (a constant, or a slow turn under a frequency offset) repeats after any lag, and is told apart by
  // the half period. Over idle samples every sum is exactly zero, so nothing left of a burst before passes
  // for a repeating signal.
  //
  // A run of two periods of repeating windows holds two positions a whole number of periods from `from`,
  // a period apart: the search tests only those (each window the sum of three blocks of a period), and
  // where two in a row repeat, tests every position that a run through both could start at or reach.
  if (period == 0 || x.size() <= from + window + period) return std::nullopt;
  size_t positions = x.size() - from - window - period;
  size_t coarse = (positions - 1) / period + 1, blocks = coarse + 2;
  // The sums of kCoarseBlocks blocks at a time: sums[k][2 + j] is block first + j's; the two before are the
  // last two of the blocks before.
  BlockSums sums{};
  bool repeatedBefore = false;
  for (size_t first = 0; first < blocks; first += kCoarseBlocks) {
    size_t count = std::min(kCoarseBlocks, blocks - first);
    for (auto& part : sums) std::copy(part.end() - 2, part.end(), part.begin());
    lagBlockSums(reinterpret_cast<const double*>(x.data() + from + first * period), count, period, half, sums,
                 2);
    // The positions whose window's last block is in this lot: block c + 2 = first + j.
    for (size_t j = first < 2 ? 2 - first : 0; j < count; ++j) {
      size_t c = first + j - 2;
      std::array<double, kLagParts> s{};
      for (size_t k = 0; k < kLagParts; ++k) s[k] = sums[k][j] + sums[k][j + 1] + sums[k][j + 2];
      bool repeats = repeatsOver(s[0], s[1], s[2], s[3], s[4]) != 0;
      if (repeats && repeatedBefore) {
        size_t at = c * period, lo = at + 1 >= 2 * period ? at + 1 - 2 * period : 0;
        size_t hi = std::min(at + period, positions);
        if (auto found = firstPlateau(x, from + lo, hi - lo, period)) return found;
      }
      repeatedBefore = repeats;
    }
  }
  return std::nullopt;
}

namespace {

// The sum over `count` samples of late[i] times the conjugate of early[i] (interleaved parts), as a vector
// reduction: the library's complex product checks each result for infinities and keeps the loop scalar.
TEVRA_VECTOR_CLONES Complex lagCorrelation(const double* __restrict late, const double* __restrict early,
                                           size_t count) {
  double re = 0.0, im = 0.0;
#pragma omp simd reduction(+ : re, im)
  for (size_t i = 0; i < count; ++i) {
    re += late[2 * i] * early[2 * i] + late[2 * i + 1] * early[2 * i + 1];
    im += late[2 * i + 1] * early[2 * i] - late[2 * i] * early[2 * i + 1];
  }
  return {re, im};
}

}  // namespace

double lagPhase(const Samples& x, size_t first, size_t count, size_t lag) {
  if (first + lag >= x.size()) return 0.0;
  count = std::min(count, x.size() - first - lag);
  const auto* early = reinterpret_cast<const double*>(x.data() + first);
  return std::arg(lagCorrelation(early + 2 * lag, early, count));
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
  AlignedDoubles real, imaginary;
  // The correlation's power at each position and the sums of pairs a symbol apart (bestPosition()).
  AlignedDoubles power, pair;
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

// The first position n < positions of the largest |a[n]| + |a[n + length]| (a: interleaved parts). That
// sum lies between the square roots of q = |a[n]|^2 + |a[n + length]|^2 and of 2q, so the best position has
// 2q at least the largest q of all: the square roots are taken only where that holds (a margin covers the
// powers' rounding), which at a training field are a few positions near its peaks.
// `power` and `pair` take positions + length and positions values.
TEVRA_VECTOR_CLONES size_t bestPosition(const double* __restrict a, size_t positions, size_t length,
                                        double* __restrict power, double* __restrict pair) {
  for (size_t n = 0; n < positions + length; ++n)
    power[n] = a[2 * n] * a[2 * n] + a[2 * n + 1] * a[2 * n + 1];
  double most = 0.0;
#pragma omp simd reduction(max : most)
  for (size_t n = 0; n < positions; ++n) {
    pair[n] = power[n] + power[n + length];
    most = pair[n] > most ? pair[n] : most;
  }
  double floor = most * (0.5 - 1e-9), top = -1.0;
  size_t best = 0;
  for (size_t n = 0; n < positions; ++n) {
    if (pair[n] < floor) continue;
    double score = std::sqrt(power[n]) + std::sqrt(power[n + length]);
    if (score > top) {
      top = score;
      best = n;
    }
  }
  return best;
}

Correlator& correlatorFor(const Samples& symbol, size_t size) {
  thread_local Correlator c;
  // Compared bit for bit: the same bits give the same spectrum, and one memcmp() is far quicker than
  // comparing the values one by one.
  if (c.size == size && c.symbol.size() == symbol.size() &&
      std::memcmp(c.symbol.data(), symbol.data(), symbol.size() * sizeof(Complex)) == 0)
    return c;
  c.symbol = symbol;
  c.size = size;
  c.forward = std::make_unique<Fft>(size, Fft::Direction::kForward);
  c.inverse = std::make_unique<Fft>(size, Fft::Direction::kInverse);
  Samples padded(symbol), spectrum(size);
  padded.resize(size);
  c.forward->run(padded.data(), spectrum.data());
  c.real.resize(2 * size);
  c.imaginary.resize(2 * size);
  c.power.resize(size);
  c.pair.resize(size);
  for (size_t k = 0; k < size; ++k) {
    Complex v = std::conj(spectrum[k]) / static_cast<double>(size);
    c.real[2 * k] = c.real[2 * k + 1] = v.real();
    c.imaginary[2 * k] = -v.imag();
    c.imaginary[2 * k + 1] = v.imag();
  }
  return c;
}

}  // namespace

size_t twoSymbolMatch(const Samples& x, const Samples& symbol, size_t from, size_t last, double step) {
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
  size_t available = std::min(span, x.size() - from);
  turnInto(x.data() + from, available, step, in);
  std::fill(in + available, in + size, Complex{});
  c.forward->execute();
  timesReference(reinterpret_cast<const double*>(c.forward->output()), c.real.data(), c.imaginary.data(),
                 size, reinterpret_cast<double*>(c.inverse->input()));
  c.inverse->execute();
  const auto* a = reinterpret_cast<const double*>(c.inverse->output());  // its real and imaginary parts
  return from + bestPosition(a, positions, length, c.power.data(), c.pair.data());
}

}  // namespace tevra::dsp::sync
