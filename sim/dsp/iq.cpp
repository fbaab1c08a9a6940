#include "sim/dsp/iq.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>

namespace tevra::dsp {

double meanPower(const Samples& x, size_t first, size_t count) {
  if (first >= x.size()) return 0.0;
  size_t last = count > x.size() - first ? x.size() : first + count;
  double sum = 0.0;
  for (size_t n = first; n < last; ++n) sum += std::norm(x[n]);
  return last > first ? sum / static_cast<double>(last - first) : 0.0;
}

double peakPower(const Samples& x) {
  double peak = 0.0;
  for (const Complex& v : x) peak = std::max(peak, std::norm(v));
  return peak;
}

double activePower(const Samples& x) {
  double sum = 0.0;
  size_t count = 0;
  for (const Complex& v : x) {
    if (v == Complex{}) continue;
    sum += std::norm(v);
    ++count;
  }
  return count ? sum / static_cast<double>(count) : 0.0;
}

void scale(Samples& x, double factor) {
  for (Complex& v : x) v *= factor;
}

void shiftFrequency(Samples& x, double hz, double rateHz) {
  if (hz != 0.0) rotate(x, 0, 2.0 * kPi * hz / rateHz);
}

// No element of `out` depends on another one, as `out` is `in` or apart from it.
TEVRA_VECTOR_CLONES void turnBlock(const Complex* in, Complex* out, const Complex* turn, Complex phasor,
                                   size_t count) {
  const auto* v = reinterpret_cast<const double*>(in);  // std::complex<double> is an array of its two parts
  auto* w = reinterpret_cast<double*>(out);
  const auto* t = reinterpret_cast<const double*>(turn);
  double pRe = phasor.real(), pIm = phasor.imag();
#pragma omp simd
  for (size_t m = 0; m < count; ++m) {
    double tRe = t[2 * m] * pRe - t[2 * m + 1] * pIm, tIm = t[2 * m] * pIm + t[2 * m + 1] * pRe;
    double re = v[2 * m], im = v[2 * m + 1];
    w[2 * m] = re * tRe - im * tIm;
    w[2 * m + 1] = re * tIm + im * tRe;
  }
}

TEVRA_VECTOR_CLONES TurnTable turnTable(double step) {
  // Repeated doubling: each half of the table is the half before it times one turn, so the products need
  // not wait for each other, and over the table their rounding stays far below a part in 1e12.
  TurnTable turn;
  turn[0] = 1.0;
  turn[1] = std::polar(1.0, step);
  for (size_t filled = 2; filled < turn.size(); filled *= 2) {
    Complex advance = multiplied(turn[filled / 2], turn[filled / 2]);
    for (size_t m = 0; m < filled; ++m) turn[filled + m] = multiplied(turn[m], advance);
  }
  return turn;
}

namespace {

// The coefficients of an odd power series whose i-th term is sign^i x^(2i+1) / (2i+1): atan for sign -1,
// atanh for sign +1.
template <size_t N>
constexpr std::array<double, N> oddSeries(double sign) {
  std::array<double, N> terms{};
  double power = 1.0;
  for (size_t i = 0; i < N; ++i, power *= sign) terms[i] = power / static_cast<double>(2 * i + 1);
  return terms;
}

// The series' sum at x, given x^2, by Horner's rule.
template <size_t N>
inline double oddSeriesAt(const std::array<double, N>& terms, double x, double x2) {
  double sum = terms.back();
  for (size_t k = N - 1; k-- > 0;) sum = sum * x2 + terms[k];
  return x * sum;
}

// atan's series over |a| <= tan(pi/8): its first 13 terms leave less than 0.4142^27 / 27, about 2e-12.
constexpr auto kArctanSeries = oddSeries<13>(-1.0);
constexpr double kTanPiOver8 = 0.41421356237309504880;

// atanh's series, for ln m = 2 atanh((m - 1) / (m + 1)): over sqrt(1/2) <= m < sqrt(2), where
// |s| <= 0.1716, its first 11 terms leave less than 1e-18.
constexpr auto kArctanhSeries = oddSeries<11>(1.0);
constexpr double kSqrtTwo = 1.41421356237309504880;
constexpr double kLn2 = 0.69314718055994530942;
constexpr double kDecibelsPerNeper = 10.0 / 2.30258509299404568402;  // 10 / ln 10

}  // namespace

TEVRA_VECTOR_CLONES void phasesOf(const Complex* __restrict values, size_t count, double* __restrict out) {
  const auto* v =
      reinterpret_cast<const double*>(values);  // std::complex<double> is an array of its two parts
  for (size_t i = 0; i < count; ++i) {
    double x = v[2 * i], y = v[2 * i + 1];
    double big = std::max(std::abs(x), std::abs(y)), small = std::min(std::abs(x), std::abs(y));
    // atan(small / big) in [0, pi/4]; above tan(pi/8) it is pi/4 + atan((small - big) / (small + big)).
    bool upper = small > kTanPiOver8 * big;
    double den = upper ? small + big : big;
    double a = (upper ? small - big : small) / (den > 0 ? den : 1.0);
    double angle = oddSeriesAt(kArctanSeries, a, a * a) + (upper ? kPi / 4 : 0.0);
    angle = std::abs(y) > std::abs(x) ? kPi / 2 - angle : angle;
    // The signs are read with copysign(), which vectorizes where signbit() does not.
    angle = std::copysign(1.0, x) < 0 ? kPi - angle : angle;
    out[i] = std::copysign(angle, y);
  }
}

TEVRA_VECTOR_CLONES void decibelsOf(const double* __restrict ratios, size_t count, double* __restrict out) {
  constexpr uint64_t kFraction = (uint64_t{1} << 52) - 1, kOne = uint64_t{1023} << 52;
  // The exponent field, placed in the low bits of 2^52's fraction, is read back as a double without an
  // integer conversion (which the 4-lane vectors lack).
  constexpr uint64_t kTwoTo52 = uint64_t{0x433} << 52;
  constexpr double kExponentBias = 4503599627370496.0 + 1023.0;
  for (size_t i = 0; i < count; ++i) {
    double ratio = ratios[i] > 0 ? std::clamp(ratios[i], std::numeric_limits<double>::min(),
                                              std::numeric_limits<double>::max())
                                 : 1e-30;
    auto bits = std::bit_cast<uint64_t>(ratio);
    double exponent = std::bit_cast<double>((bits >> 52) | kTwoTo52) - kExponentBias;
    double m = std::bit_cast<double>((bits & kFraction) | kOne);  // ratio = m 2^exponent, 1 <= m < 2
    bool high = m > kSqrtTwo;
    m = high ? 0.5 * m : m;
    exponent = high ? exponent + 1.0 : exponent;
    double s = (m - 1.0) / (m + 1.0);
    out[i] = (exponent * kLn2 + 2.0 * oddSeriesAt(kArctanhSeries, s, s * s)) * kDecibelsPerNeper;
  }
}

namespace {

// in[n] exp(j step n) into out[n] for first <= n < end: a phasor at the start of every block times the
// turns within a block. The phasor is exact every kExactBlocks blocks and advanced by a block's turn in
// between, which keeps its rounding below a part in 1e14 without a sine and a cosine per block. The blocks
// vectorize.
void turnSpan(const Complex* in, Complex* out, size_t first, size_t end, double step) {
  constexpr size_t kBlock = std::tuple_size_v<TurnTable>, kExactBlocks = 16;
  TurnTable turn = turnTable(step);
  Complex blockTurn = multiplied(turn[kBlock - 1], turn[1]), phasor{};
  for (size_t block = first, count = 0; block < end; block += kBlock, ++count) {
    phasor = count % kExactBlocks ? multiplied(phasor, blockTurn)
                                  : std::polar(1.0, std::fmod(step * static_cast<double>(block), 2.0 * kPi));
    turnBlock(in + block, out + block, turn.data(), phasor, std::min(kBlock, end - block));
  }
}

}  // namespace

void rotate(Samples& x, size_t from, double step, size_t to) {
  turnSpan(x.data(), x.data(), from, std::min(to, x.size()), step);
}

void turnInto(const Complex* in, size_t count, double step, Complex* out) {
  turnSpan(in, out, 0, count, step);
}

TEVRA_VECTOR_CLONES Line fitLine(const std::vector<double>& values) {
  if (values.size() < 2) return {values.empty() ? 0.0 : values[0], 0.0};
  size_t count = values.size();
  const double* v = values.data();
  double n = static_cast<double>(count), meanT = (n - 1) / 2, sum = 0;
#pragma omp simd reduction(+ : sum)
  for (size_t i = 0; i < count; ++i) sum += v[i];
  double meanV = sum / n, num = 0;
  // The times count from an int within a chunk: a vector converts those to doubles, not sizes.
  constexpr size_t kChunk = size_t{1} << 20;
  for (size_t base = 0; base < count; base += kChunk) {
    int length = static_cast<int>(std::min(kChunk, count - base));
    double offset = static_cast<double>(base) - meanT;
#pragma omp simd reduction(+ : num)
    for (int i = 0; i < length; ++i) num += (offset + i) * (v[base + static_cast<size_t>(i)] - meanV);
  }
  // The squares of the centred times sum to n (n^2 - 1) / 12: quarters, exact in a double at any length.
  double den = n * (n * n - 1) / 12;
  return {meanV - num / den * meanT, num / den};
}

}  // namespace tevra::dsp
