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

// A swept-analyzer style trace of `points` points evenly spread over `spanHz` about the centre, ends
// included, each the power in a Hann window whose noise bandwidth is `rbwHz`: Welch averaging over half
// overlapping windows, zero padded eightfold or more so that the points between bins are read off the
// window's own response (linear in power between the padded bins). Empty when `x` is shorter than one window.
Spectrum welchTrace(const Samples& x, double rateHz, double rbwHz, double spanHz, size_t points);

}  // namespace tevra::dsp
