#include "sim/dsp/resample.h"

#include <complex>
// liquid.h takes std::complex<float> for its complex type when <complex> comes first.
#include <liquid/liquid.h>

#include <cmath>
#include <numeric>
#include <optional>
#include <utility>

namespace tevra::dsp {
namespace {

using Cf = std::complex<float>;

constexpr unsigned kHalfLength = 12;  // filter semi-length in samples of the lower rate
constexpr float kStopbandDb = 90.0f;
constexpr unsigned kMaxTerm = 1000;
constexpr unsigned kMaxGridTerm = 64;

// P/Q for a ratio that is one with small terms.
std::optional<std::pair<unsigned, unsigned>> rationalTerms(double ratio) {
  for (unsigned q = 1; q <= kMaxTerm; ++q) {
    double p = std::round(ratio * q);
    if (p >= 1 && p <= kMaxTerm && std::abs(p / q - ratio) < 1e-12 * ratio) {
      auto pi = static_cast<unsigned>(p);
      unsigned g = std::gcd(pi, q);
      return std::make_pair(pi / g, q / g);
    }
  }
  return std::nullopt;
}

// The filter's cutoff at the lower of the two Nyquist frequencies, as a fraction of the input rate.
float bandwidth(unsigned p, unsigned q) {
  return 0.5f * static_cast<float>(std::min(p, q)) / static_cast<float>(q);
}

// The semi-length in input samples: the same time either way, and a whole number of output samples of
// delay where the terms are small, so that the output lands on the input's time grid.
unsigned filterHalfLength(unsigned p, unsigned q) {
  unsigned length = std::max(kHalfLength, (kHalfLength * q + p - 1) / p);
  unsigned grid = q / std::gcd(p, q);
  if (grid <= kMaxGridTerm) length = (length + grid - 1) / grid * grid;
  return length;
}

Samples rationalResample(const Samples& x, unsigned p, unsigned q) {
  unsigned halfLength = filterHalfLength(p, q);
  rresamp_crcf r = rresamp_crcf_create_kaiser(p, q, halfLength, bandwidth(p, q), kStopbandDb);
  // Unit gain at DC, whatever the design's own scaling.
  std::vector<Cf> ones(q * (2 * halfLength + 4), Cf{1.0f, 0.0f}), level(ones.size() / q * p);
  rresamp_crcf_execute_block(r, ones.data(), static_cast<unsigned>(ones.size() / q), level.data());
  float designScale = 1.0f;
  rresamp_crcf_get_scale(r, &designScale);
  rresamp_crcf_set_scale(r, designScale / std::abs(level.back()));
  rresamp_crcf_reset(r);
  size_t delay = (halfLength * p + q / 2) / q;
  size_t wanted = x.size() * p / q;
  size_t blocks = (x.size() + q - 1) / q + (delay + p - 1) / p + 2 * halfLength / q + 2;
  std::vector<Cf> in(blocks * q), out(blocks * p);
  for (size_t n = 0; n < x.size(); ++n) in[n] = Cf(x[n]);
  rresamp_crcf_execute_block(r, in.data(), static_cast<unsigned>(blocks), out.data());
  rresamp_crcf_destroy(r);
  Samples y(wanted);
  for (size_t m = 0; m < wanted; ++m) y[m] = Complex(out[m + delay]);
  return y;
}

Samples arbitraryResample(const Samples& x, double ratio) {
  float bw = 0.45f * static_cast<float>(std::min(ratio, 1.0));
  resamp_crcf r = resamp_crcf_create(static_cast<float>(ratio), kHalfLength, bw, kStopbandDb, 256);
  auto delay = static_cast<size_t>(std::lround(kHalfLength * ratio));
  size_t wanted = static_cast<size_t>(std::llround(static_cast<double>(x.size()) * ratio));
  size_t flush = static_cast<size_t>(std::ceil(2.0 * kHalfLength + 8));
  std::vector<Cf> in(x.size() + flush);
  for (size_t n = 0; n < x.size(); ++n) in[n] = Cf(x[n]);
  std::vector<Cf> out(static_cast<size_t>(std::ceil(static_cast<double>(in.size()) * ratio)) + 16);
  unsigned produced = 0;
  resamp_crcf_execute_block(r, in.data(), static_cast<unsigned>(in.size()), out.data(), &produced);
  resamp_crcf_destroy(r);
  Samples y(wanted);
  for (size_t m = 0; m < wanted && m + delay < produced; ++m) y[m] = Complex(out[m + delay]);
  return y;
}

}  // namespace

Samples resample(const Samples& x, double ratio) {
  if (ratio == 1.0 || x.empty()) return x;
  if (auto terms = rationalTerms(ratio)) return rationalResample(x, terms->first, terms->second);
  return arbitraryResample(x, ratio);
}

}  // namespace tevra::dsp
