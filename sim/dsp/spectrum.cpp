#include "sim/dsp/spectrum.h"

#include "sim/dsp/fft.h"

namespace tevra::dsp {

Spectrum welchSpectrum(const Samples& x, double rateHz, size_t fftSize) {
  Spectrum out;
  if (fftSize < 2 || x.size() < fftSize) return out;
  std::vector<double> window(fftSize);
  double sum = 0.0, sumSquares = 0.0;
  for (size_t n = 0; n < fftSize; ++n) {
    window[n] = 0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(n) / static_cast<double>(fftSize));
    sum += window[n];
    sumSquares += window[n] * window[n];
  }
  Fft fft(fftSize, Fft::Direction::kForward);
  std::vector<double> power(fftSize, 0.0);
  Samples segment(fftSize), bins(fftSize);
  size_t hop = fftSize / 2, segments = 0;
  for (size_t at = 0; at + fftSize <= x.size(); at += hop, ++segments) {
    for (size_t n = 0; n < fftSize; ++n) segment[n] = x[at + n] * window[n];
    fft.run(segment.data(), bins.data());
    for (size_t k = 0; k < fftSize; ++k) power[k] += std::norm(bins[k]);
  }
  out.stepHz = rateHz / static_cast<double>(fftSize);
  out.startHz = -rateHz / 2.0;
  out.rbwHz = out.stepHz * static_cast<double>(fftSize) * sumSquares / (sum * sum);
  out.dbm.resize(fftSize);
  double norm = 1.0 / (sum * sum * static_cast<double>(segments));
  // Reorder so that the points run from -rate/2 upwards.
  for (size_t i = 0; i < fftSize; ++i) out.dbm[i] = toDb(power[(i + fftSize / 2) % fftSize] * norm);
  return out;
}

}  // namespace tevra::dsp
