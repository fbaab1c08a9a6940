// Averaged spectra (Welch: Hann windows, half overlapping) on FFTW. Each point is the power in the
// window's noise bandwidth around it, so that a tone reads its own power.
#pragma once

#include <vector>

#include "sim/dsp/iq.h"

namespace tevra::dsp {

struct Spectrum {
  double startHz = 0;  // offset of the first point from the centre
  double stepHz = 0;
  double rbwHz = 0;  // the window's equivalent noise bandwidth
  std::vector<double> dbm;
};

// An empty spectrum when `x` is shorter than one window.
Spectrum welchSpectrum(const Samples& x, double rateHz, size_t fftSize);

}  // namespace tevra::dsp
