#include "sim/dsp/resample.h"

#include <complex>
// liquid.h takes std::complex<float> for its complex type when <complex> comes first.
#include <liquid/liquid.h>

#include <cmath>

namespace tevra::dsp {

Samples resample(const Samples& x, double ratio) {
  if (ratio == 1.0 || x.empty()) return x;
  msresamp_crcf q = msresamp_crcf_create(static_cast<float>(ratio), 70.0f);
  auto delay = static_cast<size_t>(std::lround(msresamp_crcf_get_delay(q)));
  size_t wanted = static_cast<size_t>(std::llround(static_cast<double>(x.size()) * ratio));
  size_t flush = static_cast<size_t>(std::ceil(static_cast<double>(delay + 8) / ratio)) + 8;
  std::vector<std::complex<float>> in(x.size() + flush);
  for (size_t n = 0; n < x.size(); ++n) in[n] = std::complex<float>(x[n]);
  std::vector<std::complex<float>> out(
      static_cast<size_t>(std::ceil(static_cast<double>(in.size()) * ratio)) * 2 + 16);
  unsigned produced = 0;
  msresamp_crcf_execute(q, in.data(), static_cast<unsigned>(in.size()), out.data(), &produced);
  msresamp_crcf_destroy(q);
  Samples y(wanted);
  for (size_t m = 0; m < wanted && m + delay < produced; ++m) y[m] = Complex(out[m + delay]);
  return y;
}

}  // namespace tevra::dsp
