#include "sim/dsp/iq.h"

#include <algorithm>
#include <array>

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

namespace {

// x[m] times phasor * turn[m], for m < count.
TEVRA_VECTOR_CLONES void turnBlock(Complex* x, const Complex* turn, Complex phasor, size_t count) {
  auto* v = reinterpret_cast<double*>(x);  // std::complex<double> is an array of its two parts
  const auto* t = reinterpret_cast<const double*>(turn);
  double pRe = phasor.real(), pIm = phasor.imag();
  for (size_t m = 0; m < count; ++m) {
    double tRe = t[2 * m] * pRe - t[2 * m + 1] * pIm, tIm = t[2 * m] * pIm + t[2 * m + 1] * pRe;
    double re = v[2 * m], im = v[2 * m + 1];
    v[2 * m] = re * tRe - im * tIm;
    v[2 * m + 1] = re * tIm + im * tRe;
  }
}

}  // namespace

void rotate(Samples& x, size_t from, double step, size_t to) {
  // An exact phasor at the start of every block times the turns within a block, which come from a running
  // phasor (over one block its rounding stays far below a part in 1e12); the blocks vectorize.
  constexpr size_t kBlock = 64;
  std::array<Complex, kBlock> turn;
  Complex advance = std::polar(1.0, step);
  turn[0] = 1.0;
  for (size_t m = 1; m < kBlock; ++m) turn[m] = multiplied(turn[m - 1], advance);
  size_t end = std::min(to, x.size());
  for (size_t block = from; block < end; block += kBlock) {
    Complex phasor = std::polar(1.0, std::fmod(step * static_cast<double>(block), 2.0 * kPi));
    turnBlock(x.data() + block, turn.data(), phasor, std::min(kBlock, end - block));
  }
}

Line fitLine(const std::vector<double>& values) {
  if (values.size() < 2) return {values.empty() ? 0.0 : values[0], 0.0};
  double n = static_cast<double>(values.size()), meanT = (n - 1) / 2, meanV = 0;
  for (double v : values) meanV += v / n;
  double num = 0, den = 0;
  for (size_t i = 0; i < values.size(); ++i) {
    double t = static_cast<double>(i) - meanT;
    num += t * (values[i] - meanV);
    den += t * t;
  }
  return {meanV - num / den * meanT, num / den};
}

}  // namespace tevra::dsp
