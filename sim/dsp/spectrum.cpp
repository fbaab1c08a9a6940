#include "sim/dsp/spectrum.h"

#include <algorithm>
#include <cmath>

#include "sim/dsp/fft.h"

namespace tevra::dsp {

namespace {

std::vector<double> hannWindow(size_t size) {
  std::vector<double> window(size);
  for (size_t n = 0; n < size; ++n)
    window[n] = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(n) / static_cast<double>(size));
  return window;
}

// The mean of |FFT(window * segment)|^2 over half overlapping segments, each segment zero padded to
// `fftSize`, scaled so that a tone on a bin reads its power; bin k is at k * rate / fftSize.
std::vector<double> welchPower(const Samples& x, const std::vector<double>& window, size_t fftSize) {
  const size_t size = window.size();
  double sum = 0.0;
  for (double w : window) sum += w;
  Fft fft(fftSize, Fft::Direction::kForward);
  std::vector<double> power(fftSize, 0.0);
  Samples segment(fftSize), bins(fftSize);
  size_t segments = 0;
  for (size_t at = 0; at + size <= x.size(); at += std::max<size_t>(size / 2, 1), ++segments) {
    for (size_t n = 0; n < size; ++n) segment[n] = x[at + n] * window[n];
    fft.run(segment.data(), bins.data());
    for (size_t k = 0; k < fftSize; ++k) power[k] += std::norm(bins[k]);
  }
  const double norm = 1.0 / (sum * sum * static_cast<double>(segments));
  for (double& p : power) p *= norm;
  return power;
}

double noiseBandwidthBins(const std::vector<double>& window) {
  double sum = 0.0, sumSquares = 0.0;
  for (double w : window) {
    sum += w;
    sumSquares += w * w;
  }
  return static_cast<double>(window.size()) * sumSquares / (sum * sum);
}

}  // namespace

Spectrum welchSpectrum(const Samples& x, double rateHz, size_t fftSize) {
  Spectrum out;
  if (fftSize < 2 || x.size() < fftSize) return out;
  std::vector<double> window = hannWindow(fftSize);
  std::vector<double> power = welchPower(x, window, fftSize);
  out.stepHz = rateHz / static_cast<double>(fftSize);
  out.startHz = -rateHz / 2.0;
  out.rbwHz = out.stepHz * noiseBandwidthBins(window);
  out.dbm.resize(fftSize);
  // Reorder so that the points run from -rate/2 upwards.
  for (size_t i = 0; i < fftSize; ++i) out.dbm[i] = toDb(power[(i + fftSize / 2) % fftSize]);
  return out;
}

Spectrum welchTrace(const Samples& x, double rateHz, double rbwHz, double spanHz, size_t points) {
  Spectrum out;
  // The Hann window's noise bandwidth is 1.5 bins of its own length.
  auto size = static_cast<size_t>(std::lround(1.5 * rateHz / rbwHz));
  if (points < 2 || size < 2 || x.size() < size) return out;
  size_t fftSize = 1;
  while (fftSize < 8 * size) fftSize *= 2;
  std::vector<double> window = hannWindow(size);
  std::vector<double> power = welchPower(x, window, fftSize);
  out.startHz = -spanHz / 2.0;
  out.stepHz = spanHz / static_cast<double>(points - 1);
  out.rbwHz = rateHz / static_cast<double>(size) * noiseBandwidthBins(window);
  out.dbm.resize(points);
  const double binsPerHz = static_cast<double>(fftSize) / rateHz;
  const auto bins = static_cast<std::ptrdiff_t>(fftSize);
  for (size_t i = 0; i < points; ++i) {
    double at = (out.startHz + out.stepHz * static_cast<double>(i)) * binsPerHz;
    double below = std::floor(at);
    auto k = static_cast<std::ptrdiff_t>(below);
    double fraction = at - below;
    auto bin = [&](std::ptrdiff_t j) { return power[static_cast<size_t>(((j % bins) + bins) % bins)]; };
    out.dbm[i] = toDb(bin(k) * (1.0 - fraction) + bin(k + 1) * fraction);
  }
  return out;
}

}  // namespace tevra::dsp
