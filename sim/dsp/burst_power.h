// Power of a capture: average and peak over all of it, and the gated power of its first burst, found where
// the power (smoothed over a few samples) rises above a trigger threshold and ending where it stays below
// it for a gap.
#pragma once

#include "sim/dsp/iq.h"

namespace tevra::dsp {

struct PowerAnalysis {
  double averageMw = 0;
  double peakMw = 0;
  bool burstFound = false;
  double burstMw = 0;  // the average when no burst was found
  size_t burstStart = 0;
  size_t burstSamples = 0;
};

PowerAnalysis analyzePower(const Samples& x, double thresholdMw, size_t smoothing, size_t minGap);

// The frequency of a dominant tone from the mean phase advance between neighbouring samples (Hz, within
// +-rate/2); 0 for silence.
double toneOffsetHz(const Samples& x, double rateHz);

}  // namespace tevra::dsp
